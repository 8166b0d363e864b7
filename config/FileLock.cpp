#include "config/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TFileLock::TFileLock(const QByteArray& path, int flags) {
  fd_ = ::open(path.constData(), flags | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    error_ = errno;
    return;
  }
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    error_ = errno;
    ::close(fd_);
    fd_ = -1;
    return;
  }
}

TFileLock::~TFileLock() {
  if (fd_ >= 0) ::close(fd_);
}
