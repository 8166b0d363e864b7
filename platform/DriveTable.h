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
std::vector<TDriveMapping> ParseDriveMappings(const QByteArray& mappings, QString* errors = nullptr);

// The automatic table: C: the root file system, H: the home folder, the folders the user mapped
// (mapped) with their letters, then every other mounted file system that holds user data in
// mount-table order: a mount point that had a letter before (remembered) gets it again when it
// is free; a new one gets the first free letter from D: on, passing over the letters remembered
// for mount points that are absent now as long as other letters are free.
std::vector<TDriveMapping> AutomaticDrives(const std::vector<TMountEntry>& mounts,
                                           const QByteArray& homeFolder,
                                           const std::vector<TDriveMapping>& remembered = {},
                                           const std::vector<TDriveMapping>& mapped = {});

// Where the automatic table keeps the letters it gave, so that a letter means the same file
// system in later runs, and the folders the user mapped to letters. The settings store
// implements it; without one, letters are given afresh in every run.
class IDriveLetterStore {
public:
  virtual ~IDriveLetterStore() = default;
  // The mount points and the letters they were given before.
  virtual std::vector<TDriveMapping> Remembered() = 0;
  // Keeps the letters given to mount points in this run.
  virtual void Remember(const std::vector<TDriveMapping>& given) = 0;
  // The folders the user mapped to letters.
  virtual std::vector<TDriveMapping> Mapped() = 0;
  // Keep or forget a mapped folder; false with the reason in *error when that fails.
  virtual bool Map(char letter, const QByteArray& hostFolder, QString* error) = 0;
  virtual bool Unmap(char letter, QString* error) = 0;
};

// The process-wide drive table, built on first use from KORVANE_DRIVES or the mount table.
class TDriveTable {
public:
  static TDriveTable& Instance();

  void Reload();
  void SetMappings(std::vector<TDriveMapping> mappings);
  // The store of remembered letters and mapped folders (not owned; null for none); reloads the
  // table. KORVANE_DRIVES, when set, stays the whole table at start all the same.
  void SetLetterStore(IDriveLetterStore* store);
  IDriveLetterStore* LetterStore() const { return store_; }
  const std::vector<TDriveMapping>& Mappings() const { return mappings_; }

  const TDriveMapping* Find(QChar letter) const;
  // The letters of all drives in alphabetical order ("CDH").
  QString Letters() const;

  // The letters mapped by the user (from the store, and by MapDriveLetter in this run).
  const std::vector<TDriveMapping>& UserMapped() const { return userMapped_; }

private:
  friend bool MapDriveLetter(char letter, const QByteArray& hostFolder, QString* error);
  friend bool UnmapDriveLetter(char letter, QString* error);

  TDriveTable();
  std::vector<TDriveMapping> mappings_;
  std::vector<TDriveMapping> userMapped_;
  IDriveLetterStore* store_ = nullptr;
};

// Maps a letter to an existing host folder, for this run and, through the letter store, for
// later runs. False with the reason in *error when the letter is not C to Z or is in use, when
// the folder does not exist, or when the store fails.
bool MapDriveLetter(char letter, const QByteArray& hostFolder, QString* error = nullptr);
// Removes a letter mapped by the user. False with the reason when it is none.
bool UnmapDriveLetter(char letter, QString* error = nullptr);

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
