// The "Folder Info" page on a scanned fixture drive: the figures and their tooltips, the grid
// rows, the cluster-size choice and the caching by path.

#include "config/Settings.h"
#include "scan/FolderSize.h"
#include "scan/PathFunctions.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "reports/FolderInfoRows.h"
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

// What the page shows is what the folder-information builder gives (its rows and figures are
// checked in the core tests); here: that the page draws every text and hint of it, the header
// included, for a drive root and for folders.
void ExpectPageShows(TMainForm& form, const QString& path) {
  SCOPED_TRACE(path.toStdString());
  ShowFolderOnPage(form, path, 1);
  const TFolderInfoPage& page = *Child<TFolderInfoPage>(form);
  const TFolderInfo info = BuildFolderInfo(*form.Current().Node(), path, SelectedClusterIndex);
  EXPECT_EQ(page.txtWebFolderInfoType->text(), info.TypeText);
  EXPECT_EQ(page.txtWebFolderInfoPath->text(),
            page.txtWebFolderInfoPath->fontMetrics().elidedText(info.PathText, Qt::ElideMiddle,
                                                                page.txtWebFolderInfoPath->width()));
  for (int r = 0; r < TFolderInfoPage::RowCount; ++r) {
    EXPECT_EQ(page.gridFolderInfo->item(r, 0)->text(), QLatin1String(FolderInfoRowLabels[static_cast<size_t>(r)]));
    EXPECT_EQ(page.Value(r), info.Values[static_cast<size_t>(r)]) << "row " << r;
  }
  const QLabel* tree[] = {page.txtWebTreeInfoSize, page.txtWebTreeInfoAllocated, page.txtWebTreeInfoWasted,
                          page.txtWebTreeInfoObjects};
  const QLabel* folder[] = {page.txtWebFolderInfoSize, page.txtWebFolderInfoAllocated, page.txtWebFolderInfoWasted,
                            page.txtWebFolderInfoObjects};
  for (int f = 0; f < FolderInfoFigureCount; ++f) {
    EXPECT_EQ(tree[f]->text(), info.Tree[static_cast<size_t>(f)].Text) << "figure " << f;
    EXPECT_EQ(tree[f]->toolTip(), info.Tree[static_cast<size_t>(f)].Hint) << "figure " << f;
    EXPECT_EQ(folder[f]->text(), info.Folder[static_cast<size_t>(f)].Text) << "figure " << f;
    EXPECT_EQ(folder[f]->toolTip(), info.Folder[static_cast<size_t>(f)].Hint) << "figure " << f;
  }
  EXPECT_EQ(page.txtWebTreeInfoOnDisk->text(), info.TreeOnDisk.Text);
  EXPECT_EQ(page.txtWebTreeInfoOnDisk->toolTip(), info.TreeOnDisk.Hint);
  EXPECT_EQ(page.txtWebFolderInfoOnDisk->text(), info.FolderOnDisk.Text);
  EXPECT_EQ(page.txtWebFolderInfoOnDisk->toolTip(), info.FolderOnDisk.Hint);
}

}  // namespace

TEST(FolderInfoPageWidget, RowsForADriveRootAndForAFolder) {
  TInfoEnv env;
  TMainForm form;
  StartMainForm(form);
  for (const QString& path : {QStringLiteral("T:\\"), QStringLiteral("T:\\Plain"), QStringLiteral("T:\\Secret")})
    ExpectPageShows(form, path);
}

TEST(FolderInfoPageWidget, SizeTooltipsAreExactAndSingularForOneByte) {
  TInfoEnv env;
  TMainForm form;
  StartMainForm(form);
  for (const QString& path : {QStringLiteral("T:\\One"), QStringLiteral("T:\\Empty")}) ExpectPageShows(form, path);
}

TEST(FolderInfoPageWidget, ClusterChoiceChangesAllocatedAndWastedOnly) {
  TInfoEnv env;
  TMainForm form;
  StartMainForm(form);
  TFolderInfoPage& page = *Child<TFolderInfoPage>(form);
  ShowFolderOnPage(form, QStringLiteral("T:\\One"), 1);
  const QString size = page.txtWebTreeInfoSize->text();
  const QString objects = page.txtWebTreeInfoObjects->text();
  const QString allocated = page.txtWebTreeInfoAllocated->toolTip();

  // "64 K": one byte takes a whole cluster of 65,536 bytes.
  Child<QComboBox>(form, "ClustersBox")->setCurrentIndex(7);
  emit Child<QComboBox>(form, "ClustersBox")->activated(7);
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
  Child<QComboBox>(form, "ClustersBox")->setCurrentIndex(1);
  emit Child<QComboBox>(form, "ClustersBox")->activated(1);
  QApplication::processEvents();
  EXPECT_EQ(page.txtWebTreeInfoAllocated->toolTip(), QStringLiteral("512 bytes"));
  EXPECT_EQ(page.txtWebFolderInfoWasted->toolTip(), QStringLiteral("511 bytes"));
}

TEST(FolderInfoPageWidget, SameFolderAgainIsNotRefilled) {
  TInfoEnv env;
  TMainForm form;
  StartMainForm(form);
  TFolderInfoPage& page = *Child<TFolderInfoPage>(form);
  ShowFolderOnPage(form, QStringLiteral("T:\\Plain"), 1);
  EXPECT_EQ(Child<TFolderInfoPage>(form)->ShownPath(), QStringLiteral("T:\\Plain"));
  page.gridFolderInfo->item(TFolderInfoPage::rowLongName, 1)->setText(QStringLiteral("marker"));
  form.SelectPage(1);
  EXPECT_EQ(page.Value(TFolderInfoPage::rowLongName), QStringLiteral("marker"));
  form.InvalidateAll(true);
  EXPECT_EQ(page.Value(TFolderInfoPage::rowLongName), QStringLiteral("Plain")) << "an invalidation refills";
}
