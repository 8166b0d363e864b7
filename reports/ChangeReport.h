#pragma once
// The "What Changed" report: how the folders of the compared folder changed since a snapshot of
// the scan history, largest change first, as text lines for a file or the printer.

#include "reports/LineSink.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <vector>

class TTreeComparison;

inline constexpr int ChangeReportColumns = 5;

struct TChangeReport {
  QString ReportDate;
  QString Path;           // the compared folder's drive path
  QString SnapshotLine;   // which snapshot: number, time, host, host folder
  QString TotalLine;      // the total change with the sizes then and now
  QString CountsLine;     // how many folders grew, shrank, came and went
  std::array<QString, ChangeReportColumns> Captions;
  // Change, bytes, share, state, folder: one row per changed folder, largest change first.
  std::vector<std::array<QString, ChangeReportColumns>> Rows;
};

// The report of a comparison, dated now (local time).
TChangeReport BuildChangeReport(const TTreeComparison& comparison, const QDateTime& now);
// The lines; for the printer the folder column is left as it is (the printer cuts long lines at
// the page's edge). False when the sink failed.
bool WriteChangeReport(ILineSink& sink, const TChangeReport& report);
// The whole text file.
QByteArray ChangeReportData(const TChangeReport& report);
// Writes the file in one step (see SaveReportFile).
bool WriteChangeReportFile(const QString& fileName, const TChangeReport& report, QString* error = nullptr);
