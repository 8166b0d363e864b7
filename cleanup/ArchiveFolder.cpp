#include "cleanup/ArchiveFolder.h"

#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/HostEntry.h"
#include "cleanup/ZipProgress.h"
#include "config/AtomicFile.h"
#include "config/IniFile.h"
#include "platform/DriveTable.h"
#include "platform/HostNames.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Shown(const QByteArray& host) { return DecodeEscapedUtf8(host); }

bool IsDriveRootOrSlash(const QByteArray& host) {
  if (host == "/") return true;
  for (const TDriveMapping& m : TDriveTable::Instance().Mappings())
    if (CleanHostPath(m.HostRoot) == host) return true;
  return false;
}

}  // namespace

QString OriginalLocationOf(const QByteArray& folderHostPath) {
  const QByteArray parent = FolderOf(CleanHostPath(folderHostPath));
  std::optional<QString> drive = HostToDrive(parent);
  if (!drive) return Shown(parent);
  QString text = *drive;
  if (text.size() > 3 && text.endsWith(QLatin1Char('\\'))) text.chop(1);
  if (text.size() == 2) text += QLatin1Char('\\');
  return text;
}

TArchiveOutcome ArchiveFolder(const TArchiveRequest& request, TOpContext& context) {
  TArchiveOutcome out;
  const QByteArray folder = CleanHostPath(request.Folder);
  const QString shown = Shown(folder);
  auto fail = [&](const QString& reason, TOpStatus status = TOpStatus::Failed) {
    out.Result.status = status;
    out.Result.failures.push_back({folder, reason, 0});
    out.Message = QStringLiteral("The folder %1 was not archived.").arg(shown);
    return out;
  };
  struct stat st {};
  if (::lstat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
    return fail(QStringLiteral("it is not a folder"));
  if (IsDriveRootOrSlash(folder)) return fail(QStringLiteral("a drive root cannot be archived"));
  if (request.Move) {
    // Deleting what was archived must never reach into another mount, not even a bind mount of
    // this same file system: refuse before anything is written.
    char real[PATH_MAX];
    const QByteArray below = ::realpath(folder.constData(), real) ? MountPointBelow(QByteArray(real), true) : QByteArray();
    if (!below.isEmpty())
      return fail(QStringLiteral("a file system is mounted at %1 inside the folder; unmount it first, or archive "
                                 "without moving").arg(Shown(below)));
  }

  QChar letter = request.Drive;
  if (letter.isNull()) {
    std::optional<QString> drive = HostToDrive(folder);
    if (!drive) return fail(QStringLiteral("it is on no drive; name the drive for the archive"));
    letter = drive->at(0);
  }
  letter = letter.toUpper();
  QByteArray archives;
  QString error;
  if (!EnsureArchivesFolder(letter, &archives, &error)) return fail(error);
  if (folder == archives || folder.startsWith(archives + '/'))
    return fail(QStringLiteral("it is the archives folder or lies inside it"));
  TZipMaster::RemoveStaleParts(archives);
  struct stat archivesStat {};
  ::stat(archives.constData(), &archivesStat);

  const QByteArray name = folder.mid(folder.lastIndexOf('/') + 1);
  const QString folderName = DecodeHostName(std::string_view(name.constData(), size_t(name.size())));
  out.Key = NewArchiveName(letter, archives);
  out.ArchivePath = archives + '/' + out.Key.toLatin1();

  TZipMaster zip;
  zip.SetZipFilename(out.ArchivePath);
  zip.AddOptions = AddDirNames;
  if (request.Subfolders) zip.AddOptions |= AddRecurseDirs;
  if (request.Hidden) zip.AddOptions |= AddHiddenFiles;
  if (request.Encrypt) zip.AddOptions |= AddEncrypt;
  zip.AddCompLevel = request.Level;
  zip.RootDir = FolderOf(folder);
  zip.FSpecArgs = QStringList{folderName + QStringLiteral("/*.*")};
  zip.ExcludeFolders.push_back({archivesStat.st_dev, archivesStat.st_ino});
  zip.OnPassword = request.Password;
  zip.OnMessage = request.OnMessage;

  TArchiveRecord record;
  record.Key = out.Key;
  record.Description = request.Description.isNull() ? folderName + QStringLiteral(" Folder")
                                                     : request.Description;
  record.FolderName = folderName;
  record.OriginalPath = OriginalLocationOf(folder);
  // The entry is written once the archive is complete and just before it gets its name: killed
  // before the name, the entry names no file and the next listing drops it; killed after, the
  // archive is listed. An archive nobody can find is no archive.
  TArchiveCatalogue catalogue(archives);
  bool recorded = false;
  QString catalogueError;
  zip.OnBeforeRename = [&] {
    try {
      catalogue.Add(record);
      recorded = true;
      return true;
    } catch (const EIniFileException& e) {
      catalogueError = e.Message();
      return false;
    }
  };

  ReportZipProgress(zip, context, Shown(zip.RootDir));
  if (context.Cancelled()) return fail(QStringLiteral("stopped"), TOpStatus::Cancelled);

  if (!zip.Add()) {
    if (recorded) {
      try {
        catalogue.RemoveKeys(record.Key);
      } catch (const EIniFileException&) {
        // The entry names no file; the next listing drops it.
      }
    }
    const bool cancelled = zip.Cancelled() || context.Cancelled();
    out.Result.status = cancelled ? TOpStatus::Cancelled : TOpStatus::Failed;
    if (!catalogueError.isEmpty())
      out.Result.failures.push_back({folder, QStringLiteral("the catalogue cannot be written: %1").arg(catalogueError), 0});
    for (const QString& e : zip.Errors()) out.Result.failures.push_back({folder, e, 0});
    out.Message = QStringLiteral("The folder %1 was not archived.").arg(shown);
    out.Key.clear();
    out.ArchivePath.clear();
    return out;
  }
  out.FolderBytes = zip.AddedBytes();
  if (::stat(out.ArchivePath.constData(), &st) == 0) out.ArchiveBytes = st.st_size;

  out.Result.changed = true;
  out.Result.entriesDone = zip.AddedCount();
  out.Result.bytesDone = out.FolderBytes;

  if (request.Move && !zip.MountsLeftOut().isEmpty()) {
    // A mount that appeared after the check: the archive is kept, and so is every source.
    for (const QByteArray& mount : zip.MountsLeftOut())
      out.Result.failures.push_back({mount, QStringLiteral("another file system or a mount; it was left out, so "
                                                           "nothing of the folder was deleted"), 0});
    out.Result.status = TOpStatus::PartlyDone;
    out.Message = QStringLiteral("The folder %1 was archived to %2, but it was kept.").arg(shown, out.Key);
    return out;
  }
  if (request.Move && !zip.DeleteAddedSources()) {
    if (zip.Cancelled() || context.Cancelled())
      out.Result.failures.push_back({folder, QStringLiteral("stopped while its files were deleted; what is left is kept "
                                                            "(everything is in the archive)"), 0});
    for (const QByteArray& kept : zip.KeptSources())
      out.Result.failures.push_back({kept, QStringLiteral("changed after it was archived, or could not be deleted; kept"), 0});
    out.Result.status = TOpStatus::PartlyDone;
    out.Message = QStringLiteral("The folder %1 was archived to %2, but some of its files were kept.")
                      .arg(shown, out.Key);
    return out;
  }
  out.Result.status = TOpStatus::Done;
  out.Message = QStringLiteral("The folder %1 was archived to %2.").arg(shown, out.Key);
  return out;
}
