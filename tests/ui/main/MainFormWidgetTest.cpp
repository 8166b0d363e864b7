// The main window headless: start-up and shut-down, the scan commands, the folder tree view.

#include "config/AtomicFile.h"
#include "config/Options.h"
#include "scan/FolderSize.h"
#include "scan/PathFunctions.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"
#include "cleanup/ui/ItemMenu.h"
#include "shell/Launch.h"
#include "shell/ShBrowse.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/controls/DriveComboBox.h"
#include "ui/main/DrivesSelectBox.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/MainForm.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/WindowPlacement.h"

#include <QScreen>
#include "ui/main/Startup.h"
#include "ui/main/SubfoldersPage.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QUrl>
#include <QStatusBar>
#include <QTabWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSplitter>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Two fixture drives C and T, a registry of their own, and every message box and dialog
// answered by the test.
class TFormEnv {
public:
  TFormEnv() {
    c.Dir("Users");
    c.File("Users/a.txt", 5000);
    t.Dir("Data/Sub/Deep");
    t.Dir("Data/Other");
    t.Dir("zeta");
    t.Dir("alpha");
    t.File("Data/Sub/one.bin", 10000);
    t.File("Data/Sub/Deep/two.bin", 3000);
    t.File("Data/Other/three.bin", 7000);
    t.File("top.bin", 100);
    drives = std::make_unique<TDriveScope>(std::vector<TDriveMapping>{{'C', c.Root()}, {'T', t.Root()}});
    SetMessageAnswerer([this](const TMessageRequest& r) {
      messages.push_back(r);
      if (answer) return answer(r);
      return (r.Buttons & mbCancel) ? int(mbCancel) : int(mbOK);
    });
    SetModalDialogRunner([this](QDialog& d) {
      dialogs.push_back(d.objectName());
      if (dialogAnswer) return dialogAnswer(d);
      return int(QDialog::Rejected);
    });
    AbortScan = false;
  }
  ~TFormEnv() {
    SetMessageAnswerer(nullptr);
    SetModalDialogRunner(nullptr);
    SetMainFormCreationHook(nullptr);
    AbortScan = false;
  }

  TRegistryScope registry;
  TFixtureTree c;
  TFixtureTree t;
  std::unique_ptr<TDriveScope> drives;
  std::vector<TMessageRequest> messages;
  std::function<int(const TMessageRequest&)> answer;
  std::vector<QString> dialogs;
  std::function<int(QDialog&)> dialogAnswer;
};

QStringList TopTexts(TMainForm& form) {
  QStringList texts;
  for (int i = 0; i < form.Nodes().TopCount(); ++i) texts << QString(NodeDriveLetter(form.Nodes().Top(i)));
  return texts;
}

TTreeNode* Node(const QString& drivePath) {
  const TDriveRecInfo* rec = FindDrive(static_cast<char>(drivePath[0].unicode()));
  if (!rec || !rec->Node) return nullptr;
  return drivePath.size() <= 3 ? rec->Node : FindNodeByPath(rec->Node, drivePath.mid(3), true);
}

// Checks that the model mirrors the tree below parent exactly.
void ExpectModelMirrorsTree(TFolderTreeModel& model, const QModelIndex& parent, const TTreeNode* node,
                            TFolderTree& tree) {
  const int count = node ? node->Count() : tree.TopCount();
  ASSERT_EQ(model.rowCount(parent), count);
  for (int row = 0; row < count; ++row) {
    const TTreeNode* child = node ? node->Child(row) : tree.Top(row);
    const QModelIndex index = model.index(row, 0, parent);
    ASSERT_EQ(TFolderTreeModel::NodeOf(index), child);
    ASSERT_EQ(model.parent(index), parent);
    ASSERT_EQ(model.data(index).toString(), child->Text());
    ExpectModelMirrorsTree(model, index, child, tree);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

TEST(StartupWidget, FirstStartWithoutSettingsOpensTheScanDrivesDialogOnceShown) {
  TFormEnv env;
  TMainForm form;
  QApplication::processEvents();
  EXPECT_TRUE(env.dialogs.empty()) << "nothing is asked before the window is on screen";
  EXPECT_EQ(form.size(), QSize(545, 376));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Korvane"));
  EXPECT_TRUE(form.NotReady());
  EXPECT_EQ(Child<QTabWidget>(form, "ThePages")->tabText(0), QStringLiteral("No scanned items"));

  StartMainForm(form);
  // (A window whose minimum is larger than the screen, as at a large scale on a small screen,
  // keeps its minimum.)
  EXPECT_EQ(form.size(), FirstStartGeometry(form.screen()->availableGeometry(), form.minimumSizeHint())
                             .size()
                             .expandedTo(form.minimumSize()))
      << "shown at its first-start size";
  ASSERT_EQ(env.dialogs.size(), 1u);
  EXPECT_EQ(env.dialogs[0], QStringLiteral("DrivesSelectBox"));
  EXPECT_TRUE(Child<QWidget>(form, "ToolbarSupport")->isVisible());
  EXPECT_TRUE(form.statusBar()->isVisible());
  EXPECT_TRUE(Child<QTreeView>(form, "FolderTree")->isVisible());
  EXPECT_TRUE(form.ScannedDrives().isEmpty());
  EXPECT_FALSE(Child<QMenu>(form, "cmdFileRescan")->isEnabled());
  EXPECT_FALSE(Child<QAction>(form, "cmdFileAbort")->isEnabled());
}

TEST(StartupWidget, ScanDrivesDialogScansTheCheckedDrives) {
  TFormEnv env;
  env.dialogAnswer = [](QDialog& d) {
    auto* box = d.findChild<QListWidget*>();
    for (int i = 0; i < box->count(); ++i) box->item(i)->setCheckState(Qt::Checked);
    return int(QDialog::Accepted);
  };
  TMainForm form;
  StartMainForm(form);
  EXPECT_EQ(form.ScannedDrives(), QStringLiteral("CT"));
  EXPECT_EQ(TopTexts(form), (QStringList{QStringLiteral("C"), QStringLiteral("T")}));
  EXPECT_EQ(Child<QLabel>(form, "StatusPanel0")->text(), QStringLiteral("Done."));
  EXPECT_EQ(form.Current().Path(), QStringLiteral("C:\\")) << "the first drive is selected after its scan";
}

TEST(StartupWidget, AutoScanDrivesInOrderAndAnAbortSkipsTheRest) {
  {
    TFormEnv env;
    SetDrivesToAutoScan(QStringLiteral("ct"));
    TMainForm form;
    StartMainForm(form);
    EXPECT_EQ(form.ScannedDrives(), QStringLiteral("CT"));
    EXPECT_EQ(TopTexts(form), (QStringList{QStringLiteral("C"), QStringLiteral("T")}));
    EXPECT_TRUE(env.dialogs.empty());
    EXPECT_TRUE(form.Nodes().Top(1)->Data());
  }
  {
    TFormEnv env;
    SetDrivesToAutoScan(QStringLiteral("ct"));
    TMainForm form;
    bool aborted = false;
    QObject::connect(&form.Model(), &QAbstractItemModel::rowsInserted, &form, [&](const QModelIndex& parent) {
      if (form.Scanning() && parent.isValid() && !aborted) {
        aborted = true;
        Child<QAction>(form, "cmdFileAbort")->trigger();
      }
    });
    StartMainForm(form);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(form.ScannedDrives(), QStringLiteral("C"));
    EXPECT_EQ(TopTexts(form), QStringList{QStringLiteral("C")});
    EXPECT_EQ(form.Nodes().Top(0)->Data(), nullptr) << "an aborted drive has no figures";
    EXPECT_TRUE(form.NotReady());
    EXPECT_EQ(Child<QTabWidget>(form, "ThePages")->tabText(0), QStringLiteral("Folder not scanned"));
    EXPECT_FALSE(form.Scanning());
    EXPECT_TRUE(Child<QMenu>(form, "cmdFileRescan")->isEnabled());

    // An unfinished folder offers no context menu.
    ASSERT_EQ(form.SelectedNode(), form.Nodes().Top(0));
    env.messages.clear();
    emit Child<QTreeView>(form, "FolderTree")->customContextMenuRequested(Child<QTreeView>(form, "FolderTree")->visualRect(Child<QTreeView>(form, "FolderTree")->currentIndex()).center());
    ASSERT_EQ(env.messages.size(), 1u);
    EXPECT_TRUE(env.messages[0].Text.startsWith(QStringLiteral("The context menu of the selected folder cannot be displayed")));
  }
}

TEST(StartupWidget, CommandLineDrivesAndFolders) {
  struct Case {
    QStringList (*arguments)(const TFormEnv&);
    QString scanned;
    QString shown;
  };
  const Case cases[] = {
      {[](const TFormEnv&) { return QStringList{QStringLiteral("t:\\"), QStringLiteral("T:\\Data")}; }, QStringLiteral("T"), QStringLiteral("T:\\Data")},
      {[](const TFormEnv&) { return QStringList{QStringLiteral("T:\\Data\\Sub")}; }, QStringLiteral("T"), QStringLiteral("T:\\Data\\Sub")},
      {[](const TFormEnv& e) { return QStringList{QString::fromLocal8Bit(e.t.Path("Data/Other"))}; }, QStringLiteral("T"), QStringLiteral("T:\\Data\\Other")},
      {[](const TFormEnv& e) { return QStringList{QString::fromLocal8Bit(e.c.Root())}; }, QStringLiteral("C"), QStringLiteral("C:\\")},
  };
  for (const Case& k : cases) {
    TFormEnv env;
    TMainForm form(k.arguments(env));
    StartMainForm(form);
    SCOPED_TRACE(k.shown.toStdString());
    EXPECT_EQ(form.ScannedDrives(), k.scanned) << "a drive already in the tree is not scanned again";
    EXPECT_EQ(form.Current().Path(), k.shown);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Korvane - ") + k.shown);
    EXPECT_EQ(Child<TShExDriveComboBox>(form, "DriveBox")->Drive(), k.shown[0]) << "the drive box follows the drive shown";
    EXPECT_TRUE(env.dialogs.empty());
    EXPECT_FALSE(form.NotReady());
  }
}

TEST(StartupWidget, ReportArgumentScansInTheWindowAndPutsTheViewBack) {
  TFormEnv env;
  SetDrivesToAutoScan(QStringLiteral("c"));
  const QString list = QString::fromLocal8Bit(env.t.Path("list"));
  {
    TMainForm form({QStringLiteral("/rCSV"), QStringLiteral("T:\\Data"), list, QStringLiteral("/SD:2"),
                    QStringLiteral("/WF"), QStringLiteral("/HX:B:5")});
    form.Settings().Change([&](TSettingValues& v) { v.IncludeWastedInformation = true; });
    StartMainForm(form);
    // The window scanned the folder's drive (not the drives to scan at start) and shows it.
    EXPECT_EQ(form.ScannedDrives(), QStringLiteral("T"));
    EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
    EXPECT_TRUE(env.dialogs.empty());
    EXPECT_TRUE(env.messages.empty());
    const QList<QByteArray> lines = ReadWholeFile(env.t.Path("list.csv")).value_or(QByteArray()).split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[1].startsWith("Sub,") && lines[2].startsWith("Other,"));
    // The options held for the report only: the list's view and the wasted-space setting are back.
    const TSubfolderView view = Child<TSubfoldersPage>(form)->View();
    EXPECT_EQ(view.DisplayType, 2);
    EXPECT_EQ(view.Sort, 1);
    EXPECT_TRUE(form.Settings()->IncludeWastedInformation);
    EXPECT_TRUE(Child<QAction>(form, "toolShowWasted")->isChecked());
  }
  // Too few arguments: no report and no message.
  {
    TMainForm form({QStringLiteral("/rCSV"), QStringLiteral("T:\\")});
    StartMainForm(form);
    EXPECT_TRUE(form.ScannedDrives().isEmpty());
    EXPECT_TRUE(env.messages.empty());
  }
  // A folder that cannot be selected: nothing written, one message, the view as it was.
  {
    TMainForm form({QStringLiteral("/RTXT"), QStringLiteral("T:\\NoSuch"), list + QStringLiteral("-none"),
                    QStringLiteral("/T:3")});
    StartMainForm(form);
    EXPECT_FALSE(QFileInfo::exists(list + QStringLiteral("-none.txt")));
    ASSERT_EQ(env.messages.size(), 1u);
    EXPECT_TRUE(env.messages[0].Text.contains(QStringLiteral("T:\\NoSuch"))) << env.messages[0].Text.toStdString();
    EXPECT_EQ(Child<TSubfoldersPage>(form)->View().DisplayType, 2);
    env.messages.clear();
  }
  // A destination that cannot be written: the program's error box says so.
  {
    TMainForm form({QStringLiteral("/RINF"), QStringLiteral("T:\\Data"), list + QStringLiteral("/no/such/info")});
    StartMainForm(form);
    ASSERT_EQ(env.messages.size(), 1u);
    EXPECT_TRUE(env.messages[0].Text.startsWith(QStringLiteral("Generating report failed")));
    EXPECT_EQ(env.messages[0].Caption, QStringLiteral("Korvane"));
    EXPECT_EQ(env.messages[0].Icon, TMessageIcon::Error);
  }
}

TEST(MainFormWidget, FatalErrorWhileCreatingEndsWithTheMessage) {
  TFormEnv env;
  SetMainFormCreationHook([] { throw std::runtime_error("broken"); });
  EXPECT_EQ(CreateMainWindows({}), nullptr);
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_EQ(env.messages[0].Text, QStringLiteral("Fatal error: Korvane must close"));
  EXPECT_EQ(env.messages[0].Caption, QStringLiteral("Fatal error"));
  EXPECT_EQ(env.messages[0].Icon, TMessageIcon::Error);
}

TEST(MainFormWidget, PlacementIsSavedOnlyInTheNormalState) {
  TFormEnv env;
  QRect normal;
  {
    TMainForm form;
    StartMainForm(form);
    form.setGeometry(100, 120, 600, 420);
    QApplication::processEvents();
    normal = form.geometry();
    form.close();
  }
  EXPECT_EQ(RegReadInt(RegistryKeyPath, DesktopSection, PlacementWidth, 0), normal.width());
  EXPECT_EQ(RegReadInt(RegistryKeyPath, DesktopSection, PlacementHeight, 0), normal.height());
  EXPECT_EQ(RegReadInt(RegistryKeyPath, DesktopSection, PlacementLeft, 0), normal.x());
  EXPECT_EQ(RegReadInt(RegistryKeyPath, DesktopSection, PlacementWindowState, -1), 0);
  {
    TMainForm form;
    StartMainForm(form);
    EXPECT_EQ(form.size(), normal.size()) << "the placement comes back";
    form.showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(form.isMaximized());
    form.close();
  }
  EXPECT_EQ(RegReadInt(RegistryKeyPath, DesktopSection, PlacementWindowState, -1), 2);
  EXPECT_EQ(RegReadInt(RegistryKeyPath, DesktopSection, PlacementWidth, 0), normal.width());
  EXPECT_EQ(RegReadInt(RegistryKeyPath, DesktopSection, PlacementHeight, 0), normal.height());
}

TEST(MainFormWidget, ViewTogglesAndSizeButtonsStoreTheirSettings) {
  TFormEnv env;
  {
    TMainForm form;
    StartMainForm(form);
    Child<QAction>(form, "cmdViewFolderTree")->trigger();
    EXPECT_FALSE(Child<QWidget>(form, "TheLeftPanel")->isVisible());
    EXPECT_FALSE(Child<QSplitter>(form, "MainSplitter")->handle(1)->isVisible()) << "the splitter goes with the tree";
    Child<QAction>(form, "cmdViewStatusBar")->trigger();
    EXPECT_FALSE(form.statusBar()->isVisible());
    Child<QAction>(form, "toolMB")->trigger();
    EXPECT_TRUE(Child<QAction>(form, "toolMB")->isChecked());
    EXPECT_FALSE(Child<QAction>(form, "toolPercent")->isChecked()) << "relative and absolute are never both down";
    EXPECT_EQ(form.Settings()->ShowPercentInPie, 2);
    Child<QAction>(form, "toolMB")->trigger();
    EXPECT_FALSE(Child<QAction>(form, "toolMB")->isChecked());
    EXPECT_FALSE(Child<QAction>(form, "toolPercent")->isChecked());
    EXPECT_EQ(form.Settings()->ShowPercentInPie, 0);
    form.close();
  }
  TMainForm form;
  StartMainForm(form);
  EXPECT_FALSE(Child<QWidget>(form, "TheLeftPanel")->isVisible());
  EXPECT_FALSE(Child<QAction>(form, "cmdViewFolderTree")->isChecked());
  EXPECT_FALSE(form.statusBar()->isVisible());
  EXPECT_TRUE(Child<QWidget>(form, "ToolbarSupport")->isVisible());
  EXPECT_FALSE(Child<QAction>(form, "toolMB")->isChecked());
}

// ---------------------------------------------------------------------------------------------

TEST(ScanCommandWidget, RescanningADriveAppendsItAndShowsTheSameFolderAgain) {
  TFormEnv env;
  TMainForm form({QStringLiteral("C:\\"), QStringLiteral("T:\\")});
  StartMainForm(form);
  ASSERT_TRUE(form.ScanCommands().GoToFolder(QStringLiteral("C:\\Users")));
  ASSERT_EQ(form.Current().Path(), QStringLiteral("C:\\Users"));
  env.c.File("Users/b.txt", 2000);
  form.ScanCommands().ScanOrRescanDrive(QStringLiteral("Cwhatever"));
  WaitForScans(form);
  EXPECT_EQ(TopTexts(form), (QStringList{QStringLiteral("T"), QStringLiteral("C")}));
  EXPECT_EQ(form.ScannedDrives(), QStringLiteral("TC"));
  EXPECT_EQ(form.Current().Path(), QStringLiteral("C:\\Users"));
  ASSERT_TRUE(form.Current().Node() && form.Current().Node()->Data());
  EXPECT_EQ(form.Current().Node()->Data()->TotalSize, 7000);
  // The pie page is the one shown: it names the folder it draws in the status line.
  EXPECT_EQ(Child<QLabel>(form, "StatusPanel0")->text(), QStringLiteral("Folder C:\\Users"));
  ExpectModelMirrorsTree(form.Model(), {}, nullptr, form.Nodes());
}

TEST(ScanCommandWidget, RemovingDrivesOfAnEmptyTreeOrDuringAScanAndDroppingDuringAScanDoNothing) {
  TFormEnv env;
  {
    TMainForm form;
    StartMainForm(form);
    Child<QAction>(form, "cmdFileRemoveAllDrives")->trigger();
    form.ScanCommands().RemoveDrive(QLatin1Char('C'));
    EXPECT_EQ(form.Nodes().TopCount(), 0);
    EXPECT_TRUE(form.NotReady());
  }
  TMainForm form({QStringLiteral("C:\\")});
  bool tried = false;
  bool dropped = false;
  QObject::connect(&form.Model(), &QAbstractItemModel::rowsInserted, &form, [&] {
    if (form.Scanning() && form.ScannedDrives() == QStringLiteral("C") && !dropped) {
      dropped = true;
      form.ScanCommands().OpenPath(QString::fromLocal8Bit(env.t.Path("Data")));
    }
    if (form.Scanning() && form.ScannedDrives() == QStringLiteral("CT") && !tried) {
      tried = true;
      form.ScanCommands().RemoveDrive(QLatin1Char('C'));
      Child<QAction>(form, "cmdFileRemoveAllDrives")->trigger();
      form.ScanCommands().RescanDrives(QStringLiteral("C"));
    }
  });
  StartMainForm(form);
  EXPECT_TRUE(dropped);
  EXPECT_EQ(form.ScannedDrives(), QStringLiteral("C")) << "a folder dropped during a scan starts no second scan";
  EXPECT_TRUE(form.Nodes().Top(0)->Data());
  form.ScanCommands().ScanOrRescanDrive(QStringLiteral("T"));
  WaitForScans(form);
  EXPECT_TRUE(tried);
  EXPECT_EQ(form.ScannedDrives(), QStringLiteral("CT"));
  EXPECT_EQ(TopTexts(form), (QStringList{QStringLiteral("C"), QStringLiteral("T")}));
  ASSERT_TRUE(form.Nodes().Top(0)->Data());

  Child<QAction>(form, "cmdFileRemoveAllDrives")->trigger();
  EXPECT_EQ(form.Nodes().TopCount(), 0);
  EXPECT_TRUE(form.ScannedDrives().isEmpty());
  EXPECT_TRUE(DriveList().empty());
  EXPECT_EQ(form.Current().Node(), nullptr);
  EXPECT_TRUE(form.NotReady());
  EXPECT_EQ(Child<QTabWidget>(form, "ThePages")->tabText(0), QStringLiteral("No scanned items"));
  EXPECT_FALSE(Child<QMenu>(form, "cmdFileRemove")->isEnabled());
}

TEST(ScanCommandWidget, InaccessibleDriveOffersRetryThenCancelSkipsIt) {
  TFormEnv env;
  const QByteArray moved = env.c.Root() + "-away";
  ASSERT_EQ(::rename(env.c.Root().constData(), moved.constData()), 0);
  int asked = 0;
  env.answer = [&](const TMessageRequest&) {
    ++asked;
    if (asked == 2) ::rename(moved.constData(), env.c.Root().constData());
    return asked == 1 ? int(mbRetry) : int(mbCancel);
  };
  TMainForm form({QStringLiteral("C:\\"), QStringLiteral("T:\\")});
  StartMainForm(form);
  ASSERT_EQ(env.messages.size(), 2u);
  EXPECT_EQ(env.messages[0].Text.left(20), QStringLiteral("C: is not accessible"));
  EXPECT_EQ(env.messages[0].Caption, QStringLiteral("Korvane"));
  EXPECT_EQ(env.messages[0].Buttons, mbRetry | mbCancel);
  EXPECT_EQ(form.ScannedDrives(), QStringLiteral("T")) << "Cancel skips the drive, the next one goes on";
  EXPECT_FALSE(FindDrive('C'));
}

// ---------------------------------------------------------------------------------------------

TEST(FolderTreeViewWidget, DriveGuardRetryThenCancelKeepsTheSelection) {
  TFormEnv env;
  TMainForm form({QStringLiteral("C:\\"), QStringLiteral("T:\\Data")});
  StartMainForm(form);
  ASSERT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
  TTreeNode* shown = form.Current().Node();

  // A sibling on the same drive is selected without asking.
  ASSERT_TRUE(form.SelectNode(Node(QStringLiteral("T:\\zeta"))));
  ASSERT_TRUE(form.SelectNode(shown));
  EXPECT_TRUE(env.messages.empty());

  const QByteArray moved = env.c.Root() + "-away";
  ASSERT_EQ(::rename(env.c.Root().constData(), moved.constData()), 0);
  int asked = 0;
  env.answer = [&](const TMessageRequest&) { return ++asked == 1 ? int(mbRetry) : int(mbCancel); };
  EXPECT_FALSE(form.SelectNode(form.Nodes().Top(0)));
  ::rename(moved.constData(), env.c.Root().constData());
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(form.Current().Node(), shown);
  EXPECT_EQ(form.SelectedNode(), shown);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
  EXPECT_EQ(form.Nodes().TopCount(), 2);
}

TEST(FolderTreeViewWidget, FolderDeletedOutsideLeavesTheTreeAndEveryAncestor) {
  TFormEnv env;
  TMainForm form({QStringLiteral("T:\\Data")});
  StartMainForm(form);
  TTreeNode* root = form.Nodes().Top(0);
  TTreeNode* data = Node(QStringLiteral("T:\\Data"));
  TTreeNode* sub = Node(QStringLiteral("T:\\Data\\Sub"));
  ASSERT_TRUE(root && data && sub && sub->Data());
  const TFolderSize rootBefore = *root->Data();
  const TFolderSize dataBefore = *data->Data();
  const TFolderSize subFigures = *sub->Data();
  ASSERT_EQ(subFigures.TotalSize, 13000);

  RemoveTree(env.t.Path("Data/Sub"));
  form.SelectNode(sub);
  EXPECT_EQ(Node(QStringLiteral("T:\\Data\\Sub")), nullptr);
  for (const auto& [node, before] : {std::pair{root, rootBefore}, std::pair{data, dataBefore}}) {
    EXPECT_EQ(node->Data()->TotalSize, before.TotalSize - subFigures.TotalSize);
    EXPECT_EQ(node->Data()->TotalFiles, before.TotalFiles - subFigures.TotalFiles);
    EXPECT_EQ(node->Data()->TotalFolders, before.TotalFolders - subFigures.TotalFolders - 1);
    EXPECT_EQ(node->Data()->TotalWasted, before.TotalWasted - subFigures.TotalWasted);
  }
  ASSERT_TRUE(form.Current().Node());
  EXPECT_NE(form.Current().Path(), QStringLiteral("T:\\Data\\Sub"));
  EXPECT_EQ(form.Current().Node(), form.SelectedNode());
  ExpectModelMirrorsTree(form.Model(), {}, nullptr, form.Nodes());
}

TEST(FolderTreeViewWidget, UpOneLevelSelectsTheParentAndDoesNothingOnARoot) {
  TFormEnv env;
  TMainForm form({QStringLiteral("T:\\Data\\Sub\\Deep")});
  StartMainForm(form);
  ASSERT_EQ(form.Current().Path(), QStringLiteral("T:\\Data\\Sub\\Deep"));
  env.t.Dir("Data/Sub/Deep/Deeper");
  form.ScanCommands().RescanCurrentFolder();
  WaitForScans(form);
  Child<QTreeView>(form, "FolderTree")->expand(form.Model().IndexOf(form.Current().Node()));
  ASSERT_TRUE(Child<QTreeView>(form, "FolderTree")->isExpanded(form.Model().IndexOf(form.Current().Node())));
  EXPECT_TRUE(Child<QAction>(form, "toolLevelUp")->isEnabled());
  Child<QAction>(form, "toolLevelUp")->trigger();
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data\\Sub"));
  EXPECT_FALSE(Child<QTreeView>(form, "FolderTree")->isExpanded(form.Model().IndexOf(Node(QStringLiteral("T:\\Data\\Sub\\Deep")))))
      << "the folder left is collapsed";
  Child<QAction>(form, "toolLevelUp")->trigger();
  Child<QAction>(form, "toolLevelUp")->trigger();
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\"));
  EXPECT_FALSE(Child<QAction>(form, "toolLevelUp")->isEnabled());
  TTreeNode* root = form.Current().Node();
  form.GoUpOneLevel();
  EXPECT_EQ(form.Current().Node(), root);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\"));
  EXPECT_FALSE(Child<QTabWidget>(form, "ThePages")->isTabVisible(TabOfPage(pgFreeSpace))) << "a drive root has no free-space page";
}

TEST(FolderTreeViewWidget, ModelFollowsTheTreeWhileItFillsAndSorts) {
  TFormEnv env;
  TMainForm form;
  // Hold an index on a folder from the moment it appears; the sort of its level must move it.
  QPersistentModelIndex zeta;
  int checks = 0;
  QObject::connect(&form.Model(), &QAbstractItemModel::rowsInserted, &form, [&](const QModelIndex& parent, int first) {
    const QModelIndex index = form.Model().index(first, 0, parent);
    if (index.data().toString() == QStringLiteral("zeta")) zeta = index;
    ++checks;
  });
  Child<QTreeView>(form, "FolderTree")->expandAll();
  StartMainForm(form);
  form.ScanCommands().ScanOrRescanDrive(QStringLiteral("T"));
  WaitForScans(form);
  ASSERT_GT(checks, 5);
  ASSERT_TRUE(zeta.isValid());
  EXPECT_EQ(TFolderTreeModel::NodeOf(zeta)->Text(), QStringLiteral("zeta"));
  EXPECT_EQ(zeta.row(), TFolderTreeModel::NodeOf(zeta)->Index());
  ExpectModelMirrorsTree(form.Model(), {}, nullptr, form.Nodes());

  // A rescan of a folder replaces its rows.
  ASSERT_TRUE(form.ScanCommands().GoToFolder(QStringLiteral("T:\\Data")));
  env.t.Dir("Data/New");
  form.ScanCommands().RescanCurrentFolder();
  WaitForScans(form);
  EXPECT_TRUE(Node(QStringLiteral("T:\\Data\\New")));
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
  EXPECT_FALSE(form.NotReady());
  ExpectModelMirrorsTree(form.Model(), {}, nullptr, form.Nodes());
}

TEST(FolderTreeViewWidget, DeletingTheFolderFromItsContextMenuSelectsTheParentWithLowerFigures) {
  TFormEnv env;
  TMainForm form({QStringLiteral("T:\\Data\\Sub")});
  StartMainForm(form);
  ASSERT_EQ(form.Current().Path(), QStringLiteral("T:\\Data\\Sub"));
  TTreeNode* data = Node(QStringLiteral("T:\\Data"));
  const TFolderSize dataBefore = *data->Data();
  const TFolderSize subFigures = *form.Current().Node()->Data();

  SetShellMenuChooser([](const QList<TShellCommand>& enabled) {
    return enabled.contains(TShellCommand::Delete) ? TShellCommand::Delete : TShellCommand::None;
  });
  env.answer = [](const TMessageRequest& r) { return (r.Buttons & mbYes) ? int(mbYes) : int(mbOK); };
  emit Child<QTreeView>(form, "FolderTree")->customContextMenuRequested(Child<QTreeView>(form, "FolderTree")->visualRect(Child<QTreeView>(form, "FolderTree")->currentIndex()).center());
  SetShellMenuChooser(nullptr);

  EXPECT_FALSE(QFileInfo::exists(QString::fromLocal8Bit(env.t.Path("Data/Sub"))));
  EXPECT_EQ(Node(QStringLiteral("T:\\Data\\Sub")), nullptr);
  EXPECT_EQ(form.Current().Node(), data);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
  EXPECT_EQ(data->Data()->TotalSize, dataBefore.TotalSize - subFigures.TotalSize);
  EXPECT_EQ(data->Data()->TotalFiles, dataBefore.TotalFiles - subFigures.TotalFiles);
  EXPECT_EQ(data->Data()->TotalFolders, dataBefore.TotalFolders - subFigures.TotalFolders - 1);
  EXPECT_EQ(data->Data()->Folders, dataBefore.Folders - 1);
  ExpectModelMirrorsTree(form.Model(), {}, nullptr, form.Nodes());
}

TEST(FolderTreeViewWidget, SelectFolderScansAnUnscannedDriveThenSelectsTheFolder) {
  TFormEnv env;
  TMainForm form({QStringLiteral("C:\\")});
  StartMainForm(form);
  QString title;
  TFolderBrowse::SetChooser([&](QWidget*, const QString& t, const QString&) {
    title = t;
    return QString::fromLocal8Bit(env.t.Path("Data/Other"));
  });
  Child<QAction>(form, "cmdFileSelectFolder")->trigger();
  WaitForScans(form);
  TFolderBrowse::SetChooser(nullptr);
  EXPECT_EQ(title, QStringLiteral("Select the folder you want to analyze. If the folder has not been scanned, Korvane will scan it now."));
  EXPECT_EQ(form.ScannedDrives(), QStringLiteral("CT"));
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data\\Other"));
  EXPECT_TRUE(Child<QTreeView>(form, "FolderTree")->isExpanded(form.Model().IndexOf(form.Current().Node())) || !form.Current().Node()->HasChildren());
  EXPECT_TRUE(Child<QTreeView>(form, "FolderTree")->isExpanded(form.Model().IndexOf(Node(QStringLiteral("T:\\Data")))));

  // A folder made after the scan: its nearest scanned ancestor is read again and it is selected.
  env.t.Dir("Data/Sub/New/Inner");
  env.t.File("Data/Sub/New/Inner/n.bin", 4000);
  TFolderBrowse::SetChooser([&](QWidget*, const QString&, const QString&) {
    return QString::fromLocal8Bit(env.t.Path("Data/Sub/New/Inner"));
  });
  Child<QAction>(form, "cmdFileSelectFolder")->trigger();
  WaitForScans(form);
  TFolderBrowse::SetChooser(nullptr);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data\\Sub\\New\\Inner"));
  ASSERT_NE(Node(QStringLiteral("T:\\Data\\Sub")), nullptr);
  EXPECT_EQ(Node(QStringLiteral("T:\\Data\\Sub"))->Data()->TotalSize, 10000 + 3000 + 4000)
      << "the ancestor's figures take the new folder in";
}

TEST(FolderTreeViewWidget, ExploreOpensTheHostFolder) {
  TFormEnv env;
  TMainForm form({QStringLiteral("T:\\Data")});
  StartMainForm(form);
  QList<QUrl> opened;
  SetUrlOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  ASSERT_TRUE(Child<QAction>(form, "toolExplore")->isEnabled());
  Child<QAction>(form, "toolExplore")->trigger();
  SetUrlOpener(nullptr);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromLocal8Bit(env.t.Path("Data"))));
}

// The treemap's tab stands beside the pie's; the page numbers (stored, and in the page actions'
// names) keep meaning the pages they meant before it moved there.
TEST(MainFormWidget, TreemapTabStandsBesideThePieAndPageNumbersKeepTheirMeaning) {
  TFormEnv env;
  TMainForm form({QStringLiteral("T:\\Data")});
  StartMainForm(form);
  auto* tabs = Child<QTabWidget>(form, "ThePages");
  const char* widgets[] = {"pageNotScanned", "pagePieChart", "pageTreemap", "pageFolderInfo", "pageSubfolders",
                           "pageWastedSpace", "pageCleanUp"};
  const char* captions[] = {"No scanned items", "Pie Chart", "Treemap", "Folder Info", "Subfolders", "Wasted Space",
                            "Free Some Space"};
  ASSERT_EQ(tabs->count(), PageCount + 1);
  for (int tab = 0; tab <= PageCount; ++tab) {
    EXPECT_EQ(tabs->widget(tab), Child<QWidget>(form, widgets[tab])) << tab;
    // The not-ready tab's caption says why it is shown.
    if (tab > 0) {
      EXPECT_EQ(tabs->tabText(tab), QLatin1String(captions[tab])) << tab;
    }
  }
  // Each action and page number goes to the page it always meant.
  const char* byPage[PageCount] = {"pagePieChart", "pageFolderInfo", "pageSubfolders", "pageWastedSpace", "pageCleanUp",
                                   "pageTreemap"};
  for (int page = PageCount - 1; page >= 0; --page) {
    Child<QAction>(form, QStringLiteral("cmdViewPage%1").arg(page).toLatin1().constData())->trigger();
    EXPECT_EQ(form.CurrentPage(), page);
    EXPECT_EQ(tabs->currentWidget(), Child<QWidget>(form, byPage[page])) << page;
  }
  emit tabs->tabBarClicked(2);
  EXPECT_EQ(form.CurrentPage(), int(pgTreemap));
  EXPECT_EQ(tabs->currentWidget(), Child<QWidget>(form, "pageTreemap"));
  // The View menu lists them in the order of the tabs.
  QStringList menu;
  for (QAction* a : Child<QMenu>(form, "mnuView")->actions())
    if (a->objectName().startsWith(QLatin1String("cmdViewPage"))) menu << a->objectName();
  EXPECT_EQ(menu, (QStringList{"cmdViewPage0", "cmdViewPage5", "cmdViewPage1", "cmdViewPage2", "cmdViewPage3",
                               "cmdViewPage4"}));
}

TEST(MainFormWidget, PagesTabsAndMenuStatesFollowTheCurrentFolder) {
  TFormEnv env;
  TMainForm form({QStringLiteral("T:\\Data")});
  StartMainForm(form);
  ASSERT_FALSE(form.NotReady());
  EXPECT_FALSE(Child<QTabWidget>(form, "ThePages")->isTabVisible(0));
  for (int tab = 1; tab <= PageCount; ++tab) EXPECT_TRUE(Child<QTabWidget>(form, "ThePages")->isTabVisible(tab)) << tab;
  emit Child<QTabWidget>(form, "ThePages")->tabBarClicked(TabOfPage(pgFreeSpace));
  EXPECT_EQ(form.CurrentPage(), 4);
  EXPECT_EQ(Child<QTabWidget>(form, "ThePages")->currentWidget(), Child<QWidget>(form, "pageCleanUp"));
  emit Child<QMenu>(form, "mnuView")->aboutToShow();
  EXPECT_TRUE(Child<QAction>(form, "cmdViewPage4")->isChecked());
  EXPECT_TRUE(Child<QAction>(form, "cmdViewPage4")->isEnabled());

  // A drive root has no free-space page: the pie page takes its place.
  Child<QAction>(form, "toolLevelUp")->trigger();
  ASSERT_EQ(form.Current().Path(), QStringLiteral("T:\\"));
  EXPECT_EQ(form.CurrentPage(), 0);
  EXPECT_EQ(Child<QTabWidget>(form, "ThePages")->currentWidget(), Child<QWidget>(form, "pagePieChart"));
  EXPECT_FALSE(Child<QTabWidget>(form, "ThePages")->isTabVisible(TabOfPage(pgFreeSpace)));
  emit Child<QMenu>(form, "mnuView")->aboutToShow();
  EXPECT_FALSE(Child<QAction>(form, "cmdViewPage4")->isEnabled());
  EXPECT_TRUE(Child<QAction>(form, "cmdViewPage0")->isChecked());
  emit Child<QMenu>(form, "mnuFile")->aboutToShow();
  EXPECT_TRUE(Child<QMenu>(form, "cmdFileExportPie")->isEnabled());

  Child<QAction>(form, "cmdFileRemoveAllDrives")->trigger();
  emit Child<QMenu>(form, "mnuFile")->aboutToShow();
  EXPECT_FALSE(Child<QMenu>(form, "cmdFileExportPie")->isEnabled());
  EXPECT_FALSE(Child<QMenu>(form, "cmdFileReports")->isEnabled());
  emit Child<QMenu>(form, "mnuView")->aboutToShow();
  for (const char* page : {"cmdViewPage0", "cmdViewPage1", "cmdViewPage2", "cmdViewPage3", "cmdViewPage4"})
    EXPECT_FALSE(Child<QAction>(form, page)->isEnabled()) << page;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Korvane")) << "the caption names no folder once none is shown";
}

TEST(ScanCommandWidget, MapAndDisconnectADriveLetter) {
  TFormEnv env;
  TFixtureTree share;
  TMainForm form;
  StartMainForm(form);
  env.dialogAnswer = [&](QDialog& d) {
    auto* box = qobject_cast<TMapDriveBox*>(&d);
    if (!box) return int(QDialog::Rejected);
    box->cbLetter->setCurrentIndex(box->cbLetter->findText(QStringLiteral("M:")));
    box->ediFolder->setText(QString::fromLocal8Bit(share.Root()));
    box->accept();
    return box->result();
  };
  // With nothing mapped, Disconnect says so instead of offering an empty list.
  env.messages.clear();
  const size_t dialogsBefore = env.dialogs.size();
  Child<QAction>(form, "cmdFileDisconnectNetworkDrive")->trigger();
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_TRUE(env.messages[0].Text.startsWith(QStringLiteral("No network drive is mapped.")));
  EXPECT_EQ(env.dialogs.size(), dialogsBefore) << "a dialog with nothing to choose opened";

  Child<QAction>(form, "cmdFileMapNetworkDrive")->trigger();
  ASSERT_TRUE(TDriveTable::Instance().Find(QLatin1Char('M')));
  EXPECT_GE(Child<TShExDriveComboBox>(form, "DriveBox")->findText(QStringLiteral("M"), Qt::MatchStartsWith), 0);
  ASSERT_TRUE(form.ScanCommands().GoToFolder(QStringLiteral("M:\\")));
  WaitForScans(form);
  EXPECT_TRUE(form.ScannedDrives().contains(QLatin1Char('M')));

  env.dialogAnswer = [&](QDialog& d) {
    auto* box = qobject_cast<TDisconnectDriveBox*>(&d);
    if (!box) return int(QDialog::Rejected);
    EXPECT_EQ(box->lbDrives->count(), 1);
    box->accept();
    return box->result();
  };
  Child<QAction>(form, "cmdFileDisconnectNetworkDrive")->trigger();
  EXPECT_FALSE(TDriveTable::Instance().Find(QLatin1Char('M')));
  EXPECT_LT(Child<TShExDriveComboBox>(form, "DriveBox")->findText(QStringLiteral("M"), Qt::MatchStartsWith), 0);
  EXPECT_FALSE(form.ScannedDrives().contains(QLatin1Char('M'))) << "the disconnected drive stays in the tree";
}

TEST(StartupWidget, ClosingTheWindowDuringTheStartUpScansOpensNoDialog) {
  TFormEnv env;
  SetDrivesToAutoScan(QStringLiteral("q"));  // no drive Q: the Retry/Cancel box comes up
  TMainForm form;
  env.answer = [&](const TMessageRequest&) {
    form.close();
    return int(mbCancel);
  };
  StartMainForm(form);
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_TRUE(form.ScannedDrives().isEmpty());
  EXPECT_TRUE(env.dialogs.empty()) << "no dialog opens for a window that is going";
}

TEST(ScanCommandWidget, CancelledRescanTakesTheDriveOutAndALaterScanKeepsOneRecord) {
  TFormEnv env;
  TMainForm form({QStringLiteral("T:\\Data")});
  StartMainForm(form);
  const QByteArray moved = env.t.Root() + "-away";
  ASSERT_EQ(::rename(env.t.Root().constData(), moved.constData()), 0);
  Child<QAction>(form, "cmdFileRescanCurrentDrive")->trigger();  // the box is answered with Cancel
  ::rename(moved.constData(), env.t.Root().constData());
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_EQ(form.Nodes().TopCount(), 0);
  EXPECT_TRUE(form.ScannedDrives().isEmpty());
  EXPECT_TRUE(form.NotReady());

  ASSERT_TRUE(form.ScanCommands().GoToFolder(QStringLiteral("T:\\Data")));
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
  EXPECT_EQ(form.ScannedDrives(), QStringLiteral("T"));
  ASSERT_EQ(DriveList().size(), 1u);
  EXPECT_EQ(DriveList()[0]->Node, form.Nodes().Top(0));
}
