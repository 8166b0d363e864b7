#include "cleanup/HostEntry.h"

#include "platform/DriveTable.h"
#include "platform/MountTable.h"
#include "platform/UserPath.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

void TFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

bool StatAt(int dirFd, const char* name, struct statx& st) {
  return ::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                 STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_INO | STATX_ATIME | STATX_MTIME | STATX_UID |
                     STATX_GID | STATX_NLINK,
                 &st) == 0;
}

bool IsMountHere(const struct statx& st, const struct statx& dirSt) {
  if ((st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (st.stx_attributes & STATX_ATTR_MOUNT_ROOT)) return true;
  return !SameDev(st, dirSt);
}

bool OpenHostEntry(const QByteArray& hostPath, THostEntry& out) {
  if (!hostPath.startsWith('/')) {
    errno = EINVAL;
    return false;
  }
  // A ".." is taken back as text only where the kernel would go the same way (not after a link).
  const std::optional<QByteArray> clean = CleanGivenHostPath(hostPath, "/", nullptr);
  if (!clean) {
    errno = EINVAL;
    return false;
  }
  const QByteArray& path = *clean;
  const qsizetype slash = path.lastIndexOf('/');
  const QByteArray name = path.mid(slash + 1);
  if (name.isEmpty() || name == "." || name == "..") {
    errno = EINVAL;
    return false;
  }
  const QByteArray folder = slash == 0 ? QByteArray("/") : path.left(slash);
  TFd dir(::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid()) return false;
  if (!StatAt(dir.Get(), name.constData(), out.St)) return false;
  out.Dir = std::move(dir);
  out.Name = name;
  out.Path = path;
  return true;
}

namespace {

void CountInto(int dirFd, const QByteArray& name, const QByteArray& hostPath, const struct statx& st,
               TTreeCount& count, const TOpContext* context) {
  ++count.entries;
  if (IsRegSt(st)) count.bytes += static_cast<int64_t>(st.stx_size);
  if (!IsDirSt(st)) return;
  TFd fd(::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.Valid()) return;
  DIR* dir = ::fdopendir(fd.Get());
  if (!dir) return;
  const int own = fd.Release();
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    if (context && context->Cancelled()) break;
    struct statx child {};
    if (!StatAt(own, e->d_name, child)) continue;
    const QByteArray childName(e->d_name);
    const QByteArray childPath = hostPath + '/' + childName;
    if (IsDirSt(child) && IsMountHere(child, st)) {
      ++count.entries;
      if (!count.mountInside) count.mountPath = childPath;
      count.mountInside = true;
      continue;
    }
    CountInto(own, childName, childPath, child, count, context);
  }
  ::closedir(dir);
}

}  // namespace

TTreeCount CountTree(int dirFd, const QByteArray& name, const QByteArray& hostPath, const TOpContext* context) {
  TTreeCount count;
  struct statx st {};
  if (!StatAt(dirFd, name.constData(), st)) return count;
  CountInto(dirFd, name, hostPath, st, count, context);
  return count;
}

QByteArray MountPointBelow(const QByteArray& realFolderPath, bool strictlyBelow) {
  if (realFolderPath.isEmpty()) return {};
  const QByteArray folder = CleanHostPath(realFolderPath);
  const QByteArray prefix = folder == "/" ? folder : folder + '/';
  for (const TMountEntry& m : ReadMountTable())
    if ((!strictlyBelow && m.MountPoint == folder) || (m.MountPoint.startsWith(prefix) && m.MountPoint != folder))
      return m.MountPoint;
  return {};
}

QByteArray RealPathOf(int fd) {
  char buffer[8192];
  const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
  const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer);
  if (n <= 0 || n >= static_cast<ssize_t>(sizeof buffer) || buffer[0] != '/') return {};
  return QByteArray(buffer, n);
}

QString ErrorText(int error) {
  switch (error) {
    case ENOTEMPTY: return QStringLiteral("the folder is not empty");
    default: return QString::fromLocal8Bit(std::strerror(error));
  }
}

QString ShownPath(const QByteArray& hostPath) { return HostPathText(hostPath); }

TOpFailure Failure(const QByteArray& hostPath, const QString& reason, int error) {
  return TOpFailure{ShownPath(hostPath), reason, error};
}

TOpFailure ErrnoFailure(const QByteArray& hostPath, int error) { return Failure(hostPath, ErrorText(error), error); }
