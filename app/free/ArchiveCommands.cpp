// archive, archives, restore and delete-archive: the archive store of a drive from the command
// line, on the same core as the archive dialog.
#include "app/free/FreeArgs.h"
#include "app/free/FreeCli.h"
#include "app/free/FreeCommands.h"

#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/ArchiveFolder.h"
#include "cleanup/RestoreArchive.h"
#include "config/IniFile.h"
#include "platform/DriveTable.h"
#include "platform/HostNames.h"

#include <QFile>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

// Text that came from a catalogue or an archive, made harmless for a terminal: control
// characters (which could move the cursor, retitle the window or worse) and bytes that are no
// UTF-8 are shown as \xNN, line ends and tabs as blanks.
QString TerminalSafe(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u == u'\t' || u == u'\n' || u == u'\r')
      out += QLatin1Char(' ');
    else if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
      out += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
    else if (u >= 0xDC80 && u <= 0xDCFF)  // a byte that is no UTF-8, as the names carry it
      out += QStringLiteral("\\x%1").arg(unsigned(u - 0xDC00), 2, 16, QLatin1Char('0'));
    else
      out += c;
  }
  return out;
}

void PrintSafe(const QString& message) { PrintError(TerminalSafe(message)); }

// The result with every path and reason made safe for the terminal.
TOpResult SafeResult(TOpResult result) {
  for (TOpFailure& f : result.failures) {
    f.path = TerminalSafe(f.path);
    f.reason = TerminalSafe(f.reason);
  }
  return result;
}

int BadArguments(const QString& message) {
  PrintSafe(message);
  return 2;
}

// The parse's error, printed; exit code 2.
int BadArguments(const TFreeArgs& parsed) {
  for (const QString& error : parsed.Errors) PrintSafe(error);
  return 2;
}

// One line from standard input, without its line end; nullopt at the end of input.
std::optional<QByteArray> ReadPasswordLine() {
  char line[4096];
  if (!std::fgets(line, sizeof line, stdin)) return std::nullopt;
  QByteArray text(line);
  while (text.endsWith('\n') || text.endsWith('\r')) text.chop(1);
  return text;
}

// Asks for a password on the terminal without echoing it.
std::optional<QByteArray> AskPassword(const char* prompt) {
  if (!::isatty(STDIN_FILENO)) return std::nullopt;
  std::fprintf(stderr, "%s", prompt);
  std::fflush(stderr);
  termios saved {};
  const bool changed = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (changed) {
    termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::optional<QByteArray> password = ReadPasswordLine();
  if (changed) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  std::fputc('\n', stderr);
  return password;
}

std::function<std::optional<QByteArray>(TZipPasswordPurpose)> PasswordSource(bool fromStdin) {
  return [fromStdin](TZipPasswordPurpose purpose) -> std::optional<QByteArray> {
    if (fromStdin) {
      if (purpose == TZipPasswordPurpose::Retry) {
        PrintError(QStringLiteral("the password is wrong"));
        return std::nullopt;
      }
      return ReadPasswordLine();
    }
    if (purpose == TZipPasswordPurpose::Encrypt) {
      std::optional<QByteArray> first = AskPassword("Password: ");
      if (!first) return std::nullopt;
      std::optional<QByteArray> second = AskPassword("Password again: ");
      if (!second || *second != *first) {
        PrintError(QStringLiteral("the two passwords differ"));
        return std::nullopt;
      }
      return first;
    }
    if (purpose == TZipPasswordPurpose::Retry) PrintError(QStringLiteral("the password is wrong"));
    return AskPassword("Password of the archive: ");
  };
}

void PrintEngineMessage(int code, const QString& text) {
  if (code == 0) PrintSafe(text);  // notes; errors are listed with the result
}

}  // namespace

int RunArchive(const QStringList& args) {
  const TFreeArgs parsed = ParseArchiveArguments(args);
  if (!parsed.Errors.isEmpty()) return BadArguments(parsed);
  TArchiveRequest request;
  request.Level = parsed.Level;
  if (parsed.Drive) request.Drive = *parsed.Drive;
  request.Description = parsed.Description;
  request.Subfolders = parsed.Subfolders;
  request.Hidden = parsed.Hidden;
  request.Move = parsed.Move;
  const bool passwordStdin = parsed.PasswordStdin;
  const QString& folderArg = parsed.Paths[0];
  QString error;
  std::optional<QByteArray> folder = ResolveFreePath(folderArg, &error);
  if (!folder) return BadArguments(QStringLiteral("archive: %1").arg(error));
  if (IsProtectedFolder(*folder)) {
    PrintError(QStringLiteral("archive: %1 is a drive root, / or the home folder; it is not archived")
                   .arg(DecodeEscapedUtf8(*folder)));
    return 1;
  }
  request.Folder = *folder;
  request.Encrypt = passwordStdin;
  request.Password = PasswordSource(passwordStdin);
  request.OnMessage = PrintEngineMessage;
  TOpContext& context = RunContext();
  AttachTerminalProgress(context);
  const TArchiveOutcome outcome = ArchiveFolder(request, context);
  EndTerminalProgress();
  if (!outcome.Key.isEmpty()) {
    std::printf("archive: %s\n", outcome.Key.toUtf8().constData());
    std::printf("size before: %lld\n", static_cast<long long>(outcome.FolderBytes));
    std::printf("size after: %lld\n", static_cast<long long>(outcome.ArchiveBytes));
  } else {
    PrintSafe(outcome.Message);
  }
  return ReportResult("archive", SafeResult(outcome.Result));
}

int RunArchives(const QStringList& args) {
  const TFreeArgs parsed = ParseArchivesArguments(args);
  if (!parsed.Errors.isEmpty()) return BadArguments(parsed);
  const std::optional<QChar> letter = parsed.Drive;
  std::optional<QByteArray> folder = ArchivesFolderOf(*letter);
  QStringList notes;
  bool unusable = false;
  try {
    for (const TArchiveRecord& r : TArchiveCatalogue(*folder).List(&notes, &unusable)) {
      const QString line = TerminalSafe(r.Key) + QLatin1Char('\t') + TerminalSafe(r.FolderName) + QLatin1Char('\t') +
                           TerminalSafe(r.OriginalPath) + QLatin1Char('\t') + TerminalSafe(r.Description);
      std::printf("%s\n", line.toUtf8().constData());
    }
  } catch (const EIniFileException& e) {
    for (const QString& note : notes) PrintSafe(QStringLiteral("archives: %1").arg(note));
    PrintSafe(QStringLiteral("archives: %1").arg(e.Message()));
    return 1;
  }
  for (const QString& note : notes) PrintSafe(QStringLiteral("archives: %1").arg(note));
  return unusable ? 1 : 0;
}

int RunRestore(const QStringList& args) {
  const TFreeArgs parsed = ParseRestoreArguments(args);
  if (!parsed.Errors.isEmpty()) return BadArguments(parsed);
  TRestoreRequest request;
  request.DeleteArchive = parsed.DeleteArchive;
  const bool passwordStdin = parsed.PasswordStdin;
  if (!parsed.To.isNull()) {
    QString error;
    std::optional<QByteArray> target = ResolveFreePath(parsed.To, &error);
    if (!target) return BadArguments(QStringLiteral("restore: %1").arg(error));
    request.Target = *target;
  }
  request.Drive = *parsed.Drive;
  request.Key = parsed.Key;
  request.Password = PasswordSource(passwordStdin);
  request.OnMessage = PrintEngineMessage;
  TOpContext& context = RunContext();
  AttachTerminalProgress(context);
  const TRestoreOutcome outcome = RestoreArchive(request, context);
  EndTerminalProgress();
  if (outcome.Result.status == TOpStatus::Done || outcome.Result.status == TOpStatus::PartlyDone)
    std::printf("restored: %s\n", TerminalSafe(DecodeEscapedUtf8(outcome.RestoredFolder)).toUtf8().constData());
  else
    PrintSafe(outcome.Message);
  if (outcome.ArchiveDeleted) std::printf("archive deleted: %s\n", TerminalSafe(request.Key).toUtf8().constData());
  return ReportResult("restore", SafeResult(outcome.Result));
}

int RunDeleteArchive(const QStringList& args) {
  const TFreeArgs parsed = ParseDeleteArchiveArguments(args);
  if (!parsed.Errors.isEmpty()) return BadArguments(parsed);
  const bool yes = parsed.Yes;
  const std::optional<QChar> letter = parsed.Drive;
  const QStringList positional{QString(*letter), parsed.Key};
  TArchiveCatalogue catalogue(*ArchivesFolderOf(*letter));
  std::optional<TArchiveRecord> record = catalogue.Find(positional[1]);
  if (!record) {
    PrintSafe(QStringLiteral("delete-archive: %1 is not in the catalogue of drive %2:")
                   .arg(positional[1], *letter));
    return 1;
  }
  if (!yes) {
    const QString question =
        QStringLiteral("Really delete the ZIP archive that contains the folder '%1' ?\n"
                       "Warning: You will not be able to restore any file from this folder if you "
                       "delete the ZIP archive.")
            .arg(TerminalSafe(record->FolderName));
    if (!AskOnTerminal(question)) {
      PrintError(QStringLiteral("delete-archive: not confirmed; give --yes to delete without a question"));
      return 1;
    }
  }
  QString error;
  try {
    if (!catalogue.DeleteArchive(record->Key, &error)) {
      PrintSafe(QStringLiteral("delete-archive: %1").arg(error));
      return 1;
    }
  } catch (const EIniFileException& e) {
    PrintError(QStringLiteral("delete-archive: %1").arg(e.Message()));
    return 1;
  }
  std::printf("deleted: %s\n", TerminalSafe(record->Key).toUtf8().constData());
  return 0;
}
