// The "Folder Info" page on a scanned fixture drive: the figures and their tooltips, the grid
// rows, the cluster-size choice and the caching by path.

#include "config/Settings.h"
#include "scan/FolderSize.h"
#include "scan/PathFunctions.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/FolderInfoPage.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A fixture drive T scanned at start-up, with every message box and dialog answered.
class TInfoEnv {
public:
  TInfoEnv() {
    t.Dir("One");
    t.File("One/single.bin", 1);
    t.Dir("Empty");
    t.Dir("Plain/Below");
    t.File("Plain/Below/visible.bin", 3000);
    t.Dir("Secret/Below");
    t.File("Secret/Below/.hidden.bin", 10);
    t.File("Secret/shown.bin", 20);
    drives = std::make_unique<TDriveScope>(std::vector<TDriveMapping>{{'T', t.Root()}});
    SetDrivesToAutoScan(QStringLiteral("t"));
  }

  TAnsweredDialogs answered;
  TRegistryScope registry;
  TFixtureTree t;
  std::unique_ptr<TDriveScope> drives;
};

}  // namespace

TEST(FolderInfoPageWidget, RowsForADriveRootAndForAFolder) {
  TInfoEnv env;
  TMainForm form;
  StartMainForm(form);
  TFolderInfoPage& page = *form.FolderInfoPage;

  ShowFolderOnPage(form, QStringLiteral("T:\\"), 1);
  EXPECT_EQ(page.txtWebFolderInfoType->text(), QStringLiteral("Root Folder of Drive"));
  EXPECT_TRUE(page.Value(TFolderInfoPage::rowLongName).endsWith(QStringLiteral(" (T:)")));
  EXPECT_TRUE(page.Value(TFolderInfoPage::rowShortName).isEmpty()) << "a drive root has no entry of its own";
  EXPECT_TRUE(page.Value(TFolderInfoPage::rowAttributes).isEmpty());
  EXPECT_EQ(page.Value(TFolderInfoPage::rowCreation), QStringLiteral("(unknown)"));
  EXPECT_NE(page.Value(TFolderInfoPage::rowLastChange), QStringLiteral("(unknown)")) << "the record's times are known";
  EXPECT_EQ(page.Value(TFolderInfoPage::rowHidden), QStringLiteral("The folder contains Hidden files"));

  ShowFolderOnPage(form, QStringLiteral("T:\\Plain"), 1);
  EXPECT_EQ(page.txtWebFolderInfoType->text(), QStringLiteral("File Folder"));
  EXPECT_EQ(page.Value(TFolderInfoPage::rowLongName), QStringLiteral("Plain"));
  EXPECT_EQ(page.Value(TFolderInfoPage::rowShortName), QStringLiteral("PLAIN")) << "no short name: the long one in capitals";
  EXPECT_TRUE(page.Value(TFolderInfoPage::rowAttributes).contains(QStringLiteral("Directory")));
  EXPECT_EQ(page.Value(TFolderInfoPage::rowReadOnly), QStringLiteral("No Read-Only files"));
  EXPECT_EQ(page.Value(TFolderInfoPage::rowHidden), QStringLiteral("No Hidden files"));
  EXPECT_EQ(page.Value(TFolderInfoPage::rowSystem), QStringLiteral("No System files"));
  EXPECT_EQ(page.Value(TFolderInfoPage::rowCompressed), QStringLiteral("No Compressed files"));
  EXPECT_TRUE(page.Value(TFolderInfoPage::rowBlank).isEmpty());
  EXPECT_EQ(page.gridFolderInfo->item(TFolderInfoPage::rowShortName, 0)->text(), QStringLiteral("MS-DOS name"));
  EXPECT_EQ(page.txtWebFolderInfoObjects->text(), QStringLiteral("1"));
  EXPECT_EQ(page.txtWebFolderInfoObjects->toolTip(), QStringLiteral("0 file(s) and 1 subfolder(s)"));
  EXPECT_EQ(page.txtWebTreeInfoObjects->text(), QStringLiteral("2"));
  EXPECT_EQ(page.txtWebTreeInfoObjects->toolTip(), QStringLiteral("1 file(s) and 1 subfolder(s)"));

  // One hidden file two levels down is enough.
  ShowFolderOnPage(form, QStringLiteral("T:\\Secret"), 1);
  EXPECT_EQ(page.Value(TFolderInfoPage::rowHidden), QStringLiteral("The folder contains Hidden files"));
  EXPECT_EQ(page.Value(TFolderInfoPage::rowReadOnly), QStringLiteral("No Read-Only files"));
}

TEST(FolderInfoPageWidget, SizeTooltipsAreExactAndSingularForOneByte) {
  TInfoEnv env;
  TMainForm form;
  StartMainForm(form);
  TFolderInfoPage& page = *form.FolderInfoPage;
  struct Case {
    QString path;
    QString size;
    QString hint;
  };
  for (const Case& k : {Case{QStringLiteral("T:\\One"), QStringLiteral("1 bytes"), QStringLiteral("1 byte")},
                        Case{QStringLiteral("T:\\Empty"), QStringLiteral("0 bytes"), QStringLiteral("0 bytes")}}) {
    SCOPED_TRACE(k.path.toStdString());
    ShowFolderOnPage(form, k.path, 1);
    EXPECT_EQ(page.txtWebTreeInfoSize->toolTip(), k.hint);
    EXPECT_EQ(page.txtWebFolderInfoSize->toolTip(), k.hint);
    EXPECT_EQ(page.txtWebTreeInfoSize->text(), k.size);
  }
}

TEST(FolderInfoPageWidget, ClusterChoiceChangesAllocatedAndWastedOnly) {
  TInfoEnv env;
  TMainForm form;
  StartMainForm(form);
  TFolderInfoPage& page = *form.FolderInfoPage;
  ShowFolderOnPage(form, QStringLiteral("T:\\One"), 1);
  const QString size = page.txtWebTreeInfoSize->text();
  const QString objects = page.txtWebTreeInfoObjects->text();
  const QString allocated = page.txtWebTreeInfoAllocated->toolTip();

  // "64 K": one byte takes a whole cluster of 65,536 bytes.
  form.ClustersBox->setCurrentIndex(7);
  emit form.ClustersBox->activated(7);
  QApplication::processEvents();
  ASSERT_EQ(SelectedClusterIndex, 7);
  EXPECT_EQ(page.txtWebTreeInfoAllocated->text(), QStringLiteral("64 KB"));
  EXPECT_EQ(page.txtWebTreeInfoAllocated->toolTip(), QStringLiteral("65,536 bytes"));
  EXPECT_EQ(page.txtWebTreeInfoWasted->toolTip(), QStringLiteral("65,535 bytes"));
  EXPECT_EQ(page.txtWebFolderInfoAllocated->toolTip(), QStringLiteral("65,536 bytes"));
  EXPECT_EQ(page.txtWebFolderInfoWasted->toolTip(), QStringLiteral("65,535 bytes"));
  EXPECT_NE(page.txtWebTreeInfoAllocated->toolTip(), allocated);
  EXPECT_EQ(page.txtWebTreeInfoSize->text(), size);
  EXPECT_EQ(page.txtWebTreeInfoObjects->text(), objects);

  // "512": the same byte takes 512.
  form.ClustersBox->setCurrentIndex(1);
  emit form.ClustersBox->activated(1);
  QApplication::processEvents();
  EXPECT_EQ(page.txtWebTreeInfoAllocated->toolTip(), QStringLiteral("512 bytes"));
  EXPECT_EQ(page.txtWebFolderInfoWasted->toolTip(), QStringLiteral("511 bytes"));
}

TEST(FolderInfoPageWidget, SameFolderAgainIsNotRefilled) {
  TInfoEnv env;
  TMainForm form;
  StartMainForm(form);
  TFolderInfoPage& page = *form.FolderInfoPage;
  ShowFolderOnPage(form, QStringLiteral("T:\\Plain"), 1);
  EXPECT_EQ(form.InfoShownPath, QStringLiteral("T:\\Plain"));
  page.gridFolderInfo->item(TFolderInfoPage::rowLongName, 1)->setText(QStringLiteral("marker"));
  form.SelectPage(1);
  EXPECT_EQ(page.Value(TFolderInfoPage::rowLongName), QStringLiteral("marker"));
  form.InvalidateAll(true);
  EXPECT_EQ(page.Value(TFolderInfoPage::rowLongName), QStringLiteral("Plain")) << "an invalidation refills";
}
