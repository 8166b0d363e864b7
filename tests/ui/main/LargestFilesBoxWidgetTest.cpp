// The Largest Files and Types window: a walk of the current folder's files off the window's
// thread, its lists, a type's own largest files, and a file deleted from its menu leaving the
// tree's figures right.

#include "scan/FolderSize.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
#include "cleanup/ui/ItemMenu.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/LargestFilesBox.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

void WaitIdle(TLargestFilesBox& box) {
  QDeadlineTimer deadline(30000);
  while (box.Busy() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();
}

QStringList Column(QTreeWidget* list, int column) {
  QStringList texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(column);
  return texts;
}

TEST(LargestFilesBox, ListsTheLargestFilesAndTypesAndKeepsTheTreeRightAfterADelete) {
  TRegistryScope registry;
  TFixtureTree t;
  t.File("Data/a/big.iso", 9000);
  t.File("Data/a/b/mid.txt", 5000);
  t.File("Data/small.TXT", 300);
  t.File("Data/none", 10);
  TDriveScope drives({{'T', t.Root()}});
  TAnsweredDialogs dialogs;
  SetMessageAnswerer([](const TMessageRequest&) { return int(mbYes); });
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  ShowFolderOnPage(form, QStringLiteral("T:\\Data"), 0);

  ShowLargestFiles(form, &form);
  auto* box = static_cast<TLargestFilesBox*>(form.findChild<QWidget*>(QStringLiteral("LargestFilesBox")));
  ASSERT_NE(box, nullptr);
  WaitIdle(*box);
  EXPECT_EQ(Column(box->lstFiles, 3), QStringList({"T:\\Data\\a\\big.iso", "T:\\Data\\a\\b\\mid.txt",
                                                   "T:\\Data\\small.TXT", "T:\\Data\\none"}));
  EXPECT_EQ(Column(box->lstTypes, 0), QStringList({"iso", "txt", "(none)"}));
  EXPECT_EQ(Column(box->lstTypes, 1), QStringList({"1", "2", "1"}));

  // A type's own largest files.
  emit box->lstTypes->itemActivated(box->lstTypes->topLevelItem(1), 0);
  WaitIdle(*box);
  EXPECT_EQ(Column(box->lstFiles, 3), QStringList({"T:\\Data\\a\\b\\mid.txt", "T:\\Data\\small.TXT"}));

  // Deleting a file two folders down through its menu.
  const int64_t before = form.Session().FindFolder(QStringLiteral("T:\\Data"))->Data()->TotalSize;
  SetShellMenuChooser([](const QList<TShellCommand>&) { return TShellCommand::Delete; });
  const QRect row = box->lstFiles->visualItemRect(box->lstFiles->topLevelItem(0));
  emit box->lstFiles->customContextMenuRequested(row.center());
  SetShellMenuChooser(nullptr);
  SetMessageAnswerer(nullptr);
  EXPECT_FALSE(PathExists(QStringLiteral("T:\\Data\\a\\b\\mid.txt")));
  EXPECT_EQ(Column(box->lstFiles, 3), QStringList({"T:\\Data\\small.TXT"}));
  EXPECT_EQ(form.Session().FindFolder(QStringLiteral("T:\\Data"))->Data()->TotalSize, before - 5000);
  EXPECT_EQ(form.Session().FindFolder(QStringLiteral("T:\\Data\\a\\b"))->Data()->TotalSize, 0);
}

}  // namespace
