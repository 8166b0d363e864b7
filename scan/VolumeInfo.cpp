#include "scan/VolumeInfo.h"

#include "platform/DriveTable.h"
#include "platform/HostVolume.h"
#include "scan/ScanState.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

const TDriveMapping* DriveOf(const QString& root) {
  if (root.size() < 2 || root[1] != QLatin1Char(':')) return nullptr;
  return TDriveTable::Instance().Find(root[0]);
}

QByteArray RealPath(const QByteArray& path) {
  char real[PATH_MAX];
  return ::realpath(path.constData(), real) ? QByteArray(real) : path;
}

}  // namespace

bool GetVolumeInfo(const QString& root, TVolumeInformation& info) {
  info = TVolumeInformation();
  const TDriveMapping* drive = DriveOf(root);
  if (!drive) return false;
  const std::optional<TMountEntry> mount = DriveMount(drive->Letter);
  THostVolume volume;
  if (!QueryHostVolume(drive->HostRoot, mount ? &*mount : nullptr, volume)) return false;
  // A drive mapped to a folder inside a labelled file system is not that volume: no label then.
  if (mount && RealPath(drive->HostRoot) != mount->MountPoint) volume.Label.clear();
  info.VolumeName = volume.Label;
  info.SerialNumber = volume.SerialNumber;
  info.MaxComponentLength = volume.MaxComponentLength;
  info.FileSystemFlags = volume.FileSystemFlags;
  info.FileSystemName = volume.FileSystemName;
  return true;
}

QString FileSystemName(const QString& root) {
  TVolumeInformation info;
  return GetVolumeInfo(root, info) ? info.FileSystemName : QString();
}

int32_t ClusterSizeFromQueries(const QString& fileSystemName, std::optional<int64_t> queriedClusterSize) {
  const QString name = fileSystemName.toUpper();
  const auto fits = [](int64_t v) { return v > 0 && v <= INT32_MAX; };
  if (name == QLatin1String("FAT32"))
    return queriedClusterSize && fits(*queriedClusterSize) ? static_cast<int32_t>(*queriedClusterSize) : 4096;
  if (name == QLatin1String("CDFS")) return 2048;
  return queriedClusterSize && fits(*queriedClusterSize) ? static_cast<int32_t>(*queriedClusterSize) : -1;
}

int32_t ClusterSizeOf(const QString& root) {
  const QString fsName = FileSystemName(root);
  // CD file systems report 2048 without touching the medium's figures.
  if (fsName.toUpper() == QLatin1String("CDFS")) return ClusterSizeFromQueries(fsName, std::nullopt);
  const TDriveMapping* drive = DriveOf(root);
  THostSpace space;
  std::optional<int64_t> cluster;
  if (drive && QueryHostSpace(drive->HostRoot, space)) cluster = space.ClusterSize;
  return ClusterSizeFromQueries(fsName, cluster);
}

int64_t FreeSpace(const QString& root) {
  const TDriveMapping* drive = DriveOf(root);
  THostSpace space;
  return drive && QueryHostSpace(drive->HostRoot, space) ? space.FreeBytes : -1;
}

int64_t TotalSpace(const QString& root) {
  const TDriveMapping* drive = DriveOf(root);
  THostSpace space;
  return drive && QueryHostSpace(drive->HostRoot, space) ? space.TotalBytes : -1;
}

QString DriveDisplayName(const QString& root) {
  const TDriveMapping* drive = DriveOf(root);
  if (!drive) return {};
  const QString rest = root.mid(2);
  if (!rest.isEmpty() && rest != QLatin1String("\\")) {
    // Any other item: its name.
    QString path = rest;
    while (path.endsWith(QLatin1Char('\\'))) path.chop(1);
    return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
  }
  TVolumeInformation info;
  GetVolumeInfo(root, info);
  const QString name = !info.VolumeName.isEmpty() ? info.VolumeName : QFile::decodeName(drive->HostRoot);
  return name + QStringLiteral(" (") + QLatin1Char(drive->Letter) + QStringLiteral(":)");
}

std::vector<TDriveRecInfo*>& DriveList() { return ActiveScanState().Drives; }

TDriveRecInfo* FindDrive(char letter) {
  for (TDriveRecInfo* rec : DriveList())
    if (rec->Letter == letter) return rec;
  return nullptr;
}

TDriveRecInfo* AddDrive(char letter) {
  auto* rec = new TDriveRecInfo();
  rec->Letter = letter;
  DriveList().push_back(rec);
  return rec;
}

void RemoveDriveRec(TDriveRecInfo* rec) {
  auto& list = DriveList();
  const auto it = std::find(list.begin(), list.end(), rec);
  if (it == list.end()) return;
  list.erase(it);
  delete rec;
}

void ClearDriveList() {
  for (TDriveRecInfo* rec : DriveList()) delete rec;
  DriveList().clear();
}
