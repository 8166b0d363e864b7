// korvane-free's trash, delete and move, run as a program.
#include "cleanup/MoveOperation.h"

#include "tests/cleanup/CleanupFixture.h"
#include "tests/support/Fixture.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

struct TRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

QProcessEnvironment Env(const QByteArray& drives, const QByteArray& home) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("KORVANE_DRIVES"), QString::fromLocal8Bit(drives));
  env.insert(QStringLiteral("HOME"), QString::fromLocal8Bit(home));
  env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromLocal8Bit(home + "/share"));
  return env;
}

TRun RunFree(const QStringList& args, const QProcessEnvironment& env) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.setStandardInputFile(QProcess::nullDevice());
  p.start(QStringLiteral(KORVANE_FREE_PROGRAM), args);
  TRun run;
  if (!p.waitForFinished(120000)) return run;
  run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  run.out = p.readAllStandardOutput();
  run.err = p.readAllStandardError();
  return run;
}

QString Host(const QByteArray& path) { return QString::fromLocal8Bit(path); }

TEST(FreeProgram, RefusesBadArgumentsAndProtectedFoldersWithoutTouchingAnything) {
  TFixtureTree fx;
  fx.Dir("home");
  fx.Dir("drive/src/inner");
  WriteFile(fx.Path("drive/src/inner/f"), "x");
  WriteFile(fx.Path("drive/file"), "x");
  // S: is the drive, T: a folder inside the source: the same folder by two drive letters.
  const QProcessEnvironment env = Env("S=" + fx.Path("drive") + ";T=" + fx.Path("drive/src"), fx.Path("home"));
  const auto before = Snapshot(fx.Root());
  const QStringList cases[] = {
      {},
      {QStringLiteral("shred"), Host(fx.Path("drive/file"))},
      {QStringLiteral("trash")},
      {QStringLiteral("trash"), QStringLiteral("--bogus"), Host(fx.Path("drive/file"))},
      {QStringLiteral("delete"), QStringLiteral("--yes")},
      {QStringLiteral("delete"), Host(fx.Path("drive/file"))},  // no terminal and no --yes
      {QStringLiteral("delete"), QStringLiteral("--yes"), QStringLiteral("/")},
      {QStringLiteral("delete"), QStringLiteral("--yes"), Host(fx.Path("home"))},
      {QStringLiteral("trash"), Host(fx.Path("home/"))},
      {QStringLiteral("trash"), QStringLiteral("S:\\")},
      {QStringLiteral("delete"), QStringLiteral("--yes"), QStringLiteral("T:\\")},
      {QStringLiteral("delete"), QStringLiteral("--yes"), QStringLiteral("Q:\\nowhere")},
      {QStringLiteral("move"), Host(fx.Path("drive/src"))},
      {QStringLiteral("move"), QStringLiteral("S:\\"), Host(fx.Path("elsewhere"))},
      {QStringLiteral("move"), Host(fx.Path("drive/src")), Host(fx.Path("drive/src"))},
      {QStringLiteral("move"), QStringLiteral("S:\\src"), QStringLiteral("T:\\inner\\new")},
      {QStringLiteral("move"), QStringLiteral("S:\\src"), QStringLiteral("T:\\")},
      {QStringLiteral("move"), QStringLiteral("--replace"), QStringLiteral("S:\\file"), Host(fx.Path("elsewhere"))},
  };
  for (const QStringList& args : cases) {
    SCOPED_TRACE(qPrintable(args.join(QLatin1Char(' '))));
    const TRun run = RunFree(args, env);
    EXPECT_EQ(run.exitCode, 2) << run.err.constData();
    EXPECT_FALSE(run.err.isEmpty());
  }
  EXPECT_EQ(Snapshot(fx.Root()), before);
  EXPECT_FALSE(Exists(fx.Path("elsewhere")));
}

TEST(FreeProgram, TrashesAndDeletesHostAndDrivePathsAndNamesWhatFailed) {
  TFixtureTree fx;
  fx.Dir("home");
  fx.Dir("drive/a/b");
  for (const char* f : {"drive/a/b/f", "drive/g", "drive/h", "drive/to-trash"}) WriteFile(fx.Path(f), "x");
  const QProcessEnvironment env = Env("S=" + fx.Path("drive"), fx.Path("home"));

  TRun run = RunFree({QStringLiteral("delete"), QStringLiteral("--yes"), QStringLiteral("S:\\a"), Host(fx.Path("drive/g"))}, env);
  EXPECT_EQ(run.exitCode, 0) << run.err.constData();
  EXPECT_TRUE(run.out.contains("result: done"));
  EXPECT_TRUE(run.out.contains("entries: 4"));
  EXPECT_FALSE(Exists(fx.Path("drive/a")));
  EXPECT_FALSE(Exists(fx.Path("drive/g")));

  run = RunFree({QStringLiteral("delete"), QStringLiteral("--yes"), QStringLiteral("S:\\missing"), QStringLiteral("S:\\h")}, env);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.out.contains("result: partly done"));
  EXPECT_TRUE(run.err.contains(fx.Path("drive/missing"))) << run.err.constData();
  EXPECT_FALSE(Exists(fx.Path("drive/h")));

  run = RunFree({QStringLiteral("trash"), QStringLiteral("S:\\to-trash")}, env);
  EXPECT_EQ(run.exitCode, 0) << run.err.constData();
  EXPECT_TRUE(Exists(fx.Path("home/share/Trash/files/to-trash")));
  EXPECT_TRUE(Exists(fx.Path("home/share/Trash/info/to-trash.trashinfo")));
}

TEST(FreeProgram, MoveKeepsWhatIsThereUnlessToldToReplaceFiles) {
  TFixtureTree fx;
  fx.Dir("home");
  const QProcessEnvironment env = Env("S=" + fx.Path("drive"), fx.Path("home"));
  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace);
    fx.Dir("drive/src/dir");
    WriteFile(fx.Path("drive/src/same"), "new");
    WriteFile(fx.Path("drive/src/dir/f"), "new");
    WriteFile(fx.Path("drive/src/folder-here"), "a file where the target has a folder");
    fx.Dir("drive/dst/folder-here");
    WriteFile(fx.Path("drive/dst/same"), "old");
    QStringList args{QStringLiteral("move")};
    if (replace) args << QStringLiteral("--replace");
    args << QStringLiteral("S:\\src") << Host(fx.Path("drive/dst"));
    const TRun run = RunFree(args, env);
    EXPECT_EQ(run.exitCode, 1) << "the file over the folder is never moved";
    EXPECT_TRUE(run.out.contains("result: partly done"));
    EXPECT_TRUE(run.err.contains("folder-here"));
    EXPECT_EQ(run.err.contains("src/same"), !replace) << run.err.constData();
    EXPECT_EQ(FileHash(fx.Path("drive/dst/same")),
              QCryptographicHash::hash(replace ? "new" : "old", QCryptographicHash::Sha1).toHex());
    EXPECT_TRUE(Exists(fx.Path("drive/dst/dir/f")));
    EXPECT_TRUE(Exists(fx.Path("drive/src/folder-here")));
    RemoveTree(fx.Path("drive"));
  }
  fx.Dir("drive/src/sub");
  WriteFile(fx.Path("drive/src/sub/f"), "x");
  const TRun run = RunFree({QStringLiteral("move"), QStringLiteral("S:\\src"), QStringLiteral("S:\\new\\place")}, env);
  EXPECT_EQ(run.exitCode, 0) << run.err.constData();
  EXPECT_TRUE(Exists(fx.Path("drive/new/place/sub/f")));
  EXPECT_FALSE(Exists(fx.Path("drive/src")));
}

TEST(FreeProgram, SigtermCancelsAMoveCleanly) {
  TTmpfsMount tmpfs;
  KORVANE_NEED_TMPFS(tmpfs);
  TFixtureTree fx;
  fx.Dir("home");
  const QByteArray source = tmpfs.Path() + "/src";
  ASSERT_EQ(::mkdir(source.constData(), 0755), 0);
  std::map<QByteArray, TSnapEntry> original;
  for (int i = 0; i < 3000; ++i) WriteFile(source + "/f" + QByteArray::number(i), QByteArray(4096 + i, 'a' + i % 26));
  original = Snapshot(source, false);

  QProcess p;
  p.setProcessEnvironment(Env("S=" + fx.Path("home"), fx.Path("home")));
  p.start(QStringLiteral(KORVANE_FREE_PROGRAM), {QStringLiteral("move"), Host(source), Host(fx.Path("target"))});
  ASSERT_TRUE(p.waitForStarted());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Snapshot(fx.Path("target"), false).size() < 20 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  ASSERT_TRUE(p.waitForFinished(60000));
  const QByteArray out = p.readAllStandardOutput();
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 1);
  EXPECT_TRUE(out.contains("result: cancelled")) << out.constData();
  EXPECT_TRUE(Exists(source)) << "the move ended before the signal came";
  const auto inSource = Snapshot(source, false);
  const auto inTarget = Snapshot(fx.Path("target"), false);
  for (const auto& [rel, e] : original) {
    const auto s = inSource.find(rel);
    const auto t = inTarget.find(rel);
    ASSERT_TRUE(s != inSource.end() || t != inTarget.end()) << rel.constData();
    if (s != inSource.end()) {
      EXPECT_EQ(s->second.data, e.data);
    }
    if (t != inTarget.end()) {
      EXPECT_EQ(t->second.data, e.data);
    }
  }
  for (const auto& [rel, e] : inTarget) EXPECT_FALSE(rel.startsWith(MovePartPrefix)) << "a cancelled copy was left";
}

}  // namespace
