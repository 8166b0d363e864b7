#pragma once
// The unattended report command line:
//   korvane /RINF|/RCSV|/RTAB|/RTXT FOLDER DESTINATION [options]
// Options are recognised by their second character, compared in upper case; character positions
// below count from 1:
//   /A         all subfolders
//   /H?U?N...  subfolders larger than N (from the 7th character on), unit U (5th: B, K or M)
//   /Q         quiet: no message box; errors go to stderr and the program ends after the report
//   /S?D?C     sort column C (5th, 1 = Name ... 8 = Last Change), descending when the 3rd is D
//   /T????N... the top N subfolders (N from the 6th character on)
//   /W??T|F    include wasted space (4th character T) or not (F)
// Any other argument is ignored.

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
};

// arguments: without the program's name.
bool IsReportCommandLine(const QStringList& arguments);
// Whether /Q is among the options (looked for even when the rest is wrong).
bool HasQuietOption(const QStringList& arguments);
TReportParse ParseReportCommandLine(const QStringList& arguments);
// Sets what the request's options change in view.
void ApplyReportOptions(const TReportRequest& request, TSubfolderView& view);
// The usage text of the report command line.
extern const char* const ReportUsage;
