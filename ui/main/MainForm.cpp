// The main window: construction, the actions, menus and layout, and the view commands.

#include "ui/main/MainForm.h"

#include "charts/PaletteColors.h"
#include "config/Options.h"
#include "scan/FolderSize.h"
#include "scan/ScanQueue.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "shell/Help.h"
#include "shell/MessageBoxes.h"
#include "shell/ToolsMenu.h"
#include "ui/controls/DriveComboBox.h"
#include "ui/main/FolderInfoPage.h"
#include "ui/main/FolderPie.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/FreeSpaceCommands.h"
#include "ui/main/HistoryCommands.h"
#include "ui/main/LargestFilesBox.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/ScanFileCommands.h"
#include "ui/main/SubfoldersPage.h"
#include "ui/main/TreemapPage.h"
#include "ui/main/WastedPage.h"
#include "ui/main/WindowPlacement.h"
#include "ui/main/WindowReports.h"
#include "ui/main/WindowScanHost.h"

#include <QApplication>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace {

QString ShortHint(const QString& hint) { return hint.section(QLatin1Char('|'), 0, 0); }
QString LongHint(const QString& hint) { return hint.contains(QLatin1Char('|')) ? hint.section(QLatin1Char('|'), 1) : hint; }

}  // namespace

// =============================================================================================
// Creation and destruction

TMainForm::TMainForm(QStringList arguments, QWidget* parent)
    : QMainWindow(parent),
      scanHost_(std::make_unique<TWindowScanHost>(*this, current_, [this] { Guarded([this] { SelectPage(currentPage_); }); })),
      session_(std::make_unique<TScanSession>(*scanHost_)),
      scans_(std::make_unique<TScanQueue>(*session_)),
      scanCommands_(std::make_unique<TScanCommands>(*session_, *scans_, current_, *this, *scanHost_)),
      freeSpace_(std::make_unique<TFreeSpaceCommands>(*session_, *scans_, current_, settings_, *this, *scanCommands_)),
      arguments_(std::move(arguments)) {
  setObjectName(QStringLiteral("MainForm"));
  scans_->SetErrorHandler([this](const QString& message) { ShowError(message, 2, this); });
  connect(&settings_, &TSettings::Changed, this, &TMainForm::FollowSettings);
  // The settings are saved when the window closes, or when the program is ended without that.
  connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { FormDestroy(); });
  // What the window draws itself follows the desktop's light or dark scheme.
  SetSystemPalette(SystemPaletteFrom(QApplication::palette()));
  try {
    BuildActions();
    BuildMenus();
    BuildLayout();
    reports_ = std::make_unique<TWindowReports>(current_, *this, *SubfoldersPage, *PiePage);
    FormCreate();
    // The commands that need a scan wait for it on the event loop; the window's controls
    // follow the session's scanning state.
    connect(session_.get(), &TScanSession::ScanStarted, this, [this] { SetScanning(true); });
    connect(session_.get(), &TScanSession::ScanFinished, this, [this] { SetScanning(false); });
    connect(session_.get(), &TScanSession::ScanFailed, this, [this](const QString& message) { ShowError(message, 2, this); });
  } catch (...) {
    // The destructor does not run: let the tree go without the view watching it.
    if (FolderTree) FolderTree->setModel(nullptr);
    delete model_;
    model_ = nullptr;
    throw;
  }
}

TMainForm::~TMainForm() {
  // The view goes before the tree it shows.
  if (FolderTree) FolderTree->setModel(nullptr);
  delete model_;
  model_ = nullptr;
  // The session frees the drive records and the tree after the window's parts have gone.
}

const QString& TMainForm::ScannedDrives() const { return session_->ScannedDrives(); }

TFolderTree& TMainForm::Nodes() { return session_->Tree(); }

bool TMainForm::Scanning() const { return session_->Scanning(); }

bool TMainForm::ScansIdle() const { return scans_->Idle(); }

void TMainForm::SetScanning(bool on) {
  for (QAction* a : {cmdFileScanDrives, toolRescanDir, toolScan}) a->setEnabled(!on);
  cmdFileRescan->setEnabled(!on);
  cmdFileRemove->setEnabled(!on);
  ClustersBox->setEnabled(!on);
  cmdFileAbort->setEnabled(on);
  toolStop->setEnabled(on);
  // The Stop button's hint would stay over the status line: the button it belongs to is
  // disabled under the mouse and never says that the mouse left.
  if (!on) statusBar()->clearMessage();
  if (!on) toolRescanDir->setEnabled(current_.Node() != nullptr);
  // The not-ready text depends on whether a scan runs.
  if (notReady_) FillNotReadyText();
}

void TMainForm::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    ShowError(QString::fromUtf8(e.what()), 2, this);
  }
}

// =============================================================================================
// Layout

void TMainForm::BuildActions() {
  QStyle* st = style();
  auto make = [this](const QString& caption, const QString& hint = {}) {
    auto* a = new QAction(caption, this);
    if (!hint.isEmpty()) {
      a->setToolTip(ShortHint(hint));
      a->setStatusTip(LongHint(hint));
    }
    return a;
  };
  cmdFileScanDrives = make(QStringLiteral("&Scan Drive(s)..."));
  cmdFileRescanCurrentDirectory = make(QStringLiteral("Current &Folder"));
  cmdFileRescanCurrentDrive = make(QStringLiteral("&Current Drive"));
  cmdFileRescanAllDrives = make(QStringLiteral("&All Drives"));
  cmdFileRemoveCurrentDrive = make(QStringLiteral("&Current Drive"));
  cmdFileRemoveAllDrives = make(QStringLiteral("&All Drives"));
  cmdFileMapNetworkDrive = make(QStringLiteral("&Map Network Drive..."));
  cmdFileDisconnectNetworkDrive = make(QStringLiteral("&Disconnect Network Drive..."));
  cmdFileAbort = make(QStringLiteral("&Abort Scanning"));
  cmdFileAbort->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  cmdFileAbort->setEnabled(false);
  cmdFileSelectFolder = make(QStringLiteral("Select &Folder..."));
  cmdFileRestoreCompressedFolders = make(QStringLiteral("Restore &Compressed Folders..."));
  cmdFileExit = make(QStringLiteral("E&xit"));

  cmdViewToolbar = make(QStringLiteral("Toolbar"));
  cmdViewStatusBar = make(QStringLiteral("Status &Bar"));
  cmdViewFolderTree = make(QStringLiteral("Folder T&ree"));
  for (QAction* a : {cmdViewToolbar, cmdViewStatusBar, cmdViewFolderTree}) {
    a->setCheckable(true);
    a->setChecked(true);
  }
  const char* pageCaptions[PageCount] = {"&Pie Chart", "Folder &Information", "&Subfolders", "&Wasted Space",
                                         "&Free Some Space", "&Treemap"};
  auto* pageGroup = new QActionGroup(this);
  for (int i = 0; i < PageCount; ++i) {
    cmdViewPage[i] = make(QString::fromLatin1(pageCaptions[i]));
    cmdViewPage[i]->setCheckable(true);
    cmdViewPage[i]->setData(i);
    pageGroup->addAction(cmdViewPage[i]);
    connect(cmdViewPage[i], &QAction::triggered, this, [this, i] { cmdViewPageClick(i); });
  }
  cmdViewPage[0]->setChecked(true);
  cmdViewPieSectionSizeWindow = make(QStringLiteral("Wasted && Drive Pie &Charts"),
                                     QStringLiteral("Shows or hides the Section & Free Information Window."));
  cmdViewPieSectionSizeWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  cmdViewPieSectionSizeWindow->setCheckable(true);
  cmdViewPieSectionSizeWindow->setChecked(true);
  cmdViewTreeBarChart = make(QStringLiteral("&Tree Bar Chart"));
  cmdViewTreeBarChart->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  cmdViewPieSortAscending = make(QStringLiteral("&Ascending"), QStringLiteral("Sorts pie sections by size in ascending order."));
  cmdViewPieSortDescending = make(QStringLiteral("&Descending"), QStringLiteral("Sorts pie sections by size in descending order."));
  auto* sortGroup = new QActionGroup(this);
  for (QAction* a : {cmdViewPieSortAscending, cmdViewPieSortDescending}) {
    a->setCheckable(true);
    sortGroup->addAction(a);
  }
  cmdViewPieSortDescending->setChecked(true);
  cmdViewOptions = make(QStringLiteral("&Options..."));

  toolScan = make(QStringLiteral("Scan"), QStringLiteral("Scan/Rescan Selected Drive|Scan or rescan the drive that is selected in the Drives List Box"));
  toolScan->setIcon(st->standardIcon(QStyle::SP_DriveHDIcon));
  toolRescanDir = make(QStringLiteral("Rescan"), QStringLiteral("Rescan Current Folder|Rescans the current folder and all its subfolders"));
  toolRescanDir->setIcon(st->standardIcon(QStyle::SP_BrowserReload));
  toolStop = make(QStringLiteral("Stop"), QStringLiteral("Abort scanning|Abort the scanning process"));
  toolStop->setIcon(st->standardIcon(QStyle::SP_BrowserStop));
  toolLevelUp = make(QStringLiteral("Up"), QStringLiteral("Up One Level|Select the parent folder of the current folder"));
  toolLevelUp->setIcon(st->standardIcon(QStyle::SP_FileDialogToParent));
  toolExplore = make(QStringLiteral("Explore"), QStringLiteral("Explore Current Folder|Explore the current folder"));
  toolExplore->setIcon(st->standardIcon(QStyle::SP_DirOpenIcon));
  toolShowWasted = make(QStringLiteral("Wasted"), QStringLiteral("Include Wasted Space|Show the actual allocated space for each folder and file in the pie chart"));
  toolShowWasted->setIcon(st->standardIcon(QStyle::SP_TrashIcon));
  toolShowFiles = make(QStringLiteral("Files"), QStringLiteral("Show Files|Display individual files in the pie chart"));
  toolShowFiles->setIcon(st->standardIcon(QStyle::SP_FileIcon));
  toolPercent = make(QStringLiteral("%"), QStringLiteral("Relative sizes|Display relative sizes near the pie chart sections"));
  toolMB = make(QStringLiteral("MB"), QStringLiteral("Absolute sizes|Display absolute sizes near the pie chart sections"));
  for (QAction* a : {toolShowWasted, toolShowFiles, toolPercent, toolMB}) a->setCheckable(true);
  for (QAction* a : {toolRescanDir, toolStop, toolLevelUp, toolExplore}) a->setEnabled(false);

  // Named as the program refers to them, so that they can be found by name.
  for (const auto& [action, name] : std::initializer_list<std::pair<QAction*, const char*>>{
           {cmdFileScanDrives, "cmdFileScanDrives"},
           {cmdFileRescanCurrentDirectory, "cmdFileRescanCurrentDirectory"},
           {cmdFileRescanCurrentDrive, "cmdFileRescanCurrentDrive"},
           {cmdFileRescanAllDrives, "cmdFileRescanAllDrives"},
           {cmdFileRemoveCurrentDrive, "cmdFileRemoveCurrentDrive"},
           {cmdFileRemoveAllDrives, "cmdFileRemoveAllDrives"},
           {cmdFileMapNetworkDrive, "cmdFileMapNetworkDrive"},
           {cmdFileDisconnectNetworkDrive, "cmdFileDisconnectNetworkDrive"},
           {cmdFileAbort, "cmdFileAbort"},
           {cmdFileSelectFolder, "cmdFileSelectFolder"},
           {cmdFileRestoreCompressedFolders, "cmdFileRestoreCompressedFolders"},
           {cmdFileExit, "cmdFileExit"},
           {cmdViewToolbar, "cmdViewToolbar"},
           {cmdViewStatusBar, "cmdViewStatusBar"},
           {cmdViewFolderTree, "cmdViewFolderTree"},
           {cmdViewPieSectionSizeWindow, "cmdViewPieSectionSizeWindow"},
           {cmdViewTreeBarChart, "cmdViewTreeBarChart"},
           {cmdViewPieSortAscending, "cmdViewPieSortAscending"},
           {cmdViewPieSortDescending, "cmdViewPieSortDescending"},
           {cmdViewOptions, "cmdViewOptions"},
           {toolScan, "toolScan"},
           {toolRescanDir, "toolRescanDir"},
           {toolStop, "toolStop"},
           {toolLevelUp, "toolLevelUp"},
           {toolExplore, "toolExplore"},
           {toolShowWasted, "toolShowWasted"},
           {toolShowFiles, "toolShowFiles"},
           {toolPercent, "toolPercent"},
           {toolMB, "toolMB"},
       })
    action->setObjectName(QLatin1String(name));
  for (int i = 0; i < PageCount; ++i) cmdViewPage[i]->setObjectName(QStringLiteral("cmdViewPage%1").arg(i));

  connect(cmdFileScanDrives, &QAction::triggered, this, [this] { Guarded([this] { scanCommands_->ScanDrivesDialog(); }); });
  connect(cmdFileRescanCurrentDirectory, &QAction::triggered, this, [this] { Guarded([this] { scanCommands_->RescanCurrentFolder(); }); });
  connect(toolRescanDir, &QAction::triggered, this, [this] { Guarded([this] { scanCommands_->RescanCurrentFolder(); }); });
  connect(cmdFileRescanCurrentDrive, &QAction::triggered, this, [this] {
    Guarded([this] {
      if (!current_.Drive().isNull()) scanCommands_->RescanDrives(QString(current_.Drive()));
    });
  });
  connect(cmdFileRescanAllDrives, &QAction::triggered, this, [this] { Guarded([this] { scanCommands_->RescanDrives(QString(ScannedDrives())); }); });
  connect(cmdFileRemoveCurrentDrive, &QAction::triggered, this, [this] { scanCommands_->RemoveDrive(current_.Drive()); });
  connect(cmdFileRemoveAllDrives, &QAction::triggered, this, [this] {
    const qsizetype n = ScannedDrives().size();
    for (qsizetype i = 0; i < n && !ScannedDrives().isEmpty(); ++i) scanCommands_->RemoveDrive(ScannedDrives()[0]);
  });
  connect(cmdFileMapNetworkDrive, &QAction::triggered, this, [this] { scanCommands_->MapNetworkDrive(); });
  connect(cmdFileDisconnectNetworkDrive, &QAction::triggered, this, [this] { scanCommands_->DisconnectNetworkDrive(); });
  connect(cmdFileAbort, &QAction::triggered, this, [this] { scanCommands_->Abort(); });
  connect(toolStop, &QAction::triggered, this, [this] { scanCommands_->Abort(); });
  connect(toolScan, &QAction::triggered, this, [this] { Guarded([this] {
      if (!DriveBox->Drive().isNull()) scanCommands_->ScanOrRescanDrive(DriveBox->currentText());
    }); });
  connect(cmdFileSelectFolder, &QAction::triggered, this, [this] { Guarded([this] { cmdFileSelectFolderClick(); }); });
  connect(cmdFileRestoreCompressedFolders, &QAction::triggered, this,
          [this] { Guarded([this] { freeSpace_->RestoreCompressedFolders(); }); });
  connect(cmdFileExit, &QAction::triggered, this, &QWidget::close);
  connect(toolLevelUp, &QAction::triggered, this, [this] { toolLevelUpClick(); });
  connect(toolExplore, &QAction::triggered, this, [this] { toolExploreClick(); });

  connect(cmdViewToolbar, &QAction::triggered, this, [this](bool on) { ViewToggle(cmdViewToolbar, on); });
  connect(cmdViewStatusBar, &QAction::triggered, this, [this](bool on) { ViewToggle(cmdViewStatusBar, on); });
  connect(cmdViewFolderTree, &QAction::triggered, this, [this](bool on) { ViewToggle(cmdViewFolderTree, on); });
  connect(cmdViewPieSectionSizeWindow, &QAction::triggered, this, [this](bool on) {
    settings_.Change([on](TSettingValues& s) { s.PieSectionSizeWindow = on; });
    ShowSectionSizeWindow(on && !notReady_);
  });
  connect(cmdViewPieSortAscending, &QAction::triggered, this,
          [this] { settings_.Change([](TSettingValues& s) { s.SortAscending = true; }); });
  connect(cmdViewPieSortDescending, &QAction::triggered, this,
          [this] { settings_.Change([](TSettingValues& s) { s.SortAscending = false; }); });
  connect(toolShowWasted, &QAction::triggered, this,
          [this](bool on) { settings_.Change([on](TSettingValues& s) { s.IncludeWastedInformation = on; }); });
  connect(toolShowFiles, &QAction::triggered, this,
          [this](bool on) { settings_.Change([on](TSettingValues& s) { s.ShowFileNames = on; }); });
  connect(toolPercent, &QAction::triggered, this, [this](bool on) { PercentToggle(toolPercent, on); });
  connect(toolMB, &QAction::triggered, this, [this](bool on) { PercentToggle(toolMB, on); });
}

void TMainForm::BuildMenus() {
  mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFile->addAction(cmdFileScanDrives);
  cmdFileRescan = mnuFile->addMenu(QStringLiteral("Resca&n"));
  cmdFileRescan->addAction(cmdFileRescanCurrentDirectory);
  cmdFileRescan->addAction(cmdFileRescanCurrentDrive);
  cmdFileRescan->addAction(cmdFileRescanAllDrives);
  cmdFileRemove = mnuFile->addMenu(QStringLiteral("Remo&ve from Tree"));
  cmdFileRemove->addAction(cmdFileRemoveCurrentDrive);
  cmdFileRemove->addAction(cmdFileRemoveAllDrives);
  cmdFileRescan->setEnabled(false);
  cmdFileRemove->setEnabled(false);
  mnuFile->addSeparator();
  mnuFile->addAction(cmdFileMapNetworkDrive);
  mnuFile->addAction(cmdFileDisconnectNetworkDrive);
  mnuFile->addSeparator();
  mnuFile->addAction(cmdFileAbort);
  mnuFile->addSeparator();
  cmdFileExportPie = mnuFile->addMenu(QStringLiteral("Export &Pie"));
  cmdFileExportPie->menuAction()->setStatusTip(QStringLiteral("Copies the pie chart to the clipboard or saves it in a graphic file."));
  QMenu* toClipboard = cmdFileExportPie->addMenu(QStringLiteral("To &Clipboard"));
  toClipboard->menuAction()->setStatusTip(QStringLiteral("Copies the pie chart to the clipboard in metafile or bitmap format."));
  cmdFilePieAsMetafile = toClipboard->addAction(QStringLiteral("As &Metafile"));
  cmdFilePieAsMetafile->setStatusTip(QStringLiteral("Copies the pie chart to the clipboard in metafile format."));
  cmdFilePieAsBitmap = toClipboard->addAction(QStringLiteral("As &Bitmap"));
  cmdFilePieAsBitmap->setStatusTip(QStringLiteral("Copies the pie chart to the clipboard in bitmap format."));
  cmdFilePieToFile = cmdFileExportPie->addAction(QStringLiteral("To &File..."));
  cmdFilePieToFile->setStatusTip(QStringLiteral("Saves the pie chart in a bitmap of metafile file."));
  cmdFileExportTreemap = mnuFile->addAction(QStringLiteral("Export &Treemap..."));
  cmdFileExportTreemap->setObjectName(QStringLiteral("cmdFileExportTreemap"));
  cmdFileExportTreemap->setStatusTip(QStringLiteral("Saves the treemap of the current folder as a PNG or SVG picture."));
  connect(cmdFileExportTreemap, &QAction::triggered, this, [this] {
    if (current_.Node() && current_.Node()->Data() && TreemapPage) Guarded([this] { TreemapPage->ExportToFile(); });
  });
  cmdFileReports = mnuFile->addMenu(QStringLiteral("&Reports"));
  cmdFileReportFolderInformation = cmdFileReports->addAction(QStringLiteral("Folder &Information..."));
  cmdFileReportFolderInformation->setStatusTip(QStringLiteral("Saves a report with detailed information about the current folder."));
  cmdFileReportFolderContents = cmdFileReports->addAction(QStringLiteral("Subfolder &List..."));
  cmdFileReportFolderContents->setStatusTip(QStringLiteral("Saves the list of subfolders of the current folder."));
  cmdFilePrint = mnuFile->addMenu(QStringLiteral("Prin&t"));
  cmdFilePrintFolderInformation = cmdFilePrint->addAction(QStringLiteral("Folder &Information..."));
  cmdFilePrintFolderInformation->setStatusTip(QStringLiteral("Prints a report with detailed information about the current folder."));
  cmdFilePrintSubfolderlist = cmdFilePrint->addAction(QStringLiteral("Subfolder &List..."));
  cmdFilePrintSubfolderlist->setStatusTip(QStringLiteral("Prints a report with the list of subfolders of the current folder."));
  mnuFile->addSeparator();
  mnuFile->addAction(cmdFileSelectFolder);
  mnuFile->addAction(cmdFileRestoreCompressedFolders);
  scanFiles_ = new TScanFileCommands(*this, mnuFile, cmdFileRestoreCompressedFolders);
  new THistoryCommands(*this, mnuFile, cmdFileReports, cmdFilePrint);
  mnuFile->addSeparator();
  mnuFile->addAction(cmdFileExit);
  connect(mnuFile, &QMenu::aboutToShow, this, [this] { FileMenuOpening(); });

  mnuView = menuBar()->addMenu(QStringLiteral("&View"));
  mnuView->addAction(cmdViewToolbar);
  mnuView->addAction(cmdViewStatusBar);
  mnuView->addAction(cmdViewFolderTree);
  mnuView->addSeparator();
  for (const TPageIndex page : PagesInTabOrder) mnuView->addAction(cmdViewPage[page]);
  mnuView->addSeparator();
  mnuView->addAction(cmdViewPieSectionSizeWindow);
  mnuView->addAction(cmdViewTreeBarChart);
  mnuView->addAction(QStringLiteral("&Largest Files and Types..."), this, [this] { ShowLargestFiles(*this, this); });
  mnuView->addSeparator();
  QMenu* sort = mnuView->addMenu(QStringLiteral("Pie Sections &Sort"));
  sort->menuAction()->setStatusTip(QStringLiteral("Contains commands for arranging the pie sections."));
  sort->addAction(cmdViewPieSortAscending);
  sort->addAction(cmdViewPieSortDescending);
  mnuView->addSeparator();
  mnuView->addAction(cmdViewOptions);
  connect(mnuView, &QMenu::aboutToShow, this, [this] { ViewMenuOpening(); });

  mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
  // A folder of a loaded scan file is on no disk here: the tools get no folder then, as when none
  // is selected.
  ToolsMenu = new TToolsMenu(
      mnuTools, [this] { return session_->LoadedScanAt(current_.Path()) ? QString() : current_.Path(); }, this);

  mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
  cmdHelpTopics = mnuHelp->addAction(QStringLiteral("&Help Topics"));
  cmdHelpTopics->setShortcut(QKeySequence(Qt::Key_F1));
  connect(cmdHelpTopics, &QAction::triggered, this, [this] { ShowHelpContents(this); });
  // The program has no web page or feedback address to open: its help is compiled in and shown
  // by Help Topics, so the menu offers no item that would lead nowhere.
  mnuHelp->addSeparator();
  cmdHelpAbout = mnuHelp->addAction(QStringLiteral("&About..."));

  for (const auto& [menu, name] : std::initializer_list<std::pair<QMenu*, const char*>>{
           {mnuFile, "mnuFile"},
           {mnuView, "mnuView"},
           {mnuTools, "mnuTools"},
           {mnuHelp, "mnuHelp"},
           {cmdFileRescan, "cmdFileRescan"},
           {cmdFileRemove, "cmdFileRemove"},
           {cmdFileExportPie, "cmdFileExportPie"},
           {cmdFileReports, "cmdFileReports"},
           {cmdFilePrint, "cmdFilePrint"},
       })
    menu->setObjectName(QLatin1String(name));
  for (const auto& [action, name] : std::initializer_list<std::pair<QAction*, const char*>>{
           {cmdHelpTopics, "cmdHelpTopics"},
           {cmdHelpAbout, "cmdHelpAbout"},
           {cmdFilePieAsMetafile, "cmdFilePieAsMetafile"},
           {cmdFilePieAsBitmap, "cmdFilePieAsBitmap"},
           {cmdFilePieToFile, "cmdFilePieToFile"},
           {cmdFileReportFolderInformation, "cmdFileReportFolderInformation"},
           {cmdFileReportFolderContents, "cmdFileReportFolderContents"},
           {cmdFilePrintFolderInformation, "cmdFilePrintFolderInformation"},
           {cmdFilePrintSubfolderlist, "cmdFilePrintSubfolderlist"},
       })
    action->setObjectName(QLatin1String(name));

  // Each menu carries its help context; F1 while one of them (or one of its submenus) is open
  // shows that topic.
  const std::pair<QMenu*, int> contexts[] = {{mnuFile, HelpContext::FileMenu},
                                             {mnuView, HelpContext::ViewMenu},
                                             {mnuTools, HelpContext::ToolsMenu},
                                             {mnuHelp, HelpContext::HelpMenu}};
  for (const auto& [menu, context] : contexts) {
    QList<QMenu*> menus = menu->findChildren<QMenu*>();
    menus.prepend(menu);
    for (QMenu* m : menus) {
      m->setProperty(HelpContextProperty, context);
      m->menuAction()->setProperty(HelpContextProperty, context);
      m->installEventFilter(this);
    }
  }
  ConnectMenuCommands();
}

void TMainForm::BuildLayout() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  ToolbarSupport = new QWidget(central);
  ToolbarSupport->setObjectName(QStringLiteral("ToolbarSupport"));
  ToolbarSupport->setFixedHeight(26);
  DriveBox = new TShExDriveComboBox(ToolbarSupport);
  DriveBox->setObjectName(QStringLiteral("DriveBox"));
  DriveBox->setAccessibleName(QStringLiteral("Drive"));
  DriveBox->setGeometry(0, 1, 169, 24);
  DriveBox->setToolTip(QStringLiteral("Drives List Box"));
  DriveBox->setStatusTip(QStringLiteral("Select a drive and press the Scan button to scan it"));
  RebuildDriveBox();
  TheToolbar = new QToolBar(ToolbarSupport);
  TheToolbar->setObjectName(QStringLiteral("TheToolbar"));
  TheToolbar->setIconSize(QSize(16, 16));
  TheToolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  TheToolbar->addAction(toolScan);
  TheToolbar->addAction(toolRescanDir);
  TheToolbar->addAction(toolStop);
  TheToolbar->addSeparator();
  TheToolbar->addAction(toolLevelUp);
  TheToolbar->addAction(toolExplore);
  TheToolbar->addSeparator();
  TheToolbar->addAction(toolShowWasted);
  TheToolbar->addAction(toolShowFiles);
  TheToolbar->addAction(toolPercent);
  TheToolbar->addAction(toolMB);
  // Wide enough for every button at this style's button size (the buttons are larger than the
  // 247 pixels of a classic 16-pixel toolbar).
  TheToolbar->setGeometry(169, 0, std::max(247, TheToolbar->sizeHint().width()), 26);
  ClustersBox = new QComboBox(ToolbarSupport);
  ClustersBox->setObjectName(QStringLiteral("ClustersBox"));
  ClustersBox->setAccessibleName(QStringLiteral("Cluster size"));
  ClustersBox->addItems({QStringLiteral("Drive cluster size"), QStringLiteral("0.5 K (high density floppy disks)"),
                         QStringLiteral("2 K (CD-ROM)"), QStringLiteral("4 K (FAT 128 MB - 255 MB, FAT32)"),
                         QStringLiteral("8 K (FAT 256 MB - 511 MB)"), QStringLiteral("16 K (FAT 512 MB - 1023 MB)"),
                         QStringLiteral("32 K (FAT 1 GB - 2 GB)"), QStringLiteral("64 K")});
  ClustersBox->setToolTip(QStringLiteral("User Defined Cluster Size"));
  ClustersBox->setStatusTip(QStringLiteral("Select a cluster size to see how the current folder would look on a drive with that cluster size."));
  connect(ClustersBox, &QComboBox::activated, this, [this](int index) { ClustersBoxChange(index); });
  ToolbarSupport->installEventFilter(this);
  column->addWidget(ToolbarSupport);
  column->addSpacing(3);

  MainSplitter = new QSplitter(Qt::Horizontal, central);
  MainSplitter->setObjectName(QStringLiteral("MainSplitter"));
  TheLeftPanel = new QWidget;
  TheLeftPanel->setObjectName(QStringLiteral("TheLeftPanel"));
  auto* leftLayout = new QVBoxLayout(TheLeftPanel);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  BuildFolderTree();
  leftLayout->addWidget(FolderTree);
  MainSplitter->addWidget(TheLeftPanel);

  TheRightPanel = new QWidget;
  TheRightPanel->setObjectName(QStringLiteral("TheRightPanel"));
  auto* rightLayout = new QVBoxLayout(TheRightPanel);
  rightLayout->setContentsMargins(8, 0, 0, 0);
  ThePages = new QTabWidget(TheRightPanel);
  ThePages->setObjectName(QStringLiteral("ThePages"));
  ThePages->setAccessibleName(QStringLiteral("Pages"));
  pageNotScanned = new QWidget;
  pageNotScanned->setObjectName(QStringLiteral("pageNotScanned"));
  panNotReady = new QWidget(pageNotScanned);
  panNotReady->setObjectName(QStringLiteral("panNotReady"));
  panNotReady->setAutoFillBackground(true);
  auto* notReadyLayout = new QHBoxLayout(pageNotScanned);
  notReadyLayout->setContentsMargins(0, 0, 0, 0);
  notReadyLayout->addWidget(panNotReady);
  // The panel's two halves: the picture on the left, the text on the right. The text is placed
  // by hand whenever the right half changes size (LayoutNotReadyText).
  auto* panLayout = new QHBoxLayout(panNotReady);
  panLayout->setContentsMargins(0, 0, 0, 0);
  panLayout->setSpacing(0);
  auto* picture = new QLabel(panNotReady);
  picture->setPixmap(style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(64, 64));
  picture->setAlignment(Qt::AlignCenter);
  panNotReadyRight = new QWidget(panNotReady);
  panNotReadyRight->setObjectName(QStringLiteral("panNotReadyRight"));
  txtNotReady = new QPlainTextEdit(panNotReadyRight);
  txtNotReady->setObjectName(QStringLiteral("txtNotReady"));
  txtNotReady->setReadOnly(true);
  txtNotReady->setFrameShape(QFrame::NoFrame);
  // A click may focus the memo, but it hands the focus on at once (eventFilter); Tab skips it.
  txtNotReady->setFocusPolicy(Qt::ClickFocus);
  txtNotReady->setContextMenuPolicy(Qt::NoContextMenu);
  txtNotReady->viewport()->setAutoFillBackground(false);
  QFont notReadyFont(QStringLiteral("Arial"));
  notReadyFont.setPixelSize(13);
  txtNotReady->setFont(notReadyFont);
  txtNotReady->move(0, NotReadyTextTop);
  txtNotReady->installEventFilter(this);
  pageNotScanned->setFocusPolicy(Qt::ClickFocus);
  panLayout->addWidget(picture, 1);
  panLayout->addWidget(panNotReadyRight, 1);
  panNotReadyRight->installEventFilter(this);
  pagePieChart = new QWidget;
  pagePieChart->setObjectName(QStringLiteral("pagePieChart"));
  PiePage = new TPiePage(*this, pagePieChart);
  pageFolderInfo = new QWidget;
  pageFolderInfo->setObjectName(QStringLiteral("pageFolderInfo"));
  FolderInfoPage = new TFolderInfoPage(*this, pageFolderInfo);
  pageSubfolders = new QWidget;
  pageSubfolders->setObjectName(QStringLiteral("pageSubfolders"));
  SubfoldersPage = new TSubfoldersPage(*this, pageSubfolders, toolLevelUp->icon());
  pageWastedSpace = new QWidget;
  pageWastedSpace->setObjectName(QStringLiteral("pageWastedSpace"));
  WastedPage = new TWastedPage(pageWastedSpace, this);
  auto* wastedLayout = new QVBoxLayout(pageWastedSpace);
  wastedLayout->setContentsMargins(0, 0, 0, 0);
  wastedLayout->addWidget(WastedPage);
  pageCleanUp = new QWidget;
  pageCleanUp->setObjectName(QStringLiteral("pageCleanUp"));
  BuildFreeSpacePage();
  pages_[pgPie] = PiePage;
  pages_[pgFolderInfo] = FolderInfoPage;
  pages_[pgSubfolders] = SubfoldersPage;
  pages_[pgWasted] = WastedPage;
  pageTreemap = new QWidget;
  pageTreemap->setObjectName(QStringLiteral("pageTreemap"));
  TreemapPage = new TTreemapPage(*this, pageTreemap);
  pages_[pgTreemap] = TreemapPage;
  // In the order TabOfPage gives.
  ThePages->addTab(pageNotScanned, QStringLiteral("No scanned items"));
  ThePages->addTab(pagePieChart, QStringLiteral("Pie Chart"));
  ThePages->addTab(pageTreemap, QStringLiteral("Treemap"));
  ThePages->addTab(pageFolderInfo, QStringLiteral("Folder Info"));
  ThePages->addTab(pageSubfolders, QStringLiteral("Subfolders"));
  ThePages->addTab(pageWastedSpace, QStringLiteral("Wasted Space"));
  ThePages->addTab(pageCleanUp, QStringLiteral("Free Some Space"));
  // Each page is named as its tab reads.
  for (int tab = 0; tab < ThePages->count(); ++tab) ThePages->widget(tab)->setAccessibleName(ThePages->tabText(tab));
  connect(ThePages, &QTabWidget::tabBarClicked, this, [this](int tab) {
    const int page = PageOfTab(tab);
    if (notReady_ || page < 0) return;
    if (page != currentPage_) Guarded([this, page] { SelectPage(page); });
  });
  rightLayout->addWidget(ThePages);
  MainSplitter->addWidget(TheRightPanel);
  MainSplitter->setStretchFactor(0, 0);
  MainSplitter->setStretchFactor(1, 1);
  MainSplitter->setSizes({165, 372});
  // A move of the handle by hand sets the tree's share; a resize of the window keeps it.
  connect(MainSplitter, &QSplitter::splitterMoved, this, [this] {
    const QList<int> sizes = MainSplitter->sizes();
    if (sizes.size() == 2 && sizes[0] > 0) treeShare_ = TreeShareOf(sizes[0], sizes[1]);
  });
  MainSplitter->installEventFilter(this);
  TheRightPanel->installEventFilter(this);
  column->addWidget(MainSplitter, 1);
  setCentralWidget(central);

  StatusPanel0 = new QLabel;
  StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
  StatusPanel0->setFrameShape(QFrame::Panel);
  StatusPanel0->setFrameShadow(QFrame::Sunken);
  StatusPanel1 = new QLabel;
  StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
  StatusPanel1->setFrameShape(QFrame::Panel);
  StatusPanel1->setFrameShadow(QFrame::Sunken);
  StatusPanel1->setFixedWidth(150);
  statusBar()->addWidget(StatusPanel0, 1);
  statusBar()->addPermanentWidget(StatusPanel1);

  resize(545, 376);
  move(49, 77);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::Resize) {
    if (watched == ToolbarSupport) ToolbarSupportResize();
    if (watched == TheRightPanel) LayoutCurrentPage();
    // The splitter has its new width already; sizes set now are kept by its own resize handling.
    if (watched == MainSplitter) FitTreeToShare();
    if (watched == panNotReadyRight && ThePages) {
      LayoutNotReadyText();
      FillNotReadyText();
    }
  }
  // The not-ready memo never keeps the caret: its page takes the focus instead.
  if (e->type() == QEvent::FocusIn && watched == txtNotReady) pageNotScanned->setFocus(Qt::OtherFocusReason);
  if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_F1) {
    if (auto* menu = qobject_cast<QMenu*>(watched)) {
      const QVariant context = menu->property(HelpContextProperty);
      if (context.isValid()) {
        // Close the whole menu chain first: the help window must not open under a popup.
        for (QWidget* w = menu; qobject_cast<QMenu*>(w); w = w->parentWidget()) w->close();
        ShowHelpContext(this, context.toInt());
        return true;
      }
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

void TMainForm::ToolbarSupportResize() {
  const int left = TheToolbar->x() + TheToolbar->width() + 4;
  const int width = ToolbarSupport->width() - left - 4;
  ClustersBox->setGeometry(left, 1, std::max(width, 0), 24);
  ClustersBox->setVisible(width >= 32);
}

void TMainForm::ViewToggle(QAction* action, bool on) {
  action->setChecked(on);
  settings_.Change([&](TSettingValues& s) {
    if (action == cmdViewToolbar) s.ViewToolbar = on;
    if (action == cmdViewStatusBar) s.ViewStatusBar = on;
    if (action == cmdViewFolderTree) s.ViewFolderTree = on;
  });
}

void TMainForm::PercentToggle(QAction* pressed, bool down) {
  const int32_t percent = !down ? 0 : pressed == toolPercent ? 1 : 2;
  settings_.Change([percent](TSettingValues& s) { s.ShowPercentInPie = percent; });
  // The two buttons show the value even when it did not change.
  toolPercent->setChecked(percent == 1);
  toolMB->setChecked(percent == 2);
}

void TMainForm::FollowSettings(TSettingGroups groups) {
  const TSettingValues& s = settings_.Values();
  if (groups & sgWasted) toolShowWasted->setChecked(s.IncludeWastedInformation);
  if (groups & sgPieContents) {
    toolShowFiles->setChecked(s.ShowFileNames);
    toolPercent->setChecked(s.ShowPercentInPie == 1);
    toolMB->setChecked(s.ShowPercentInPie == 2);
    cmdViewPieSortAscending->setChecked(s.SortAscending);
    cmdViewPieSortDescending->setChecked(!s.SortAscending);
  }
  if (groups & sgColors) PaintNotReadyPanel();
  // The window's parts appear as the settings say once it is shown.
  if ((groups & sgDesktop) && shown_) ShowDesktopViews();
}

void TMainForm::ShowDesktopViews() {
  const TSettingValues& s = settings_.Values();
  ToolbarSupport->setVisible(s.ViewToolbar);
  cmdViewToolbar->setChecked(s.ViewToolbar);
  statusBar()->setVisible(s.ViewStatusBar);
  cmdViewStatusBar->setChecked(s.ViewStatusBar);
  TheLeftPanel->setVisible(s.ViewFolderTree);
  FitTreeToShare();
  // The splitter's handle goes with the panel.
  if (MainSplitter->handle(1)) MainSplitter->handle(1)->setVisible(s.ViewFolderTree);
  cmdViewFolderTree->setChecked(s.ViewFolderTree);
  cmdViewPieSectionSizeWindow->setChecked(s.PieSectionSizeWindow);
}

void TMainForm::cmdViewPageClick(int tag) {
  cmdViewPage[tag]->setChecked(true);
  Guarded([this, tag] { SelectPage(tag); });
}

void TMainForm::FileMenuOpening() {
  const bool ready = current_.Node() && current_.Node()->Data();
  cmdFileExportPie->setEnabled(ready);
  cmdFileExportTreemap->setEnabled(ready);
  cmdFileReports->setEnabled(ready);
  cmdFilePrint->setEnabled(ready);
}

void TMainForm::ViewMenuOpening() {
  const bool ready = current_.Node() && current_.Node()->Data();
  for (QAction* a : cmdViewPage) a->setEnabled(ready);
  cmdViewPieSectionSizeWindow->setEnabled(ready);
  cmdViewTreeBarChart->setEnabled(ready);
  cmdViewPage[currentPage_]->setChecked(true);
  if (ready) cmdViewPage[pgFreeSpace]->setEnabled(ThePages->isTabVisible(TabOfPage(pgFreeSpace)));
}

void TMainForm::RebuildDriveBox() {
  const QChar keep = DriveBox->Drive();
  DriveBox->RebuildDrives();
  if (!keep.isNull() && DriveBox->Drive() != keep) DriveBox->SetDrive(keep);
  DriveBox->update();
}
