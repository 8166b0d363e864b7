#include "platform/FolderWalk.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How many folders stay open at once.
constexpr size_t OpenWindow = 64;

// The names in an open folder (fd must be readable); false with errno on failure.
bool ReadNames(int fd, std::vector<QByteArray>& names) {
  const int copy = ::dup(fd);
  if (copy < 0) return false;
  DIR* dir = ::fdopendir(copy);
  if (!dir) {
    const int e = errno;
    ::close(copy);
    errno = e;
    return false;
  }
  errno = 0;
  while (dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.emplace_back(entry->d_name);
  }
  const int e = errno;
  ::closedir(dir);
  errno = e;
  return e == 0;
}

}  // namespace

bool TWalkStack::Enter(int parentFd, const QByteArray& entry, const QByteArray& entryPath) {
  const int fd = ::openat(parentFd, entry.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  TWalkFrame frame;
  frame.Fd = fd;
  frame.Name = entry;
  frame.HostPath = entryPath;
  struct statx st {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO, &st) != 0 || !ReadNames(fd, frame.Names)) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return false;
  }
  frame.Inode = st.stx_ino;
  frames_.push_back(std::move(frame));
  if (frames_.size() > OpenWindow) {
    TWalkFrame& far = frames_[frames_.size() - 1 - OpenWindow];
    if (far.Fd >= 0) ::close(far.Fd);
    far.Fd = -1;
  }
  return true;
}

bool TWalkStack::Leave() {
  const size_t depth = frames_.size();
  if (depth == 0) return true;
  TWalkFrame& inner = frames_.back();
  if (depth >= 2 && frames_[depth - 2].Fd < 0) {
    TWalkFrame& above = frames_[depth - 2];
    const int fd = ::openat(inner.Fd, "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct statx st {};
    struct statx innerSt {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO, &st) != 0 ||
        ::statx(inner.Fd, "", AT_EMPTY_PATH, STATX_INO, &innerSt) != 0 || st.stx_ino != above.Inode ||
        st.stx_dev_major != innerSt.stx_dev_major || st.stx_dev_minor != innerSt.stx_dev_minor) {
      ::close(fd);
      errno = ESTALE;
      return false;
    }
    above.Fd = fd;
  }
  if (inner.Fd >= 0) ::close(inner.Fd);
  frames_.pop_back();
  return true;
}

void TWalkStack::Clear() {
  for (TWalkFrame& f : frames_)
    if (f.Fd >= 0) ::close(f.Fd);
  frames_.clear();
}
