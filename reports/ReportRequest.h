#pragma once
// The unattended report command line:
//   korvane /RINF|/RCSV|/RTAB|/RTXT FOLDER DESTINATION [options]
// Options are compared without regard to case:
//   /A             all subfolders
//   /T:N           the top N subfolders (also /TOP:N); N from 0 to 32767
//   /H:U:N         subfolders larger than N (0 to 32767) in unit U: B, K or M (also /HT:U:N)
//   /S:C, /SA:C    sort by column C (1 = Name ... 8 = Last Change, 9 = On Disk); /SD:C descending
//   /W:T, /W:F     include wasted space or not
//   /Q             quiet: no message box; errors go to stderr and the program ends after the report
// Any other argument is ignored and named in TReportParse::Ignored, which the programs print on
// standard error; a /T or /H whose number is not one makes the whole command line wrong.

#include "reports/ReportView.h"
#include "reports/ReportWriters.h"

#include <QString>
#include <QStringList>

#include <optional>

// The destination word that sends a report to the default printer (exact case).
inline constexpr char PrinterDestination[] = "PRINTER";

struct TReportRequest {
  TReportKind Kind = TReportKind::FolderInformation;
  QString Folder;       // as given: a drive path or a host path
  QString Destination;  // as given
  bool Quiet = false;
  std::optional<int32_t> DisplayType;
  std::optional<QString> TopText;
  std::optional<int32_t> LargerThanUnit;
  std::optional<QString> LargerThanText;
  std::optional<int32_t> Sort;
  std::optional<bool> IncludeWasted;

  // Folder information and the space-aligned list can go to the printer; the comma- and
  // tab-separated lists always go to a file (one named PRINTER, then).
  bool ToPrinter() const;
};

enum class TReportParseStatus {
  NotAReport,   // the first argument does not begin with "/R"
  BadArguments, // an unknown kind or too few arguments: no report is made
  Ok,
};

struct TReportParse {
  TReportParseStatus Status = TReportParseStatus::NotAReport;
  QString Error;
  TReportRequest Request;
  // The arguments after the destination that are no option, as given.
  QStringList Ignored;
};

// arguments: without the program's name.
bool IsReportCommandLine(const QStringList& arguments);
// Whether /Q is among the options (looked for even when the rest is wrong).
bool HasQuietOption(const QStringList& arguments);
TReportParse ParseReportCommandLine(const QStringList& arguments);
// Sets what the request's options change in view.
void ApplyReportOptions(const TReportRequest& request, TSubfolderView& view);
// Writes "korvane: ignored option X" on standard error for each ignored argument.
void PrintIgnoredReportOptions(const TReportParse& parse);
// The usage text of the report command line.
extern const char* const ReportUsage;
