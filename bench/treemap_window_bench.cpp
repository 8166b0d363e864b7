// korvane-treemap-window-bench HOSTFOLDER [SHOT.png [WIDTHxHEIGHT]]: scans HOSTFOLDER as drive T
// in the main window, shows its root on the Treemap page, and measures what the page costs: the
// longest time the event queue waits (the selection itself, then each event handled until the
// page is drawn) while the page goes into the largest subfolder and back out, the time until
// the picture is complete, and the memory the page takes beside the tree's. With SHOT.png,
// saves a picture of the window (at the screen's scaling: QT_SCALE_FACTOR=2 doubles it). Runs
// on the offscreen platform with a screen large enough for the window at that scaling;
// settings go to a temporary folder.

#include "charts/ui/TreemapView.h"
#include "charts/TreemapFiles.h"
#include "platform/DriveTable.h"
#include "platform/UserPath.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/Startup.h"
#include "ui/main/TreemapPage.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

namespace {

double ThreadCpuMs() {
  timespec ts {};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Times every event the loop hands out (not the ones sent from inside another).
class TTimedApplication : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    if (depth_ > 0) return QApplication::notify(receiver, event);
    ++depth_;
    QElapsedTimer t;
    t.start();
    const double cpu = ThreadCpuMs();
    const bool done = QApplication::notify(receiver, event);
    Longest = std::max(Longest, static_cast<double>(t.nsecsElapsed()) / 1e6);
    LongestCpu = std::max(LongestCpu, ThreadCpuMs() - cpu);
    --depth_;
    return done;
  }
  // Wall time (what the user waits, other processes' turns on the CPU included) and this
  // thread's CPU time (what the event itself cost).
  double Longest = 0;
  double LongestCpu = 0;

private:
  int depth_ = 0;
};

struct TGo {
  // The longest wait of the event loop (wall and CPU), and the time until the page was drawn
  // in full.
  double LongestMs = 0;
  double LongestCpuMs = 0;
  double CompleteMs = 0;
};

int64_t RssBytes() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long pages = 0, resident = 0;
  const int got = std::fscanf(f, "%ld %ld", &pages, &resident);
  std::fclose(f);
  return got == 2 ? static_cast<int64_t>(resident) * ::sysconf(_SC_PAGESIZE) : 0;
}

// Makes node the current folder on the treemap page (what a double click does) and runs the
// event loop until the page is drawn.
TGo Go(TTimedApplication& app, TMainForm& form, TTreeNode* node) {
  TTreemapPage* page = form.findChild<TTreemapPage*>();
  TTreemapView* view = page->View();
  QElapsedTimer t;
  t.start();
  const double cpu = ThreadCpuMs();
  form.SelectNode(node);
  TGo go;
  go.LongestMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
  go.LongestCpuMs = ThreadCpuMs() - cpu;
  app.Longest = 0;
  app.LongestCpu = 0;
  // Drawn with the files of every folder that has room for them.
  while (view->Busy() || page->Files().Waiting() > 0) QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();
  go.CompleteMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
  go.LongestMs = std::max(go.LongestMs, app.Longest);
  go.LongestCpuMs = std::max(go.LongestCpuMs, app.LongestCpu);
  return go;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fputs("usage: korvane-treemap-window-bench HOSTFOLDER [SHOT.png [WIDTHxHEIGHT]]\n", stderr);
    return 2;
  }
  // The argument's bytes as they are (a name that is not UTF-8 is benchmarked all the same).
  QString error;
  const std::optional<QByteArray> given = CleanGivenHostPath(QByteArray(argv[1]), QByteArray(), &error);
  if (!given) {
    std::fprintf(stderr, "treemap-window-bench: %s: %s\n", argv[1], HostPathBytes(error).constData());
    return 1;
  }
  const QByteArray folder = *given;
  const QString shot = argc > 2 ? QFileInfo(QFile::decodeName(argv[2])).absoluteFilePath() : QString();
  QSize size(1280, 800);
  if (argc > 3) {
    const QList<QByteArray> parts = QByteArray(argv[3]).split('x');
    if (parts.size() != 2 || parts[0].toInt() < 200 || parts[1].toInt() < 200) {
      std::fputs("bad size\n", stderr);
      return 2;
    }
    size = QSize(parts[0].toInt(), parts[1].toInt());
  }
  QTemporaryDir registry;
  if (!registry.isValid()) return 1;
  qputenv("KORVANE_REGISTRY_DIR", QFile::encodeName(registry.path() + QStringLiteral("/registry")));
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    // The offscreen screen is 800x600 unless told otherwise, and the window keeps to its screen.
    bool ok = false;
    const double scale = std::max(1.0, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok));
    const QString config = registry.path() + QStringLiteral("/screen.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write(QStringLiteral(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": %1, "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                   .arg(qRound((size.width() + 400) * (ok ? scale : 1.0)))
                   .arg(qRound((size.height() + 400) * (ok ? scale : 1.0)))
                   .toUtf8());
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
  }

  TTimedApplication app(argc, argv);
  TDriveTable::Instance().SetMappings({{'T', folder}});
  SetMessageAnswerer([](const TMessageRequest& r) { return (r.Buttons & mbCancel) ? int(mbCancel) : int(mbOK); });
  SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); });

  std::unique_ptr<TMainForm> form = CreateMainWindows({});
  if (!form) return 1;
  form->resize(size);
  form->show();
  QDeadlineTimer deadline(10000);
  while (!(form->StartupDone() && form->ScansIdle()) && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();

  const int64_t beforeScan = RssBytes();
  form->ScanCommands().ScanOrRescanDrive(QStringLiteral("T"));
  while (!form->ScansIdle()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QApplication::processEvents();
  const int64_t treeBytes = RssBytes() - beforeScan;
  if (!form->ScanCommands().GoToFolder(QStringLiteral("T:\\")) || !form->Current().Node() || !form->Current().Node()->Data()) {
    std::fputs("the scan did not complete\n", stderr);
    return 1;
  }
  TTreeNode* root = form->Current().Node();
  form->SelectPage(pgFolderInfo);
  QApplication::processEvents();
  ::malloc_trim(0);
  const int64_t beforePage = RssBytes();
  form->SelectPage(pgTreemap);
  TTreemapView* view = form->findChild<TTreemapPage*>()->View();
  view->LayOutNow();
  while (view->Busy() || form->findChild<TTreemapPage*>()->Files().Waiting() > 0)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();
  const int64_t pageBytes = RssBytes() - beforePage;
  // The same after the allocator hands freed memory back (what the page holds, without what
  // growing its tile vector and the painting left free in the heap).
  ::malloc_trim(0);
  const int64_t pageLiveBytes = RssBytes() - beforePage;

  TTreeNode* largest = nullptr;
  for (int i = 0; i < root->Count(); ++i) {
    TTreeNode* c = root->Child(i);
    if (c->Data() && (!largest || c->Data()->TotalSize > largest->Data()->TotalSize)) largest = c;
  }
  double longest = 0;
  double longestCpu = 0;
  double longestSlice = 0;
  double longestComplete = 0;
  double longestLayout = 0;
  for (int i = 0; i < 5 && largest; ++i) {
    for (TTreeNode* to : {largest, root}) {
      view->TakeLongestSliceMs();
      const TGo go = Go(app, *form, to);
      longest = std::max(longest, go.LongestMs);
      longestCpu = std::max(longestCpu, go.LongestCpuMs);
      longestComplete = std::max(longestComplete, go.CompleteMs);
      longestSlice = std::max(longestSlice, view->TakeLongestSliceMs());
      longestLayout = std::max(longestLayout, view->LastLayoutMs());
    }
  }

  std::printf("folders: %d\n", root->Data()->TotalFolders);
  std::printf("view: %dx%d at scale %.1f\n", view->width(), view->height(), view->devicePixelRatioF());
  std::printf("tiles: %zu\n", view->Picture().Map.Tiles.size());
  const auto& tiles = view->Picture().Map.Tiles;
  std::printf("file-tiles: %zu\n", static_cast<size_t>(std::count_if(tiles.begin(), tiles.end(), [](const TTreemapTile& t) { return t.File; })));
  std::printf("cached-listings: %zu\n", form->findChild<TTreemapPage*>()->Files().CachedCount());
  std::printf("longest-event-pump-wait-ms: %.1f\n", longest);
  std::printf("longest-event-pump-wait-cpu-ms: %.1f\n", longestCpu);
  std::printf("longest-treemap-slice-ms: %.1f\n", longestSlice);
  std::printf("longest-layout-ms: %.1f\n", longestLayout);
  std::printf("longest-until-drawn-ms: %.1f\n", longestComplete);
  std::printf("tree-rss-bytes: %lld\n", static_cast<long long>(treeBytes));
  std::printf("page-rss-bytes: %lld\n", static_cast<long long>(pageBytes));
  std::printf("page-rss-bytes-after-trim: %lld\n", static_cast<long long>(pageLiveBytes));
  std::printf("page-tiles-bytes: %zu\n", view->Picture().Map.Tiles.size() * sizeof(TTreemapTile));
  std::printf("tile-bytes: %zu\n", sizeof(TTreemapTile));
  if (!shot.isEmpty()) {
    const bool saved = form->grab().save(shot);
    std::printf("shot: %s%s\n", QFile::encodeName(shot).constData(), saved ? "" : " (failed)");
  }
  SetMessageAnswerer(nullptr);
  SetModalDialogRunner(nullptr);
  form.reset();
  return 0;
}
