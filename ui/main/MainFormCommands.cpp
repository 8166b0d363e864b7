// The File, View and Help commands: reports, printing and pie export (carried out by the reports'
// controller), the tree bar chart, the options dialog and the about box.

#include "ui/main/MainForm.h"

#include "charts/ui/BarChartBox.h"
#include "config/Options.h"
#include "scan/FolderTree.h"
#include "scan/VolumeInfo.h"
#include "shell/AboutBox.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/WindowReports.h"
#include "ui/options/OptionsBox.h"

#include <QAction>

void TMainForm::ConnectMenuCommands() {
  connect(cmdFilePieAsMetafile, &QAction::triggered, this, [this] { reports_->ExportPie(0); });
  connect(cmdFilePieAsBitmap, &QAction::triggered, this, [this] { reports_->ExportPie(1); });
  connect(cmdFilePieToFile, &QAction::triggered, this, [this] { reports_->ExportPie(2); });
  connect(cmdFileReportFolderInformation, &QAction::triggered, this, [this] { reports_->Report(false, true); });
  connect(cmdFileReportFolderContents, &QAction::triggered, this, [this] { reports_->Report(false, false); });
  connect(cmdFilePrintFolderInformation, &QAction::triggered, this, [this] { reports_->Report(true, true); });
  connect(cmdFilePrintSubfolderlist, &QAction::triggered, this, [this] { reports_->Report(true, false); });
  connect(cmdViewTreeBarChart, &QAction::triggered, this, [this] { Guarded([this] { cmdViewBarChartClick(); }); });
  connect(cmdViewOptions, &QAction::triggered, this, [this] { Guarded([this] { cmdViewOptionsClick(); }); });
  connect(cmdHelpAbout, &QAction::triggered, this, [this] {
    TAboutBox box(this);
    RunModalDialog(box);
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
  if (!chosen.isEmpty()) scanCommands_->GoToFolder(chosen);
}

void TMainForm::cmdViewOptionsClick() {
  // What OK stores reaches the views through the settings' change.
  TOptionsBox box(settings_, this);
  RunModalDialog(box);
}
