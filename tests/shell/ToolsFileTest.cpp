// The tools file: splitting lines into fields (quotes, doubled quotes, commas, blanks, a trailing
// comma), skipped and rejected lines, the file's place beside the hives, commands without a
// folder, and the template that is written only when no file exists.
#include "shell/core/ToolsFile.h"

#include "config/AtomicFile.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"

#include <QDir>

#include <gtest/gtest.h>

#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

TEST(ToolsFile, SplitsLinesIntoFields) {
  struct TCase {
    const char* Line;
    QStringList Fields;
  } cases[] = {
      {"Caption,Hint,cmd", {"Caption", "Hint", "cmd"}},
      {"\"&My Tool\", \"Does, things\", \"/opt/my tool/run\"", {"&My Tool", "Does, things", "/opt/my tool/run"}},
      {"My Tool,Hint,cmd", {"My", "Tool", "Hint", "cmd"}},  // an unquoted blank splits
      {"   a  b\tc", {"a", "b", "c"}},
      {"a,,b", {"a", "", "b"}},
      {"a,b,", {"a", "b", ""}},                               // trailing comma: one empty field
      {"a , b ,c", {"a", "b", "c"}},
      {"\"say \"\"hi\"\"\",h,c", {"say \"hi\"", "h", "c"}},
      {"\"unclosed, quote", {"unclosed, quote"}},
      {"\"\",h,c", {"", "h", "c"}},
      {"", {}},
  };
  for (const TCase& c : cases) EXPECT_EQ(SplitToolsLine(QString::fromUtf8(c.Line)), c.Fields) << c.Line;
}

TEST(ToolsFile, SkipsCommentsAndReportsShortLines) {
  const QByteArray text =
      "# a comment\r\n"
      "\r\n"
      "\"&First\",\"First hint\",/bin/first\r\n"
      "   \r\n"
      "only,two\r\n"
      "\"&Second\" \"Second hint\" second extra fields\n"
      "   \"&Third\"  third-hint\t/bin/third\n"
      "\"T&hird\",hint,\"\"\n";
  const TToolsFile file = ParseToolsFile(text);
  ASSERT_EQ(file.Entries.size(), 3u);
  EXPECT_EQ(file.Entries[0].Caption, QStringLiteral("&First"));
  EXPECT_EQ(file.Entries[0].Hint, QStringLiteral("First hint"));
  EXPECT_EQ(file.Entries[0].Command, QStringLiteral("/bin/first"));
  EXPECT_EQ(file.Entries[0].Line, 3);
  EXPECT_EQ(file.Entries[1].Command, QStringLiteral("second"));
  EXPECT_EQ(file.Entries[1].Line, 6);
  EXPECT_EQ(file.Entries[2].Caption, QStringLiteral("&Third"));
  EXPECT_EQ(file.Entries[2].Command, QStringLiteral("/bin/third"));
  ASSERT_EQ(file.Problems.size(), 2);
  EXPECT_TRUE(file.Problems[0].startsWith(QStringLiteral("Line 5:")));
  EXPECT_TRUE(file.Problems[1].startsWith(QStringLiteral("Line 8:")));

  const TToolsFile comments = ParseToolsFile("# one\n#two\n\n");
  EXPECT_TRUE(comments.Entries.empty());
  EXPECT_TRUE(comments.Problems.empty());
}

TEST(ToolsFile, LivesBesideTheHivesAndIsReadAgainEachTime) {
  TRegistryScope registry;
  EXPECT_EQ(ToolsFilePath(), registry.Path("TOOLS.INI"));
  EXPECT_TRUE(ReadToolsFile(ToolsFilePath()).Entries.empty());
  EXPECT_TRUE(ReadToolsFile(ToolsFilePath()).Problems.empty());

  QString error;
  ASSERT_TRUE(WriteFileAtomically(ToolsFilePath(), "a,b,/bin/a\nc,d,/bin/c\n", 0644, &error));
  EXPECT_EQ(ReadToolsFile(ToolsFilePath()).Entries.size(), 2u);
  ASSERT_TRUE(WriteFileAtomically(ToolsFilePath(), "c,d,/bin/c\n", 0644, &error));
  const TToolsFile edited = ReadToolsFile(ToolsFilePath());
  ASSERT_EQ(edited.Entries.size(), 1u);
  EXPECT_EQ(edited.Entries[0].Caption, QStringLiteral("c"));
}

TEST(ToolsFile, UnreadableFileIsReported) {
  // A folder in the file's place cannot be read as a file, not even by root.
  TFixtureTree tree;
  tree.Dir("TOOLS.INI");
  const TToolsFile file = ReadToolsFile(tree.Path("TOOLS.INI"));
  EXPECT_TRUE(file.Entries.empty());
  EXPECT_EQ(file.Problems.size(), 1);
}

TEST(ToolsFile, CommandsWithoutFolderComeFromTheProgramFolderOrPath) {
  TFixtureTree tree;
  tree.File("mytool", 1);
  const QString programFolder = QString::fromLocal8Bit(tree.Root());
  const QString shell = QStandardPaths::findExecutable(QStringLiteral("sh"));
  ASSERT_FALSE(shell.isEmpty());
  struct TCase {
    QString Command, Resolved, Folder;
  } cases[] = {
      {"mytool", programFolder + "/mytool", programFolder},  // the program folder comes first
      {"/usr/local/bin/x", "/usr/local/bin/x", "/usr/local/bin"},
      {"sh", shell, shell.left(shell.lastIndexOf('/'))},
      {"no-such-tool-here", programFolder + "/no-such-tool-here", programFolder},
      {"~/bin/t", QDir::homePath() + "/bin/t", QDir::homePath() + "/bin"},
      {"/x", "/x", "/"},
  };
  for (const TCase& c : cases) {
    const QString resolved = ResolveToolCommand(c.Command, programFolder);
    EXPECT_EQ(resolved, c.Resolved) << qPrintable(c.Command);
    EXPECT_EQ(ToolWorkingFolder(resolved), c.Folder) << qPrintable(c.Command);
  }
}

TEST(ToolsFile, TemplateIsWrittenOnlyWhenMissingAndParsesToNothing) {
  TRegistryScope registry;
  const QByteArray path = registry.Path("sub/TOOLS.INI");
  QString error;
  ASSERT_TRUE(EnsureToolsFile(path, &error)) << qPrintable(error);
  const std::optional<QByteArray> written = ReadWholeFile(path);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, ToolsFileTemplate());
  const TToolsFile parsed = ParseToolsFile(*written);
  EXPECT_TRUE(parsed.Entries.empty());
  EXPECT_TRUE(parsed.Problems.empty());

  ASSERT_TRUE(WriteFileAtomically(path, "mine,h,/bin/true\n", 0644, &error));
  ASSERT_TRUE(EnsureToolsFile(path, &error));
  EXPECT_EQ(ReadWholeFile(path), QByteArray("mine,h,/bin/true\n"));
}

TEST(ToolsFile, WhatIsReadIsCappedAndTheCapIsSaid) {
  TFixtureTree tree;
  const QByteArray path = tree.Path("TOOLS.INI");
  auto lines = [](int count, const char* shape) {
    QByteArray text;
    for (int i = 1; i <= count; ++i) text += QByteArray(shape).replace("N", QByteArray::number(i)) + '\n';
    return text;
  };
  struct TCase {
    const char* What;
    QByteArray Text;
    size_t Entries;
    int Problems;
    const char* Truncated;  // the start of the message, or "" for none
  } cases[] = {
      {"within the caps", lines(ToolsFileItemCap, "cN,h,/bin/tN"), size_t(ToolsFileItemCap), 0, ""},
      {"more items than shown", lines(5000, "cN,h,/bin/tN"), size_t(ToolsFileItemCap), 0, "Only the first 100 commands"},
      {"more bytes than read", "a,h,/bin/a\n" + lines(40000, "# comment line N, long enough to fill the file"), 1, 0,
       "The file is larger than 256 KB"},
      {"many broken lines", lines(3000, "brokenN"), 0, ToolsFileProblemCap + 1, ""},
  };
  for (const TCase& c : cases) {
    QString error;
    ASSERT_TRUE(WriteFileAtomically(path, c.Text, 0644, &error)) << qPrintable(error);
    const TToolsFile file = ReadToolsFile(path);
    EXPECT_EQ(file.Entries.size(), c.Entries) << c.What;
    EXPECT_EQ(file.Problems.size(), c.Problems) << c.What;
    EXPECT_TRUE(QByteArray(c.Truncated).isEmpty() ? file.Truncated.isEmpty()
                                                  : file.Truncated.startsWith(QLatin1String(c.Truncated)))
        << c.What << ": " << qPrintable(file.Truncated);
  }
  EXPECT_EQ(ReadToolsFile(path).Problems.last(), QStringLiteral("2990 more lines make no command"));

  // A FIFO in the file's place is reported at once, never waited on.
  ASSERT_EQ(::unlink(path.constData()), 0);
  ASSERT_EQ(::mkfifo(path.constData(), 0644), 0);
  const TToolsFile fifo = ReadToolsFile(path);
  EXPECT_TRUE(fifo.Entries.empty());
  ASSERT_EQ(fifo.Problems.size(), 1);
  EXPECT_TRUE(fifo.Problems[0].contains(QStringLiteral("not a regular file"))) << qPrintable(fifo.Problems[0]);
}
