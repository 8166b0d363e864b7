// The wasted-space page, the cluster-size selector and the drive figures read on a change of drive.

#include "charts/ui/SimpleControls.h"
#include "config/Options.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/VolumeInfo.h"
#include "shell/Help.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/FolderInfoPage.h"
#include "ui/main/FolderPie.h"
#include "ui/main/MainForm.h"
#include "ui/main/ToolWindows.h"
#include "ui/main/WastedPage.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// One fixture drive T with a known folder, a registry of its own, and every dialog answered.
class TWastedEnv {
public:
  TWastedEnv() {
    t.Dir("Data/Sub");
    t.Dir("Empty");
    t.File("Data/one.bin", 10000);
    t.File("Data/Sub/two.bin", 3000);
    t.File("Data/Sub/three.bin", 7000);
    t.File("Data/four.bin", 1);
    drives = std::make_unique<TDriveScope>(std::vector<TDriveMapping>{{'T', t.Root()}});
  }
  ~TWastedEnv() {
    SetHelpSink(nullptr);
  }

  TAnsweredDialogs answered;
  TRegistryScope registry;
  TFixtureTree t;
  std::unique_ptr<TDriveScope> drives;
};

// The sizes of the files below T:\Data, for slack worked out here rather than by the scanner.
const int64_t DataFileSizes[] = {10000, 3000, 7000, 1};

int64_t DataSlackAt(int64_t cluster) {
  int64_t slack = 0;
  for (int64_t size : DataFileSizes) slack += (size + cluster - 1) / cluster * cluster - size;
  return slack;
}

TTreeNode* Node(const QString& drivePath) {
  const TDriveRecInfo* rec = FindDrive(static_cast<char>(drivePath[0].unicode()));
  if (!rec || !rec->Node) return nullptr;
  return drivePath.size() <= 3 ? rec->Node : FindNodeByPath(rec->Node, drivePath.mid(3), true);
}

bool Highlighted(const TWastedPage& page, int n) {
  return page.panWasted[n]->palette().color(QPalette::Window) == page.palette().color(QPalette::Button);
}

void ShowWastedPage(TMainForm& form) {
  emit Child<QTabWidget>(form, "ThePages")->tabBarClicked(TabOfPage(pgWasted));
  QApplication::processEvents();
}

}  // namespace

TEST(WastedPageWidget, PanelsCarryTheirCaptionsAndTooltipsAndFindByName) {
  TWastedPage page;
  const char* captions[] = {"0.5K", "2K", "4K", "8K", "16K", "32K", "64K"};
  const char* panelTips[] = {"high density floppy disks",
                             "CD-ROMs",
                             "FAT (128 MB - 255 MB), FAT32 (less than 8 GB)",
                             "FAT (256 MB - 511 MB), FAT32 (8 GB - 16 GB)",
                             "FAT (512 MB - 1023 MB), FAT32 (16 GB - 32 GB)",
                             "FAT (1 GB - 2 GB), FAT32 (32 GB or more)",
                             ""};
  for (int n = 1; n <= StandardClusterCount; ++n) {
    SCOPED_TRACE(n);
    auto* panel = page.findChild<QFrame*>(QStringLiteral("panWasted%1").arg(n));
    ASSERT_EQ(panel, page.panWasted[n]);
    EXPECT_EQ(page.findChild<TSimplePieGauge*>(QStringLiteral("WastedInd%1").arg(n)), page.WastedInd[n]);
    EXPECT_EQ(page.findChild<QLabel*>(QStringLiteral("txtWasted%1").arg(n)), page.txtWasted[n]);
    EXPECT_EQ(page.capWasted[n]->text(), QString::fromLatin1(captions[n - 1]));
    EXPECT_EQ(page.capWasted[n]->toolTip(), QStringLiteral("%1 bytes").arg(StandardClusterSizes[static_cast<size_t>(n)]));
    EXPECT_EQ(panel->toolTip(), QString::fromLatin1(panelTips[n - 1]));
    EXPECT_EQ(page.WastedInd[n]->ForeColor(), clLime);
    EXPECT_EQ(page.WastedInd[n]->BorderStyle(), TBorderStyle::None);
    EXPECT_EQ(page.WastedInd[n]->size(), QSize(32, 32));
  }
}

TEST(WastedPageWidget, SharesAreOfUsedPlusWastedAndLongPathsKeepDriveAndFirstFolder) {
  EXPECT_EQ(TWastedPage::WastedPercent(0, 0), 0);
  EXPECT_EQ(TWastedPage::WastedPercent(4095, 1), 99) << "one byte on a 4 K cluster";
  EXPECT_EQ(TWastedPage::WastedPercent(1, 2), 33);
  EXPECT_EQ(TWastedPage::WastedPercent(0, 500), 0);

  const QFontMetrics fm(QApplication::font());
  const QString path = QStringLiteral("T:\\First\\second\\third\\fourth\\fifth\\last");
  EXPECT_EQ(TWastedPage::ShortenPath(path, fm, 100000), path);
  const QString shorter = TWastedPage::ShortenPath(path, fm, fm.horizontalAdvance(path) - 10);
  EXPECT_TRUE(shorter.startsWith(QStringLiteral("T:\\First\\...\\"))) << shorter.toStdString();
  EXPECT_TRUE(shorter.endsWith(QStringLiteral("\\last"))) << shorter.toStdString();
  EXPECT_LE(fm.horizontalAdvance(shorter), fm.horizontalAdvance(path) - 10);
}

TEST(WastedPageWidget, FolderFiguresAtEverySizeAndTheRootHeaderAndLink) {
  TWastedEnv env;
  std::vector<int> help;
  SetHelpSink([&](int context, const QString&) { help.push_back(context); });
  TMainForm form({QStringLiteral("T:\\Data")});
  StartMainForm(form);
  ASSERT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
  ShowWastedPage(form);
  ASSERT_EQ(form.CurrentPage(), 3);
  ASSERT_NE(Child<TWastedPage>(form), nullptr);
  TWastedPage& page = *Child<TWastedPage>(form);

  EXPECT_EQ(page.txtWebWastedAmount->text(), QStringLiteral("Amount of space wasted by folder (+ subfolders)"));
  EXPECT_EQ(page.txtWebWastedPath->text(), QStringLiteral("T:\\Data"));
  int64_t used = 0;
  for (int64_t size : DataFileSizes) used += size;
  for (int n = 1; n <= StandardClusterCount; ++n) {
    SCOPED_TRACE(n);
    const int64_t slack = DataSlackAt(StandardClusterSizes[static_cast<size_t>(n)]);
    EXPECT_EQ(page.WastedInd[n]->Progress(), static_cast<int>(slack * 100 / (slack + used)));
    EXPECT_EQ(page.txtWasted[n]->text(), FormatSize(slack));
    EXPECT_EQ(page.txtWasted[n]->toolTip(), FormatBytes(slack));
  }
  EXPECT_GT(page.WastedInd[7]->Progress(), page.WastedInd[1]->Progress());

  QMouseEvent click(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(page.txtWebReduceWaste, &click);
  EXPECT_EQ(help, std::vector<int>{3010});

  // An empty folder shows nothing wasted anywhere.
  ASSERT_TRUE(form.SelectNode(Node(QStringLiteral("T:\\Empty"))));
  for (int n = 1; n <= StandardClusterCount; ++n) {
    EXPECT_EQ(page.WastedInd[n]->Progress(), 0);
    EXPECT_EQ(page.txtWasted[n]->text(), FormatSize(0));
  }

  // The drive root: "on drive" and the node's text, the drive topic behind the link.
  TTreeNode* root = Node(QStringLiteral("T:\\"));
  ASSERT_TRUE(form.SelectNode(root));
  EXPECT_EQ(page.txtWebWastedAmount->text(), QStringLiteral("Amount of space wasted on drive"));
  EXPECT_EQ(page.txtWebWastedPath->text(), root->Text());
  QApplication::sendEvent(page.txtWebReduceWaste, &click);
  EXPECT_EQ(help, (std::vector<int>{3010, 3020}));
}

TEST(WastedPageWidget, DriveClusterSizeHighlightsItsPanelAndWritesTheStatusText) {
  TWastedEnv env;
  TMainForm form({QStringLiteral("T:\\Data")});
  StartMainForm(form);
  ShowWastedPage(form);
  ASSERT_NE(Child<TWastedPage>(form), nullptr);
  const TWastedPage& page = *Child<TWastedPage>(form);
  ASSERT_NE(page.palette().color(QPalette::Button), page.palette().color(QPalette::Base))
      << "the style must tell the highlight from the window colour";
  const QString fileSystem = FileSystemName(QStringLiteral("T:\\"));

  struct Case {
    int32_t cluster;
    int panel;  // 0: none
    QString status;
  };
  const Case cases[] = {
      {512, 1, QStringLiteral("512 bytes Cluster (%1)").arg(fileSystem)},
      {1024, 0, QStringLiteral("1K Cluster (%1)").arg(fileSystem)},
      {4096, 3, QStringLiteral("4K Cluster (%1)").arg(fileSystem)},
      {65536, 7, QStringLiteral("64K Cluster (%1)").arg(fileSystem)},
  };
  TDriveRecInfo* drive = FindDrive('T');
  ASSERT_NE(drive, nullptr);
  TTreeNode* root = Node(QStringLiteral("T:\\"));
  TTreeNode* data = Node(QStringLiteral("T:\\Data"));
  for (const Case& k : cases) {
    SCOPED_TRACE(k.cluster);
    drive->ClusterSize = k.cluster;
    // The drive is read again on its root; moving on within the drive keeps the figures.
    ASSERT_TRUE(form.SelectNode(root));
    ASSERT_TRUE(form.SelectNode(data));
    EXPECT_EQ(form.Current().DriveClusterSize(), k.cluster);
    EXPECT_EQ(Child<QLabel>(form, "StatusPanel1")->text(), k.status);
    for (int n = 1; n <= StandardClusterCount; ++n) EXPECT_EQ(Highlighted(page, n), n == k.panel) << n;
  }
  drive->ClusterSize = 512;
  ASSERT_TRUE(form.SelectNode(Node(QStringLiteral("T:\\Data\\Sub"))));
  EXPECT_EQ(form.Current().DriveClusterSize(), 65536) << "a folder of the same drive does not read the drive again";
}

TEST(WastedPageWidget, ADriveRootFillsThePieHeaderAndTheToolWindowWithTheDrivesFigures) {
  TWastedEnv env;
  TMainForm form({QStringLiteral("T:\\Data")});
  form.CreateToolWindows();
  StartMainForm(form);
  ASSERT_TRUE(form.SelectNode(Node(QStringLiteral("T:\\"))));
  ASSERT_NE(Child<TPiePage>(form), nullptr);
  const int64_t total = TotalSpace(QStringLiteral("T:\\"));
  ASSERT_GT(total, 0);
  EXPECT_EQ(form.Current().DriveTotal(), total);
  EXPECT_EQ(Child<TPiePage>(form)->txtWebSectionDrive->text(), QStringLiteral("of T:"));
  EXPECT_EQ(Child<TPiePage>(form)->txtWebSectionDriveSize->text(), FormatSize(total));
  EXPECT_EQ(Child<TSectionSizeBox>(form)->txtDrive->text(), QStringLiteral("Drive T:"));
  EXPECT_EQ(Child<TSectionSizeBox>(form)->txtDriveCapacity->text(), FormatSize(total));
  // Free space moves while other programs write: compare with what the window read.
  EXPECT_EQ(Child<TSectionSizeBox>(form)->txtDriveFreeSpace->text(), FormatSize(form.Current().DriveFree()) + QStringLiteral(" out of"));
  EXPECT_EQ(Child<TSectionSizeBox>(form)->gaugeDriveFreeSpace->Progress(), static_cast<int>(form.Current().DriveFree() * 100 / total));
}

TEST(WastedPageWidget, ClusterStatusTextOfAnUnknownSizeIsEmpty) {
  EXPECT_EQ(ClusterStatusText(-1, QStringLiteral("ext4")), QString());
  EXPECT_EQ(ClusterStatusText(0, QString()), QString());
  EXPECT_EQ(ClusterStatusText(2048, QString()), QStringLiteral("2K Cluster ()"));
}

TEST(WastedPageWidget, ChoosingSixtyFourKChangesTheOtherFiguresButNotThisPage) {
  TWastedEnv env;
  TMainForm form({QStringLiteral("T:\\Data")});
  form.CreateToolWindows();
  StartMainForm(form);
  ShowWastedPage(form);
  ASSERT_NE(Child<TWastedPage>(form), nullptr);
  const TWastedPage& page = *Child<TWastedPage>(form);
  const TFolderSize& rec = *Node(QStringLiteral("T:\\Data"))->Data();
  QStringList before;
  for (int n = 1; n <= StandardClusterCount; ++n) before << page.txtWasted[n]->text() << QString::number(page.WastedInd[n]->Progress());
  EXPECT_EQ(Child<TSectionSizeBox>(form)->txtWasted->text(), FormatSize(rec.TotalWasted));

  Child<TFolderInfoPage>(form)->FillFolderInfo(form.Current().Node());
  Child<TPiePage>(form)->BuildFolderPie(form.Current().Node());
  ASSERT_EQ(Child<TFolderInfoPage>(form)->ShownPath(), form.Current().Path());
  ASSERT_EQ(Child<TPiePage>(form)->ShownPath(), form.Current().Path());
  Child<QComboBox>(form, "ClustersBox")->setCurrentIndex(7);
  emit Child<QComboBox>(form, "ClustersBox")->activated(7);
  EXPECT_EQ(SelectedClusterIndex, 7);
  EXPECT_EQ(form.CurrentPage(), 3);
  EXPECT_TRUE(Child<TFolderInfoPage>(form)->ShownPath().isEmpty()) << "the information page is built again with the new figures";
  EXPECT_TRUE(Child<TPiePage>(form)->ShownPath().isEmpty()) << "the pie is built again with the new figures";
  const int64_t slack = DataSlackAt(65536);
  EXPECT_EQ(SelectedTotalWasted(rec), slack);
  EXPECT_EQ(Child<TSectionSizeBox>(form)->txtWasted->text(), FormatSize(slack));
  EXPECT_EQ(Child<TSectionSizeBox>(form)->gaugeWasted->Progress(), static_cast<int>(slack * 100 / (slack + rec.TotalSize)))
      << "the share of used space, size plus wasted";
  QStringList after;
  for (int n = 1; n <= StandardClusterCount; ++n) after << page.txtWasted[n]->text() << QString::number(page.WastedInd[n]->Progress());
  EXPECT_EQ(after, before);

  // The information page shows the tree's allocated and wasted space at 64 K.
  emit Child<QTabWidget>(form, "ThePages")->tabBarClicked(TabOfPage(pgFolderInfo));
  ASSERT_EQ(form.CurrentPage(), 1);
  auto* wasted = form.findChild<QLabel*>(QStringLiteral("txtWebTreeInfoWasted"));
  auto* allocated = form.findChild<QLabel*>(QStringLiteral("txtWebTreeInfoAllocated"));
  ASSERT_TRUE(wasted && allocated);
  EXPECT_EQ(wasted->text(), FormatSize(slack));
  EXPECT_EQ(allocated->text(), FormatSize(rec.TotalSize + slack));
  emit Child<QTabWidget>(form, "ThePages")->tabBarClicked(TabOfPage(pgWasted));

  Child<QComboBox>(form, "ClustersBox")->setCurrentIndex(0);
  emit Child<QComboBox>(form, "ClustersBox")->activated(0);
  EXPECT_EQ(SelectedClusterIndex, 0);
  EXPECT_EQ(Child<TSectionSizeBox>(form)->txtWasted->text(), FormatSize(rec.TotalWasted));
}
