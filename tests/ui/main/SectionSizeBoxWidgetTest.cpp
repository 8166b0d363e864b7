// The "Wasted & Drive Info" window: its texts, gauges, placement in "PopUpBox", and showing and
// hiding with the View menu item and its setting.

#include "charts/ui/SimpleControls.h"
#include "config/FormPlacement.h"
#include "config/Options.h"
#include "config/RegHelpers.h"
#include "config/RegIniFile.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/VolumeInfo.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/MainForm.h"
#include "ui/main/ToolWindows.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

TEST(SectionSizeBoxWidget, StartsWithUnknownDriveAndShowsWhatItIsGiven) {
  TRegistryScope registry;
  QWidget owner;
  TSectionSizeBox box(&owner);
  EXPECT_EQ(box.windowTitle(), QStringLiteral("Wasted & Drive Info"));
  EXPECT_EQ(box.size(), QSize(98, 238));
  EXPECT_EQ(box.txtDrive->text(), QStringLiteral("Drive ?:"));
  EXPECT_EQ(box.txtDriveFreeSpace->text(), QStringLiteral(" out of"));
  EXPECT_EQ(box.txtDriveCapacity->text(), QString());
  EXPECT_EQ(box.txtWasted->text(), QString());
  EXPECT_EQ(box.gaugeWasted->Progress(), 0);
  // A tool window of its owner, not one that stays above every window (it covered modal dialogs).
  EXPECT_TRUE((box.windowFlags() & Qt::WindowType_Mask) == Qt::Tool);
  EXPECT_FALSE(box.windowFlags() & Qt::WindowStaysOnTopHint);

  box.ShowDrive(QLatin1Char('T'), 37, QStringLiteral("3.5 GB"), QStringLiteral("9.4 GB"));
  box.ShowWasted(12, QStringLiteral("4 KB"));
  EXPECT_EQ(box.txtDrive->text(), QStringLiteral("Drive T:"));
  EXPECT_EQ(box.txtDriveFreeSpace->text(), QStringLiteral("3.5 GB out of"));
  EXPECT_EQ(box.txtDriveCapacity->text(), QStringLiteral("9.4 GB"));
  EXPECT_EQ(box.gaugeDriveFreeSpace->Progress(), 37);
  EXPECT_EQ(box.txtWasted->text(), QStringLiteral("4 KB"));
  EXPECT_EQ(box.gaugeWasted->Progress(), 12);

  // The gauges stay centred in their panels whatever the width.
  box.show();
  box.resize(161, 300);
  QApplication::processEvents();
  EXPECT_EQ(box.gaugeWasted->x(), (box.panWasted->width() - 32) / 2);
  EXPECT_EQ(box.gaugeDriveFreeSpace->x(), (box.panFreeSpace->width() - 32) / 2);
  EXPECT_EQ(box.panWasted->width(), 161);
}

TEST(SectionSizeBoxWidget, PlacementIsSavedAndRestoredWithDefaultSizeInBetween) {
  TRegistryScope registry;
  QWidget owner;
  {
    TSectionSizeBox box(&owner);
    box.setGeometry(310, 220, 150, 270);
    box.SavePlacement();
  }
  EXPECT_EQ(RegReadInt(RegistryKeyPath, PopUpBoxSection, PlacementLeft, 0), 310);
  EXPECT_EQ(RegReadInt(RegistryKeyPath, PopUpBoxSection, PlacementTop, 0), 220);
  EXPECT_EQ(RegReadInt(RegistryKeyPath, PopUpBoxSection, PlacementWidth, 0), 150);
  EXPECT_EQ(RegReadInt(RegistryKeyPath, PopUpBoxSection, PlacementHeight, 0), 270);
  {
    TSectionSizeBox box(&owner);
    EXPECT_EQ(box.geometry(), QRect(310, 220, 150, 270));
    EXPECT_TRUE(box.property("placed").toBool()) << "a stored position is not replaced on first showing";
    box.popSectionBoxDefaultSize->trigger();
    EXPECT_EQ(box.size(), QSize(98, 238));
    EXPECT_EQ(box.pos(), QPoint(310, 220));
    box.SavePlacement();
  }
  {
    TSectionSizeBox box(&owner);
    EXPECT_EQ(box.size(), QSize(98, 238)) << "the next start restores the size last left";
  }

  // Only what is stored is applied.
  TRegIniFile regIni(RegistryKeyPath);
  regIni.EraseSection(PopUpBoxSection);
  regIni.WriteInteger(PopUpBoxSection, PlacementWidth, 120);
  regIni.WriteInteger(PopUpBoxSection, PlacementLeft, PlacementNotStored);
  regIni.Close();
  TSectionSizeBox box(&owner);
  EXPECT_EQ(box.geometry(), QRect(205, 126, 120, 238));
  EXPECT_FALSE(box.property("placed").toBool());
}

TEST(SectionSizeBoxWidget, HideAndTheViewItemFollowTheSettingAndTheBoxFollowsTheSelection) {
  TRegistryScope registry;
  TAnsweredDialogs answers;
  TFixtureTree t;
  t.Dir("Data");
  t.File("Data/a.bin", 5000);
  t.File("Data/b.bin", 100);
  TDriveScope drives({{'T', t.Root()}});
  {
    TMainForm form({QStringLiteral("T:\\Data")});
    form.CreateToolWindows();
    StartMainForm(form);
    TSectionSizeBox& box = *Child<TSectionSizeBox>(form);
    ASSERT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
    ASSERT_TRUE(form.Settings()->PieSectionSizeWindow);
    EXPECT_TRUE(box.isVisible());
    EXPECT_TRUE(Child<QAction>(form, "cmdViewPieSectionSizeWindow")->isChecked());

    // The drive and folder figures come with the selection. (Over the pie the pie's own item is
    // shown, so look from another page.)
    emit Child<QTabWidget>(form, "ThePages")->tabBarClicked(TabOfPage(pgWasted));
    ASSERT_EQ(form.CurrentPage(), 3);
    EXPECT_EQ(box.txtDrive->text(), QStringLiteral("Drive T:"));
    EXPECT_EQ(form.Current().DriveTotal(), TotalSpace(QStringLiteral("T:\\")));
    EXPECT_EQ(box.txtDriveCapacity->text(), FormatSize(form.Current().DriveTotal()));
    EXPECT_EQ(box.txtDriveFreeSpace->text(), FormatSize(form.Current().DriveFree()) + QStringLiteral(" out of"));
    ASSERT_GT(form.Current().DriveTotal(), 0);
    EXPECT_EQ(box.gaugeDriveFreeSpace->Progress(), static_cast<int>(form.Current().DriveFree() * 100 / form.Current().DriveTotal()));
    const TFolderSize& rec = *form.Current().Node()->Data();
    ASSERT_EQ(rec.TotalSize, 5100);
    EXPECT_EQ(box.txtWasted->text(), FormatSize(rec.TotalWasted));
    // The share of used space (size plus wasted), the figure the pie shows when the mouse is over
    // this folder's section.
    ASSERT_GT(rec.TotalWasted, 0);
    EXPECT_EQ(box.gaugeWasted->Progress(), static_cast<int>(rec.TotalWasted * 100 / (5100 + rec.TotalWasted)));

    // The gauges take their colours from the pie colours.
    form.Settings().Change([](TSettingValues& v) {
      v.PieColors[pcSectionWasted] = RgbToColor(1, 2, 3);
      v.PieColors[pcFreeSpace] = RgbToColor(4, 5, 6);
    });
    EXPECT_EQ(box.gaugeWasted->ForeColor(), RgbToColor(1, 2, 3));
    EXPECT_EQ(box.gaugeDriveFreeSpace->ForeColor(), RgbToColor(4, 5, 6));

    box.popSectionBoxHide->trigger();
    EXPECT_FALSE(box.isVisible());
    EXPECT_FALSE(form.Settings()->PieSectionSizeWindow);
    EXPECT_FALSE(Child<QAction>(form, "cmdViewPieSectionSizeWindow")->isChecked());

    Child<QAction>(form, "cmdViewPieSectionSizeWindow")->trigger();
    EXPECT_TRUE(box.isVisible());
    EXPECT_TRUE(form.Settings()->PieSectionSizeWindow);
    Child<QAction>(form, "cmdViewPieSectionSizeWindow")->trigger();
    EXPECT_FALSE(box.isVisible());
    EXPECT_FALSE(form.Settings()->PieSectionSizeWindow);
    form.close();
  }
  EXPECT_FALSE(RegReadBool(RegistryKeyPath, DesktopSection, QStringLiteral("PieSectionSizeWindow"), true))
      << "the hidden window is remembered";
  {
    TMainForm form({QStringLiteral("T:\\Data")});
    form.CreateToolWindows();
    StartMainForm(form);
    EXPECT_FALSE(Child<QAction>(form, "cmdViewPieSectionSizeWindow")->isChecked());
    EXPECT_FALSE(Child<TSectionSizeBox>(form)->isVisible());
  }
}
