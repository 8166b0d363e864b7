#include "cleanup/ZipProgress.h"

#include "cleanup/ZipMaster.h"

#include <algorithm>

void ReportZipProgress(TZipMaster& zip, TOpContext& context, const QString& baseShown) {
  zip.OnBusy = [&zip, &context] {
    context.Busy();
    if (context.Cancelled()) zip.Cancel();
  };
  zip.OnProgress = [&zip, &context, baseShown, progress = TOpProgress{}](TZipProgrType type, const QString& file,
                                                                         int64_t size) mutable {
    switch (type) {
      case TZipProgrType::TotalFiles2Process: progress.entriesTotal = size; break;
      case TZipProgrType::TotalSize2Process: progress.bytesTotal = size; break;
      case TZipProgrType::NewFile:
        ++progress.entriesDone;
        progress.currentPath = baseShown + QLatin1Char('/') + file;
        break;
      case TZipProgrType::ProgressUpdate:
        progress.bytesDone = std::min(progress.bytesDone + size, progress.bytesTotal);
        break;
      case TZipProgrType::EndOfBatch: progress.bytesDone = progress.bytesTotal; break;
    }
    context.Progress(progress);
    if (context.Cancelled()) zip.Cancel();
  };
}
