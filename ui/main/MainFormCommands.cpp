// The File, View and Help commands that other parts of the program carry out: reports, printing,
// pie export, the tree bar chart, the options dialog and the about box.

#include "ui/main/MainForm.h"

#include "charts/ui/BarChartBox.h"
#include "config/Options.h"
#include "reports/ReportSource.h"
#include "reports/print/ReportCommands.h"
#include "scan/FolderTree.h"
#include "scan/VolumeInfo.h"
#include "shell/AboutBox.h"
#include "ui/main/FolderPie.h"
#include "ui/main/SubfoldersPage.h"
#include "ui/options/OptionsBox.h"

#include <QAction>
#include <QDateTime>

void TMainForm::ConnectMenuCommands() {
  connect(cmdFilePieAsMetafile, &QAction::triggered, this, [this] { cmdFilePieExportClick(0); });
  connect(cmdFilePieAsBitmap, &QAction::triggered, this, [this] { cmdFilePieExportClick(1); });
  connect(cmdFilePieToFile, &QAction::triggered, this, [this] { cmdFilePieExportClick(2); });
  connect(cmdFileReportFolderInformation, &QAction::triggered, this, [this] { cmdFileReportClick(false, true); });
  connect(cmdFileReportFolderContents, &QAction::triggered, this, [this] { cmdFileReportClick(false, false); });
  connect(cmdFilePrintFolderInformation, &QAction::triggered, this, [this] { cmdFileReportClick(true, true); });
  connect(cmdFilePrintSubfolderlist, &QAction::triggered, this, [this] { cmdFileReportClick(true, false); });
  connect(cmdViewTreeBarChart, &QAction::triggered, this, [this] { Guarded([this] { cmdViewBarChartClick(); }); });
  connect(cmdViewOptions, &QAction::triggered, this, [this] { Guarded([this] { cmdViewOptionsClick(); }); });
  connect(cmdHelpAbout, &QAction::triggered, this, [this] {
    TAboutBox box(this);
    RunModalDialog(box);
  });
}

void TMainForm::cmdFileReportClick(bool print, bool folderInformation) {
  // The shortcut-free menu is only enabled for a folder with its record; check again all the same.
  if (!current_.Node() || !current_.Node()->Data()) return;
  Guarded([&] {
    const TSubfolderListReport list =
        BuildSubfolderListReport(*current_.Node(), current_.Path(), SubfoldersPage->CurrentSettings());
    if (folderInformation) {
      const TFolderInfoReport info =
          BuildFolderInfoReport(*current_.Node(), current_.Path(), current_.DriveClusterSize(), QDateTime::currentDateTime());
      if (print)
        ::cmdFilePrintFolderInformation(this, info, list);
      else
        ::cmdFileReportFolderInformation(this, info, list);
    } else if (print) {
      ::cmdFilePrintSubfolderlist(this, list);
    } else {
      ::cmdFileReportFolderContents(this, list);
    }
  });
}

void TMainForm::cmdFilePieExportClick(int how) {
  if (!current_.Node() || !current_.Node()->Data() || !PiePage) return;
  Guarded([&] {
    // The pie is drawn for the current folder on its page; show it there first, then go back.
    const int previous = currentPage_;
    if (previous != pgPie) SelectPage(pgPie);
    if (how == 2)
      ::cmdFilePieToFile(this, PiePage->Chart(), current_.Path());
    else
      ::cmdFilePieToClipboard(this, PiePage->Chart(), how == 0);
    if (previous != pgPie) SelectPage(previous);
  });
}

void TMainForm::CreateToolWindows() {
  if (!SectionSizeBox) SectionSizeBox = new TSectionSizeBox(this);
  if (!BarChartBox) BarChartBox = new TBarChartBox(this, &settings_);
}

void TMainForm::cmdViewBarChartClick() {
  // Ctrl+T works without the menu being opened: check the folder again.
  if (!current_.Node() || !current_.Node()->Data() || Scanning()) return;
  // The program makes the window at start; a main window made alone makes it when first asked.
  if (!BarChartBox) BarChartBox = new TBarChartBox(this, &settings_);
  BarChartBox->ShowFor(current_.Node());
  RunModalDialog(*BarChartBox);
  const QString chosen = BarChartBox->ChosenPath;
  BarChartBox->ChosenPath.clear();
  if (!chosen.isEmpty()) GoToFolder(chosen);
}

void TMainForm::cmdViewOptionsClick() {
  // What OK stores reaches the views through the settings' change.
  TOptionsBox box(settings_, this);
  RunModalDialog(box);
}
