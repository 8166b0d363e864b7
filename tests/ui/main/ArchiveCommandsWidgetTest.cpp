// Archiving the current folder from the "Free Some Space" page and restoring from the File menu:
// what the main window hands the archive dialog, and the tree afterwards.

#include "cleanup/ui/CompressFolderBox.h"
#include "cleanup/ui/ShadowTitle.h"
#include "config/Settings.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/OperationWait.h"
#include "tests/support/MainFormEnv.h"
#include "ui/controls/DriveComboBox.h"
#include "ui/main/CleanUpPage.h"
#include "ui/main/MainForm.h"
#include "ui/main/FreeSpaceCommands.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class TArchiveWindowEnv {
public:
  TArchiveWindowEnv() {
    t.File("Data/Old/a.bin", 10000, false);
    t.File("Data/Old/Inner/b.bin", 3000, false);
    t.File("Data/Keep/c.bin", 7000, false);
    drives = std::make_unique<TDriveScope>(std::vector<TDriveMapping>{{'T', t.Root()}});
    SetMessageAnswerer([](const TMessageRequest& r) { return (r.Buttons & mbCancel) ? int(mbCancel) : int(mbOK); });
    // Every archive dialog is seen and, when the test says so, archives with "move".
    SetModalDialogRunner([this](QDialog& dialog) {
      auto* box = qobject_cast<TCleanUpCompressFolderBox*>(&dialog);
      if (!box) return int(QDialog::Rejected);
      ++opened;
      title = box->windowTitle();
      archivePageShown = box->ThePages->isTabVisible(0);
      description = box->ediZIPDescription->text();
      if (archive) {
        box->cbDrives->SetDrive(QLatin1Char('T'));
        box->chkDeleteAfterCompressing->setChecked(true);
        box->chkPasswordProtect->setChecked(false);
        box->cmdCompress->click();
        WaitForOperation(*box);
        results = box->txtCResults1->text();
        outcome = box->txtProgressTitle->Text();
      }
      return int(QDialog::Rejected);
    });
  }
  ~TArchiveWindowEnv() {
    SetMessageAnswerer(nullptr);
    SetModalDialogRunner(nullptr);
  }

  TRegistryScope registry;
  TFixtureTree t;
  std::unique_ptr<TDriveScope> drives;
  bool archive = false;
  int opened = 0;
  QString title, description, results, outcome;
  bool archivePageShown = false;
};

void StartOn(TMainForm& form, const QString& path) {
  StartMainForm(form);
  ShowFolderOnPage(form, path, pgFreeSpace);
  QApplication::setActiveWindow(&form);
  form.activateWindow();
  QApplication::processEvents();
}

TEST(ArchiveCommands, CtrlRArchivesTheCurrentFolderAndTheTreeLetsItGo) {
  TArchiveWindowEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartOn(form, QStringLiteral("T:\\"));
  // A drive root is never archived.
  QTest::keyClick(&form, Qt::Key_R, Qt::ControlModifier);
  form.FreeSpaceCommands().Run(ccArchive);
  EXPECT_EQ(env.opened, 0);

  StartOn(form, QStringLiteral("T:\\Data\\Old"));
  const TFolderSize old = *form.Session().FindFolder(QStringLiteral("T:\\Data\\Old"))->Data();
  const int64_t dataBefore = form.Session().FindFolder(QStringLiteral("T:\\Data"))->Data()->TotalSize;
  ASSERT_TRUE(form.Settings()->IncludeWastedInformation);
  env.archive = true;
  QTest::keyClick(&form, Qt::Key_R, Qt::ControlModifier);
  ASSERT_EQ(env.opened, 1);
  EXPECT_EQ(env.title, QStringLiteral("Archive Folder To Gain Some Space"));
  EXPECT_TRUE(env.archivePageShown);
  EXPECT_EQ(env.description, QStringLiteral("Old Folder"));
  EXPECT_EQ(env.outcome, QStringLiteral("Folder compressed OK."));
  // The space the folder occupied: its size and its waste.
  EXPECT_TRUE(env.results.contains(FormatSize(old.TotalSize + SelectedTotalWasted(old)))) << env.results.toStdString();
  EXPECT_FALSE(PathExists(QStringLiteral("T:\\Data\\Old")));
  EXPECT_EQ(form.Session().FindFolder(QStringLiteral("T:\\Data\\Old")), nullptr);
  EXPECT_EQ(form.Session().FindFolder(QStringLiteral("T:\\Data"))->Data()->TotalSize, dataBefore - old.TotalSize);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data"));
}

TEST(ArchiveCommands, FileMenuOpensTheRestorePageAloneAndLeavesTheTree) {
  TArchiveWindowEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartOn(form, QStringLiteral("T:\\Data\\Keep"));
  const int64_t before = form.Session().FindFolder(QStringLiteral("T:\\"))->Data()->TotalSize;
  Child<QAction>(form, "cmdFileRestoreCompressedFolders")->trigger();
  ASSERT_EQ(env.opened, 1);
  EXPECT_EQ(env.title, QStringLiteral("Restore Compressed Folders"));
  EXPECT_FALSE(env.archivePageShown);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data\\Keep"));
  EXPECT_EQ(form.Session().FindFolder(QStringLiteral("T:\\"))->Data()->TotalSize, before);
}

}  // namespace
