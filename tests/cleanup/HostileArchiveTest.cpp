// Archives made to harm whoever restores them: nothing may be written outside the target, and an
// archive with one bad member writes nothing at all.
#include "cleanup/ZipMaster.h"

#include "tests/cleanup/ZipTestSupport.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <QFile>

#include <sys/statvfs.h>

namespace {

struct THostileCase {
  const char* what;
  std::vector<TZipMember> members;
};

TZipMember File(const QByteArray& name, const QByteArray& data = "payload") {
  return {name, S_IFREG, data, {}};
}
TZipMember Link(const QByteArray& name, const QByteArray& target) { return {name, S_IFLNK, {}, target}; }
TZipMember Dir(const QByteArray& name) { return {name, S_IFDIR, {}, {}}; }

// Patches the uncompressed size every member declares, in its local header and in the central
// directory.
bool PatchUncompressedSizes(const QByteArray& path, uint32_t size) {
  QFile f(QString::fromLocal8Bit(path));
  if (!f.open(QIODevice::ReadWrite)) return false;
  QByteArray data = f.readAll();
  int patched = 0;
  const std::pair<QByteArray, int> headers[] = {{QByteArray("PK\x01\x02", 4), 24},
                                                {QByteArray("PK\x03\x04", 4), 22}};
  for (const auto& [signature, field] : headers)
    for (qsizetype at = data.indexOf(signature); at >= 0; at = data.indexOf(signature, at + 4), ++patched)
      for (int i = 0; i < 4; ++i) data[at + field + i] = char((size >> (8 * i)) & 0xff);
  f.seek(0);
  f.write(data);
  return patched > 0;
}

}  // namespace

TEST(HostileArchive, RefusedMembersStopTheWholeArchiveBeforeAnythingIsWritten) {
  const THostileCase cases[] = {
      {"parent", {File("ok.txt"), File("../evil.txt")}},
      {"deep parent", {File("ok.txt"), File("a/b/../../../evil.txt")}},
      {"absolute", {File("ok.txt"), File("/tmp/korvane-evil.txt")}},
      {"backslash parent", {File("ok.txt"), File("..\\evil.txt")}},
      {"backslash deep", {File("ok.txt"), File("a\\..\\..\\evil.txt")}},
      {"drive letter", {File("ok.txt"), File("C:\\evil.txt")}},
      {"drive relative", {File("ok.txt"), File("C:evil.txt")}},
      {"through a link out", {File("ok.txt"), Link("out", ".."), File("out/evil.txt")}},
      {"through an absolute link", {File("ok.txt"), Link("out", "/tmp"), File("out/korvane-evil.txt")}},
      {"through a link made later", {File("ok.txt"), Link("a/l", "../.."), File("a/l/evil.txt")}},
      {"duplicate file", {File("ok.txt", "first"), File("ok.txt", "second")}},
      {"duplicate spelled apart", {File("a/ok.txt", "first"), File("a//./ok.txt", "second")}},
      {"file then folder", {File("ok.txt"), File("x"), Dir("x/")}},
      {"below a file", {File("ok.txt"), File("x"), File("x/y")}},
      {"link then file", {File("ok.txt"), Link("x", "ok.txt"), File("x", "overwrite")}},
      {"below a link given later", {File("ok.txt"), Link("a/l", "/tmp"), Link("a", "/tmp")}},
      {"folder below a file given later", {File("ok.txt"), Dir("a/d/"), File("a")}},
      {"name longer than a path can be", {File("ok.txt"), File(QByteArray(4095, 'n') + "/x")}},
  };
  for (const THostileCase& c : cases) {
    TFixtureTree tree;
    tree.Dir("outside/target");
    const QByteArray zipPath = tree.Path("hostile.zip");
    ASSERT_TRUE(WriteZip(zipPath, c.members)) << c.what;
    TZipMaster zip;
    zip.SetZipFilename(zipPath);
    zip.ExtrBaseDir = tree.Path("outside/target");
    EXPECT_FALSE(zip.Extract()) << c.what;
    EXPECT_EQ(zip.ErrCode(), ZipErrUnsafe) << c.what;
    EXPECT_EQ(zip.SuccessCnt(), 0) << c.what;
    EXPECT_EQ(Snapshot(tree.Path("outside")).size(), 1u) << c.what;  // the empty target only
    EXPECT_NE(::access("/tmp/korvane-evil.txt", F_OK), 0) << c.what;
  }
}

TEST(HostileArchive, ExistingLinksInTheTargetAreNeverWrittenThrough) {
  TFixtureTree tree;
  tree.Dir("outside/target");
  tree.Dir("victim");
  tree.Symlink(tree.Path("victim"), "outside/target/dir");
  tree.Symlink(tree.Path("victim/file"), "outside/target/file");
  const QByteArray zipPath = tree.Path("h.zip");
  ASSERT_TRUE(WriteZip(zipPath, {File("dir/evil.txt"), File("file", "replaced")}));
  TZipMaster zip;
  zip.SetZipFilename(zipPath);
  zip.ExtrBaseDir = tree.Path("outside/target");
  EXPECT_FALSE(zip.Extract());
  EXPECT_TRUE(Snapshot(tree.Path("victim")).empty());
  // The link named like a member file is neither followed nor replaced.
  struct stat st {};
  ASSERT_EQ(::lstat(tree.Path("outside/target/file").constData(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(zip.ErrCode(), ZipErrExists);
  // Even when replacing is allowed, the link is replaced by the file, never written through.
  zip.ExtrReplace = true;
  EXPECT_FALSE(zip.Extract());
  EXPECT_TRUE(Snapshot(tree.Path("victim")).empty());
  ASSERT_EQ(::lstat(tree.Path("outside/target/file").constData(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST(HostileArchive, DamagedDataAndFalseSizesFailWithoutReplacingFiles) {
  struct Case {
    const char* what;
    int error;
  };
  const Case cases[] = {{"flipped byte", ZipErrCorrupt},
                        {"more data than declared", ZipErrCorrupt},
                        {"declared larger than the disk", ZipErrSpace}};
  for (const Case& c : cases) {
    TFixtureTree tree;
    tree.Dir("target");
    WriteBytes(tree.Path("target/a.txt"), "the user's own file");
    const QByteArray zipPath = tree.Path("bad.zip");
    QByteArray data;
    for (int i = 0; i < 20000; ++i) data += QByteArray::number(i * 7919 % 10007) + ',';
    if (QByteArray(c.what) == "more data than declared") data = QByteArray(8 << 20, '\0');
    const bool tooBig = QByteArray(c.what) == "declared larger than the disk";
    std::vector<TZipMember> members{File("a.txt", data)};
    // Forty members that each claim almost 4 GiB claim more than this disk has free.
    for (int i = 0; tooBig && i < 40; ++i) members.push_back(File("m" + QByteArray::number(i), "x"));
    ASSERT_TRUE(WriteZip(zipPath, members));
    if (QByteArray(c.what) == "flipped byte") {
      QFile f(QString::fromLocal8Bit(zipPath));
      ASSERT_TRUE(f.open(QIODevice::ReadWrite));
      f.seek(200);
      char b = 0;
      f.getChar(&b);
      f.seek(200);
      f.putChar(char(b ^ 0x55));
    } else {
      ASSERT_TRUE(PatchUncompressedSizes(zipPath, tooBig ? 0xfffffff0u : 1000u));
    }
    TZipMaster zip;
    zip.SetZipFilename(zipPath);
    zip.ExtrBaseDir = tree.Path("target");
    zip.ExtrReplace = true;  // the member would replace the file, but its data is bad
    if (tooBig) {
      struct statvfs vfs {};
      ASSERT_EQ(::statvfs(tree.Root().constData(), &vfs), 0);
      if (uint64_t(vfs.f_bavail) * vfs.f_frsize > 41 * uint64_t(0xfffffff0u))
        GTEST_SKIP() << "more than 160 GiB free";
    }
    EXPECT_FALSE(zip.Extract()) << c.what;
    EXPECT_EQ(zip.ErrCode(), c.error) << c.what;
    const TSnapshot after = Snapshot(tree.Path("target"));
    EXPECT_EQ(after.size(), 1u) << c.what;  // no temporary file left
    EXPECT_EQ(after.at("/a.txt").Size, 19) << c.what;
  }
}

TEST(HostileArchive, DeepMemberNamesAreCheckedUpToTheLongestPathAndRefusedBeyond) {
  // "d/d/.../d/fx": 2047 folder levels, 4096 bytes; one byte more is refused with its reason.
  QByteArray deep;
  while (deep.size() < 4094) deep += "d/";
  const QByteArray longest = deep + "fx";
  ASSERT_EQ(longest.size(), TZipMaster::MaxMemberNameBytes);
  for (const QByteArray& name : {longest, longest + "y"}) {
    const bool refused = name.size() > TZipMaster::MaxMemberNameBytes;
    SCOPED_TRACE(refused ? "too long" : "longest");
    TFixtureTree tree;
    tree.Dir("target");
    const QByteArray zipPath = tree.Path("deep.zip");
    ASSERT_TRUE(WriteZip(zipPath, {File(name, "deep"), File("top.txt", "top")}));
    TZipMaster zip;
    zip.SetZipFilename(zipPath);
    zip.ExtrBaseDir = tree.Path("target");
    EXPECT_EQ(zip.Extract(), !refused);
    if (refused) {
      EXPECT_EQ(zip.ErrCode(), ZipErrUnsafe);
      ASSERT_FALSE(zip.Errors().isEmpty());
      EXPECT_TRUE(zip.Errors().join('\n').contains(QStringLiteral("longer than 4096 bytes")))
          << zip.Errors().join('\n').toStdString();
      EXPECT_TRUE(Snapshot(tree.Path("target")).empty());
      continue;
    }
    EXPECT_EQ(zip.SuccessCnt(), 2);
    // Too deep for a path: read it back folder by folder.
    int fd = ::open(tree.Path("target").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < 2047 && fd >= 0; ++level) {
      const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      ::close(fd);
      fd = next;
    }
    ASSERT_GE(fd, 0);
    char data[8] = {};
    const int file = ::openat(fd, "fx", O_RDONLY | O_CLOEXEC);
    ::close(fd);
    ASSERT_GE(file, 0);
    EXPECT_EQ(::read(file, data, sizeof data), 4);
    ::close(file);
    EXPECT_EQ(QByteArray(data), QByteArray("deep"));
  }
}
