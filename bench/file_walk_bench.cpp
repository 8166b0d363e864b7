// Times one walk of a folder's files for the largest files and the file types, as the Largest
// Files page makes it, without the scan that korvane-scan makes first.
// usage: korvane-file-walk-bench HOSTFOLDER [N]
#include "platform/DriveTable.h"
#include "scan/FileCensus.h"

#include <QElapsedTimer>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fputs("usage: korvane-file-walk-bench HOSTFOLDER [N]\n", stderr);
    return 2;
  }
  TDriveTable::Instance().SetMappings({{'W', CleanHostPath(QByteArray(argv[1]))}});
  TFileCensusRequest request;
  request.DrivePath = QStringLiteral("W:\\");
  request.Largest = argc == 3 ? std::atoi(argv[2]) : DefaultLargestFiles;
  QElapsedTimer timer;
  timer.start();
  const TFileCensus census = TakeFileCensus(request);
  const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  if (!census.Complete()) {
    std::fprintf(stderr, "korvane-file-walk-bench: %s\n", census.Refusal.toUtf8().constData());
    return 1;
  }
  std::printf("files: %" PRId64 "\nfolders: %" PRId64 "\nbytes: %" PRId64 "\non-disk: %" PRId64 "\ntypes: %zu\nseconds: %.3f\n",
              census.Files, census.Folders, census.Bytes, census.OnDisk, census.Types.size(), seconds);
  return 0;
}
