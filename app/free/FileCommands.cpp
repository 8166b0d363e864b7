// trash, delete and move: the file operations of korvane-free.
#include "app/free/FreeArgs.h"
#include "app/free/FreeCli.h"
#include "app/free/FreeCommands.h"

#include "cleanup/DeleteOperation.h"
#include "cleanup/MoveOperation.h"
#include "cleanup/ProtectedFolders.h"
#include "cleanup/Trash.h"
#include "platform/UserPath.h"

#include <QFile>

#include <cstdio>
#include <unistd.h>

#include <vector>

namespace {

// Prints the parse's errors; true when there were none.
bool Usable(const TFreeArgs& parsed) {
  for (const QString& error : parsed.Errors) PrintError(error);
  return parsed.Errors.isEmpty();
}

// Host paths of the arguments; false (after saying why) when one names no place or a folder no
// verb may touch.
bool ResolveAll(const char* verb, const QStringList& args, std::vector<QByteArray>& out, bool refuseProtected = true) {
  for (const QString& arg : args) {
    QString error;
    const std::optional<QByteArray> host = ResolveFreePath(arg, &error);
    if (!host) {
      PrintError(QStringLiteral("%1: %2").arg(QLatin1String(verb), error));
      return false;
    }
    if (const QString kind = refuseProtected ? ProtectedFolderKind(*host) : QString(); !kind.isEmpty()) {
      PrintError(QStringLiteral("%1: %2 is %3, which is refused")
                     .arg(QLatin1String(verb), HostPathText(*host), kind));
      return false;
    }
    out.push_back(*host);
  }
  return true;
}

int Finish(const char* verb, const TOpResult& result) {
  EndTerminalProgress();
  std::printf("entries: %lld\nbytes: %lld\n", static_cast<long long>(result.entriesDone),
              static_cast<long long>(result.bytesDone));
  return ReportResult(verb, result);
}

}  // namespace

int RunTrash(const QStringList& args) {
  const TFreeArgs parsed = ParseTrashArguments(args);
  if (!Usable(parsed)) return 2;
  std::vector<QByteArray> paths;
  if (!ResolveAll("trash", parsed.Paths, paths)) return 2;
  TOpContext& context = RunContext();
  AttachTerminalProgress(context);
  return Finish("trash", TrashEntries(paths, context));
}

int RunDelete(const QStringList& args) {
  const TFreeArgs parsed = ParseDeleteArguments(args);
  if (!Usable(parsed)) return 2;
  std::vector<QByteArray> paths;
  if (!ResolveAll("delete", parsed.Paths, paths)) return 2;
  if (!parsed.Yes) {
    if (!::isatty(STDIN_FILENO)) {
      PrintError(QStringLiteral("delete: there is no terminal to ask on; give --yes to delete without a question"));
      return 2;
    }
    const QString question =
        paths.size() == 1
            ? QStringLiteral("Delete %1 and everything in it for good?").arg(HostPathText(paths[0]))
            : QStringLiteral("Delete these %1 entries and everything in them for good?").arg(paths.size());
    if (paths.size() > 1)
      for (const QByteArray& p : paths) std::fprintf(stderr, "  %s\n", p.constData());
    if (!AskOnTerminal(question)) {
      std::printf("result: %s\n", StatusText(TOpStatus::Cancelled).toUtf8().constData());
      return 1;
    }
  }
  TOpContext& context = RunContext();
  AttachTerminalProgress(context);
  return Finish("delete", DeleteEntries(paths, context));
}

int RunMove(const QStringList& args) {
  const TFreeArgs parsed = ParseMoveArguments(args);
  if (!Usable(parsed)) return 2;
  std::vector<QByteArray> source;
  std::vector<QByteArray> target;
  if (!ResolveAll("move", {parsed.Paths[0]}, source) || !ResolveAll("move", {parsed.Paths[1]}, target, false))
    return 2;
  const QString refusal = CheckMove(source[0], target[0]);
  if (!refusal.isEmpty()) {
    PrintError(QStringLiteral("move: %1").arg(refusal));
    return 2;
  }
  TOpContext& context = RunContext();
  const bool replace = parsed.Replace;
  context.ask = [replace](const TOpQuestion& q) {
    return q.kind == TOpQuestionKind::ReplaceExisting && replace ? TOpAnswer::YesToAll : TOpAnswer::NoToAll;
  };
  AttachTerminalProgress(context);
  return Finish("move", MoveFolderContents(source[0], target[0], context));
}
