#include "cleanup/RestoreArchive.h"

#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/ZipProgress.h"
#include "platform/DriveTable.h"
#include "platform/HostNames.h"

#include <QFile>

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
    std::optional<QByteArray> host = record->OriginalPath.startsWith(QLatin1Char('/'))
                                         ? std::optional<QByteArray>(EncodeEscapedUtf8(record->OriginalPath))
                                         : DriveToHost(record->OriginalPath);
    if (!host)
      return fail(*archivePath, QStringLiteral("the original location %1 is on no drive; name a folder to restore into")
                                    .arg(record->OriginalPath));
    target = *host;
  }
  target = CleanHostPath(target);
  out.RestoredFolder = (target.endsWith('/') ? target : target + '/') + EncodeHostName(record->FolderName);
  const QString restoredText = DecodeEscapedUtf8(out.RestoredFolder);
  const QString failureText =
      QStringLiteral("The folder %1 was not successfully restored. The ZIP archive containing the "
                     "folder (%2) will not be deleted from your hard-disk so you can try to "
                     "manually restore the folder from the archive.")
          .arg(restoredText, DecodeEscapedUtf8(*archivePath));

  TZipMaster zip;
  zip.SetZipFilename(*archivePath);
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
