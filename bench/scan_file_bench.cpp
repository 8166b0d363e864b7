// Times opening a scan file (an ncdu JSON export) as the window does: reading it (on the window's
// worker thread) and adding its folders to the tree as a loaded drive (on the window's thread,
// the part the window waits for). Prints medians of RUNS and the machine's load.
// usage: korvane-scan-file-bench FILE.json [RUNS]   (make one with: ncdu -x -o FILE.json /usr)

#include "history/NcduDrive.h"
#include "history/NcduReader.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: korvane-scan-file-bench FILE.json [RUNS]\n");
    return 2;
  }
  const QString file = QFile::decodeName(argv[1]);
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<double> readMs, addMs, removeMs;
  size_t folders = 0;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer timer;
    timer.start();
    const TNcduScan scan = ReadNcduFile(file);
    readMs.push_back(timer.nsecsElapsed() / 1e6);
    if (scan.Folders.empty()) {
      std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(scan.Error));
      return 1;
    }
    folders = scan.Folders.size();
    THeadlessHost host;
    TScanSession session(host);
    timer.restart();
    TDriveRecInfo* drive = AddNcduDrive(session, scan, file);
    addMs.push_back(timer.nsecsElapsed() / 1e6);
    if (!drive) return 1;
    timer.restart();
    session.RemoveDrive(QChar::fromLatin1(drive->Letter));
    removeMs.push_back(timer.nsecsElapsed() / 1e6);
  }
  QFile f(file);
  std::printf("file-bytes: %lld\nfolders: %zu\nruns: %d\n", static_cast<long long>(f.size()), folders, runs);
  std::printf("read-ms (worker thread): %.1f\n", Median(readMs));
  std::printf("add-to-tree-ms (window thread): %.1f\n", Median(addMs));
  std::printf("remove-ms (window thread): %.1f\n", Median(removeMs));
  QFile load(QStringLiteral("/proc/loadavg"));
  if (load.open(QIODevice::ReadOnly)) std::printf("load-average: %s", load.readAll().constData());
  return 0;
}
