// korvane-free trash-size and empty-trash, run as a program.

#include "tests/cleanup/CleanupFixture.h"
#include "tests/support/Fixture.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

struct TRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

TRun RunFree(const QStringList& args, const QByteArray& drives, const QByteArray& home) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("KORVANE_DRIVES"), QString::fromLocal8Bit(drives));
  env.insert(QStringLiteral("HOME"), QString::fromLocal8Bit(home));
  env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromLocal8Bit(home + "/share"));
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

TEST(TrashProgram, SizeThenEmptyOnlyWithYesWithoutATerminal) {
  TFixtureTree fx;
  const QByteArray home = fx.Path("home");
  const QByteArray drives = "D=" + fx.Path("drive");
  WriteFile(fx.Path("drive/old/a"), QByteArray(1000, 'a'));
  WriteFile(fx.Path("drive/old/b"), QByteArray(24, 'b'));
  WriteFile(fx.Path("drive/note"), QByteArray(10, 'n'));
  ASSERT_EQ(RunFree({"trash", "D:\\old", "D:\\note"}, drives, home).exitCode, 0);
  WriteFile(home + "/share/Trash/files/stray", "12");  // without its .trashinfo

  const TRun size = RunFree({"trash-size", "D:"}, drives, home);
  EXPECT_EQ(size.exitCode, 0) << size.err.constData();
  EXPECT_EQ(size.out, "trash: " + home + "/share/Trash\nitems: 3\nbytes: 1036\norphan: " + home +
                          "/share/Trash/files/stray\n");

  const auto before = Snapshot(fx.Root());
  const struct {
    QStringList args;
    const char* err;
  } refused[] = {
      {{"empty-trash", "D:"}, "no terminal"},
      {{"empty-trash", "--force", "D:"}, "unknown option"},
      {{"trash-size"}, "give one drive"},
      {{"trash-size", "D:", "E:"}, "give one drive"},
      {{"empty-trash", "--yes", "Q:"}, "not on any drive"},
  };
  for (const auto& c : refused) {
    const TRun run = RunFree(c.args, drives, home);
    EXPECT_EQ(run.exitCode, 2) << c.args.join(' ').toStdString();
    EXPECT_TRUE(run.err.contains(c.err)) << run.err.constData();
  }
  EXPECT_EQ(Snapshot(fx.Root()), before) << "a refused command changed something";

  const TRun emptied = RunFree({"empty-trash", "--yes", "D:"}, drives, home);
  EXPECT_EQ(emptied.exitCode, 0) << emptied.err.constData();
  EXPECT_EQ(emptied.out, "trash: " + home + "/share/Trash\nitems: 3\nbytes: 1036\norphan: " + home +
                             "/share/Trash/files/stray\nresult: done\n");
  EXPECT_EQ(RunFree({"trash-size", "D:"}, drives, home).out, "trash: " + home + "/share/Trash\nitems: 0\nbytes: 0\n");

  // A trash that is a link is refused: a failure, and its target is left alone.
  RemoveTree(home + "/share/Trash");
  WriteFile(fx.Path("elsewhere/files/precious"), "keep");
  ASSERT_EQ(::symlink(fx.Path("elsewhere").constData(), (home + "/share/Trash").constData()), 0);
  const TRun link = RunFree({"empty-trash", "--yes", "D:"}, drives, home);
  EXPECT_EQ(link.exitCode, 1);
  EXPECT_TRUE(link.err.contains("is a link")) << link.err.constData();
  EXPECT_TRUE(Exists(fx.Path("elsewhere/files/precious")));
}

}  // namespace
