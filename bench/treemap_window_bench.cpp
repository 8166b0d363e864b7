// korvane-treemap-window-bench HOSTFOLDER [SHOT.png [WIDTHxHEIGHT]]: scans HOSTFOLDER as drive T
// in the main window, shows its root on the Treemap page, and measures what the page costs: the
// time the event queue waits while the page goes into the largest subfolder and back out (each
// a layout and a paint), and the memory the page's map and picture take beside the tree's. With
// SHOT.png, saves a picture of the window (at the screen's scaling: QT_SCALE_FACTOR=2 doubles
// it). Runs on the offscreen platform; settings go to a temporary folder.

#include "charts/ui/TreemapView.h"
#include "charts/TreemapFiles.h"
#include "platform/DriveTable.h"
#include "platform/UserPath.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"
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
#include <unistd.h>

namespace {

int64_t RssBytes() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long pages = 0, resident = 0;
  const int got = std::fscanf(f, "%ld %ld", &pages, &resident);
  std::fclose(f);
  return got == 2 ? static_cast<int64_t>(resident) * ::sysconf(_SC_PAGESIZE) : 0;
}

// Makes node the current folder on the treemap page and lets the window draw it; the time that
// took, during which nothing else ran.
double Go(TMainForm& form, TTreeNode* node) {
  QElapsedTimer t;
  t.start();
  form.SelectNode(node);
  form.findChild<TTreemapPage*>()->View()->repaint();
  QApplication::processEvents();
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
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
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir registry;
  if (!registry.isValid()) return 1;
  qputenv("KORVANE_REGISTRY_DIR", QFile::encodeName(registry.path()));

  QApplication app(argc, argv);
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
  form->ScanOrRescanDrive(QStringLiteral("T"));
  while (!form->ScansIdle()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QApplication::processEvents();
  const int64_t treeBytes = RssBytes() - beforeScan;
  if (!form->GoToFolder(QStringLiteral("T:\\")) || !form->Current().Node() || !form->Current().Node()->Data()) {
    std::fputs("the scan did not complete\n", stderr);
    return 1;
  }
  TTreeNode* root = form->Current().Node();
  form->SelectPage(pgFolderInfo);
  QApplication::processEvents();
  const int64_t beforePage = RssBytes();
  form->SelectPage(pgTreemap);
  TTreemapView* view = form->findChild<TTreemapPage*>()->View();
  view->LayOutNow();
  view->repaint();
  QApplication::processEvents();
  const int64_t pageBytes = RssBytes() - beforePage;

  TTreeNode* largest = nullptr;
  for (int i = 0; i < root->Count(); ++i) {
    TTreeNode* c = root->Child(i);
    if (c->Data() && (!largest || c->Data()->TotalSize > largest->Data()->TotalSize)) largest = c;
  }
  double longest = 0;
  double longestView = 0;
  for (int i = 0; i < 5 && largest; ++i) {
    longest = std::max(longest, Go(*form, largest));
    longestView = std::max(longestView, view->LastLayoutMs());
    longest = std::max(longest, Go(*form, root));
    longestView = std::max(longestView, view->LastLayoutMs());
  }

  std::printf("folders: %d\n", root->Data()->TotalFolders);
  std::printf("view: %dx%d at scale %.1f\n", view->width(), view->height(), view->devicePixelRatioF());
  std::printf("tiles: %zu\n", view->Picture().Map.Tiles.size());
  const auto& tiles = view->Picture().Map.Tiles;
  std::printf("file-tiles: %zu\n", static_cast<size_t>(std::count_if(tiles.begin(), tiles.end(), [](const TTreemapTile& t) { return t.File; })));
  std::printf("cached-listings: %zu\n", form->findChild<TTreemapPage*>()->Files().CachedCount());
  std::printf("longest-go-in-or-out-ms: %.1f\n", longest);
  std::printf("longest-treemap-layout-and-render-ms: %.1f\n", longestView);
  std::printf("tree-rss-bytes: %lld\n", static_cast<long long>(treeBytes));
  std::printf("page-rss-bytes: %lld\n", static_cast<long long>(pageBytes));
  std::printf("page-tiles-bytes: %zu\n", view->Picture().Map.Tiles.capacity() * sizeof(TTreemapTile));
  if (!shot.isEmpty()) {
    const bool saved = form->grab().save(shot);
    std::printf("shot: %s%s\n", QFile::encodeName(shot).constData(), saved ? "" : " (failed)");
  }
  SetMessageAnswerer(nullptr);
  SetModalDialogRunner(nullptr);
  form.reset();
  return 0;
}
