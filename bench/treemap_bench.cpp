// korvane-treemap-bench HOSTFOLDER [RUNS]: scans HOSTFOLDER as a drive (as korvane-scan does),
// then times the treemap of its root at 1600x1000: the layout, the painting of the picture, the
// SVG, and going into the largest subfolder and back out (layout and paint each way). Prints
// "key: value" lines with the medians over RUNS (default 5), and the memory the tree and the
// treemap hold. Runs on the offscreen platform.

#include "charts/TreemapPicture.h"
#include "charts/TreemapFiles.h"
#include "platform/DriveTable.h"
#include "platform/UserPath.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

int64_t RssBytes() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long pages = 0, resident = 0;
  const int got = std::fscanf(f, "%ld %ld", &pages, &resident);
  std::fclose(f);
  return got == 2 ? static_cast<int64_t>(resident) * ::sysconf(_SC_PAGESIZE) : 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double Ms(QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

// CPU time of this thread in ms: what the work costs, less distorted than the wall time on a
// machine that others load.
double CpuMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fputs("usage: korvane-treemap-bench HOSTFOLDER [RUNS]\n", stderr);
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  // The argument's bytes as they are (a name that is not UTF-8 is benchmarked all the same).
  QString error;
  const std::optional<QByteArray> folder = CleanGivenHostPath(QByteArray(argv[1]), QByteArray(), &error);
  if (!folder) {
    std::fprintf(stderr, "treemap-bench: %s: %s\n", argv[1], HostPathBytes(error).constData());
    return 1;
  }
  TDriveTable::Instance().SetMappings({{'T', *folder}});

  const int64_t rss0 = RssBytes();
  THeadlessHost host;
  TScanSession session(host);
  session.ScanDrive(QStringLiteral("T") + DriveDisplayName(QStringLiteral("T:\\")));
  const TDriveRecInfo* drive = session.Drive('T');
  if (!drive || !drive->Node || !drive->Node->Data()) {
    std::fputs("treemap-bench: the scan did not complete\n", stderr);
    return 1;
  }
  const int64_t treeBytes = RssBytes() - rss0;
  TTreeNode* root = drive->Node;
  TTreeNode* largest = nullptr;
  for (int i = 0; i < root->Count(); ++i) {
    TTreeNode* c = root->Child(i);
    if (c->Data() && (!largest || c->Data()->TotalSize > largest->Data()->TotalSize)) largest = c;
  }

  const QSize size(1600, 1000);
  TDepthColoring coloring;
  std::vector<double> layout, paint, svg, inOut, layoutCpu, paintCpu;
  size_t tiles = 0;
  size_t fileTiles = 0;
  int64_t listings = 0;
  int64_t pictureBytes = 0;
  for (int r = 0; r < runs; ++r) {
    QElapsedTimer t;
    const int64_t before = RssBytes();
    t.start();
    double cpu = CpuMs();
    // Files get tiles of their own where there is room, read from the disk (as the page does the
    // first time, before its cache of listings holds them).
    TTreemapFileReader reader;
    TTreemapSettings settings;
    settings.FileSource = &reader;
    TTreemapPicture picture = MakeTreemapPicture(*root, size, settings);
    layout.push_back(Ms(t));
    layoutCpu.push_back(CpuMs() - cpu);
    tiles = picture.Map.Tiles.size();
    fileTiles = static_cast<size_t>(std::count_if(picture.Map.Tiles.begin(), picture.Map.Tiles.end(), [](const TTreemapTile& tile) { return tile.File; }));
    listings = reader.Reads();
    t.restart();
    cpu = CpuMs();
    QImage image(size, QImage::Format_RGB32);
    {
      QPainter painter(&image);
      PaintTreemap(painter, picture, coloring);
    }
    paint.push_back(Ms(t));
    paintCpu.push_back(CpuMs() - cpu);
    pictureBytes = std::max<int64_t>(pictureBytes, RssBytes() - before);
    t.restart();
    const QByteArray data = TreemapSvg(picture, coloring);
    svg.push_back(Ms(t));
    if (largest) {
      t.restart();
      for (TTreeNode* n : {largest, root}) {
        picture = MakeTreemapPicture(*n, size, settings);
        QPainter painter(&image);
        PaintTreemap(painter, picture, coloring);
      }
      inOut.push_back(Ms(t) / 2);
    }
  }
  const TFolderSize& rec = *root->Data();
  std::printf("folders: %d\n", rec.TotalFolders);
  std::printf("files: %d\n", rec.TotalFiles);
  std::printf("tiles: %zu\n", tiles);
  std::printf("file-tiles: %zu\n", fileTiles);
  std::printf("listings-read: %lld\n", static_cast<long long>(listings));
  std::printf("layout-ms: %.1f\n", Median(layout));
  std::printf("paint-ms: %.1f\n", Median(paint));
  std::printf("layout-and-paint-ms: %.1f\n", Median(layout) + Median(paint));
  std::printf("layout-cpu-ms: %.1f\n", Median(layoutCpu));
  std::printf("paint-cpu-ms: %.1f\n", Median(paintCpu));
  std::printf("svg-ms: %.1f\n", Median(svg));
  std::printf("go-in-or-out-ms: %.1f\n", Median(inOut));
  std::printf("tree-rss-bytes: %lld\n", static_cast<long long>(treeBytes));
  std::printf("tiles-bytes: %zu\n", tiles * sizeof(TTreemapTile));
  std::printf("picture-rss-bytes: %lld\n", static_cast<long long>(pictureBytes));
  std::printf("image-bytes: %lld\n", static_cast<long long>(size.width()) * size.height() * 4);
  return 0;
}
