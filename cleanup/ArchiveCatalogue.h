#pragma once
// The archive store of a drive: the folder "Archives Bin" at the drive's root (hidden through the
// root's ".hidden" file), its ZIP files, and the catalogue "archives.ini" beside them with one key
// per archive (its file name) in the sections "Descriptions", "FolderNames" and "OriginalPaths".
// A key is a plain file name: one with a folder part, "..", a leading dot or the catalogue's own
// name is ignored and never used to open or delete anything.

#include <QByteArray>
#include <QChar>
#include <QString>

#include <optional>
#include <vector>

extern const char ArchivesBinName[];     // "Archives Bin"
extern const char ArchiveCatalogueName[];  // "archives.ini"

// The host path of a drive's archives folder (whether or not it exists); nullopt for a letter
// that is no drive.
std::optional<QByteArray> ArchivesFolderOf(QChar letter);
// The archives folder as the user reads it: "T:\Archives Bin".
QString ArchivesFolderText(QChar letter);

// Makes the archives folder when it is missing and hides a new one in the drive root's ".hidden".
// An existing folder is kept as it is. False with *error "Could not create folder T:\Archives Bin"
// (and why) when there is no such folder and none can be made.
bool EnsureArchivesFolder(QChar letter, QByteArray* folder, QString* error);

// A new archive name for the drive: the letter, a random number drawn from 0 to 2147483646 in
// upper-case hexadecimal of at least 7 digits, ".ZIP" ("T01A2B3C4.ZIP"); drawn again while a file
// of that name is in the folder.
QString NewArchiveName(QChar letter, const QByteArray& archivesFolder);

bool IsCatalogueKey(const QString& key);

// The root of the drive holding this program ("C:\"), shown as the original location of an
// entry that has none.
QString ProgramDriveRoot();

struct TArchiveRecord {
  QString Key;
  QString Description;
  QString FolderName;
  QString OriginalPath;
};

class TArchiveCatalogue {
public:
  explicit TArchiveCatalogue(QByteArray archivesFolder) : folder_(std::move(archivesFolder)) {}

  QByteArray CatalogueFile() const;
  // The archive's host path; nullopt for a key that is no plain file name.
  std::optional<QByteArray> ArchivePath(const QString& key) const;

  // The entries whose archive file exists, in catalogue order. Entries whose file is gone are
  // removed from the catalogue; a catalogue left without entries is deleted together with the
  // archives folder when that holds nothing else. Throws EIniFileException when the catalogue
  // cannot be rewritten.
  std::vector<TArchiveRecord> List();
  // Looks one entry up without repairing anything.
  std::optional<TArchiveRecord> Find(const QString& key) const;

  // Writes the three values (Descriptions, FolderNames, OriginalPaths in that order). Throws
  // EIniFileException.
  void Add(const TArchiveRecord& record);
  void SetDescription(const QString& key, const QString& description);
  // Deletes the archive file, then its keys. False with *error "Could not delete archive PATH"
  // when the file cannot be deleted (the catalogue is then unchanged).
  bool DeleteArchive(const QString& key, QString* error);

private:
  void RemoveKeys(const QString& key);
  QByteArray folder_;
};
