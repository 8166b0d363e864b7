// korvane-free's options and arguments, verb by verb (the parse the program runs before it
// touches anything): a bad command line gives reasons that name the verb; a good one gives what
// the verb needs, within range, and the parse written back in plain form reads back the same.
// Input: the verb, then the arguments, separated by NUL bytes or line feeds.

#include "app/free/FreeArgs.h"
#include "cleanup/ArchiveCatalogue.h"
#include "fuzz/FuzzSupport.h"
#include "platform/DriveTable.h"

#include <cstdlib>

namespace {

const char* const Verbs[] = {"trash",   "delete",         "move",       "archive",    "archives",
                             "restore", "delete-archive", "trash-size", "empty-trash"};

bool Same(const TFreeArgs& a, const TFreeArgs& b) {
  return a.Errors == b.Errors && a.Paths == b.Paths && a.Yes == b.Yes && a.Replace == b.Replace && a.Drive == b.Drive &&
         a.Description == b.Description && a.Level == b.Level && a.Subfolders == b.Subfolders && a.Hidden == b.Hidden &&
         a.Move == b.Move && a.PasswordStdin == b.PasswordStdin && a.Key == b.Key && a.To.isNull() == b.To.isNull() &&
         a.To == b.To && a.DeleteArchive == b.DeleteArchive;
}

// The parse as a command line in plain form: options first, each once, then the rest.
QStringList Written(const QString& verb, const TFreeArgs& p) {
  QStringList out;
  if (verb == QLatin1String("archive")) {
    if (p.Drive) out << QStringLiteral("--drive") << QString(*p.Drive) + QLatin1Char(':');
    out << QStringLiteral("--description") << p.Description << QStringLiteral("--level") << QString::number(p.Level);
    if (!p.Subfolders) out << QStringLiteral("--no-subfolders");
    if (!p.Hidden) out << QStringLiteral("--no-hidden");
    if (p.Move) out << QStringLiteral("--move");
    if (p.PasswordStdin) out << QStringLiteral("--password-stdin");
    return out << p.Paths;
  }
  if (verb == QLatin1String("archives")) return {QString(*p.Drive) + QLatin1Char(':')};
  if (verb == QLatin1String("restore") || verb == QLatin1String("delete-archive")) {
    if (!p.To.isNull()) out << QStringLiteral("--to") << p.To;
    if (p.DeleteArchive) out << QStringLiteral("--delete-archive");
    if (p.PasswordStdin) out << QStringLiteral("--password-stdin");
    if (p.Yes) out << QStringLiteral("--yes");
    return out << QString(*p.Drive) + QLatin1Char(':') << p.Key;
  }
  if (p.Yes) out << QStringLiteral("--yes");
  if (p.Replace) out << QStringLiteral("--replace");
  return out << QStringLiteral("--") << p.Paths;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("KORVANE_DRIVES", "C=/;T=/tmp/korvane-fuzz-t;U=/tmp/korvane-fuzz-t/u", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QStringList args = FuzzArguments(FuzzBytes(data, size));
  if (args.isEmpty()) return 0;
  const QString verb = args.takeFirst();
  const std::optional<TFreeArgs> parsed = ParseFreeArguments(verb, args);
  bool known = false;
  for (const char* v : Verbs) known = known || verb == QLatin1String(v);
  FUZZ_CHECK(parsed.has_value() == known);
  if (!parsed) return 0;
  const TFreeArgs& p = *parsed;
  if (!p.Errors.isEmpty()) {
    for (const QString& error : p.Errors) FUZZ_CHECK(error.startsWith(verb + QStringLiteral(": ")));
    return 0;
  }
  FUZZ_CHECK(p.Level >= 0 && p.Level <= 9);
  if (p.Drive) FUZZ_CHECK(TDriveTable::Instance().Find(*p.Drive) != nullptr);
  const qsizetype paths = p.Paths.size();
  if (verb == QLatin1String("trash") || verb == QLatin1String("delete")) FUZZ_CHECK(paths >= 1);
  if (verb == QLatin1String("move")) FUZZ_CHECK(paths == 2);
  if (verb == QLatin1String("archive") || verb == QLatin1String("trash-size") || verb == QLatin1String("empty-trash"))
    FUZZ_CHECK(paths == 1);
  if (verb == QLatin1String("archives") || verb == QLatin1String("restore") || verb == QLatin1String("delete-archive"))
    FUZZ_CHECK(paths == 0 && p.Drive);
  if (verb == QLatin1String("restore") || verb == QLatin1String("delete-archive")) FUZZ_CHECK(IsCatalogueKey(p.Key));
  // Flags only the verbs that know them set.
  if (p.Yes) FUZZ_CHECK(verb == QLatin1String("delete") || verb == QLatin1String("delete-archive") || verb == QLatin1String("empty-trash"));
  if (p.Replace) FUZZ_CHECK(verb == QLatin1String("move"));
  if (!p.To.isNull() || p.DeleteArchive) FUZZ_CHECK(verb == QLatin1String("restore"));

  const std::optional<TFreeArgs> again = ParseFreeArguments(verb, Written(verb, p));
  FUZZ_CHECK(again && Same(*again, p));
  return 0;
}
