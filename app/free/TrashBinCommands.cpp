// trash-size and empty-trash: what the trash of a drive holds, and emptying it.

#include "app/free/FreeArgs.h"
#include "app/free/FreeCli.h"
#include "app/free/FreeCommands.h"

#include "cleanup/TrashBin.h"

#include <QFile>

#include <cstdio>
#include <unistd.h>

namespace {

struct TTrashArgs {
  QByteArray hostPath;
  QString shown;  // the argument as given
  bool yes = false;
};

// [--yes] D: (a drive, or a host path on the file system whose trash is meant). Exit code 2 after
// saying why when the arguments are wrong, else 0.
int ParseTrashArgs(const char* verb, const QStringList& args, bool yesAllowed, TTrashArgs& out) {
  const TFreeArgs parsed = yesAllowed ? ParseEmptyTrashArguments(args) : ParseTrashSizeArguments(args);
  if (!parsed.Errors.isEmpty()) {
    PrintError(parsed.Errors.first());
    return 2;
  }
  out.yes = parsed.Yes;
  const QStringList& rest = parsed.Paths;
  QString error;
  const std::optional<QByteArray> host = ResolveFreePath(rest[0], &error);
  if (!host) {
    PrintError(QStringLiteral("%1: %2").arg(QLatin1String(verb), error));
    return 2;
  }
  out.hostPath = *host;
  out.shown = rest[0];
  return 0;
}

void PrintProblems(const char* verb, const std::vector<TOpFailure>& problems) {
  for (const TOpFailure& f : problems)
    std::fprintf(stderr, "korvane-free: %s: %s: %s\n", verb, QFile::encodeName(f.path).constData(),
                 f.reason.toLocal8Bit().constData());
}

void PrintFolders(const std::vector<TTrashFolder>& folders) {
  for (const TTrashFolder& f : folders)
    if (f.Refusal.isEmpty()) std::printf("trash: %s\n", f.Path.constData());
}

}  // namespace

int RunTrashSize(const QStringList& args) {
  TTrashArgs parsed;
  if (const int bad = ParseTrashArgs("trash-size", args, false, parsed)) return bad;
  const std::vector<TTrashFolder> folders = TrashFoldersFor(parsed.hostPath);
  const TTrashContents contents = MeasureTrash(folders, &RunContext());
  PrintFolders(folders);
  std::printf("items: %lld\nbytes: %lld\n", static_cast<long long>(contents.Items),
              static_cast<long long>(contents.Bytes));
  for (const QByteArray& orphan : contents.Orphans) std::printf("orphan: %s\n", orphan.constData());
  PrintProblems("trash-size", contents.Problems);
  if (RunContext().Cancelled()) return 1;
  return contents.Problems.empty() ? 0 : 1;
}

int RunEmptyTrash(const QStringList& args) {
  TTrashArgs parsed;
  if (const int bad = ParseTrashArgs("empty-trash", args, true, parsed)) return bad;
  const std::vector<TTrashFolder> folders = TrashFoldersFor(parsed.hostPath);
  if (!parsed.yes) {
    // The question says what the trash holds; with --yes nobody reads it, and the bytes freed
    // come from the emptying itself.
    if (!::isatty(STDIN_FILENO)) {
      PrintError(QStringLiteral("empty-trash: there is no terminal to ask on; give --yes to empty the trash without a question"));
      return 2;
    }
    const TTrashContents before = MeasureTrash(folders, &RunContext());
    const QString question = QStringLiteral("Empty the trash of %1 (%2 items, %3 bytes)? They are deleted for good.")
                                 .arg(parsed.shown)
                                 .arg(before.Items)
                                 .arg(before.Bytes);
    if (!AskOnTerminal(question)) {
      std::printf("result: %s\n", StatusText(TOpStatus::Cancelled).toUtf8().constData());
      return 1;
    }
  }
  TOpContext& context = RunContext();
  AttachTerminalProgress(context);
  std::vector<QByteArray> orphans;
  const TOpResult result = EmptyTrash(folders, context, &orphans);
  EndTerminalProgress();
  PrintFolders(folders);
  std::printf("items: %lld\nbytes: %lld\n", static_cast<long long>(result.entriesDone),
              static_cast<long long>(result.bytesDone));
  for (const QByteArray& orphan : orphans) std::printf("orphan: %s\n", orphan.constData());
  return ReportResult("empty-trash", result);
}
