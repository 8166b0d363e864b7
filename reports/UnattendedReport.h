#pragma once
// Runs a report request without a window: scans the folder with the headless scanner, makes the
// rows the pages would show, and writes the report to its file or hands it to the printer. The
// window runs the same request on its own tree and hands what it built to DeliverReport.

#include "reports/ReportRequest.h"
#include "reports/ReportRows.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

// Prints a report (folder information or the space-aligned list); false with the reason in
// *error when the printer failed.
using TReportPrinter = std::function<bool(TReportKind kind, const TFolderInfoReport& info,
                                          const TSubfolderListReport& list, QString* error)>;

struct TReportContext {
  // The folder the program was started in: relative folders and destinations are taken from it.
  QString StartFolder;
  // Prints for the destination PRINTER; none means there is no printer to print on.
  TReportPrinter Printer;
  // The report date; the current time when not valid.
  QDateTime Now;
};

struct TReportOutcome {
  int ExitCode = 0;  // 0 written, 1 failed
  bool Written = false;
  QString Message;   // what failed, or where the report went
  QString Output;    // the file written (empty for the printer)
  QStringList Warnings;  // what a written report lacks (folders that could not be read)
};

// The drive path of a folder argument (a drive path, or a host path taken from startFolder when
// relative); empty with the reason in *error when no drive holds it or a ".." in it follows a
// link.
QString ReportFolderPath(const QString& folder, const QString& startFolder, QString* error = nullptr);
// Where the report goes: PRINTER, or the destination (a host path taken from startFolder, or a
// drive path) with the kind's extension when it has none. Empty with the reason in *error when it
// names no place, or names a device, a FIFO or a socket (or a link to one).
QString ReportDestinationPath(const TReportRequest& request, const QString& startFolder, QString* error = nullptr);

// view holds the subfolder list's settings: the request's options change it for the report and
// it is put back as it was before this returns, whatever happened.
TReportOutcome RunUnattendedReport(const TReportRequest& request, TSubfolderView& view, const TReportContext& context);

// Writes a report made for the folder path to the request's destination: its file (taken from
// the start folder) or the printer.
TReportOutcome DeliverReport(const TReportRequest& request, const QString& path, const TFolderInfoReport& info,
                             const TSubfolderListReport& list, const TReportContext& context);

// The folder the program was started in, remembered before anything changes the working folder.
void RememberStartFolder();
QString StartFolder();
