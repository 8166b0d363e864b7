#include "platform/HostPath.h"

#include "platform/DriveTable.h"
#include "platform/FileSystemBoundary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

THostLocation::~THostLocation() {
  if (DirFd >= 0) ::close(DirFd);
}

bool LocateDrivePath(const QString& drivePath, THostLocation& out) {
  if (out.DirFd >= 0) ::close(out.DirFd);
  out.DirFd = -1;
  const std::optional<TDrivePathParts> parts = SplitDrivePath(drivePath);
  if (!parts) return false;

  out.HostPath = parts->Drive->HostRoot;
  int fd = ::open(parts->Drive->HostRoot.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  struct statx rootSt {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE, &rootSt) != 0) {
    ::close(fd);
    return false;
  }
  const qsizetype count = parts->Components.size();
  for (qsizetype i = 0; i + 1 < count; ++i) {
    // Folders on the way are entered without following links and only on the drive's own file
    // system, as the scan saw them.
    const int next = ::openat(fd, parts->Components[i].constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    ::close(fd);
    if (next < 0) return false;
    fd = next;
    struct statx st {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE, &st) != 0 ||
        IsOtherFileSystem(st, rootSt.stx_dev_major, rootSt.stx_dev_minor)) {
      ::close(fd);
      return false;
    }
  }
  for (const QByteArray& c : parts->Components) {
    if (!out.HostPath.endsWith('/')) out.HostPath += '/';
    out.HostPath += c;
  }
  out.DirFd = fd;
  out.Name = count ? parts->Components.last() : QByteArray(".");
  return true;
}
