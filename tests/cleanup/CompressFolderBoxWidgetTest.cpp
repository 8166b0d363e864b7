// The archive dialog on a fixture drive: archiving with its results, failures and stops that
// leave the folder alone, the restore page's list and commands, and the password box.
#include "cleanup/ui/CompressFolderBox.h"
#include "cleanup/ui/ShadowTitle.h"
#include "cleanup/ui/ZipPasswordBox.h"

#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/ArchiveFolder.h"
#include "config/Settings.h"
#include "shell/Help.h"
#include "shell/ModalDialogs.h"
#include "scan/Format.h"
#include "scan/VolumeInfo.h"
#include "tests/cleanup/CleanupFixture.h"
#include "tests/config/RegistryScope.h"
#include "tests/shell/MessageAnswers.h"
#include "tests/support/Fixture.h"
#include "tests/support/OperationWait.h"
#include "ui/controls/DriveComboBox.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Drive T with two folders worth archiving, the settings loaded from a registry of the test's
// own, and no password box left waiting for a person.
class TArchiveEnv {
public:
  TArchiveEnv() {
    t.File("Data/Photos/a.jpg", 300000, false);
    t.File("Data/Photos/Inner/b.jpg", 120000, false);
    t.File("Data/Photos/.hidden-notes", 500, false);
    t.File("Data/Letters/c.txt", 9000, false);
    t.File("Data/Music/d.ogg", 20000, false);
    drives = std::make_unique<TDriveScope>(std::vector<TDriveMapping>{{'T', t.Root()}, {'U', u.Root()}});
    settings.Load();
    SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); });
  }
  ~TArchiveEnv() {
    SetModalDialogRunner(nullptr);
  }

  QByteArray ArchivesFolder() const { return *ArchivesFolderOf(QLatin1Char('T')); }
  std::vector<TArchiveRecord> Catalogue() const { return TArchiveCatalogue(ArchivesFolder()).List(); }
  // The ZIP files and leftovers in "Archives Bin" (the catalogue not counted).
  QStringList ArchiveFiles() const {
    QDir dir(QString::fromLocal8Bit(ArchivesFolder()));
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    names.removeAll(QStringLiteral("archives.ini"));
    return names;
  }
  // Archives a folder through the core, as an earlier run of the dialog would have.
  QString ArchiveByCore(const QByteArray& rel, bool move, const QByteArray& password = {}) {
    TArchiveRequest request;
    request.Folder = t.Path(rel);
    request.Drive = QLatin1Char('T');
    request.Move = move;
    request.Encrypt = !password.isEmpty();
    request.Password = [password](TZipPasswordPurpose) { return std::optional<QByteArray>(password); };
    TOpContext context;
    const TArchiveOutcome outcome = ArchiveFolder(request, context);
    EXPECT_EQ(outcome.Result.status, TOpStatus::Done) << outcome.Message.toStdString();
    return outcome.Key;
  }

  TRegistryScope registry;
  TFixtureTree t;
  TFixtureTree u;  // another drive, without archives
  std::unique_ptr<TDriveScope> drives;
  TSettings settings;
};

void SelectRow(TCleanUpCompressFolderBox& box, int row) {
  box.lvArchives->clearSelection();
  box.lvArchives->topLevelItem(row)->setSelected(true);
}

QStringList RowKeys(const TCleanUpCompressFolderBox& box) {
  QStringList keys;
  for (int i = 0; i < box.lvArchives->topLevelItemCount(); ++i)
    keys << TCleanUpCompressFolderBox::RowKey(box.lvArchives->topLevelItem(i));
  return keys;
}

// Password boxes answered by the test: each call gets the box and says what to do with it.
class TPasswordAnswers {
public:
  explicit TPasswordAnswers(std::function<int(TZipPasswordBox&)> answer) {
    SetModalDialogRunner([this, answer](QDialog& dialog) {
      auto* passwordBox = dynamic_cast<TZipPasswordBox*>(&dialog);
      EXPECT_NE(passwordBox, nullptr) << "only password boxes are expected here";
      if (!passwordBox) return int(QDialog::Rejected);
      TZipPasswordBox& box = *passwordBox;
      ++Asked;
      Confirming.push_back(box.Confirming());
      return answer(box);
    });
  }
  ~TPasswordAnswers() { SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); }); }
  int Asked = 0;
  std::vector<bool> Confirming;
};

int TypeAndConfirm(TZipPasswordBox& box, const QString& password) {
  box.ediPassword->setText(password);
  box.ediConfirm->setText(password);
  box.accept();
  return box.result();
}

TEST(CompressFolderBox, ArchivesWithTheOptionsShowsTheResultsAndKeepsTheOptions) {
  struct Case {
    const char* name;
    bool move;
    int64_t occupied;
    const char* gain;  // the start of the third sentence; none: hidden
  };
  const Case cases[] = {
      {"kept, gain to be had", false, 5000000, "You should delete the folder you have compressed. This way you will gain "},
      {"moved, gain made", true, 5000000, "By compressing the folder you have gained "},
      {"archive not smaller", true, 10, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TArchiveEnv env;
    const auto before = Snapshot(env.t.Path("Data/Photos"));
    TMessageAnswers answers;
    QString key;
    {
      TCleanUpCompressFolderBox box(nullptr, &env.settings);
      box.PrepareArchive(QStringLiteral("T:\\Data\\Photos"), 420500, c.occupied);
      EXPECT_EQ(box.windowTitle(), QStringLiteral("Archive Folder To Gain Some Space"));
      EXPECT_EQ(box.ediZIPDescription->text(), QStringLiteral("Photos Folder"));
      EXPECT_EQ(box.txtStoreOnDrive->text(), QStringLiteral("Store archive in a special 'Archives Bin' folder on drive"));
      EXPECT_FALSE(box.ThePages->isTabVisible(2));
      box.cbDrives->SetDrive(QLatin1Char('T'));
      box.ediZIPDescription->setText(QStringLiteral("Holiday pictures"));
      box.chkDeleteAfterCompressing->setChecked(c.move);
      box.chkPasswordProtect->setChecked(false);
      box.chkIncludeHidden->setChecked(false);
      box.ediCompressionLevel->setValue(3);
      box.cmdCompress->click();
      WaitForOperation(box);

      EXPECT_EQ(answers.Errors(), 0) << (answers.Asked.empty() ? "" : answers.Asked[0].Text.toStdString());
      EXPECT_TRUE(box.ThePages->isTabVisible(2));
      EXPECT_FALSE(box.ThePages->isTabVisible(0));
      EXPECT_FALSE(box.ThePages->isTabVisible(1));
      EXPECT_EQ(box.txtProgressTitle->Text(), QStringLiteral("Folder compressed OK."));
      EXPECT_TRUE(box.cmdClose->isEnabled());
      EXPECT_EQ(box.pbOverall->value(), 100);
      EXPECT_EQ(box.txtCResults1->text(), QStringLiteral("The folder you have compressed was using %1 of disk space on drive %2")
                                              .arg(FormatSize(c.occupied), DriveDisplayName(QStringLiteral("T:\\"))));
      key = box.ArchiveKey();
      ASSERT_FALSE(key.isEmpty());
      struct stat st {};
      ASSERT_EQ(::stat((env.ArchivesFolder() + '/' + key.toLatin1()).constData(), &st), 0);
      EXPECT_EQ(box.txtCResults2->text(),
                QStringLiteral("The ZIP archive containing the compressed folder is using %1 of disk space on drive %2")
                    .arg(FormatSize(st.st_size), DriveDisplayName(QStringLiteral("T:\\"))));
      if (c.gain) {
        EXPECT_FALSE(box.txtCResults3->isHidden());
        EXPECT_TRUE(box.txtCResults3->text().startsWith(QLatin1String(c.gain))) << box.txtCResults3->text().toStdString();
        EXPECT_TRUE(box.txtCResults3->text().contains(FormatSize(c.occupied - st.st_size)));
      } else {
        EXPECT_TRUE(box.txtCResults3->isHidden());
      }
      EXPECT_EQ(box.FolderChanged(), c.move);
    }
    // The catalogue knows the archive by its key.
    const std::vector<TArchiveRecord> records = env.Catalogue();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Key, key);
    EXPECT_EQ(records[0].Description, QStringLiteral("Holiday pictures"));
    EXPECT_EQ(records[0].FolderName, QStringLiteral("Photos"));
    EXPECT_EQ(records[0].OriginalPath, QStringLiteral("T:\\Data"));
    if (c.move) {
      // Only what went into the archive left: the hidden file was not asked for.
      EXPECT_EQ(::access(env.t.Path("Data/Photos/a.jpg").constData(), F_OK), -1);
      EXPECT_EQ(::access(env.t.Path("Data/Photos/.hidden-notes").constData(), F_OK), 0);
    } else {
      EXPECT_EQ(Snapshot(env.t.Path("Data/Photos")), before);
    }
    // The options went back into the settings when the archive started.
    EXPECT_EQ(env.settings->ZIPDeleteAfterCompressing, c.move);
    EXPECT_FALSE(env.settings->ZIPAddHiddenFiles);
    EXPECT_EQ(env.settings->ZIPCompressionLevel, 3);
  }
}

TEST(CompressFolderBox, OptionsAreStoredOnCloseWithoutArchiving) {
  TArchiveEnv env;
  env.settings.Change([](TSettingValues& v) {
    v.ZIPAddSubfolders = true;
    v.ZIPPasswordProtect = false;
    v.ZIPDeleteArchive = true;
  });
  {
    TCleanUpCompressFolderBox box(nullptr, &env.settings);
    EXPECT_TRUE(box.chkIncludeSubfolders->isChecked());
    EXPECT_TRUE(box.chkDeleteArchive->isChecked());
    box.PrepareArchive(QStringLiteral("T:\\Data\\Photos"), 420500, 430000);
    box.chkIncludeSubfolders->setChecked(false);
    box.chkPasswordProtect->setChecked(true);
    box.chkDeleteArchive->setChecked(false);
    box.cmdClose->click();
  }
  EXPECT_FALSE(env.settings->ZIPAddSubfolders);
  EXPECT_TRUE(env.settings->ZIPPasswordProtect);
  EXPECT_FALSE(env.settings->ZIPDeleteArchive);
  EXPECT_TRUE(env.ArchiveFiles().isEmpty());
}

TEST(CompressFolderBox, HelpOpensTheTopicOfThePageShown) {
  TArchiveEnv env;
  std::vector<int> asked;
  SetHelpSink([&asked](int context, const QString&) { asked.push_back(context); });
  TCleanUpCompressFolderBox box(nullptr, &env.settings);
  box.PrepareArchive(QStringLiteral("T:\\Data\\Photos"), 420500, 430000);
  box.cmdHelp->click();
  box.ThePages->setCurrentWidget(box.sheetRestore);
  box.cmdHelp->click();
  SetHelpSink(nullptr);
  EXPECT_EQ(asked, (std::vector<int>{HelpContext::ArchiveFolder, HelpContext::RestoreFolder}));
}

TEST(CompressFolderBox, AFailedArchiveLeavesTheFolderAndSaysSo) {
  TArchiveEnv env;
  // Something else of the archives folder's name is in the way.
  env.t.File("Archives Bin", 10, false);
  const auto before = Snapshot(env.t.Path("Data"));
  TMessageAnswers answers;
  TCleanUpCompressFolderBox box(nullptr, &env.settings);
  int finished = 0;
  QObject::connect(&box, &QDialog::finished, [&finished] { ++finished; });
  box.PrepareArchive(QStringLiteral("T:\\Data\\Photos"), 420500, 430000);
  box.cbDrives->SetDrive(QLatin1Char('T'));
  box.chkDeleteAfterCompressing->setChecked(true);
  box.chkPasswordProtect->setChecked(false);
  box.cmdCompress->click();
  WaitForOperation(box);
  EXPECT_EQ(finished, 0) << "the dialog closed without saying what happened";
  EXPECT_EQ(box.txtProgressTitle->Text(), QStringLiteral("Folder not archived."));
  EXPECT_TRUE(box.panResults->isHidden());
  EXPECT_TRUE(box.txtOutcome->text().startsWith(QStringLiteral("The folder T:\\Data\\Photos was not archived.")));
  EXPECT_TRUE(box.txtOutcome->text().contains(QStringLiteral("Could not create folder T:\\Archives Bin")))
      << box.txtOutcome->text().toStdString();
  EXPECT_TRUE(box.cmdClose->isEnabled());
  EXPECT_TRUE(box.ArchiveKey().isEmpty());
  EXPECT_FALSE(box.FolderChanged());
  EXPECT_EQ(Snapshot(env.t.Path("Data")), before);
}

TEST(CompressFolderBox, StopCloseOrNoPasswordLeaveTheFolderAndNoArchive) {
  enum How { Stop, Close, NoPassword };
  for (const How how : {Stop, Close, NoPassword}) {
    SCOPED_TRACE(how);
    TArchiveEnv env;
    const auto before = Snapshot(env.t.Path("Data"));
    TMessageAnswers answers;
    TCleanUpCompressFolderBox box(nullptr, &env.settings);
    int finished = 0;
    QObject::connect(&box, &QDialog::finished, [&finished] { ++finished; });
    // The password is asked while the operation works: the moment to stop it.
    TPasswordAnswers passwords([&box, how](TZipPasswordBox& asked) {
      if (how == NoPassword) return int(QDialog::Rejected);
      EXPECT_TRUE(box.Working());
      if (how == Stop) box.cmdStop->click();
      if (how == Close) box.reject();
      return TypeAndConfirm(asked, QStringLiteral("secret"));
    });
    box.PrepareArchive(QStringLiteral("T:\\Data\\Photos"), 420500, 430000);
    box.cbDrives->SetDrive(QLatin1Char('T'));
    box.chkDeleteAfterCompressing->setChecked(true);
    box.chkPasswordProtect->setChecked(true);
    box.cmdCompress->click();
    WaitForOperation(box);

    EXPECT_EQ(passwords.Asked, 1);
    EXPECT_FALSE(box.Working());
    EXPECT_EQ(Snapshot(env.t.Path("Data")), before);
    EXPECT_TRUE(env.ArchiveFiles().isEmpty()) << env.ArchiveFiles().join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(env.Catalogue().empty());
    EXPECT_EQ(answers.Errors(), 0) << "a stop or a refused password is no error";
    EXPECT_EQ(finished, how == Close ? 1 : 0);
    if (how != Close) {
      EXPECT_EQ(box.txtProgressTitle->Text(), QStringLiteral("Folder not archived."));
      EXPECT_TRUE(box.txtOutcome->text().contains(QStringLiteral("was not archived")));
    }
  }
}

TEST(CompressFolderBox, TheBarOnlyMovesForwardUpTo100AndAnEmptyTotalLeavesIt) {
  TArchiveEnv env;
  TCleanUpCompressFolderBox box(nullptr, &env.settings);
  TOpProgress p;
  box.ShowProgress(p);  // nothing known: no division by zero
  EXPECT_EQ(box.pbOverall->value(), 0);
  EXPECT_EQ(box.txtProgress->text(), QStringLiteral("0%"));
  struct Step {
    int64_t done, total;
    int shown;
  };
  for (const Step s : {Step{50, 100, 50}, Step{30, 100, 50}, Step{99, 100, 99}, Step{250, 100, 100}, Step{1, 0, 100}}) {
    p.bytesDone = s.done;
    p.bytesTotal = s.total;
    box.ShowProgress(p);
    EXPECT_EQ(box.pbOverall->value(), s.shown) << s.done << "/" << s.total;
  }
  EXPECT_EQ(box.txtProgress->text(), QStringLiteral("100%"));
  // The member at hand, shortened to the label's width, as a drive path.
  p.currentPath = QString::fromLocal8Bit(env.t.Path("Data/")) + QString(300, QLatin1Char('x'));
  box.ShowProgress(p);
  EXPECT_TRUE(box.txtProgressFile->text().startsWith(QStringLiteral("T:\\Data\\"))) << box.txtProgressFile->text().toStdString();
  EXPECT_TRUE(box.txtProgressFile->text().contains(QChar(0x2026)));
  EXPECT_LE(box.txtProgressFile->fontMetrics().horizontalAdvance(box.txtProgressFile->text()), box.txtProgressFile->width());
}

TEST(CompressFolderBox, TheRestoreListSkipsAMissingArchiveAndEachRowActsOnItsOwn) {
  TArchiveEnv env;
  const QString gone = env.ArchiveByCore("Data/Photos", false);
  const QString letters = env.ArchiveByCore("Data/Letters", false);
  const QString music = env.ArchiveByCore("Data/Music", false);
  ASSERT_EQ(::unlink((env.ArchivesFolder() + '/' + gone.toLatin1()).constData()), 0);

  TCleanUpCompressFolderBox box(nullptr, &env.settings);
  box.PrepareRestoreOnly();
  box.cbRestoreDrivesList->SetDrive(QLatin1Char('U'));
  box.cbRestoreDrivesList->SetDrive(QLatin1Char('T'));
  EXPECT_EQ(box.windowTitle(), QStringLiteral("Restore Compressed Folders"));
  EXPECT_FALSE(box.ThePages->isTabVisible(0));
  EXPECT_EQ(box.ThePages->currentWidget(), box.sheetRestore);
  ASSERT_EQ(RowKeys(box), (QStringList{letters, music}));
  EXPECT_EQ(env.Catalogue().size(), 2u) << "the missing archive stays in the catalogue";
  EXPECT_FALSE(box.cmdRestore->isEnabled());
  EXPECT_FALSE(box.ediRestorePath->isEnabled());

  // Selecting a row proposes its original location and names the folder in the hint.
  SelectRow(box, 1);
  EXPECT_TRUE(box.cmdRestore->isEnabled());
  EXPECT_TRUE(box.cmdDeleteArchive->isEnabled());
  EXPECT_EQ(box.ediRestorePath->text(), QStringLiteral("T:\\Data"));
  EXPECT_EQ(box.ediRestorePath->toolTip(), QStringLiteral("The path of the restored folder will be \nT:\\Data\\Music"));

  // Renaming a row writes its own description only; an empty one is stored empty.
  box.lvArchives->topLevelItem(1)->setText(0, QStringLiteral("Songs"));
  TArchiveCatalogue catalogue(env.ArchivesFolder());
  EXPECT_EQ(catalogue.Find(music)->Description, QStringLiteral("Songs"));
  EXPECT_EQ(catalogue.Find(letters)->Description, QStringLiteral("Letters Folder"));
  box.lvArchives->topLevelItem(0)->setText(0, QString());
  EXPECT_EQ(catalogue.Find(letters)->Description, QString());
  EXPECT_EQ(catalogue.Find(music)->Description, QStringLiteral("Songs"));

  // Deleting asks first; only Yes deletes, and only the row's own archive.
  SelectRow(box, 0);
  for (const int answer : {int(mbNo), int(mbCancel)}) {
    TMessageAnswers answers({answer});
    box.cmdDeleteArchive->click();
    ASSERT_EQ(answers.Asked.size(), 1u);
    EXPECT_EQ(answers.Asked[0].Text,
              QStringLiteral("Really delete the ZIP archive that contains the folder 'Letters' ?\n\nWarning: You will not "
                             "be able to restore any file from this folder if you delete the ZIP archive."));
    EXPECT_EQ(answers.Asked[0].Buttons, mbYes | mbNo | mbCancel);
    EXPECT_EQ(RowKeys(box).size(), 2);
  }
  {
    TMessageAnswers answers({mbYes});
    box.cmdDeleteArchive->click();
    EXPECT_EQ(answers.Errors(), 0);
  }
  EXPECT_EQ(RowKeys(box), QStringList{music});
  EXPECT_EQ(::access((env.ArchivesFolder() + '/' + letters.toLatin1()).constData(), F_OK), -1);
  EXPECT_EQ(::access((env.ArchivesFolder() + '/' + music.toLatin1()).constData(), F_OK), 0);
  EXPECT_FALSE(box.cmdRestore->isEnabled()) << "no row is selected after the list was read again";

  // The last one goes with the catalogue and the empty archives folder.
  SelectRow(box, 0);
  {
    TMessageAnswers answers({mbYes});
    box.cmdDeleteArchive->click();
  }
  EXPECT_EQ(box.lvArchives->topLevelItemCount(), 0);
  EXPECT_EQ(::access(env.ArchivesFolder().constData(), F_OK), -1);
}

TEST(CompressFolderBox, RestoresWithOrWithoutTheArchiveAndAsksForARescanOnlyOfAScannedDrive) {
  struct Case {
    const char* name;
    bool deleteArchive;
    const char* to;  // empty: the original location
    const char* scanned;
    const char* restored;  // the restored folder, relative to the drive root
  };
  const Case cases[] = {
      {"original place, archive deleted, scanned", true, "", "T", "Data/Photos"},
      {"elsewhere, archive kept, not scanned", false, "T:\\Elsewhere\\", "U", "Elsewhere/Photos"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TArchiveEnv env;
    // ZIP keeps times to the second: compare the rest.
    const auto before = Snapshot(env.t.Path("Data/Photos"), false);
    const QString key = env.ArchiveByCore("Data/Photos", true);
    ASSERT_EQ(::access(env.t.Path("Data/Photos/a.jpg").constData(), F_OK), -1);

    TMessageAnswers answers;
    TCleanUpCompressFolderBox box(nullptr, &env.settings);
    int finished = 0;
    QObject::connect(&box, &QDialog::finished, [&finished] { ++finished; });
    box.PrepareRestoreOnly();
    box.SetScannedDrives(QString::fromLatin1(c.scanned));
    box.cbRestoreDrivesList->SetDrive(QLatin1Char('U'));
    box.cbRestoreDrivesList->SetDrive(QLatin1Char('T'));
    ASSERT_EQ(RowKeys(box), QStringList{key});
    SelectRow(box, 0);
    if (*c.to) box.ediRestorePath->setText(QString::fromLatin1(c.to));
    box.chkDeleteArchive->setChecked(c.deleteArchive);
    box.cmdRestore->click();
    WaitForOperation(box);

    EXPECT_EQ(finished, 1) << "a restore is the dialog's last act";
    EXPECT_EQ(Snapshot(env.t.Path(c.restored), false), before);
    const QString restoredText = QStringLiteral("T:\\") + QString::fromLatin1(c.restored).replace(QLatin1Char('/'), QLatin1Char('\\'));
    ASSERT_GE(answers.Asked.size(), 1u);
    EXPECT_EQ(answers.Asked[0].Text, QStringLiteral("The folder %1 was successfully restored").arg(restoredText));
    EXPECT_EQ(answers.Asked[0].Icon, TMessageIcon::Information);
    // No question about a rescan: the folder restored into is handed to the window to rescan
    // when its drive is in the tree.
    for (const TMessageRequest& r : answers.Asked) EXPECT_FALSE(r.Text.contains(QStringLiteral("rescan"))) << r.Text.toStdString();
    const bool scanned = QString::fromLatin1(c.scanned).contains(QLatin1Char('T'));
    ASSERT_EQ(box.ChangedFolders().size(), scanned ? 1 : 0);
    if (scanned) {
      EXPECT_TRUE(box.ChangedFolders()[0].startsWith(QStringLiteral("T:\\")));
    }
    EXPECT_EQ(answers.Errors(), 0);
    const bool archiveThere = ::access((env.ArchivesFolder() + '/' + key.toLatin1()).constData(), F_OK) == 0;
    EXPECT_EQ(archiveThere, !c.deleteArchive);
    EXPECT_EQ(env.Catalogue().size(), c.deleteArchive ? 0u : 1u);
  }
}

TEST(CompressFolderBox, ThePasswordIsAskedTwiceForANewArchiveAndOnceToRestoreIt) {
  // The box itself: two different passwords or none are refused and the box stays.
  {
    TMessageAnswers answers;
    TZipPasswordBox box(TZipPasswordPurpose::Encrypt, QStringLiteral("T:\\Archives Bin"));
    int finished = 0;
    QObject::connect(&box, &QDialog::finished, [&finished] { ++finished; });
    EXPECT_FALSE(box.ediConfirm->isHidden());
    box.ediPassword->setText(QStringLiteral("one"));
    box.ediConfirm->setText(QStringLiteral("two"));
    box.accept();
    ASSERT_EQ(answers.Errors(), 1);
    EXPECT_TRUE(answers.Asked[0].Text.contains(QStringLiteral("not the same")));
    EXPECT_EQ(finished, 0);
    EXPECT_TRUE(box.ediPassword->text().isEmpty());
    box.accept();
    EXPECT_EQ(answers.Errors(), 2);
    EXPECT_EQ(answers.Asked[1].Text, QStringLiteral("Please type a password."));
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(TypeAndConfirm(box, QStringLiteral("pässword")), int(QDialog::Accepted));
    EXPECT_EQ(box.Password(), QStringLiteral("pässword").toUtf8());
  }
  TZipPasswordBox restoring(TZipPasswordPurpose::Decrypt, QStringLiteral("T:\\Archives Bin\\T0000001.ZIP"));
  EXPECT_TRUE(restoring.ediConfirm->isHidden());

  // Through the dialog: archive with a password, then restore with a wrong and a right one.
  TArchiveEnv env;
  const auto before = Snapshot(env.t.Path("Data/Letters"), false);
  QString key;
  {
    TPasswordAnswers passwords([](TZipPasswordBox& box) { return TypeAndConfirm(box, QStringLiteral("secret")); });
    TMessageAnswers answers;
    TCleanUpCompressFolderBox box(nullptr, &env.settings);
    box.PrepareArchive(QStringLiteral("T:\\Data\\Letters"), 9000, 12288);
    box.cbDrives->SetDrive(QLatin1Char('T'));
    box.chkPasswordProtect->setChecked(true);
    box.chkDeleteAfterCompressing->setChecked(true);
    box.cmdCompress->click();
    WaitForOperation(box);
    EXPECT_EQ(passwords.Confirming, std::vector<bool>{true});
    EXPECT_EQ(box.txtProgressTitle->Text(), QStringLiteral("Folder compressed OK."));
    key = box.ArchiveKey();
  }
  ASSERT_FALSE(key.isEmpty());
  ASSERT_EQ(::access(env.t.Path("Data/Letters").constData(), F_OK), -1);

  struct Case {
    const char* password;
    bool restored;
  };
  for (const Case c : {Case{"wrong", false}, Case{"secret", true}}) {
    SCOPED_TRACE(c.password);
    TPasswordAnswers passwords([&c](TZipPasswordBox& box) {
      // A wrong password is asked again; the test gives up at the second question.
      if (box.txtPrompt->text().contains(QStringLiteral("not the right one"))) return int(QDialog::Rejected);
      box.ediPassword->setText(QString::fromLatin1(c.password));
      box.accept();
      return box.result();
    });
    TMessageAnswers answers;
    TCleanUpCompressFolderBox box(nullptr, &env.settings);
    box.PrepareRestoreOnly();
    box.cbRestoreDrivesList->SetDrive(QLatin1Char('U'));
    box.cbRestoreDrivesList->SetDrive(QLatin1Char('T'));
    ASSERT_EQ(RowKeys(box), QStringList{key});
    SelectRow(box, 0);
    box.chkDeleteArchive->setChecked(true);
    box.cmdRestore->click();
    WaitForOperation(box);
    ASSERT_GE(passwords.Confirming.size(), 1u);
    EXPECT_FALSE(passwords.Confirming[0]) << "a restore asks once, without a confirmation";
    ASSERT_FALSE(answers.Asked.empty());
    const bool archiveThere = ::access((env.ArchivesFolder() + '/' + key.toLatin1()).constData(), F_OK) == 0;
    if (c.restored) {
      EXPECT_EQ(answers.Asked.back().Text, QStringLiteral("The folder T:\\Data\\Letters was successfully restored"));
      EXPECT_EQ(Snapshot(env.t.Path("Data/Letters"), false), before);
      EXPECT_FALSE(archiveThere);
    } else {
      EXPECT_EQ(answers.Asked.back().Text,
                QStringLiteral("The folder T:\\Data\\Letters was not successfully restored. The ZIP archive containing the "
                               "folder (T:\\Archives Bin\\%1) will not be deleted from your hard-disk so you can try to "
                               "manually restore the folder from the archive.")
                    .arg(key));
      EXPECT_EQ(answers.Errors(), 1) << "only the failure is reported";
      EXPECT_TRUE(archiveThere) << "a failed restore never deletes the archive";
      EXPECT_EQ(::access(env.t.Path("Data/Letters/c.txt").constData(), F_OK), -1);
    }
  }
}

}  // namespace
