// trash, delete and move: the file operations of korvane-free.
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

struct TParsed {
  QStringList paths;
  bool flag = false;  // --yes for delete, --replace for move
  bool ok = true;
};

// Splits the arguments into paths and the one flag the verb knows; "--" ends the options.
TParsed Parse(const char* verb, const QStringList& args, const QString& flag) {
  TParsed parsed;
  bool options = true;
  for (const QString& arg : args) {
    if (options && arg == QLatin1String("--")) {
      options = false;
    } else if (options && !flag.isEmpty() && arg == flag) {
      parsed.flag = true;
    } else if (options && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
      PrintError(QStringLiteral("%1: unknown option %2").arg(QLatin1String(verb), arg));
      parsed.ok = false;
    } else {
      parsed.paths << arg;
    }
  }
  return parsed;
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
  const TParsed parsed = Parse("trash", args, {});
  if (!parsed.ok) return 2;
  if (parsed.paths.isEmpty()) {
    PrintError(QStringLiteral("trash: no PATH was given"));
    return 2;
  }
  std::vector<QByteArray> paths;
  if (!ResolveAll("trash", parsed.paths, paths)) return 2;
  TOpContext& context = RunContext();
  AttachTerminalProgress(context);
  return Finish("trash", TrashEntries(paths, context));
}

int RunDelete(const QStringList& args) {
  const TParsed parsed = Parse("delete", args, QStringLiteral("--yes"));
  if (!parsed.ok) return 2;
  if (parsed.paths.isEmpty()) {
    PrintError(QStringLiteral("delete: no PATH was given"));
    return 2;
  }
  std::vector<QByteArray> paths;
  if (!ResolveAll("delete", parsed.paths, paths)) return 2;
  if (!parsed.flag) {
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
  const TParsed parsed = Parse("move", args, QStringLiteral("--replace"));
  if (!parsed.ok) return 2;
  if (parsed.paths.size() != 2) {
    PrintError(QStringLiteral("move: give a SOURCE folder and a TARGET folder"));
    return 2;
  }
  std::vector<QByteArray> source;
  std::vector<QByteArray> target;
  if (!ResolveAll("move", {parsed.paths[0]}, source) || !ResolveAll("move", {parsed.paths[1]}, target, false))
    return 2;
  const QString refusal = CheckMove(source[0], target[0]);
  if (!refusal.isEmpty()) {
    PrintError(QStringLiteral("move: %1").arg(refusal));
    return 2;
  }
  TOpContext& context = RunContext();
  const bool replace = parsed.flag;
  context.ask = [replace](const TOpQuestion& q) {
    return q.kind == TOpQuestionKind::ReplaceExisting && replace ? TOpAnswer::YesToAll : TOpAnswer::NoToAll;
  };
  AttachTerminalProgress(context);
  return Finish("move", MoveFolderContents(source[0], target[0], context));
}
