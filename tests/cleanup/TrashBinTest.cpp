// What a drive's trash holds and emptying it: counted like trash-cli reads it, emptied without
// ever touching what lies outside it, and consistent (every item left keeps its .trashinfo)
// whether it ends, fails, is stopped or is killed.

#include "cleanup/Trash.h"
#include "cleanup/TrashBin.h"

#include "tests/cleanup/CleanupFixture.h"
#include "tests/support/Fixture.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <linux/fs.h>
#include <random>
#include <set>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>

namespace {

class TDataHome {
public:
  explicit TDataHome(const QByteArray& path) : saved_(qgetenv("XDG_DATA_HOME")), wasSet_(qEnvironmentVariableIsSet("XDG_DATA_HOME")) {
    qputenv("XDG_DATA_HOME", path);
  }
  ~TDataHome() { wasSet_ ? (void)qputenv("XDG_DATA_HOME", saved_) : (void)qunsetenv("XDG_DATA_HOME"); }

private:
  QByteArray saved_;
  bool wasSet_;
};

QByteArray ReadAll(const QByteArray& path) {
  QFile file(QString::fromLocal8Bit(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

std::set<QByteArray> Names(const QByteArray& folder) {
  std::set<QByteArray> names;
  for (const auto& [rel, entry] : Snapshot(folder, false))
    if (!rel.contains('/')) names.insert(rel);
  return names;
}

class TrashBinTest : public ::testing::Test {
protected:
  TrashBinTest() {
    fx.Dir("share");
    fx.Dir("drive");
    trash = fx.Path("share/Trash");
  }

  // Trashes count items from the drive (files, a folder tree, links that lead outside) and
  // returns their total bytes of regular files.
  int64_t Fill(int count) {
    int64_t bytes = 0;
    std::vector<QByteArray> paths;
    for (int i = 0; i < count; ++i) {
      const QByteArray item = fx.Path("drive/item" + QByteArray::number(i));
      if (i % 4 == 0) {
        WriteFile(item + "/a/b", QByteArray(100 + i, 'x'));
        WriteFile(item + "/c", QByteArray(7, 'y'));
        EXPECT_EQ(::symlink(fx.Path("outside").constData(), (item + "/to-outside").constData()), 0);
        bytes += 100 + i + 7;
      } else if (i % 4 == 1) {
        EXPECT_EQ(::symlink(fx.Path("outside/keep").constData(), item.constData()), 0);
      } else {
        WriteFile(item, QByteArray(i, 'z'));
        bytes += i;
      }
      paths.push_back(item);
    }
    TOpContext context;
    const TOpResult result = TrashEntries(paths, context);
    EXPECT_EQ(result.status, TOpStatus::Done);
    return bytes;
  }

  // Every entry of files/ has its .trashinfo, apart from the orphans the test made.
  void ExpectConsistent(const std::set<QByteArray>& madeOrphans = {}) {
    const std::set<QByteArray> files = Names(trash + "/files");
    const std::set<QByteArray> info = Names(trash + "/info");
    for (const QByteArray& name : files) {
      if (!madeOrphans.count(name)) {
        EXPECT_TRUE(info.count(name + ".trashinfo")) << "no .trashinfo for " << name.constData();
      }
    }
  }

  TFixtureTree fx;
  TDataHome home{fx.Path("share")};
  QByteArray trash;
  std::map<QByteArray, TSnapEntry> outside;

  void MakeOutside() {
    WriteFile(fx.Path("outside/keep"), "precious");
    WriteFile(fx.Path("outside/deeper/also"), "precious too");
    outside = Snapshot(fx.Path("outside"));
  }
};

TEST_F(TrashBinTest, CountsAndEmptiesEverythingWithOrphansAndLeavesTheRestAlone) {
  MakeOutside();
  const int64_t bytes = Fill(12);
  // An entry without its .trashinfo, a .trashinfo without its entry, something that is no
  // .trashinfo, and a cache line for a trashed folder.
  WriteFile(trash + "/files/lost", "12345");
  WriteFile(trash + "/info/ghost.trashinfo", "[Trash Info]\nPath=/nowhere\nDeletionDate=2026-01-01T00:00:00\n");
  WriteFile(trash + "/info/notes.txt", "not an item");
  WriteFile(trash + "/directorysizes", "4096 1700000000 item0\n99 1700000000 some%20thing-else\n");

  const std::vector<TTrashFolder> folders = TrashFoldersFor(fx.Path("drive"));
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(folders[0].Path, trash);
  const TTrashContents contents = MeasureTrash(folders);
  EXPECT_EQ(contents.Items, 14);
  EXPECT_EQ(contents.Bytes, bytes + 5);
  EXPECT_EQ(contents.Orphans, (std::vector<QByteArray>{trash + "/info/ghost.trashinfo", trash + "/files/lost"}));
  EXPECT_TRUE(contents.Problems.empty());

  // trash-cli reads the trash we wrote.
  QProcess list;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromLocal8Bit(fx.Path("share")));
  list.setProcessEnvironment(env);
  list.start(QStringLiteral("trash-list"), {});
  if (list.waitForFinished(60000) && list.exitStatus() == QProcess::NormalExit) {
    const QByteArray listed = list.readAllStandardOutput();
    for (int i = 0; i < 12; ++i)
      EXPECT_TRUE(listed.contains(fx.Path("drive/item" + QByteArray::number(i)) + "\n")) << listed.constData();
  } else {
    ADD_FAILURE() << "trash-list did not run";
  }

  TOpContext context;
  std::vector<QByteArray> orphans;
  const TOpResult result = EmptyTrash(folders, context, &orphans);
  EXPECT_EQ(result.status, TOpStatus::Done);
  for (const TOpFailure& f : result.failures) ADD_FAILURE() << qPrintable(f.path) << ": " << qPrintable(f.reason);
  EXPECT_EQ(result.entriesDone, 14);
  EXPECT_EQ(orphans, contents.Orphans);
  EXPECT_TRUE(Names(trash + "/files").empty());
  EXPECT_EQ(Names(trash + "/info"), std::set<QByteArray>{"notes.txt"});
  EXPECT_EQ(ReadAll(trash + "/directorysizes"), QByteArray()) << "the cache lines of what is gone are dropped";
  EXPECT_EQ(Snapshot(fx.Path("outside")), outside) << "links were followed";
  EXPECT_EQ(MeasureTrash(folders).Items, 0);
}

TEST_F(TrashBinTest, ATrashThatIsALinkIsRefused) {
  MakeOutside();
  // The home trash is a link to the outside folder; then files/ of a real trash is such a link.
  ASSERT_EQ(::symlink(fx.Path("outside").constData(), trash.constData()), 0);
  std::vector<TTrashFolder> folders = TrashFoldersFor(fx.Path("drive"));
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_FALSE(folders[0].Refusal.isEmpty());
  TOpContext context;
  EXPECT_EQ(EmptyTrash(folders, context).status, TOpStatus::Failed);
  EXPECT_FALSE(MeasureTrash(folders).Problems.empty());

  ASSERT_EQ(::unlink(trash.constData()), 0);
  ASSERT_EQ(::mkdir(trash.constData(), 0700), 0);
  ASSERT_EQ(::mkdir((trash + "/info").constData(), 0700), 0);
  WriteFile(trash + "/info/keep.trashinfo", "[Trash Info]\nPath=/x\nDeletionDate=2026-01-01T00:00:00\n");
  ASSERT_EQ(::symlink(fx.Path("outside").constData(), (trash + "/files").constData()), 0);
  folders = TrashFoldersFor(fx.Path("drive"));
  const TOpResult result = EmptyTrash(folders, context);
  EXPECT_EQ(result.status, TOpStatus::Failed);
  ASSERT_FALSE(result.failures.empty());
  EXPECT_TRUE(Exists(trash + "/info/keep.trashinfo")) << "nothing is emptied from a trash whose files/ is a link";
  EXPECT_EQ(Snapshot(fx.Path("outside")), outside);
}

// An item that cannot be removed keeps its .trashinfo and is reported; the rest goes.
TEST_F(TrashBinTest, AnItemThatCannotGoKeepsItsTrashInfo) {
  if (::geteuid() != 0) GTEST_SKIP() << "making a file immutable needs root";
  Fill(6);
  const QByteArray stuck = trash + "/files/item0/c";
  const int fd = ::open(stuck.constData(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  int flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 || (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags)) != 0) {
    ::close(fd);
    GTEST_SKIP() << "this file system has no immutable files";
  }
  struct TUnstick {
    int fd;
    ~TUnstick() {
      int f = 0;
      ::ioctl(fd, FS_IOC_GETFLAGS, &f);
      f &= ~FS_IMMUTABLE_FL;
      ::ioctl(fd, FS_IOC_SETFLAGS, &f);
      ::close(fd);
    }
  } unstick{fd};
  TOpContext context;
  const TOpResult result = EmptyTrash(TrashFoldersFor(fx.Path("drive")), context);
  EXPECT_EQ(result.status, TOpStatus::PartlyDone);
  ASSERT_FALSE(result.failures.empty());
  EXPECT_EQ(result.entriesDone, 5);
  EXPECT_EQ(Names(trash + "/files"), std::set<QByteArray>{"item0"});
  EXPECT_EQ(Names(trash + "/info"), std::set<QByteArray>{"item0.trashinfo"});
}

TEST_F(TrashBinTest, StoppedOrKilledAtAnyPointLeavesEveryItemWithItsTrashInfo) {
  MakeOutside();
  Fill(40);
  const std::vector<TTrashFolder> folders = TrashFoldersFor(fx.Path("drive"));
  // Stopped after a few items.
  TOpContext context;
  int seen = 0;
  context.onProgress = [&](const TOpProgress&) {
    if (++seen == 8) context.Cancel();
  };
  const TOpResult stopped = EmptyTrash(folders, context);
  EXPECT_EQ(stopped.status, TOpStatus::Cancelled);
  EXPECT_EQ(stopped.entriesDone, 7);
  EXPECT_EQ(MeasureTrash(folders).Items, 33);
  ExpectConsistent();

  // Killed at random moments, refilled each time.
  std::mt19937 rng(24);
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    RemoveTree(fx.Path("drive"));
    ::mkdir(fx.Path("drive").constData(), 0755);
    Fill(60);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      TOpContext inChild;
      EmptyTrash(folders, inChild);
      ::_exit(0);
    }
    std::uniform_int_distribution<int> delay(0, 6000);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ExpectConsistent();
    EXPECT_EQ(Snapshot(fx.Path("outside")), outside);
  }
  TOpContext last;
  EXPECT_NE(EmptyTrash(folders, last).status, TOpStatus::Failed);
  EXPECT_EQ(MeasureTrash(folders).Items, 0);
  EXPECT_EQ(Snapshot(fx.Path("outside")), outside);
}

// Off the home file system, the trash at the top of the drive's own file system is the one.
TEST_F(TrashBinTest, TheTrashOfAnotherFileSystemIsAtItsTop) {
  TTmpfsMount tmpfs;
  KORVANE_NEED_TMPFS(tmpfs);
  const QByteArray uid = QByteArray::number(::getuid());
  const QByteArray top = tmpfs.Path();
  ::mkdir((top + "/data").constData(), 0755);
  EXPECT_TRUE(TrashFoldersFor(top + "/data").empty()) << "no trash there yet";

  ASSERT_EQ(::mkdir((top + "/.Trash-" + uid).constData(), 0700), 0);
  WriteFile(top + "/.Trash-" + uid + "/files/x", "abc");
  WriteFile(top + "/.Trash-" + uid + "/info/x.trashinfo", "[Trash Info]\nPath=data/x\nDeletionDate=2026-01-01T00:00:00\n");
  ASSERT_EQ(::mkdir((top + "/.Trash").constData(), 01777), 0);
  ASSERT_EQ(::chmod((top + "/.Trash").constData(), 01777), 0);
  WriteFile(top + "/.Trash/" + uid + "/files/y", "defg");
  ::chmod((top + "/.Trash/" + uid).constData(), 0700);
  std::vector<TTrashFolder> folders = TrashFoldersFor(top + "/data");
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0].Path, top + "/.Trash/" + uid);
  EXPECT_EQ(folders[1].Path, top + "/.Trash-" + uid);
  const TTrashContents contents = MeasureTrash(folders);
  EXPECT_EQ(contents.Items, 2);
  EXPECT_EQ(contents.Bytes, 7);
  EXPECT_EQ(contents.Orphans, std::vector<QByteArray>{top + "/.Trash/" + uid + "/files/y"});

  // A shared .Trash that is a link is not followed.
  RemoveTree(top + "/.Trash");
  ASSERT_EQ(::symlink((top + "/data").constData(), (top + "/.Trash").constData()), 0);
  folders = TrashFoldersFor(top + "/data");
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_FALSE(folders[0].Refusal.isEmpty());
  TOpContext context;
  EXPECT_EQ(EmptyTrash(folders, context).status, TOpStatus::PartlyDone);
  EXPECT_FALSE(Exists(top + "/.Trash-" + uid + "/files/x"));
  EXPECT_TRUE(Exists(top + "/data"));
}

}  // namespace
