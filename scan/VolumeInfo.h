#pragma once
// Volume information of drives and the list of scanned drives. Every function takes a drive
// root path: a letter, a colon and a backslash.

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class TTreeNode;

struct TVolumeInformation {
  QString VolumeName;
  uint32_t SerialNumber = 0;
  uint32_t MaxComponentLength = 0;
  uint32_t FileSystemFlags = 0;
  QString FileSystemName;
};

bool GetVolumeInfo(const QString& root, TVolumeInformation& info);
QString FileSystemName(const QString& root);
int32_t ClusterSizeOf(const QString& root);
int64_t FreeSpace(const QString& root);
int64_t TotalSpace(const QString& root);
QString DriveDisplayName(const QString& root);

// The cluster-size rule on the results of the platform's queries: fileSystemName as the volume
// query gave it (empty when it failed), queriedClusterSize the platform's cluster size (none when
// the query failed).
int32_t ClusterSizeFromQueries(const QString& fileSystemName,
                               std::optional<int64_t> queriedClusterSize);

struct TLoadedScanInfo;

struct TDriveRecInfo {
  char Letter = 0;
  TTreeNode* Node = nullptr;
  int32_t ClusterSize = 0;
  QString Name;
  // Set for a drive loaded from a scan file rather than scanned: no host folder of this machine
  // stands behind it (see TScanSession::AddLoadedDrive).
  std::shared_ptr<const TLoadedScanInfo> Loaded;
};

// The drives scanned in this run, in the order they were first scanned.
std::vector<TDriveRecInfo*>& DriveList();
TDriveRecInfo* FindDrive(char letter);
TDriveRecInfo* AddDrive(char letter);
// Takes the record out of the list and frees it.
void RemoveDriveRec(TDriveRecInfo* rec);
void ClearDriveList();
