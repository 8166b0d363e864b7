#pragma once
// Archiving a folder into its drive's "Archives Bin": the archive is written under a temporary
// name, read back completely, renamed to its final name and recorded in the catalogue; only then,
// when the folder is moved to the archive, are its files that are in the archive deleted. Stop,
// an error or a failed check leave every source as it was, remove the partial archive and write
// no catalogue entry.

#include "cleanup/FreeOperation.h"
#include "cleanup/ZipMaster.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct TArchiveRequest {
  QByteArray Folder;     // host path of the folder to archive
  QChar Drive;           // the drive that receives the archive; null: the folder's own drive
  QString Description;   // null: the folder's name followed by " Folder"
  int Level = 9;
  bool Subfolders = true;
  bool Hidden = true;
  bool Move = false;
  bool Encrypt = false;
  std::function<std::optional<QByteArray>(TZipPasswordPurpose)> Password;
  std::function<void(int code, const QString& text)> OnMessage;  // the engine's messages
};

struct TArchiveOutcome {
  TOpResult Result;
  QString Key;              // the archive's name ("T01A2B3C4.ZIP"), when one was made
  QByteArray ArchivePath;   // its host path
  int64_t FolderBytes = 0;  // the sizes of the files archived
  int64_t ArchiveBytes = 0;
  QString Message;          // what the user reads about the outcome
};

TArchiveOutcome ArchiveFolder(const TArchiveRequest& request, TOpContext& context);

// The catalogue's original location of a folder: its parent as a drive path, without a trailing
// backslash except for a drive root ("T:\" or "T:\data"); the parent's host path when it is on no
// drive.
QString OriginalLocationOf(const QByteArray& folderHostPath);
