#include "cleanup/ArchiveFolder.h"

#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/ZipProgress.h"
#include "config/AtomicFile.h"
#include "config/IniFile.h"
#include "platform/DriveTable.h"
#include "platform/HostNames.h"

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

  ReportZipProgress(zip, context, Shown(zip.RootDir));
  if (context.Cancelled()) return fail(QStringLiteral("stopped"), TOpStatus::Cancelled);

  if (!zip.Add()) {
    const bool cancelled = zip.Cancelled() || context.Cancelled();
    out.Result.status = cancelled ? TOpStatus::Cancelled : TOpStatus::Failed;
    for (const QString& e : zip.Errors()) out.Result.failures.push_back({folder, e, 0});
    out.Message = QStringLiteral("The folder %1 was not archived.").arg(shown);
    out.Key.clear();
    out.ArchivePath.clear();
    return out;
  }
  out.FolderBytes = zip.AddedBytes();
  if (::stat(out.ArchivePath.constData(), &st) == 0) out.ArchiveBytes = st.st_size;

  TArchiveRecord record;
  record.Key = out.Key;
  record.Description = request.Description.isNull() ? folderName + QStringLiteral(" Folder")
                                                     : request.Description;
  record.FolderName = folderName;
  record.OriginalPath = OriginalLocationOf(folder);
  try {
    TArchiveCatalogue(archives).Add(record);
  } catch (const EIniFileException& e) {
    // An archive nobody can find is no archive: take it away and keep the folder.
    ::unlink(out.ArchivePath.constData());
    out.Key.clear();
    out.ArchivePath.clear();
    return fail(QStringLiteral("the catalogue cannot be written: %1").arg(e.Message()));
  }
  out.Result.changed = true;
  out.Result.entriesDone = zip.AddedCount();
  out.Result.bytesDone = out.FolderBytes;

  if (request.Move && !zip.DeleteAddedSources()) {
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
