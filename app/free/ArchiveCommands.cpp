// archive, archives, restore and delete-archive: the archive store of a drive from the command
// line, on the same core as the archive dialog.
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

// "D:", "d:" or "D" naming a mapped drive.
std::optional<QChar> DriveArgument(const QString& arg) {
  QString text = arg.trimmed();
  if (text.endsWith(QLatin1Char('\\')) || text.endsWith(QLatin1Char('/'))) text.chop(1);
  if (text.endsWith(QLatin1Char(':'))) text.chop(1);
  if (text.size() != 1 || !text[0].isLetter()) return std::nullopt;
  const QChar letter = text[0].toUpper();
  if (!TDriveTable::Instance().Find(letter)) return std::nullopt;
  return letter;
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
  TArchiveRequest request;
  request.Level = 9;
  bool passwordStdin = false;
  QString folderArg;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&]() -> std::optional<QString> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (a == QLatin1String("--drive")) {
      std::optional<QString> v = value();
      std::optional<QChar> letter = v ? DriveArgument(*v) : std::nullopt;
      if (!letter) return BadArguments(QStringLiteral("archive: --drive needs a drive letter such as T:"));
      request.Drive = *letter;
    } else if (a == QLatin1String("--description")) {
      std::optional<QString> v = value();
      if (!v) return BadArguments(QStringLiteral("archive: --description needs a text"));
      request.Description = *v;
    } else if (a == QLatin1String("--level")) {
      std::optional<QString> v = value();
      bool ok = false;
      const int level = v ? v->toInt(&ok) : -1;
      if (!ok || level < 0 || level > 9) return BadArguments(QStringLiteral("archive: --level needs 0 to 9"));
      request.Level = level;
    } else if (a == QLatin1String("--no-subfolders")) {
      request.Subfolders = false;
    } else if (a == QLatin1String("--no-hidden")) {
      request.Hidden = false;
    } else if (a == QLatin1String("--move")) {
      request.Move = true;
    } else if (a == QLatin1String("--password-stdin")) {
      passwordStdin = true;
    } else if (a.startsWith(QLatin1String("--"))) {
      return BadArguments(QStringLiteral("archive: unknown option %1").arg(a));
    } else if (folderArg.isNull()) {
      folderArg = a;
    } else {
      return BadArguments(QStringLiteral("archive: one folder at a time"));
    }
  }
  if (folderArg.isNull()) return BadArguments(QStringLiteral("archive: which folder?"));
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
  if (args.size() != 1) return BadArguments(QStringLiteral("archives: name one drive, such as T:"));
  std::optional<QChar> letter = DriveArgument(args[0]);
  if (!letter) return BadArguments(QStringLiteral("archives: %1 is no drive").arg(args[0]));
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
  TRestoreRequest request;
  bool passwordStdin = false;
  QStringList positional;
  QString to;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--to")) {
      if (i + 1 >= args.size()) return BadArguments(QStringLiteral("restore: --to needs a folder"));
      to = args[++i];
    } else if (a == QLatin1String("--delete-archive")) {
      request.DeleteArchive = true;
    } else if (a == QLatin1String("--password-stdin")) {
      passwordStdin = true;
    } else if (a.startsWith(QLatin1String("--"))) {
      return BadArguments(QStringLiteral("restore: unknown option %1").arg(a));
    } else {
      positional << a;
    }
  }
  if (positional.size() != 2) return BadArguments(QStringLiteral("restore: name a drive and an archive"));
  std::optional<QChar> letter = DriveArgument(positional[0]);
  if (!letter) return BadArguments(QStringLiteral("restore: %1 is no drive").arg(positional[0]));
  if (!IsCatalogueKey(positional[1]))
    return BadArguments(QStringLiteral("restore: %1 is not an archive name").arg(positional[1]));
  if (!to.isNull()) {
    QString error;
    std::optional<QByteArray> target = ResolveFreePath(to, &error);
    if (!target) return BadArguments(QStringLiteral("restore: %1").arg(error));
    request.Target = *target;
  }
  request.Drive = *letter;
  request.Key = positional[1];
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
  bool yes = false;
  QStringList positional;
  for (const QString& a : args) {
    if (a == QLatin1String("--yes")) yes = true;
    else if (a.startsWith(QLatin1String("--")))
      return BadArguments(QStringLiteral("delete-archive: unknown option %1").arg(a));
    else positional << a;
  }
  if (positional.size() != 2)
    return BadArguments(QStringLiteral("delete-archive: name a drive and an archive"));
  std::optional<QChar> letter = DriveArgument(positional[0]);
  if (!letter) return BadArguments(QStringLiteral("delete-archive: %1 is no drive").arg(positional[0]));
  if (!IsCatalogueKey(positional[1]))
    return BadArguments(QStringLiteral("delete-archive: %1 is not an archive name").arg(positional[1]));
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
