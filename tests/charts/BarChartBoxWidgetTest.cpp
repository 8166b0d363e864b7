// The tree bar chart window on a small tree: rows, bars and texts as drawn, the status bar
// following clicks and keyboard moves, Enter and Escape, a folder without a record, the stored
// "Graph" width clamped to the window, and the settings kept for the next start.
#include "charts/ui/BarChartBox.h"

#include "charts/Canvas.h"
#include "config/RegHelpers.h"
#include "config/Settings.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/Format.h"
#include "tests/config/RegistryScope.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QKeyEvent>

#include <gtest/gtest.h>

namespace {

// Presses and releases a key on a widget, as the keyboard would.
void KeyClick(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

TTreeNode* Folder(TFolderTree& tree, TTreeNode* parent, const char16_t* name, int64_t total, int64_t files) {
  TTreeNode* node = parent ? tree.AddChild(parent, name) : tree.AddTop(name);
  auto rec = std::make_unique<TFolderSize>();
  rec->TotalSize = total;
  rec->FilesSize = files;
  tree.SetData(node, std::move(rec));
  return node;
}

// C: > Data (4000) > {Big (1000, own files 0) > {Inner (1000)}, Small (400)}, and a folder whose
// scan was cut short.
struct TChartTree {
  TFolderTree Tree;
  TTreeNode* Root = Tree.AddTop(u"C:");
  TTreeNode* Data = Folder(Tree, Root, u"Data", 4000, 2600);
  TTreeNode* Big = Folder(Tree, Data, u"Big", 1000, 0);
  TTreeNode* Inner = Folder(Tree, Big, u"Inner", 1000, 1000);
  TTreeNode* Small = Folder(Tree, Data, u"Small", 400, 400);
  TTreeNode* Cut = Tree.AddChild(Data, u"Cut");
  TChartTree() { Root->StateIndex = ('C' << 8) | 1; }
};

// The settings the window draws with: without the wasted space.
struct TSettingsScope : TSettings {
  TSettingsScope() {
    Change([](TSettingValues& v) { v.IncludeWastedInformation = false; });
  }
};

void SetGraphWidth(TBarChartBox& box, int width) { box.TheHeader->resizeSection(0, width); }

}  // namespace

TEST(BarChartBoxWidget, RowsBarsAndTexts) {
  TRegistryScope registry;
  TSettingsScope settings;
  TChartTree t;
  TBarChartBox box(nullptr, &settings);
  box.resize(600, 300);
  box.show();
  SetGraphWidth(box, 200);
  box.ShowFor(t.Data);
  EXPECT_EQ(box.windowTitle(), QStringLiteral("Tree Bar Chart - C:\\Data"));
  EXPECT_EQ(box.ChartMax, 4000);
  ASSERT_EQ(box.RowCount(), 5);
  const int bars[] = {200, 50, 50, 20, 0};
  for (int row = 0; row < 5; ++row) EXPECT_EQ(box.RowBarLength(row), bars[row]) << "row " << row;
  EXPECT_EQ(box.RowValue(4), std::nullopt);  // the folder without a record
  // What an accessibility client reads of a row: its path and the figure of its bar.
  const QModelIndex big = box.BarList->model()->index(1, 0);
  EXPECT_EQ(big.data(Qt::AccessibleTextRole).toString(), QStringLiteral("C:\\Data\\Big"));
  EXPECT_EQ(big.data(Qt::AccessibleDescriptionRole).toString(), FormatSize(*box.RowValue(1)));

  box.chkIncludeSubfolders->setChecked(false);
  const int ownFiles[] = {130, 0, 50, 20, 0};
  for (int row = 0; row < 5; ++row) EXPECT_EQ(box.RowBarLength(row), ownFiles[row]) << "row " << row;

  EXPECT_EQ(box.RowText(2), QStringLiteral("C:\\Data\\Big\\Inner"));
  box.chkShowFullPath->setChecked(false);
  EXPECT_EQ(box.RowText(0), QStringLiteral("    Data"));
  EXPECT_EQ(box.RowText(2), QStringLiteral("            Inner"));

  // What is drawn: the root's bar in the bar colour over the whole "Graph" column.
  box.chkIncludeSubfolders->setChecked(true);
  QApplication::processEvents();
  const QImage picture = box.BarList->viewport()->grab().toImage();
  // Read in the view's pixels whatever the device pixel ratio (QT_SCALE_FACTOR) of the grab.
  const auto at = [&picture](int x, int y) {
    const qreal ratio = picture.devicePixelRatio();
    return picture.pixelColor(static_cast<int>((x + 0.5) * ratio), static_cast<int>((y + 0.5) * ratio));
  };
  const QColor barColor = ColorToQColor(settings->PieColors[pcBarChartBars]);
  EXPECT_EQ(at(100, TBarChartBox::RowHeight / 2), barColor);
  EXPECT_EQ(at(25, TBarChartBox::RowHeight + TBarChartBox::RowHeight / 2), barColor);  // Big: 50 px
  EXPECT_NE(at(100, TBarChartBox::RowHeight + TBarChartBox::RowHeight / 2), barColor);
  EXPECT_NE(at(100, 4 * TBarChartBox::RowHeight + TBarChartBox::RowHeight / 2), barColor);  // Cut
  if (qEnvironmentVariableIsSet("KORVANE_GRAB_DIR"))
    box.grab().save(qEnvironmentVariable("KORVANE_GRAB_DIR") + QStringLiteral("/bar-chart.png"));
}

TEST(BarChartBoxWidget, StatusBarFollowsKeysAndEnterChooses) {
  TRegistryScope registry;
  TSettingsScope settings;
  TChartTree t;
  TBarChartBox box(nullptr, &settings);
  box.show();
  box.ShowFor(t.Data);
  EXPECT_EQ(box.txtStatusPath->text(), QStringLiteral("C:\\Data"));
  EXPECT_EQ(box.txtStatusSize->text(), FormatSize(4000));
  KeyClick(box.BarList, Qt::Key_Down);
  EXPECT_EQ(box.txtStatusPath->text(), QStringLiteral("C:\\Data\\Big"));
  KeyClick(box.BarList, Qt::Key_End);
  EXPECT_EQ(box.txtStatusPath->text(), QStringLiteral("C:\\Data\\Cut"));
  EXPECT_EQ(box.txtStatusSize->text(), QString());
  KeyClick(box.BarList, Qt::Key_Up);
  KeyClick(box.BarList, Qt::Key_Return);
  EXPECT_EQ(box.ChosenPath, QStringLiteral("C:\\Data\\Small"));
  EXPECT_EQ(box.result(), QDialog::Accepted);

  // Opening again clears the choice; Enter at once takes the root; Escape takes nothing.
  box.show();
  box.ShowFor(t.Data);
  EXPECT_TRUE(box.ChosenPath.isEmpty());
  KeyClick(box.BarList, Qt::Key_Enter);
  EXPECT_EQ(box.ChosenPath, QStringLiteral("C:\\Data"));
  box.show();
  box.ShowFor(t.Data);
  KeyClick(box.BarList, Qt::Key_Escape);
  EXPECT_TRUE(box.ChosenPath.isEmpty());
  EXPECT_EQ(box.result(), QDialog::Rejected);
  EXPECT_EQ(box.RowCount(), 0);  // closing drops the rows
}

TEST(BarChartBoxWidget, EmptyTreeAndMissingRecordDrawNoBars) {
  TRegistryScope registry;
  TSettingsScope settings;
  TFolderTree tree;
  TTreeNode* root = tree.AddTop(u"C:");
  TTreeNode* empty = Folder(tree, root, u"Empty", 0, 0);
  Folder(tree, empty, u"Also empty", 0, 0);
  TBarChartBox box(nullptr, &settings);
  box.ShowFor(empty);
  EXPECT_EQ(box.ChartMax, 0);
  EXPECT_EQ(box.RowBarLength(0), 0);
  EXPECT_EQ(box.RowBarLength(1), 0);
  box.ShowFor(root);  // the drive itself has no record
  EXPECT_EQ(box.ChartMax, 0);
  EXPECT_EQ(box.RowCount(), 3);
  EXPECT_EQ(box.RowBarLength(0), 0);
  box.ShowFor(nullptr);
  EXPECT_EQ(box.RowCount(), 0);
}

TEST(BarChartBoxWidget, SettingsComeBackAndWideGraphIsClamped) {
  TRegistryScope registry;
  TSettingsScope settings;
  {
    TBarChartBox box(nullptr, &settings);
    box.resize(520, 280);
    SetGraphWidth(box, 150);
    box.chkIncludeSubfolders->setChecked(false);
    box.SaveSettings();
  }
  EXPECT_EQ(RegReadInt(RegistryKeyPath, BarChartBoxSection, BarChartGraphWidthName, 0), 150);
  {
    TBarChartBox box(nullptr, &settings);
    EXPECT_EQ(box.GraphWidth(), 150);
    EXPECT_FALSE(box.chkIncludeSubfolders->isChecked());
    EXPECT_TRUE(box.chkShowFullPath->isChecked());
    EXPECT_EQ(box.width(), 520);
  }
  RegWriteInt(RegistryKeyPath, BarChartBoxSection, BarChartGraphWidthName, 5000);
  TBarChartBox box(nullptr, &settings);
  box.show();
  EXPECT_LE(box.GraphWidth(), box.width());
  EXPECT_GE(box.TheHeader->sectionSize(1), 0);
  box.resize(300, 200);
  QApplication::processEvents();
  EXPECT_LE(box.GraphWidth(), 300);
  EXPECT_EQ(box.GraphWidth() + box.TheHeader->sectionSize(1), box.TheHeader->width());
}
