#include "cleanup/ZipMaster.h"

#include "tests/cleanup/ZipTestSupport.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// A small folder with the kinds of entries that trip archivers up.
void MakeTrickyFolder(TFixtureTree& tree, const QByteArray& top) {
  tree.Dir(top);
  tree.Dir(top + "/empty");
  tree.Dir(top + "/sub/deeper");
  WriteBytes(tree.Path(top + "/plain.txt"), "hello, archive\n");
  WriteBytes(tree.Path(top + "/.dotfile"), "hidden by its dot\n");
  WriteBytes(tree.Path(top + "/listed.txt"), "hidden by the list\n");
  WriteBytes(tree.Path(top + "/.hidden"), "listed.txt\n");
  WriteBytes(tree.Path(top + "/run.sh"), "#!/bin/sh\necho hi\n", 0755);
  WriteBytes(tree.Path(top + "/caf\xe9.txt"), "latin-1 name\n");
  WriteBytes(tree.Path(top + "/gr\xc3\xbc\xc3\x9f" "e.txt"), "utf-8 name\n");
  WriteBytes(tree.Path(top + "/sub/deeper/data.bin"), QByteArray(100000, 'x') + QByteArray(5000, '\0'));
  tree.Symlink("plain.txt", top + "/link");
  tree.Symlink("/nowhere/at/all", top + "/dangling");
  tree.SetTimes(top + "/plain.txt", 1600000000, 1500000000);
}

void AddFolder(TZipMaster& zip, const TFixtureTree& tree, const QByteArray& top,
               const QByteArray& zipPath,
               TZipAddOptions options = AddDirNames | AddRecurseDirs | AddHiddenFiles) {
  zip.SetZipFilename(zipPath);
  zip.AddOptions = options;
  zip.AddCompLevel = 6;
  zip.RootDir = tree.Root();
  zip.FSpecArgs = {QString::fromUtf8(top) + QStringLiteral("/*.*")};
}

std::set<QByteArray> MemberNames(const TZipMaster& zip) {
  std::set<QByteArray> names;
  for (const TZipContentEntry& e : zip.Contents()) names.insert(e.Name);
  return names;
}

}  // namespace

TEST(ZipMaster, AddThenExtractGivesTheSameTreeAndTheListComesFromTheArchive) {
  TFixtureTree tree;
  MakeTrickyFolder(tree, "src");
  const TSnapshot before = Snapshot(tree.Path("src"));
  const QByteArray zipPath = tree.Path("out.zip");
  TZipMaster zip;
  AddFolder(zip, tree, "src", zipPath);
  int newFiles = 0;
  zip.OnProgress = [&](TZipProgrType type, const QString&, int64_t) { newFiles += type == TZipProgrType::NewFile; };
  ASSERT_TRUE(zip.Add()) << zip.Errors().join('\n').toStdString();
  EXPECT_EQ(zip.ErrCode(), ZipOk);
  EXPECT_EQ(zip.SuccessCnt(), int(zip.Contents().size()));
  EXPECT_EQ(newFiles, zip.SuccessCnt());
  EXPECT_TRUE(MemberNames(zip).count("src/sub/deeper/data.bin"));
  EXPECT_TRUE(MemberNames(zip).count("src/empty/"));
  EXPECT_EQ(Snapshot(tree.Path("src")), before);  // without AddMove nothing is touched

  TZipMaster reader;
  reader.SetZipFilename(zipPath);
  EXPECT_EQ(MemberNames(reader), MemberNames(zip));
  EXPECT_EQ(reader.ContentsSize(), zip.ContentsSize());
  reader.ExtrBaseDir = tree.Path("restored");
  ASSERT_TRUE(reader.Extract()) << reader.Errors().join('\n').toStdString();
  EXPECT_EQ(reader.SuccessCnt(), int(reader.Contents().size()));
  EXPECT_EQ(Snapshot(tree.Path("restored/src")), before);
}

TEST(ZipMaster, OptionsChooseWhatIsAdded) {
  struct Case {
    TZipAddOptions options;
    std::set<QByteArray> present, absent;
  };
  const Case cases[] = {
      {AddDirNames | AddRecurseDirs | AddHiddenFiles,
       {"src/.dotfile", "src/listed.txt", "src/sub/deeper/data.bin"}, {}},
      {AddDirNames | AddRecurseDirs,
       {"src/plain.txt", "src/sub/deeper/data.bin"}, {"src/.dotfile", "src/listed.txt", "src/.hidden"}},
      {AddDirNames | AddHiddenFiles,
       {"src/plain.txt", "src/.dotfile"}, {"src/sub/", "src/sub/deeper/data.bin", "src/empty/"}},
      {AddRecurseDirs, {"plain.txt", "data.bin"}, {"src/plain.txt", "src/empty/"}},
  };
  for (const Case& c : cases) {
    TFixtureTree tree;
    MakeTrickyFolder(tree, "src");
    TZipMaster zip;
  AddFolder(zip, tree, "src", tree.Path("o.zip"), c.options);
    ASSERT_TRUE(zip.Add()) << c.options;
    const std::set<QByteArray> names = MemberNames(zip);
    for (const QByteArray& n : c.present) EXPECT_TRUE(names.count(n)) << c.options << " " << n.constData();
    for (const QByteArray& n : c.absent) EXPECT_FALSE(names.count(n)) << c.options << " " << n.constData();
  }
}

TEST(ZipMaster, OtherProgramsReadWhatWeWrite) {
  if (!HaveProgram("unzip") || !HaveProgram("zipinfo") || !HaveProgram("python3"))
    GTEST_SKIP() << "unzip, zipinfo or python3 missing (scripts/install-deps.sh installs them)";
  TFixtureTree tree;
  MakeTrickyFolder(tree, "src");
  for (int level : {0, 6}) {
    const QByteArray zipPath = tree.Path("level" + QByteArray::number(level) + ".zip");
    TZipMaster zip;
  AddFolder(zip, tree, "src", zipPath);
    zip.AddCompLevel = level;
    ASSERT_TRUE(zip.Add());
    QByteArray out;
    EXPECT_EQ(RunProgram("unzip", {"-t", QString::fromLocal8Bit(zipPath)}, &out), 0) << out.constData();
    EXPECT_EQ(RunProgram("zipinfo", {QString::fromLocal8Bit(zipPath)}, &out), 0) << out.constData();
    EXPECT_TRUE(out.contains("src/sub/deeper/data.bin")) << out.constData();
    // Python checks every CRC, the UTF-8 flag (only on the valid UTF-8 name), the stored link and
    // the compression method.
    const QString script = QStringLiteral(
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "names = {i.orig_filename.encode('utf-8', 'surrogateescape') if i.flag_bits & 0x800 else i.orig_filename.encode('cp437'): i for i in z.infolist()}\n"
        "utf = names['src/gr\\u00fc\\u00dfe.txt'.encode()]\n"
        "assert utf.flag_bits & 0x800, 'utf-8 flag missing'\n"
        "latin = names[b'src/caf\\xe9.txt']\n"
        "assert not latin.flag_bits & 0x800, 'utf-8 flag on a non-utf-8 name'\n"
        "link = names[b'src/link']\n"
        "assert (link.external_attr >> 16) & 0o170000 == 0o120000 and z.read(link) == b'plain.txt'\n"
        "assert (names[b'src/run.sh'].external_attr >> 16) & 0o777 == 0o755\n"
        "want = %1\n"
        "assert all(i.compress_type == want for i in z.infolist() if i.file_size > 100), [i.compress_type for i in z.infolist()]\n")
        .arg(level == 0 ? 0 : 8);
    EXPECT_EQ(RunProgram("python3", {"-c", script, QString::fromLocal8Bit(zipPath)}, &out), 0) << out.constData();
  }
}

TEST(ZipMaster, EncryptedArchivesUseAesAndNeedTheRightPassword) {
  TFixtureTree tree;
  MakeTrickyFolder(tree, "src");
  const QByteArray zipPath = tree.Path("secret.zip");
  TZipMaster zip;
  AddFolder(zip, tree, "src", zipPath);
  zip.AddOptions |= AddEncrypt;
  zip.OnPassword = [](TZipPasswordPurpose purpose) -> std::optional<QByteArray> {
    EXPECT_EQ(purpose, TZipPasswordPurpose::Encrypt);
    return QByteArray("s3cret pass");
  };
  ASSERT_TRUE(zip.Add()) << zip.Errors().join('\n').toStdString();
  QByteArray out;
  if (HaveProgram("7z")) {
    EXPECT_EQ(RunProgram("7z", {"t", "-ps3cret pass", QString::fromLocal8Bit(zipPath)}, &out), 0) << out.constData();
    EXPECT_EQ(RunProgram("7z", {"l", "-slt", "-ps3cret pass", QString::fromLocal8Bit(zipPath)}, &out), 0);
    EXPECT_TRUE(out.contains("Method = AES-256")) << out.constData();
    EXPECT_NE(RunProgram("7z", {"t", "-pwrong", QString::fromLocal8Bit(zipPath)}, &out), 0);
  }
  // Extraction asks; a wrong answer is asked again, no answer stops before anything is written.
  struct Case {
    std::vector<QByteArray> answers;
    bool succeeds;
  };
  const Case cases[] = {{{"s3cret pass"}, true}, {{"wrong", "s3cret pass"}, true},
                        {{"wrong", "wrong", "wrong"}, false}, {{}, false}};
  int n = 0;
  for (const Case& c : cases) {
    TZipMaster reader;
    reader.SetZipFilename(zipPath);
    const QByteArray target = tree.Path("out" + QByteArray::number(n++));
    reader.ExtrBaseDir = target;
    size_t asked = 0;
    reader.OnPassword = [&](TZipPasswordPurpose) -> std::optional<QByteArray> {
      if (asked >= c.answers.size()) return std::nullopt;
      return c.answers[asked++];
    };
    EXPECT_EQ(reader.Extract(), c.succeeds) << n;
    if (c.succeeds) {
      EXPECT_EQ(Snapshot(target + "/src"), Snapshot(tree.Path("src")));
    } else {
      EXPECT_EQ(reader.ErrCode(), ZipErrPassword);
      EXPECT_TRUE(Snapshot(target).empty()) << n;
    }
  }
  // No password given when writing: no archive.
  TZipMaster none;
  AddFolder(none, tree, "src", tree.Path("none.zip"));
  none.AddOptions |= AddEncrypt;
  EXPECT_FALSE(none.Add());
  EXPECT_NE(::access(tree.Path("none.zip").constData(), F_OK), 0);
}

TEST(ZipMaster, ArchivesMadeByZipAreRestored) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "zip missing (scripts/install-deps.sh installs it)";
  TFixtureTree tree;
  MakeTrickyFolder(tree, "src");
  QProcess zipper;
  zipper.setWorkingDirectory(QString::fromLocal8Bit(tree.Root()));
  zipper.start("zip", {"-r", "-y", "-q", "made-by-zip.zip", "src"});
  ASSERT_TRUE(zipper.waitForFinished(60000));
  ASSERT_EQ(zipper.exitCode(), 0);
  TZipMaster reader;
  reader.SetZipFilename(tree.Path("made-by-zip.zip"));
  reader.ExtrBaseDir = tree.Path("restored");
  ASSERT_TRUE(reader.Extract()) << reader.Errors().join('\n').toStdString();
  TSnapshot want = Snapshot(tree.Path("src"));
  TSnapshot got = Snapshot(tree.Path("restored/src"));
  // zip keeps no times for links we can set alike on every system; compare the rest.
  want.erase("/link"); got.erase("/link");
  want.erase("/dangling"); got.erase("/dangling");
  EXPECT_EQ(got, want);
  struct stat st {};
  ASSERT_EQ(::lstat(tree.Path("restored/src/link").constData(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(ZipMaster, StopLeavesNoArchiveAndTouchesNoSource) {
  TFixtureTree tree;
  tree.Dir("src");
  for (int i = 0; i < 20; ++i)
    WriteBytes(tree.Path("src/f" + QByteArray::number(i)), QByteArray(200000, char('a' + i)));
  const TSnapshot before = Snapshot(tree.Path("src"));
  TZipMaster zip;
  AddFolder(zip, tree, "src", tree.Path("stopped.zip"), AddDirNames | AddRecurseDirs | AddMove);
  int files = 0;
  zip.OnProgress = [&](TZipProgrType type, const QString&, int64_t) {
    if (type == TZipProgrType::NewFile && ++files == 10) zip.Cancel();
  };
  EXPECT_FALSE(zip.Add());
  EXPECT_EQ(zip.ErrCode(), ZipErrCancelled);
  EXPECT_EQ(Snapshot(tree.Path("src")), before);
  TSnapshot rootAfter = Snapshot(tree.Root());
  for (const auto& [path, info] : rootAfter) EXPECT_TRUE(path.startsWith("/src")) << path.constData();
}

TEST(ZipMaster, BusyCallsComeWhileListingAndReadingBackAndAStopThereLeavesNoArchive) {
  TFixtureTree tree;
  tree.Dir("src/sub");
  for (int i = 0; i < 6; ++i)
    WriteBytes(tree.Path("src/sub/f" + QByteArray::number(i)), QByteArray(300000, char('a' + i)));
  const TSnapshot before = Snapshot(tree.Path("src"));
  TZipMaster zip;
  AddFolder(zip, tree, "src", tree.Path("stopped.zip"), AddDirNames | AddRecurseDirs | AddMove);
  int files = 0;
  int64_t members = -1;
  int busyBeforeWriting = 0;
  int busyAfterWriting = 0;
  zip.OnProgress = [&](TZipProgrType type, const QString&, int64_t size) {
    files += type == TZipProgrType::NewFile;
    if (type == TZipProgrType::TotalFiles2Process) members = size;
  };
  zip.OnBusy = [&] {
    if (members < 0) ++busyBeforeWriting;
    // Every member is written: the archive is being read back.
    if (files == members && ++busyAfterWriting == 1) zip.Cancel();
  };
  EXPECT_FALSE(zip.Add());
  EXPECT_GE(busyBeforeWriting, 2) << "listing the folders never let the caller in";
  EXPECT_EQ(busyAfterWriting, 1);
  EXPECT_EQ(zip.ErrCode(), ZipErrCancelled);
  EXPECT_EQ(Snapshot(tree.Path("src")), before);
  for (const auto& [path, info] : Snapshot(tree.Root())) EXPECT_TRUE(path.startsWith("/src")) << path.constData();
}

TEST(ZipMaster, MoveKeepsFilesThatChangedAfterTheyWereAdded) {
  TFixtureTree tree;
  tree.Dir("src/sub");
  WriteBytes(tree.Path("src/a.txt"), "a");
  WriteBytes(tree.Path("src/sub/b.txt"), "b");
  WriteBytes(tree.Path("src/sub/c.txt"), "c");
  TZipMaster zip;
  AddFolder(zip, tree, "src", tree.Path("m.zip"), AddDirNames | AddRecurseDirs);
  ASSERT_TRUE(zip.Add());
  WriteBytes(tree.Path("src/sub/b.txt"), "b changed");
  EXPECT_FALSE(zip.DeleteAddedSources());
  ASSERT_EQ(zip.KeptSources().size(), 1);
  EXPECT_EQ(zip.KeptSources()[0], tree.Path("src/sub/b.txt"));
  const TSnapshot left = Snapshot(tree.Path("src"));
  EXPECT_EQ(left.size(), 2u);  // the folder "sub" with the changed file
  EXPECT_TRUE(left.count("/sub/b.txt"));
}

TEST(ZipMaster, SourceChangingWhileItIsAddedFailsTheArchive) {
  TFixtureTree tree;
  tree.Dir("src");
  WriteBytes(tree.Path("src/a.txt"), QByteArray(1000, 'a'));
  WriteBytes(tree.Path("src/b.txt"), QByteArray(1000, 'b'));
  TZipMaster zip;
  AddFolder(zip, tree, "src", tree.Path("c.zip"), AddDirNames | AddRecurseDirs | AddMove);
  zip.OnProgress = [&](TZipProgrType type, const QString& name, int64_t) {
    if (type == TZipProgrType::NewFile && name.endsWith(QLatin1String("b.txt")))
      WriteBytes(tree.Path("src/b.txt"), QByteArray(3000, 'B'));
  };
  EXPECT_FALSE(zip.Add());
  EXPECT_EQ(zip.ErrCode(), ZipErrRead);
  EXPECT_EQ(::access(tree.Path("c.zip").constData(), F_OK), -1);
  EXPECT_EQ(Snapshot(tree.Path("src")).size(), 2u);
}

TEST(ZipMaster, MemberPathsThatLeaveTheTargetAreRecognised) {
  struct Case {
    const char* name;
    bool safe;
  };
  const Case cases[] = {
      {"a/b.txt", true},       {"./a", true},           {"a//b", true},         {"..a/b..", true},
      {"../a", false},         {"a/../../b", false},    {"/etc/passwd", false}, {"\\etc\\x", false},
      {"C:\\x", false},        {"c:x", false},          {"a\\..\\..\\b", false}, {"..", false},
      {"a/..", false},         {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(TZipMaster::IsSafeMemberPath(c.name), c.safe) << c.name;
}
