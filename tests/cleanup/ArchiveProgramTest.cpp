// korvane-free's archive verbs, run as a user runs them.
#include "tests/cleanup/ZipTestSupport.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

namespace {

struct TFreeRun {
  int code = -1;
  QByteArray output;
};

TFreeRun Free(const TFixtureTree& tree, const QStringList& args, const QByteArray& input = QByteArray()) {
  TFreeRun run;
  run.code = RunProgram(QStringLiteral(KORVANE_FREE_PROGRAM), args, &run.output, input,
                        {QStringLiteral("KORVANE_DRIVES=T=") + QString::fromLocal8Bit(tree.Root())});
  return run;
}

QString ValueOf(const QByteArray& output, const QByteArray& key) {
  for (const QByteArray& line : output.split('\n'))
    if (line.startsWith(key + ": ")) return QString::fromUtf8(line.mid(key.size() + 2));
  return QString();
}

}  // namespace

TEST(ArchiveProgram, ArchiveListRestoreAndDeleteFromTheCommandLine) {
  TFixtureTree tree;
  tree.Dir("work/data/sub");
  WriteBytes(tree.Path("work/data/a.txt"), QByteArray(30000, 'a'));
  WriteBytes(tree.Path("work/data/sub/b.txt"), "b");
  const TSnapshot before = Snapshot(tree.Path("work/data"));

  TFreeRun run = Free(tree, {"archive", "--move", "--description", "old stuff", "--level", "5",
                             "T:\\work\\data"});
  ASSERT_EQ(run.code, 0) << run.output.constData();
  const QString key = ValueOf(run.output, "archive");
  EXPECT_TRUE(key.startsWith('T') && key.endsWith(QLatin1String(".ZIP"))) << run.output.constData();
  EXPECT_EQ(ValueOf(run.output, "size before"), QStringLiteral("30001"));
  EXPECT_GT(ValueOf(run.output, "size after").toLongLong(), 0);
  EXPECT_TRUE(Snapshot(tree.Path("work")).empty());

  run = Free(tree, {"archives", "T:"});
  ASSERT_EQ(run.code, 0) << run.output.constData();
  EXPECT_EQ(run.output, (key + "\tdata\tT:\\work\told stuff\n").toUtf8());

  run = Free(tree, {"restore", "--to", QString::fromLocal8Bit(tree.Path("back")), "T:", key});
  ASSERT_EQ(run.code, 0) << run.output.constData();
  EXPECT_EQ(Snapshot(tree.Path("back/data")), before);

  run = Free(tree, {"delete-archive", "T:", key});  // no terminal, no --yes: refused
  EXPECT_EQ(run.code, 1);
  run = Free(tree, {"delete-archive", "--yes", "T:", key});
  EXPECT_EQ(run.code, 0) << run.output.constData();
  run = Free(tree, {"archives", "T:"});
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(run.output.isEmpty()) << run.output.constData();
}

TEST(ArchiveProgram, PasswordsComeFromStandardInput) {
  TFixtureTree tree;
  tree.Dir("work/data");
  WriteBytes(tree.Path("work/data/a.txt"), QByteArray(30000, 'a'));
  TFreeRun run = Free(tree, {"archive", "--move", "--password-stdin", QString::fromLocal8Bit(tree.Path("work/data"))},
                      "open sesame\n");
  ASSERT_EQ(run.code, 0) << run.output.constData();
  const QString key = ValueOf(run.output, "archive");
  run = Free(tree, {"restore", "--password-stdin", "--delete-archive", "--to",
                    QString::fromLocal8Bit(tree.Path("x")), "T:", key},
             "wrong\n");
  EXPECT_EQ(run.code, 1) << run.output.constData();
  EXPECT_TRUE(run.output.contains("was not successfully restored")) << run.output.constData();
  EXPECT_FALSE(Snapshot(tree.Root()).count("/x"));  // a wrong password makes no folder
  run = Free(tree, {"restore", "--password-stdin", "--delete-archive", "T:", key}, "open sesame\n");
  EXPECT_EQ(run.code, 0) << run.output.constData();
  EXPECT_EQ(ValueOf(run.output, "restored").toUtf8(), tree.Path("work/data"));
  EXPECT_TRUE(run.output.contains("archive deleted: " + key.toUtf8())) << run.output.constData();
}

TEST(ArchiveProgram, BadArgumentsExitWithTwo) {
  TFixtureTree tree;
  tree.Dir("work/data");
  const QStringList cases[] = {
      {"archive"},
      {"archive", "--level", "12", "T:\\work\\data"},
      {"archive", "--drive", "Q:", "T:\\work\\data"},
      {"archive", "--frobnicate", "T:\\work\\data"},
      {"archives"},
      {"archives", "Q:"},
      {"restore", "T:"},
      {"restore", "T:", "../escape.ZIP"},
      {"delete-archive", "T:", "sub/x.ZIP"},
  };
  for (const QStringList& args : cases) {
    const TFreeRun run = Free(tree, args);
    EXPECT_EQ(run.code, 2) << args.join(' ').toStdString() << "\n" << run.output.constData();
  }
  // A drive root is refused without being touched.
  EXPECT_EQ(Free(tree, {"archive", "T:\\"}).code, 1);
}

TEST(ArchiveProgram, ListingPrintsNoControlCharactersAndSaysWhenTheCatalogueCannotBeRead) {
  TFixtureTree tree;
  tree.Dir("work/data");
  WriteBytes(tree.Path("work/data/a.txt"), "a");
  TFreeRun run = Free(tree, {"archive", "--description", QString::fromUtf8("evil\x1b]0;owned\x07\x1b[2J\xc2\x9b" "end"),
                             "T:\\work\\data"});
  ASSERT_EQ(run.code, 0) << run.output.constData();
  const QString key = ValueOf(run.output, "archive");
  run = Free(tree, {"archives", "T:"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, (key + "\tdata\tT:\\work\tevil\\x1b]0;owned\\x07\\x1b[2J\\x9bend\n").toUtf8());

  // A catalogue that is a FIFO: no wait, nothing removed, the archive still listed, exit 1.
  const QByteArray catalogue = tree.Path("Archives Bin/archives.ini");
  ASSERT_EQ(::unlink(catalogue.constData()), 0);
  ASSERT_EQ(::mkfifo(catalogue.constData(), 0644), 0);
  run = Free(tree, {"archives", "T:"});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(run.output.contains("cannot be read")) << run.output.constData();
  EXPECT_TRUE(run.output.contains((key + "\tdata\t").toUtf8())) << run.output.constData();
  struct stat st {};
  ASSERT_EQ(::lstat(catalogue.constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
