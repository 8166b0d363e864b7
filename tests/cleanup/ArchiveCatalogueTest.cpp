#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/ArchiveFolder.h"
#include "config/AtomicFile.h"
#include "config/IniFile.h"

#include "tests/cleanup/ZipTestSupport.h"
#include "tests/support/Fixture.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <set>
#include <sys/file.h>

namespace {

// A drive T with an archives folder holding the named archive files and a catalogue.
struct TArchiveDrive {
  TFixtureTree tree;
  TDriveScope drives{{{'T', tree.Root()}}};
  QByteArray folder;
  TArchiveDrive() {
    QString error;
    EXPECT_TRUE(EnsureArchivesFolder('T', &folder, &error)) << error.toStdString();
  }
  void AddArchive(const QString& key, const QString& description, const QString& name) {
    WriteBytes(folder + '/' + key.toUtf8(), "PK");
    TArchiveCatalogue(folder).Add({key, description, name, QStringLiteral("T:\\") + name});
  }
  QStringList Keys(const QString& section) const {
    return TIniFile(folder + "/archives.ini").ReadSection(section);
  }
};

bool Exists(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0;
}

}  // namespace

TEST(ArchiveCatalogue, EntriesWhoseArchiveIsGoneAreRemovedAndEachRowKeepsItsOwnArchive) {
  TArchiveDrive drive;
  drive.AddArchive("T0000001.ZIP", "first", "one");
  drive.AddArchive("T0000002.ZIP", "second", "two");
  drive.AddArchive("T0000003.ZIP", "third", "three");
  ASSERT_EQ(::unlink((drive.folder + "/T0000001.ZIP").constData()), 0);
  TArchiveCatalogue catalogue(drive.folder);
  const std::vector<TArchiveRecord> rows = catalogue.List();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Key, QStringLiteral("T0000002.ZIP"));
  EXPECT_EQ(rows[0].FolderName, QStringLiteral("two"));
  EXPECT_EQ(rows[1].Description, QStringLiteral("third"));
  for (const char* section : {"Descriptions", "FolderNames", "OriginalPaths"})
    EXPECT_FALSE(drive.Keys(section).contains(QStringLiteral("T0000001.ZIP"))) << section;

  catalogue.SetDescription(rows[1].Key, QString());
  QString error;
  ASSERT_TRUE(catalogue.DeleteArchive(rows[0].Key, &error)) << error.toStdString();
  EXPECT_TRUE(Exists(drive.folder + "/T0000003.ZIP"));
  const std::vector<TArchiveRecord> left = catalogue.List();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].Key, QStringLiteral("T0000003.ZIP"));
  EXPECT_EQ(left[0].Description, QString());  // renamed to nothing: empty, not "No description"
}

TEST(ArchiveCatalogue, LastArchiveGoneTakesCatalogueAndEmptyFolderAlong) {
  for (bool otherFile : {false, true}) {
    TArchiveDrive drive;
    drive.AddArchive("T0000001.ZIP", "only", "one");
    if (otherFile) WriteBytes(drive.folder + "/notes.txt", "the user's");
    QString error;
    ASSERT_TRUE(TArchiveCatalogue(drive.folder).DeleteArchive("T0000001.ZIP", &error));
    EXPECT_FALSE(Exists(drive.folder + "/archives.ini"));
    EXPECT_EQ(Exists(drive.folder), otherFile);
    if (otherFile) {
      EXPECT_TRUE(Exists(drive.folder + "/notes.txt"));
    }
  }
}

TEST(ArchiveCatalogue, MissingValuesShowTheirDefaults) {
  TArchiveDrive drive;
  WriteBytes(drive.folder + "/T0000009.ZIP", "PK");
  WriteBytes(drive.folder + "/archives.ini", "[Descriptions]\r\nT0000009.ZIP\r\n[FolderNames]\r\n");
  // A key line without "=" is no key; one with an empty value is.
  EXPECT_TRUE(TArchiveCatalogue(drive.folder).List().empty());
  WriteBytes(drive.folder + "/T0000009.ZIP", "PK");
  WriteBytes(drive.folder + "/archives.ini", "[Descriptions]\r\nT0000009.ZIP=\r\n");
  const std::vector<TArchiveRecord> rows = TArchiveCatalogue(drive.folder).List();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].FolderName, QString());
  EXPECT_EQ(rows[0].OriginalPath, ProgramDriveRoot());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^[C-Z]:\\\\$")).match(rows[0].OriginalPath).hasMatch());
}

TEST(ArchiveCatalogue, KeysThatAreNoPlainFileNamesAreNeverOpenedOrDeleted) {
  TArchiveDrive drive;
  WriteBytes(drive.tree.Path("victim.ZIP"), "not yours");
  drive.tree.Dir("Archives Bin/sub");
  WriteBytes(drive.folder + "/sub/x.ZIP", "not yours either");
  const char* keys[] = {"../victim.ZIP", "..\\victim.ZIP", "sub/x.ZIP", "..", ".", "archives.ini",
                        "T:x.ZIP", ".part"};
  for (const char* key : keys) EXPECT_FALSE(IsCatalogueKey(key)) << key;
  EXPECT_TRUE(IsCatalogueKey("T01A2B3C4.ZIP"));
  QByteArray ini = "[Descriptions]\r\n";
  for (const char* key : keys) ini += QByteArray(key) + "=bad\r\n";
  WriteBytes(drive.folder + "/archives.ini", ini);
  TArchiveCatalogue catalogue(drive.folder);
  EXPECT_TRUE(catalogue.List().empty());
  for (const char* key : keys) {
    QString error;
    EXPECT_FALSE(catalogue.DeleteArchive(key, &error)) << key;
    EXPECT_FALSE(catalogue.ArchivePath(key)) << key;
  }
  EXPECT_TRUE(Exists(drive.tree.Path("victim.ZIP")));
  EXPECT_TRUE(Exists(drive.folder + "/sub/x.ZIP"));
  EXPECT_TRUE(Exists(drive.folder + "/archives.ini"));
}

// A key longer than any file name (found by the fuzzer: a catalogue written by hand or damaged)
// names no archive: the entry goes as a stale one, nothing is opened, nothing fails.
TEST(ArchiveCatalogue, AKeyLongerThanAFileNameIsAStaleEntry) {
  TArchiveDrive drive;
  drive.AddArchive("T0000001.ZIP", "kept", "one");
  const QByteArray longKey = "T01A" + QByteArray(300, '\xff') + "C4.ZIP";
  QByteArray ini = "[Descriptions]\r\nT0000001.ZIP=kept\r\n" + longKey + "=too long\r\n[FolderNames]\r\nT0000001.ZIP=one\r\n";
  WriteBytes(drive.folder + "/archives.ini", ini);
  TArchiveCatalogue catalogue(drive.folder);
  const std::vector<TArchiveRecord> rows = catalogue.List();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Key, QStringLiteral("T0000001.ZIP"));
  EXPECT_EQ(drive.Keys(QStringLiteral("Descriptions")), QStringList{QStringLiteral("T0000001.ZIP")});
  QString error;
  EXPECT_FALSE(catalogue.DeleteArchive(QString::fromUtf8(longKey), &error));
  EXPECT_TRUE(Exists(drive.folder + "/T0000001.ZIP"));
}

TEST(ArchiveCatalogue, NamesAndTheHiddenArchivesFolder) {
  TFixtureTree tree;
  TDriveScope drives({{'T', tree.Root()}});
  WriteBytes(tree.Path(".hidden"), "keep-me");  // no line end at the end
  QByteArray folder;
  QString error;
  ASSERT_TRUE(EnsureArchivesFolder('t', &folder, &error));
  EXPECT_EQ(folder, tree.Path("Archives Bin"));
  EXPECT_EQ(*ReadWholeFile(tree.Path(".hidden")), QByteArray("keep-me\nArchives Bin\n"));
  // An existing folder is kept as it is: no second line.
  ASSERT_TRUE(EnsureArchivesFolder('T', &folder, &error));
  EXPECT_EQ(*ReadWholeFile(tree.Path(".hidden")), QByteArray("keep-me\nArchives Bin\n"));

  std::set<QString> names;
  const QRegularExpression shape(QStringLiteral("^T[0-9A-F]{7,8}\\.ZIP$"));
  for (int i = 0; i < 200; ++i) {
    const QString name = NewArchiveName('t', folder);
    EXPECT_TRUE(shape.match(name).hasMatch()) << name.toStdString();
    names.insert(name);
  }
  EXPECT_GT(names.size(), 190u);

  // Something else named "Archives Bin" in the way.
  TFixtureTree other;
  TDriveScope otherDrive({{'U', other.Root()}});
  WriteBytes(other.Path("Archives Bin"), "a file");
  EXPECT_FALSE(EnsureArchivesFolder('U', &folder, &error));
  EXPECT_TRUE(error.startsWith(QStringLiteral("Could not create folder U:\\Archives Bin"))) << error.toStdString();
}

TEST(ArchiveCatalogue, OriginalLocationKeepsTheBackslashOfADriveRootOnly) {
  TFixtureTree tree;
  tree.Dir("a/b");
  TDriveScope drives({{'T', tree.Root()}});
  EXPECT_EQ(OriginalLocationOf(tree.Path("a")), QStringLiteral("T:\\"));
  EXPECT_EQ(OriginalLocationOf(tree.Path("a/b")), QStringLiteral("T:\\a"));
}

TEST(ArchiveCatalogue, KeysThatDifferInCaseAreTwoArchives) {
  TArchiveDrive drive;
  drive.AddArchive("s0000003.zip", "lower", "low");
  drive.AddArchive("S0000003.ZIP", "upper", "up");
  drive.AddArchive("T0000009.ZIP", "only", "one");
  TArchiveCatalogue catalogue(drive.folder);
  const std::vector<TArchiveRecord> rows = catalogue.List();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Key, QStringLiteral("s0000003.zip"));
  EXPECT_EQ(rows[0].FolderName, QStringLiteral("low"));
  EXPECT_EQ(rows[1].Key, QStringLiteral("S0000003.ZIP"));
  EXPECT_EQ(rows[1].Description, QStringLiteral("upper"));
  EXPECT_EQ(catalogue.Find("s0000003.zip")->FolderName, QStringLiteral("low"));
  EXPECT_EQ(catalogue.Find("S0000003.ZIP")->FolderName, QStringLiteral("up"));
  EXPECT_FALSE(catalogue.Find("S0000003.zip"));  // two keys differ from it in case alone
  EXPECT_EQ(catalogue.Find("t0000009.zip")->Key, QStringLiteral("T0000009.ZIP"));  // only one does

  QString error;
  ASSERT_TRUE(catalogue.DeleteArchive("S0000003.ZIP", &error)) << error.toStdString();
  EXPECT_TRUE(Exists(drive.folder + "/s0000003.zip"));
  const std::vector<TArchiveRecord> left = catalogue.List();
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].Key, QStringLiteral("s0000003.zip"));
  EXPECT_EQ(left[0].Description, QStringLiteral("lower"));
}

TEST(ArchiveCatalogue, ACatalogueThatCannotBeReadIsNeverRemovedAndItsArchivesAreStillListed) {
  enum TKind { Readable, Unreadable, Damaged };
  struct Case {
    const char* what;
    TKind kind;
  };
  const Case cases[] = {
      {"a FIFO", Unreadable},
      {"a folder", Unreadable},
      {"binary bytes", Damaged},
      {"UTF-16 big-endian", Damaged},
      {"text without a section", Damaged},
      {"UTF-16 little-endian", Readable},
  };
  const QByteArray entry = "[Descriptions]\r\nT0000001.ZIP=mine\r\n[FolderNames]\r\nT0000001.ZIP=photos\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TArchiveDrive drive;
    const QByteArray file = drive.folder + "/archives.ini";
    ASSERT_TRUE(WriteZip(drive.folder + "/T0000001.ZIP", {{"photos/", S_IFDIR, {}, {}}, {"photos/a.txt", S_IFREG, "a", {}}}));
    const QByteArray what = c.what;
    QByteArray bytes;
    if (what == "a FIFO") {
      ASSERT_EQ(::mkfifo(file.constData(), 0644), 0);
    }
    if (what == "a folder") {
      ASSERT_EQ(::mkdir(file.constData(), 0755), 0);
    }
    if (what == "binary bytes") bytes = QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0garbage\n", 18) + QByteArray(300, '\x90');
    if (what.startsWith("UTF-16")) {
      const bool big = what.contains("big");
      bytes = big ? "\xFE\xFF" : "\xFF\xFE";
      for (char ch : entry) bytes += big ? QByteArray(1, '\0') + ch : QByteArray(1, ch) + '\0';
    }
    if (what == "text without a section") bytes = "this is not what the program wrote\n";
    if (!bytes.isEmpty()) WriteBytes(file, bytes);

    QStringList notes;
    bool unusable = false;
    const std::vector<TArchiveRecord> rows = TArchiveCatalogue(drive.folder).List(&notes, &unusable);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Key, QStringLiteral("T0000001.ZIP"));
    EXPECT_EQ(rows[0].FolderName, QStringLiteral("photos"));
    EXPECT_TRUE(Exists(drive.folder + "/T0000001.ZIP"));
    EXPECT_EQ(unusable, c.kind != Readable);
    EXPECT_EQ(rows[0].Recovered, c.kind != Readable);
    EXPECT_EQ(notes.isEmpty(), c.kind == Readable) << notes.join('\n').toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(file.constData(), &st), 0);
    std::vector<QByteArray> aside;
    for (const auto& [path, info] : Snapshot(drive.folder))
      if (path.startsWith("/archives.ini.damaged-")) aside.push_back(path);
    if (c.kind == Unreadable) {
      EXPECT_TRUE(what == "a FIFO" ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode));
      EXPECT_TRUE(aside.empty());
      EXPECT_TRUE(notes[0].contains(QStringLiteral("cannot be read"))) << notes[0].toStdString();
      QString error;
      EXPECT_FALSE(TArchiveCatalogue(drive.folder).DeleteArchive("T0000001.ZIP", &error));
      EXPECT_TRUE(Exists(drive.folder + "/T0000001.ZIP"));
      EXPECT_THROW(TArchiveCatalogue(drive.folder).SetDescription("T0000001.ZIP", "new"), EIniFileException);
    } else if (c.kind == Damaged) {
      ASSERT_EQ(aside.size(), 1u);
      EXPECT_EQ(ReadWholeFile(drive.folder + aside[0]), bytes);
      EXPECT_TRUE(notes[0].contains(QStringLiteral("set aside"))) << notes[0].toStdString();
      // The new catalogue holds what was recovered, and the next listing reads it from there.
      EXPECT_EQ(drive.Keys("Descriptions"), QStringList{"T0000001.ZIP"});
      const std::vector<TArchiveRecord> again = TArchiveCatalogue(drive.folder).List();
      ASSERT_EQ(again.size(), 1u);
      EXPECT_FALSE(again[0].Recovered);
    } else {
      EXPECT_EQ(ReadWholeFile(file), bytes);
      EXPECT_EQ(rows[0].Description, QStringLiteral("mine"));
    }
  }
}

TEST(ArchiveCatalogue, ALargeCatalogueIsListedWithStaleEntriesRemovedPendingOnesKeptAndOrphansAdded) {
  TArchiveDrive drive;
  auto key = [](int i) { return QStringLiteral("T%1.ZIP").arg(i, 7, 16, QLatin1Char('0')).toUpper(); };
  const int count = 1500;
  QByteArray descriptions = "[Descriptions]\r\n", folders = "[FolderNames]\r\n", originals = "[OriginalPaths]\r\n";
  for (int i = 0; i < count; ++i) {
    const QByteArray k = key(i).toLatin1(), n = QByteArray::number(i);
    descriptions += k + "=d" + n + "\r\n";
    folders += k + "=f" + n + "\r\n";
    if (i % 2 == 0) originals += k + "=T:\\o" + n + "\r\n";
    if (i % 3 != 0) WriteBytes(drive.folder + '/' + k, "PK");  // every third archive is gone
  }
  // A second occurrence of a section: the first value of a key wins.
  WriteBytes(drive.folder + "/archives.ini",
             descriptions + folders + originals + "[Descriptions]\r\n" + key(1).toLatin1() + "=later\r\n");
  // The archive of entry 3 is being written: its temporary file is locked by the archive run.
  const QByteArray part = drive.folder + "/." + key(3).toLatin1() + ".part1234";
  WriteBytes(part, "");
  const int fd = ::open(part.constData(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  // Two archives the catalogue does not list.
  const QStringList orphans = {"U0000001.ZIP", "U0000002.ZIP"};
  for (const QString& orphan : orphans)
    ASSERT_TRUE(WriteZip(drive.folder + '/' + orphan.toLatin1(), {{"kept/", S_IFDIR, {}, {}}, {"kept/a", S_IFREG, "a", {}}}));

  QStringList notes;
  const std::vector<TArchiveRecord> rows = TArchiveCatalogue(drive.folder).List(&notes);
  ::close(fd);
  QStringList expected;
  for (int i = 0; i < count; ++i)
    if (i % 3 != 0) expected << key(i);
  ASSERT_EQ(rows.size(), size_t(expected.size() + orphans.size()));
  for (qsizetype r = 0; r < expected.size(); ++r) {
    const int i = expected[r].mid(1, 7).toInt(nullptr, 16);
    SCOPED_TRACE(expected[r].toStdString());
    ASSERT_EQ(rows[r].Key, expected[r]);
    EXPECT_EQ(rows[r].Description, QStringLiteral("d%1").arg(i));
    EXPECT_EQ(rows[r].FolderName, QStringLiteral("f%1").arg(i));
    EXPECT_EQ(rows[r].HasOriginalPath, i % 2 == 0);
    EXPECT_EQ(rows[r].OriginalPath, i % 2 == 0 ? QStringLiteral("T:\\o%1").arg(i) : ProgramDriveRoot());
    EXPECT_FALSE(rows[r].Recovered);
  }
  for (qsizetype o = 0; o < orphans.size(); ++o) {
    EXPECT_EQ(rows[expected.size() + o].Key, orphans[o]);
    EXPECT_EQ(rows[expected.size() + o].FolderName, QStringLiteral("kept"));
    EXPECT_TRUE(rows[expected.size() + o].Recovered);
  }
  ASSERT_EQ(notes.size(), 1);
  EXPECT_TRUE(notes[0].contains(orphans.join(QStringLiteral(", ")))) << notes[0].toStdString();

  // The catalogue now holds what is there, the entry being written and the orphans, in that order.
  QStringList kept = expected;
  kept.insert(2, key(3));  // entries 1, 2, 3 (pending), 4, ...
  EXPECT_EQ(drive.Keys("Descriptions"), kept + orphans);
  EXPECT_EQ(drive.Keys("FolderNames"), kept + orphans);
  QStringList withOriginal;
  for (const QString& k : kept)
    if (k.mid(1, 7).toInt(nullptr, 16) % 2 == 0) withOriginal << k;
  EXPECT_EQ(drive.Keys("OriginalPaths"), withOriginal);

  // Listed again, the orphans come from the catalogue; the entry whose run is over is removed.
  notes.clear();
  const std::vector<TArchiveRecord> again = TArchiveCatalogue(drive.folder).List(&notes);
  EXPECT_TRUE(notes.isEmpty()) << notes.join('\n').toStdString();
  ASSERT_EQ(again.size(), rows.size());
  EXPECT_FALSE(again.back().Recovered);
  EXPECT_EQ(again.back().Description, rows.back().Description);
  EXPECT_EQ(drive.Keys("Descriptions"), expected + orphans);
}
