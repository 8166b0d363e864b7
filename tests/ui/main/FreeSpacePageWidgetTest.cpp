// The "Free Some Space" page in the main window: its panels and hints, its keys, and the tree
// after sending a folder to the trash or deleting it.

#include "cleanup/FreeOperation.h"
#include "cleanup/ui/MoveFolderBox.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/controls/SensitivePanel.h"
#include "ui/main/CleanUpPage.h"
#include "ui/main/MainForm.h"
#include "ui/main/FreeSpaceCommands.h"
#include "ui/main/TrashPanel.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

// Drive T with a folder worth removing, the trash in a folder of the test's own, and every
// question answered as the test says.
class TFreeSpaceEnv {
public:
  TFreeSpaceEnv() : savedXdg_(qgetenv("XDG_DATA_HOME")) {
    t.File("Data/Old/a.bin", 10000);
    t.File("Data/Old/Inner/b.bin", 3000);
    t.File("Data/Keep/c.bin", 7000);
    t.Dir("share");
    qputenv("XDG_DATA_HOME", t.Path("share"));
    drives = std::make_unique<TDriveScope>(std::vector<TDriveMapping>{{'T', t.Root()}});
    SetMessageAnswerer([this](const TMessageRequest& r) {
      questions.push_back(r.Text);
      return answer;
    });
    SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); });
  }
  ~TFreeSpaceEnv() {
    SetMessageAnswerer(nullptr);
    SetModalDialogRunner(nullptr);
    qputenv("XDG_DATA_HOME", savedXdg_);
  }

  TRegistryScope registry;
  TFixtureTree t;
  std::unique_ptr<TDriveScope> drives;
  std::vector<QString> questions;
  int answer = mbNo;

private:
  QByteArray savedXdg_;
};

struct TTotals {
  int64_t Size;
  int32_t Files;
  int32_t Folders;
};
TTotals TotalsOf(TMainForm& form, const QString& path) {
  const TFolderSize* rec = form.Session().FindFolder(path)->Data();
  return {rec->TotalSize, rec->TotalFiles, rec->TotalFolders};
}

void StartOn(TMainForm& form, const QString& path, int page) {
  StartMainForm(form);
  ShowFolderOnPage(form, path, page);
  QApplication::setActiveWindow(&form);
  form.activateWindow();
  QApplication::processEvents();
}

TEST(FreeSpacePage, KeysRunTheCommandsOnlyWithExactlyCtrlAndNotOnADriveRoot) {
  TFreeSpaceEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartOn(form, QStringLiteral("T:\\"), 0);
  struct Case {
    QString folder;
    Qt::KeyboardModifiers modifiers;
    bool asks;
  };
  const Case cases[] = {
      {QStringLiteral("T:\\"), Qt::ControlModifier, false},  // a drive root has no such page
      {QStringLiteral("T:\\Data\\Old"), Qt::ControlModifier | Qt::ShiftModifier, false},
      {QStringLiteral("T:\\Data\\Old"), Qt::AltModifier, false},
      {QStringLiteral("T:\\Data\\Old"), Qt::ControlModifier, true},  // from the pie page too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder.toStdString() + " " + std::to_string(int(c.modifiers)));
    ShowFolderOnPage(form, c.folder, 0);
    EXPECT_EQ(Child<QTabWidget>(form, "ThePages")->isTabVisible(TabOfPage(pgFreeSpace)), c.folder != QStringLiteral("T:\\"));
    env.questions.clear();
    QTest::keyClick(&form, Qt::Key_D, c.modifiers);
    EXPECT_EQ(env.questions.size(), c.asks ? 1u : 0u);
    if (c.asks) {
      EXPECT_TRUE(env.questions[0].contains(QStringLiteral("permanently delete")));
    }
  }
  // Saying No changed nothing.
  EXPECT_TRUE(PathExists(QStringLiteral("T:\\Data\\Old")));
  EXPECT_EQ(TotalsOf(form, QStringLiteral("T:\\Data")).Size, 20000);
  // A direct call for a drive root does nothing either.
  ShowFolderOnPage(form, QStringLiteral("T:\\"), 0);
  env.questions.clear();
  form.FreeSpaceCommands().Run(ccDelete);
  EXPECT_TRUE(env.questions.empty());
}

TEST(FreeSpacePage, TrashAndDeleteTakeExactlyTheFolderOutOfTheTree) {
  for (const int command : {int(ccRecycle), int(ccDelete)}) {
    SCOPED_TRACE(command);
    TFreeSpaceEnv env;
    env.answer = mbYes;
    TMainForm form({QStringLiteral("T:\\")});
    StartOn(form, QStringLiteral("T:\\Data\\Old"), pgFreeSpace);
    const TTotals before = TotalsOf(form, QStringLiteral("T:\\Data"));
    const TTotals old = TotalsOf(form, QStringLiteral("T:\\Data\\Old"));
    const TTotals rootBefore = TotalsOf(form, QStringLiteral("T:\\"));
    form.FreeSpaceCommands().Run(command);
    ASSERT_EQ(env.questions.size(), 1u);
    EXPECT_FALSE(PathExists(QStringLiteral("T:\\Data\\Old")));
    EXPECT_EQ(form.Session().FindFolder(QStringLiteral("T:\\Data\\Old")), nullptr);
    const TTotals after = TotalsOf(form, QStringLiteral("T:\\Data"));
    EXPECT_EQ(after.Size, before.Size - old.Size);
    EXPECT_EQ(after.Files, before.Files - old.Files);
    EXPECT_EQ(after.Folders, before.Folders - old.Folders - 1);
    EXPECT_EQ(TotalsOf(form, QStringLiteral("T:\\")).Size, rootBefore.Size - old.Size);
    EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
    // The trash holds it; a delete leaves nothing anywhere.
    const QByteArray trashed = env.t.Path("share/Trash/files/Old");
    EXPECT_EQ(::access(trashed.constData(), F_OK) == 0, command == ccRecycle);
  }
}

TEST(FreeSpacePage, AMoveOnAScannedDriveLeavesTheTargetAndItsAncestorsAsARescanWould) {
  TFreeSpaceEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartOn(form, QStringLiteral("T:\\Data\\Old"), pgFreeSpace);
  const TTotals data = TotalsOf(form, QStringLiteral("T:\\Data"));
  const TTotals root = TotalsOf(form, QStringLiteral("T:\\"));
  const TTotals old = TotalsOf(form, QStringLiteral("T:\\Data\\Old"));
  const TTotals keep = TotalsOf(form, QStringLiteral("T:\\Data\\Keep"));
  SetModalDialogRunner([](QDialog& d) {
    if (auto* box = qobject_cast<TCleanUpMoveFolderBox*>(&d)) {
      box->ediFolderTarget->setText(QStringLiteral("T:\\Data\\Keep\\Old"));
      return int(QDialog::Accepted);
    }
    return int(QDialog::Rejected);
  });
  form.FreeSpaceCommands().Run(ccMove);
  WaitForScans(form);
  ASSERT_TRUE(PathExists(QStringLiteral("T:\\Data\\Keep\\Old\\Inner\\b.bin")));
  EXPECT_EQ(form.Session().FindFolder(QStringLiteral("T:\\Data\\Old")), nullptr);
  ASSERT_NE(form.Session().FindFolder(QStringLiteral("T:\\Data\\Keep\\Old\\Inner")), nullptr);
  const TTotals keepAfter = TotalsOf(form, QStringLiteral("T:\\Data\\Keep"));
  EXPECT_EQ(keepAfter.Size, keep.Size + old.Size);
  EXPECT_EQ(keepAfter.Files, keep.Files + old.Files);
  EXPECT_EQ(keepAfter.Folders, keep.Folders + old.Folders + 1);
  // Moved within Data: Data and the drive have what they had.
  const TTotals dataAfter = TotalsOf(form, QStringLiteral("T:\\Data"));
  EXPECT_EQ(dataAfter.Size, data.Size);
  EXPECT_EQ(dataAfter.Files, data.Files);
  EXPECT_EQ(dataAfter.Folders, data.Folders);
  EXPECT_EQ(TotalsOf(form, QStringLiteral("T:\\")).Size, root.Size);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
}

// Lets the trash panel's measurement come back (it runs on a thread of its own).
void WaitForTrash(TMainForm& form) {
  auto* panel = form.findChild<TTrashPanel*>();
  ASSERT_TRUE(panel);
  for (int i = 0; i < 500 && panel->Measuring(); ++i) QTest::qWait(10);
  ASSERT_FALSE(panel->Measuring());
}

// The page shows what the drive's trash holds and empties it after asking.
TEST(FreeSpacePage, ShowsTheTrashOfTheDriveAndEmptiesIt) {
  TFreeSpaceEnv env;
  env.answer = mbYes;
  TMainForm form({QStringLiteral("T:\\")});
  StartOn(form, QStringLiteral("T:\\Data\\Old"), pgFreeSpace);
  form.FreeSpaceCommands().Run(ccRecycle);
  ASSERT_EQ(env.questions.size(), 1u);
  EXPECT_TRUE(env.questions[0].contains(QStringLiteral("only when the trash is emptied"))) << env.questions[0].toStdString();
  auto* text = form.findChild<QLabel*>(QStringLiteral("txtTrashContents"));
  auto* button = form.findChild<QPushButton*>(QStringLiteral("btnEmptyTrash"));
  ASSERT_TRUE(text && button);
  WaitForTrash(form);
  EXPECT_TRUE(text->text().startsWith(QStringLiteral("Trash of drive T: 1 item(s), ") + FormatSize(13000) + QLatin1Char('.')))
      << text->text().toStdString();
  EXPECT_TRUE(button->isEnabled());

  env.answer = mbNo;
  button->click();
  ASSERT_EQ(env.questions.size(), 2u);
  EXPECT_TRUE(env.questions[1].contains(QStringLiteral("empty the trash of drive T:"))) << env.questions[1].toStdString();
  EXPECT_TRUE(PathExists(QStringLiteral("T:\\share\\Trash\\files\\Old")));
  // Measured again meanwhile: the button waits for the figures.
  WaitForTrash(form);

  env.answer = mbYes;
  button->click();
  EXPECT_FALSE(PathExists(QStringLiteral("T:\\share\\Trash\\files\\Old")));
  EXPECT_FALSE(PathExists(QStringLiteral("T:\\share\\Trash\\info\\Old.trashinfo")));
  WaitForTrash(form);
  EXPECT_TRUE(text->text().startsWith(QStringLiteral("Trash of drive T: 0 item(s)"))) << text->text().toStdString();
  EXPECT_FALSE(button->isEnabled());
}

// The trash is measured off the window's thread: the window goes on while a measurement is
// held up, and a measurement overtaken by a newer one (another drive, an emptied trash) is
// stopped and its result never shown.
TEST(FreeSpacePage, TrashIsMeasuredOffTheWindowThreadAndAStaleResultIsDropped) {
  TFreeSpaceEnv env;
  std::atomic<int> calls{0};
  std::atomic<bool> release{false};
  std::atomic<bool> firstSawCancel{false};
  TTrashPanel::SetMeasureForTests([&](const QByteArray&, const TOpContext& context) {
    TTrashContents contents;
    if (++calls == 1) {
      // Held until the test lets it go, like a huge trash.
      while (!release) QThread::msleep(2);
      firstSawCancel = context.Cancelled();
      contents.Items = 111;
    } else {
      contents.Items = 222;
    }
    return contents;
  });
  struct TRestore {
    ~TRestore() { TTrashPanel::SetMeasureForTests(nullptr); }
  } restore;
  TMainForm form({QStringLiteral("T:\\")});
  // Whatever happens below, the held measurement ends before the window (which waits for it).
  struct TRelease {
    std::atomic<bool>& flag;
    ~TRelease() { flag = true; }
  } releaseAtEnd{release};
  StartOn(form, QStringLiteral("T:\\Data\\Old"), pgFreeSpace);
  auto* panel = form.findChild<TTrashPanel*>();
  ASSERT_TRUE(panel);
  for (int i = 0; i < 200 && calls == 0; ++i) QTest::qWait(5);
  ASSERT_EQ(calls, 1);
  // The first measurement is held: the window still answers and says what it is doing.
  QApplication::processEvents();
  EXPECT_TRUE(panel->Measuring());
  EXPECT_EQ(panel->txtTrashContents->text(), QStringLiteral("Measuring the trash of drive T:..."));
  EXPECT_FALSE(panel->btnEmptyTrash->isEnabled());

  panel->Refresh();
  for (int i = 0; i < 500 && panel->Measuring(); ++i) QTest::qWait(10);
  ASSERT_FALSE(panel->Measuring());
  EXPECT_TRUE(panel->txtTrashContents->text().startsWith(QStringLiteral("Trash of drive T: 222 item(s)")))
      << panel->txtTrashContents->text().toStdString();

  release = true;
  for (int i = 0; i < 50; ++i) QTest::qWait(10);
  EXPECT_TRUE(firstSawCancel);
  EXPECT_TRUE(panel->txtTrashContents->text().startsWith(QStringLiteral("Trash of drive T: 222 item(s)")))
      << "the overtaken measurement must not show: " << panel->txtTrashContents->text().toStdString();
  EXPECT_TRUE(panel->btnEmptyTrash->isEnabled());
}

TEST(FreeSpacePage, PanelsLightUpOneAtATimeAndExplainThemselves) {
  TFreeSpaceEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartOn(form, QStringLiteral("T:\\Data\\Old"), pgFreeSpace);
  TCleanUpPage& page = *Child<TCleanUpPage>(form);
  EXPECT_EQ(page.txtWebCleanUpPath->text(), QStringLiteral("T:\\Data\\Old"));
  EXPECT_EQ(page.ediCleanMenuHint->toPlainText(), TCleanUpPage::HintText(0));
  page.panCleanMenuMoveSensitiveActivate(page.panCleanMenuMove);
  EXPECT_EQ(page.ediCleanMenuHint->toPlainText(), TCleanUpPage::HintText(ccMove));
  page.panCleanMenuMoveSensitiveDeactivate(page.panCleanMenuMove);
  page.panCleanMenuMoveSensitiveActivate(page.panCleanMenuDelete);
  EXPECT_TRUE(TCleanUpPage::HintText(ccDelete).contains(QStringLiteral("very dangerous")));
  EXPECT_EQ(page.ediCleanMenuHint->toPlainText(), TCleanUpPage::HintText(ccDelete));
  int lit = 0;
  for (TSensitivePanel* p : {page.panCleanMenuCompress, page.panCleanMenuMove, page.panCleanMenuRecycle, page.panCleanMenuDelete})
    lit += p->property("highlighted").toBool() ? 1 : 0;
  EXPECT_EQ(lit, 1);
  page.panCleanMenuMoveSensitiveDeactivate(page.panCleanMenuDelete);
  EXPECT_EQ(page.ediCleanMenuHint->toPlainText(), TCleanUpPage::HintText(0));
}

}  // namespace
