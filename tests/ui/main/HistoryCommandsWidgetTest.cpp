// File > Save Snapshot in the main window: saved off the window's thread, failures in a box.

#include "history/HistoryStore.h"
#include "scan/FolderSize.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/HistoryCommands.h"
#include "ui/main/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class TEnvScope {
public:
  TEnvScope(const char* name, const QByteArray& value) : name_(name), saved_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value);
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

// Triggers Save Snapshot as the menu does and pumps events until the save has ended.
void SaveSnapshot(TMainForm& form) {
  QAction* save = form.findChild<QAction*>(QStringLiteral("cmdFileSaveSnapshot"));
  THistoryCommands* commands = form.findChild<THistoryCommands*>();
  ASSERT_TRUE(save && commands);
  save->trigger();
  // The save runs on a worker thread while the window goes on.
  EXPECT_EQ(commands->Running(), 1);
  QDeadlineTimer deadline(30000);
  while (commands->Running() > 0 && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(commands->Running(), 0);
}

TEST(HistoryCommands, SaveSnapshotKeepsTheCurrentDrivesFiguresAndReportsFailures) {
  TRegistryScope registry;
  TFixtureTree t;
  t.File("Data/Sub/one.bin", 10000);
  t.File("Data/two.bin", 7000);
  TDriveScope drives({{'T', t.Root()}});
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("history.sqlite"));
  std::vector<TMessageRequest> boxes;
  SetMessageAnswerer([&](const TMessageRequest& r) {
    boxes.push_back(r);
    return int(mbOK);
  });
  {
    TEnvScope store("KORVANE_HISTORY", QFile::encodeName(file));
    TMainForm form({QStringLiteral("T:\\")});
    StartMainForm(form);
    ASSERT_EQ(form.CurrentDrive, QLatin1Char('T'));
    SaveSnapshot(form);
    EXPECT_TRUE(boxes.empty());

    TStoreLocation where;
    where.SqlitePath = file;
    QString error;
    std::unique_ptr<THistoryStore> db = THistoryStore::Open(where, &error);
    ASSERT_TRUE(db) << error.toStdString();
    const auto list = db->List();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ((*list)[0].DrivePath, QStringLiteral("T:\\"));
    EXPECT_EQ((*list)[0].HostRoot, QFile::decodeName(t.Root()));
    EXPECT_EQ((*list)[0].Bytes, form.Session().Drive(QLatin1Char('T'))->Node->Data()->TotalSize);
    EXPECT_EQ((*list)[0].Bytes, 17000);
    EXPECT_EQ((*list)[0].FolderCount, 3);
  }
  {
    TEnvScope store("KORVANE_HISTORY", "/proc/korvane-none/history.sqlite");
    TMainForm form({QStringLiteral("T:\\")});
    StartMainForm(form);
    SaveSnapshot(form);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Icon, TMessageIcon::Error);
    EXPECT_TRUE(boxes[0].Text.contains(QStringLiteral("T:\\"))) << boxes[0].Text.toStdString();
    EXPECT_TRUE(boxes[0].Text.contains(QStringLiteral("/proc/korvane-none"))) << boxes[0].Text.toStdString();
  }
  SetMessageAnswerer(nullptr);
}

}  // namespace
