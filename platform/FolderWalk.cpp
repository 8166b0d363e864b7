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

// The names in an open folder (fd must be readable); false with errno on failure. Read with
// getdents64 on the descriptor itself: the walk uses it only with the *at calls afterwards, so
// its position does not matter, and a copy for a DIR stream would cost four more system calls
// per folder.
bool ReadNames(int fd, std::vector<QByteArray>& names) {
  alignas(dirent64) char buffer[16384];
  for (;;) {
    const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t pos = 0; pos < n;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + pos);
      pos += entry->d_reclen;
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      names.emplace_back(name);
    }
  }
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
