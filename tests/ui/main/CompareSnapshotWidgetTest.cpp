// Comparing the tree with a snapshot in the main window: the snapshot list of the drive, the
// tree's marks, the subfolder list's Change column, the What Changed file, the comparison
// following the tree, Manage Snapshots, saving after a whole-drive scan, and a store that
// cannot be used.

#include "history/HistoryStore.h"
#include "scan/FolderSize.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/HistoryCommands.h"
#include "ui/main/MainForm.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/SnapshotListBox.h"
#include "ui/main/SubfoldersPage.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class TEnvScope {
public:
  TEnvScope(const char* name, const QByteArray* value) : name_(name), saved_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
    if (value) qputenv(name, *value);
    else qunsetenv(name);
  }
  ~TEnvScope() {
    if (had_) qputenv(name_, saved_);
    else qunsetenv(name_);
  }

private:
  const char* name_;
  QByteArray saved_;
  bool had_;
};

bool PumpUntil(const std::function<bool()>& done, int ms = 30000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// With KORVANE_SHOTS_DIR set, keeps a picture of the window part for a person to look at.
void Shot(QWidget& widget, const char* name) {
  const QString dir = qEnvironmentVariable("KORVANE_SHOTS_DIR");
  if (dir.isEmpty()) return;
  widget.show();
  QApplication::processEvents();
  widget.grab().save(dir + QStringLiteral("/26-") + QLatin1String(name) + QStringLiteral(".png"));
}

// A drive T with three folders, the history in a temporary XDG_DATA_HOME.
class CompareSnapshotTest : public ::testing::Test {
protected:
  CompareSnapshotTest() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    t.File("grows/a", 10000);
    t.File("shrinks/a", 40000);
    t.File("shrinks/b", 40000);
    t.File("same/a", 5000);
  }
  ~CompareSnapshotTest() override {
    SetModalDialogRunner(nullptr);
    SetMessageAnswerer(nullptr);
  }
  std::vector<TSnapshotInfo> Stored() {
    TStoreLocation where;
    where.SqlitePath = data.filePath(QStringLiteral("korvane/history.sqlite"));
    QString error;
    std::unique_ptr<THistoryStore> db = THistoryStore::Open(where, &error);
    EXPECT_TRUE(db) << error.toStdString();
    if (!db) return {};
    return db->List().value_or(std::vector<TSnapshotInfo>{});
  }
  void Trigger(TMainForm& form, const char* action) {
    Child<QAction>(form, action)->trigger();
    THistoryCommands* commands = Child<THistoryCommands>(form);
    EXPECT_TRUE(PumpUntil([&] { return commands->Running() == 0; }));
  }

  TRegistryScope registry;
  TFixtureTree t;
  TDriveScope drives{{{'T', t.Root()}}};
  QTemporaryDir data;
  QByteArray dataPath = QFile::encodeName(data.path());
  TEnvScope xdg{"XDG_DATA_HOME", &dataPath};
  TEnvScope noStore{"KORVANE_HISTORY", nullptr};
};

TEST_F(CompareSnapshotTest, ComparisonMarksTheTreeFillsTheChangeColumnAndWritesTheReport) {
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  ASSERT_EQ(form.Current().Drive(), QLatin1Char('T'));
  Trigger(form, "cmdFileSaveSnapshot");
  ASSERT_EQ(Stored().size(), 1u);

  t.File("grows/b", 30000);
  t.Remove("shrinks/b");
  t.File("came/x", 20000);
  form.ScanCommands().RescanDrives(QStringLiteral("T"));
  WaitForScans(form);
  ASSERT_TRUE(form.ScanCommands().GoToFolder(QStringLiteral("T:\\")));
  THistoryCommands* commands = Child<THistoryCommands>(form);
  emit Child<QMenu>(form, "cmdFileReports")->aboutToShow();
  EXPECT_FALSE(Child<QAction>(form, "cmdFileReportWhatChanged")->isEnabled()) << "no comparison yet";
  EXPECT_TRUE(Child<QAction>(form, "cmdFileCompareSnapshot")->isEnabled());

  // The list of this drive's snapshots: read in the background, then one picked.
  int listed = -1;
  QString shown;
  SetModalDialogRunner([&](QDialog& d) {
    auto* box = dynamic_cast<TSnapshotListBox*>(&d);
    if (!box) return int(QDialog::Rejected);
    EXPECT_TRUE(box->Busy());
    EXPECT_TRUE(PumpUntil([&] { return !box->Busy(); }));
    listed = box->lstSnapshots->topLevelItemCount();
    Shot(*box, "compare-list");
    if (listed > 0) shown = box->lstSnapshots->topLevelItem(0)->text(TSnapshotListBox::colFolder);
    return int(QDialog::Accepted);
  });
  Child<QAction>(form, "cmdFileCompareSnapshot")->trigger();
  ASSERT_TRUE(PumpUntil([&] { return commands->Comparison() != nullptr; }));
  EXPECT_EQ(listed, 1);
  EXPECT_EQ(shown, QStringLiteral("T:\\"));

  // The tree: grown, shrunk and new folders carry the style's marks, unchanged ones the folder.
  TFolderTreeModel& model = form.Model();
  auto icon = [&](const char* path) {
    return model.data(model.IndexOf(form.Session().FindFolder(QString::fromLatin1(path))), Qt::DecorationRole).value<QIcon>().cacheKey();
  };
  EXPECT_NE(icon("T:\\grows"), icon("T:\\same"));
  EXPECT_NE(icon("T:\\shrinks"), icon("T:\\same"));
  EXPECT_NE(icon("T:\\came"), icon("T:\\same"));
  EXPECT_NE(icon("T:\\grows"), icon("T:\\shrinks"));
  const QString tip = model.data(model.IndexOf(form.Session().FindFolder(QStringLiteral("T:\\shrinks"))), Qt::ToolTipRole).toString();
  EXPECT_TRUE(tip.startsWith(QStringLiteral("-39 KB (-50.0%)"))) << tip.toStdString();

  // The subfolder list: Change column, last, sorted by the change, largest growth first.
  form.SelectPage(pgSubfolders);
  TSubfoldersPage* page = Child<TSubfoldersPage>(form);
  QTreeWidget* list = page->TheFilesList;
  EXPECT_FALSE(list->isColumnHidden(TSubfoldersPage::colChange));
  EXPECT_EQ(list->headerItem()->text(TSubfoldersPage::colChange).endsWith(QStringLiteral("Change")), true);
  page->TheFilesListColumnClick(TSubfoldersPage::colChange);
  form.resize(1100, 600);
  ASSERT_TRUE(form.ScanCommands().GoToFolder(QStringLiteral("T:\\")));
  Shot(form, "compare-window");
  QStringList rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    rows << list->topLevelItem(i)->text(0) + QLatin1Char(' ') + list->topLevelItem(i)->text(TSubfoldersPage::colChange);
  EXPECT_EQ(rows, (QStringList{QStringLiteral("grows +29 KB (+300.0%)"), QStringLiteral("came +20 KB (new)"),
                               QStringLiteral("same 0 bytes (0.0%)"), QStringLiteral("shrinks -39 KB (-50.0%)")}));
  page->TheFilesListColumnClick(TSubfoldersPage::colChange);
  EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("shrinks"));
  // The report's order is not the Change column's: what is saved for reports stays a report's.
  EXPECT_EQ(std::abs(page->SavedValues().Sort), TSubfoldersPage::colSize + 1);

  // What Changed to a file.
  const QString file = data.filePath(QStringLiteral("changed.txt"));
  SetModalDialogRunner([&](QDialog& d) {
    auto& dialog = dynamic_cast<QFileDialog&>(d);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(file);
    return int(QDialog::Accepted);
  });
  ASSERT_TRUE(Child<QAction>(form, "cmdFileReportWhatChanged")->isEnabled());
  Child<QAction>(form, "cmdFileReportWhatChanged")->trigger();
  QFile written(file);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(written.readAll());
  EXPECT_TRUE(text.contains(QStringLiteral("What changed in T:\\\r\n"))) << text.toStdString();
  const qsizetype shrunk = text.indexOf(QStringLiteral("shrunk  T:\\shrinks"));
  const qsizetype grown = text.indexOf(QStringLiteral("grown   T:\\grows"));
  EXPECT_GT(shrunk, 0) << text.toStdString();
  EXPECT_GT(grown, shrunk) << "largest change first";

  // The tree changes: the comparison follows; the drive goes: it ends, column and marks too.
  TTreeNode* came = form.Session().FindFolder(QStringLiteral("T:\\came"));
  ASSERT_TRUE(came && came->Data());
  ASSERT_TRUE(form.Session().RemoveFolder(came, came->Data()->TotalSize));
  QApplication::processEvents();
  ASSERT_NE(commands->Comparison(), nullptr);
  EXPECT_EQ(commands->Comparison()->Counts().New, 0);
  EXPECT_EQ(commands->Comparison()->Counts().Grown, 1) << "the drive's total now shrank";
  // A rescan of the drive keeps the comparison, made again with the new tree.
  form.ScanCommands().RescanDrives(QStringLiteral("T"));
  WaitForScans(form);
  QApplication::processEvents();
  ASSERT_NE(commands->Comparison(), nullptr);
  EXPECT_EQ(commands->Comparison()->Counts().New, 1) << "came is back";
  form.ScanCommands().RemoveDrive(QLatin1Char('T'));
  EXPECT_TRUE(PumpUntil([&] { return commands->Comparison() == nullptr; }, 2000));
  EXPECT_TRUE(list->isColumnHidden(TSubfoldersPage::colChange));
}

TEST_F(CompareSnapshotTest, ManageDeletesAfterAskingSaveAfterScanAndUnusableStore) {
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  // Off by default: a rescan saves nothing.
  EXPECT_FALSE(form.Settings()->SaveSnapshotAfterScan);
  form.ScanCommands().RescanDrives(QStringLiteral("T"));
  WaitForScans(form);
  EXPECT_TRUE(PumpUntil([&] { return Child<THistoryCommands>(form)->Running() == 0; }));
  EXPECT_TRUE(Stored().empty());
  form.Settings().Change([](TSettingValues& v) { v.SaveSnapshotAfterScan = true; });
  form.ScanCommands().RescanDrives(QStringLiteral("T"));
  WaitForScans(form);
  EXPECT_TRUE(PumpUntil([&] { return Child<THistoryCommands>(form)->Running() == 0; }));
  // A folder rescan is no whole-drive scan.
  form.ScanCommands().RescanCurrentFolder();
  WaitForScans(form);
  EXPECT_TRUE(PumpUntil([&] { return Child<THistoryCommands>(form)->Running() == 0; }));
  form.ScanCommands().RescanDrives(QStringLiteral("T"));
  WaitForScans(form);
  EXPECT_TRUE(PumpUntil([&] { return Child<THistoryCommands>(form)->Running() == 0; }));
  ASSERT_EQ(Stored().size(), 2u);

  // Manage: both listed; deleting one asks first, No keeps it, Yes deletes it.
  int answer = mbNo;
  int asked = 0;
  SetMessageAnswerer([&](const TMessageRequest& r) {
    ++asked;
    EXPECT_EQ(r.Icon, TMessageIcon::Question) << r.Text.toStdString();
    return answer;
  });
  QStringList after;
  SetModalDialogRunner([&](QDialog& d) {
    auto& box = dynamic_cast<TSnapshotListBox&>(d);
    EXPECT_TRUE(PumpUntil([&] { return !box.Busy(); }));
    EXPECT_EQ(box.lstSnapshots->topLevelItemCount(), 2);
    Shot(box, "manage");
    EXPECT_TRUE(box.lstSnapshots->selectedItems().isEmpty()) << "nothing is chosen for deleting before the user does";
    box.lstSnapshots->topLevelItem(1)->setSelected(true);
    box.DeleteSelected();
    EXPECT_FALSE(box.Busy()) << "No: nothing to do";
    answer = mbYes;
    box.DeleteSelected();
    EXPECT_TRUE(PumpUntil([&] { return !box.Busy(); }));
    EXPECT_EQ(box.lstSnapshots->topLevelItemCount(), 1);
    return int(QDialog::Rejected);
  });
  const std::vector<TSnapshotInfo> before = Stored();
  Trigger(form, "cmdFileManageSnapshots");
  EXPECT_EQ(asked, 2);
  const std::vector<TSnapshotInfo> left = Stored();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].Id, before[0].Id) << "the newest is listed first and was kept";

  // A store that cannot be used: the list says why, in the dialog; nothing hangs.
  form.Settings().Change([](TSettingValues& v) { v.HistoryStore = QStringLiteral("/proc/korvane-none/history.sqlite"); });
  QString status;
  SetModalDialogRunner([&](QDialog& d) {
    auto& box = dynamic_cast<TSnapshotListBox&>(d);
    EXPECT_TRUE(PumpUntil([&] { return !box.Busy(); }));
    status = box.txtStatus->text();
    Shot(box, "manage-error");
    EXPECT_EQ(box.lstSnapshots->topLevelItemCount(), 0);
    return int(QDialog::Rejected);
  });
  Trigger(form, "cmdFileManageSnapshots");
  EXPECT_TRUE(status.startsWith(QStringLiteral("The scan history could not be read: "))) << status.toStdString();
  EXPECT_TRUE(status.contains(QStringLiteral("/proc/korvane-none"))) << status.toStdString();
}

}  // namespace
