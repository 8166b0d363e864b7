#include "app/free/FreeCli.h"

#include "cleanup/ProtectedFolders.h"
#include "platform/UserPath.h"

#include <QFile>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

TOpContext* runContext = nullptr;
bool progressShown = false;

extern "C" void OnCancelSignal(int) {
  if (runContext) runContext->Cancel();
}

QString Percent(int64_t done, int64_t total) {
  if (total <= 0) return QString();
  return QStringLiteral(" %1%").arg(done * 100 / total);
}

}  // namespace

void PrintError(const QString& message) {
  std::fprintf(stderr, "korvane-free: %s\n", HostPathBytes(message).constData());
}

std::optional<QByteArray> ResolveFreePath(const QString& arg, QString* error) {
  if (arg.isEmpty()) {
    *error = QStringLiteral("an empty path was given");
    return std::nullopt;
  }
  // "X:", "X:\..." and "X:/..." are drive paths; a host name of that shape can still be given as
  // "./X:...".
  if (LooksLikeDrivePath(arg)) return GivenDrivePathToHost(arg, error);
  return CleanGivenHostPath(HostPathBytes(arg), QByteArray(), error);
}

bool IsProtectedFolder(const QByteArray& hostPath) { return !ProtectedFolderKind(hostPath).isEmpty(); }

TOpContext& RunContext() {
  static TOpContext context;
  runContext = &context;
  return context;
}

void InstallCancelSignals() {
  RunContext();
  struct sigaction action {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

void AttachTerminalProgress(TOpContext& context) {
  if (!::isatty(STDERR_FILENO)) return;
  context.onProgress = [](const TOpProgress& p) {
    // A terminal line per entry would cost more than the work on small entries: redraw at most
    // ten times a second, and always at the end.
    static std::chrono::steady_clock::time_point last;
    const auto now = std::chrono::steady_clock::now();
    const bool end = p.entriesTotal > 0 && p.entriesDone >= p.entriesTotal;
    if (!end && progressShown && now - last < std::chrono::milliseconds(100)) return;
    last = now;
    const QString line = QStringLiteral("\r%1/%2 entries, %3/%4 bytes%5")
                             .arg(p.entriesDone)
                             .arg(p.entriesTotal)
                             .arg(p.bytesDone)
                             .arg(p.bytesTotal)
                             .arg(Percent(p.bytesTotal > 0 ? p.bytesDone : p.entriesDone,
                                          p.bytesTotal > 0 ? p.bytesTotal : p.entriesTotal));
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fputs("\033[K", stderr);
    progressShown = true;
  };
}

void EndTerminalProgress() {
  if (progressShown) std::fputc('\n', stderr);
  progressShown = false;
}

bool AskOnTerminal(const QString& question) {
  if (!::isatty(STDIN_FILENO)) return false;
  std::fprintf(stderr, "%s [y/N] ", HostPathBytes(question).constData());
  std::fflush(stderr);
  char line[64] = {};
  if (!std::fgets(line, sizeof line, stdin)) return false;
  return line[0] == 'y' || line[0] == 'Y';
}

int ReportResult(const char* verb, const TOpResult& result) {
  EndTerminalProgress();
  for (const TOpFailure& f : result.failures)
    std::fprintf(stderr, "korvane-free: %s: %s: %s\n", verb, HostPathBytes(f.path).constData(),
                 f.reason.toUtf8().constData());
  std::printf("result: %s\n", StatusText(result.status).toUtf8().constData());
  return result.status == TOpStatus::Done ? 0 : 1;
}
