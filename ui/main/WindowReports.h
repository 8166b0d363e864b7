#pragma once
// The window's report commands: the folder information and subfolder list reports to a file or
// the printer, and the pie's export (clipboard as metafile or bitmap, or a file), all for the
// current folder as its pages show it.

class IWindowServices;
class TCurrentFolder;
class TPiePage;
class TSubfoldersPage;

class TWindowReports {
public:
  TWindowReports(TCurrentFolder& current, IWindowServices& window, TSubfoldersPage& subfolders, TPiePage& pie);

  // print: to the printer, else to a file; folderInformation: the folder information report (with
  // the subfolder list), else the subfolder list alone.
  void Report(bool print, bool folderInformation);
  // how: 0 the clipboard as a metafile, 1 the clipboard as a bitmap, 2 a file.
  void ExportPie(int how);

private:
  TCurrentFolder& current_;
  IWindowServices& window_;
  TSubfoldersPage& subfolders_;
  TPiePage& pie_;
};
