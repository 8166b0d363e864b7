// The "Subfolders" page on a scanned fixture drive: the three display modes, the threshold, the
// sorting, double click, "Up One Level" and the saved values.

#include "config/FoldersDisplay.h"
#include "config/RegHelpers.h"
#include "config/Settings.h"
#include "scan/FolderSize.h"
#include "cleanup/ui/ItemMenu.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/MainForm.h"
#include "ui/main/SubfoldersPage.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Drive T with T:\Big holding subfolders of chosen sizes, scanned at start-up.
class TListEnv {
public:
  TListEnv() {
    t.Dir("Big/Exact");
    t.File("Big/Exact/f.bin", 1048576);
    t.Dir("Big/Short");
    t.File("Big/Short/f.bin", 1048575);
    t.Dir("Big/Kilo999");
    t.File("Big/Kilo999/f.bin", 999 * 1024);
    t.Dir("Big/Kilo1000");
    t.File("Big/Kilo1000/f.bin", 1000 * 1024);
    t.Dir("Big/Tiny");
    t.File("Big/Tiny/f.bin", 10);
    t.Dir("Four/a");
    t.File("Four/a/f.bin", 4000);
    t.Dir("Four/b");
    t.File("Four/b/f.bin", 9000);
    t.Dir("Four/c");
    t.File("Four/c/f.bin", 2000);
    t.Dir("Four/d");
    t.File("Four/d/f.bin", 6000);
    t.Dir("Leaf");
    drives = std::make_unique<TDriveScope>(std::vector<TDriveMapping>{{'T', t.Root()}});
    SetDrivesToAutoScan(QStringLiteral("t"));
  }

  TAnsweredDialogs answered;
  TRegistryScope registry;
  TFixtureTree t;
  std::unique_ptr<TDriveScope> drives;
};

QStringList Names(const TSubfoldersPage& page) {
  QStringList names;
  for (int i = 0; i < page.TheFilesList->topLevelItemCount(); ++i) names << page.TheFilesList->topLevelItem(i)->text(0);
  return names;
}

QStringList MarkedCaptions(const TSubfoldersPage& page) {
  QStringList marked;
  for (int c = 0; c < TSubfoldersPage::ColumnCount; ++c) {
    const QString caption = page.TheFilesList->headerItem()->text(c);
    if (caption.startsWith(QLatin1Char('-'))) marked << caption;
  }
  return marked;
}

// Types text into widget one key at a time, as the keyboard would.
void TypeKeys(QWidget* widget, const QString& text) {
  for (const QChar ch : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(widget, &release);
  }
}

void RightButtonDown(QWidget* widget, QPoint pos) {
  QMouseEvent press(QEvent::MouseButtonPress, pos, widget->mapToGlobal(pos), Qt::RightButton, Qt::RightButton,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

}  // namespace

TEST(SubfoldersPageWidget, LargerThanOneMegabyteListsExactlyOneMegabyte) {
  TListEnv env;
  TMainForm form;
  StartMainForm(form);
  TSubfoldersPage& page = *Child<TSubfoldersPage>(form);
  ShowFolderOnPage(form, QStringLiteral("T:\\Big"), 2);
  EXPECT_EQ(page.TheFilesList->topLevelItemCount(), 5) << "all folders by default";

  struct Case {
    bool withWasted;
    QStringList listed;
  };
  // With the wasted space counted, one byte short of 1 MB still fills its last cluster.
  for (const Case& k : {Case{false, {QStringLiteral("Exact")}}, Case{true, {QStringLiteral("Exact"), QStringLiteral("Short")}}}) {
    SCOPED_TRACE(k.withWasted);
    form.Settings().Change([&](TSettingValues& v) { v.IncludeWastedInformation = k.withWasted; });
    page.cbFoldersDisplayType->setCurrentIndex(TSubfoldersPage::dtLargerThan);
    page.cbFoldersLargerThanBytes->setCurrentIndex(2);
    page.udFoldersLargerThan->setValue(1);
    EXPECT_EQ(page.Threshold(), 1048576);
    form.InvalidateAll(true);
    QStringList names = Names(page);
    names.sort();
    EXPECT_EQ(names, k.listed);
    EXPECT_EQ(page.SubfolderSort(), k.withWasted ? -3 : -2) << "the first two modes sort by size, largest first";
    EXPECT_EQ(MarkedCaptions(page), QStringList{k.withWasted ? QStringLiteral("-> Allocated") : QStringLiteral("-> Size")});
  }
  EXPECT_FALSE(page.cbFoldersTop->isVisible());
  EXPECT_TRUE(page.udFoldersLargerThan->isVisible());
}

TEST(SubfoldersPageWidget, TopModeKeepsTheLargestAndSoundTopTexts) {
  TListEnv env;
  TMainForm form;
  StartMainForm(form);
  TSubfoldersPage& page = *Child<TSubfoldersPage>(form);
  form.Settings().Change([&](TSettingValues& v) { v.IncludeWastedInformation = false; });
  ShowFolderOnPage(form, QStringLiteral("T:\\Four"), 2);
  page.cbFoldersDisplayType->setCurrentIndex(TSubfoldersPage::dtTop);
  EXPECT_TRUE(page.cbFoldersTop->isVisible());
  EXPECT_FALSE(page.udFoldersLargerThan->isVisible());

  struct Case {
    QString text;
    QString shown;
    QStringList names;
  };
  const QStringList all{QStringLiteral("b"), QStringLiteral("d"), QStringLiteral("a"), QStringLiteral("c")};
  // Text that is no number, or a negative one, counts as 10.
  for (const Case& k : {Case{QStringLiteral("10"), QStringLiteral("10"), all},
                        Case{QStringLiteral("2"), QStringLiteral("2"), {QStringLiteral("b"), QStringLiteral("d")}},
                        Case{QStringLiteral("0"), QStringLiteral("0"), {}},
                        Case{QStringLiteral("abc"), QStringLiteral("10"), all},
                        Case{QStringLiteral("-3"), QStringLiteral("10"), all}}) {
    SCOPED_TRACE(k.text.toStdString());
    page.cbFoldersTop->setEditText(k.text);
    EXPECT_EQ(Names(page), k.names);
    EXPECT_EQ(page.cbFoldersTop->currentText(), k.shown);
  }
}

TEST(SubfoldersPageWidget, ColumnClicksSortAndSizesCompareByLengthFirst) {
  TListEnv env;
  TMainForm form;
  StartMainForm(form);
  TSubfoldersPage& page = *Child<TSubfoldersPage>(form);
  ShowFolderOnPage(form, QStringLiteral("T:\\Big"), 2);
  ASSERT_EQ(page.SubfolderSort(), 1);
  EXPECT_EQ(Names(page), (QStringList{QStringLiteral("Exact"), QStringLiteral("Kilo1000"), QStringLiteral("Kilo999"),
                                      QStringLiteral("Short"), QStringLiteral("Tiny")}));

  page.TheFilesListColumnClick(TSubfoldersPage::colSize);
  EXPECT_EQ(page.SubfolderSort(), 2);
  EXPECT_EQ(MarkedCaptions(page), QStringList{QStringLiteral("-> Size")});
  const QStringList ascending{QStringLiteral("Tiny"), QStringLiteral("Kilo999"), QStringLiteral("Kilo1000")};
  const QStringList names = Names(page);
  ASSERT_EQ(names.size(), 5);
  EXPECT_EQ(names.mid(0, 3), ascending.mid(0, 3)) << "999 KB before 1,000 KB";
  EXPECT_EQ(page.TheFilesList->topLevelItem(1)->text(1), QStringLiteral("999 KB"));
  EXPECT_EQ(page.TheFilesList->topLevelItem(2)->text(1), QStringLiteral("1,000 KB"));

  page.TheFilesListColumnClick(TSubfoldersPage::colSize);
  EXPECT_EQ(page.SubfolderSort(), -2);
  // "Exact" and "Short" both read "1,024 KB" and lead in either order.
  EXPECT_EQ(Names(page).mid(2), (QStringList{QStringLiteral("Kilo1000"), QStringLiteral("Kilo999"), QStringLiteral("Tiny")}));
  EXPECT_EQ(MarkedCaptions(page), QStringList{QStringLiteral("-> Size")});

  page.TheFilesListColumnClick(TSubfoldersPage::colObjects);
  EXPECT_EQ(page.SubfolderSort(), 6);
  EXPECT_EQ(MarkedCaptions(page), QStringList{QStringLiteral("-> Objects")}) << "one column carries the marker";

  // The comparison itself: equal texts compare as 0 both ways.
  const QTreeWidgetItem* first = page.TheFilesList->topLevelItem(0);
  EXPECT_EQ(TSubfoldersPage::TheFilesListCompare(first, first, -4), 0);
}

TEST(SubfoldersPageWidget, DoubleClickMatchesNamesInAnyCaseAndUpOneLevel) {
  TListEnv env;
  TMainForm form;
  StartMainForm(form);
  TSubfoldersPage& page = *Child<TSubfoldersPage>(form);
  ShowFolderOnPage(form, QStringLiteral("T:\\Big"), 2);
  EXPECT_TRUE(page.panWebListLevelUp->isVisible());

  page.TheFilesListDblClick();
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Big")) << "no row selected: nothing happens";

  QTreeWidgetItem* row = page.TheFilesList->findItems(QStringLiteral("Kilo999"), Qt::MatchExactly).value(0);
  ASSERT_TRUE(row);
  row->setText(0, QStringLiteral("KILO999"));
  page.TheFilesList->setCurrentItem(row);
  page.TheFilesListDblClick();
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Big\\Kilo999"));
  EXPECT_EQ(form.CurrentPage(), 2);
  EXPECT_EQ(page.TheFilesList->topLevelItemCount(), 0) << "a folder without subfolders lists nothing";

  page.shapeWebUpOneLevelMouseUp();
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Big"));
  page.shapeWebUpOneLevelMouseUp();
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\"));
  EXPECT_FALSE(page.panWebListLevelUp->isVisible()) << "no level up from a drive root";
}

TEST(SubfoldersPageWidget, FiveValuesComeBackAtTheNextStart) {
  TListEnv env;
  {
    TMainForm form;
    StartMainForm(form);
    TSubfoldersPage& page = *Child<TSubfoldersPage>(form);
    EXPECT_EQ(page.cbFoldersDisplayType->currentIndex(), TSubfoldersPage::dtAll);
    EXPECT_EQ(page.cbFoldersLargerThanBytes->currentText(), QStringLiteral("KB"));
    EXPECT_EQ(page.udFoldersLargerThan->value(), 1);
    ShowFolderOnPage(form, QStringLiteral("T:\\Big"), 2);
    page.TheFilesListColumnClick(TSubfoldersPage::colLastChange);
    page.TheFilesListColumnClick(TSubfoldersPage::colLastChange);
    page.udFoldersLargerThan->setValue(300);
    page.cbFoldersLargerThanBytes->setCurrentIndex(0);
    page.cbFoldersTop->setEditText(QStringLiteral("25"));
    page.cbFoldersDisplayType->setCurrentIndex(TSubfoldersPage::dtLargerThan);
    page.TheFilesListColumnClick(TSubfoldersPage::colName);
    page.TheFilesListColumnClick(TSubfoldersPage::colName);
    form.close();
  }
  EXPECT_EQ(RegReadInt(RegistryKeyPath, OptionsSection, FoldersDisplayTypeName, -1), 1);
  EXPECT_EQ(RegReadInt(RegistryKeyPath, OptionsSection, FoldersDisplayTopXName, -1), 25);
  EXPECT_EQ(RegReadInt(RegistryKeyPath, OptionsSection, FoldersDisplayLargerThanName, -1), 300);
  EXPECT_EQ(RegReadInt(RegistryKeyPath, OptionsSection, FoldersDisplayLargerThanUnitName, -1), 0);
  EXPECT_EQ(RegReadInt(RegistryKeyPath, OptionsSection, FoldersDisplaySortName, 0), -1);
  TMainForm form;
  StartMainForm(form);
  TSubfoldersPage& page = *Child<TSubfoldersPage>(form);
  EXPECT_EQ(page.cbFoldersDisplayType->currentIndex(), TSubfoldersPage::dtLargerThan);
  EXPECT_EQ(page.udFoldersLargerThan->value(), 300);
  EXPECT_EQ(page.cbFoldersTop->currentText(), QStringLiteral("25"));
  EXPECT_EQ(MarkedCaptions(page), QStringList{QStringLiteral("-> Name")});
}

TEST(SubfoldersPageWidget, ThresholdEditTakesDigitsOnlyAndRowMenuNeedsARow) {
  TListEnv env;
  TMainForm form;
  StartMainForm(form);
  TSubfoldersPage& page = *Child<TSubfoldersPage>(form);
  ShowFolderOnPage(form, QStringLiteral("T:\\Big"), 2);
  page.cbFoldersDisplayType->setCurrentIndex(TSubfoldersPage::dtLargerThan);
  page.ediFoldersLargerThan->clear();
  TypeKeys(page.ediFoldersLargerThan, QStringLiteral("1x-2"));
  page.udFoldersLargerThan->interpretText();
  EXPECT_EQ(page.udFoldersLargerThan->value(), 12);

  page.cbFoldersDisplayType->setCurrentIndex(TSubfoldersPage::dtAll);
  int menus = 0;
  SetShellMenuChooser([&](const QList<TShellCommand>& enabled) {
    ++menus;
    EXPECT_TRUE(enabled.contains(TShellCommand::Delete)) << "the row's folder was found on the disk";
    return TShellCommand::None;
  });
  QWidget* viewport = page.TheFilesList->viewport();
  const QPoint below(10, viewport->height() - 5);
  ASSERT_EQ(page.TheFilesList->itemAt(below), nullptr);
  RightButtonDown(viewport, below);
  EXPECT_EQ(menus, 0) << "no row, no menu";
  QTreeWidgetItem* row = page.TheFilesList->topLevelItem(0);
  ASSERT_TRUE(row);
  RightButtonDown(viewport, page.TheFilesList->visualItemRect(row).center());
  EXPECT_EQ(menus, 1);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Big"));
  SetShellMenuChooser(nullptr);
}
