#include "ui/main/MainForm.h"

#include "config/Options.h"
#include "config/RegistryError.h"
#include "platform/DriveTable.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"
#include "shell/ItemProp.h"
#include "shell/Launch.h"
#include "shell/MessageBoxes.h"
#include "shell/ShBrowse.h"
#include "shell/URL.h"
#include "ui/controls/DriveComboBox.h"
#include "ui/main/DrivesSelectBox.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/ReportEntry.h"
#include "ui/main/ToolWindows.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <random>
#include <unistd.h>

namespace {

TModalRunner& ModalRunner() {
  static TModalRunner runner;
  return runner;
}

std::function<void()>& CreationHook() {
  static std::function<void()> hook;
  return hook;
}

const QString NotAccessibleText = QStringLiteral(
    ": is not accessible. The drive door may not be closed or the network connection may be down. "
    "Please try to correct this error and retry.");

QString RootOf(QChar letter) { return letter.toUpper() + QStringLiteral(":\\"); }

QString DriveText(QChar letter) { return letter.toUpper() + DriveDisplayName(RootOf(letter)); }

bool IsDrivePath(const QString& text) {
  return text.size() >= 2 && text[0].isLetter() && text[0].unicode() < 128 && text[1] == QLatin1Char(':') &&
         (text.size() == 2 || text[2] == QLatin1Char('\\') || text[2] == QLatin1Char('/'));
}

// A path from outside (command line, dropped, browsed) as a drive path; empty when no drive
// holds it.
QString ToDrivePath(const QString& text) {
  if (IsDrivePath(text)) {
    QString path = text;
    path[0] = path[0].toUpper();
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return path.size() == 2 ? path + QLatin1Char('\\') : path;
  }
  const auto drivePath = HostToDrive(QFile::encodeName(text));
  return drivePath ? *drivePath : QString();
}

// True when node is below (or is) one of the rows first..last of parent.
bool IsWithinRows(const TTreeNode* node, const TTreeNode* parent, int first, int last) {
  for (const TTreeNode* n = node; n; n = n->Parent())
    if (n->Parent() == parent && n->Index() >= first && n->Index() <= last) return true;
  return false;
}

// The tree's selection model: asks the main window before the selection moves to another node,
// and keeps the selection where it is when the main window refuses.
class TGuardedSelectionModel : public QItemSelectionModel {
public:
  TGuardedSelectionModel(QAbstractItemModel* model, TMainForm* form) : QItemSelectionModel(model), form_(form) {}

  using QItemSelectionModel::select;
  void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
    if (!Allowed(index)) return;
    QItemSelectionModel::setCurrentIndex(index, command);
  }
  void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override {
    if (!selection.isEmpty() && !selection.indexes().isEmpty() && !Allowed(selection.indexes().first())) return;
    QItemSelectionModel::select(selection, command);
  }

private:
  bool Allowed(const QModelIndex& index) {
    if (!index.isValid() || index == currentIndex()) return true;
    // One user action asks twice (current, then selection): ask the user once.
    if (asked_.isValid() && asked_ == index) return answer_;
    asked_ = index;
    answer_ = form_->FolderTreeChanging(TFolderTreeModel::NodeOf(index));
    QTimer::singleShot(0, this, [this] { asked_ = QPersistentModelIndex(); });
    return answer_;
  }

  TMainForm* form_;
  QPersistentModelIndex asked_;
  bool answer_ = true;
};

// The window's placement as the placement helpers see it.
class TWidgetPlacement : public IFormPlacement {
public:
  explicit TWidgetPlacement(QWidget& w) : w_(w) {}
  int32_t Left() const override { return w_.geometry().x(); }
  int32_t Top() const override { return w_.geometry().y(); }
  int32_t Width() const override { return w_.width(); }
  int32_t Height() const override { return w_.height(); }
  void SetLeft(int32_t value) override { w_.move(value, w_.geometry().y()); }
  void SetTop(int32_t value) override { w_.move(w_.geometry().x(), value); }
  void SetWidth(int32_t value) override { w_.resize(value, w_.height()); }
  void SetHeight(int32_t value) override { w_.resize(w_.width(), value); }
  TWindowState WindowState() const override {
    if (w_.isMinimized()) return wsMinimized;
    if (w_.isMaximized()) return wsMaximized;
    return wsNormal;
  }
  void SetWindowState(TWindowState state) override {
    const Qt::WindowStates keep = w_.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    w_.setWindowState(keep | (state == wsMinimized ? Qt::WindowMinimized
                                                   : state == wsMaximized ? Qt::WindowMaximized : Qt::WindowNoState));
  }

private:
  QWidget& w_;
};

// The product's pages open in the desktop's browser.
void OpenAddress(const QString& address) {
  TURL url;
  url.SetURLType(utHttps);
  url.SetURL(address);
  url.Open();
}

QString ShortHint(const QString& hint) { return hint.section(QLatin1Char('|'), 0, 0); }
QString LongHint(const QString& hint) { return hint.contains(QLatin1Char('|')) ? hint.section(QLatin1Char('|'), 1) : hint; }

}  // namespace

void SetModalDialogRunner(TModalRunner runner) { ModalRunner() = std::move(runner); }

int RunModalDialog(QDialog& dialog) {
  if (ModalRunner()) return ModalRunner()(dialog);
  return dialog.exec();
}

void SetMainFormCreationHook(std::function<void()> hook) { CreationHook() = std::move(hook); }

// =============================================================================================
// Creation and destruction

TMainForm::TMainForm(QStringList arguments, QWidget* parent)
    : QMainWindow(parent), scanner_(std::make_unique<TFolderScanner>(tree_, *this)), arguments_(std::move(arguments)) {
  setObjectName(QStringLiteral("MainForm"));
  try {
    BuildActions();
    BuildMenus();
    BuildLayout();
    FormCreate();
  } catch (...) {
    // The destructor does not run: let the tree go without the view watching it.
    if (FolderTree) FolderTree->setModel(nullptr);
    delete model_;
    model_ = nullptr;
    throw;
  }
}

TMainForm::~TMainForm() {
  FormDestroy();
  // The view goes before the tree it shows.
  if (FolderTree) FolderTree->setModel(nullptr);
  delete model_;
  model_ = nullptr;
  // The drive records point into this window's tree.
  ClearDriveList();
  tree_.Clear();
}

void TMainForm::FormCreate() {
  CurrentDrive = QChar();
  SelectedClusterIndex = 0;
  LoadSettings();
  if (CreationHook()) CreationHook()();
  std::srand(static_cast<unsigned>(std::random_device{}()));
  // The hint line: QMainWindow hands every status tip to the status bar, which shows it over the
  // whole bar and brings the path back when the tip is cleared.
  SelectPage(0);
  setWindowTitle(ProgramName);
  DriveBox->setCurrentIndex(-1);
  ClustersBox->setCurrentIndex(0);
  const TFoldersDisplaySettings folders = ReadFoldersDisplaySettings();
  foldersDisplay_[0] = folders.Type;
  foldersDisplay_[1] = folders.TopX;
  foldersDisplay_[2] = folders.LargerThan;
  foldersDisplay_[3] = folders.LargerThanUnit;
  foldersDisplay_[4] = folders.Sort;
  foldersDisplayRead_ = true;
  setAcceptDrops(true);
}

void TMainForm::FormShow() {
  ApplyPieSettings();
  TWidgetPlacement placement(*this);
  LoadFormPlacement(placement, RegistryKeyPath, DesktopSection);
  toolShowWasted->setChecked(IncludeWastedInformation->Value);
  toolShowFiles->setChecked(ShowFileNames->Value);
  toolPercent->setChecked(ShowPercentInPie->Value == 1);
  toolMB->setChecked(ShowPercentInPie->Value == 2);
  ToolbarSupport->setVisible(ViewToolbar->Value);
  cmdViewToolbar->setChecked(ViewToolbar->Value);
  statusBar()->setVisible(ViewStatusBar->Value);
  cmdViewStatusBar->setChecked(ViewStatusBar->Value);
  cmdViewFolderTree->setChecked(!ViewFolderTree->Value);
  ViewToggle(cmdViewFolderTree, !cmdViewFolderTree->isChecked());
  cmdViewPieSectionSizeWindow->setChecked(PieSectionSizeWindow->Value);
  cmdViewPieSortAscending->setChecked(SortAscending->Value);
  cmdViewPieSortDescending->setChecked(!SortAscending->Value);
}

void TMainForm::FormActivate() {
  if (activated_) return;
  activated_ = true;
  try {
    if (!ProgramDrive().isNull()) DriveBox->SetDrive(ProgramDrive());
  } catch (const std::exception&) {
  }
  TWidgetPlacement placement(*this);
  try {
    LoadWindowState(placement, RegistryKeyPath, DesktopSection);
  } catch (const std::exception&) {
  }
  QCoreApplication::postEvent(this, new QEvent(StartupEventType));
}

void TMainForm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  AbortScan = true;
  try {
    TWidgetPlacement placement(*this);
    SaveWindowState(placement, RegistryKeyPath, DesktopSection);
    if (placement.WindowState() == wsNormal) SaveFormPlacement(placement, RegistryKeyPath, DesktopSection);
    if (foldersDisplayRead_) {
      TFoldersDisplaySettings folders;
      folders.Type = foldersDisplay_[0];
      folders.TopX = foldersDisplay_[1];
      folders.LargerThan = foldersDisplay_[2];
      folders.LargerThanUnit = foldersDisplay_[3];
      folders.Sort = foldersDisplay_[4];
      WriteFoldersDisplaySettings(folders);
    }
  } catch (const std::exception& e) {
    qWarning("Korvane: the window's placement could not be saved: %s", e.what());
  }
  try {
    SaveSettings();
  } catch (const std::exception& e) {
    qWarning("Korvane: the settings could not be saved: %s", e.what());
  }
}

bool TMainForm::event(QEvent* e) {
  if (e->type() == StartupEventType) {
    Guarded([this] { RunStartupScans(); });
    return true;
  }
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return QMainWindow::event(e);
}

void TMainForm::showEvent(QShowEvent* e) {
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
  QMainWindow::showEvent(e);
  // Platforms without window activation (offscreen) still run the start-up once.
  if (!activated_) QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TMainForm::closeEvent(QCloseEvent* e) {
  closing_ = true;
  AbortScan = true;
  setAcceptDrops(false);
  QMainWindow::closeEvent(e);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e) {
  const QList<QUrl> urls = e->mimeData()->urls();
  activateWindow();
  raise();
  if (!urls.isEmpty() && urls.first().isLocalFile()) {
    e->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    QTimer::singleShot(0, this, [this, path] { OpenDroppedPath(path); });
  }
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
  const char* pageCaptions[5] = {"&Pie Chart", "Folder &Information", "&Subfolders", "&Wasted Space", "&Free Some Space"};
  auto* pageGroup = new QActionGroup(this);
  for (int i = 0; i < 5; ++i) {
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

  connect(cmdFileScanDrives, &QAction::triggered, this, [this] { Guarded([this] { ScanDrivesDialog(); }); });
  connect(cmdFileRescanCurrentDirectory, &QAction::triggered, this, [this] { Guarded([this] { RescanCurrentFolder(); }); });
  connect(toolRescanDir, &QAction::triggered, this, [this] { Guarded([this] { RescanCurrentFolder(); }); });
  connect(cmdFileRescanCurrentDrive, &QAction::triggered, this, [this] {
    Guarded([this] {
      if (!CurrentDrive.isNull()) RescanDrives(QString(CurrentDrive));
    });
  });
  connect(cmdFileRescanAllDrives, &QAction::triggered, this, [this] { Guarded([this] { RescanDrives(QString(ScannedDrives)); }); });
  connect(cmdFileRemoveCurrentDrive, &QAction::triggered, this, [this] { RemoveDrive(CurrentDrive); });
  connect(cmdFileRemoveAllDrives, &QAction::triggered, this, [this] {
    const qsizetype n = ScannedDrives.size();
    for (qsizetype i = 0; i < n && !ScannedDrives.isEmpty(); ++i) RemoveDrive(ScannedDrives[0]);
  });
  connect(cmdFileMapNetworkDrive, &QAction::triggered, this, [this] { MapNetworkDrive(); });
  connect(cmdFileDisconnectNetworkDrive, &QAction::triggered, this, [this] { DisconnectNetworkDrive(); });
  connect(cmdFileAbort, &QAction::triggered, this, [this] { AbortScanning(); });
  connect(toolStop, &QAction::triggered, this, [this] { AbortScanning(); });
  connect(toolScan, &QAction::triggered, this, [this] { Guarded([this] { ScanSelectedDrive(); }); });
  connect(cmdFileSelectFolder, &QAction::triggered, this, [this] { Guarded([this] { cmdFileSelectFolderClick(); }); });
  connect(cmdFileExit, &QAction::triggered, this, &QWidget::close);
  connect(toolLevelUp, &QAction::triggered, this, [this] { toolLevelUpClick(); });
  connect(toolExplore, &QAction::triggered, this, [this] { toolExploreClick(); });

  connect(cmdViewToolbar, &QAction::triggered, this, [this](bool on) { ViewToggle(cmdViewToolbar, on); });
  connect(cmdViewStatusBar, &QAction::triggered, this, [this](bool on) { ViewToggle(cmdViewStatusBar, on); });
  connect(cmdViewFolderTree, &QAction::triggered, this, [this](bool on) { ViewToggle(cmdViewFolderTree, on); });
  connect(cmdViewPieSectionSizeWindow, &QAction::triggered, this, [this](bool on) {
    PieSectionSizeWindow->Value = on;
    ShowSectionSizeWindow(on && !notReady_);
  });
  connect(cmdViewPieSortAscending, &QAction::triggered, this, [this] {
    SortAscending->Value = true;
    InvalidatePie();
  });
  connect(cmdViewPieSortDescending, &QAction::triggered, this, [this] {
    SortAscending->Value = false;
    InvalidatePie();
  });
  connect(toolShowWasted, &QAction::triggered, this, [this](bool on) {
    IncludeWastedInformation->Value = on;
    InvalidateAll(true);
  });
  connect(toolShowFiles, &QAction::triggered, this, [this](bool on) {
    ShowFileNames->Value = on;
    InvalidatePie();
  });
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
  toClipboard->addAction(QStringLiteral("As &Metafile"))->setStatusTip(QStringLiteral("Copies the pie chart to the clipboard in metafile format."));
  toClipboard->addAction(QStringLiteral("As &Bitmap"))->setStatusTip(QStringLiteral("Copies the pie chart to the clipboard in bitmap format."));
  cmdFileExportPie->addAction(QStringLiteral("To &File..."))->setStatusTip(QStringLiteral("Saves the pie chart in a bitmap of metafile file."));
  cmdFileReports = mnuFile->addMenu(QStringLiteral("&Reports"));
  cmdFilePrint = mnuFile->addMenu(QStringLiteral("Prin&t"));
  cmdFilePrint->addAction(QStringLiteral("Folder &Information..."))->setStatusTip(QStringLiteral("Prints a report with detailed information about the current folder."));
  cmdFilePrint->addAction(QStringLiteral("Subfolder &List..."));
  mnuFile->addSeparator();
  mnuFile->addAction(cmdFileSelectFolder);
  mnuFile->addAction(cmdFileRestoreCompressedFolders);
  mnuFile->addSeparator();
  mnuFile->addAction(cmdFileExit);
  connect(mnuFile, &QMenu::aboutToShow, this, [this] { FileMenuOpening(); });

  mnuView = menuBar()->addMenu(QStringLiteral("&View"));
  mnuView->addAction(cmdViewToolbar);
  mnuView->addAction(cmdViewStatusBar);
  mnuView->addAction(cmdViewFolderTree);
  mnuView->addSeparator();
  for (QAction* a : cmdViewPage) mnuView->addAction(a);
  mnuView->addSeparator();
  mnuView->addAction(cmdViewPieSectionSizeWindow);
  mnuView->addAction(cmdViewTreeBarChart);
  mnuView->addSeparator();
  QMenu* sort = mnuView->addMenu(QStringLiteral("Pie Sections &Sort"));
  sort->menuAction()->setStatusTip(QStringLiteral("Contains commands for arranging the pie sections."));
  sort->addAction(cmdViewPieSortAscending);
  sort->addAction(cmdViewPieSortDescending);
  mnuView->addSeparator();
  mnuView->addAction(cmdViewOptions);
  connect(mnuView, &QMenu::aboutToShow, this, [this] { ViewMenuOpening(); });

  mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
  mnuTools->addAction(QStringLiteral("Windows &Explorer"))->setStatusTip(QStringLiteral("Opens the Windows Explorer."));
  mnuTools->addAction(QStringLiteral("&Find Files or Folders..."))->setStatusTip(QStringLiteral("Opens the Windows Find dialog box, that allows you to search for files or folders based on various search criteria."));
  mnuTools->addAction(QStringLiteral("Windows &System Tools"))->setStatusTip(QStringLiteral("Allows you to run various system tools such as ScanDisk, Disk Defragmenter, etc."));
  mnuTools->addSeparator();
  mnuTools->addAction(QStringLiteral("&Customize the Tools menu..."))->setStatusTip(QStringLiteral("Add your own commands to the Tools menu (for advanced users)."));
  mnuTools->addSeparator();

  mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
  mnuHelp->addAction(QStringLiteral("&Help Topics"))->setShortcut(QKeySequence(Qt::Key_F1));
  QAction* web = mnuHelp->addAction(QStringLiteral("Visit the Korvane &Web page"));
  QAction* feedback = mnuHelp->addAction(QStringLiteral("&Feedback..."));
  connect(web, &QAction::triggered, this, [] { OpenAddress(QStringLiteral("www.example.org/korvane/")); });
  connect(feedback, &QAction::triggered, this, [] { OpenAddress(QStringLiteral("www.example.org/korvane/feedback.html")); });
  mnuHelp->addSeparator();
  mnuHelp->addAction(QStringLiteral("&About..."));
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
  ClustersBox->addItems({QStringLiteral("Drive cluster size"), QStringLiteral("0.5 K (high density floppy disks)"),
                         QStringLiteral("2 K (CD-ROM)"), QStringLiteral("4 K (FAT 128 MB - 255 MB, FAT32)"),
                         QStringLiteral("8 K (FAT 256 MB - 511 MB)"), QStringLiteral("16 K (FAT 512 MB - 1023 MB)"),
                         QStringLiteral("32 K (FAT 1 GB - 2 GB)"), QStringLiteral("64 K")});
  ClustersBox->setToolTip(QStringLiteral("User Defined Cluster Size"));
  ClustersBox->setStatusTip(QStringLiteral("Select a cluster size to see how the current folder would look on a drive with that cluster size."));
  connect(ClustersBox, &QComboBox::activated, this, [this](int index) {
    SelectedClusterIndex = index;
    InvalidateAll(true);
  });
  ToolbarSupport->installEventFilter(this);
  column->addWidget(ToolbarSupport);
  column->addSpacing(3);

  MainSplitter = new QSplitter(Qt::Horizontal, central);
  MainSplitter->setObjectName(QStringLiteral("MainSplitter"));
  TheLeftPanel = new QWidget;
  TheLeftPanel->setObjectName(QStringLiteral("TheLeftPanel"));
  auto* leftLayout = new QVBoxLayout(TheLeftPanel);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  FolderTree = new QTreeView(TheLeftPanel);
  FolderTree->setObjectName(QStringLiteral("FolderTree"));
  FolderTree->setHeaderHidden(true);
  FolderTree->setIndentation(19);
  FolderTree->setUniformRowHeights(true);
  FolderTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FolderTree->setSelectionMode(QAbstractItemView::SingleSelection);
  model_ = new TFolderTreeModel(tree_);
  // Before the view connects: removals that take the current folder away are seen first.
  connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex& parent, int first, int last) {
    ++removing_;
    const TTreeNode* p = TFolderTreeModel::NodeOf(parent);
    if (CurrentNode && IsWithinRows(CurrentNode, p, first, last)) {
      CurrentNode = nullptr;
      selectionMoved_ = true;
    }
    if (ListShownNode && IsWithinRows(ListShownNode, p, first, last)) ListShownNode = nullptr;
  });
  connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] {
    if (--removing_ > 0 || !selectionMoved_) return;
    selectionMoved_ = false;
    FolderTreeChange(SelectedNode());
  });
  FolderTree->setModel(model_);
  auto* guarded = new TGuardedSelectionModel(model_, this);
  QItemSelectionModel* old = FolderTree->selectionModel();
  FolderTree->setSelectionModel(guarded);
  delete old;
  connect(guarded, &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
    if (removing_ > 0) {
      selectionMoved_ = true;
      return;
    }
    FolderTreeChange(TFolderTreeModel::NodeOf(current));
  });
  FolderTree->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FolderTree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex index = FolderTree->indexAt(pos);
    if (index.isValid() && index != FolderTree->currentIndex()) FolderTree->setCurrentIndex(index);
    TTreeNode* node = SelectedNode();
    if (!node) return;
    if (!node->Data()) {
      ShowError(QStringLiteral("The context menu of the selected folder cannot be displayed because Korvane has not "
                               "finished scanning the folder"),
                2, this);
      return;
    }
    Guarded([&] {
      ShowItemContextMenu(NodePath(node), node, node->Data()->TotalSize, pos, FolderTree->viewport());
    });
  });
  leftLayout->addWidget(FolderTree);
  MainSplitter->addWidget(TheLeftPanel);

  TheRightPanel = new QWidget;
  TheRightPanel->setObjectName(QStringLiteral("TheRightPanel"));
  auto* rightLayout = new QVBoxLayout(TheRightPanel);
  rightLayout->setContentsMargins(8, 0, 0, 0);
  ThePages = new QTabWidget(TheRightPanel);
  ThePages->setObjectName(QStringLiteral("ThePages"));
  pageNotScanned = new QWidget;
  panNotReady = new QWidget(pageNotScanned);
  panNotReady->setObjectName(QStringLiteral("panNotReady"));
  panNotReady->setAutoFillBackground(true);
  auto* notReadyLayout = new QHBoxLayout(pageNotScanned);
  notReadyLayout->setContentsMargins(0, 0, 0, 0);
  notReadyLayout->addWidget(panNotReady);
  auto* panLayout = new QHBoxLayout(panNotReady);
  auto* picture = new QLabel(panNotReady);
  picture->setPixmap(style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(64, 64));
  picture->setAlignment(Qt::AlignCenter);
  txtNotReady = new QPlainTextEdit(panNotReady);
  txtNotReady->setObjectName(QStringLiteral("txtNotReady"));
  txtNotReady->setReadOnly(true);
  txtNotReady->setFrameShape(QFrame::NoFrame);
  txtNotReady->setFocusPolicy(Qt::NoFocus);
  txtNotReady->setContextMenuPolicy(Qt::NoContextMenu);
  txtNotReady->viewport()->setAutoFillBackground(false);
  QFont notReadyFont(QStringLiteral("Arial"));
  notReadyFont.setPixelSize(13);
  txtNotReady->setFont(notReadyFont);
  txtNotReady->setMaximumWidth(200);
  panLayout->addWidget(picture, 1);
  panLayout->addWidget(txtNotReady, 1);
  pagePieChart = new QWidget;
  pageFolderInfo = new QWidget;
  pageSubfolders = new QWidget;
  pageWastedSpace = new QWidget;
  pageCleanUp = new QWidget;
  ThePages->addTab(pageNotScanned, QStringLiteral("No scanned items"));
  ThePages->addTab(pagePieChart, QStringLiteral("Pie Chart"));
  ThePages->addTab(pageFolderInfo, QStringLiteral("Folder Info"));
  ThePages->addTab(pageSubfolders, QStringLiteral("Subfolders"));
  ThePages->addTab(pageWastedSpace, QStringLiteral("Wasted Space"));
  ThePages->addTab(pageCleanUp, QStringLiteral("Free Some Space"));
  connect(ThePages, &QTabWidget::tabBarClicked, this, [this](int tab) {
    if (notReady_ || tab < 1) return;
    if (tab - 1 != CurrentPage) Guarded([this, tab] { SelectPage(tab - 1); });
  });
  rightLayout->addWidget(ThePages);
  MainSplitter->addWidget(TheRightPanel);
  MainSplitter->setStretchFactor(0, 0);
  MainSplitter->setStretchFactor(1, 1);
  MainSplitter->setSizes({165, 372});
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
  if (action == cmdViewToolbar) {
    ToolbarSupport->setVisible(on);
    ViewToolbar->Value = on;
  } else if (action == cmdViewStatusBar) {
    statusBar()->setVisible(on);
    ViewStatusBar->Value = on;
  } else if (action == cmdViewFolderTree) {
    TheLeftPanel->setVisible(on);
    // The splitter's handle goes with the panel.
    if (MainSplitter->handle(1)) MainSplitter->handle(1)->setVisible(on);
    ViewFolderTree->Value = on;
  }
}

void TMainForm::PercentToggle(QAction* pressed, bool down) {
  QAction* other = pressed == toolPercent ? toolMB : toolPercent;
  if (down) {
    other->setChecked(false);
    ShowPercentInPie->Value = pressed == toolPercent ? 1 : 2;
  } else {
    ShowPercentInPie->Value = 0;
  }
  InvalidateAll(true);
}

void TMainForm::cmdViewPageClick(int tag) {
  cmdViewPage[tag]->setChecked(true);
  Guarded([this, tag] { SelectPage(tag); });
}

void TMainForm::FileMenuOpening() {
  const bool ready = CurrentNode && CurrentNode->Data();
  cmdFileExportPie->setEnabled(ready);
  cmdFileReports->setEnabled(ready);
  cmdFilePrint->setEnabled(ready);
}

void TMainForm::ViewMenuOpening() {
  const bool ready = CurrentNode && CurrentNode->Data();
  for (QAction* a : cmdViewPage) a->setEnabled(ready);
  cmdViewPieSectionSizeWindow->setEnabled(ready);
  cmdViewTreeBarChart->setEnabled(ready);
  cmdViewPage[CurrentPage]->setChecked(true);
  if (ready) cmdViewPage[4]->setEnabled(ThePages->isTabVisible(5));
}

void TMainForm::RebuildDriveBox() {
  const QChar keep = DriveBox->Drive();
  DriveBox->RebuildDrives();
  if (!keep.isNull() && DriveBox->Drive() != keep) DriveBox->SetDrive(keep);
  DriveBox->update();
}

// =============================================================================================
// Pages

void TMainForm::SetStatusText(int panel, const QString& text) {
  (panel == 0 ? StatusPanel0 : StatusPanel1)->setText(text);
}

void TMainForm::ShowSectionSizeWindow(bool visible) {
  if (!SectionSizeBox || SectionSizeBox->isVisible() == visible) return;
  if (visible && !SectionSizeBox->property("placed").toBool()) {
    // First showing: beside the main window rather than in a corner of the screen.
    SectionSizeBox->setProperty("placed", true);
    SectionSizeBox->move(frameGeometry().topRight() + QPoint(8, 0));
  }
  SectionSizeBox->setVisible(visible);
}

void TMainForm::ApplyPieSettings() {
  // The pie engine comes with the pie page; nothing to hand the colours to yet.
}

void TMainForm::SetNotReady(bool on) {
  notReady_ = on;
  if (on) {
    ThePages->setTabVisible(0, true);
    ThePages->setCurrentIndex(0);
    for (int i = 1; i <= 5; ++i) ThePages->setTabVisible(i, false);
  } else {
    for (int i = 1; i <= 5; ++i) ThePages->setTabVisible(i, i != 5 || (CurrentNode && CurrentNode->Parent()));
    ThePages->setTabVisible(0, false);
    ThePages->setCurrentIndex(CurrentPage + 1);
  }
}

void TMainForm::FillNotReadyText() {
  const QString item = !CurrentNode ? QStringLiteral("item") : CurrentNode->Parent() ? QStringLiteral("folder") : QStringLiteral("drive");
  QString caption;
  QString text;
  if (ScannedDrives.isEmpty()) {
    caption = QStringLiteral("No scanned items");
    text = QStringLiteral("No drives have been scanned.\n\nTo scan a drive, select it in the drives list box located in the "
                          "toolbar and press the 'Scan' toolbar button.");
  } else {
    caption = QStringLiteral("Folder not scanned");
    text = Scanning ? QStringLiteral("Korvane has not finished gathering information about this %1.\n\nYou may wait until the "
                                     "%1 is completely scanned\n\nor\n\nyou may select another drive or folder from the left "
                                     "folder tree view.")
                    : QStringLiteral("The scannning process was interrupted before Korvane had finished scanning this "
                                     "%1.\n\nYou may rescan the %1\n\nor\n\nyou may select another drive or folder from the "
                                     "left folder tree view.");
    text = text.arg(item);
  }
  if (ThePages->isTabVisible(0)) ThePages->setTabText(0, caption);
  if (txtNotReady->toPlainText() != text) txtNotReady->setPlainText(text);
}

bool TMainForm::PreparePages(TTreeNode* node) {
  CurrentNode = node;
  if (node && node->Data()) {
    if (!node->Parent() && CurrentPage == 4) CurrentPage = 0;
    SetNotReady(false);
    return true;
  }
  ShowSectionSizeWindow(false);
  QPalette pal = panNotReady->palette();
  const TColor color = PieColors[13];
  pal.setColor(QPalette::Window, IsSystemColor(color) ? palette().color(QPalette::Window)
                                                      : QColor(RedOf(color), GreenOf(color), BlueOf(color)));
  panNotReady->setPalette(pal);
  SetNotReady(true);
  FillNotReadyText();
  if (!node && ScannedDrives.isEmpty()) {
    cmdFileRescan->setEnabled(false);
    cmdFileRemove->setEnabled(false);
  }
  return false;
}

void TMainForm::SelectPage(int k) {
  CurrentPage = k;
  TTreeNode* node = SelectedNode();
  if (!PreparePages(node)) return;
  if (k == 4 && !node->Parent()) {
    SelectPage(0);
    return;
  }
  FillPage(k, node);
}

void TMainForm::FillPage(int k, TTreeNode* node) {
  // The pages' own fillers plug in here; each skips work it has already done for this node.
  switch (k) {
    case 0:
      PieShownPath = CurrentPath;
      break;
    case 1:
      InfoShownPath = CurrentPath;
      break;
    case 2:
      ListShownNode = node;
      break;
    default:
      break;
  }
  LayoutCurrentPage();
}

void TMainForm::LayoutCurrentPage() {
  // Page layouts come with their pages; the not-ready text keeps to its half of the panel.
  if (!txtNotReady) return;
  const int half = panNotReady->width() / 2;
  txtNotReady->setMaximumWidth(std::clamp(half - 4, 0, 200));
}

void TMainForm::InvalidateAll(bool refresh) {
  InfoShownPath.clear();
  PieShownPath.clear();
  ListShownNode = nullptr;
  if (refresh) SelectPage(CurrentPage);
}

void TMainForm::InvalidateList(bool refresh) {
  ListShownNode = nullptr;
  if (refresh) SelectPage(CurrentPage);
}

void TMainForm::InvalidatePie() {
  PieShownPath.clear();
  if (CurrentPage == 0) SelectPage(0);
}

void TMainForm::UpdateDriveInfo() {
  if (!CurrentNode) return;
  const QChar letter = !CurrentNode->Parent() ? NodeDriveLetter(CurrentNode) : CurrentPath.at(0);
  CurrentDrive = letter;
  const TDriveRecInfo* rec = FindDrive(static_cast<char>(letter.unicode()));
  DriveClusterSize = rec ? rec->ClusterSize : ClusterSizeOf(RootOf(letter));
  DriveTotal = TotalSpace(RootOf(letter));
  DriveFree = FreeSpace(RootOf(letter));
  if (DriveBox->Drive() != letter) DriveBox->SetDrive(letter);
  SetStatusText(1, DriveClusterSize > 0 ? QStringLiteral("Cluster: %1").arg(FormatBytes(DriveClusterSize)) : QString());
}

// =============================================================================================
// Scanner host

void TMainForm::SetStatusText(const QString& text) {
  pendingStatus_ = text;
  statusPending_ = true;
}

void TMainForm::FlushStatusText() {
  if (!statusPending_) return;
  statusPending_ = false;
  StatusPanel0->setText(pendingStatus_);
}

void TMainForm::SetBusy(bool busy) {
  SetScanning(busy);
  if (busy) pumpTimer_.invalidate();
}

void TMainForm::FolderCompleted(TTreeNode* node) {
  if (node && node == CurrentNode) Guarded([this] { SelectPage(CurrentPage); });
}

void TMainForm::ProcessMessages() {
  // Repainting the status line and the growing tree costs far more than the walk of one folder,
  // so the queue is pumped at most every 20 ms.
  if (pumpTimer_.isValid() && pumpTimer_.elapsed() < 20) return;
  FlushStatusText();
  QCoreApplication::processEvents();
  pumpTimer_.start();
}

// =============================================================================================
// Scan commands

void TMainForm::SetScanning(bool on) {
  Scanning = on;
  for (QAction* a : {cmdFileScanDrives, toolRescanDir, toolScan}) a->setEnabled(!on);
  cmdFileRescan->setEnabled(!on);
  cmdFileRemove->setEnabled(!on);
  ClustersBox->setEnabled(!on);
  cmdFileAbort->setEnabled(on);
  toolStop->setEnabled(on);
  if (!on) toolRescanDir->setEnabled(CurrentNode != nullptr);
  // The not-ready text depends on whether a scan runs.
  if (notReady_) FillNotReadyText();
}

bool TMainForm::CheckDriveAccessible(QChar letter) {
  for (;;) {
    const auto host = DriveToHost(RootOf(letter));
    if (host && ::chdir(host->constData()) == 0) return true;
    TMessageRequest request;
    request.Parent = this;
    request.Text = letter.toUpper() + NotAccessibleText;
    request.Caption = ProgramName;
    request.Icon = TMessageIcon::Error;
    request.Buttons = mbRetry | mbCancel;
    request.DefaultButton = mbRetry;
    if (ShowMessage(request) != mbRetry) return false;
  }
}

bool TMainForm::ScanDriveCommand(const QString& driveText, TDriveRecInfo* driveRec) {
  // One scan at a time: a folder dropped or chosen while a scan runs starts no second one.
  if (driveText.isEmpty() || Scanning) return false;
  const QChar letter = driveText[0].toUpper();
  if (!CheckDriveAccessible(letter)) return false;
  ScannedDrives += letter;
  // A rescan that was cancelled leaves the drive's record without a node: it is used again
  // rather than doubled.
  if (!driveRec) driveRec = FindDrive(static_cast<char>(letter.unicode()));
  if (!driveRec) driveRec = AddDrive(static_cast<char>(letter.unicode()));
  struct TAfterScan {
    TMainForm& form;
    ~TAfterScan() {
      form.SetStatusText(0, QStringLiteral("Done."));
      form.statusPending_ = false;
      form.InvalidateAll(AbortScan);
      if (!form.SelectedNode() && form.tree_.TopCount() > 0) form.SelectNode(form.tree_.Top(0));
    }
  } after{*this};
  scanner_->ScanDrive(letter + driveText.mid(1), driveRec);
  return true;
}

void TMainForm::ScanOrRescanDrive(const QString& driveText) {
  if (driveText.isEmpty()) return;
  const QChar letter = driveText[0].toUpper();
  if (ScannedDrives.contains(letter))
    RescanDrives(QString(letter));
  else
    ScanDriveCommand(driveText, nullptr);
}

void TMainForm::RescanDrives(const QString& letters) {
  if (Scanning) return;
  InvalidateAll(false);
  for (const QChar c : letters) {
    const QChar letter = c.toUpper();
    TDriveRecInfo* rec = FindDrive(static_cast<char>(letter.unicode()));
    if (!ScannedDrives.contains(letter) || !rec) continue;
    const QString shown = CurrentPath;
    ScannedDrives.remove(letter);
    if (rec->Node) {
      FreeSubtreeRecords(tree_, rec->Node, true);
      DeleteTreeNode(rec->Node);
      rec->Node = nullptr;
    }
    if (!SelectedNode()) PreparePages(nullptr);
    // Back to the folder shown before, unless the drive could not be reached (then it is out
    // of the tree, and going to the folder would only ask again).
    if (ScanDriveCommand(rec->Name, rec) && !shown.isEmpty()) GoToFolder(shown);
    if (AbortScan) break;
  }
}

void TMainForm::RemoveDrive(QChar letter) {
  if (letter.isNull() || Scanning) return;
  letter = letter.toUpper();
  TDriveRecInfo* rec = FindDrive(static_cast<char>(letter.unicode()));
  if (!rec) return;
  ScannedDrives.remove(letter);
  if (rec->Node) {
    FreeSubtreeRecords(tree_, rec->Node, true);
    DeleteTreeNode(rec->Node);
  }
  RemoveDriveRec(rec);
  if (!SelectedNode()) PreparePages(nullptr);
}

void TMainForm::DeleteTreeNode(TTreeNode* node) { tree_.DeleteNode(node); }

bool TMainForm::GoToFolder(const QString& path) {
  if (path.size() <= 2 || path[1] != QLatin1Char(':') || path[2] != QLatin1Char('\\')) return false;
  const QChar letter = path[0].toUpper();
  TDriveRecInfo* rec = FindDrive(static_cast<char>(letter.unicode()));
  if (!rec || !rec->Node) ScanOrRescanDrive(DriveText(letter));
  rec = FindDrive(static_cast<char>(letter.unicode()));
  if (!rec || !rec->Node) return rec != nullptr;
  TTreeNode* target = rec->Node;
  if (path.size() > 3) {
    TVolumeInformation info;
    const bool caseSensitive = GetVolumeInfo(RootOf(letter), info) && (info.FileSystemFlags & 1);
    target = FindNodeByPath(rec->Node, path.mid(3), caseSensitive);
  }
  if (target) {
    SelectNode(target);
    FolderTree->expand(model_->IndexOf(target));
    FolderTree->setFocus();
  }
  return true;
}

void TMainForm::RescanCurrentFolder() {
  TTreeNode* node = SelectedNode();
  if (!CurrentNode || !node || Scanning) return;
  SetScanning(true);
  PreparePages(nullptr);
  struct TAfter {
    TMainForm& form;
    ~TAfter() {
      form.InvalidateAll(false);
      form.SetScanning(false);
      form.statusPending_ = false;
      form.SetStatusText(0, QStringLiteral("Done."));
      form.FolderTreeChange(form.SelectedNode());
    }
  } after{*this};
  pumpTimer_.invalidate();
  scanner_->RescanFolder(NodePath(node), node);
}

void TMainForm::AbortScanning() { AbortScan = true; }

void TMainForm::ScanSelectedDrive() {
  if (!DriveBox->Drive().isNull()) ScanOrRescanDrive(DriveBox->currentText());
}

void TMainForm::ScanDrivesDialog() {
  QStringList texts;
  {
    TDrivesSelectBox box(this);
    if (RunModalDialog(box) != QDialog::Accepted) return;
    texts = box.CheckedTexts();
  }
  RebuildDriveBox();
  for (const QString& text : texts) {
    ScanOrRescanDrive(text);
    if (AbortScan) break;
  }
}

void TMainForm::MapNetworkDrive() {
  RunNetworkDriveDialog(this, true);
  RebuildDriveBox();
}

void TMainForm::DisconnectNetworkDrive() {
  RunNetworkDriveDialog(this, false);
  RebuildDriveBox();
}

void TMainForm::RunStartupScans() {
  if (startupDone_) return;
  startupDone_ = true;
  if (!arguments_.isEmpty() && arguments_.first().toUpper().startsWith(QStringLiteral("/R"))) {
    RunReportRequest(*this, arguments_);
    return;
  }
  const QString autoScan = DrivesToAutoScan ? DrivesToAutoScan->Value.toUpper() : QString();
  for (const QChar letter : autoScan) {
    ScanOrRescanDrive(DriveText(letter));
    if (AbortScan) break;
  }
  for (const QString& argument : arguments_) {
    const QString path = ToDrivePath(argument);
    if (path.isEmpty()) {
      ShowError(QStringLiteral("%1 is not on any drive.").arg(argument), 2, this);
    } else if (IsDriveRoot(path)) {
      ScanOrRescanDrive(DriveText(path[0]));
    } else {
      GoToFolder(path);
    }
    if (AbortScan) break;
  }
  if (ScannedDrives.isEmpty() && !closing_) ScanDrivesDialog();
}

// =============================================================================================
// Folder tree

TTreeNode* TMainForm::SelectedNode() const {
  return FolderTree ? TFolderTreeModel::NodeOf(FolderTree->selectionModel()->currentIndex()) : nullptr;
}

bool TMainForm::SelectNode(TTreeNode* node) {
  const QModelIndex index = model_->IndexOf(node);
  FolderTree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  if (FolderTree->selectionModel()->currentIndex() != index) return false;
  FolderTree->scrollTo(index);
  return true;
}

bool TMainForm::FolderTreeChanging(TTreeNode* node) {
  if (!node) return true;
  QChar letter;
  if (!node->Parent())
    letter = NodeDriveLetter(node);
  else {
    const QString path = NodePath(node);
    if (path.at(0) == CurrentDrive) return true;
    letter = path.at(0);
  }
  return DriveAccessible(letter);
}

void TMainForm::FolderTreeChange(TTreeNode* node) {
  CurrentNode = node;
  if (!node) {
    PreparePages(nullptr);
    toolLevelUp->setEnabled(false);
    toolExplore->setEnabled(false);
    return;
  }
  CurrentPath = NodePath(node);
  // While a scan runs its walk holds nodes of the tree, so nothing is taken out of it then; a
  // vanished folder is noticed again when it is selected after the scan.
  if (node->Parent() && !Scanning && !IsDirectory(CurrentPath)) {
    PreparePages(nullptr);
    TTreeNode* parent = node->Parent();
    const TFolderSize* rec = node->Data();
    SubtractFromAncestors(parent, node, rec ? rec->TotalFolders + 1 : 1, rec ? rec->TotalFiles : 0,
                          rec ? rec->TotalWasted : 0, rec ? rec->TotalSize : 0);
    FreeSubtreeRecords(tree_, node, true);
    DeleteTreeNode(node);
    InvalidateAll(true);
    return;
  }
  setWindowTitle(ProgramName + QStringLiteral(" - ") + CurrentPath);
  SetStatusText(0, CurrentPath);
  toolLevelUp->setEnabled(node->Parent() != nullptr);
  toolExplore->setEnabled(true);
  if (!Scanning) toolRescanDir->setEnabled(true);
  if (!node->Parent() || CurrentPath.at(0) != CurrentDrive) UpdateDriveInfo();
  if (PreparePages(node)) {
    if (!node->Parent() && CurrentPage == 4) SelectPage(0);
    ShowSectionSizeWindow(PieSectionSizeWindow && PieSectionSizeWindow->Value);
    FillPage(CurrentPage, node);
  }
}

void TMainForm::toolLevelUpClick() {
  if (!CurrentNode || !CurrentNode->Parent()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct TRestore {
    ~TRestore() { QApplication::restoreOverrideCursor(); }
  } restore;
  TTreeNode* parent = CurrentNode->Parent();
  FolderTree->collapse(model_->IndexOf(CurrentNode));
  // Collapse every expanded descendant too.
  std::vector<TTreeNode*> pending{CurrentNode};
  while (!pending.empty()) {
    TTreeNode* n = pending.back();
    pending.pop_back();
    for (int i = 0; i < n->Count(); ++i) {
      const QModelIndex idx = model_->IndexOf(n->Child(i));
      if (FolderTree->isExpanded(idx)) {
        FolderTree->collapse(idx);
        pending.push_back(n->Child(i));
      }
    }
  }
  SelectNode(parent);
}

void TMainForm::toolExploreClick() {
  if (CurrentPath.isEmpty()) return;
  OpenItem(CurrentPath, this);
}

void TMainForm::cmdFileSelectFolderClick() {
  TFolderBrowse browse;
  browse.Parent = this;
  browse.AllowDriveRoots = true;
  browse.Title = QStringLiteral("Select the folder you want to analyze. If the folder has not been scanned, ") + ProgramName +
                 QStringLiteral(" will scan it now.");
  browse.Folder = CurrentPath;
  if (browse.Execute()) GoToFolder(browse.Folder);
}

void TMainForm::OpenDroppedPath(const QString& path) {
  Guarded([&] {
    const QString drivePath = ToDrivePath(path);
    if (drivePath.isEmpty()) {
      ShowError(QStringLiteral("%1 is not on any drive.").arg(path), 2, this);
      return;
    }
    GoToFolder(drivePath);
  });
}

void TMainForm::ShowItemContextMenu(const QString& path, TTreeNode* node, int64_t size, QPoint pos, QWidget* control) {
  const QPoint global = control ? control->mapToGlobal(pos) : pos;
  if (IsDriveRoot(path)) {
    ShowShellContextMenu(this, global, AddBackslash(path), node ? node->Data() : nullptr);
    return;
  }
  TTreeNode* parent = node ? node->Parent() : SelectedNode();
  ShowShellContextMenu(this, global, path, node ? node->Data() : nullptr);
  if (PathExists(path) || !parent || Scanning) return;
  if (node) {
    PreparePages(nullptr);
    const TFolderSize* rec = node->Data();
    SubtractFromAncestors(parent, node, rec ? rec->TotalFolders + 1 : 1, rec ? rec->TotalFiles : 0,
                          rec ? rec->TotalWasted : 0, size);
    FreeSubtreeRecords(tree_, node, true);
    DeleteTreeNode(node);
    SelectNode(parent);
  } else {
    const TDriveRecInfo* drive = FindDrive(static_cast<char>(path.at(0).toUpper().unicode()));
    const int64_t cluster = drive && drive->ClusterSize > 0 ? drive->ClusterSize : 0;
    const int64_t slack = cluster > 0 && size % cluster ? cluster - size % cluster : 0;
    SubtractFromAncestors(parent, nullptr, 0, 1, slack, size);
  }
  InvalidateAll(true);
}
