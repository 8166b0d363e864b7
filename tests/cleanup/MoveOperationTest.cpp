#include "cleanup/MoveOperation.h"

#include "tests/cleanup/CleanupFixture.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

const QByteArray Newline = "new\nline";
const QByteArray Invalid = "bad\xff\xfe" "name";
const QByteArray Backslash = "back\\slash";

QByteArray Content(int seed, int size) {
  std::mt19937 rng(static_cast<unsigned>(seed));
  QByteArray data(size, '\0');
  for (char& c : data) c = static_cast<char>(rng());
  return data;
}

// A tree with what a move must carry over: files of many sizes, a sparse file, odd names,
// read-only entries, links out of the tree, a dangling link, a link loop and a FIFO.
void BuildTree(const QByteArray& root, const QByteArray& outside, int files = 24) {
  ASSERT_EQ(::mkdir((root + "/sub").constData(), 0755), 0);
  ASSERT_EQ(::mkdir((root + "/sub/deeper").constData(), 0750), 0);
  ASSERT_EQ(::mkdir((root + '/' + Newline).constData(), 0755), 0);
  for (int i = 0; i < files; ++i) {
    const QByteArray folder = i % 3 == 0 ? "" : i % 3 == 1 ? "/sub" : "/sub/deeper";
    WriteFile(root + folder + "/f" + QByteArray::number(i), Content(i, (i * 7919) % 200000));
  }
  WriteFile(root + '/' + Invalid, "invalid utf-8");
  WriteFile(root + '/' + Backslash, "backslash");
  WriteFile(root + '/' + Newline + "/inner", "in a folder with a newline");
  WriteFile(root + "/readonly", "read only", 0444);
  const int sparse = ::open((root + "/sparse").constData(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(sparse, 0);
  ASSERT_EQ(::pwrite(sparse, "tail", 4, 6 << 20), 4);
  ::close(sparse);
  ASSERT_EQ(::symlink(outside.constData(), (root + "/to-outside").constData()), 0);
  ASSERT_EQ(::symlink("nowhere/at/all", (root + "/dangling").constData()), 0);
  ASSERT_EQ(::symlink("..", (root + "/sub/loop").constData()), 0);
  ASSERT_EQ(::mkfifo((root + "/fifo").constData(), 0640), 0);
  ASSERT_EQ(::mkdir((root + "/locked").constData(), 0755), 0);
  WriteFile(root + "/locked/kept", "in a read-only folder");
  ASSERT_EQ(::chmod((root + "/locked").constData(), 0555), 0);
  const struct timespec times[2] = {{1500000000, 123456789}, {1600000000, 987654321}};
  for (const char* rel : {"/f0", "/sub/f1", "/readonly", "/sparse"})
    ::utimensat(AT_FDCWD, (root + rel).constData(), times, 0);
  ::utimensat(AT_FDCWD, (root + "/dangling").constData(), times, AT_SYMLINK_NOFOLLOW);
}

struct TAnswers {
  std::vector<TOpAnswer> answers;
  std::vector<TOpQuestion> asked;
  void Attach(TOpContext& context) {
    context.ask = [this](const TOpQuestion& q) {
      asked.push_back(q);
      if (answers.empty()) return TOpAnswer::No;
      const TOpAnswer a = answers.front();
      if (answers.size() > 1) answers.erase(answers.begin());
      return a;
    };
  }
};

TEST(MoveOperation, CarriesEveryEntryAcrossFileSystemsAndOnOne) {
  TTmpfsMount tmpfs;
  TFixtureTree fx;
  fx.Dir("outside");
  WriteFile(fx.Path("outside/keep"), "outside");
  struct Case {
    const char* name;
    bool sourceOnTmpfs, targetOnTmpfs;
  };
  for (const Case c : {Case{"ext4 to tmpfs", false, true}, Case{"tmpfs to ext4", true, false},
                       Case{"one file system", false, false}}) {
    SCOPED_TRACE(c.name);
    if ((c.sourceOnTmpfs || c.targetOnTmpfs) && !tmpfs.Ok()) {
      std::printf("skipped %s: %s\n", c.name, tmpfs.Why().constData());
      continue;
    }
    const QByteArray source = (c.sourceOnTmpfs ? tmpfs.Path() : fx.Root()) + "/source";
    const QByteArray target = (c.targetOnTmpfs ? tmpfs.Path() : fx.Root()) + "/new/target";
    ASSERT_EQ(::mkdir(source.constData(), 0700), 0);
    BuildTree(source, fx.Path("outside"));
    const auto before = Snapshot(source);
    struct stat sub {};
    ::lstat((source + "/sub").constData(), &sub);

    TOpContext context;
    int64_t lastBytes = -1;
    bool monotonic = true;
    context.onProgress = [&](const TOpProgress& p) {
      if (p.bytesDone < lastBytes) monotonic = false;
      lastBytes = p.bytesDone;
    };
    const TOpResult result = MoveFolderContents(source, target, context);
    EXPECT_EQ(result.status, TOpStatus::Done) << (result.failures.empty() ? "" : qPrintable(result.failures[0].path + ": " + result.failures[0].reason));
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ(Snapshot(target), before);
    EXPECT_TRUE(monotonic);
    EXPECT_EQ(result.entriesDone, static_cast<int64_t>(before.size()));
    struct stat sparse {};
    ASSERT_EQ(::stat((target + "/sparse").constData(), &sparse), 0);
    EXPECT_LT(sparse.st_blocks * 512, 1 << 20) << "the sparse file's hole was written out";
    if (!c.sourceOnTmpfs && !c.targetOnTmpfs) {
      struct stat moved {};
      ::lstat((target + "/sub").constData(), &moved);
      EXPECT_EQ(moved.st_ino, sub.st_ino) << "on one file system a folder is renamed, not copied";
    }
    EXPECT_EQ(FileHash(fx.Path("outside/keep")), QCryptographicHash::hash("outside", QCryptographicHash::Sha1).toHex());
    RemoveTree(c.targetOnTmpfs ? tmpfs.Path() + "/new" : fx.Path("new"));
  }
}

TEST(MoveOperation, RefusesATargetThatIsTheSourceOrInsideItHoweverItIsReached) {
  TFixtureTree fx;
  fx.Dir("src/sub/deeper");
  WriteFile(fx.Path("src/file"), "data");
  fx.Symlink(fx.Path("src/sub"), "alias");
  fx.Dir("bound");
  const bool bind = ::geteuid() == 0 &&
                    ::mount(fx.Path("src").constData(), fx.Path("bound").constData(), nullptr, MS_BIND, nullptr) == 0;
  const auto before = Snapshot(fx.Path("src"));
  struct Case {
    QByteArray target;
    bool needsBind;
  };
  const Case cases[] = {
      {fx.Path("src"), false},          {fx.Path("src/"), false},
      {fx.Path("src/sub"), false},      {fx.Path("src/sub/deeper/new/newer"), false},
      {fx.Path("alias/x"), false},      {fx.Path("src/../src/sub"), false},
      {fx.Path("bound/sub/x"), true},   {fx.Path("bound"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target.constData());
    if (c.needsBind && !bind) continue;
    EXPECT_FALSE(CheckMove(fx.Path("src"), c.target).isEmpty());
    TOpContext context;
    const TOpResult result = MoveFolderContents(fx.Path("src"), c.target, context);
    EXPECT_EQ(result.status, TOpStatus::Failed);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_FALSE(result.changed);
    EXPECT_EQ(Snapshot(fx.Path("src")), before);
  }
  EXPECT_FALSE(Exists(fx.Path("src/sub/deeper/new")));
  if (bind) ::umount2(fx.Path("bound").constData(), MNT_DETACH);
  EXPECT_TRUE(CheckMove(fx.Path("src"), fx.Path("elsewhere")).isEmpty());
  EXPECT_FALSE(CheckMove(fx.Path("src/file"), fx.Path("elsewhere")).isEmpty()) << "a file is no folder to move";
}

TEST(MoveOperation, AsksBeforeReplacingAFileNeverSwapsFileAndFolderAndMergesFolders) {
  TTmpfsMount tmpfs;
  TFixtureTree fx;
  struct Case {
    const char* name;
    TOpAnswer answer;
    bool crossFs;
    bool replaced;
    TOpStatus status;
  };
  const Case cases[] = {
      {"keep", TOpAnswer::No, false, false, TOpStatus::PartlyDone},
      {"replace", TOpAnswer::Yes, false, true, TOpStatus::PartlyDone},
      {"replace across", TOpAnswer::YesToAll, true, true, TOpStatus::PartlyDone},
      {"keep across", TOpAnswer::NoToAll, true, false, TOpStatus::PartlyDone},
      {"cancel", TOpAnswer::Cancel, false, false, TOpStatus::Cancelled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.crossFs && !tmpfs.Ok()) continue;
    const QByteArray source = fx.Path("source");
    const QByteArray target = (c.crossFs ? tmpfs.Path() : fx.Root()) + "/target";
    for (const QByteArray& d : {source, source + "/dir", source + "/clash2", target, target + "/dir", target + "/clash"})
      ASSERT_EQ(::mkdir(d.constData(), 0755), 0);
    WriteFile(source + "/same", "new contents");
    WriteFile(source + "/dir/new", "new");
    WriteFile(source + "/clash", "a file where the target has a folder");
    WriteFile(source + "/clash2/inner", "a folder where the target has a file");
    WriteFile(target + "/same", "old contents");
    WriteFile(target + "/dir/old", "old");
    WriteFile(target + "/clash2", "old file");

    TOpContext context;
    TAnswers answers{{c.answer}, {}};
    answers.Attach(context);
    const TOpResult result = MoveFolderContents(source, target, context);
    EXPECT_EQ(result.status, c.status);
    ASSERT_EQ(answers.asked.size(), 1u) << "one question, about the file only";
    EXPECT_EQ(answers.asked[0].kind, TOpQuestionKind::ReplaceExisting);
    const QByteArray want = c.replaced ? "new contents" : "old contents";
    EXPECT_EQ(QCryptographicHash::hash(want, QCryptographicHash::Sha1).toHex(), FileHash(target + "/same"));
    EXPECT_EQ(Exists(source + "/same"), !c.replaced);
    if (c.answer != TOpAnswer::Cancel) {
      EXPECT_TRUE(Exists(target + "/dir/old"));
      EXPECT_TRUE(Exists(target + "/dir/new"));
      EXPECT_FALSE(Exists(source + "/dir"));
      std::vector<QString> failed;
      for (const TOpFailure& f : result.failures) failed.push_back(f.path);
      EXPECT_NE(std::find(failed.begin(), failed.end(), QString::fromLocal8Bit(source + "/clash")), failed.end());
      EXPECT_NE(std::find(failed.begin(), failed.end(), QString::fromLocal8Bit(source + "/clash2")), failed.end());
    }
    struct stat st {};
    ASSERT_EQ(::lstat((target + "/clash").constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    ASSERT_EQ(::lstat((target + "/clash2").constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_TRUE(Exists(source + "/clash")) << "what was not moved stays in the source";
    RemoveTree(source);
    RemoveTree(target);
  }
}

TEST(MoveOperation, SourceWithAFileSystemMountedInsideIsRefusedUntouched) {
  TFixtureTree fx;
  fx.Dir("src/mnt");
  WriteFile(fx.Path("src/file"), "data");
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  ASSERT_EQ(::mount("none", fx.Path("src/mnt").constData(), "tmpfs", 0, nullptr), 0);
  WriteFile(fx.Path("src/mnt/on-the-mount"), "must stay");
  TOpContext context;
  const TOpResult result = MoveFolderContents(fx.Path("src"), fx.Path("dst"), context);
  EXPECT_EQ(result.status, TOpStatus::Failed);
  EXPECT_TRUE(Exists(fx.Path("src/file")));
  EXPECT_TRUE(Exists(fx.Path("src/mnt/on-the-mount")));
  EXPECT_FALSE(Exists(fx.Path("dst")));
  ::umount2(fx.Path("src/mnt").constData(), MNT_DETACH);
}

// Every file of the original tree is whole in the source or in the target, and the target holds
// nothing else under a final name.
void ExpectNothingLostOrTorn(const std::map<QByteArray, TSnapEntry>& original, const QByteArray& source,
                             const QByteArray& target) {
  const auto inSource = Snapshot(source, false);
  const auto inTarget = Snapshot(target, false);
  for (const auto& [rel, entry] : original) {
    if (S_ISDIR(entry.mode)) continue;
    const auto s = inSource.find(rel);
    const auto t = inTarget.find(rel);
    EXPECT_TRUE(s != inSource.end() || t != inTarget.end()) << "lost: " << rel.constData();
    if (s != inSource.end()) {
      EXPECT_EQ(s->second.data, entry.data) << "source torn: " << rel.constData();
    }
    if (t != inTarget.end()) {
      EXPECT_EQ(t->second.data, entry.data) << "target torn: " << rel.constData();
    }
  }
  for (const auto& [rel, entry] : inTarget) {
    const QByteArray name = rel.mid(rel.lastIndexOf('/') + 1);
    if (name.startsWith(MovePartPrefix)) continue;
    EXPECT_TRUE(original.count(rel)) << "stray entry in the target: " << rel.constData();
  }
}

void ExpectFinished(const std::map<QByteArray, TSnapEntry>& original, const QByteArray& source, const QByteArray& target) {
  if (Exists(source)) {  // else the stopped move had finished
    // No question is answered: the copies the stopped move had finished are recognised as such.
    TOpContext context;
    const TOpResult result = MoveFolderContents(source, target, context);
    EXPECT_EQ(result.status, TOpStatus::Done);
    for (const TOpFailure& f : result.failures) ADD_FAILURE() << qPrintable(f.path) << ": " << qPrintable(f.reason);
    EXPECT_FALSE(Exists(source));
  }
  // A folder a stopped move had made keeps the permissions it was made with (it is merged into,
  // not made again), so folders are compared by type only.
  auto foldersByType = [](std::map<QByteArray, TSnapEntry> tree) {
    for (auto& [rel, e] : tree)
      if (S_ISDIR(e.mode)) e.mode = S_IFDIR;
    return tree;
  };
  EXPECT_EQ(foldersByType(Snapshot(target)), foldersByType(original)) << "a temporary file was left or an entry differs";
}

TEST(MoveOperation, KilledAtRandomPointsAcrossFileSystemsLosesNoFileAndTearsNone) {
  TTmpfsMount tmpfs;
  KORVANE_NEED_TMPFS(tmpfs);
  TFixtureTree fx;
  fx.Dir("outside");
  std::mt19937 rng(12);
  for (const bool toTmpfs : {true, false}) {
    SCOPED_TRACE(toTmpfs ? "to tmpfs" : "from tmpfs");
    const QByteArray source = (toTmpfs ? fx.Root() : tmpfs.Path()) + "/source";
    const QByteArray target = (toTmpfs ? tmpfs.Path() : fx.Root()) + "/target";
    // How long a whole move takes, to spread the kills over it.
    ASSERT_EQ(::mkdir(source.constData(), 0700), 0);
    BuildTree(source, fx.Path("outside"), 60);
    const auto start = std::chrono::steady_clock::now();
    {
      TOpContext context;
      ASSERT_EQ(MoveFolderContents(source, target, context).status, TOpStatus::Done);
    }
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    RemoveTree(target);
    for (int round = 0; round < 10; ++round) {
      SCOPED_TRACE(round);
      ASSERT_EQ(::mkdir(source.constData(), 0700), 0);
      BuildTree(source, fx.Path("outside"), 60);
      const auto original = Snapshot(source);
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        TOpContext context;
        MoveFolderContents(source, target, context);
        ::_exit(0);
      }
      std::uniform_int_distribution<int64_t> delay(0, whole.count() * 12 / 10 + 1000);
      std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
      ::kill(child, SIGKILL);
      int status = 0;
      ::waitpid(child, &status, 0);
      ExpectNothingLostOrTorn(original, source, target);
      ExpectFinished(original, source, target);
      RemoveTree(target);
      if (HasFatalFailure() || HasFailure()) return;
    }
  }
}

TEST(MoveOperation, CancelledAtRandomPointsKeepsEveryFileWholeAndCanBeFinished) {
  TTmpfsMount tmpfs;
  KORVANE_NEED_TMPFS(tmpfs);
  TFixtureTree fx;
  fx.Dir("outside");
  const QByteArray source = fx.Path("source");
  const QByteArray target = tmpfs.Path() + "/target";
  std::mt19937 rng(7);
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(::mkdir(source.constData(), 0700), 0);
    BuildTree(source, fx.Path("outside"), 40);
    const auto original = Snapshot(source);
    TOpContext context;
    int calls = 0;
    const int stopAt = std::uniform_int_distribution<int>(1, 60)(rng);
    context.onProgress = [&](const TOpProgress&) {
      if (++calls == stopAt) context.Cancel();
    };
    const TOpResult result = MoveFolderContents(source, target, context);
    EXPECT_EQ(result.status, calls >= stopAt ? TOpStatus::Cancelled : TOpStatus::Done);
    ExpectNothingLostOrTorn(original, source, target);
    ExpectFinished(original, source, target);
    RemoveTree(target);
  }
}

TEST(MoveOperation, ACopyAStoppedMoveHadFinishedOnlyHasItsSourceRemoved) {
  TTmpfsMount tmpfs;
  KORVANE_NEED_TMPFS(tmpfs);
  struct Case {
    const char* what;
    bool finished;  // the target's entry is the source's finished copy
  };
  const Case cases[] = {{"the same file", true},          {"other bytes of the same size", false},
                        {"another modification time", false}, {"other permissions", false},
                        {"the same link", true},          {"the same FIFO", true}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFixtureTree fx;
    const QByteArray what = c.what;
    const QByteArray source = fx.Path("source");
    const QByteArray target = tmpfs.Path() + "/target" + QByteArray::number(++n);
    ASSERT_EQ(::mkdir(source.constData(), 0755), 0);
    ASSERT_EQ(::mkdir(target.constData(), 0755), 0);
    const QByteArray from = source + "/e";
    const QByteArray to = target + "/e";
    if (what.contains("link")) {
      ASSERT_EQ(::symlink("some/where", from.constData()), 0);
      ASSERT_EQ(::symlink("some/where", to.constData()), 0);
    } else if (what.contains("FIFO")) {
      ASSERT_EQ(::mkfifo(from.constData(), 0640), 0);
      ASSERT_EQ(::mkfifo(to.constData(), 0640), 0);
    } else {
      WriteFile(from, Content(1, 300000), 0640);
      WriteFile(to, what.contains("bytes") ? Content(2, 300000) : Content(1, 300000), what.contains("permissions") ? 0600 : 0640);
    }
    // The copy's metadata, as a move gives it.
    struct stat st {};
    ASSERT_EQ(::lstat(from.constData(), &st), 0);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (what.contains("time")) times[1].tv_sec -= 100;
    ASSERT_EQ(::utimensat(AT_FDCWD, to.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
    const auto sourceBefore = Snapshot(source);
    const auto targetBefore = Snapshot(target);

    TOpContext context;  // no question is answered: nothing may be replaced
    const TOpResult result = MoveFolderContents(source, target, context);
    EXPECT_EQ(Snapshot(target), targetBefore);
    if (c.finished) {
      EXPECT_EQ(result.status, TOpStatus::Done);
      EXPECT_FALSE(Exists(source));
    } else {
      EXPECT_EQ(result.status, TOpStatus::Failed);
      EXPECT_EQ(Snapshot(source), sourceBefore);
    }
  }
}

}  // namespace
