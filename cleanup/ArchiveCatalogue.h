#pragma once
// The archive store of a drive: the folder "Archives Bin" at the drive's root (hidden through the
// root's ".hidden" file), its ZIP files, and the catalogue "archives.ini" beside them with one key
// per archive (its file name) in the sections "Descriptions", "FolderNames" and "OriginalPaths".
// A key is a plain file name: one with a folder part, "..", a leading dot or the catalogue's own
// name is ignored and never used to open or delete anything. Keys are file names, so they compare
// case-sensitively ("s0000003.zip" and "S0000003.ZIP" are two archives).
//
// A catalogue that cannot be read (no permission, no regular file) is never written, renamed or
// removed; one that reads as something else than a catalogue (binary bytes, no section of its
// own) is set aside under a new name. Either way the archives in the folder are listed from their
// own contents. An archive file the catalogue does not list (an archive run killed at the wrong
// moment, a catalogue set aside) is added to it from its own contents, without an original
// location.

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

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
// Whether a file name has the shape NewArchiveName gives ("T01A2B3C4.ZIP").
bool IsArchiveFileName(const QString& name);

// The root of the drive holding this program ("C:\"), shown as the original location of an
// entry that has none.
QString ProgramDriveRoot();

struct TArchiveRecord {
  QString Key;
  QString Description;
  QString FolderName;
  QString OriginalPath;         // ProgramDriveRoot() when the catalogue gives none
  bool HasOriginalPath = true;  // false: restoring needs a folder to restore into
  bool Recovered = false;       // read from the archive itself, not from the catalogue
};

class TArchiveCatalogue {
public:
  explicit TArchiveCatalogue(QByteArray archivesFolder) : folder_(std::move(archivesFolder)) {}

  QByteArray CatalogueFile() const;
  // The archive's host path; nullopt for a key that is no plain file name.
  std::optional<QByteArray> ArchivePath(const QString& key) const;

  // The entries whose archive file exists, in catalogue order, then the archives the catalogue
  // did not list (added to it when it can be written). Entries whose file is gone are removed
  // from the catalogue (not while an archive run is writing that file); a catalogue left without
  // entries is deleted together with the archives folder when that holds nothing else. What the
  // user should know (a catalogue set aside or unreadable, archives recovered) goes to *notes;
  // *unusable tells whether the catalogue could not be used as it was (unreadable or set aside).
  // Throws EIniFileException when the catalogue cannot be rewritten.
  std::vector<TArchiveRecord> List(QStringList* notes = nullptr, bool* unusable = nullptr);
  // Looks one entry up without changing anything: the key as spelled, else the one key that
  // differs from it in case only; an archive file the catalogue does not list (or a catalogue
  // that cannot be read) gives the record recovered from the archive itself.
  std::optional<TArchiveRecord> Find(const QString& key) const;

  // Writes the three values (Descriptions, FolderNames, OriginalPaths in that order; the last
  // only when the record has an original location). A damaged catalogue is set aside first.
  // Throws EIniFileException, also for a catalogue that cannot be read.
  void Add(const TArchiveRecord& record);
  // Adds many records in one write.
  void AddAll(const std::vector<TArchiveRecord>& records);
  void SetDescription(const QString& key, const QString& description);
  // Removes the key's values (an archive that could not be named after all).
  void RemoveKeys(const QString& key);
  // Deletes the archive file, then its keys. False with *error "Could not delete archive PATH"
  // when the file cannot be deleted (the catalogue is then unchanged), or when the catalogue
  // cannot be read (nothing is deleted).
  bool DeleteArchive(const QString& key, QString* error);

private:
  QByteArray folder_;
};
