// The on-disk figure (the blocks files really occupy) against find's own count, through scans,
// removals and rescans, on a tree of sparse files, holes, files with several names and links.

#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "tests/support/Fixture.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// find's count: the 512-byte blocks of every entry below folder that is not a folder, once per
// inode.
int64_t FindBlocks(const QByteArray& folder) {
  QProcess find;
  find.start(QStringLiteral("find"), {QString::fromLocal8Bit(folder), QStringLiteral("-mindepth"), QStringLiteral("1"),
                                      QStringLiteral("!"), QStringLiteral("-type"), QStringLiteral("d"),
                                      QStringLiteral("-printf"), QStringLiteral("%i %b\\n")});
  if (!find.waitForFinished(60000) || find.exitCode() != 0) {
    ADD_FAILURE() << "find failed";
    return -1;
  }
  std::set<QByteArray> seen;
  int64_t blocks = 0;
  for (const QByteArray& line : find.readAllStandardOutput().split('\n')) {
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 2) continue;
    if (seen.insert(parts[0]).second) blocks += parts[1].toLongLong();
  }
  return blocks * 512;
}

// Writes data at each offset of a file of the given length (the rest stays a hole).
void WriteAt(const QByteArray& path, int64_t length, std::initializer_list<int64_t> offsets) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const QByteArray data(10000, 'x');
  for (const int64_t offset : offsets) ASSERT_EQ(::pwrite(fd, data.constData(), data.size(), offset), data.size());
  ASSERT_EQ(::ftruncate(fd, length), 0);
  ::close(fd);
}

QString DriveTextOf(char letter) {
  return QLatin1Char(letter) + DriveDisplayName(QLatin1Char(letter) + QStringLiteral(":\\"));
}

class OnDiskTest : public ::testing::Test {
protected:
  void SetUp() override {
    fx.File("sparse/huge", int64_t{1} << 40);  // a terabyte that takes nothing
    fx.Dir("holes");
    WriteAt(fx.Path("holes/middle"), 50'000'000, {0, 20'000'000});
    WriteAt(fx.Path("holes/dense"), 30000, {0, 10000, 20000});
    fx.File("linked/one", 70000, false);
    fx.Dir("other");
    ASSERT_EQ(::link(fx.Path("linked/one").constData(), fx.Path("other/two").constData()), 0);
    ASSERT_EQ(::link(fx.Path("linked/one").constData(), fx.Path("linked/three").constData()), 0);
    fx.Symlink("a-target-name-long-enough-to-need-a-block-of-its-own-on-some-file-systems-" + QByteArray(80, 'l'),
               "holes/link");
    fx.File("empty/nothing", 0);
  }

  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Root()}}};
  THeadlessHost host;
  TScanSession session{host};
};

TEST_F(OnDiskTest, ScanCountsTheBlocksFindCountsOncePerFile) {
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('T')));
  const TFolderSize& root = *session.Drive('T')->Node->Data();
  EXPECT_EQ(root.TotalOnDisk, FindBlocks(fx.Root()));
  EXPECT_LT(root.TotalOnDisk, 1'000'000) << "a sparse terabyte takes almost nothing";
  EXPECT_GT(root.TotalSize, int64_t{1} << 40) << "the sizes stay the files' lengths";
  for (const char* folder : {"sparse", "holes", "empty"}) {
    const TTreeNode* node = session.FindFolder(QStringLiteral("T:\\") + QLatin1String(folder));
    ASSERT_NE(node, nullptr) << folder;
    EXPECT_EQ(node->Data()->TotalOnDisk, FindBlocks(fx.Path(folder))) << folder;
    EXPECT_EQ(FilesOnDisk(*node), node->Data()->TotalOnDisk) << folder;
  }
  // The file with three names counts in one of the two folders holding them, like its size.
  const TFolderSize& linked = *session.FindFolder(QStringLiteral("T:\\linked"))->Data();
  const TFolderSize& other = *session.FindFolder(QStringLiteral("T:\\other"))->Data();
  EXPECT_EQ(linked.TotalOnDisk + other.TotalOnDisk, FindBlocks(fx.Path("linked")));
  EXPECT_EQ(linked.TotalSize == 0, linked.TotalOnDisk == 0);
  EXPECT_EQ(other.TotalSize == 0, other.TotalOnDisk == 0);
}

TEST_F(OnDiskTest, RemovalsAndRescansKeepTheFigureRight) {
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('T')));
  TTreeNode* rootNode = session.Drive('T')->Node;
  const int64_t before = rootNode->Data()->TotalOnDisk;

  // A file goes: its blocks leave its folder and every ancestor.
  TTreeNode* holes = session.FindFolder(QStringLiteral("T:\\holes"));
  struct stat st {};
  ASSERT_EQ(::lstat(fx.Path("holes/middle").constData(), &st), 0);
  const int64_t middle = int64_t{st.st_blocks} * 512;
  ASSERT_GT(middle, 0);
  const TScanSession::TCountedFile counted = session.CountedFile(holes, QStringLiteral("T:\\holes\\middle"), 50'000'000);
  EXPECT_EQ(counted.OnDisk, middle);
  fx.Remove("holes/middle");
  ASSERT_TRUE(session.RemoveFile(holes, 'T', counted));
  EXPECT_EQ(FilesOnDisk(*holes), FindBlocks(fx.Path("holes")));
  EXPECT_EQ(rootNode->Data()->TotalOnDisk, before - middle);
  EXPECT_EQ(rootNode->Data()->TotalOnDisk, FindBlocks(fx.Root()));

  // A folder goes.
  TTreeNode* sparse = session.FindFolder(QStringLiteral("T:\\sparse"));
  const int64_t sparseBlocks = sparse->Data()->TotalOnDisk;
  ASSERT_TRUE(session.RemoveFolder(sparse, sparse->Data()->TotalSize));
  EXPECT_EQ(rootNode->Data()->TotalOnDisk, before - middle - sparseBlocks);

  // A folder grows and is scanned again.
  RemoveTree(fx.Path("sparse"));
  WriteAt(fx.Path("empty/grown"), 200000, {0, 100000});
  ASSERT_TRUE(session.RescanFolder(session.FindFolder(QStringLiteral("T:\\empty"))));
  EXPECT_EQ(rootNode->Data()->TotalOnDisk, FindBlocks(fx.Root()));
}

}  // namespace
