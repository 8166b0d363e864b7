#include "reports/ReportRequest.h"

const char* const ReportUsage =
    "usage: korvane /RINF|/RCSV|/RTAB|/RTXT FOLDER DESTINATION [/A] [/HT:U:N] [/Q] [/SA:C|/SD:C] [/TOP:N] [/W:T|/W:F]\n"
    "  INF folder information, CSV comma-separated, TAB tab-separated, TXT space-aligned subfolder list;\n"
    "  DESTINATION is a file (relative to the current folder) or PRINTER;\n"
    "  /A all subfolders, /HT:U:N those larger than N bytes, KB or MB (U = B, K or M), /TOP:N the N largest;\n"
    "  /SA:C or /SD:C sort by column C (1 Name ... 8 Last Change) ascending or descending;\n"
    "  /W:T or /W:F with or without wasted space; /Q no message boxes, errors to stderr, exit status 1.\n";

namespace {

// The character at position (counted from 1), or a null character past the end.
QChar At(const QString& text, int position) { return position <= text.size() ? text[position - 1] : QChar(); }

}  // namespace

bool TReportRequest::ToPrinter() const {
  return Destination == QLatin1String(PrinterDestination) &&
         (Kind == TReportKind::FolderInformation || Kind == TReportKind::SpaceAligned);
}

bool IsReportCommandLine(const QStringList& arguments) {
  return !arguments.isEmpty() && arguments.first().toUpper().startsWith(QStringLiteral("/R"));
}

bool HasQuietOption(const QStringList& arguments) {
  for (int i = 3; i < arguments.size(); ++i) {
    const QString option = arguments[i].toUpper();
    if (option.startsWith(QLatin1Char('/')) && At(option, 2) == QLatin1Char('Q')) return true;
  }
  return false;
}

TReportParse ParseReportCommandLine(const QStringList& arguments) {
  TReportParse parse;
  if (!IsReportCommandLine(arguments)) return parse;
  parse.Status = TReportParseStatus::BadArguments;
  const QString kind = arguments.first().mid(2).toUpper();
  TReportRequest& r = parse.Request;
  if (kind == QLatin1String("INF")) {
    r.Kind = TReportKind::FolderInformation;
  } else if (kind == QLatin1String("CSV")) {
    r.Kind = TReportKind::CommaSeparated;
  } else if (kind == QLatin1String("TAB")) {
    r.Kind = TReportKind::TabSeparated;
  } else if (kind == QLatin1String("TXT")) {
    r.Kind = TReportKind::SpaceAligned;
  } else {
    parse.Error = QStringLiteral("Unknown report kind \"%1\": use /RINF, /RCSV, /RTAB or /RTXT.").arg(arguments.first());
    return parse;
  }
  if (arguments.size() < 3) {
    parse.Error = QStringLiteral("A report needs a folder and a destination.");
    return parse;
  }
  r.Folder = arguments[1];
  r.Destination = arguments[2];
  if (r.Folder.isEmpty() || r.Destination.isEmpty()) {
    parse.Error = QStringLiteral("A report needs a folder and a destination.");
    return parse;
  }
  for (int i = 3; i < arguments.size(); ++i) {
    const QString option = arguments[i].toUpper();
    if (!option.startsWith(QLatin1Char('/'))) continue;
    switch (At(option, 2).unicode()) {
      case 'A':
        r.DisplayType = 2;
        break;
      case 'H': {
        r.DisplayType = 1;
        const QChar unit = At(option, 5);
        if (unit == QLatin1Char('B')) r.LargerThanUnit = 0;
        if (unit == QLatin1Char('K')) r.LargerThanUnit = 1;
        if (unit == QLatin1Char('M')) r.LargerThanUnit = 2;
        r.LargerThanText = option.mid(6);
        break;
      }
      case 'Q':
        r.Quiet = true;
        break;
      case 'S': {
        const QChar column = At(option, 5);
        if (column >= QLatin1Char('1') && column <= QLatin1Char('8')) {
          const int32_t code = column.unicode() - '0';
          r.Sort = At(option, 3) == QLatin1Char('D') ? -code : code;
        }
        break;
      }
      case 'T':
        r.DisplayType = 0;
        r.TopText = option.mid(5);
        break;
      case 'W': {
        const QChar flag = At(option, 4);
        if (flag == QLatin1Char('T')) r.IncludeWasted = true;
        if (flag == QLatin1Char('F')) r.IncludeWasted = false;
        break;
      }
      default:
        break;
    }
  }
  // A threshold the list cannot hold would silently list everything: say so instead.
  if (r.LargerThanText) {
    bool ok = false;
    const int value = r.LargerThanText->toInt(&ok);
    if (!ok || value < 0 || value > 32767) {
      parse.Error = QStringLiteral("The size of the /H option must be a whole number from 0 to 32767, not \"%1\".")
                        .arg(*r.LargerThanText);
      return parse;
    }
  }
  parse.Status = TReportParseStatus::Ok;
  return parse;
}

void ApplyReportOptions(const TReportRequest& request, TSubfolderView& view) {
  if (request.DisplayType) view.DisplayType = *request.DisplayType;
  if (request.TopText) view.TopText = *request.TopText;
  if (request.LargerThanUnit) view.LargerThanUnit = *request.LargerThanUnit;
  if (request.LargerThanText) view.LargerThanText = *request.LargerThanText;
  if (request.Sort) view.Sort = *request.Sort;
  if (request.IncludeWasted) view.IncludeWasted = *request.IncludeWasted;
}
