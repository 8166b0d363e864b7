#include "reports/ReportRequest.h"

#include <QRegularExpression>

#include <cstdio>

const char* const ReportUsage =
    "usage: korvane /RINF|/RCSV|/RTAB|/RTXT FOLDER DESTINATION [/A] [/T:N] [/H:U:N] [/S:C|/SA:C|/SD:C] [/W:T|/W:F] [/Q]\n"
    "  INF folder information, CSV comma-separated, TAB tab-separated, TXT space-aligned subfolder list;\n"
    "  DESTINATION is a file (relative to the current folder) or PRINTER;\n"
    "  /A all subfolders, /T:N the N largest, /H:U:N those larger than N (0 to 32767) bytes, KB or MB\n"
    "  (U = B, K or M); /S:C or /SA:C sort by column C (1 Name ... 8 Last Change, 9 On Disk), /SD:C descending;\n"
    "  /W:T or /W:F with or without wasted space; /Q no message boxes, errors to stderr, exit status 1.\n"
    "  /TOP:N and /HT:U:N are read as /T:N and /H:U:N. Options are not case-sensitive.\n";

namespace {

// The number of /T and /H: digits only, 0 to 32767.
bool IsOptionNumber(const QString& text) {
  static const QRegularExpression digits(QStringLiteral("\\A[0-9]{1,5}\\z"));
  return digits.match(text).hasMatch() && text.toInt() <= 32767;
}

}  // namespace

bool TReportRequest::ToPrinter() const {
  return Destination == QLatin1String(PrinterDestination) &&
         (Kind == TReportKind::FolderInformation || Kind == TReportKind::SpaceAligned);
}

bool IsReportCommandLine(const QStringList& arguments) {
  return !arguments.isEmpty() && arguments.first().toUpper().startsWith(QStringLiteral("/R"));
}

bool HasQuietOption(const QStringList& arguments) {
  for (int i = 3; i < arguments.size(); ++i)
    if (arguments[i].compare(QLatin1String("/Q"), Qt::CaseInsensitive) == 0) return true;
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
  static const QRegularExpression top(QStringLiteral("\\A/T(?:OP)?:(.*)\\z"));
  static const QRegularExpression larger(QStringLiteral("\\A/HT?:([BKM]):(.*)\\z"));
  static const QRegularExpression sort(QStringLiteral("\\A/S([AD]?):([1-9])\\z"));
  for (int i = 3; i < arguments.size(); ++i) {
    const QString option = arguments[i].toUpper();
    QRegularExpressionMatch m;
    if (option == QLatin1String("/A")) {
      r.DisplayType = 2;
    } else if (option == QLatin1String("/Q")) {
      r.Quiet = true;
    } else if (option == QLatin1String("/W:T") || option == QLatin1String("/W:F")) {
      r.IncludeWasted = option.endsWith(QLatin1Char('T'));
    } else if ((m = top.match(option)).hasMatch()) {
      if (!IsOptionNumber(m.captured(1))) {
        parse.Error = QStringLiteral("The number of the /T option must be a whole number from 0 to 32767, not \"%1\".")
                          .arg(m.captured(1));
        return parse;
      }
      r.DisplayType = 0;
      r.TopText = m.captured(1);
    } else if ((m = larger.match(option)).hasMatch()) {
      if (!IsOptionNumber(m.captured(2))) {
        // A threshold the list cannot hold would silently list everything: say so instead.
        parse.Error = QStringLiteral("The size of the /H option must be a whole number from 0 to 32767, not \"%1\".")
                          .arg(m.captured(2));
        return parse;
      }
      r.DisplayType = 1;
      r.LargerThanUnit = static_cast<int32_t>(QByteArray("BKM").indexOf(m.captured(1)[0].toLatin1()));
      r.LargerThanText = m.captured(2);
    } else if ((m = sort.match(option)).hasMatch()) {
      const int32_t code = m.captured(2).toInt();
      r.Sort = m.captured(1) == QLatin1String("D") ? -code : code;
    } else {
      parse.Ignored << arguments[i];
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

void PrintIgnoredReportOptions(const TReportParse& parse) {
  for (const QString& option : parse.Ignored)
    std::fprintf(stderr, "korvane: ignored option %s\n", option.toLocal8Bit().constData());
}
