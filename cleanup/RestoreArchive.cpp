#include "cleanup/RestoreArchive.h"

#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/ZipProgress.h"
#include "platform/DriveTable.h"
#include "platform/HostNames.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/stat.h>

TRestoreOutcome RestoreArchive(const TRestoreRequest& request, TOpContext& context) {
  TRestoreOutcome out;
  auto fail = [&](const QByteArray& path, const QString& reason) {
    out.Result.status = TOpStatus::Failed;
    out.Result.failures.push_back({path, reason, 0});
    if (out.Message.isEmpty()) out.Message = reason;
    return out;
  };
  std::optional<QByteArray> archives = ArchivesFolderOf(request.Drive);
  if (!archives) return fail(QByteArray(), QStringLiteral("there is no drive %1:").arg(request.Drive));
  TArchiveCatalogue catalogue(*archives);
  std::optional<QByteArray> archivePath = catalogue.ArchivePath(request.Key);
  std::optional<TArchiveRecord> record = catalogue.Find(request.Key);
  if (!archivePath || !record)
    return fail(QByteArray(), QStringLiteral("%1 is not in the catalogue of drive %2:")
                                  .arg(request.Key, request.Drive.toUpper()));
  archivePath = catalogue.ArchivePath(record->Key);

  QByteArray target = request.Target;
  if (target.isEmpty()) {
    if (!record->HasOriginalPath)
      return fail(*archivePath, QStringLiteral("the catalogue gives no original location for %1; name a folder to "
                                               "restore it into").arg(record->Key));
    const QString original = record->OriginalPath;
    if (original.split(QRegularExpression(QStringLiteral("[/\\\\]"))).contains(QStringLiteral("..")))
      return fail(*archivePath, QStringLiteral("the original location %1 is no plain folder path; name a folder to "
                                               "restore into").arg(original));
    std::optional<QByteArray> host = original.startsWith(QLatin1Char('/'))
                                         ? std::optional<QByteArray>(EncodeEscapedUtf8(original))
                                         : DriveToHost(original);
    if (!host)
      return fail(*archivePath, QStringLiteral("the original location %1 is on no drive; name a folder to restore into")
                                    .arg(original));
    target = *host;
  }
  target = CleanHostPath(target);
  // The folder the entry names is the only place the restore writes to: one plain name below the
  // target, and every member of the archive inside it.
  const QByteArray folderName = EncodeHostName(record->FolderName);
  if (folderName.isEmpty() || folderName == "." || folderName == ".." || folderName.contains('/'))
    return fail(*archivePath, QStringLiteral("the catalogue names no folder for %1 (\"%2\")")
                                  .arg(record->Key, record->FolderName));
  out.RestoredFolder = (target.endsWith('/') ? target : target + '/') + folderName;
  const QString restoredText = DecodeEscapedUtf8(out.RestoredFolder);
  const QString failureText =
      QStringLiteral("The folder %1 was not successfully restored. The ZIP archive containing the "
                     "folder (%2) will not be deleted from your hard-disk so you can try to "
                     "manually restore the folder from the archive.")
          .arg(restoredText, DecodeEscapedUtf8(*archivePath));
  TZipMaster zip;
  zip.SetZipFilename(*archivePath);
  for (const TZipContentEntry& e : zip.Contents()) {
    QList<QByteArray> parts;
    for (const QByteArray& part : e.Name.split('/'))
      if (!part.isEmpty() && part != ".") parts << part;
    if (parts.isEmpty() && e.Type == S_IFDIR) continue;  // "./": the target itself, nothing written
    if (parts.isEmpty() || parts.first() != folderName || (parts.size() == 1 && e.Type != S_IFDIR)) {
      out.Message = failureText;
      return fail(*archivePath, QStringLiteral("the member \"%1\" lies outside the folder %2 the catalogue names; "
                                               "nothing was restored").arg(DecodeEscapedUtf8(e.Name), record->FolderName));
    }
  }
  zip.ExtrBaseDir = target;
  zip.OnPassword = request.Password;
  zip.OnMessage = request.OnMessage;
  ReportZipProgress(zip, context, DecodeEscapedUtf8(target));
  if (context.Cancelled()) zip.Cancel();
  const bool extracted = zip.Extract();
  const bool success = extracted && zip.ErrCode() == ZipOk &&
                       zip.SuccessCnt() == int(zip.Contents().size());
  out.Result.entriesDone = zip.SuccessCnt();
  out.Result.changed = zip.SuccessCnt() > 0;
  if (!success) {
    const bool cancelled = zip.Cancelled() || context.Cancelled();
    out.Result.status = cancelled ? TOpStatus::Cancelled : TOpStatus::Failed;
    for (const QString& e : zip.Errors()) out.Result.failures.push_back({*archivePath, e, 0});
    out.Message = failureText;
    return out;
  }
  out.Result.status = TOpStatus::Done;
  out.Result.bytesDone = zip.ContentsSize();
  out.Message = QStringLiteral("The folder %1 was successfully restored").arg(restoredText);
  if (request.DeleteArchive) {
    QString error;
    out.ArchiveDeleted = catalogue.DeleteArchive(record->Key, &error);
    if (!out.ArchiveDeleted) {
      out.Result.status = TOpStatus::PartlyDone;
      out.Result.failures.push_back({*archivePath, error, 0});
    }
  }
  return out;
}
