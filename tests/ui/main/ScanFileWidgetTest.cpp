// File > Open Scan File... and `korvane FILE.json`: exports of the Debian ncdu and gdu programs
// opened as drives that can be browsed, reported on, saved and compared, while every file
// operation and rescan is refused and the folder the export names, which exists here, stays as
// it was.

#include "config/AtomicFile.h"
#include "history/HistoryStore.h"
#include "scan/FolderSize.h"
#include "scan/LoadedScan.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "shell/ToolsMenu.h"
#include "shell/core/ToolsFile.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/CleanUpPage.h"
#include "ui/main/FreeSpaceCommands.h"
#include "ui/main/HistoryCommands.h"
#include "ui/main/MainForm.h"
#include "ui/main/ScanFileCommands.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

bool PumpUntil(const std::function<bool()>& done, int ms = 30000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();
  return done();
}

// With KORVANE_SHOTS_DIR set, keeps a picture of the window for a person to look at.
void Shot(QWidget& widget, const char* name) {
  const QString dir = qEnvironmentVariable("KORVANE_SHOTS_DIR");
  if (dir.isEmpty()) return;
  const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR") == QStringLiteral("2") ? QStringLiteral("-x2") : QString();
  widget.resize(1100, 720);
  QApplication::processEvents();
  widget.grab().save(dir + QStringLiteral("/26-") + QLatin1String(name) + scale + QStringLiteral(".png"));
}

// Every file below root with its size and change time: what must not change.
QStringList Listing(const QByteArray& root) {
  QStringList lines;
  QDirIterator it(QFile::decodeName(root), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo info = it.nextFileInfo();
    lines << QStringLiteral("%1 %2 %3").arg(info.filePath()).arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
  }
  lines.sort();
  return lines;
}

// Runs an exporting program; empty when it is not installed (the reason in *skip).
QString Export(const QString& program, const QStringList& arguments, const QString& file, QString* skip) {
  const QString path = QStandardPaths::findExecutable(program);
  if (path.isEmpty()) {
    *skip = program + QStringLiteral(" is not installed (Debian package ") + program + QStringLiteral(")");
    return {};
  }
  QProcess p;
  p.setProgram(path);
  p.setArguments(arguments);
  p.setStandardInputFile(QProcess::nullDevice());
  p.start();
  if (!p.waitForFinished(60000) || p.exitCode() != 0 || !QFileInfo(file).isFile()) {
    *skip = program + QStringLiteral(" could not export: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return {};
  }
  return file;
}

class ScanFileTest : public ::testing::Test {
protected:
  ScanFileTest() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    t.File("srv/Data/Sub/one.bin", 10000);
    t.File("srv/Data/two.bin", 7000);
    t.File("srv/keep.txt", 5);
    host = t.Path("srv");
    SetMessageAnswerer([this](const TMessageRequest& r) {
      boxes.push_back(r);
      return int(mbOK);
    });
    SetModalDialogRunner([this](QDialog& d) {
      dialogs << d.metaObject()->className();
      return onDialog ? onDialog(d) : int(QDialog::Rejected);
    });
  }
  ~ScanFileTest() override {
    SetModalDialogRunner(nullptr);
    SetMessageAnswerer(nullptr);
  }
  void WaitForFiles(TMainForm& form) {
    TScanFileCommands* commands = Child<TScanFileCommands>(form);
    EXPECT_TRUE(PumpUntil([&] { return commands->Pending() == 0 && form.ScansIdle(); }));
  }
  // The boxes shown since the last call.
  std::vector<TMessageRequest> TakeBoxes() { return std::exchange(boxes, {}); }

  TRegistryScope registry;
  TFixtureTree t;
  QByteArray host;
  // The folder the exports name is a drive here too: nothing done on the loaded drive may reach it.
  TDriveScope drives{{{'T', t.Root()}}};
  QTemporaryDir out;
  std::vector<TMessageRequest> boxes;
  QStringList dialogs;
  std::function<int(QDialog&)> onDialog;
};

TEST_F(ScanFileTest, AnNcduExportOpensThroughTheMenuAndRefusesEveryFileOperation) {
  QString skip;
  const QString file = Export(QStringLiteral("ncdu"), {QStringLiteral("-x"), QStringLiteral("-o"), out.filePath(QStringLiteral("srv.json")),
                                                       QFile::decodeName(host)},
                              out.filePath(QStringLiteral("srv.json")), &skip);
  if (file.isEmpty()) GTEST_SKIP() << skip.toStdString();
  QTemporaryDir data;
  qputenv("KORVANE_HISTORY", QFile::encodeName(data.filePath(QStringLiteral("history.sqlite"))));
  const QStringList before = Listing(host);

  TMainForm form({QStringLiteral("T:\\")});
  form.resize(1000, 700);
  StartMainForm(form);
  ASSERT_EQ(form.Current().Drive(), QLatin1Char('T'));

  onDialog = [&](QDialog& d) {
    auto& dialog = dynamic_cast<QFileDialog&>(d);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(file);
    return int(QDialog::Accepted);
  };
  Child<QAction>(form, "cmdFileOpenScanFile")->trigger();
  onDialog = nullptr;
  EXPECT_EQ(dialogs, QStringList{QStringLiteral("QFileDialog")});
  WaitForFiles(form);
  EXPECT_TRUE(TakeBoxes().empty());

  // The export is drive A:, selected, and says what it is.
  TScanSession& session = form.Session();
  const TLoadedScanInfo* loaded = session.LoadedScan(QLatin1Char('A'));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->HostRoot, QFile::decodeName(host));
  EXPECT_EQ(loaded->File, file);
  EXPECT_TRUE(loaded->Program.startsWith(QStringLiteral("ncdu"))) << loaded->Program.toStdString();
  EXPECT_EQ(form.Current().Path(), QStringLiteral("A:\\"));
  EXPECT_TRUE(form.SelectedNode()->Text().startsWith(QStringLiteral("Scan file srv.json (%1, ").arg(QFile::decodeName(host))))
      << form.SelectedNode()->Text().toStdString();
  TTreeNode* sub = session.FindFolder(QStringLiteral("A:\\Data\\Sub"));
  ASSERT_TRUE(sub && sub->Data());
  EXPECT_EQ(sub->Data()->TotalSize, 10000);
  EXPECT_EQ(session.FindFolder(QStringLiteral("A:\\"))->Data()->TotalSize,
            session.FindFolder(QStringLiteral("T:\\srv"))->Data()->TotalSize);
  Shot(form, "scanfile-window");

  // Browsing: a folder of it is shown on the pages like any other.
  for (const int page : {0, 1, 2}) {
    ShowFolderOnPage(form, QStringLiteral("A:\\Data"), page);
    EXPECT_EQ(form.Current().Node()->Data()->TotalSize, 17000);
  }
  Shot(form, "scanfile-subfolders");
  // A report of the subfolder list.
  const QString chosen = out.filePath(QStringLiteral("list"));
  onDialog = [&](QDialog& d) {
    auto& dialog = dynamic_cast<QFileDialog&>(d);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    dialog.selectFile(chosen);
    return int(QDialog::Accepted);
  };
  Child<QAction>(form, "cmdFileReportFolderContents")->trigger();
  onDialog = nullptr;
  QFile report(chosen + QStringLiteral(".txt"));
  ASSERT_TRUE(report.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(report.readAll());
  EXPECT_TRUE(text.contains(QStringLiteral("\nSub\t10 KB\t"))) << text.toStdString();
  dialogs.clear();

  // Every file operation and rescan refuses, with no dialog of its own, naming the file.
  ShowFolderOnPage(form, QStringLiteral("A:\\Data\\Sub"), 4);
  TakeBoxes();
  for (const int command : {ccRecycle, ccDelete, ccMove, ccArchive}) form.FreeSpaceCommands().Run(command);
  for (const char* action : {"cmdFileRescanCurrentDirectory", "cmdFileRescanCurrentDrive", "toolExplore"})
    Child<QAction>(form, action)->trigger();
  WaitForScans(form);
  const std::vector<TMessageRequest> refused = TakeBoxes();
  ASSERT_EQ(refused.size(), 7u);
  const QStringList whats = {QStringLiteral("Sending a folder to the trash"), QStringLiteral("Deleting a folder"),
                             QStringLiteral("Moving a folder"), QStringLiteral("Archiving a folder"), QStringLiteral("Rescanning"),
                             QStringLiteral("Rescanning"), QStringLiteral("Opening a folder")};
  for (size_t i = 0; i < refused.size(); ++i) {
    const QString expected = whats[static_cast<qsizetype>(i)] + QStringLiteral(" is not possible here: drive A: is the scan file ") + file;
    EXPECT_TRUE(refused[i].Text.startsWith(expected)) << refused[i].Text.toStdString();
  }
  EXPECT_TRUE(dialogs.isEmpty()) << dialogs.join(QLatin1Char(' ')).toStdString();
  // The user's tools get no folder of a loaded scan (as when none is selected), never its path.
  {
    const QByteArray argsFile = QFile::encodeName(data.filePath(QStringLiteral("tool-args.txt")));
    const QByteArray script = "#!/bin/sh\n{ echo \"$#\"; echo \"$1\"; echo END; } > '" + argsFile + "'\n";
    const QByteArray tool = QFile::encodeName(data.filePath(QStringLiteral("args-tool")));
    QString error;
    ASSERT_TRUE(WriteFileAtomically(tool, script, 0755, &error)) << error.toStdString();
    ASSERT_TRUE(WriteFileAtomically(ToolsFilePath(), "\"&Args\",hint,\"" + tool + "\"\n", 0644, &error)) << error.toStdString();
    TToolsMenu* tools = Child<TToolsMenu>(form);
    tools->mnuToolsClick();
    ASSERT_EQ(tools->ToolCommands.size(), 1);
    tools->RunToolCommand(0);
    QDeadlineTimer deadline(10000);
    std::optional<QByteArray> written;
    for (;;) {
      written = ReadWholeFile(argsFile);
      if ((written && written->endsWith("END\n")) || deadline.hasExpired()) break;
      QThread::msleep(20);
    }
    ASSERT_TRUE(written && written->endsWith("END\n"));
    EXPECT_EQ(*written, "0\n\nEND\n");
    EXPECT_TRUE(TakeBoxes().empty());
  }
  // Rescan all drives rescans the live drive and leaves the loaded one as it is.
  Child<QAction>(form, "cmdFileRescanAllDrives")->trigger();
  WaitForScans(form);
  EXPECT_TRUE(TakeBoxes().empty());
  EXPECT_EQ(session.FindFolder(QStringLiteral("A:\\Data\\Sub")), sub);
  EXPECT_EQ(sub->Data()->TotalSize, 10000);
  EXPECT_EQ(Listing(host), before);

  // Saved as a snapshot of the folder it names, at the time of the export, and compared.
  ShowFolderOnPage(form, QStringLiteral("A:\\"), 0);
  THistoryCommands* history = Child<THistoryCommands>(form);
  Child<QAction>(form, "cmdFileSaveSnapshot")->trigger();
  ASSERT_TRUE(PumpUntil([&] { return history->Running() == 0; }));
  EXPECT_TRUE(TakeBoxes().empty());
  TStoreLocation where;
  where.SqlitePath = data.filePath(QStringLiteral("history.sqlite"));
  QString error;
  std::unique_ptr<THistoryStore> db = THistoryStore::Open(where, &error);
  ASSERT_TRUE(db) << error.toStdString();
  const std::vector<TSnapshotInfo> stored = db->List().value_or(std::vector<TSnapshotInfo>{});
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].HostRoot, QFile::decodeName(host));
  EXPECT_EQ(stored[0].DrivePath, QStringLiteral("A:\\"));
  EXPECT_EQ(stored[0].Time, loaded->Time);
  history->CompareWith(stored[0]);
  ASSERT_TRUE(PumpUntil([&] { return history->Comparison() != nullptr; }));
  EXPECT_EQ(history->Comparison()->RootPath(), QStringLiteral("A:\\"));
  EXPECT_EQ(history->Comparison()->Result().TotalChange, 0);
  history->EndComparison();
  qunsetenv("KORVANE_HISTORY");

  // Taken out of the tree it is gone (a rescan could not bring it back); the letter is free again.
  Child<QAction>(form, "cmdFileRemoveCurrentDrive")->trigger();
  EXPECT_EQ(session.Drive(QLatin1Char('A')), nullptr);
  EXPECT_EQ(form.ScannedDrives(), QStringLiteral("T"));
  EXPECT_EQ(Listing(host), before);
}

TEST_F(ScanFileTest, StartupArgumentsOpenExportsAndDamagedFilesSaySo) {
  QString skip;
  const QString gduFile = Export(QStringLiteral("gdu"), {QStringLiteral("-n"), QStringLiteral("-o"), out.filePath(QStringLiteral("gdu.json")),
                                                         QFile::decodeName(host)},
                                 out.filePath(QStringLiteral("gdu.json")), &skip);
  if (gduFile.isEmpty()) GTEST_SKIP() << skip.toStdString();
  QFile whole(gduFile);
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
  const QByteArray bytes = whole.readAll();
  // Cut short just after the first file of Sub: what came before loads.
  const QString cut = out.filePath(QStringLiteral("cut.json"));
  const qsizetype at = bytes.indexOf("one.bin");
  ASSERT_GT(at, 0);
  {
    QFile f(cut);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.left(bytes.indexOf('}', at) + 1));
  }
  const QString garbage = out.filePath(QStringLiteral("notes.json"));
  {
    QFile f(garbage);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"not\": \"an export\"}");
  }

  // No drive is scanned at start: the files alone, no Scan Drives dialog. The garbage takes no
  // letter, so the cut file gets B:; the last file finds both taken once it is read.
  TMainForm form({gduFile, cut, garbage, gduFile});
  form.resize(1000, 700);
  StartMainForm(form);
  WaitForFiles(form);
  EXPECT_TRUE(dialogs.isEmpty()) << dialogs.join(QLatin1Char(' ')).toStdString();
  TScanSession& session = form.Session();
  EXPECT_EQ(session.ScannedDrives(), QStringLiteral("AB"));
  const TLoadedScanInfo* a = session.LoadedScan(QLatin1Char('A'));
  const TLoadedScanInfo* b = session.LoadedScan(QLatin1Char('B'));
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(a->Complete);
  EXPECT_EQ(a->Program.left(3), QStringLiteral("gdu"));
  EXPECT_EQ(session.FindFolder(QStringLiteral("A:\\Data\\Sub"))->Data()->TotalSize, 10000);
  EXPECT_EQ(session.FindFolder(QStringLiteral("A:\\"))->Data()->TotalSize, 17005);
  EXPECT_FALSE(b->Complete);
  EXPECT_TRUE(session.Drive(QLatin1Char('B'))->Node->Text().startsWith(QStringLiteral("Scan file cut.json [incomplete] (")));
  EXPECT_EQ(session.FindFolder(QStringLiteral("B:\\Data\\Sub"))->Data()->TotalSize, 10000);

  const std::vector<TMessageRequest> said = TakeBoxes();
  ASSERT_EQ(said.size(), 3u);
  EXPECT_TRUE(said[0].Text.startsWith(cut + QStringLiteral(" is damaged or cut short: byte "))) << said[0].Text.toStdString();
  EXPECT_EQ(said[0].Icon, TMessageIcon::Warning);
  EXPECT_TRUE(said[1].Text.startsWith(garbage + QStringLiteral(" could not be opened as a scan file"))) << said[1].Text.toStdString();
  EXPECT_EQ(said[1].Icon, TMessageIcon::Error);
  EXPECT_EQ(said[2].Text, gduFile + QStringLiteral(" could not be opened: two scan files are open already (drives A: and B:)."));
  Shot(form, "scanfile-startup");

  // Both letters are taken: a third file is refused at once, before it is read.
  Child<TScanFileCommands>(form)->OpenScanFile(gduFile);
  const std::vector<TMessageRequest> full = TakeBoxes();
  ASSERT_EQ(full.size(), 1u);
  EXPECT_TRUE(full[0].Text.contains(QStringLiteral("two scan files are open already"))) << full[0].Text.toStdString();
  EXPECT_EQ(Child<TScanFileCommands>(form)->Pending(), 0);
}

}  // namespace
