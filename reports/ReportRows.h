#pragma once
// What the two folder reports write, as the texts the pages show: the report writers take these
// and nothing else, so that a report always matches the screen. Every text is whole: a path is
// never shortened to a label's width, and the pie header's texts are those of the current folder,
// never of the section the mouse last passed over.

#include <QString>

#include <array>
#include <vector>

// A figure of the folder information: its text ("12.5 MB") and its tooltip ("13,107,200 bytes").
struct TReportFigure {
  QString Text;
  QString Hint;
};

// One cluster size of the wasted-space page.
struct TReportWastedRow {
  QString Caption;      // "0.5K"
  QString CaptionHint;  // "512 bytes"
  QString Text;         // "1.2 MB"
  QString TextHint;     // "1,258,291 bytes"
  int Percent = 0;      // the gauge's whole percentage
  bool Actual = false;  // the drive's own cluster size
};

inline constexpr int ReportFolderInfoGridRows = 11;
inline constexpr int ReportWastedRows = 7;
inline constexpr int ReportListColumns = 9;

struct TFolderInfoReport {
  QString ReportDate;  // the local date and time the report is made
  QString FolderType;  // the pie header's type text: "Root Folder of Drive", "File Folder"
  QString FolderName;  // the pie header's name text
  QString Path;        // the current folder's path
  // Size, Allocated, Wasted, Objects of the whole tree and of the folder alone.
  std::array<TReportFigure, 4> Tree;
  std::array<TReportFigure, 4> Folder;
  // The blocks the files occupy on the disk, of the whole tree and of the folder alone.
  TReportFigure TreeOnDisk;
  TReportFigure FolderOnDisk;
  // The folder-information grid, top to bottom: label and value.
  std::array<std::array<QString, 2>, ReportFolderInfoGridRows> Grid;
  // The three header lines of the wasted-space page.
  QString WastedAmount;
  QString WastedPath;
  QString WastedAtDiff;
  std::array<TReportWastedRow, ReportWastedRows> Wasted;
};

// The subfolder list as the page shows it: its folder, the captions (the sort column's with its
// "-> " mark) and the rows in the page's filter and order, name first.
struct TSubfolderListReport {
  QString Path;
  std::array<QString, ReportListColumns> Captions;
  std::vector<std::array<QString, ReportListColumns>> Rows;
};
