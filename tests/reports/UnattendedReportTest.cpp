#include "config/AtomicFile.h"
#include "platform/UserPath.h"
#include "reports/UnattendedReport.h"
#include "tests/cleanup/CleanupFixture.h"
#include "tests/support/Fixture.h"

#include <QFile>

#include <sys/sysmacros.h>

#include <gtest/gtest.h>

namespace {

QStringList Args(std::initializer_list<const char*> args) {
  QStringList list;
  for (const char* a : args) list << QString::fromUtf8(a);
  return list;
}

// A drive T: over a fixture with a folder "data" of three subfolders of different sizes.
class UnattendedReport : public ::testing::Test {
protected:
  UnattendedReport() : drives_({{'T', fx_.Root()}}) {
    fx_.File("data/big/f", 300000);
    fx_.File("data/mid/f", 50000);
    fx_.File("data/mid/sub/g", 1);
    fx_.File("data/small/f", 1000);
    fx_.File("data/own.bin", 10);
    context_.StartFolder = QString::fromLocal8Bit(fx_.Root());
    view_.Sort = 4;
    view_.TopText = QStringLiteral("7");
  }

  TReportOutcome Run(const QStringList& args) {
    const TReportParse parse = ParseReportCommandLine(args);
    EXPECT_EQ(parse.Status, TReportParseStatus::Ok) << parse.Error.toStdString();
    return RunUnattendedReport(parse.Request, view_, context_);
  }
  QList<QByteArray> Lines(const QByteArray& name) const {
    QList<QByteArray> lines = ReadWholeFile(fx_.Path(name)).value_or(QByteArray()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& line : lines) line.chop(1);  // the CR
    return lines;
  }

  TFixtureTree fx_;
  TDriveScope drives_;
  TReportContext context_;
  TSubfolderView view_;
};

TEST_F(UnattendedReport, ListsTheSubfoldersInTheRequestedOrderAndPutsTheViewBack) {
  const TSubfolderView before = view_;
  const struct {
    std::initializer_list<const char*> options;
    QList<QByteArray> names;
  } cases[] = {
      {{"/A", "/SD:2"}, {"big", "mid", "small"}},
      {{"/A", "/SA:1"}, {"big", "mid", "small"}},
      {{"/A", "/SD:1"}, {"small", "mid", "big"}},
      {{"/TOP:2"}, {"big", "mid"}},
      {{"/HT:K:10", "/W:F"}, {"big", "mid"}},
      {{"/HT:B:1000", "/W:F"}, {"big", "mid", "small"}},
  };
  for (const auto& c : cases) {
    QStringList args = Args({"/RCSV", "T:\\data", "list"});
    for (const char* o : c.options) args << QString::fromLatin1(o);
    const TReportOutcome outcome = Run(args);
    ASSERT_EQ(outcome.ExitCode, 0) << outcome.Message.toStdString();
    EXPECT_EQ(outcome.Output, QString::fromLocal8Bit(fx_.Path("list.csv")));
    const QList<QByteArray> lines = Lines("list.csv");
    ASSERT_EQ(lines.size(), c.names.size() + 1) << args.join(' ').toStdString();
    for (qsizetype i = 0; i < c.names.size(); ++i)
      EXPECT_TRUE(lines[i + 1].startsWith(c.names[i] + ",")) << args.join(' ').toStdString() << ": " << lines[i + 1].constData();
    EXPECT_EQ(view_, before);
  }
}

TEST_F(UnattendedReport, SortsBySizeInBytesWhereTheTextsAreAlike) {
  fx_.File("close/folder_21/f", 21001);
  fx_.File("close/folder_22/f", 22001);
  for (const char* sort : {"/SD:2", "/S:2"}) {
    const TReportOutcome outcome = Run(Args({"/RCSV", "T:\\close", "close", "/A", "/W:F", sort}));
    ASSERT_EQ(outcome.ExitCode, 0) << outcome.Message.toStdString();
    const QList<QByteArray> lines = Lines("close.csv");
    ASSERT_EQ(lines.size(), 3);
    const bool descending = QByteArray(sort) == "/SD:2";
    EXPECT_TRUE(lines[1].startsWith(descending ? "folder_22," : "folder_21,")) << sort << ": " << lines[1].constData();
    EXPECT_TRUE(lines[2].startsWith(descending ? "folder_21," : "folder_22,")) << sort << ": " << lines[2].constData();
  }
}

TEST_F(UnattendedReport, SortsByTheOnDiskColumnWhereItDisagreesWithTheSize) {
  // A sparse file is large but takes almost nothing; a written one takes its size.
  fx_.Dir("holes/dense");
  QFile dense(QString::fromLocal8Bit(fx_.Path("holes/dense/f")));
  ASSERT_TRUE(dense.open(QIODevice::WriteOnly));
  ASSERT_EQ(dense.write(QByteArray(200000, 'x')), 200000);
  dense.close();
  fx_.Dir("holes/sparse");
  QFile sparse(QString::fromLocal8Bit(fx_.Path("holes/sparse/f")));
  ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
  ASSERT_TRUE(sparse.resize(50'000'000));
  sparse.close();
  const struct {
    const char* sort;
    QList<QByteArray> names;
  } cases[] = {{"/SD:9", {"dense", "sparse"}}, {"/SA:9", {"sparse", "dense"}}, {"/SD:2", {"sparse", "dense"}}};
  for (const auto& c : cases) {
    const TReportOutcome outcome = Run(Args({"/RCSV", "T:\\holes", "holes", "/A", c.sort}));
    ASSERT_EQ(outcome.ExitCode, 0) << outcome.Message.toStdString();
    const QList<QByteArray> lines = Lines("holes.csv");
    ASSERT_EQ(lines.size(), 3) << c.sort;
    for (qsizetype i = 0; i < 2; ++i)
      EXPECT_TRUE(lines[i + 1].startsWith(c.names[i] + ",")) << c.sort << ": " << lines[i + 1].constData();
  }
}

TEST_F(UnattendedReport, FolderInformationOfAHostFolderGivenRelativeToTheStartFolder) {
  const TReportOutcome outcome = Run(Args({"/RINF", "data", "sub dir/info"}));
  // The destination's folder does not exist: nothing is written.
  EXPECT_EQ(outcome.ExitCode, 1);
  EXPECT_TRUE(outcome.Message.startsWith(QStringLiteral("Generating report failed"))) << outcome.Message.toStdString();
  fx_.Dir("sub dir");
  const TReportOutcome second = Run(Args({"/RINF", "data", "sub dir/info", "/SD:2"}));
  ASSERT_EQ(second.ExitCode, 0) << second.Message.toStdString();
  const QList<QByteArray> lines = Lines("sub dir/info.txt");
  ASSERT_GT(lines.size(), 60);
  EXPECT_EQ(lines[6], "File Folder data");
  EXPECT_EQ(lines[7], "Location: T:\\data");
  EXPECT_EQ(lines[10], "-> Size: 343 KB (351,011 bytes)");
  EXPECT_EQ(lines[13], "-> Objects: 9 (5 file(s) and 4 subfolder(s))");
  EXPECT_TRUE(lines[14].startsWith("-> On disk: ")) << lines[14].constData();
  EXPECT_EQ(lines[15], "Folder");
  EXPECT_EQ(lines[16], "-> Size: 10 bytes (10 bytes)");
  EXPECT_TRUE(lines.contains("Subfolders of T:\\data"));
  EXPECT_TRUE(lines.last().startsWith("small "));
}

TEST_F(UnattendedReport, ADriveRootIsScannedWhole) {
  const TReportOutcome outcome = Run(Args({"/RTXT", "t:", "root.lst"}));
  ASSERT_EQ(outcome.ExitCode, 0) << outcome.Message.toStdString();
  const QList<QByteArray> lines = Lines("root.lst");
  ASSERT_EQ(lines.size(), 7);
  EXPECT_EQ(lines[0], "Subfolders of T:\\");
  EXPECT_TRUE(lines[6].startsWith("data "));
}

TEST_F(UnattendedReport, AFolderThatCannotBeSelectedWritesNothing) {
  const TSubfolderView before = view_;
  for (const char* folder : {"T:\\data\\missing", "missing", "T:\\data\\own.bin"}) {
    const TReportOutcome outcome = Run(Args({"/RINF", folder, "info", "/TOP:3", "/W:F", "/SD:5"}));
    EXPECT_EQ(outcome.ExitCode, 1) << folder;
    EXPECT_FALSE(outcome.Written);
    EXPECT_FALSE(outcome.Message.isEmpty());
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(fx_.Path("info.txt")))) << folder;
    EXPECT_EQ(view_, before) << folder;
  }
  // A host folder on no drive.
  const TReportOutcome outcome = Run(Args({"/RCSV", "/proc", "x"}));
  EXPECT_EQ(outcome.ExitCode, 1);
  EXPECT_TRUE(outcome.Message.contains(QStringLiteral("not on any drive")));
}

TEST_F(UnattendedReport, PrinterDestinationGoesToThePrinter) {
  EXPECT_EQ(Run(Args({"/RTXT", "T:\\data", "PRINTER"})).ExitCode, 1);  // no printer to print on

  std::vector<TReportKind> kinds;
  TSubfolderListReport printed;
  context_.Printer = [&](TReportKind kind, const TFolderInfoReport& info, const TSubfolderListReport& list, QString*) {
    kinds.push_back(kind);
    if (kind == TReportKind::FolderInformation) {
      EXPECT_EQ(info.Path, QStringLiteral("T:\\data"));
    }
    printed = list;
    return true;
  };
  EXPECT_EQ(Run(Args({"/RINF", "T:\\data", "PRINTER"})).ExitCode, 0);
  EXPECT_EQ(Run(Args({"/RTXT", "T:\\data", "PRINTER", "/TOP:1"})).ExitCode, 0);
  EXPECT_EQ(kinds, (std::vector<TReportKind>{TReportKind::FolderInformation, TReportKind::SpaceAligned}));
  ASSERT_EQ(printed.Rows.size(), 1u);
  EXPECT_EQ(printed.Rows[0][0], QStringLiteral("big"));
  // A comma-separated list always goes to a file, even one called PRINTER.
  EXPECT_EQ(Run(Args({"/RCSV", "T:\\data", "PRINTER"})).ExitCode, 0);
  EXPECT_TRUE(QFile::exists(QString::fromLocal8Bit(fx_.Path("PRINTER.csv"))));
  EXPECT_EQ(kinds.size(), 2u);

  context_.Printer = [](TReportKind, const TFolderInfoReport&, const TSubfolderListReport&, QString* error) {
    *error = QStringLiteral("out of paper");
    return false;
  };
  const TReportOutcome failed = Run(Args({"/RINF", "T:\\data", "PRINTER"}));
  EXPECT_EQ(failed.ExitCode, 1);
  EXPECT_EQ(failed.Message, QStringLiteral("Generating report failed: out of paper"));
}

TEST_F(UnattendedReport, ADestinationThatIsNoRegularFileIsRefusedAndLeftAsItIs) {
  fx_.Dir("adir");
  fx_.Dir("other");
  fx_.Dir("reports");
  ASSERT_EQ(::mkfifo(fx_.Path("fifo.txt").constData(), 0644), 0);
  ASSERT_EQ(::mkfifo(fx_.Path("pipe").constData(), 0644), 0);
  WriteFile(fx_.Path("other/t.txt"), "old");
  WriteFile(fx_.Path("same.txt"), "old");
  fx_.Symlink("fifo.txt", "tofifo.txt");
  fx_.Symlink(fx_.Path("nothing"), "dangling.txt");
  fx_.Symlink(fx_.Path("other/t.txt"), "out.txt");
  fx_.Symlink("other", "otherlink.txt");
  fx_.Dir("bdir.txt");
  std::vector<const char*> refused = {"fifo.txt", "pipe", "tofifo.txt", "dangling.txt", "out.txt", "bdir.txt",
                                      "T:\\fifo.txt", "otherlink.txt"};
  // A device (the numbers of /dev/null) made here, never a real one.
  if (::geteuid() == 0 && ::mknod(fx_.Path("dev").constData(), S_IFCHR | 0644, makedev(1, 3)) == 0) {
    fx_.Symlink(fx_.Path("dev"), "dev.txt");
    refused.push_back("dev");
    refused.push_back("dev.txt");
  }
  const auto before = Snapshot(fx_.Root());
  for (const char* destination : refused) {
    SCOPED_TRACE(destination);
    const TReportOutcome outcome = Run(Args({"/RINF", "T:\\data", destination}));
    EXPECT_EQ(outcome.ExitCode, 1);
    EXPECT_FALSE(outcome.Written);
    EXPECT_TRUE(outcome.Message.startsWith(QStringLiteral("Generating report failed"))) << outcome.Message.toStdString();
    EXPECT_EQ(Snapshot(fx_.Root()), before);
  }

  // A link to a file in the same folder: that file is replaced and the link stays.
  fx_.Symlink("same.txt", "ln.txt");
  TReportOutcome outcome = Run(Args({"/RINF", "T:\\data", "ln.txt"}));
  ASSERT_EQ(outcome.ExitCode, 0) << outcome.Message.toStdString();
  struct stat st {};
  ASSERT_EQ(::lstat(fx_.Path("ln.txt").constData(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_TRUE(ReadWholeFile(fx_.Path("same.txt")).value_or("").startsWith("Report generated"));

  // A drive path names the file on its drive, not a file of that literal name.
  outcome = Run(Args({"/RCSV", "T:\\data", "T:\\reports\\list"}));
  ASSERT_EQ(outcome.ExitCode, 0) << outcome.Message.toStdString();
  EXPECT_EQ(outcome.Output, QString::fromLocal8Bit(fx_.Path("reports/list.csv")));
  EXPECT_TRUE(Exists(fx_.Path("reports/list.csv")));
  // A folder's name gives a report named after it beside it.
  outcome = Run(Args({"/RINF", "T:\\data", "adir"}));
  ASSERT_EQ(outcome.ExitCode, 0) << outcome.Message.toStdString();
  EXPECT_TRUE(Lines("adir.txt").contains("File Folder data"));
}

TEST_F(UnattendedReport, NamesThatAreNotUtf8AndDotDotAfterALink) {
  fx_.File("bad\xff" "dir/f", 5);
  QByteArray raw[] = {"/RINF", "bad\xff" "dir", "bad\xff.txt"};
  char* argv[] = {const_cast<char*>("korvane"), raw[0].data(), raw[1].data(), raw[2].data()};
  const TReportOutcome outcome = Run(DecodeArguments(4, argv));
  ASSERT_EQ(outcome.ExitCode, 0) << outcome.Message.toStdString();
  EXPECT_TRUE(Exists(fx_.Path("bad\xff.txt")));
  EXPECT_FALSE(Exists(fx_.Path("bad\xef\xbf\xbd.txt")));
  EXPECT_TRUE(Lines("bad\xff.txt").contains("-> Size: 5 bytes (5 bytes)"));

  // The kernel reads lnk/../big as data/big; as text it would be a "big" beside lnk.
  fx_.Symlink(fx_.Path("data/mid"), "lnk");
  fx_.File("big/other", 1);
  for (const char* folder : {"lnk/../big", "T:\\lnk\\..\\big"}) {
    const TReportOutcome refused = Run(Args({"/RINF", folder, "dotdot"}));
    EXPECT_EQ(refused.ExitCode, 1) << folder;
    EXPECT_TRUE(refused.Message.contains(QStringLiteral("link"))) << refused.Message.toStdString();
    EXPECT_FALSE(Exists(fx_.Path("dotdot.txt")));
  }
}

TEST_F(UnattendedReport, AnUnreadableFolderWritesNoReportAndUnreadableSubfoldersAreNamed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the report as another user";
  constexpr uid_t Nobody = 65534;
  ASSERT_EQ(::chmod(fx_.Root().constData(), 0777), 0);
  ASSERT_EQ(::chmod(fx_.Path("data").constData(), 0755), 0);
  ASSERT_EQ(::chmod(fx_.Path("data/mid").constData(), 0700), 0);
  if (::seteuid(Nobody) != 0) GTEST_SKIP() << "cannot take another user's identity here";
  const bool reachable = ::access(fx_.Path("data").constData(), R_OK | X_OK) == 0;
  TReportOutcome top;
  TReportOutcome parent;
  if (reachable) {
    top = Run(Args({"/RINF", "T:\\data\\mid", "mid"}));
    parent = Run(Args({"/RINF", "T:\\data", "data"}));
  }
  ASSERT_EQ(::seteuid(0), 0);
  if (!reachable) GTEST_SKIP() << "the fixture folder is not reachable for another user";

  EXPECT_EQ(top.ExitCode, 1);
  EXPECT_TRUE(top.Message.contains(QStringLiteral("cannot be read"))) << top.Message.toStdString();
  EXPECT_FALSE(Exists(fx_.Path("mid.txt")));
  ASSERT_EQ(parent.ExitCode, 0) << parent.Message.toStdString();
  EXPECT_EQ(parent.Warnings,
            QStringList{QStringLiteral("The folder T:\\data\\mid cannot be read; it counts as empty.")});
  const QList<QByteArray> lines = Lines("data.txt");
  EXPECT_TRUE(lines.contains("-> Size: 294 KB (301,010 bytes)")) << lines.join("\n").constData();
}

}  // namespace
