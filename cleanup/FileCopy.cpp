#include "cleanup/FileCopy.h"

#include "cleanup/HostEntry.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <memory>

namespace {

// Bytes copied between two looks at the cancel flag.
constexpr int64_t Chunk = 8 << 20;

enum class TCopyWay { CopyRange, SendFile, ReadWrite };

bool FallBack(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF ||
         error == ETXTBSY || error == EPERM;
}

// Copies [from, from + length) of in to the same offsets of out; returns the bytes copied (less
// at the end of a file that shrank) or -1 with errno.
int64_t CopyRange(int in, int out, int64_t from, int64_t length, TCopyWay& way) {
  switch (way) {
    case TCopyWay::CopyRange: {
      loff_t inOff = from;
      loff_t outOff = from;
      const ssize_t n = ::copy_file_range(in, &inOff, out, &outOff, static_cast<size_t>(length), 0);
      if (n >= 0) return n;
      if (errno == EINTR) return 0;
      if (!FallBack(errno)) return -1;
      way = TCopyWay::SendFile;
      return CopyRange(in, out, from, length, way);
    }
    case TCopyWay::SendFile: {
      if (::lseek(out, from, SEEK_SET) < 0) return -1;
      off_t inOff = from;
      const ssize_t n = ::sendfile(out, in, &inOff, static_cast<size_t>(length));
      if (n >= 0) return n;
      if (errno == EINTR) return 0;
      if (errno != EINVAL && errno != ENOSYS) return -1;
      way = TCopyWay::ReadWrite;
      return CopyRange(in, out, from, length, way);
    }
    case TCopyWay::ReadWrite: {
      constexpr size_t BufferSize = 1 << 20;
      static thread_local std::unique_ptr<char[]> buffer(new char[BufferSize]);
      const ssize_t got = ::pread(in, buffer.get(), std::min<size_t>(BufferSize, static_cast<size_t>(length)), from);
      if (got <= 0) return got < 0 && errno == EINTR ? 0 : got;
      ssize_t put = 0;
      while (put < got) {
        const ssize_t n = ::pwrite(out, buffer.get() + put, static_cast<size_t>(got - put), from + put);
        if (n < 0) {
          if (errno == EINTR) continue;
          return -1;
        }
        put += n;
      }
      return got;
    }
  }
  return -1;
}

TCopyOutcome Refused(int error, const QString& reason = {}) {
  TCopyOutcome outcome;
  outcome.error = error;
  outcome.reason = reason.isEmpty() ? ErrorText(error) : reason;
  return outcome;
}

struct timespec ToTimespec(const struct statx_timestamp& t) { return {t.tv_sec, t.tv_nsec}; }

// Gives the temporary entry the source's owner, permissions and times.
bool ApplyMetadata(const TCopyRequest& r, int fd) {
  const struct timespec times[2] = {ToTimespec(r.st.stx_atime), ToTimespec(r.st.stx_mtime)};
  const bool root = ::geteuid() == 0;
  if (fd >= 0) {
    if (root && ::fchown(fd, r.st.stx_uid, r.st.stx_gid) != 0) return false;
    if (::fchmod(fd, r.st.stx_mode & 07777) != 0) return false;
    return ::futimens(fd, times) == 0;
  }
  const char* temp = r.tempName.constData();
  if (root && ::fchownat(r.dstDir, temp, r.st.stx_uid, r.st.stx_gid, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (!S_ISLNK(r.st.stx_mode) && ::fchmodat(r.dstDir, temp, r.st.stx_mode & 07777, 0) != 0) return false;
  return ::utimensat(r.dstDir, temp, times, AT_SYMLINK_NOFOLLOW) == 0;
}

// Writes the data of a regular file into the open temporary file; false with *outcome set.
bool CopyRegular(const TCopyRequest& r, int out, TCopyOutcome* outcome) {
  int in = ::openat(r.srcDir, r.name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOATIME);
  if (in < 0 && errno == EPERM) in = ::openat(r.srcDir, r.name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) {
    *outcome = Refused(errno);
    return false;
  }
  TFd source(in);
  struct statx now {};
  if (::statx(in, "", AT_EMPTY_PATH, STATX_INO | STATX_SIZE, &now) != 0 || now.stx_ino != r.st.stx_ino) {
    *outcome = Refused(ESTALE, QStringLiteral("the file changed during the move"));
    return false;
  }
  bool cancelled = false;
  const int64_t size = static_cast<int64_t>(now.stx_size);
  if (!CopyFileData(in, out, size, r.context, r.onBytes, &cancelled)) {
    if (cancelled) {
      outcome->cancelled = true;
    } else {
      *outcome = Refused(errno);
    }
    return false;
  }
  if (::ftruncate(out, size) != 0) {
    *outcome = Refused(errno);
    return false;
  }
  return true;
}

}  // namespace

bool CopyFileData(int in, int out, int64_t size, const TOpContext* context,
                  const std::function<void(int64_t)>& onBytes, bool* cancelled) {
  TCopyWay way = TCopyWay::CopyRange;
  int64_t at = 0;
  bool holes = true;
  while (at < size) {
    int64_t data = at;
    int64_t end = size;
    if (holes) {
      const off_t d = ::lseek(in, at, SEEK_DATA);
      if (d < 0 && errno == ENXIO) break;  // only a hole is left
      if (d < 0) {
        holes = false;
      } else {
        data = d;
        const off_t h = ::lseek(in, data, SEEK_HOLE);
        end = h < 0 ? size : std::min<int64_t>(h, size);
      }
    }
    while (data < end) {
      if (context && context->Cancelled()) {
        *cancelled = true;
        return false;
      }
      const int64_t n = CopyRange(in, out, data, std::min(Chunk, end - data), way);
      if (n < 0) return false;
      if (n == 0 && way != TCopyWay::CopyRange) {
        end = data;  // the file is shorter than it was
        size = data;
        break;
      }
      if (n == 0) {
        // copy_file_range says nothing is left; make sure with a plain read.
        way = TCopyWay::ReadWrite;
        continue;
      }
      data += n;
      if (onBytes) onBytes(n);
    }
    at = end;
  }
  return true;
}

TCopyOutcome CopyEntry(const TCopyRequest& r) {
  TCopyOutcome outcome;
  const mode_t type = r.st.stx_mode & S_IFMT;
  const char* temp = r.tempName.constData();
  bool made = false;
  bool ok = false;
  if (type == S_IFREG) {
    TFd out(::openat(r.dstDir, temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.Valid()) return Refused(errno);
    made = true;
    ok = CopyRegular(r, out.Get(), &outcome);
    if (ok && (!ApplyMetadata(r, out.Get()) || (r.finish && ::fsync(out.Get()) != 0))) {
      outcome = Refused(errno);
      ok = false;
    }
    if (ok && ::close(out.Release()) != 0) {
      outcome = Refused(errno);
      ok = false;
    }
  } else if (type == S_IFLNK) {
    QByteArray target(static_cast<qsizetype>(r.st.stx_size) + 2, '\0');
    ssize_t n = -1;
    for (;;) {
      n = ::readlinkat(r.srcDir, r.name.constData(), target.data(), static_cast<size_t>(target.size()));
      if (n < 0 || n < target.size()) break;
      target.resize(target.size() * 2);  // the link grew meanwhile
    }
    if (n < 0) return Refused(errno);
    target.resize(n);
    if (::symlinkat(target.constData(), r.dstDir, temp) != 0) return Refused(errno);
    made = true;
    ok = ApplyMetadata(r, -1);
    if (!ok) outcome = Refused(errno);
  } else if (type == S_IFIFO || type == S_IFCHR || type == S_IFBLK) {
    const dev_t dev = makedev(r.st.stx_rdev_major, r.st.stx_rdev_minor);
    if (::mknodat(r.dstDir, temp, type | 0600, type == S_IFIFO ? 0 : dev) != 0) return Refused(errno);
    made = true;
    ok = ApplyMetadata(r, -1);
    if (!ok) outcome = Refused(errno);
  } else {
    return Refused(EOPNOTSUPP, QStringLiteral("a socket cannot be moved to another file system"));
  }
  if (ok && r.finish) return FinishCopy(r.dstDir, r.tempName, r.name, r.replace);
  if (!ok && made) ::unlinkat(r.dstDir, temp, 0);
  outcome.ok = ok;
  return outcome;
}

TCopyOutcome FinishCopy(int dstDir, const QByteArray& tempName, const QByteArray& name, bool replace) {
  if (::renameat2(dstDir, tempName.constData(), dstDir, name.constData(), replace ? 0 : RENAME_NOREPLACE) != 0) {
    TCopyOutcome outcome =
        Refused(errno, errno == EEXIST ? QStringLiteral("an entry of that name appeared in the target; kept") : QString());
    ::unlinkat(dstDir, tempName.constData(), 0);
    return outcome;
  }
  TCopyOutcome outcome;
  outcome.ok = true;
  return outcome;
}
