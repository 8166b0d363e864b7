#include "cleanup/DeleteOperation.h"

#include "tests/cleanup/CleanupFixture.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>

namespace {

// Sets or clears the immutable flag, which even root cannot remove a file past; false where the
// file system has no such flag.
bool SetImmutable(const QByteArray& path, bool on) {
  const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

TEST(DeleteOperation, RemovesTreesAndLinksAsLinksAndReportsWhatIsMissing) {
  TFixtureTree fx;
  fx.Dir("outside/inner");
  WriteFile(fx.Path("outside/inner/keep"), "outside");
  fx.Dir("tree/sub/deeper");
  WriteFile(fx.Path("tree/new\nline"), "x");
  WriteFile(fx.Path("tree/bad\xff" "name"), "x");
  WriteFile(fx.Path("tree/back\\slash"), "x");
  WriteFile(fx.Path("tree/sub/readonly"), "x", 0444);
  WriteFile(fx.Path("tree/sub/deeper/f"), "x");
  fx.Symlink(fx.Path("outside"), "tree/sub/to-outside");
  fx.Symlink("..", "tree/sub/loop");
  fx.Symlink("nowhere", "tree/dangling");
  fx.Symlink(fx.Path("outside/inner"), "link-given");
  WriteFile(fx.Path("single"), "x");
  ASSERT_EQ(::chmod(fx.Path("tree/sub/deeper").constData(), 0555), 0);

  TOpContext context;
  TOpProgress last;
  context.onProgress = [&](const TOpProgress& p) { last = p; };
  const TOpResult result =
      DeleteEntries({fx.Path("tree"), fx.Path("link-given"), fx.Path("missing"), fx.Path("single")}, context);
  const bool root = ::geteuid() == 0;
  EXPECT_EQ(result.status, TOpStatus::PartlyDone);
  ASSERT_GE(result.failures.size(), 1u);
  EXPECT_EQ(result.failures[0].path, QString::fromLocal8Bit(fx.Path("missing")));
  EXPECT_EQ(result.failures[0].error, ENOENT);
  if (root) {
    EXPECT_EQ(result.failures.size(), 1u);
    EXPECT_FALSE(Exists(fx.Path("tree")));
    EXPECT_EQ(last.entriesDone, last.entriesTotal);
    EXPECT_EQ(last.bytesDone, last.bytesTotal);
  }
  EXPECT_FALSE(Exists(fx.Path("link-given")));
  EXPECT_FALSE(Exists(fx.Path("single")));
  EXPECT_TRUE(Exists(fx.Path("outside/inner/keep"))) << "a link was followed";
}

TEST(DeleteOperation, GoesOnPastWhatItCannotRemoveAndNeverEntersAMount) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  TFixtureTree fx;
  fx.Dir("tree/a/mnt");
  fx.Dir("tree/b");
  for (const char* f : {"tree/a/f1", "tree/a/f2", "tree/b/f3", "tree/f4", "tree/b/stuck"}) WriteFile(fx.Path(f), "data");
  ASSERT_EQ(::mount("none", fx.Path("tree/a/mnt").constData(), "tmpfs", 0, nullptr), 0);
  WriteFile(fx.Path("tree/a/mnt/on-the-mount"), "must stay");
  const bool immutable = SetImmutable(fx.Path("tree/b/stuck"), true);

  TOpContext context;
  const TOpResult result = DeleteEntries({fx.Path("tree")}, context);
  EXPECT_EQ(result.status, TOpStatus::PartlyDone);
  std::vector<QString> failed;
  for (const TOpFailure& f : result.failures) failed.push_back(f.path);
  std::vector<QString> want = {QString::fromLocal8Bit(fx.Path("tree/a/mnt"))};
  if (immutable) want.push_back(QString::fromLocal8Bit(fx.Path("tree/b/stuck")));
  std::sort(failed.begin(), failed.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(failed, want) << "each entry that stayed is reported once, its folders not again";
  EXPECT_TRUE(Exists(fx.Path("tree/a/mnt/on-the-mount")));
  for (const char* f : {"tree/a/f1", "tree/a/f2", "tree/b/f3", "tree/f4"}) EXPECT_FALSE(Exists(fx.Path(f))) << f;
  if (immutable) SetImmutable(fx.Path("tree/b/stuck"), false);
  ::umount2(fx.Path("tree/a/mnt").constData(), MNT_DETACH);
}

TEST(DeleteOperation, CancelStopsBetweenEntriesAndLeavesTheRestWhole) {
  TFixtureTree fx;
  for (int i = 0; i < 30; ++i) WriteFile(fx.Path("f" + QByteArray::number(i)), "contents " + QByteArray::number(i));
  for (const int stopAt : {1, 7, 29}) {
    SCOPED_TRACE(stopAt);
    fx.Dir("t");
    for (int i = 0; i < 30; ++i) WriteFile(fx.Path("t/f" + QByteArray::number(i)), "contents " + QByteArray::number(i));
    TOpContext context;
    int removed = -1;  // the first call announces the totals
    context.onProgress = [&](const TOpProgress& p) {
      removed = static_cast<int>(p.entriesDone);
      if (p.entriesDone == stopAt) context.Cancel();
    };
    const TOpResult result = DeleteEntries({fx.Path("t")}, context);
    EXPECT_EQ(result.status, TOpStatus::Cancelled);
    EXPECT_EQ(removed, stopAt);
    const auto left = Snapshot(fx.Path("t"));
    EXPECT_EQ(static_cast<int>(left.size()), 30 - stopAt);
    for (const auto& [rel, e] : left) EXPECT_EQ(e.data, FileHash(fx.Path(rel))) << rel.constData();
    RemoveTree(fx.Path("t"));
  }
}

}  // namespace
