#include "config/FolderLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TFolderLock::TFolderLock(const QByteArray& filePath) {
  const qsizetype slash = filePath.lastIndexOf('/');
  const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : filePath.left(slash);
  fd_ = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    ::close(fd_);
    fd_ = -1;
    return;
  }
}

TFolderLock::~TFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}
