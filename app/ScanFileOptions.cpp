#include "app/ScanFileOptions.h"

#include "platform/DriveTable.h"
#include "platform/HostNames.h"
#include "scan/FileCensus.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

bool TakeScanFileOptions(int& argc, char** argv, TScanFileOptions& options, QString* error) {
  int kept = 1;
  bool ended = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!ended && std::strcmp(arg, "--") == 0) ended = true;
    if (ended) {
      argv[kept++] = argv[i];
      continue;
    }
    if (std::strcmp(arg, "--types") == 0) {
      options.Types = true;
      continue;
    }
    const char* count = nullptr;
    if (std::strcmp(arg, "--largest") == 0) {
      if (i + 1 >= argc) {
        *error = QStringLiteral("--largest needs a number of files");
        return false;
      }
      count = argv[++i];
    } else if (std::strncmp(arg, "--largest=", 10) == 0) {
      count = arg + 10;
    } else {
      argv[kept++] = argv[i];
      continue;
    }
    bool ok = false;
    const int n = QByteArray(count).toInt(&ok);
    if (!ok || n < 1 || n > MaxLargestFiles) {
      *error = QStringLiteral("--largest takes a number from 1 to %1, not \"%2\"")
                   .arg(MaxLargestFiles)
                   .arg(QString::fromLocal8Bit(count));
      return false;
    }
    options.Largest = n;
  }
  argc = kept;
  argv[argc] = nullptr;
  return true;
}

bool PrintScanFiles(const QString& drivePath, const TScanFileOptions& options, const QStringList& named) {
  TFileCensusRequest request;
  request.DrivePath = drivePath;
  request.Largest = options.Largest;
  request.Types = options.Types;
  const TFileCensus census = TakeFileCensus(request);
  for (const QString& path : census.UnreadableFolders) {
    if (named.contains(path) || named.contains(path + QLatin1Char('\\'))) continue;
    const std::optional<QByteArray> host = DriveToHost(path);
    std::fprintf(stderr, "korvane-scan: cannot read folder %s\n", host ? host->constData() : path.toUtf8().constData());
  }
  if (!census.Complete()) {
    std::fprintf(stderr, "korvane-scan: the walk of the files did not complete: %s\n",
                 census.Refusal.isEmpty() ? "cancelled" : census.Refusal.toUtf8().constData());
    return false;
  }
  for (const TLargeFile& file : census.Largest)
    std::printf("file: %" PRId64 " %s\n", file.Size, census.HostPathOf(file).constData());
  if (options.Types)
    for (const TFileType& type : census.Types)
      std::printf("type: %s %" PRId64 " %" PRId64 " %" PRId64 "\n", EncodeHostName(type.Extension).constData(), type.Count,
                  type.Bytes, type.OnDisk);
  return true;
}
