#include "cleanup/Trash.h"

#include "tests/cleanup/CleanupFixture.h"
#include "tests/support/Fixture.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/mount.h>

namespace {

// Sets environment variables for one test and restores them after.
class TEnvScope {
public:
  void Set(const char* name, const QByteArray& value) {
    saved_.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
    qputenv(name, value);
  }
  void Unset(const char* name) {
    saved_.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
    qunsetenv(name);
  }
  ~TEnvScope() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
      it->wasSet ? (void)qputenv(it->name, it->value) : (void)qunsetenv(it->name);
  }

private:
  struct TSaved {
    const char* name;
    QByteArray value;
    bool wasSet;
  };
  std::vector<TSaved> saved_;
};

// The keys of a .trashinfo file; empty when its first line is not the group header.
std::map<QByteArray, QByteArray> ReadInfo(const QByteArray& path) {
  const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char buffer[8192];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  const QList<QByteArray> lines = QByteArray(buffer, n > 0 ? n : 0).split('\n');
  std::map<QByteArray, QByteArray> keys;
  if (lines.isEmpty() || lines[0] != "[Trash Info]") return keys;
  for (const QByteArray& line : lines.mid(1)) {
    const qsizetype eq = line.indexOf('=');
    if (eq > 0) keys[line.left(eq)] = line.mid(eq + 1);
  }
  return keys;
}

TEST(Trash, PathIsPercentEncodedSoThatEveryByteSurvives) {
  struct Case {
    QByteArray path, encoded;
  };
  const Case cases[] = {
      {"/home/me/plain.txt", "/home/me/plain.txt"},
      {"/a/new\nline", "/a/new%0Aline"},
      {"/a/with space", "/a/with%20space"},
      {"/a/100%", "/a/100%25"},
      {"/a/bad\xff", "/a/bad%FF"},
      {"/a/back\\slash", "/a/back%5Cslash"},
      {"/a/\xc3\xa9t\xc3\xa9", "/a/%C3%A9t%C3%A9"},
      {"rel/dir/x", "rel/dir/x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrashPathEncode(c.path), c.encoded);
    EXPECT_EQ(QByteArray::fromPercentEncoding(TrashPathEncode(c.path)), c.path);
  }
}

TEST(Trash, HomeTrashIsMadeWhenMissingAndHoldsEachItemWithItsInfo) {
  TFixtureTree fx;
  TEnvScope env;
  fx.Dir("work");
  // The working folder is where a trash without a home used to be written.
  struct TCwdScope {
    char saved[4096] = {};
    TCwdScope() { (void)!::getcwd(saved, sizeof saved); }
    ~TCwdScope() { (void)!::chdir(saved); }
  } cwd;
  ASSERT_EQ(::chdir(fx.Path("work").constData()), 0);
  const QByteArray names[] = {"plain", "new\nline", "bad\xff\xfe" "name", "back\\slash", "100%", "two words"};
  std::vector<QByteArray> paths;
  for (const QByteArray& name : names) {
    WriteFile(fx.Path("items/") + name, name);
    paths.push_back(fx.Path("items/") + name);
  }
  fx.Dir("items/folder/inner");
  WriteFile(fx.Path("items/folder/inner/f"), "x");
  paths.push_back(fx.Path("items/folder"));

  for (const bool xdg : {true, false}) {
    SCOPED_TRACE(xdg ? "XDG_DATA_HOME" : "HOME");
    QByteArray trash;
    if (xdg) {
      env.Set("XDG_DATA_HOME", fx.Path("data/share"));  // does not exist yet
      trash = fx.Path("data/share/Trash");
    } else {
      env.Unset("XDG_DATA_HOME");
      env.Set("HOME", fx.Path("home"));
      trash = fx.Path("home/.local/share/Trash");
    }
    EXPECT_EQ(HomeTrashFolder(), trash);
    if (!xdg)
      for (const QByteArray& p : paths) {
        if (p.endsWith("folder")) {
          fx.Dir("items/folder/inner");
          WriteFile(fx.Path("items/folder/inner/f"), "x");
        } else {
          WriteFile(p, p.mid(p.lastIndexOf('/') + 1));
        }
      }
    TOpContext context;
    const TOpResult result = TrashEntries(paths, context);
    EXPECT_EQ(result.status, TOpStatus::Done) << (result.failures.empty() ? "" : qPrintable(result.failures[0].reason));
    for (const QByteArray& p : paths) {
      const QByteArray name = p.mid(p.lastIndexOf('/') + 1);
      EXPECT_FALSE(Exists(p)) << p.constData();
      EXPECT_TRUE(Exists(trash + "/files/" + name)) << name.constData();
      const auto info = ReadInfo(trash + "/info/" + name + ".trashinfo");
      ASSERT_TRUE(info.count("Path")) << name.constData();
      EXPECT_EQ(QByteArray::fromPercentEncoding(info.at("Path")), p);
      EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"))
                      .match(QString::fromLatin1(info.at("DeletionDate")))
                      .hasMatch());
    }
    EXPECT_TRUE(Exists(trash + "/files/folder/inner/f"));
    struct stat st {};
    ASSERT_EQ(::stat(trash.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  EXPECT_FALSE(Exists(fx.Path("work/files")));
  EXPECT_FALSE(Exists(fx.Path("work/info")));
}

TEST(Trash, TheSameNameTwiceGetsTwoEntries) {
  TFixtureTree fx;
  TEnvScope env;
  env.Set("XDG_DATA_HOME", fx.Path("share"));
  WriteFile(fx.Path("one/dup"), "first");
  WriteFile(fx.Path("two/dup"), "second");
  TOpContext context;
  EXPECT_EQ(TrashEntries({fx.Path("one/dup"), fx.Path("two/dup")}, context).status, TOpStatus::Done);
  EXPECT_EQ(QByteArray::fromPercentEncoding(ReadInfo(fx.Path("share/Trash/info/dup.trashinfo"))["Path"]),
            fx.Path("one/dup"));
  EXPECT_EQ(QByteArray::fromPercentEncoding(ReadInfo(fx.Path("share/Trash/info/dup.2.trashinfo"))["Path"]),
            fx.Path("two/dup"));
  EXPECT_EQ(FileHash(fx.Path("share/Trash/files/dup.2")), QCryptographicHash::hash("second", QCryptographicHash::Sha1).toHex());
}

TEST(Trash, LinksGoAsLinksAndItemsElsewhereToTheirFileSystemsTrash) {
  TTmpfsMount tmpfs;
  KORVANE_NEED_TMPFS(tmpfs);
  TFixtureTree fx;
  TEnvScope env;
  env.Set("XDG_DATA_HOME", fx.Path("share"));
  const QByteArray other = tmpfs.Path();
  ASSERT_EQ(::mkdir((other + "/folder").constData(), 0755), 0);
  WriteFile(other + "/folder/keep", "on the other file system");
  fx.Dir("items");
  fx.Symlink(other + "/folder", "items/to-other");
  fx.Symlink(fx.Path("nowhere"), "items/dangling");

  TOpContext context;
  TOpResult result = TrashEntries({fx.Path("items/to-other"), fx.Path("items/dangling")}, context);
  EXPECT_EQ(result.status, TOpStatus::Done) << (result.failures.empty() ? "" : qPrintable(result.failures[0].reason));
  for (const char* name : {"to-other", "dangling"}) {
    struct stat st {};
    ASSERT_EQ(::lstat(fx.Path(QByteArray("share/Trash/files/") + name).constData(), &st), 0) << name;
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << name;
  }
  EXPECT_TRUE(Exists(other + "/folder/keep"));
  EXPECT_FALSE(Exists(other + "/.Trash-" + QByteArray::number(::getuid()))) << "a trash was made where the link points";

  // An item on the other file system goes to the trash at its top, with a relative Path=.
  const QByteArray own = other + "/.Trash-" + QByteArray::number(::getuid());
  result = TrashEntries({other + "/folder"}, context);
  EXPECT_EQ(result.status, TOpStatus::Done) << (result.failures.empty() ? "" : qPrintable(result.failures[0].reason));
  EXPECT_TRUE(Exists(own + "/files/folder/keep"));
  EXPECT_EQ(ReadInfo(own + "/info/folder.trashinfo")["Path"], "folder");
  struct stat st {};
  ASSERT_EQ(::lstat(own.constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // An administrator's sticky .Trash is preferred.
  ASSERT_EQ(::mkdir((other + "/.Trash").constData(), 01777), 0);
  ASSERT_EQ(::chmod((other + "/.Trash").constData(), 01777), 0);
  WriteFile(other + "/second", "x");
  EXPECT_EQ(TrashEntries({other + "/second"}, context).status, TOpStatus::Done);
  EXPECT_TRUE(Exists(other + "/.Trash/" + QByteArray::number(::getuid()) + "/files/second"));
}

TEST(Trash, AFolderWithAMountInsideIsRefusedAndNothingIsLeftInTheTrash) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  TFixtureTree fx;
  TEnvScope env;
  env.Set("XDG_DATA_HOME", fx.Path("share"));
  fx.Dir("folder/sub/mnt");
  fx.Dir("bound");
  WriteFile(fx.Path("folder/f"), "x");
  fx.Dir("outside");
  WriteFile(fx.Path("outside/precious"), "x");
  ASSERT_EQ(::mount("none", fx.Path("folder/sub/mnt").constData(), "tmpfs", 0, nullptr), 0);
  ASSERT_EQ(::mount(fx.Path("outside").constData(), fx.Path("bound").constData(), nullptr, MS_BIND, nullptr), 0);
  TOpContext context;
  const TOpResult result = TrashEntries({fx.Path("folder"), fx.Path("bound"), fx.Path("folder/sub/mnt")}, context);
  EXPECT_EQ(result.status, TOpStatus::Failed);
  EXPECT_EQ(result.failures.size(), 3u);
  for (const TOpFailure& f : result.failures) EXPECT_TRUE(f.reason.contains(QStringLiteral("mounted"))) << qPrintable(f.reason);
  EXPECT_TRUE(Exists(fx.Path("folder/f")));
  EXPECT_TRUE(Exists(fx.Path("outside/precious")));
  EXPECT_TRUE(Snapshot(fx.Path("share")).size() <= 3u) << "only the empty trash folders may be there";
  for (const auto& [rel, e] : Snapshot(fx.Path("share"))) EXPECT_TRUE(S_ISDIR(e.mode)) << rel.constData();
  ::umount2(fx.Path("folder/sub/mnt").constData(), MNT_DETACH);
  ::umount2(fx.Path("bound").constData(), MNT_DETACH);
}

}  // namespace
