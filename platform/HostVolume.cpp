#include "platform/HostVolume.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/statvfs.h>

namespace {

// udev escapes unsafe characters of labels in /dev/disk/by-label as \xNN.
QByteArray UnescapeUdev(const QByteArray& name) {
  QByteArray out;
  for (qsizetype i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      bool ok = false;
      const int v = name.mid(i + 2, 2).toInt(&ok, 16);
      if (ok) {
        out.push_back(static_cast<char>(v));
        i += 3;
        continue;
      }
    }
    out.push_back(name[i]);
  }
  return out;
}

}  // namespace

QString WindowsFileSystemName(const QByteArray& kernelType) {
  if (kernelType == "vfat") return QStringLiteral("FAT32");
  if (kernelType == "msdos") return QStringLiteral("FAT");
  if (kernelType == "exfat") return QStringLiteral("exFAT");
  if (kernelType == "ntfs" || kernelType == "ntfs3") return QStringLiteral("NTFS");
  if (kernelType == "iso9660" || kernelType == "udf") return QStringLiteral("CDFS");
  return QString::fromLatin1(kernelType);
}

bool IsCaseSensitiveFileSystem(const QString& fileSystemName) {
  static const QString insensitive[] = {QStringLiteral("FAT"), QStringLiteral("FAT32"),
                                        QStringLiteral("exFAT"), QStringLiteral("NTFS"),
                                        QStringLiteral("CDFS")};
  for (const QString& name : insensitive)
    if (fileSystemName.compare(name, Qt::CaseInsensitive) == 0) return false;
  return true;
}

QString BlockDeviceLabel(const QByteArray& devicePath) {
  char target[PATH_MAX];
  if (!devicePath.startsWith("/dev/") || !::realpath(devicePath.constData(), target)) return {};
  const QByteArray device(target);
  DIR* dir = ::opendir("/dev/disk/by-label");
  if (!dir) return {};
  QString label;
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    const QByteArray link = QByteArray("/dev/disk/by-label/") + e->d_name;
    char resolved[PATH_MAX];
    if (::realpath(link.constData(), resolved) && device == resolved) {
      label = QString::fromUtf8(UnescapeUdev(e->d_name));
      break;
    }
  }
  ::closedir(dir);
  return label;
}

bool QueryHostVolume(const QByteArray& hostRoot, const TMountEntry* mount, THostVolume& out) {
  out = THostVolume();
  struct statvfs vfs {};
  if (::statvfs(hostRoot.constData(), &vfs) != 0) return false;
  out.MaxComponentLength = static_cast<uint32_t>(vfs.f_namemax);
  out.SerialNumber = static_cast<uint32_t>(vfs.f_fsid ^ (static_cast<uint64_t>(vfs.f_fsid) >> 32));
  if (mount) {
    out.FileSystemName = WindowsFileSystemName(mount->FsType);
    out.Label = BlockDeviceLabel(mount->Source);
  }
  out.FileSystemFlags = IsCaseSensitiveFileSystem(out.FileSystemName) ? 1u : 0u;
  return true;
}

bool QueryHostSpace(const QByteArray& hostRoot, THostSpace& out) {
  out = THostSpace();
  struct statvfs vfs {};
  if (::statvfs(hostRoot.constData(), &vfs) != 0) return false;
  const auto fragment = static_cast<int64_t>(vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize);
  out.ClusterSize = fragment;
  out.FreeBytes = static_cast<int64_t>(vfs.f_bavail) * fragment;
  out.TotalBytes = static_cast<int64_t>(vfs.f_blocks) * fragment;
  return true;
}
