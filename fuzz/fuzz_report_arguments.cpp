// The unattended report's command line (korvane /R...). A command line that reads gives settings
// in range, the quiet option the start-up looks for before parsing, and every argument either
// read or named as ignored; the request written back in the documented forms reads back the same
// with nothing ignored.

#include "fuzz/FuzzSupport.h"
#include "reports/ReportRequest.h"
#include <algorithm>
#include <cstdlib>

namespace {

QString KindWord(TReportKind kind) {
  switch (kind) {
    case TReportKind::FolderInformation: return QStringLiteral("/RINF");
    case TReportKind::CommaSeparated: return QStringLiteral("/rcsv");
    case TReportKind::TabSeparated: return QStringLiteral("/RTab");
    case TReportKind::SpaceAligned: return QStringLiteral("/RTXT");
  }
  return QString();
}

bool Same(const TReportRequest& a, const TReportRequest& b) {
  return a.Kind == b.Kind && a.Folder == b.Folder && a.Destination == b.Destination && a.Quiet == b.Quiet &&
         a.DisplayType == b.DisplayType && a.TopText == b.TopText && a.LargerThanUnit == b.LargerThanUnit &&
         a.LargerThanText == b.LargerThanText && a.Sort == b.Sort && a.IncludeWasted == b.IncludeWasted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QStringList args = FuzzArguments(FuzzBytes(data, size));
  const TReportParse parse = ParseReportCommandLine(args);
  if (!IsReportCommandLine(args)) {
    FUZZ_CHECK(parse.Status == TReportParseStatus::NotAReport);
    return 0;
  }
  if (parse.Status != TReportParseStatus::Ok) {
    FUZZ_CHECK(parse.Status == TReportParseStatus::BadArguments && !parse.Error.isEmpty());
    return 0;
  }
  const TReportRequest& r = parse.Request;
  FUZZ_CHECK(!r.Folder.isEmpty() && !r.Destination.isEmpty());
  FUZZ_CHECK(HasQuietOption(args) == r.Quiet);
  FUZZ_CHECK(parse.Ignored.size() <= args.size() - 3);
  if (r.DisplayType) FUZZ_CHECK(*r.DisplayType >= 0 && *r.DisplayType <= 2);
  if (r.LargerThanUnit) FUZZ_CHECK(*r.LargerThanUnit >= 0 && *r.LargerThanUnit <= 2);
  if (r.Sort) FUZZ_CHECK(*r.Sort != 0 && std::abs(*r.Sort) <= 9);

  TSubfolderView view;
  ApplyReportOptions(r, view);
  FUZZ_CHECK(ViewThreshold(view) >= 0 && ViewThreshold(view) <= 32767LL * 1048576);
  FUZZ_CHECK(ViewTopCount(view) >= 0);

  // Written back: the option that chose the display type goes last.
  QStringList again{KindWord(r.Kind), r.Folder, r.Destination};
  QStringList display;
  if (r.TopText) display << QStringLiteral("/T:") + *r.TopText;
  if (r.LargerThanText)
    display << QStringLiteral("/h:%1:%2").arg(QLatin1Char("BKM"[r.LargerThanUnit.value_or(1)])).arg(*r.LargerThanText);
  if (r.DisplayType == 2) display << QStringLiteral("/A");
  const QString last = r.DisplayType == 0 ? QStringLiteral("/T:") : r.DisplayType == 1 ? QStringLiteral("/h:") : QStringLiteral("/A");
  std::stable_partition(display.begin(), display.end(), [&](const QString& o) { return !o.startsWith(last); });
  again << display;
  if (r.Sort) again << (*r.Sort < 0 ? QStringLiteral("/SD:%1") : QStringLiteral("/S:%1")).arg(std::abs(*r.Sort));
  if (r.IncludeWasted) again << (*r.IncludeWasted ? QStringLiteral("/W:T") : QStringLiteral("/w:f"));
  if (r.Quiet) again << QStringLiteral("/Q");
  const TReportParse reread = ParseReportCommandLine(again);
  FUZZ_CHECK(reread.Status == TReportParseStatus::Ok);
  FUZZ_CHECK(reread.Ignored.isEmpty());
  FUZZ_CHECK(Same(reread.Request, r));
  return 0;
}
