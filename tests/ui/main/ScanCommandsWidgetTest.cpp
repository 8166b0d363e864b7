// The scan commands without the main window: the controller over a scan session, its queue, the
// current folder and a stand-in for the window's services, which records what the commands ask.

#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "scan/ScanQueue.h"
#include "scan/ScanSession.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/PageHost.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/WindowScanHost.h"
#include "ui/main/WindowServices.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The window as the commands see it: a selection that becomes the current folder, and a log of
// what was asked.
class TFakeWindow : public IWindowServices {
public:
  explicit TFakeWindow(TCurrentFolder& current) : current_(current) {}

  QWidget* Window() override { return &widget_; }
  void SetStatusText(int panel, const QString& text) override {
    if (panel == 0) status = text;
  }
  bool SelectNode(TTreeNode* node) override {
    selected_ = node;
    if (node)
      current_.SetFolder(node, NodePath(node));
    else
      current_.SetNode(nullptr);
    return true;
  }
  TTreeNode* SelectedNode() const override { return selected_; }
  void RevealNode(TTreeNode* node) override {
    SelectNode(node);
    revealed << NodePath(node);
  }
  void ShowSelectionAgain() override { ++shownAgain; }
  bool PreparePages(TTreeNode* node) override {
    if (!node) ++pagesCleared;
    return true;
  }
  void InvalidateAll(bool) override { ++invalidated; }
  int ShownPage() const override { return page_; }
  void ShowPage(int page) override { page_ = page; }
  void RebuildDriveList() override {}

  QString status;
  QStringList revealed;
  int shownAgain = 0;
  int pagesCleared = 0;
  int invalidated = 0;

private:
  TCurrentFolder& current_;
  QWidget widget_;
  TTreeNode* selected_ = nullptr;
  int page_ = pgPie;
};

// Drive T over a small tree; the controller and what it stands on; every message box answered
// with answer and its text kept.
class ScanCommands : public ::testing::Test {
protected:
  ScanCommands()
      : drives_({{'T', tree.Root()}}),
        window(current),
        host(window, current, [this] { ++pageRefills; }),
        session(host),
        scans(session),
        commands(session, scans, current, window, host) {
    tree.File("Data/a.bin", 5000);
    tree.File("Data/Sub/b.bin", 3000);
    tree.File("Other/c.bin", 100);
    SetMessageAnswerer([this](const TMessageRequest& r) {
      messages << r.Text;
      return answer;
    });
  }
  ~ScanCommands() override { SetMessageAnswerer(nullptr); }

  void Wait() {
    QDeadlineTimer deadline(30000);
    while (!scans.Idle() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
    QApplication::processEvents();
    ASSERT_TRUE(scans.Idle()) << "the scans did not end";
  }

  int64_t SizeAt(const QString& path) {
    TTreeNode* node = session.FindFolder(path);
    return node && node->Data() ? node->Data()->TotalSize : -1;
  }

  TRegistryScope registry;
  TFixtureTree tree;
  TDriveScope drives_;
  TCurrentFolder current;
  TFakeWindow window;
  int pageRefills = 0;
  TWindowScanHost host;
  TScanSession session;
  TScanQueue scans;
  TScanCommands commands;
  QStringList messages;
  int answer = mbCancel;
};

TEST_F(ScanCommands, GoingToAFolderOfAnUnscannedDriveScansItFirstThenRevealsTheFolder) {
  ASSERT_TRUE(commands.GoToFolder(QStringLiteral("T:\\Data\\Sub")));
  EXPECT_TRUE(session.Scanning()) << "the scan runs on the event loop, not inside the command";
  Wait();
  EXPECT_EQ(window.revealed, QStringList{QStringLiteral("T:\\Data\\Sub")});
  EXPECT_EQ(current.Path(), QStringLiteral("T:\\Data\\Sub"));
  EXPECT_EQ(SizeAt(QStringLiteral("T:\\Data")), 8000);
  EXPECT_EQ(window.status, QStringLiteral("Done."));
  EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ScanCommands, RescanningTheDriveBringsInWhatChangedAndGoesBackToTheFolderShown) {
  commands.GoToFolder(QStringLiteral("T:\\Data"));
  Wait();
  tree.File("Data/new.bin", 2000);
  tree.Dir("Data/Made");
  window.revealed.clear();
  commands.RescanDrives(QStringLiteral("T"));
  Wait();
  EXPECT_EQ(SizeAt(QStringLiteral("T:\\Data")), 10000);
  EXPECT_NE(session.FindFolder(QStringLiteral("T:\\Data\\Made")), nullptr);
  EXPECT_EQ(window.revealed, QStringList{QStringLiteral("T:\\Data")});

  // A folder made after the scan: going there reads its nearest scanned folder again.
  tree.File("Data/Later/d.bin", 700);
  window.revealed.clear();
  ASSERT_TRUE(commands.GoToFolder(QStringLiteral("T:\\Data\\Later")));
  Wait();
  EXPECT_EQ(window.revealed, QStringList{QStringLiteral("T:\\Data\\Later")});
  EXPECT_EQ(SizeAt(QStringLiteral("T:\\Data")), 10700);
}

TEST_F(ScanCommands, WhatCannotBeReachedIsSaidAndStartsNoScan) {
  // A path on no drive.
  commands.OpenPath(QStringLiteral("/no/such/place/at/all"));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], QStringLiteral("/no/such/place/at/all is not on any drive."));
  EXPECT_FALSE(session.Scanning());

  // A drive whose folder has gone: Retry asks again, Cancel gives up without a scan.
  tree.Dir("Gone");
  TDriveScope gone({{'U', tree.Path("Gone")}});
  RemoveTree(tree.Path("Gone"));
  int asked = 0;
  SetMessageAnswerer([&asked](const TMessageRequest& r) {
    EXPECT_TRUE(r.Text.startsWith(QStringLiteral("U: is not accessible."))) << r.Text.toStdString();
    return ++asked < 3 ? int(mbRetry) : int(mbCancel);
  });
  EXPECT_FALSE(commands.GoToFolder(QStringLiteral("U:\\x")));
  Wait();
  EXPECT_EQ(asked, 3);
  EXPECT_FALSE(session.IsScanned(QLatin1Char('U')));
  EXPECT_TRUE(window.revealed.isEmpty());
}

}  // namespace
