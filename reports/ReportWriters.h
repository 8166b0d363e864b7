#pragma once
// The folder reports as text: the folder-information report and the subfolder list as
// comma-separated, tab-separated and space-aligned lines.

#include "reports/LineSink.h"
#include "reports/ReportRows.h"

#include <QString>

// The line of hyphens between the report's blocks.
extern const QString ReportSeparatorLine;
// The report's second line.
extern const QString ReportNoticeLine;

// One field of a comma-separated line: quoted (inner quotes doubled) when it holds a blank, a
// control character, a double quote or a comma, else as it is.
QString CsvField(const QString& field);
// Joins fields with commas; a line of one empty field is written as two double quotes.
QString CsvLine(const std::array<QString, ReportListColumns>& fields);

// The folder-information report. For the printer it ends after the note on the "->" mark; a file
// report goes on with the heading of the subfolder list, which the caller then appends (see
// WriteReportFile). False when the sink failed.
bool WriteFolderInformation(ILineSink& sink, const TFolderInfoReport& info, bool printing);
// The captions, then one line per row: fields joined by commas and quoted where needed.
bool WriteSubfolderCsv(ILineSink& sink, const TSubfolderListReport& list);
// The same lines with every field followed by a tab, nothing quoted.
bool WriteSubfolderTab(ILineSink& sink, const TSubfolderListReport& list);
// The list in columns padded with blanks: the name left-aligned, the figures right-aligned, each
// column 4 wider than its widest text. For the printer the name column is at most 14 wide and a
// name of 15 characters or more is cut to its first 11 and "...".
bool WriteSubfolderAligned(ILineSink& sink, const TSubfolderListReport& list, bool printing);

// A name as the printed list shows it.
QString PrintedListName(const QString& name);

enum class TReportKind { FolderInformation, CommaSeparated, TabSeparated, SpaceAligned };

// ".csv" for comma-separated lists, ".txt" for the others.
QString ReportExtension(TReportKind kind);
// fileName with extension added when its name has none (a name with any extension keeps it).
QString WithDefaultExtension(const QString& fileName, const QString& extension);
// The subfolder-list save dialog's filters, counted from 1: comma-separated, tab-separated,
// space-aligned; any other index counts as the first.
TReportKind SubfolderListFilterKind(int filterIndex);
extern const QString SubfolderListFilter;
extern const QString FolderInformationFilter;

// The whole file of a report: the folder information is followed by the space-aligned list of its
// subfolders; the list kinds are the list alone.
QByteArray ReportFileData(TReportKind kind, const TFolderInfoReport& info, const TSubfolderListReport& list);
// Writes ReportFileData to fileName in one step (see SaveReportFile).
bool WriteReportFile(const QString& fileName, TReportKind kind, const TFolderInfoReport& info,
                     const TSubfolderListReport& list, QString* error = nullptr);

// The message of a report that could not be written.
extern const QString ReportFailedText;
