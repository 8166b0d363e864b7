// Profile files: read the way the Windows profile functions read them, written without losing
// a byte of what a person put there, and no input makes the parser crash or hang.

#include "config/AtomicFile.h"
#include "config/IniFile.h"
#include "config/SettingsWarnings.h"
#include "tests/config/FifoWatch.h"
#include "tests/support/Fixture.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <sys/stat.h>

namespace {

std::string Str(const QString& s) { return s.toStdString(); }

class IniFileTest : public ::testing::Test {
protected:
  void TearDown() override { SetAtomicWriteTestHook({}); }

  QByteArray Path() const { return tree_.Path("archives.ini"); }
  void Put(const QByteArray& bytes) const { ASSERT_TRUE(WriteFileAtomically(Path(), bytes, 0644)); }
  QByteArray Content() const { return ReadWholeFile(Path()).value_or("<missing>"); }
  QStringList Entries() const {
    return QDir(QString::fromLocal8Bit(tree_.Root())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }

  TFixtureTree tree_;
};

const QByteArray HandWritten =
    "\xEF\xBB\xBF; catalogue of archives\r\n"
    "stray line before any section\r\n"
    "[Descriptions]\r\n"
    "  D1.ZIP = My photos  \r\n"
    "d2.zip=\"  padded  \"\r\n"
    "D3.ZIP='single'\r\n"
    "D4.ZIP=\"unbalanced\r\n"
    "no equals sign here\r\n"
    "=no key\r\n"
    "# hash comment\r\n"
    "D1.ZIP=shadowed duplicate\r\n"
    "Empty=\r\n"
    "\r\n"
    "[ FolderNames ]\r\n"
    "D1.ZIP=Photos\r\n"
    "[broken section\r\n"
    "[descriptions]\r\n"
    "D5.ZIP=second occurrence\r\n"
    "d1.zip=also shadowed\r\n"
    "[OriginalPaths]\r\n"
    "D1.ZIP=C:\\Users\\me\r\n"
    "Equals=a=b";  // no line end at the end

TEST_F(IniFileTest, ReadsLikeTheProfileFunctions) {
  Put(HandWritten);
  const TIniFile ini(Path());
  struct Case {
    const char* Section;
    const char* Key;
    const char* Value;  // null: the default
  };
  const Case cases[] = {
      {"Descriptions", "D1.ZIP", "My photos"},
      {"DESCRIPTIONS", "d1.zip", "My photos"},
      {"  Descriptions ", " D1.ZIP ", "My photos"},
      {"Descriptions", "D2.ZIP", "  padded  "},
      {"Descriptions", "D3.ZIP", "single"},
      {"Descriptions", "D4.ZIP", "\"unbalanced"},
      {"Descriptions", "Empty", ""},
      {"Descriptions", "D5.ZIP", "second occurrence"},
      {"Descriptions", "no equals sign here", nullptr},
      {"Descriptions", "Missing", nullptr},
      {"FolderNames", "D1.ZIP", "Photos"},
      {"OriginalPaths", "D1.ZIP", "C:\\Users\\me"},
      {"OriginalPaths", "Equals", "a=b"},
      {"broken section", "D5.ZIP", nullptr},
      {"No such section", "D1.ZIP", nullptr},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ini.ReadString(c.Section, c.Key, "<default>"), c.Value ? QString::fromUtf8(c.Value) : "<default>")
        << c.Section << " / " << c.Key;

  EXPECT_EQ(ini.ReadSection("descriptions"), QStringList({"D1.ZIP", "d2.zip", "D3.ZIP", "D4.ZIP", "Empty", "D5.ZIP"}));
  EXPECT_EQ(ini.ReadSections(), QStringList({"Descriptions", "FolderNames", "OriginalPaths"}));
  EXPECT_TRUE(ini.SectionExists("foldernames"));
  EXPECT_TRUE(ini.ValueExists("Descriptions", "Empty"));
  EXPECT_FALSE(ini.ValueExists("Descriptions", "Missing"));

  const TIniFile missing(tree_.Path("nothing.ini"));
  EXPECT_EQ(missing.ReadString("A", "B", "d"), "d");
  EXPECT_TRUE(missing.ReadSections().isEmpty());
}

TEST_F(IniFileTest, ANewFileHasItsSectionsInTheOrderWrittenWithCrlf) {
  TIniFile ini(Path());
  ini.WriteString("Descriptions", "D0A1B2C3.ZIP", "Photos Folder");
  ini.WriteString("FolderNames", "D0A1B2C3.ZIP", "Photos");
  ini.WriteString("OriginalPaths", "D0A1B2C3.ZIP", "D:\\");
  ini.WriteString("Descriptions", "D0000004.ZIP", "");
  EXPECT_EQ(Content().toStdString(),
            "[Descriptions]\r\n"
            "D0A1B2C3.ZIP=Photos Folder\r\n"
            "D0000004.ZIP=\r\n"
            "\r\n"
            "[FolderNames]\r\n"
            "D0A1B2C3.ZIP=Photos\r\n"
            "\r\n"
            "[OriginalPaths]\r\n"
            "D0A1B2C3.ZIP=D:\\\r\n");
  EXPECT_EQ(ini.ReadSection("Descriptions"), QStringList({"D0A1B2C3.ZIP", "D0000004.ZIP"}));
}

TEST_F(IniFileTest, WritingKeepsEveryLineItDoesNotChange) {
  Put(HandWritten);
  TIniFile ini(Path());
  ini.WriteString("descriptions", "d1.zip", "Renamed");      // the first D1.ZIP, spelling and blanks kept
  ini.WriteString("Descriptions", "D6.ZIP", "New one");     // after the last key of the first occurrence
  ini.WriteString("OriginalPaths", "D6.ZIP", "E:\\Data");    // after a last line that had no line end
  ini.WriteString("Restore", "Key", "v");                   // a new section at the end
  QByteArray expected = HandWritten;
  expected.replace("  D1.ZIP = My photos  \r\n", "  D1.ZIP = Renamed\r\n");
  expected.replace("Empty=\r\n", "Empty=\r\nD6.ZIP=New one\r\n");
  expected.replace("Equals=a=b", "Equals=a=b\r\nD6.ZIP=E:\\Data\r\n\r\n[Restore]\r\nKey=v\r\n");
  EXPECT_EQ(Content().toStdString(), expected.toStdString());

  // Unix line ends stay Unix line ends.
  Put("# edited on Linux\n[A]\nx=1\n");
  ini.WriteString("A", "y", "2");
  ini.WriteString("B", "z", "3");
  EXPECT_EQ(Content().toStdString(), "# edited on Linux\n[A]\nx=1\ny=2\n\n[B]\nz=3\n");
}

TEST_F(IniFileTest, DeletingKeysAndSections) {
  Put(HandWritten);
  TIniFile ini(Path());
  ini.DeleteKey("Descriptions", "D1.ZIP");  // with both of its duplicates
  EXPECT_EQ(ini.ReadString("Descriptions", "D1.ZIP", "gone"), "gone");
  EXPECT_EQ(ini.ReadSection("Descriptions"), QStringList({"d2.zip", "D3.ZIP", "D4.ZIP", "Empty", "D5.ZIP"}));
  EXPECT_EQ(ini.ReadString("FolderNames", "D1.ZIP", ""), "Photos");
  EXPECT_TRUE(Content().contains("no equals sign here\r\n=no key\r\n# hash comment\r\n"));

  ini.EraseSection("DESCRIPTIONS");  // both occurrences
  EXPECT_EQ(ini.ReadSections(), QStringList({"FolderNames", "OriginalPaths"}));
  EXPECT_EQ(Content().toStdString(),
            "\xEF\xBB\xBF; catalogue of archives\r\n"
            "stray line before any section\r\n"
            "[ FolderNames ]\r\n"
            "D1.ZIP=Photos\r\n"
            "[broken section\r\n"
            "[OriginalPaths]\r\n"
            "D1.ZIP=C:\\Users\\me\r\n"
            "Equals=a=b");
}

TEST_F(IniFileTest, ManyKeysAtOnceAndNamesThatDifferOnlyInCase) {
  Put("[\xC3\x84]\r\n\xC3\x89tat=1\r\n\xC3\xA9tat=2\r\nx=3\r\n[\xC3\xA4]\r\nY=4\r\n\xC3\x89TAT=5\r\n");
  TIniFile ini(Path());
  EXPECT_EQ(ini.ReadSections(), QStringList({QStringLiteral("\u00C4")}));
  EXPECT_EQ(ini.ReadSection(QStringLiteral("\u00E4")), QStringList({QStringLiteral("\u00C9tat"), "x", "Y"}));
  const std::vector<std::pair<QString, QString>> expected = {
      {QStringLiteral("\u00C9tat"), "1"}, {"x", "3"}, {"Y", "4"}};
  EXPECT_EQ(ini.ReadDocument().Entries(QStringLiteral(" \u00C4 ")), expected);
  ini.DeleteKeys({QStringLiteral("\u00C4"), "Nowhere"}, {QStringLiteral("\u00C9TAT"), "y"});
  EXPECT_EQ(Content(), "[\xC3\x84]\r\nx=3\r\n[\xC3\xA4]\r\n");
}

TEST_F(IniFileTest, ManyValuesSetInOneWrite) {
  Put("; mine\n[A]\nk1 = old\nkeep=1\n\n; between\n[a]\nK1=second occurrence\nk2=x\n[B]\nb=1");
  TIniFile ini(Path());
  ini.Change([](TIniDocument& doc) {
    bool changed = doc.SetValues(QStringLiteral(" A "), {{"K1", "new"}, {"n1", "first"}, {"k2", "x"},
                                                         {"n2", " padded "}, {"N1", "later wins"}});
    changed = doc.SetValues(QStringLiteral("C"), {{"c1", "1"}, {"c2", "2"}}) || changed;
    return changed;
  });
  // The key found first is changed in place (spelling and spacing kept); new keys follow the last
  // entry of the section's first occurrence in the order given; a new section comes at the end.
  EXPECT_EQ(Content().toStdString(),
            "; mine\n[A]\nk1 = new\nkeep=1\nn1=later wins\nn2=\" padded \"\n\n; between\n[a]\n"
            "K1=second occurrence\nk2=x\n[B]\nb=1\n\n[C]\nc1=1\nc2=2\n");
  EXPECT_EQ(ini.ReadString("a", "n2", ""), QStringLiteral(" padded "));

  // A name that cannot be written stops the whole batch before anything changes.
  const QByteArray before = Content();
  EXPECT_THROW(ini.Change([](TIniDocument& doc) { return doc.SetValues(QStringLiteral("A"), {{"fine", "1"}, {"bad=name", "2"}}); }),
               EIniFileException);
  EXPECT_EQ(Content(), before);
  struct stat st {};
  ASSERT_EQ(::stat(Path().constData(), &st), 0);
  ini.Change([](TIniDocument& doc) { return doc.SetValues(QStringLiteral("b"), {{"B", "1"}}); });
  struct stat after {};
  ASSERT_EQ(::stat(Path().constData(), &after), 0);
  EXPECT_EQ(st.st_ino, after.st_ino) << "nothing changed, nothing written";
}

TEST_F(IniFileTest, NothingIsWrittenWhenNothingChanges) {
  TIniFile ini(Path());
  ini.DeleteKey("A", "B");
  ini.EraseSection("A");
  EXPECT_TRUE(Entries().isEmpty()) << "no file is created for nothing";

  Put("[A]\r\nB = same\r\n");
  struct stat before {};
  ASSERT_EQ(::stat(Path().constData(), &before), 0);
  ini.WriteString("a", "b", "same");
  ini.DeleteKey("A", "C");
  struct stat after {};
  ASSERT_EQ(::stat(Path().constData(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "the file was not replaced";
}

TEST_F(IniFileTest, ValuesReadBackAsWritten) {
  const QString values[] = {
      "plain",
      "",
      "  leading blanks",
      "trailing blanks \t",
      "\"quoted\"",
      "'single'",
      "\"",
      "x\"",
      "a=b;c#d[e]",
      QString::fromUtf8("Ünïcödé 😀"),
      QString("bytes ") + QChar(0xDCE9) + QChar(0xDCFF),  // a non-UTF-8 host name's bytes
  };
  TIniFile ini(Path());
  for (int i = 0; i < static_cast<int>(std::size(values)); ++i) ini.WriteString("S", QStringLiteral("K%1").arg(i), values[i]);
  for (int i = 0; i < static_cast<int>(std::size(values)); ++i)
    EXPECT_EQ(ini.ReadString("S", QStringLiteral("K%1").arg(i), "<default>"), values[i]) << Str(values[i]);
  EXPECT_TRUE(Content().contains("K10=bytes \xE9\xFF\r\n")) << "the bytes themselves are written";

  ini.WriteString("S", "Lines", "one\r\ntwo\nthree");
  EXPECT_EQ(ini.ReadString("S", "Lines", ""), "one  two three");
  EXPECT_EQ(ini.ReadSections(), QStringList({"S"}));

  for (const char* bad : {"", "  ", "a=b", "[x", ";c", "#c", "two\nlines"})
    EXPECT_THROW(ini.WriteString("S", bad, "v"), EIniFileException) << bad;
  EXPECT_THROW(ini.WriteString("", "k", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("a\nb", "k", "v"), EIniFileException);
}

TEST_F(IniFileTest, BytesThatAreNotUtf8AndUtf16Files) {
  // A hand-edited Latin-1 file: read as it stands, written back byte for byte.
  const QByteArray latin1 = "[Descriptions]\nD1.ZIP=Caf\xE9\n; \xFF\xFE comment\n";
  Put(latin1);
  TIniFile ini(Path());
  EXPECT_EQ(ini.ReadString("Descriptions", "D1.ZIP", ""), QString("Caf") + QChar(0xDCE9));
  ini.WriteString("Descriptions", "D2.ZIP", "x");
  EXPECT_EQ(Content(), QByteArray("[Descriptions]\nD1.ZIP=Caf\xE9\nD2.ZIP=x\n; \xFF\xFE comment\n"));

  const QString text = QStringLiteral("[Descriptions]\r\nD1.ZIP=Fotos \u00e4\r\n");
  QByteArray utf16("\xFF\xFE", 2);
  for (QChar c : text) {
    utf16 += static_cast<char>(c.unicode() & 0xFF);
    utf16 += static_cast<char>(c.unicode() >> 8);
  }
  Put(utf16);
  EXPECT_EQ(ini.ReadString("descriptions", "d1.zip", ""), QStringLiteral("Fotos \u00e4"));
  ini.WriteString("Descriptions", "D2.ZIP", QStringLiteral("\u00df"));
  const QByteArray written = Content();
  ASSERT_TRUE(written.startsWith("\xFF\xFE"));
  EXPECT_EQ(written.size() % 2, 0);
  EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(written.constData() + 2), (written.size() - 2) / 2),
            text + QStringLiteral("D2.ZIP=\u00df\r\n"));
}

TEST_F(IniFileTest, AFailedWriteLeavesTheOldFile) {
  Put("[Descriptions]\r\nD1.ZIP=old\r\n");
  SetAtomicWriteTestHook([](const QByteArray&) { return false; });
  TIniFile ini(Path());
  EXPECT_THROW(ini.WriteString("Descriptions", "D2.ZIP", QString(500, QChar('n'))), EIniFileException);
  SetAtomicWriteTestHook({});
  EXPECT_EQ(Content(), QByteArray("[Descriptions]\r\nD1.ZIP=old\r\n"));
  EXPECT_EQ(Entries(), QStringList({"archives.ini"}));

  // A file that exists but cannot be read is not replaced.
  TIniFile folder(tree_.Root());
  EXPECT_THROW(folder.WriteString("A", "B", "C"), EIniFileException);
  // Nor is a file written into a folder that does not exist.
  TIniFile nowhere(tree_.Path("missing/archives.ini"));
  EXPECT_THROW(nowhere.WriteString("A", "B", "C"), EIniFileException);
}

// A FIFO in place of the file (or a link to one) is never opened, so nothing waits for a writer:
// it reads as empty, is never replaced, and one warning says so.
TEST_F(IniFileTest, AFifoIsNeverOpenedNorReplaced) {
  const QByteArray fifo = tree_.Path("elsewhere.fifo");
  ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
  const QByteArray link = tree_.Path("TOOLS.INI");
  ASSERT_EQ(::symlink(fifo.constData(), link.constData()), 0);
  for (const QByteArray& path : {fifo, link}) {
    SCOPED_TRACE(path.constData());
    const qsizetype warned = SettingsWarnings().size();
    {
      const TFifoWatch watch(fifo);
      TIniFile ini(path);
      EXPECT_EQ(ini.ReadString("Tools", "Title1", "none"), "none");
      EXPECT_TRUE(ini.ReadSections().isEmpty());
      EXPECT_THROW(ini.WriteString("Tools", "Title1", "Editor"), EIniFileException);
      EXPECT_FALSE(watch.Opened());
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    const QStringList warnings = SettingsWarnings().mid(warned);
    ASSERT_EQ(warnings.size(), 1) << Str(warnings.join('\n'));
    EXPECT_TRUE(warnings[0].contains("not a regular file")) << Str(warnings[0]);
  }
  const QStringList all = QDir(QString::fromLocal8Bit(tree_.Root())).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  EXPECT_EQ(all, QStringList({"TOOLS.INI", "elsewhere.fifo"}));
}

// Two writers of one file (two copies of the program; here two threads with their own objects)
// each re-read and replace it. Every key either of them wrote is there at the end.
TEST_F(IniFileTest, WritersTakingTurnsKeepEachOthersKeys) {
  constexpr int PerWriter = 60;
  auto writer = [this](const QString& prefix) {
    TIniFile ini(Path());
    for (int i = 0; i < PerWriter; ++i) ini.WriteString("Descriptions", prefix + QString::number(i), "v");
  };
  std::thread first(writer, QStringLiteral("A"));
  std::thread second(writer, QStringLiteral("B"));
  first.join();
  second.join();
  const QStringList keys = TIniFile(Path()).ReadSection("Descriptions");
  EXPECT_EQ(keys.size(), 2 * PerWriter);
  for (int i = 0; i < PerWriter; ++i) {
    EXPECT_TRUE(keys.contains(QStringLiteral("A%1").arg(i))) << i;
    EXPECT_TRUE(keys.contains(QStringLiteral("B%1").arg(i))) << i;
  }
}

// A write cut short by a crash leaves its temporary file; the next write clears it away and
// touches nothing else.
TEST_F(IniFileTest, TheNextWriteRemovesWhatACrashLeftBehind) {
  Put("[Descriptions]\r\nD1.ZIP=old\r\n");
  const QByteArray stale = AtomicTempPrefix(Path()) + "Ab3xYz";
  const QByteArray other = AtomicTempPrefix(Path()) + "notours";
  for (const QByteArray& name : {stale, other}) ASSERT_TRUE(WriteFileAtomically(name, "half", 0644));
  TIniFile(Path()).WriteString("Descriptions", "D2.ZIP", "new");
  EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(stale)));
  EXPECT_TRUE(QFile::exists(QString::fromLocal8Bit(other)));
  EXPECT_EQ(Content(), QByteArray("[Descriptions]\r\nD1.ZIP=old\r\nD2.ZIP=new\r\n"));
}

// Random bytes, truncated and damaged files: parsing always ends, gives back the very bytes it
// was given, and the operations work on whatever came out.
TEST(IniFileParser, SurvivesRandomAndTruncatedInput) {
  std::mt19937 random(7);
  const QByteArray alphabet = "[]=;#\"' \t\r\nabcAB\xC3\xA4\xFF\xFE\xEF\xBB\xBF";
  for (int round = 0; round < 4000; ++round) {
    QByteArray input;
    switch (round % 4) {
      case 0:
        input.resize(static_cast<qsizetype>(random() % 200));
        for (char& c : input) c = static_cast<char>(random());
        break;
      case 1:
        input = HandWritten.left(static_cast<qsizetype>(random() % (HandWritten.size() + 1)));
        break;
      case 2:
        for (int k = 0, n = static_cast<int>(random() % 120); k < n; ++k)
          input += alphabet[static_cast<qsizetype>(random() % alphabet.size())];
        break;
      default:
        input = "\xFF\xFE" + HandWritten.left(static_cast<qsizetype>(random() % HandWritten.size()));
        break;
    }
    TIniDocument doc = TIniDocument::Parse(input);
    ASSERT_EQ(doc.ToBytes(), input) << "round " << round;
    const QStringList sections = doc.Sections();
    for (const QString& s : sections) (void)doc.Keys(s);
    QString section = sections.isEmpty() ? QStringLiteral("New") : sections.front().trimmed();
    if (section.isEmpty() || section.contains(QLatin1Char('\r'))) section = QStringLiteral("New");
    doc.SetValue(section, u"Fuzz", u" value ");
    ASSERT_EQ(doc.Value(section, u"fuzz"), QStringLiteral(" value ")) << "round " << round;
    TIniDocument again = TIniDocument::Parse(doc.ToBytes());
    ASSERT_EQ(again.Value(section, u"FUZZ"), QStringLiteral(" value ")) << "round " << round << " " << doc.ToBytes().toHex().toStdString();
    again.RemoveKey(section, u"Fuzz");
    ASSERT_FALSE(again.Value(section, u"Fuzz").has_value()) << "round " << round;
    again.RemoveSection(section);
    ASSERT_FALSE(again.HasSection(section)) << "round " << round;
  }
}

}  // namespace
