// Times a drive scan through the main window (shown, its folder tree view filling as the scan
// goes) against korvane-scan on the same folder, alternating runs, and measures how long the
// event queue waits during the window's scan: the longest gap between ticks of a 5 ms timer.
//
// usage: korvane-window-scan-bench HOSTFOLDER KORVANE_SCAN [RUNS]
// Run it on the offscreen platform (QT_QPA_PLATFORM=offscreen); the settings go to a temporary
// folder, and HOSTFOLDER is drive T: for the run.

#include "platform/DriveTable.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/Startup.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr char Letter = 'T';
constexpr int TickMs = 5;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[(values.size() - 1) / 2];
}

// Runs program with argument, its output thrown away; the seconds it took, or -1 on failure.
double TimeProgram(const char* program, const char* argument) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
  QElapsedTimer clock;
  clock.start();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

struct TWindowRun {
  double Seconds = 0;
  double LongestGapMs = 0;
  int Ticks = 0;
  int32_t Folders = -1;
  int32_t Files = -1;
  int ShownDrives = 0;
};

// One fresh scan of drive T: through the window, with the 5 ms timer ticking meanwhile.
TWindowRun ScanThroughWindow(TMainForm& form) {
  form.ScanCommands().RemoveDrive(QLatin1Char(Letter));
  QApplication::processEvents();

  TWindowRun run;
  QElapsedTimer clock;
  qint64 lastTick = 0;
  qint64 longest = 0;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(TickMs);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, now - lastTick);
    lastTick = now;
    ++run.Ticks;
  });
  ticker.start();
  clock.start();
  form.ScanCommands().ScanOrRescanDrive(QString(QLatin1Char(Letter)));
  // The scan runs in slices on the event loop: the run ends when it and what follows it have.
  while (!form.ScansIdle()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  // The view's pending layout and painting of the filled tree belong to the scan.
  QApplication::processEvents();
  const qint64 end = clock.nsecsElapsed();
  ticker.stop();
  longest = std::max(longest, end - lastTick);
  run.Seconds = static_cast<double>(end) / 1e9;
  run.LongestGapMs = static_cast<double>(longest) / 1e6;

  run.ShownDrives = form.findChild<QTreeView*>(QStringLiteral("FolderTree"))->model()->rowCount();
  const TDriveRecInfo* rec = FindDrive(Letter);
  if (rec && rec->Node && rec->Node->Data()) {
    run.Folders = rec->Node->Data()->TotalFolders;
    run.Files = rec->Node->Data()->TotalFiles;
  }
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fputs("usage: korvane-window-scan-bench HOSTFOLDER KORVANE_SCAN [RUNS]\n", stderr);
    return 2;
  }
  const QByteArray folder = CleanHostPath(QFile::encodeName(QFileInfo(QFile::decodeName(argv[1])).absoluteFilePath()));
  // Absolute: the window's scan changes the working folder.
  const QByteArray scanProgramPath = QFile::encodeName(QFileInfo(QFile::decodeName(argv[2])).absoluteFilePath());
  const char* scanProgram = scanProgramPath.constData();
  const int runs = argc == 4 ? std::max(1, std::atoi(argv[3])) : 7;
  if (!QFileInfo(QFile::decodeName(folder)).isDir()) {
    std::fprintf(stderr, "%s: not a folder\n", folder.constData());
    return 1;
  }

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings of the run's own, thrown away at the end.
  QTemporaryDir registry;
  if (!registry.isValid()) {
    std::fputs("cannot make a temporary settings folder\n", stderr);
    return 1;
  }
  qputenv("KORVANE_REGISTRY_DIR", QFile::encodeName(registry.path()));

  QApplication app(argc, argv);
  TDriveTable::Instance().SetMappings({{Letter, folder}});
  // Nothing may wait for an answer: message boxes are cancelled, dialogs (the drive choice
  // at start-up) rejected.
  SetMessageAnswerer([](const TMessageRequest& r) { return (r.Buttons & mbCancel) ? int(mbCancel) : int(mbOK); });
  SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); });

  std::unique_ptr<TMainForm> form = CreateMainWindows({});
  if (!form) return 1;
  form->show();
  QDeadlineTimer deadline(10000);
  while (!(form->StartupDone() && form->ScansIdle()) && !deadline.hasExpired())
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();

  // Warm the cache and both code paths.
  const TWindowRun warm = ScanThroughWindow(*form);
  if (TimeProgram(scanProgram, folder.constData()) < 0) {
    std::fprintf(stderr, "%s %s failed\n", scanProgram, folder.constData());
    return 1;
  }
  std::printf("tree: %s, %d folders, %d files\n", folder.constData(), warm.Folders, warm.Files);

  std::vector<double> ratios;
  std::vector<double> gaps;
  for (int i = 1; i <= runs; ++i) {
    const TWindowRun w = ScanThroughWindow(*form);
    const double k = TimeProgram(scanProgram, folder.constData());
    if (k <= 0 || w.Folders != warm.Folders || w.ShownDrives != 1) {
      std::fputs("a run failed or scanned a different tree\n", stderr);
      return 1;
    }
    ratios.push_back(w.Seconds / k);
    gaps.push_back(w.LongestGapMs);
    std::printf("run %d: window %.3f s, korvane-scan %.3f s, ratio %.3f; longest event wait %.1f ms (%d ticks)\n", i,
                w.Seconds, k, w.Seconds / k, w.LongestGapMs, w.Ticks);
    std::fflush(stdout);
  }
  std::printf("median ratio window scan / korvane-scan: %.3f (target: at most 1.1)\n", Median(ratios));
  std::printf("longest event wait: %.1f ms, median of runs %.1f ms (target: at most 30 ms)\n",
              *std::max_element(gaps.begin(), gaps.end()), Median(gaps));

  SetMessageAnswerer(nullptr);
  SetModalDialogRunner(nullptr);
  form.reset();
  return 0;
}
