#include "tests/support/Fixture.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

TRun RunScan(const QStringList& args, const QString& workingFolder = QString(), uid_t asUser = 0) {
  QProcess p;
  if (!workingFolder.isEmpty()) p.setWorkingDirectory(workingFolder);
  if (asUser != 0) {
    p.setChildProcessModifier([asUser] {
      if (::setgid(asUser) != 0 || ::setuid(asUser) != 0) ::_exit(99);
    });
  }
  p.start(QStringLiteral(KORVANE_SCAN_PROGRAM), args);
  TRun run;
  if (!p.waitForFinished(120000)) return run;
  run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  run.out = p.readAllStandardOutput();
  run.err = p.readAllStandardError();
  return run;
}

TEST(ScanProgram, ReportsWhatAnIndependentWalkAddsUp) {
  TFixtureTree fx;
  for (int i = 0; i < 12; ++i) fx.File("d" + QByteArray::number(i) + "/f", 1000 * (i + 1) + 1);
  fx.File("d3/deeper/g", 4097);
  fx.File("top.bin", 4294967296LL);
  fx.Symlink("d1", "link");

  const TRun run = RunScan({QString::fromLocal8Bit(fx.Root())});
  ASSERT_EQ(run.exitCode, 0) << run.err.constData();
  std::map<QByteArray, QByteArray> values;
  std::vector<QByteArray> largest;
  for (const QByteArray& line : run.out.split('\n')) {
    const int colon = line.indexOf(": ");
    if (colon < 0) continue;
    if (line.left(colon) == "largest")
      largest.push_back(line.mid(colon + 2));
    else
      values[line.left(colon)] = line.mid(colon + 2);
  }
  const int32_t cluster = values["cluster-size"].toInt();
  const TWalkTotals walk = IndependentWalk(fx.Root(), cluster);
  EXPECT_EQ(values["folders"].toLongLong(), walk.Folders);
  EXPECT_EQ(values["files"].toLongLong(), walk.Files);
  EXPECT_EQ(values["bytes"].toLongLong(), walk.Bytes);
  EXPECT_EQ(values["wasted"].toLongLong(), walk.Wasted);
  const char* sizes[] = {nullptr, "512", "2048", "4096", "8192", "16384", "32768", "65536"};
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(values[QByteArray("wasted-") + sizes[i]].toLongLong(), walk.WastedAt[i]) << sizes[i];
  EXPECT_EQ(values["latest-access"].toULongLong(), walk.LatestAccess);
  EXPECT_EQ(values["latest-change"].toULongLong(), walk.LatestWrite);
  EXPECT_EQ(values["attributes"].toUInt(nullptr, 16), walk.Attributes);
  EXPECT_TRUE(values["path"].endsWith(":\\"));
  EXPECT_EQ(values["unreadable-folders"], "0");
  EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
  for (const char* key : {"file-system", "seconds", "peak-rss-bytes"}) EXPECT_FALSE(values[key].isEmpty()) << key;

  ASSERT_EQ(largest.size(), 10u);
  EXPECT_TRUE(largest[0].startsWith("12001 ") && largest[0].endsWith("\\d11")) << largest[0].constData();
  int64_t previous = INT64_MAX;
  for (const QByteArray& entry : largest) {
    const int64_t size = entry.left(entry.indexOf(' ')).toLongLong();
    EXPECT_LE(size, previous);
    previous = size;
  }
}

TEST(ScanProgram, BadArgumentsAndMissingFolders) {
  TFixtureTree fx;
  fx.File("file", 1);
  fx.Dir("real/sub");
  fx.Symlink(fx.Path("real/sub"), "lnk");
  struct Case {
    QStringList args;
    int exitCode;
    const char* stderrHas;
  };
  const Case cases[] = {
      {{}, 2, "usage"},
      {{"a", "b"}, 2, "usage"},
      {{"--bogus"}, 2, "usage"},
      {{QString::fromLocal8Bit(fx.Path("missing"))}, 1, "missing"},
      {{QString::fromLocal8Bit(fx.Path("file"))}, 1, "not a folder"},
      {{QStringLiteral("/proc")}, 1, "pseudo file system"},
      {{QStringLiteral("/sys/kernel")}, 1, "pseudo file system"},
      // The kernel goes up from real/sub, the text from the fixture: neither is scanned.
      {{QString::fromLocal8Bit(fx.Path("lnk/.."))}, 1, "is a link"},
      {{QString::fromLocal8Bit(fx.Path("missing/../real"))}, 1, "does not exist"},
  };
  for (const Case& c : cases) {
    const TRun run = RunScan(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString();
    EXPECT_TRUE(run.err.contains(c.stderrHas)) << run.err.constData();
    EXPECT_TRUE(run.out.isEmpty());
  }
}

// "--" ends the options, so that a folder whose name begins with "-" can be scanned.
TEST(ScanProgram, TwoDashesEndTheOptions) {
  TFixtureTree fx;
  fx.File("-dash/f", 1234);
  fx.File("plain/f", 10);
  const QString dash = QString::fromLocal8Bit(fx.Path("-dash"));
  struct Case {
    QStringList args;
    int exitCode;
    QByteArray has;  // on standard output when the scan runs, else on standard error
  };
  const Case cases[] = {
      {{"--", dash}, 0, "host-path: " + fx.Path("-dash") + "\nfile-system"},
      {{"--", "-dash"}, 0, "host-path: " + fx.Path("-dash") + "\nfile-system"},  // relative to the working folder
      {{"--", "plain"}, 0, "host-path: " + fx.Path("plain") + "\nfile-system"},
      {{"--"}, 2, "usage"},
      {{"--", "-dash", "plain"}, 2, "usage"},
      {{"--", "--"}, 1, "--: No such file"},  // a folder named "--" that is not there
      {{"-dash"}, 2, "unknown option -dash"},
  };
  for (const Case& c : cases) {
    const TRun run = RunScan(c.args, QString::fromLocal8Bit(fx.Root()));
    SCOPED_TRACE(c.args.join(' ').toStdString());
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.constData();
    EXPECT_TRUE((c.exitCode == 0 ? run.out : run.err).contains(c.has)) << run.out.constData() << run.err.constData();
  }
  EXPECT_TRUE(RunScan({"--", dash}).out.contains("bytes: 1234\n"));
}

TEST(ScanProgram, NamesTheFoldersItCannotRead) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the scan as another user";
  constexpr uid_t Nobody = 65534;
  TFixtureTree fx;
  fx.File("open/f", 10);
  fx.File("locked one/f", 20);
  fx.File("open/locked two/f", 30);
  ASSERT_EQ(::chmod(fx.Root().constData(), 0755), 0);
  for (const char* folder : {"locked one", "open/locked two"}) ASSERT_EQ(::chmod(fx.Path(folder).constData(), 0700), 0);

  const TRun run = RunScan({QString::fromLocal8Bit(fx.Root())}, QString(), Nobody);
  if (run.exitCode == 99) GTEST_SKIP() << "cannot take another user's identity here";
  if (run.err.contains("Permission denied")) GTEST_SKIP() << "the fixture folder is not reachable for another user";
  ASSERT_EQ(run.exitCode, 0) << run.err.constData();
  EXPECT_TRUE(run.out.contains("\nunreadable-folders: 2\n")) << run.out.constData();
  EXPECT_TRUE(run.out.contains("\nbytes: 10\n")) << run.out.constData();
  EXPECT_TRUE(run.err.contains("cannot read folder " + fx.Path("locked one") + "\n")) << run.err.constData();
  EXPECT_TRUE(run.err.contains("cannot read folder " + fx.Path("open/locked two") + "\n")) << run.err.constData();
}

}  // namespace
