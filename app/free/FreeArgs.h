#pragma once
// Reading korvane-free's options and arguments, apart from running the verbs: each verb's parse
// gives what the verb needs, or the messages that make it end with exit code 2, and touches no
// file. Paths stay as given; the verbs resolve them (ResolveFreePath) before anything is done.

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>

struct TFreeArgs {
  QStringList Errors;  // "VERB: ..." each; not empty: bad arguments
  QStringList Paths;   // trash, delete: the paths; move: SOURCE, TARGET; archive: the folder;
                       // trash-size, empty-trash: the one drive or path
  bool Yes = false;      // delete, delete-archive, empty-trash
  bool Replace = false;  // move
  // archive
  std::optional<QChar> Drive;  // --drive; archives, restore, delete-archive: the drive
  QString Description;
  int Level = 9;
  bool Subfolders = true;
  bool Hidden = true;
  bool Move = false;
  bool PasswordStdin = false;  // archive, restore
  // restore, delete-archive
  QString Key;
  QString To;  // null: no --to
  bool DeleteArchive = false;
};

// "D:", "d:" or "D" (also "D:\") naming a mapped drive.
std::optional<QChar> DriveArgument(const QString& arg);

TFreeArgs ParseTrashArguments(const QStringList& args);
TFreeArgs ParseDeleteArguments(const QStringList& args);
TFreeArgs ParseMoveArguments(const QStringList& args);
TFreeArgs ParseArchiveArguments(const QStringList& args);
TFreeArgs ParseArchivesArguments(const QStringList& args);
TFreeArgs ParseRestoreArguments(const QStringList& args);
TFreeArgs ParseDeleteArchiveArguments(const QStringList& args);
TFreeArgs ParseTrashSizeArguments(const QStringList& args);
TFreeArgs ParseEmptyTrashArguments(const QStringList& args);

// The parse of the named verb; nullopt for a verb korvane-free does not know.
std::optional<TFreeArgs> ParseFreeArguments(const QString& verb, const QStringList& args);
