#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/ArchiveFolder.h"
#include "config/AtomicFile.h"
#include "config/IniFile.h"

#include "tests/cleanup/ZipTestSupport.h"
#include "tests/support/Fixture.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <set>

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
