#pragma once
// Drives: letters C to Z mapped to host folders. The whole program thinks in drive paths
// (C:\usr\lib); only the platform layer turns them into host paths and back.

#include "platform/MountTable.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// Values as the Windows drive-type query returns them.
enum class TDriveType {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

struct TDriveMapping {
  char Letter = 0;      // 'C'..'Z'
  QByteArray HostRoot;  // absolute, clean host path
};

// Parses KORVANE_DRIVES ("C=/;T=/tmp/fixture"). Bad entries are skipped and described in
// *errors (one line each) when errors is given.
std::vector<TDriveMapping> ParseDriveSpec(const QByteArray& spec, QString* errors = nullptr);

// The automatic table: C: the root file system, H: the home folder, then every other mounted
// file system that holds user data from D: on in mount-table order.
std::vector<TDriveMapping> AutomaticDrives(const std::vector<TMountEntry>& mounts,
                                           const QByteArray& homeFolder);

// The process-wide drive table, built on first use from KORVANE_DRIVES or the mount table.
class TDriveTable {
public:
  static TDriveTable& Instance();

  void Reload();
  void SetMappings(std::vector<TDriveMapping> mappings);
  const std::vector<TDriveMapping>& Mappings() const { return mappings_; }

  const TDriveMapping* Find(QChar letter) const;
  // The letters of all drives in alphabetical order ("CDH").
  QString Letters() const;

private:
  TDriveTable();
  std::vector<TDriveMapping> mappings_;
};

// Lexically cleans an absolute host path: no ".", "..", doubled or trailing "/".
QByteArray CleanHostPath(const QByteArray& path);

struct TDrivePathParts {
  const TDriveMapping* Drive = nullptr;
  QList<QByteArray> Components;  // raw host names below the root
};
// Splits a drive path into its drive and the host names below the root ("\" or "/" separate).
// Empty components and "." are skipped and ".." never leaves the drive root. None when the letter
// is not mapped or the text is not a drive path.
std::optional<TDrivePathParts> SplitDrivePath(const QString& drivePath);

// Drive path (C:\usr\lib, C:\, c:) to host path. Empty components and "." are skipped and ".."
// never leaves the drive root. None when the letter is not mapped or the path is not a drive path.
std::optional<QByteArray> DriveToHost(const QString& drivePath);
// Host path (absolute or relative to the working folder) to drive path: the mapped root that is
// the longest prefix wins. None when no drive holds the path.
std::optional<QString> HostToDrive(const QByteArray& hostPath);

TDriveType DriveTypeOf(QChar letter);
// The mount holding a drive's root, from a fresh read of the mount table.
std::optional<TMountEntry> DriveMount(QChar letter);
