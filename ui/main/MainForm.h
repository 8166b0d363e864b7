#pragma once
// The main window: the folder tree on the left, the pages of the current folder on the right, the
// menus and toolbar, start-up and shut-down. Its commands are carried out by controllers (scans,
// free-space operations, reports) over the scan session, the current folder and the window's
// services.

#include "config/Settings.h"
#include "scan/FolderTree.h"
#include "shell/ModalDialogs.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/PageHost.h"
#include "ui/main/ToolWindows.h"
#include "ui/main/WindowServices.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QComboBox;
class QDialog;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QToolBar;
class QTreeView;
class TScanSession;
class TScanQueue;
class TFolderTreeModel;
class TPiePage;
class TSectionSizeBox;
class TBarChartBox;
class TFolderInfoPage;
class TSubfoldersPage;
class TWastedPage;
class TShExDriveComboBox;
class TToolsMenu;
class TCleanUpPage;
class TTreemapPage;
class TScanCommands;
class TFreeSpaceCommands;
class TWindowReports;
class TWindowScanHost;
class TScanFileCommands;

// The private start-up event the main window posts itself at its first activation.
inline constexpr QEvent::Type StartupEventType = static_cast<QEvent::Type>(QEvent::User + 3900);

// The program's name and the application title.
inline constexpr char ApplicationTitle[] = "Korvane 3.0.1";

// Called while the main window is created; tests make it throw to see the fatal-error path.
void SetMainFormCreationHook(std::function<void()> hook);

class TMainForm : public QMainWindow, public IPageHost, public IWindowServices, public ISectionBoxOwner {
  Q_OBJECT

  // The folder shown in the pages and the figures of its drive.
  TCurrentFolder current_;
  // What the program remembers between runs; the pages and tool windows follow its changes.
  TSettings settings_;

public:
  // arguments: the command line without the program's name.
  explicit TMainForm(QStringList arguments = {}, QWidget* parent = nullptr);
  ~TMainForm() override;
  // Makes the two tool windows beside the window ("Wasted & Drive Info", the tree bar chart).
  void CreateToolWindows();

  // The scans, the folder tree and the drives behind the window; the folder shown; the settings.
  TScanSession& Session() override { return *session_; }
  TCurrentFolder& Current() override { return current_; }
  TSettings& Settings() override { return settings_; }
  TFolderTree& Nodes();
  TFolderTreeModel& Model() { return *model_; }
  // Letters of the drives in the tree, in the order their current scan began.
  const QString& ScannedDrives() const;
  // The page chosen (TPageIndex), also while the not-ready page is on show instead.
  int CurrentPage() const { return currentPage_; }
  // A scan is under way; ScansIdle: nor is any scan command waiting for one to end.
  bool Scanning() const;
  bool ScansIdle() const;
  // The scan commands' sequencer: a command that needs a scan runs through it (see ScanQueue.h).
  TScanQueue& Scans() { return *scans_; }
  bool StartupDone() const { return startupDone_; }
  bool NotReady() const override { return notReady_; }

  // Pages.
  void SelectPage(int k);
  void InvalidateAll(bool refresh);
  void InvalidatePie();

  // The command controllers.
  TScanCommands& ScanCommands() { return *scanCommands_; }
  TFreeSpaceCommands& FreeSpaceCommands() { return *freeSpace_; }
  TWindowReports& Reports() { return *reports_; }
  // The scan commands' controls: enabled while no scan runs, Stop while one does.
  void SetScanning(bool on);

  // Folder tree. SelectNode selects through the tree control (with the drive guard); false when
  // refused.
  bool SelectNode(TTreeNode* node) override;
  TTreeNode* SelectedNode() const override;
  void GoUpOneLevel() override { toolLevelUpClick(); }
  // Called when the window closes (or the program quits without that): placement, window state,
  // subfolder-list values, tool windows, settings; once. A failure to save is reported once: on
  // stderr, and in a message box when report is true.
  void FormDestroy(bool report = false);

  // The not-ready text's distance from the top of its half of the panel.
  static constexpr int NotReadyTextTop = 16;

protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  // What the pages and the controllers ask of the window (IPageHost, IWindowServices).
  QWidget* Window() override { return this; }
  void RevealNode(TTreeNode* node) override;
  void ShowSelectionAgain() override;
  int ShownPage() const override { return currentPage_; }
  void ShowPage(int page) override { SelectPage(page); }
  void RebuildDriveList() override { RebuildDriveBox(); }
  bool PageShowing(int k) const override { return currentPage_ == k && !notReady_; }
  void RefillIfCurrent(int k) override;
  bool PreparePages(TTreeNode* node) override;
  void ExpandNode(TTreeNode* node) override;
  void CollapseNode(TTreeNode* node) override;
  bool NodeExpanded(TTreeNode* node) const override;
  void ShowSectionWasted(int share, const QString& text) override;
  void ShowTreeBarChart() override;
  void SetStatusText(int panel, const QString& text) override;
  void ShowSectionSizeWindow(bool visible) override;
  // The context menu of a folder (node) or of a file of the current folder (no node) at a point
  // of control; brings the tree up to date when the item went away.
  void ShowItemContextMenu(const QString& path, TTreeNode* node, int64_t size, QPoint pos, QWidget* control) override;

  // What the tool window tells the window (ISectionBoxOwner).
  void SectionBoxClosedByUser() override;
  bool ProgramEnding() const override { return closing_; }

  // Start-up and end (MainFormStartup.cpp).
  void FormCreate();
  void FormShow();
  void FormActivate();
  void RunStartupScans();
  void OpenStartupArgument(const QString& argument);

  // Actions, menus, layout and view commands (MainForm.cpp).
  void BuildActions();
  void BuildMenus();
  void BuildLayout();
  void ToolbarSupportResize();
  // Gives the folder tree its share of the splitter (when the tree is shown).
  void FitTreeToShare();
  void StatusBarResize();
  void ViewToggle(QAction* action, bool on);
  // The toolbar buttons, menu checks and views that show a setting follow its changes.
  void FollowSettings(TSettingGroups groups);
  void ShowDesktopViews();
  void PaintNotReadyPanel();
  void PercentToggle(QAction* pressed, bool down);
  void cmdViewPageClick(int tag);
  void FileMenuOpening();
  void ViewMenuOpening();
  void RebuildDriveBox();

  // Commands of the File, View and Help menus that other parts carry out (MainFormCommands.cpp).
  void ConnectMenuCommands();
  void cmdViewBarChartClick();
  void cmdViewOptionsClick();

  // The "Free Some Space" page and its keys (MainFormPages.cpp).
  void BuildFreeSpacePage();
  // Runs a command and shows what escaped from it in the program's error box.
  void Guarded(const std::function<void()>& command);

  // Pages (MainFormPages.cpp).
  void InvalidateList(bool refresh);
  // The cluster-size box's choice: every other page's wasted and allocated figures follow it.
  void ClustersBoxChange(int index);
  void LayoutCurrentPage();
  // Sizes txtNotReady to the right half of panNotReady: its width less 4, at most 200, and its
  // height below the text's top less 4.
  void LayoutNotReadyText();
  void SetNotReady(bool on);
  void FillNotReadyText();
  void UpdateDriveInfo();
  void FillPage(int k, TTreeNode* node);

  // A folder dropped on the window: a host path or a drive path.
  void OpenDroppedPath(const QString& path);

  // Folder tree view (FolderTreeView.cpp).
  void BuildFolderTree();
  bool FolderTreeChanging(TTreeNode* node);
  void FolderTreeChange(TTreeNode* node);
  void toolLevelUpClick();
  void toolExploreClick();
  void cmdFileSelectFolderClick();

  // Parts, named as the rest of the window refers to them (tests find them by these object
  // names).
  QWidget* ToolbarSupport = nullptr;
  TShExDriveComboBox* DriveBox = nullptr;
  QToolBar* TheToolbar = nullptr;
  QComboBox* ClustersBox = nullptr;
  QWidget* TheLeftPanel = nullptr;
  QTreeView* FolderTree = nullptr;
  QSplitter* MainSplitter = nullptr;
  QWidget* TheRightPanel = nullptr;
  QTabWidget* ThePages = nullptr;
  QWidget* pageNotScanned = nullptr;
  QWidget* pagePieChart = nullptr;
  QWidget* pageFolderInfo = nullptr;
  QWidget* pageSubfolders = nullptr;
  QWidget* pageWastedSpace = nullptr;
  QWidget* pageCleanUp = nullptr;
  QWidget* panNotReady = nullptr;
  // The right half of panNotReady, which holds txtNotReady.
  QWidget* panNotReadyRight = nullptr;
  QPlainTextEdit* txtNotReady = nullptr;
  QLabel* StatusPanel0 = nullptr;
  QLabel* StatusPanel1 = nullptr;

  QMenu* mnuFile = nullptr;
  QMenu* mnuView = nullptr;
  QMenu* mnuTools = nullptr;
  QMenu* mnuHelp = nullptr;
  QAction* cmdHelpTopics = nullptr;
  QMenu* cmdFileRescan = nullptr;
  QMenu* cmdFileRemove = nullptr;
  QMenu* cmdFileExportPie = nullptr;
  QMenu* cmdFileReports = nullptr;
  QMenu* cmdFilePrint = nullptr;
  QAction* cmdFileScanDrives = nullptr;
  QAction* cmdFileRescanCurrentDirectory = nullptr;
  QAction* cmdFileRescanCurrentDrive = nullptr;
  QAction* cmdFileRescanAllDrives = nullptr;
  QAction* cmdFileRemoveCurrentDrive = nullptr;
  QAction* cmdFileRemoveAllDrives = nullptr;
  QAction* cmdFileMapNetworkDrive = nullptr;
  QAction* cmdFileDisconnectNetworkDrive = nullptr;
  QAction* cmdFileAbort = nullptr;
  QAction* cmdFileSelectFolder = nullptr;
  QAction* cmdFileRestoreCompressedFolders = nullptr;
  QAction* cmdFileExit = nullptr;
  QAction* cmdViewToolbar = nullptr;
  QAction* cmdViewStatusBar = nullptr;
  QAction* cmdViewFolderTree = nullptr;
  QAction* cmdViewPage[PageCount] = {};
  QAction* cmdViewPieSectionSizeWindow = nullptr;
  QAction* cmdViewTreeBarChart = nullptr;
  QAction* cmdViewPieSortAscending = nullptr;
  QAction* cmdViewPieSortDescending = nullptr;
  QAction* cmdViewOptions = nullptr;
  QAction* cmdFilePieAsMetafile = nullptr;
  QAction* cmdFilePieAsBitmap = nullptr;
  QAction* cmdFilePieToFile = nullptr;
  QAction* cmdFileReportFolderInformation = nullptr;
  QAction* cmdFileReportFolderContents = nullptr;
  QAction* cmdFilePrintFolderInformation = nullptr;
  QAction* cmdFilePrintSubfolderlist = nullptr;
  QAction* cmdHelpAbout = nullptr;
  TToolsMenu* ToolsMenu = nullptr;
  QAction* toolScan = nullptr;
  QAction* toolRescanDir = nullptr;
  QAction* toolStop = nullptr;
  QAction* toolLevelUp = nullptr;
  QAction* toolExplore = nullptr;
  QAction* toolShowWasted = nullptr;
  QAction* toolShowFiles = nullptr;
  QAction* toolPercent = nullptr;
  QAction* toolMB = nullptr;

  TSectionSizeBox* SectionSizeBox = nullptr;
  TBarChartBox* BarChartBox = nullptr;
  TFolderInfoPage* FolderInfoPage = nullptr;
  TSubfoldersPage* SubfoldersPage = nullptr;
  TWastedPage* WastedPage = nullptr;
  // The pie page: header, pie and section records.
  TPiePage* PiePage = nullptr;
  TCleanUpPage* CleanUpPage = nullptr;
  QWidget* pageTreemap = nullptr;
  TTreemapPage* TreemapPage = nullptr;
  QAction* cmdFileExportTreemap = nullptr;

  // File > Open Scan File and the scan-file arguments (a child of the window).
  TScanFileCommands* scanFiles_ = nullptr;
  // The scanner's host goes after the session that holds it.
  std::unique_ptr<TWindowScanHost> scanHost_;
  std::unique_ptr<TScanSession> session_;
  // After the session: it goes first.
  std::unique_ptr<TScanQueue> scans_;
  std::unique_ptr<TScanCommands> scanCommands_;
  std::unique_ptr<TFreeSpaceCommands> freeSpace_;
  std::unique_ptr<TWindowReports> reports_;
  TFolderTreeModel* model_ = nullptr;
  QStringList arguments_;
  int currentPage_ = 0;
  bool notReady_ = false;
  bool shown_ = false;
  bool activated_ = false;
  bool startupBegun_ = false;
  bool startupDone_ = false;
  bool destroyed_ = false;
  bool closing_ = false;
  // The folder tree's share of the splitter's width, in thousandths: kept as the window resizes
  // (so a maximised window widens the tree too) and across starts.
  int treeShare_ = 300;
  // Removal of tree rows in progress, and whether the selection moved meanwhile.
  int removing_ = 0;
  bool selectionMoved_ = false;
  // The pages by their number.
  IFolderPage* pages_[PageCount] = {};
};
