#pragma once
// Restoring an archived folder from a drive's "Archives Bin" into its original location or into
// another folder. The restore writes only inside the folder the catalogue entry names (target +
// folder name): an archive with a member outside it is refused. Every member is checked before
// anything is written, and nothing in the target is replaced; a refused member, a member whose
// place is taken, a damaged member or a wrong password make the restore a failure, and the
// archive and its catalogue entry stay. An entry without an original location is restored only
// into a folder the caller names. Only a complete restore deletes the archive, and only when
// asked to.

#include "cleanup/FreeOperation.h"
#include "cleanup/ZipMaster.h"

#include <QByteArray>
#include <QChar>
#include <QString>

#include <functional>
#include <optional>

struct TRestoreRequest {
  QChar Drive;            // the drive whose archives folder holds the archive
  QString Key;            // the archive's catalogue key (its file name)
  QByteArray Target;      // host folder to restore into; empty: the original location
  bool DeleteArchive = false;
  std::function<std::optional<QByteArray>(TZipPasswordPurpose)> Password;
  std::function<void(int code, const QString& text)> OnMessage;
};

struct TRestoreOutcome {
  TOpResult Result;
  QByteArray RestoredFolder;  // host path of the folder restored (target + folder name)
  bool ArchiveDeleted = false;
  QString Message;            // what the user reads about the outcome
};

TRestoreOutcome RestoreArchive(const TRestoreRequest& request, TOpContext& context);
