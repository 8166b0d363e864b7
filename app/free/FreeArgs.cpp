#include "app/free/FreeArgs.h"

#include "cleanup/ArchiveCatalogue.h"
#include "platform/DriveTable.h"

namespace {

QString Verb(const char* verb) { return QLatin1String(verb); }

// Paths and the one flag the verb knows (none when flag is empty); "--" ends the options. Every
// unknown option is named.
TFreeArgs ParsePathsAndFlag(const char* verb, const QStringList& args, const QString& flag) {
  TFreeArgs parsed;
  bool options = true;
  for (const QString& arg : args) {
    if (options && arg == QLatin1String("--")) {
      options = false;
    } else if (options && !flag.isEmpty() && arg == flag) {
      (flag == QLatin1String("--replace") ? parsed.Replace : parsed.Yes) = true;
    } else if (options && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
      parsed.Errors << QStringLiteral("%1: unknown option %2").arg(Verb(verb), arg);
    } else {
      parsed.Paths << arg;
    }
  }
  return parsed;
}

TFreeArgs Bad(const QString& message) {
  TFreeArgs parsed;
  parsed.Errors << message;
  return parsed;
}

// [--yes] D: for the trash verbs.
TFreeArgs ParseTrashBin(const char* verb, const QStringList& args, bool yesAllowed) {
  TFreeArgs parsed = ParsePathsAndFlag(verb, args, yesAllowed ? QStringLiteral("--yes") : QString());
  if (!parsed.Errors.isEmpty()) {
    parsed.Errors = QStringList{parsed.Errors.first()};  // the first unknown option ends the run
    return parsed;
  }
  if (parsed.Paths.size() != 1) return Bad(QStringLiteral("%1: give one drive, such as D:").arg(Verb(verb)));
  return parsed;
}

// DRIVE ARCHIVE, the positional arguments of restore and delete-archive.
void ParseDriveAndKey(const char* verb, const QStringList& positional, TFreeArgs& parsed) {
  if (positional.size() != 2) {
    parsed.Errors << QStringLiteral("%1: name a drive and an archive").arg(Verb(verb));
    return;
  }
  parsed.Drive = DriveArgument(positional[0]);
  if (!parsed.Drive) {
    parsed.Errors << QStringLiteral("%1: %2 is no drive").arg(Verb(verb), positional[0]);
    return;
  }
  if (!IsCatalogueKey(positional[1])) {
    parsed.Errors << QStringLiteral("%1: %2 is not an archive name").arg(Verb(verb), positional[1]);
    return;
  }
  parsed.Key = positional[1];
}

}  // namespace

std::optional<QChar> DriveArgument(const QString& arg) {
  QString text = arg.trimmed();
  if (text.endsWith(QLatin1Char('\\')) || text.endsWith(QLatin1Char('/'))) text.chop(1);
  if (text.endsWith(QLatin1Char(':'))) text.chop(1);
  if (text.size() != 1 || !text[0].isLetter()) return std::nullopt;
  const QChar letter = text[0].toUpper();
  if (!TDriveTable::Instance().Find(letter)) return std::nullopt;
  return letter;
}

TFreeArgs ParseTrashArguments(const QStringList& args) {
  TFreeArgs parsed = ParsePathsAndFlag("trash", args, {});
  if (parsed.Errors.isEmpty() && parsed.Paths.isEmpty()) parsed.Errors << QStringLiteral("trash: no PATH was given");
  return parsed;
}

TFreeArgs ParseDeleteArguments(const QStringList& args) {
  TFreeArgs parsed = ParsePathsAndFlag("delete", args, QStringLiteral("--yes"));
  if (parsed.Errors.isEmpty() && parsed.Paths.isEmpty()) parsed.Errors << QStringLiteral("delete: no PATH was given");
  return parsed;
}

TFreeArgs ParseMoveArguments(const QStringList& args) {
  TFreeArgs parsed = ParsePathsAndFlag("move", args, QStringLiteral("--replace"));
  if (parsed.Errors.isEmpty() && parsed.Paths.size() != 2)
    parsed.Errors << QStringLiteral("move: give a SOURCE folder and a TARGET folder");
  return parsed;
}

TFreeArgs ParseArchiveArguments(const QStringList& args) {
  TFreeArgs parsed;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&]() -> std::optional<QString> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (a == QLatin1String("--drive")) {
      std::optional<QString> v = value();
      parsed.Drive = v ? DriveArgument(*v) : std::nullopt;
      if (!parsed.Drive) return Bad(QStringLiteral("archive: --drive needs a drive letter such as T:"));
    } else if (a == QLatin1String("--description")) {
      std::optional<QString> v = value();
      if (!v) return Bad(QStringLiteral("archive: --description needs a text"));
      parsed.Description = *v;
    } else if (a == QLatin1String("--level")) {
      std::optional<QString> v = value();
      bool ok = false;
      const int level = v ? v->toInt(&ok) : -1;
      if (!ok || level < 0 || level > 9) return Bad(QStringLiteral("archive: --level needs 0 to 9"));
      parsed.Level = level;
    } else if (a == QLatin1String("--no-subfolders")) {
      parsed.Subfolders = false;
    } else if (a == QLatin1String("--no-hidden")) {
      parsed.Hidden = false;
    } else if (a == QLatin1String("--move")) {
      parsed.Move = true;
    } else if (a == QLatin1String("--password-stdin")) {
      parsed.PasswordStdin = true;
    } else if (a.startsWith(QLatin1String("--"))) {
      return Bad(QStringLiteral("archive: unknown option %1").arg(a));
    } else if (parsed.Paths.isEmpty()) {
      parsed.Paths << a;
    } else {
      return Bad(QStringLiteral("archive: one folder at a time"));
    }
  }
  if (parsed.Paths.isEmpty()) return Bad(QStringLiteral("archive: which folder?"));
  return parsed;
}

TFreeArgs ParseArchivesArguments(const QStringList& args) {
  if (args.size() != 1) return Bad(QStringLiteral("archives: name one drive, such as T:"));
  TFreeArgs parsed;
  parsed.Drive = DriveArgument(args[0]);
  if (!parsed.Drive) return Bad(QStringLiteral("archives: %1 is no drive").arg(args[0]));
  return parsed;
}

TFreeArgs ParseRestoreArguments(const QStringList& args) {
  TFreeArgs parsed;
  QStringList positional;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--to")) {
      if (i + 1 >= args.size()) return Bad(QStringLiteral("restore: --to needs a folder"));
      parsed.To = args[++i];
    } else if (a == QLatin1String("--delete-archive")) {
      parsed.DeleteArchive = true;
    } else if (a == QLatin1String("--password-stdin")) {
      parsed.PasswordStdin = true;
    } else if (a.startsWith(QLatin1String("--"))) {
      return Bad(QStringLiteral("restore: unknown option %1").arg(a));
    } else {
      positional << a;
    }
  }
  ParseDriveAndKey("restore", positional, parsed);
  return parsed;
}

TFreeArgs ParseDeleteArchiveArguments(const QStringList& args) {
  TFreeArgs parsed;
  QStringList positional;
  for (const QString& a : args) {
    if (a == QLatin1String("--yes")) parsed.Yes = true;
    else if (a.startsWith(QLatin1String("--"))) return Bad(QStringLiteral("delete-archive: unknown option %1").arg(a));
    else positional << a;
  }
  ParseDriveAndKey("delete-archive", positional, parsed);
  return parsed;
}

TFreeArgs ParseTrashSizeArguments(const QStringList& args) { return ParseTrashBin("trash-size", args, false); }

TFreeArgs ParseEmptyTrashArguments(const QStringList& args) { return ParseTrashBin("empty-trash", args, true); }

std::optional<TFreeArgs> ParseFreeArguments(const QString& verb, const QStringList& args) {
  using TParse = TFreeArgs (*)(const QStringList&);
  static const std::pair<const char*, TParse> parsers[] = {
      {"trash", ParseTrashArguments},       {"delete", ParseDeleteArguments},
      {"move", ParseMoveArguments},         {"archive", ParseArchiveArguments},
      {"archives", ParseArchivesArguments}, {"restore", ParseRestoreArguments},
      {"delete-archive", ParseDeleteArchiveArguments},
      {"trash-size", ParseTrashSizeArguments}, {"empty-trash", ParseEmptyTrashArguments},
  };
  for (const auto& [name, parse] : parsers)
    if (verb == QLatin1String(name)) return parse(args);
  return std::nullopt;
}
