#include "config/AtomicFile.h"
#include "reports/LineSink.h"
#include "reports/ReportWriters.h"
#include "tests/support/Fixture.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

using TRow = std::array<QString, ReportListColumns>;

class TCollect : public ILineSink {
public:
  bool WriteLine(const QString& line) override {
    Lines << line;
    return Lines.size() < FailAfter;
  }
  QStringList Lines;
  qsizetype FailAfter = 1 << 30;
};

TSubfolderListReport SmallList() {
  TSubfolderListReport list;
  list.Path = QStringLiteral("T:\\data");
  list.Captions = {QStringLiteral("Name"),        QStringLiteral("-> Size"), QStringLiteral("Allocated"),
                   QStringLiteral("Wasted"),      QStringLiteral("% of Parent"), QStringLiteral("Objects"),
                   QStringLiteral("Last Access"), QStringLiteral("Last Change")};
  list.Rows.push_back({QStringLiteral("a very long folder"), QStringLiteral("1,024 KB"), QStringLiteral("1,028 KB"),
                       QStringLiteral("4 KB"), QStringLiteral("75.00 %"), QStringLiteral("3"),
                       QStringLiteral("1/2/2026 3:04:05 PM"), QStringLiteral("1/2/2026")});
  list.Rows.push_back({QStringLiteral("b"), QStringLiteral("341 KB"), QStringLiteral("344 KB"), QStringLiteral("3 KB"),
                       QStringLiteral("25.00 %"), QStringLiteral("1"), QString(), QString()});
  return list;
}

TEST(ReportWriters, CommaSeparatedFieldsAreQuotedOnlyWhenTheyMustBe) {
  const struct {
    const char* field;
    const char* written;
  } cases[] = {
      {"Name", "Name"},
      {"", ""},
      {"my folder", "\"my folder\""},
      {"1,024 KB", "\"1,024 KB\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"tab\there", "\"tab\there\""},
      {"line\nbreak", "\"line\nbreak\""},
      {"75.00%", "75.00%"},
      {"Grüße", "Grüße"},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvField(QString::fromUtf8(c.field)), QString::fromUtf8(c.written)) << c.field;
}

TEST(ReportWriters, CommaAndTabListsWriteCaptionsThenRows) {
  const TSubfolderListReport list = SmallList();
  TCollect csv;
  ASSERT_TRUE(WriteSubfolderCsv(csv, list));
  EXPECT_EQ(csv.Lines, QStringList({
                           "Name,\"-> Size\",Allocated,Wasted,\"% of Parent\",Objects,\"Last Access\",\"Last Change\"",
                           "\"a very long folder\",\"1,024 KB\",\"1,028 KB\",\"4 KB\",\"75.00 %\",3,\"1/2/2026 3:04:05 PM\","
                           "1/2/2026",
                           "b,\"341 KB\",\"344 KB\",\"3 KB\",\"25.00 %\",1,,",
                       }));
  TCollect tab;
  ASSERT_TRUE(WriteSubfolderTab(tab, list));
  ASSERT_EQ(tab.Lines.size(), 3);
  EXPECT_EQ(tab.Lines[2], QStringLiteral("b\t341 KB\t344 KB\t3 KB\t25.00 %\t1\t\t\t"));
  for (const QString& line : tab.Lines) EXPECT_EQ(line.count(QLatin1Char('\t')), 8) << line.toStdString();
}

TEST(ReportWriters, AlignedListPadsColumnsAndCutsLongNamesOnlyWhenPrinting) {
  const TSubfolderListReport list = SmallList();
  TCollect file;
  ASSERT_TRUE(WriteSubfolderAligned(file, list, false));
  ASSERT_EQ(file.Lines.size(), 8);
  EXPECT_EQ(file.Lines.mid(0, 5), QStringList({"Subfolders of T:\\data", "", "Note: -> indicates the sort column", "", ""}));
  // Name: 18 + 4; the others: the wider of caption and texts, + 4.
  const QString header = QStringLiteral("Name").leftJustified(22) + QStringLiteral("-> Size").rightJustified(12) +
                         QStringLiteral("Allocated").rightJustified(13) + QStringLiteral("Wasted").rightJustified(10) +
                         QStringLiteral("% of Parent").rightJustified(15) + QStringLiteral("Objects").rightJustified(11) +
                         QStringLiteral("Last Access").rightJustified(23) + QStringLiteral("Last Change").rightJustified(15);
  EXPECT_EQ(file.Lines[5], header);
  EXPECT_TRUE(file.Lines[6].startsWith(QStringLiteral("a very long folder    ")));
  EXPECT_EQ(file.Lines[7].size(), header.size());
  EXPECT_TRUE(file.Lines[7].endsWith(QStringLiteral("      1") + QString(38, QLatin1Char(' '))));

  TCollect printed;
  ASSERT_TRUE(WriteSubfolderAligned(printed, list, true));
  // The name column is at most 14 + 4 wide and the long name is cut to 11 characters and "...".
  EXPECT_TRUE(printed.Lines[5].startsWith(QStringLiteral("Name") + QString(14, QLatin1Char(' ')) + QStringLiteral("     -> Size")));
  EXPECT_TRUE(printed.Lines[6].startsWith(QStringLiteral("a very long...    ")));
}

TEST(ReportWriters, PrintedNamesAreCutFromFifteenCharacters) {
  const struct {
    int length;
    const char* printed;
  } cases[] = {{1, "a"}, {14, "abcdefghijklmn"}, {15, "abcdefghijk..."}, {20, "abcdefghijk..."}};
  const QString letters = QStringLiteral("abcdefghijklmnopqrst");
  for (const auto& c : cases) EXPECT_EQ(PrintedListName(letters.left(c.length)), QLatin1String(c.printed)) << c.length;
}

TEST(ReportWriters, AlignedListOfAFolderWithoutSubfoldersIsTheHeaderAlone) {
  TSubfolderListReport list = SmallList();
  list.Rows.clear();
  TCollect out;
  ASSERT_TRUE(WriteSubfolderAligned(out, list, true));
  ASSERT_EQ(out.Lines.size(), 6);
  QString header;
  for (size_t c = 0; c < ReportListColumns; ++c) {
    const QString& caption = list.Captions[c];
    header += c == 0 ? caption.leftJustified(caption.size() + 4) : caption.rightJustified(caption.size() + 4);
  }
  EXPECT_EQ(out.Lines[5], header);
}

TFolderInfoReport SmallInfo() {
  TFolderInfoReport info;
  info.ReportDate = QStringLiteral("12/10/2026 1:05:03 PM");
  info.FolderType = QStringLiteral("File Folder");
  info.FolderName = QStringLiteral("data");
  info.Path = QStringLiteral("T:\\data");
  info.Tree = {TReportFigure{"1.3 MB", "1,390,000 bytes"}, TReportFigure{"1.3 MB", "1,396,736 bytes"},
               TReportFigure{"6 KB", "6,736 bytes"}, TReportFigure{"5", "4 file(s) and 1 subfolder(s)"}};
  info.Folder = {TReportFigure{"1 byte", "1 byte"}, TReportFigure{"4 KB", "4,096 bytes"},
                 TReportFigure{"4 KB", "4,095 bytes"}, TReportFigure{"2", "1 file(s) and 1 subfolder(s)"}};
  const char* labels[] = {"Long name", "MS-DOS name", "Last access date", "Last change date", "Creation date", "Attributes",
                          "",          "Read-Only files", "Hidden files", "System files", "Compressed files"};
  for (size_t i = 0; i < 11; ++i) info.Grid[i] = {QLatin1String(labels[i]), i == 6 ? QString() : QStringLiteral("v%1").arg(i)};
  info.WastedAmount = QStringLiteral("Amount of space wasted by folder (+ subfolders)");
  info.WastedPath = QStringLiteral("T:\\data");
  info.WastedAtDiff = QStringLiteral("at different cluster sizes (and % of usage+wasted)");
  const char* captions[] = {"0.5K", "2K", "4K", "8K", "16K", "32K", "64K"};
  for (size_t i = 0; i < 7; ++i) {
    info.Wasted[i] = {QLatin1String(captions[i]), QStringLiteral("%1 bytes").arg(512 << (i == 0 ? 0 : i + 1)),
                      QStringLiteral("%1 KB").arg(i), QStringLiteral("%1 bytes").arg(i * 1000), int(i * 10), i == 2};
  }
  return info;
}

TEST(ReportWriters, FolderInformationLineByLine) {
  TCollect out;
  ASSERT_TRUE(WriteFolderInformation(out, SmallInfo(), true));
  const QString sep(70, QLatin1Char('-'));
  const QStringList expected = {
      "Report generated by Korvane Version 3.0",
      ReportNoticeLine,
      "",
      "Report Date: 12/10/2026 1:05:03 PM",
      sep,
      "",
      "File Folder data",
      "Location: T:\\data",
      "",
      "Tree (Folder + Subfolders)",
      "-> Size: 1.3 MB (1,390,000 bytes)",
      "-> Allocated: 1.3 MB (1,396,736 bytes)",
      "-> Wasted: 6 KB (6,736 bytes)",
      "-> Objects: 5 (4 file(s) and 1 subfolder(s))",
      "Folder",
      "-> Size: 1 byte (1 byte)",
      "-> Allocated: 4 KB (4,096 bytes)",
      "-> Wasted: 4 KB (4,095 bytes)",
      "-> Objects: 2 (1 file(s) and 1 subfolder(s))",
      "",
      "Long name: v0",
      "MS-DOS name: v1",
      "Last access date: v2",
      "Last change date: v3",
      "Creation date: v4",
      "Attributes: v5",
      " ",
      "Read-Only files: v7",
      "Hidden files: v8",
      "System files: v9",
      "Compressed files: v10",
      "",
      sep,
      "Amount of space wasted by folder (+ subfolders)",
      "T:\\data",
      "at different cluster sizes (and % of usage+wasted)",
      sep,
      "       Cluster size                  Wasted space  % of usage+wasted",
      sep,
      "   0.5K     512 bytes                0 KB (0 bytes)         0%",
      "     2K    2048 bytes             1 KB (1000 bytes)        10%",
      "->   4K    4096 bytes             2 KB (2000 bytes)        20%",
      "     8K    8192 bytes             3 KB (3000 bytes)        30%",
      "    16K   16384 bytes             4 KB (4000 bytes)        40%",
      "    32K   32768 bytes             5 KB (5000 bytes)        50%",
      "    64K   65536 bytes             6 KB (6000 bytes)        60%",
      "",
      "-> indicates the actual wasted space",
  };
  EXPECT_EQ(out.Lines, expected);

  // A file goes on with the heading of the subfolder list, then the list itself.
  const QByteArray file = ReportFileData(TReportKind::FolderInformation, SmallInfo(), SmallList());
  const QList<QByteArray> lines = file.split('\n');
  EXPECT_TRUE(file.contains("-> indicates the actual wasted space\r\n\r\n" + sep.toUtf8() +
                            "\r\nSubfolders\r\n-> indicates the sort column\r\n" + sep.toUtf8() +
                            "\r\nSubfolders of T:\\data\r\n"));
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) EXPECT_TRUE(lines[i].endsWith('\r')) << i;
  EXPECT_TRUE(file.endsWith("\r\n"));
}

TEST(ReportWriters, WastedTableKeepsABlankBetweenColumnsHoweverWideAFigure) {
  TFolderInfoReport info = SmallInfo();
  info.Wasted[6] = {QStringLiteral("64K"), QStringLiteral("65536 bytes"), QStringLiteral("37.51 GB"),
                    QStringLiteral("40,275,392,512 bytes"), 100, false};
  info.Wasted[5] = {QStringLiteral("32768K"), QStringLiteral("33554432 bytes!"), QStringLiteral("1 KB"),
                    QStringLiteral("1,024 bytes"), 1234567890, false};
  TCollect out;
  ASSERT_TRUE(WriteFolderInformation(out, info, false));
  EXPECT_TRUE(out.Lines.contains(QStringLiteral("    64K   65536 bytes 37.51 GB (40,275,392,512 bytes)       100%")))
      << out.Lines.join(QLatin1Char('\n')).toStdString();
  EXPECT_TRUE(out.Lines.contains(QStringLiteral("   32768K 33554432 bytes!            1 KB (1,024 bytes) 1234567890%")))
      << out.Lines.join(QLatin1Char('\n')).toStdString();
}

TEST(ReportWriters, AWriterStopsAtTheFirstLineTheSinkRefuses) {
  TCollect out;
  out.FailAfter = 3;
  EXPECT_FALSE(WriteFolderInformation(out, SmallInfo(), false));
  EXPECT_EQ(out.Lines.size(), 3);
}

TEST(ReportWriters, ExtensionsAreAddedOnlyToNamesWithout) {
  const struct {
    const char* name;
    int filter;
    const char* saved;
  } cases[] = {
      {"/tmp/list", 1, "/tmp/list.csv"}, {"/tmp/list", 2, "/tmp/list.txt"}, {"/tmp/list", 3, "/tmp/list.txt"},
      {"/tmp/list.dat", 1, "/tmp/list.dat"}, {"/tmp/list.csv", 2, "/tmp/list.csv"}, {"/tmp/v1.0/list", 1, "/tmp/v1.0/list.csv"},
  };
  for (const auto& c : cases) {
    const TReportKind kind = SubfolderListFilterKind(c.filter);
    EXPECT_EQ(WithDefaultExtension(QLatin1String(c.name), ReportExtension(kind)), QLatin1String(c.saved)) << c.name;
  }
  EXPECT_EQ(SubfolderListFilterKind(1), TReportKind::CommaSeparated);
  EXPECT_EQ(SubfolderListFilterKind(2), TReportKind::TabSeparated);
  EXPECT_EQ(SubfolderListFilterKind(3), TReportKind::SpaceAligned);
}

TEST(ReportWriters, PythonReadsTheCommaSeparatedFileBack) {
  TFixtureTree fx;
  TSubfolderListReport list = SmallList();
  list.Rows.push_back({QStringLiteral("say \"hi\", then"), QStringLiteral("0 KB"), QString(), QString(), QString(),
                       QString(), QString(), QStringLiteral("Grüße")});
  const QString file = QString::fromLocal8Bit(fx.Path("list.csv"));
  QString error;
  ASSERT_TRUE(WriteReportFile(file, TReportKind::CommaSeparated, {}, list, &error)) << error.toStdString();
  QProcess python;
  python.start(QStringLiteral("python3"),
               {QStringLiteral("-c"),
                QStringLiteral("import csv,json,sys\n"
                               "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                               "    print(json.dumps(list(csv.reader(f))))\n"),
                file});
  ASSERT_TRUE(python.waitForFinished(30000));
  ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
  const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
  ASSERT_EQ(rows.size(), 4);
  std::vector<TRow> expected = {list.Captions};
  expected.insert(expected.end(), list.Rows.begin(), list.Rows.end());
  for (qsizetype r = 0; r < rows.size(); ++r) {
    const QJsonArray fields = rows[r].toArray();
    ASSERT_EQ(fields.size(), 8) << r;
    for (qsizetype c = 0; c < 8; ++c) EXPECT_EQ(fields[c].toString(), expected[size_t(r)][size_t(c)]) << r << "," << c;
  }
}

TEST(ReportWriters, AFailedWriteLeavesTheOldFileAsItWas) {
  TFixtureTree fx;
  const QByteArray path = fx.Path("report.txt");
  fx.File("report.txt", 0, false);
  QFile old(QString::fromLocal8Bit(path));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("old report\r\n");
  old.close();
  SetAtomicWriteTestHook([](const QByteArray&) { return false; });
  QString error;
  const bool written = WriteReportFile(QString::fromLocal8Bit(path), TReportKind::FolderInformation, SmallInfo(),
                                       SmallList(), &error);
  SetAtomicWriteTestHook({});
  EXPECT_FALSE(written);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(ReadWholeFile(path).value_or("gone"), QByteArray("old report\r\n"));
  // In a folder that does not exist: a failure, and nothing created.
  EXPECT_FALSE(WriteReportFile(QString::fromLocal8Bit(fx.Path("no/such/report.txt")), TReportKind::CommaSeparated, {},
                               SmallList(), &error));
}

}  // namespace
