#pragma once
// The File menu's report, print and pie export commands, for the main window to call with what
// its pages show. Each asks its own dialog, writes or prints, and shows "Generating report failed"
// (or the export's error) in the program's message box when that fails.

#include "reports/ReportRows.h"

#include <QString>
#include <QStringList>

class QWidget;
class THPieChart;

// A save dialog that asks about replacing the file that will really be written: finalName turns
// the chosen name and filter index (from 1) into that file. Empty when cancelled or not replaced.
// The dialog opens in the folder of the last file saved through it in this run, else in the host
// folder of startDrivePath (the folder shown) when it exists, else in the home folder.
QString AskSaveFileName(QWidget* parent, const QString& title, const QStringList& filters,
                        QString (*finalName)(const QString& chosen, int filterIndex), int* filterIndex = nullptr,
                        const QString& startDrivePath = QString());
// Where that dialog opens (see above).
QString SaveDialogStartFolder(const QString& startDrivePath);

// File > Reports > Folder Information...: the report and its subfolder list to a text file.
bool cmdFileReportFolderInformation(QWidget* parent, const TFolderInfoReport& info, const TSubfolderListReport& list);
// File > Reports > Subfolder List...: comma-separated, tab-separated or space-aligned, by filter.
bool cmdFileReportFolderContents(QWidget* parent, const TSubfolderListReport& list);
// File > Print > Folder Information... and Subfolder List...: the print dialog, then the job.
bool cmdFilePrintFolderInformation(QWidget* parent, const TFolderInfoReport& info, const TSubfolderListReport& list);
bool cmdFilePrintSubfolderlist(QWidget* parent, const TSubfolderListReport& list);
// File > Export Pie > To File...: bitmap, metafile, enhanced metafile, PNG or SVG.
bool cmdFilePieToFile(QWidget* parent, THPieChart& chart, const QString& startDrivePath = QString());
// File > Export Pie > To Clipboard > As Metafile / As Bitmap.
bool cmdFilePieToClipboard(QWidget* parent, THPieChart& chart, bool asMetafile);
