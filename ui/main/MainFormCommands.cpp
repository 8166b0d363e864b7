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
  if (!CurrentNode || !CurrentNode->Data()) return;
  Guarded([&] {
    const TSubfolderListReport list =
        BuildSubfolderListReport(*CurrentNode, CurrentPath, SubfoldersPage->CurrentSettings());
    if (folderInformation) {
      const TFolderInfoReport info =
          BuildFolderInfoReport(*CurrentNode, CurrentPath, DriveClusterSize, QDateTime::currentDateTime());
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
  if (!CurrentNode || !CurrentNode->Data() || !PiePage) return;
  Guarded([&] {
    // The pie is drawn for the current folder on its page; show it there first, then go back.
    const int previous = CurrentPage;
    if (previous != pgPie) SelectPage(pgPie);
    if (how == 2)
      ::cmdFilePieToFile(this, PiePage->Chart(), CurrentPath);
    else
      ::cmdFilePieToClipboard(this, PiePage->Chart(), how == 0);
    if (previous != pgPie) SelectPage(previous);
  });
}

void TMainForm::cmdViewBarChartClick() {
  // Ctrl+T works without the menu being opened: check the folder again.
  if (!CurrentNode || !CurrentNode->Data() || Scanning) return;
  // The program makes the window at start; a main window made alone makes it when first asked.
  if (!BarChartBox) BarChartBox = new TBarChartBox(this);
  BarChartBox->ShowFor(CurrentNode);
  RunModalDialog(*BarChartBox);
  const QString chosen = BarChartBox->ChosenPath;
  BarChartBox->ChosenPath.clear();
  if (!chosen.isEmpty()) GoToFolder(chosen);
}

void TMainForm::cmdViewOptionsClick() {
  TOptionsBox box(this);
  RunModalDialog(box);
  if (!box.Accepted) return;
  ApplyPieSettings();
  InvalidatePie();
  toolShowWasted->setChecked(IncludeWastedInformation->Value);
  toolShowFiles->setChecked(ShowFileNames->Value);
  InvalidateAll(true);
}
