// How a window answers while a long free-space operation works: moves SOURCE (a host folder) to
// TARGET (best on another file system, so that every byte is copied) through the operation
// progress window, and meanwhile measures the longest wait of the event queue (the gap between
// ticks of a 5 ms timer) and how long a menu takes to open (every 250 ms a File menu of a window
// of its own is popped up and its showing timed).
//
// usage: korvane-op-latency-bench SOURCE TARGET    (run offscreen: QT_QPA_PLATFORM=offscreen)

#include "cleanup/MoveOperation.h"
#include "cleanup/ui/OperationProgressBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: korvane-op-latency-bench SOURCE TARGET\n", stderr);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QByteArray source(argv[1]);
  const QByteArray target(argv[2]);

  QMainWindow other;
  QMenu* file = other.menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("Save Report..."));
  other.show();

  QElapsedTimer clock;
  qint64 lastTick = 0;
  qint64 longestGap = 0;
  int ticks = 0;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longestGap = std::max(longestGap, now - lastTick);
    lastTick = now;
    ++ticks;
  });
  std::vector<double> menuMs;
  QTimer menuTimer;
  QObject::connect(&menuTimer, &QTimer::timeout, [&] {
    QElapsedTimer t;
    t.start();
    file->popup(other.mapToGlobal(QPoint(0, 0)));
    QCoreApplication::sendPostedEvents();
    const bool shown = file->isVisible();
    menuMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    file->hide();
    if (!shown) std::fputs("the menu did not show\n", stderr);
  });

  TOperationProgressBox box(QStringLiteral("Move Folder"), QStringLiteral("Moving..."));
  box.SetShowDelay(0);
  ticker.start(5);
  menuTimer.start(250);
  clock.start();
  const TOpResult result = box.Run([&](TOpContext& context) { return MoveFolderContents(source, target, context); });
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  ticker.stop();
  menuTimer.stop();
  longestGap = std::max(longestGap, clock.nsecsElapsed() - lastTick);
  std::sort(menuMs.begin(), menuMs.end());
  std::printf("move: %s in %.2f s (%zu failures)\n", StatusText(result.status).toUtf8().constData(), seconds,
              result.failures.size());
  std::printf("longest event wait: %.1f ms over %d ticks\n", static_cast<double>(longestGap) / 1e6, ticks);
  if (!menuMs.empty())
    std::printf("menu opened %zu times: median %.2f ms, longest %.2f ms (target: at most 100 ms)\n", menuMs.size(),
                menuMs[(menuMs.size() - 1) / 2], menuMs.back());
  return result.status == TOpStatus::Done ? 0 : 1;
}
