// The Tools menu's file: any bytes give entries with a command and a line number, or problems;
// never a crash. Each entry's three fields, written back as quoted fields, split into the same
// three fields again.

#include "fuzz/FuzzSupport.h"
#include "shell/core/ToolsFile.h"

namespace {

QString Quoted(QString field) { return QLatin1Char('"') + field.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = FuzzBytes(data, size);
  const TToolsFile file = ParseToolsFile(bytes);
  const qsizetype lines = bytes.count('\n') + 1;
  int previous = 0;
  for (const TToolEntry& e : file.Entries) {
    FUZZ_CHECK(!e.Command.trimmed().isEmpty());
    FUZZ_CHECK(e.Line > previous && e.Line <= lines);
    previous = e.Line;
    const QString line = Quoted(e.Caption) + QLatin1Char(',') + Quoted(e.Hint) + QStringLiteral(", ") + Quoted(e.Command);
    const QStringList fields = SplitToolsLine(line);
    FUZZ_CHECK(fields.size() == 3);
    FUZZ_CHECK(fields[0] == e.Caption && fields[1] == e.Hint && fields[2] == e.Command);
  }
  FUZZ_CHECK(file.Entries.size() + static_cast<size_t>(file.Problems.size()) <= static_cast<size_t>(lines));
  return 0;
}
