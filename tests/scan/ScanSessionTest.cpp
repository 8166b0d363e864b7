#include "scan/FolderSize.h"
#include "scan/PathFunctions.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>
#include <vector>

namespace {

// A host that can act while the walk is in a given folder.
class TPumpHost : public IScanHost {
public:
  void SetStatusText(const QString& text) override { status = text; }
  void SetBusy(bool) override {}
  void FolderCompleted(TTreeNode*) override {}
  void FolderStarting() override {
    if (onFolder) onFolder(status);
  }
  QString status;
  std::function<void(const QString&)> onFolder;
};

QString DriveTextOf(char letter) {
  return QLatin1Char(letter) + DriveDisplayName(QLatin1Char(letter) + QStringLiteral(":\\"));
}

class ScanSessionTest : public ::testing::Test {
protected:
  ScanSessionTest() {
    fx.File("a/one", 1000);
    fx.File("a/deep/two", 3000);
    fx.File("b/three", 500);
    fx.File("own", 20);
    QObject::connect(&session, &TScanSession::ScanStarted, [this] { events.push_back("started"); });
    QObject::connect(&session, &TScanSession::ScanFinished,
                     [this](bool aborted) { events.push_back(aborted ? "aborted" : "finished"); });
    QObject::connect(&session, &TScanSession::TreeChanged, [this] { events.push_back("tree"); });
  }

  TFixtureTree fx;
  TFixtureTree other;
  TDriveScope drives{{{'T', fx.Root()}, {'U', other.Root()}}};
  TPumpHost host;
  TScanSession session{host};
  std::vector<std::string> events;
};

TEST_F(ScanSessionTest, ScansRescansAndRemovesDrivesAndSaysSo) {
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('T')));
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('U')));
  EXPECT_EQ(session.ScannedDrives(), QStringLiteral("TU"));
  EXPECT_EQ(events, (std::vector<std::string>{"started", "finished", "started", "finished"}));
  ASSERT_EQ(session.Tree().TopCount(), 2);
  TDriveRecInfo* t = session.Drive('t');
  ASSERT_NE(t, nullptr);
  ASSERT_NE(t->Node, nullptr);
  EXPECT_EQ(t->Node->Data()->TotalSize, 4520);
  EXPECT_FALSE(session.ScanDrive(DriveTextOf('T'))) << "a drive in the tree is rescanned, not doubled";

  fx.File("b/four", 80);
  events.clear();
  ASSERT_TRUE(session.RescanDrive('T'));
  EXPECT_EQ(events, (std::vector<std::string>{"tree", "started", "finished"}));
  EXPECT_EQ(session.Drive('T'), t) << "the record is kept across a rescan";
  EXPECT_EQ(session.Drive('T')->Node->Data()->TotalSize, 4600);
  EXPECT_EQ(session.ScannedDrives(), QStringLiteral("UT"));

  EXPECT_EQ(session.FindFolder(QStringLiteral("T:\\a\\deep")), FindNodeByPath(t->Node, QStringLiteral("a\\deep"), true));
  EXPECT_NE(session.FindFolder(QStringLiteral("T:\\a\\deep")), nullptr);
  EXPECT_EQ(session.FindFolder(QStringLiteral("T:\\")), t->Node);
  EXPECT_EQ(session.FindFolder(QStringLiteral("T:\\nowhere")), nullptr);
  EXPECT_EQ(session.FindFolder(QStringLiteral("V:\\")), nullptr);

  ASSERT_TRUE(session.RemoveDrive('U'));
  EXPECT_EQ(session.Drive('U'), nullptr);
  EXPECT_EQ(session.ScannedDrives(), QStringLiteral("T"));
  EXPECT_EQ(session.Tree().TopCount(), 1);
  EXPECT_FALSE(session.RemoveDrive('U'));
}

TEST_F(ScanSessionTest, RefusesEveryTreeChangeWhileAScanRuns) {
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('U')));
  TTreeNode* uRoot = session.Drive('U')->Node;
  bool tried = false;
  host.onFolder = [&](const QString& path) {
    if (tried || !path.endsWith(QStringLiteral("\\a\\"))) return;
    tried = true;
    EXPECT_TRUE(session.Scanning());
    EXPECT_FALSE(session.ScanDrive(DriveTextOf('V')));
    EXPECT_FALSE(session.RescanDrive('U'));
    EXPECT_FALSE(session.RemoveDrive('U'));
    EXPECT_FALSE(session.RemoveDriveNode('U'));
    EXPECT_FALSE(session.RescanFolder(uRoot));
    EXPECT_FALSE(session.RemoveFolder(session.Tree().Top(1)->Child(0), 0));
    EXPECT_FALSE(session.RemoveFile(uRoot, 'U', {10}));
  };
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('T')));
  EXPECT_TRUE(tried);
  EXPECT_FALSE(session.Scanning());
  EXPECT_EQ(session.Tree().TopCount(), 2);
  EXPECT_EQ(session.ScannedDrives(), QStringLiteral("UT"));
}

TEST_F(ScanSessionTest, AbortStopsTheScanAndSeveralDrivesInARow) {
  host.onFolder = [&](const QString& path) {
    if (path.endsWith(QStringLiteral("\\a\\"))) session.Abort();
  };
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('T')));
  EXPECT_EQ(events, (std::vector<std::string>{"started", "aborted"}));
  EXPECT_TRUE(session.Aborted()) << "left set, so that a loop over several drives stops too";
  EXPECT_EQ(session.Drive('T')->Node->Data(), nullptr) << "an aborted drive has no figures";
  host.onFolder = nullptr;
  ASSERT_TRUE(session.RescanDrive('T'));
  EXPECT_FALSE(session.Aborted()) << "a new scan clears the request";
  ASSERT_NE(session.Drive('T')->Node->Data(), nullptr);
}

TEST_F(ScanSessionTest, RemovingAGoneFolderOrFileTakesItsFiguresOutOfItsAncestors) {
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('T')));
  TTreeNode* root = session.Drive('T')->Node;
  TTreeNode* a = session.FindFolder(QStringLiteral("T:\\a"));
  ASSERT_NE(a, nullptr);
  const int32_t cluster = session.Drive('T')->ClusterSize;
  const int64_t wastedBefore = root->Data()->TotalWasted;
  ASSERT_TRUE(session.RemoveFolder(a, a->Data()->TotalSize));
  EXPECT_EQ(root->Data()->TotalSize, 520);
  EXPECT_EQ(root->Data()->TotalFolders, 1);
  EXPECT_EQ(root->Data()->TotalFiles, 2);
  EXPECT_EQ(session.FindFolder(QStringLiteral("T:\\a")), nullptr);

  TTreeNode* b = session.FindFolder(QStringLiteral("T:\\b"));
  const int64_t wastedNow = root->Data()->TotalWasted;
  ASSERT_TRUE(session.RemoveFile(b, 'T', session.CountedFile(b, QStringLiteral("T:\\b\\three"), 500)));
  EXPECT_EQ(b->Data()->TotalSize, 0);
  EXPECT_EQ(root->Data()->TotalSize, 20);
  EXPECT_EQ(root->Data()->TotalFiles, 1);
  ASSERT_GT(cluster, 0);
  EXPECT_EQ(wastedNow - root->Data()->TotalWasted, ClusterSlack(cluster, 500));
  EXPECT_LT(root->Data()->TotalWasted, wastedBefore);
  EXPECT_FALSE(session.RemoveFolder(root, 0)) << "a drive goes with RemoveDrive";
}

TEST_F(ScanSessionTest, NearestFolderIsTheDeepestOneInTheTree) {
  EXPECT_EQ(session.NearestFolder(QStringLiteral("T:\\a")), nullptr) << "drive not scanned";
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('T')));
  TTreeNode* root = session.Drive('T')->Node;
  TTreeNode* deep = session.FindFolder(QStringLiteral("T:\\a\\deep"));
  ASSERT_NE(deep, nullptr);
  struct Case {
    const char* path;
    TTreeNode* node;
  } cases[] = {{"T:\\a\\deep", deep},          {"T:\\a\\deep\\new\\inner\\", deep},
               {"T:\\zz\\new", root},         {"T:\\", root},
               {"T:\\a\\deep\\two", deep},     {"U:\\x", nullptr},
               {"bad", nullptr}};
  for (const Case& c : cases) EXPECT_EQ(session.NearestFolder(QString::fromLatin1(c.path)), c.node) << c.path;

  // A folder made after the scan comes in with a rescan of its nearest folder.
  fx.File("a/deep/new/inner/four", 4000);
  ASSERT_TRUE(session.RescanFolder(session.NearestFolder(QStringLiteral("T:\\a\\deep\\new\\inner"))));
  ASSERT_NE(session.FindFolder(QStringLiteral("T:\\a\\deep\\new\\inner")), nullptr);
  EXPECT_EQ(session.Drive('T')->Node->Data()->TotalSize, 1000 + 3000 + 500 + 20 + 4000);
}

// A file with two names counts its bytes in one folder; removing the other name takes out the
// name only, and removing the counting name frees the file to count at its other name next time.
TEST_F(ScanSessionTest, AFileWithSeveralNamesLosesItsBytesOnlyWhereTheyCounted) {
  fx.File("c/shared", 8000);
  fx.Dir("d");
  ASSERT_EQ(::link(fx.Path("c/shared").constData(), fx.Path("d/shared").constData()), 0);
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('T')));
  TTreeNode* root = session.Drive('T')->Node;
  TTreeNode* c = session.FindFolder(QStringLiteral("T:\\c"));
  TTreeNode* d = session.FindFolder(QStringLiteral("T:\\d"));
  ASSERT_TRUE(c && d);
  ASSERT_EQ(root->Data()->TotalSize, 4520 + 8000);
  // The walk meets the names in the file system's order: find which folder counted the bytes.
  const bool cCounts = c->Data()->TotalSize == 8000;
  ASSERT_EQ((cCounts ? d : c)->Data()->TotalSize, 0);
  TTreeNode* owner = cCounts ? c : d;
  TTreeNode* notOwner = cCounts ? d : c;
  const QString otherPath = cCounts ? QStringLiteral("T:\\d\\shared") : QStringLiteral("T:\\c\\shared");
  const QString ownerPath = cCounts ? QStringLiteral("T:\\c\\shared") : QStringLiteral("T:\\d\\shared");

  const TScanSession::TCountedFile notCounted = session.CountedFile(notOwner, otherPath, 8000);
  EXPECT_EQ(notCounted.Size, 0);
  EXPECT_FALSE(notCounted.OwnsLink);
  fx.Remove(cCounts ? "d/shared" : "c/shared");
  ASSERT_TRUE(session.RemoveFile(notOwner, 'T', notCounted));
  EXPECT_EQ(root->Data()->TotalSize, 4520 + 8000) << "the bytes are still on the disk and counted";
  EXPECT_EQ(notOwner->Data()->TotalFiles, 0);
  EXPECT_EQ(owner->Data()->TotalSize, 8000);

  // Two more names, and this time the one that counted the bytes goes.
  for (const char* name : {"b/shared", "a/deep/shared"})
    ASSERT_EQ(::link(fx.Path(cCounts ? "c/shared" : "d/shared").constData(), fx.Path(name).constData()), 0);
  const TScanSession::TCountedFile counted = session.CountedFile(owner, ownerPath, 8000);
  EXPECT_EQ(counted.Size, 8000);
  EXPECT_TRUE(counted.OwnsLink);
  fx.Remove(cCounts ? "c/shared" : "d/shared");
  ASSERT_TRUE(session.RemoveFile(owner, 'T', counted));
  EXPECT_EQ(owner->Data()->TotalSize, 0);
  TTreeNode* b = session.FindFolder(QStringLiteral("T:\\b"));
  ASSERT_TRUE(session.RescanFolder(b));
  b = session.FindFolder(QStringLiteral("T:\\b"));
  EXPECT_EQ(b->Data()->TotalSize, 500 + 8000) << "the remaining name now counts the bytes";
  EXPECT_EQ(root->Data()->TotalSize, 4520 + 8000);
}

TEST(ScanSession, TheGlobalNamesFollowTheActiveSession) {
  THeadlessHost host;
  SelectedClusterIndex = 0;
  AbortScan = false;
  {
    TScanSession outer(host);
    SelectedClusterIndex = 4;
    EXPECT_EQ(outer.SelectedClusterIndex(), 4);
    {
      TScanSession inner(host);
      EXPECT_EQ(SelectedClusterIndex, 0) << "a new session starts with the drive's own size";
      inner.Abort();
      EXPECT_TRUE(AbortScan);
      inner.SetSelectedClusterIndex(7);
      EXPECT_EQ(SelectedClusterIndex, 7);
      EXPECT_TRUE(DriveList().empty());
    }
    EXPECT_EQ(SelectedClusterIndex, 4);
    EXPECT_FALSE(AbortScan) << "the inner session's abort was its own";
  }
  EXPECT_EQ(SelectedClusterIndex, 0);
}

}  // namespace
