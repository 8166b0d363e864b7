// The pie page headless: the sections built for a folder, the captions, rebuilding, and the mouse.

#include "charts/FolderColors.h"
#include "charts/FolderColorsSetting.h"
#include "charts/ui/SimpleControls.h"
#include "config/Options.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"
#include "cleanup/ui/ItemMenu.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/FolderPie.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/MainForm.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/Startup.h"
#include "ui/main/ToolWindows.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTreeView>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// Fixture drives C and T with a registry of their own; every message box and dialog is answered.
class TPieEnv {
public:
  TPieEnv() {
    c.Dir("Users");
    c.File("Users/a.txt", 5000);
    t.Dir("empty");
    // Exactly 1 degree of 36,000 bytes: small/s.bin is 100 bytes.
    t.Dir("merge/big");
    t.Dir("merge/small");
    t.File("merge/big/b.bin", 35900);
    t.File("merge/small/s.bin", 100);
    t.Dir("files");
    t.File("files/three.bin", 3);
    t.File("files/other.bin", 100);
    t.Dir("two/left/inner");
    t.Dir("two/right");
    t.File("two/left/l.bin", 6000);
    t.File("two/right/r.bin", 3000);
    t.File("two/own.bin", 1000);
    drives = std::make_unique<TDriveScope>(std::vector<TDriveMapping>{{'C', c.Root()}, {'T', t.Root()}});
    AbortScan = false;
  }

  // Shows the form, scans T, and sets the pie settings the tests start from.
  void Start(TMainForm& form) {
    StartMainForm(form);
    form.Settings().Change([](TSettingValues& v) {
      v.IncludeWastedInformation = false;
      v.ShowFileNames = false;
      v.ShowPercentInPie = 0;
      v.SortAscending = false;
      v.AutoExpand = true;
      v.AutoCollapse = true;
      v.MinFolderSectionAngle = DefaultMinFolderSectionAngle;
      v.MinFileSectionAngle = DefaultMinFileSectionAngle;
      v.MinTextSectionAngle = DefaultMinTextSectionAngle;
    });
  }

  static void Show(TMainForm& form, const QString& path) {
    ASSERT_TRUE(form.ScanCommands().GoToFolder(path));
    form.SelectPage(0);
    form.InvalidatePie();
    QApplication::processEvents();
  }

  TAnsweredDialogs answered;
  TRegistryScope registry;
  TFixtureTree c;
  TFixtureTree t;
  std::unique_ptr<TDriveScope> drives;
};

QStringList Captions(THPieChart& chart) {
  QStringList captions;
  for (int i = 0; i < chart.SectionCount(); ++i) captions << chart.SectionAt(i)->Caption;
  return captions;
}

int FindSection(THPieChart& chart, const QString& caption) {
  for (int i = 0; i < chart.SectionCount(); ++i)
    if (chart.SectionAt(i)->Caption == caption) return i;
  return -1;
}

// A point halfway out in the middle of section i (sections run counter-clockwise from the top).
QPoint InsideSection(THPieChart& chart, int index) {
  double start = 0;
  for (int i = 0; i < index; ++i) start += chart.SectionAt(i)->Angle;
  return chart.PointAt(start + chart.SectionAt(index)->Angle / 2, chart.Radius() / 2);
}

void MoveMouse(QWidget* widget, QPoint pos) {
  QMouseEvent e(QEvent::MouseMove, QPointF(pos), widget->mapToGlobal(QPointF(pos)), Qt::NoButton, Qt::NoButton,
                Qt::NoModifier);
  QApplication::sendEvent(widget, &e);
}

void Click(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
  QMouseEvent e(QEvent::MouseButtonPress, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, button,
                Qt::NoModifier);
  QApplication::sendEvent(widget, &e);
}

}  // namespace

TEST(FolderPieWidget, EmptyFolderIsOneFullSectionWithTheCaptionOfEachLabelSetting) {
  TPieEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  env.Start(form);
  const struct {
    int setting;
    QString caption;
  } cases[] = {
      {0, QStringLiteral("This folder (0 bytes)")},
      {1, QStringLiteral("This folder (0 bytes) (100%)")},
      {2, QStringLiteral("This folder (0 bytes) (") + FormatSize(0) + QLatin1Char(')')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    form.Settings().Change([&](TSettingValues& v) { v.ShowPercentInPie = c.setting; });
    TPieEnv::Show(form, QStringLiteral("T:\\empty"));
    THPieChart& chart = Child<TPiePage>(form)->Chart();
    ASSERT_EQ(chart.SectionCount(), 1);
    EXPECT_EQ(chart.SectionAt(0)->Caption, c.caption);
    EXPECT_EQ(chart.SectionAt(0)->Angle, 360.0);
    EXPECT_EQ(chart.SectionAt(0)->Color, form.Settings()->PieColors[4]);
    ASSERT_EQ(Child<TPiePage>(form)->SectionInfos.size(), 2u);
    EXPECT_EQ(Child<TPiePage>(form)->SectionInfos[1]->Kind, TSectionKind::Summary);
    EXPECT_EQ(Child<TPiePage>(form)->SectionInfos[1]->Path, QStringLiteral("This folder (0 bytes)"));
    EXPECT_EQ(Child<TPiePage>(form)->SectionInfos[0]->Path, QStringLiteral("T:\\empty"));
  }
}

TEST(FolderPieWidget, SubfolderExactlyAtTheMinimumAngleGoesIntoOtherSmallerFolders) {
  TPieEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  env.Start(form);
  TPieEnv::Show(form, QStringLiteral("T:\\merge"));
  THPieChart& chart = Child<TPiePage>(form)->Chart();
  // No own files: "Files in this folder" has no angle and does not appear either.
  EXPECT_EQ(Captions(chart), (QStringList{QStringLiteral("big"), QStringLiteral("Other smaller folders")}));
  EXPECT_EQ(Child<TPiePage>(form)->OtherFoldersSize, 100);
  EXPECT_DOUBLE_EQ(chart.SectionAt(1)->Angle, 1.0);

  // Just below the threshold the subfolder gets its own section.
  form.Settings().Change([&](TSettingValues& v) { v.MinFolderSectionAngle = 0.99; });
  form.InvalidatePie();
  EXPECT_EQ(Captions(chart), (QStringList{QStringLiteral("big"), QStringLiteral("small")}));
  const TSectionInfo& small = *Child<TPiePage>(form)->SectionInfos[chart.SectionAt(1)->InfoIndex];
  EXPECT_EQ(small.Path, QStringLiteral("T:\\merge\\small"));
  EXPECT_EQ(small.Cursor, PieCursorZoomIn);
  EXPECT_EQ(chart.SectionAt(1)->Node, small.Node);
  EXPECT_EQ(small.Node->Text(), QStringLiteral("small"));

  // The sort command rebuilds with the smallest section first.
  Child<QAction>(form, "cmdViewPieSortAscending")->trigger();
  EXPECT_TRUE(form.Settings()->SortAscending);
  EXPECT_EQ(Captions(chart), (QStringList{QStringLiteral("small"), QStringLiteral("big")}));
}

TEST(FolderPieWidget, OwnFilesSummarisedOrOneByOneWithTheDrivesSlackWhenWastedCounts) {
  TPieEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  env.Start(form);
  TPieEnv::Show(form, QStringLiteral("T:\\files"));
  THPieChart& chart = Child<TPiePage>(form)->Chart();
  const int32_t cluster = form.Current().DriveClusterSize();
  ASSERT_GT(cluster, 3);
  ASSERT_EQ(cluster, ClusterSizeOf(QStringLiteral("T:\\")));

  // Summarised: one section for the files, carrying the folder's node but the arrow cursor.
  ASSERT_EQ(Captions(chart), QStringList{QStringLiteral("Files in this folder")});
  const TSectionInfo& files = *Child<TPiePage>(form)->SectionInfos[chart.SectionAt(0)->InfoIndex];
  EXPECT_EQ(files.Node, form.Current().Node());
  EXPECT_EQ(files.Cursor, PieCursorArrow);
  EXPECT_EQ(files.Size, 103);

  const struct {
    bool wasted;
    int64_t threeValue;
    int64_t total;
  } cases[] = {
      {false, 3, 103},
      {true, cluster, 2 * int64_t(cluster)},
  };
  form.Settings().Change([&](TSettingValues& v) { v.ShowFileNames = true; });
  form.Settings().Change([&](TSettingValues& v) { v.ShowPercentInPie = 2; });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wasted);
    form.Settings().Change([&](TSettingValues& v) { v.IncludeWastedInformation = c.wasted; });
    form.InvalidateAll(true);
    const int i = FindSection(chart, QStringLiteral("three.bin (") + FormatSize(c.threeValue) + QLatin1Char(')'));
    ASSERT_GE(i, 0) << Captions(chart).join(QLatin1Char('|')).toStdString();
    EXPECT_DOUBLE_EQ(chart.SectionAt(i)->Angle, double(c.threeValue) * 360.0 / double(c.total));
    EXPECT_EQ(chart.SectionAt(i)->Color, form.Settings()->PieColors[5]);
    const TSectionInfo& info = *Child<TPiePage>(form)->SectionInfos[chart.SectionAt(i)->InfoIndex];
    EXPECT_EQ(info.Size, 3);
    EXPECT_EQ(info.Wasted, cluster - 3);
    EXPECT_EQ(info.Kind, TSectionKind::File);
    EXPECT_EQ(info.Path, QStringLiteral("T:\\files\\three.bin"));
    EXPECT_EQ(info.Node, nullptr);
    EXPECT_EQ(FindSection(chart, QStringLiteral("Files in this folder")), -1);
  }

  // Files below the file threshold end in "Other smaller files".
  form.Settings().Change([&](TSettingValues& v) { v.MinFileSectionAngle = 200; });
  form.Settings().Change([&](TSettingValues& v) { v.ShowPercentInPie = 0; });
  form.InvalidatePie();
  EXPECT_EQ(Captions(chart), QStringList{QStringLiteral("Other smaller files")});
  EXPECT_EQ(Child<TPiePage>(form)->OtherFilesSize, 103);
  EXPECT_EQ(Child<TPiePage>(form)->OtherFilesWasted, 2 * int64_t(cluster) - 103);
}

TEST(FolderPieWidget, FilesAddedSinceTheScanPushPastTheCircleAndComingBackDoesNotRebuild) {
  TPieEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  env.Start(form);
  form.Settings().Change([&](TSettingValues& v) { v.ShowFileNames = true; });
  TPieEnv::Show(form, QStringLiteral("T:\\files"));
  THPieChart& chart = Child<TPiePage>(form)->Chart();
  ASSERT_EQ(chart.SectionCount(), 2);
  const TSectionInfo* firstInfo = Child<TPiePage>(form)->SectionInfos[0].get();

  env.t.File("files/new.bin", 206);
  // Another page and back to the same folder: the pie on show is kept.
  form.SelectPage(1);
  form.SelectPage(0);
  EXPECT_EQ(chart.SectionCount(), 2);
  EXPECT_EQ(Child<TPiePage>(form)->SectionInfos[0].get(), firstInfo);

  // A rebuild reads the files again while the total still comes from the scan (103 bytes).
  form.InvalidatePie();
  ASSERT_EQ(chart.SectionCount(), 3);
  double sum = 0;
  for (int i = 0; i < chart.SectionCount(); ++i) sum += chart.SectionAt(i)->Angle;
  EXPECT_DOUBLE_EQ(sum, 309.0 * 360.0 / 103.0);
  EXPECT_EQ(chart.SectionAt(0)->Caption, QStringLiteral("new.bin"));
  // The drawing stops at the full circle: the largest section covers all of it.
  const TColor fileColor = ColorToRgb(form.Settings()->PieColors[5]);
  const QColor expected(RedOf(fileColor), GreenOf(fileColor), BlueOf(fileColor));
  const QImage& picture = Child<TPiePage>(form)->PieBitmap().Image();
  for (double angle : {10.0, 100.0, 200.0, 300.0, 350.0}) {
    // In device pixels when the screen has more than one per pixel (QT_SCALE_FACTOR).
    const QPoint p = (QPointF(chart.PointAt(angle, chart.Radius() / 2)) * picture.devicePixelRatio()).toPoint();
    EXPECT_EQ(picture.pixelColor(p), expected) << angle;
  }
}

TEST(FolderPieWidget, ThePieAndTheToolbarFollowAChangeOfTheSettings) {
  TPieEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  env.Start(form);
  TPieEnv::Show(form, QStringLiteral("T:\\files"));
  THPieChart& chart = Child<TPiePage>(form)->Chart();
  ASSERT_EQ(FindSection(chart, QStringLiteral("three.bin")), -1) << Captions(chart).join('|').toStdString();
  EXPECT_FALSE(Child<QAction>(form, "toolShowFiles")->isChecked());
  EXPECT_FALSE(Child<QAction>(form, "toolShowWasted")->isChecked());

  // Nothing but the settings change: the pie on show is built again, the buttons follow.
  const TColor fileColor = RgbToColor(12, 34, 56);
  form.Settings().Change([&](TSettingValues& v) {
    v.ShowFileNames = true;
    v.IncludeWastedInformation = true;
    v.PieColors[5] = fileColor;
  });
  const int three = FindSection(chart, QStringLiteral("three.bin"));
  ASSERT_GE(three, 0) << Captions(chart).join('|').toStdString();
  EXPECT_EQ(chart.SectionAt(three)->Color, fileColor);
  EXPECT_TRUE(Child<QAction>(form, "toolShowFiles")->isChecked());
  EXPECT_TRUE(Child<QAction>(form, "toolShowWasted")->isChecked());

  // An edit that changes nothing rebuilds nothing.
  const TSectionInfo* first = Child<TPiePage>(form)->SectionInfos[0].get();
  form.Settings().Change([](TSettingValues& v) { v.ShowFileNames = true; });
  EXPECT_EQ(Child<TPiePage>(form)->SectionInfos[0].get(), first);
}

TEST(FolderPieWidget, MouseMovesRedrawOnlyTheTwoLabelsAndFillTheHeader) {
  TPieEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  env.Start(form);
  form.Settings().Change([&](TSettingValues& v) { v.ShowFileNames = true; });
  TPieEnv::Show(form, QStringLiteral("T:\\two"));
  TPiePage& page = *Child<TPiePage>(form);
  THPieChart& chart = page.Chart();
  ASSERT_EQ(Captions(chart), (QStringList{QStringLiteral("left"), QStringLiteral("right"), QStringLiteral("own.bin")}));
  EXPECT_EQ(page.txtWebFolderName->text(), QStringLiteral("two"));

  MoveMouse(page.FolderPie, InsideSection(chart, 0));
  EXPECT_EQ(page.PieHotSection, 0);
  EXPECT_EQ(page.FolderPie->PieCursor(), PieCursorZoomIn);
  EXPECT_EQ(Child<QLabel>(form, "StatusPanel0")->text(), QStringLiteral("Folder T:\\two\\left"));
  EXPECT_EQ(page.txtWebFolderName->text(), QStringLiteral("left"));
  EXPECT_EQ(page.txtWebFolderSize->text(), FormatSize(6000));
  EXPECT_EQ(page.CurrentPieItem.Path, QStringLiteral("T:\\two\\left"));

  const QImage before = page.FolderPie->Screen().copy();
  page.FolderPie->PaintedRects.clear();
  MoveMouse(page.FolderPie, InsideSection(chart, 2));
  ASSERT_EQ(page.FolderPie->PaintedRects.size(), 2u);
  EXPECT_EQ(page.PieHotSection, 2);
  EXPECT_EQ(page.FolderPie->PieCursor(), PieCursorArrow);
  EXPECT_EQ(Child<QLabel>(form, "StatusPanel0")->text(), QStringLiteral("File T:\\two\\own.bin"));
  EXPECT_EQ(page.txtWebFolderName->text(), QStringLiteral("own.bin"));
  // Nothing outside the two label boxes changed on screen.
  const QImage after = page.FolderPie->Screen();
  int changedOutside = 0;
  int changedInside = 0;
  const qreal scale = after.devicePixelRatio();
  for (int y = 0; y < after.height(); ++y)
    for (int x = 0; x < after.width(); ++x) {
      if (before.pixel(x, y) == after.pixel(x, y)) continue;
      const int px = static_cast<int>(x / scale), py = static_cast<int>(y / scale);
      bool inBox = false;
      for (const TRect& r : page.FolderPie->PaintedRects)
        inBox = inBox || (px >= r.Left && px < r.Right && py >= r.Top && py < r.Bottom);
      ++(inBox ? changedInside : changedOutside);
    }
  EXPECT_EQ(changedOutside, 0);
  EXPECT_GT(changedInside, 0);

  // Within the same section no label is redrawn.
  page.FolderPie->PaintedRects.clear();
  MoveMouse(page.FolderPie, InsideSection(chart, 2) + QPoint(1, 0));
  EXPECT_TRUE(page.FolderPie->PaintedRects.empty());

  // Outside the disk: the folder itself, with the cursor for going up.
  MoveMouse(page.FolderPie, QPoint(1, 1));
  EXPECT_EQ(page.PieHotSection, -1);
  EXPECT_EQ(page.FolderPie->PieCursor(), PieCursorZoomOut);
  EXPECT_EQ(Child<QLabel>(form, "StatusPanel0")->text(), QStringLiteral("Folder T:\\two"));

  // A summary: its text, no type line, and no context menu on a right click.
  form.Settings().Change([&](TSettingValues& v) { v.MinFolderSectionAngle = 150; });
  form.InvalidatePie();
  const int other = FindSection(chart, QStringLiteral("Other smaller folders"));
  ASSERT_GE(other, 0);
  MoveMouse(page.FolderPie, InsideSection(chart, other));
  EXPECT_EQ(Child<QLabel>(form, "StatusPanel0")->text(), QStringLiteral("Other smaller folders"));
  EXPECT_EQ(page.txtWebFolderName->text(), QStringLiteral("Other smaller folders"));
  EXPECT_TRUE(page.txtWebFolderType->text().isEmpty());
  EXPECT_EQ(page.CurrentPieItem.Info->Kind, TSectionKind::Summary);
}

TEST(FolderPieWidget, ClicksOpenASubfolderAndGoUpFromOutsideTheDisk) {
  TPieEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  env.Start(form);
  TPieEnv::Show(form, QStringLiteral("T:\\two"));
  TPiePage& page = *Child<TPiePage>(form);
  THPieChart& chart = page.Chart();
  const int left = FindSection(chart, QStringLiteral("left"));
  ASSERT_GE(left, 0);
  TTreeNode* two = form.Current().Node();
  Child<QTreeView>(form, "FolderTree")->collapse(form.Model().IndexOf(two));

  // A file or summary section does nothing; "Files in this folder" keeps the folder and expands it.
  Click(page.FolderPie, InsideSection(chart, FindSection(chart, QStringLiteral("Files in this folder"))));
  EXPECT_EQ(form.Current().Node(), two);
  EXPECT_TRUE(Child<QTreeView>(form, "FolderTree")->isExpanded(form.Model().IndexOf(two)));

  Click(page.FolderPie, InsideSection(chart, left));
  QApplication::processEvents();
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\two\\left"));
  EXPECT_EQ(Child<TPiePage>(form)->ShownPath(), QStringLiteral("T:\\two\\left"));
  TTreeNode* leftNode = form.Current().Node();
  EXPECT_TRUE(Child<QTreeView>(form, "FolderTree")->isExpanded(form.Model().IndexOf(leftNode)));

  // Outside the disk: back to the parent, the folder left collapsed.
  Click(page.FolderPie, QPoint(1, 1));
  QApplication::processEvents();
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\two"));
  EXPECT_EQ(Child<TPiePage>(form)->ShownPath(), QStringLiteral("T:\\two"));
  EXPECT_FALSE(Child<QTreeView>(form, "FolderTree")->isExpanded(form.Model().IndexOf(leftNode)));
  EXPECT_TRUE(Child<QTreeView>(form, "FolderTree")->isExpanded(form.Model().IndexOf(two)));

  // On a drive root there is no parent: the arrow, and a click outside changes nothing.
  TPieEnv::Show(form, QStringLiteral("T:\\"));
  MoveMouse(page.FolderPie, QPoint(1, 1));
  EXPECT_EQ(page.FolderPie->PieCursor(), PieCursorArrow);
  EXPECT_EQ(page.txtWebFolderType->text(), QStringLiteral("Root Folder of Drive"));
  Click(page.FolderPie, QPoint(1, 1));
  QApplication::processEvents();
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\"));
}

TEST(FolderPieWidget, HeaderSizeDriveShareAndWastedShareFollowTheWastedSetting) {
  TPieEnv env;
  // With its tool windows, as the program creates it.
  std::unique_ptr<TMainForm> owner = CreateMainWindows({QStringLiteral("T:\\")});
  ASSERT_NE(owner, nullptr);
  TMainForm& form = *owner;
  env.Start(form);
  TPieEnv::Show(form, QStringLiteral("T:\\two"));
  TPiePage& page = *Child<TPiePage>(form);
  ASSERT_NE(Child<TSectionSizeBox>(form), nullptr);
  const struct {
    bool wasted;
    int64_t shown;
    int driveShare;
  } cases[] = {{true, 16384, 50}, {false, 10000, 30}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wasted);
    form.Settings().Change([&](TSettingValues& v) { v.IncludeWastedInformation = c.wasted; });
    form.Current().SetDrive(form.Current().Drive(), form.Current().DriveClusterSize(), 32768, form.Current().DriveFree());
    page.ShowPieItem(QStringLiteral("ignored"), QStringLiteral("T:\\two\\left"), TSectionKind::Folder, 6384, 10000);
    EXPECT_EQ(page.txtWebFolderSize->text(), FormatSize(c.shown));
    EXPECT_EQ(page.gaugeWebSection->Progress(), c.driveShare);
    // The wasted share is of size plus wasted either way.
    EXPECT_EQ(Child<TSectionSizeBox>(form)->gaugeWasted->Progress(), 38);
    EXPECT_EQ(Child<TSectionSizeBox>(form)->txtWasted->text(), FormatSize(6384));
    EXPECT_EQ(Child<QLabel>(form, "StatusPanel0")->text(), QStringLiteral("Folder T:\\two\\left"));
  }
  form.Current().SetDrive(form.Current().Drive(), form.Current().DriveClusterSize(), 0, form.Current().DriveFree());
  // A figure larger than the drive (sparse files) fills the gauge and says so, not "of T:".
  form.Settings().Change([](TSettingValues& s) { s.IncludeWastedInformation = false; });
  form.Current().SetDrive(form.Current().Drive(), form.Current().DriveClusterSize(), 5000, form.Current().DriveFree());
  page.ShowPieItem(QString(), QStringLiteral("T:\\two\\left"), TSectionKind::Folder, 0, 10000);
  EXPECT_EQ(page.gaugeWebSection->Progress(), 100);
  EXPECT_EQ(page.txtWebSectionDrive->text(), QStringLiteral("larger than T:"));
  form.Current().SetDrive(form.Current().Drive(), form.Current().DriveClusterSize(), 32768, form.Current().DriveFree());
  page.ShowPieItem(QString(), QStringLiteral("T:\\two\\left"), TSectionKind::Folder, 0, 10000);
  EXPECT_EQ(page.txtWebSectionDrive->text(), QStringLiteral("of T:"));
  form.Current().SetDrive(form.Current().Drive(), form.Current().DriveClusterSize(), 0, form.Current().DriveFree());
  page.ShowPieItem(QString(), QStringLiteral("Other smaller files"), TSectionKind::Summary, 0, 0);
  EXPECT_EQ(page.gaugeWebSection->Progress(), 0);
  EXPECT_EQ(Child<TSectionSizeBox>(form)->gaugeWasted->Progress(), 0);
  EXPECT_EQ(Child<QLabel>(form, "StatusPanel0")->text(), QStringLiteral("Other smaller files"));
}

TEST(FolderPieWidget, SelectedClusterSizeCountsForFoldersAndTheDrivesOwnForFiles) {
  TPieEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  env.Start(form);
  struct TRestore {
    int32_t Index = SelectedClusterIndex;
    ~TRestore() { SelectedClusterIndex = Index; }
  } restore;
  SelectedClusterIndex = 7;  // 64 KB clusters
  form.Settings().Change([&](TSettingValues& v) { v.ShowFileNames = true; });
  form.Settings().Change([&](TSettingValues& v) { v.IncludeWastedInformation = true; });
  TPieEnv::Show(form, QStringLiteral("T:\\two"));
  THPieChart& chart = Child<TPiePage>(form)->Chart();
  const int32_t cluster = form.Current().DriveClusterSize();
  ASSERT_NE(cluster, StandardClusterSizes[7]);
  const TSectionInfo& self = *Child<TPiePage>(form)->SectionInfos[0];
  EXPECT_EQ(self.Wasted, TotalWastedAt(*form.Current().Node()->Data(), 7));
  const int64_t total = self.Size + self.Wasted;
  for (int i = 0; i < chart.SectionCount(); ++i) {
    const TSectionInfo& info = *Child<TPiePage>(form)->SectionInfos[chart.SectionAt(i)->InfoIndex];
    SCOPED_TRACE(info.Name.toStdString());
    const int64_t expectedWasted = info.Kind == TSectionKind::File ? ClusterSlack(cluster, info.Size)
                                                                   : TotalWastedAt(*info.Node->Data(), 7);
    EXPECT_EQ(info.Wasted, expectedWasted);
    EXPECT_DOUBLE_EQ(chart.SectionAt(i)->Angle, double(info.Size + info.Wasted) * 360.0 / double(total));
  }
  EXPECT_GE(FindSection(chart, QStringLiteral("own.bin")), 0);
}

TEST(FolderPieWidget, RightClickOpensTheMenuOfAFileOrFolderButNotOfASummary) {
  TPieEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  env.Start(form);
  std::vector<int> menus;
  SetShellMenuChooser([&menus](const QList<TShellCommand>& enabled) {
    menus.push_back(static_cast<int>(enabled.size()));
    return TShellCommand::None;
  });
  struct TRestore {
    ~TRestore() { SetShellMenuChooser(nullptr); }
  } restore;
  TPieEnv::Show(form, QStringLiteral("T:\\two"));
  TPiePage& page = *Child<TPiePage>(form);
  THPieChart& chart = page.Chart();
  // Nothing under the mouse yet since the rebuild: no menu.
  Click(page.FolderPie, InsideSection(chart, 0), Qt::RightButton);
  EXPECT_TRUE(menus.empty());
  MoveMouse(page.FolderPie, InsideSection(chart, FindSection(chart, QStringLiteral("Files in this folder"))));
  Click(page.FolderPie, InsideSection(chart, 0), Qt::RightButton);
  EXPECT_TRUE(menus.empty());
  MoveMouse(page.FolderPie, InsideSection(chart, FindSection(chart, QStringLiteral("left"))));
  Click(page.FolderPie, InsideSection(chart, 0), Qt::RightButton);
  EXPECT_EQ(menus.size(), 1u);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\two"));
}

TEST(FolderPieWidget, EachFolderHasAColourOfItsOwnByRankAndTheSingleColourIsOneSettingAway) {
  TPieEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  env.Start(form);
  ASSERT_TRUE(FolderColorsSetting().ColorEachFolder()) << "on for new settings";
  TPieEnv::Show(form, QStringLiteral("T:\\two"));
  THPieChart& chart = Child<TPiePage>(form)->Chart();
  ASSERT_EQ(Captions(chart), (QStringList{QStringLiteral("left"), QStringLiteral("right"),
                                          QString::fromLatin1(FilesInThisFolderText)}));
  EXPECT_EQ(chart.SectionAt(0)->Color, FolderPalette[0]);
  EXPECT_EQ(chart.SectionAt(1)->Color, FolderPalette[1]);
  EXPECT_EQ(chart.SectionAt(2)->Color, form.Settings()->PieColors[pcFilesInCurrentFolder]);
  if (qEnvironmentVariableIsSet("KORVANE_GRAB_DIR"))
    form.grab().save(qEnvironmentVariable("KORVANE_GRAB_DIR") + QStringLiteral("/pie-colour-each-folder.png"));

  // Shown smallest first, every folder keeps its colour.
  Child<QAction>(form, "cmdViewPieSortAscending")->trigger();
  ASSERT_EQ(chart.SectionAt(0)->Caption, QString::fromLatin1(FilesInThisFolderText));
  EXPECT_EQ(chart.SectionAt(1)->Color, FolderPalette[1]);
  EXPECT_EQ(chart.SectionAt(2)->Color, FolderPalette[0]);

  FolderColorsSetting().SetColorEachFolder(false);
  TPieEnv::Show(form, QStringLiteral("T:\\two"));
  EXPECT_EQ(chart.SectionAt(1)->Color, form.Settings()->PieColors[pcNormalFolder]);
  EXPECT_EQ(chart.SectionAt(2)->Color, form.Settings()->PieColors[pcNormalFolder]);
  FolderColorsSetting().SetColorEachFolder(true);
}
