#include "platform/DriveTable.h"
#include "platform/HostNames.h"
#include "platform/MountTable.h"
#include "tests/support/Fixture.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string Str(const QByteArray& bytes) { return bytes.toStdString(); }

// Mount points in mountinfo spell blanks, tabs, newlines and backslashes as \ooo.
QByteArray EscapeMountField(const QByteArray& path) {
  QByteArray out;
  for (char c : path) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\\')
      out += '\\' + QByteArray::number(static_cast<unsigned char>(c), 8).rightJustified(3, '0');
    else
      out += c;
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Mount table

TEST(MountTable, ParsesFieldsUnescapesMountPointsAndSkipsMalformedLines) {
  const QByteArray text =
      "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
      "28 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw,discard\n"
      "\n"
      "40 28 8:17 /sub/dir /mnt/with\\040blank rw,nosuid shared:5 master:2 - ext4 /dev/sdb1 rw\n"
      "this is not a mount line\n"
      "41 28 8:18 / /no/source rw - ext4\n"
      "42 x 8:18 / /bad/parent rw - ext4 /dev/sdb2 rw\n"
      "43 28 818 / /bad/device rw - ext4 /dev/sdb2 rw\n"
      "44 28 0:50 / /mnt/odd\\134name\\011tab\\012nl\\040 rw - cifs //srv/a\\040share rw\n"
      "45 28 0:51 / /mnt/notescape\\9x rw - nfs srv:/e rw";  // no final line end
  const std::vector<TMountEntry> table = ParseMountInfo(text);
  ASSERT_EQ(table.size(), 5u);

  EXPECT_EQ(table[0].MountPoint, "/proc");
  EXPECT_EQ(table[0].FsType, "proc");

  EXPECT_EQ(table[1].MountId, 28);
  EXPECT_EQ(table[1].ParentId, 1);
  EXPECT_EQ(table[1].Major, 254u);
  EXPECT_EQ(table[1].Minor, 0u);
  EXPECT_EQ(table[1].MountPoint, "/");
  EXPECT_EQ(table[1].FsType, "ext4");
  EXPECT_EQ(table[1].Source, "/dev/vda");

  const TMountEntry& blank = table[2];
  EXPECT_EQ(blank.MountId, 40);
  EXPECT_EQ(blank.Major, 8u);
  EXPECT_EQ(blank.Minor, 17u);
  EXPECT_EQ(blank.Root, "/sub/dir");
  EXPECT_EQ(blank.MountPoint, "/mnt/with blank");
  EXPECT_EQ(blank.Options, "rw,nosuid");
  EXPECT_EQ(blank.FsType, "ext4");  // the optional fields before "-" are not taken for it
  EXPECT_EQ(blank.Source, "/dev/sdb1");

  EXPECT_EQ(table[3].MountPoint, QByteArray("/mnt/odd\\name\ttab\nnl "));
  EXPECT_EQ(table[3].Source, "//srv/a share");
  EXPECT_EQ(table[4].MountPoint, "/mnt/notescape\\9x");
}

TEST(MountTable, TheHostTableHoldsTheRoot) {
  const std::vector<TMountEntry> table = ReadMountTable();
  ASSERT_FALSE(table.empty());
  const TMountEntry* root = MountContaining(table, "/");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->MountPoint, "/");
}

TEST(MountTable, MountContainingTakesTheLongestMountPointAndTheLaterOfEqualOnes) {
  auto entry = [](int id, const char* mountPoint) {
    TMountEntry e;
    e.MountId = id;
    e.MountPoint = mountPoint;
    return e;
  };
  // Deeper mounts listed before shallower ones on purpose: the order must not decide.
  const std::vector<TMountEntry> table = {entry(1, "/"),     entry(2, "/tmp/x"), entry(3, "/tmp"),
                                          entry(4, "/home"), entry(5, "/home"),  entry(6, "/a b")};
  const struct {
    const char* Path;
    int Id;
  } cases[] = {
      {"/", 1},      {"/usr/bin", 1}, {"/tmp", 3},   {"/tmp/x", 2},    {"/tmp/x/y/z", 2},
      {"/tmp/xy", 3}, {"/tmpx", 1},   {"/home", 5},  {"/home/u/f", 5}, {"/a b/c", 6},
  };
  for (const auto& c : cases) {
    const TMountEntry* m = MountContaining(table, c.Path);
    ASSERT_NE(m, nullptr) << c.Path;
    EXPECT_EQ(m->MountId, c.Id) << c.Path;
  }
  EXPECT_EQ(MountContaining({}, "/tmp"), nullptr);
  EXPECT_EQ(MountContaining({entry(7, "/data")}, "/database"), nullptr);
}

TEST(MountTable, UserDataMeansBlockDevicesOtherThanLoopOrNetworkShares) {
  auto entry = [](const char* type, const char* source) {
    TMountEntry e;
    e.FsType = type;
    e.Source = source;
    return e;
  };
  EXPECT_TRUE(HoldsUserData(entry("ext4", "/dev/sda1")));
  EXPECT_TRUE(HoldsUserData(entry("fuseblk", "/dev/sdb1")));
  EXPECT_TRUE(HoldsUserData(entry("nfs4", "srv:/export")));
  EXPECT_TRUE(HoldsUserData(entry("cifs", "//srv/share")));
  EXPECT_TRUE(HoldsUserData(entry("fuse.sshfs", "me@host:")));
  EXPECT_FALSE(HoldsUserData(entry("squashfs", "/dev/loop3")));
  EXPECT_FALSE(HoldsUserData(entry("ext4", "/dev/loop0")));
  EXPECT_FALSE(HoldsUserData(entry("squashfs", "/dev/sdc1")));
  EXPECT_FALSE(HoldsUserData(entry("tmpfs", "tmpfs")));
  EXPECT_FALSE(HoldsUserData(entry("proc", "proc")));
  EXPECT_FALSE(HoldsUserData(entry("overlay", "overlay")));
  EXPECT_FALSE(HoldsUserData(entry("fuse.portal", "portal")));
}

// ---------------------------------------------------------------------------------------------
// The KORVANE_DRIVES table

TEST(DriveTable, ParseDriveMappingsKeepsGoodEntriesAndDescribesBadOnes) {
  struct TCase {
    const char* Mappings;
    std::vector<TDriveMapping> Expected;
    int BadEntries;
  };
  const std::vector<TCase> cases = {
      {"C=/;T=/tmp/fixture", {{'C', "/"}, {'T', "/tmp/fixture"}}, 0},
      {"Z=/z;D=/d", {{'D', "/d"}, {'Z', "/z"}}, 0},  // sorted by letter
      {"t=/tmp/a", {{'T', "/tmp/a"}}, 0},
      {"T=/tmp/a/", {{'T', "/tmp/a"}}, 0},
      {"T=/tmp/./a//b/", {{'T', "/tmp/a/b"}}, 0},
      {"T=/tmp/a/../b", {{'T', "/tmp/b"}}, 0},
      {"T=/a b/c", {{'T', "/a b/c"}}, 0},
      {";;C=/;; ;", {{'C', "/"}}, 0},
      {"", {}, 0},
      {"A=/x", {}, 1},
      {"B=/x;C=/", {{'C', "/"}}, 1},
      {"1=/x", {}, 1},
      {"CD=/x", {}, 1},
      {"=/x", {}, 1},
      {"/x", {}, 1},
      {"T=relative/path", {}, 1},
      {"T=", {}, 1},
      {"T=/a;t=/b", {{'T', "/a"}}, 1},
      {"A=/a;T=x;U=/u;U=/v", {{'U', "/u"}}, 3},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Mappings);
    QString errors;
    const std::vector<TDriveMapping> got = ParseDriveMappings(c.Mappings, &errors);
    ASSERT_EQ(got.size(), c.Expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].Letter, c.Expected[i].Letter);
      EXPECT_EQ(got[i].HostRoot, c.Expected[i].HostRoot) << Str(got[i].HostRoot);
    }
    // One line for each entry that was left out.
    EXPECT_EQ(errors.count(QLatin1Char('\n')), c.BadEntries) << errors.toStdString();
    if (c.BadEntries) {
      EXPECT_FALSE(errors.trimmed().isEmpty());
    }
    // Without an errors string the same entries come back.
    EXPECT_EQ(ParseDriveMappings(c.Mappings).size(), got.size());
  }
}

// ---------------------------------------------------------------------------------------------
// Automatic drives from the mount table

class DriveTableAutomatic : public ::testing::Test {
protected:
  TFixtureTree fx;

  QByteArray Line(int id, const char* device, const char* root, const QByteArray& mountPoint,
                  const char* type, const char* source) {
    return QByteArray::number(id) + " 1 " + device + ' ' + root + ' ' + EscapeMountField(mountPoint) +
           " rw,relatime shared:" + QByteArray::number(id) + " - " + type + ' ' + source + " rw\n";
  }
  QByteArray Mount(int id, const QByteArray& folder, const char* type = "ext4", const char* source = nullptr,
                   const char* root = "/") {
    const QByteArray dev = source ? QByteArray(source) : "/dev/sd" + QByteArray(1, char('a' + id % 26)) + "1";
    return Line(id, "8:1", root, fx.Path(folder), type, dev.constData());
  }

  static std::string Describe(const std::vector<TDriveMapping>& table) {
    std::string out;
    for (const TDriveMapping& m : table) out += std::string(1, m.Letter) + "=" + Str(m.HostRoot) + ";";
    return out;
  }
};

TEST_F(DriveTableAutomatic, LettersGoToUserDataMountsInMountOrderAroundHome) {
  for (const char* d : {"home", "data", "net", "cifs", "proc", "tmp", "loop", "bind", "ovl", "sq", "e", "f",
                        "g", "with blank", "subvol"})
    fx.Dir(d);
  QByteArray text = Line(1, "254:0", "/", "/", "ext4", "/dev/vda");
  text += Mount(2, "proc", "proc", "proc");
  text += Mount(3, "data");
  text += Mount(4, "tmp", "tmpfs", "tmpfs");
  text += Mount(5, "net", "nfs4", "server:/export");
  text += Mount(6, "loop", "squashfs", "/dev/loop0");
  text += Mount(7, "bind", "ext4", "/dev/sdb1", "/sub");  // a subfolder bound elsewhere
  text += Mount(8, "ovl", "overlay", "overlay");
  text += Mount(9, "missing");  // its folder does not exist
  text += Mount(10, "cifs", "cifs", "//srv/share");
  text += Mount(11, "sq", "squashfs", "/dev/sdd1");
  text += Mount(12, "home");  // the home folder is a mount of its own: it stays H
  text += Mount(13, "e");
  text += Mount(14, "f");
  text += Mount(15, "data");  // mounted again on the same point: no second letter
  text += Mount(16, "g");
  text += Mount(17, "with blank");
  text += Mount(18, "e/../f", "ext4", "/dev/sdx9");  // the same folder spelt otherwise
  // A btrfs subvolume: part of a file system, mounted alone with a device number of its own.
  text += Line(19, "0:45", "/@data", fx.Path("subvol"), "btrfs", "/dev/sdc2");

  const std::vector<TDriveMapping> table = AutomaticDrives(ParseMountInfo(text), fx.Path("home/"));
  const std::vector<TDriveMapping> expected = {
      {'C', "/"},
      {'D', fx.Path("data")},
      {'E', fx.Path("net")},
      {'F', fx.Path("cifs")},
      {'G', fx.Path("e")},
      {'H', fx.Path("home")},
      {'I', fx.Path("f")},
      {'J', fx.Path("g")},
      {'K', fx.Path("with blank")},
      {'L', fx.Path("subvol")},
  };
  ASSERT_EQ(table.size(), expected.size()) << Describe(table);
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].Letter, expected[i].Letter) << Describe(table);
    EXPECT_EQ(table[i].HostRoot, expected[i].HostRoot) << Describe(table);
  }
}

TEST_F(DriveTableAutomatic, WithoutHomeTheLetterHIsFreeAndLettersStopAtZ) {
  QByteArray text = Line(1, "254:0", "/", "/", "ext4", "/dev/vda");
  for (int i = 0; i < 30; ++i) {
    const QByteArray name = "m" + QByteArray::number(i);
    fx.Dir(name);
    text += Mount(i + 2, name);
  }
  const std::vector<TMountEntry> mounts = ParseMountInfo(text);

  const std::vector<TDriveMapping> noHome = AutomaticDrives(mounts, QByteArray());
  ASSERT_EQ(noHome.size(), 24u) << Describe(noHome);  // C, then D to Z
  EXPECT_EQ(noHome[5].Letter, 'H');
  EXPECT_EQ(noHome[5].HostRoot, fx.Path("m4"));
  EXPECT_EQ(noHome.back().Letter, 'Z');
  EXPECT_EQ(noHome.back().HostRoot, fx.Path("m22"));

  // A home folder of "/" is the C: drive already.
  const std::vector<TDriveMapping> rootHome = AutomaticDrives(mounts, "/");
  EXPECT_EQ(rootHome.size(), 24u) << Describe(rootHome);

  const std::vector<TDriveMapping> withHome = AutomaticDrives(mounts, "/home/someone");
  ASSERT_EQ(withHome.size(), 24u) << Describe(withHome);
  EXPECT_EQ(withHome[5].Letter, 'H');
  EXPECT_EQ(withHome[5].HostRoot, "/home/someone");
  EXPECT_EQ(withHome[6].HostRoot, fx.Path("m4"));  // I: the mount after G:
  EXPECT_EQ(withHome.back().HostRoot, fx.Path("m21"));

  // No mount table at all still gives C: and H:.
  const std::vector<TDriveMapping> bare = AutomaticDrives({}, "/home/someone");
  ASSERT_EQ(bare.size(), 2u);
  EXPECT_EQ(bare[0].Letter, 'C');
  EXPECT_EQ(bare[1].Letter, 'H');
}

// ---------------------------------------------------------------------------------------------
// Drive paths and host paths

class DriveTablePaths : public ::testing::Test {
protected:
  void SetUp() override { fx.Dir("in/u"); }
  TFixtureTree fx;
  TDriveScope drives{{{'C', "/"}, {'T', fx.Root()}, {'U', fx.Path("in/u/")}}};
};

QString FromUnits(std::initializer_list<char16_t> units) {
  QString out;
  for (char16_t u : units) out.append(QChar(u));
  return out;
}

TEST_F(DriveTablePaths, DriveToHostAcceptsTheUsualFormsAndNeverLeavesTheRoot) {
  const QByteArray& root = fx.Root();
  const struct {
    QString Drive;
    std::optional<QByteArray> Host;
  } cases[] = {
      {QStringLiteral("C:\\"), QByteArray("/")},
      {QStringLiteral("c:"), QByteArray("/")},
      {QStringLiteral("C:"), QByteArray("/")},
      {QStringLiteral("C:/usr"), QByteArray("/usr")},
      {QStringLiteral("C:\\usr\\lib"), QByteArray("/usr/lib")},
      {QStringLiteral("C:\\usr\\\\lib\\.\\"), QByteArray("/usr/lib")},
      {QStringLiteral("c:\\usr/lib/"), QByteArray("/usr/lib")},
      {QStringLiteral("C:\\.."), QByteArray("/")},
      {QStringLiteral("T:\\"), root},
      {QStringLiteral("t:\\sub"), root + "/sub"},
      {QStringLiteral("T:\\a\\..\\..\\x"), root + "/x"},
      {QStringLiteral("T:\\..\\..\\..\\.."), root},
      {QStringLiteral("T:/../etc/passwd"), root + "/etc/passwd"},
      {QStringLiteral("T:\\...\\ x "), root + "/.../ x "},
      {QStringLiteral("U:\\z"), fx.Path("in/u/z")},
      {FromUnits({'T', ':', '\\', 'a', HostBackslashChar, 'b', HostColonChar}), root + "/a\\b:"},
      {FromUnits({'T', ':', '\\', 0xDCFF, 'x'}), root + "/\xffx"},
      {QStringLiteral("X:\\"), std::nullopt},  // not mapped
      {QStringLiteral("C:usr"), std::nullopt},
      {QStringLiteral("C"), std::nullopt},
      {QString(), std::nullopt},
      {QStringLiteral("\\\\server\\share"), std::nullopt},
      {QStringLiteral("/usr"), std::nullopt},
      // A NUL would cut the host path short where the C library reads it: "..\0" is "..".
      {FromUnits({'T', ':', '\\', '.', '.', 0}), std::nullopt},
      {FromUnits({'T', ':', '\\', 'a', 0, 'b'}), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Drive.toStdString());
    const std::optional<QByteArray> host = DriveToHost(c.Drive);
    ASSERT_EQ(host.has_value(), c.Host.has_value());
    if (host) {
      EXPECT_EQ(*host, *c.Host) << Str(*host);
    }
    EXPECT_EQ(SplitDrivePath(c.Drive).has_value(), c.Host.has_value());
  }
}

TEST_F(DriveTablePaths, SplitDrivePathGivesTheDriveAndRawNames) {
  const std::optional<TDrivePathParts> parts =
      SplitDrivePath(FromUnits({'t', ':', '\\', 'a', '\\', '.', '.', '\\', '.', '.', '\\', 'b', HostBackslashChar,
                                'c', '/', '.', '/', 0xDC80}));
  ASSERT_TRUE(parts.has_value());
  ASSERT_NE(parts->Drive, nullptr);
  EXPECT_EQ(parts->Drive->Letter, 'T');
  EXPECT_EQ(parts->Drive->HostRoot, fx.Root());
  ASSERT_EQ(parts->Components.size(), 2);
  EXPECT_EQ(parts->Components[0], "b\\c");
  EXPECT_EQ(parts->Components[1], "\x80");

  const std::optional<TDrivePathParts> root = SplitDrivePath(QStringLiteral("c:"));
  ASSERT_TRUE(root.has_value());
  EXPECT_EQ(root->Drive->Letter, 'C');
  EXPECT_TRUE(root->Components.isEmpty());

  EXPECT_EQ(TDriveTable::Instance().Letters(), QStringLiteral("CTU"));
  ASSERT_NE(TDriveTable::Instance().Find(QLatin1Char('u')), nullptr);
  EXPECT_EQ(TDriveTable::Instance().Find(QLatin1Char('u'))->HostRoot, fx.Path("in/u"));
  EXPECT_EQ(TDriveTable::Instance().Find(QLatin1Char('Q')), nullptr);
  EXPECT_EQ(DriveTypeOf(QLatin1Char('Q')), TDriveType::NoRootDir);
}

TEST_F(DriveTablePaths, HostToDriveTakesTheLongestMappedRoot) {
  const QByteArray& root = fx.Root();
  const struct {
    QByteArray Host;
    std::optional<QString> Drive;
  } cases[] = {
      {"/", QStringLiteral("C:\\")},
      {"/usr/lib", QStringLiteral("C:\\usr\\lib")},
      {"//usr/./lib/", QStringLiteral("C:\\usr\\lib")},
      {root, QStringLiteral("T:\\")},
      {root + "/", QStringLiteral("T:\\")},
      {root + "/a/b", QStringLiteral("T:\\a\\b")},
      {root + "//a/./b/", QStringLiteral("T:\\a\\b")},
      {root + "/in", QStringLiteral("T:\\in")},
      {root + "/in/u", QStringLiteral("U:\\")},
      {root + "/in/u/z/y", QStringLiteral("U:\\z\\y")},
      {root + "/in/uu", QStringLiteral("T:\\in\\uu")},
      {root + "x", QStringLiteral("C:") + QString::fromUtf8(root).replace(QLatin1Char('/'), QLatin1Char('\\')) +
                       QLatin1Char('x')},
      {root + "/a\\b:c", FromUnits({'T', ':', '\\', 'a', HostBackslashChar, 'b', HostColonChar, 'c'})},
      {root + "/x\xff", FromUnits({'T', ':', '\\', 'x', 0xDCFF})},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Str(c.Host));
    const std::optional<QString> drive = HostToDrive(c.Host);
    ASSERT_EQ(drive.has_value(), c.Drive.has_value());
    if (drive) {
      EXPECT_EQ(*drive, *c.Drive) << drive->toStdString();
    }
  }
}

TEST_F(DriveTablePaths, AnyHostNameComesBackFromItsDrivePath) {
  const QByteArray names[] = {
      "plain", "a\\b", "c:d", "\\", ":", "\xff\xfe", "\xc0\xaf", "\xed\xa0\x80", "\xef\x81\x9c", "\xef\x80\xba",
      "\xf0\x9f\x98\x80", "...", " lead and trail ", "x\x80", "caf\xc3\xa9",
  };
  for (const QByteArray& name : names) {
    SCOPED_TRACE(Str(name));
    const QByteArray host = fx.Path("in/" + name);
    const std::optional<QString> drive = HostToDrive(host);
    ASSERT_TRUE(drive.has_value());
    EXPECT_TRUE(drive->startsWith(QStringLiteral("T:\\in\\")));
    EXPECT_EQ(drive->count(QLatin1Char('\\')), 2);  // the name adds no separator
    const std::optional<QByteArray> back = DriveToHost(*drive);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, host);
  }
}

// Restores the working folder when the test ends.
class TWorkingFolder {
public:
  explicit TWorkingFolder(const QByteArray& folder) {
    char buf[PATH_MAX];
    if (::getcwd(buf, sizeof buf)) saved_ = buf;
    EXPECT_EQ(::chdir(folder.constData()), 0);
  }
  ~TWorkingFolder() {
    if (!saved_.isEmpty()) {
      EXPECT_EQ(::chdir(saved_.constData()), 0);
    }
  }
  TWorkingFolder(const TWorkingFolder&) = delete;
  TWorkingFolder& operator=(const TWorkingFolder&) = delete;

private:
  QByteArray saved_;
};

TEST(DriveTable, HostPathsOnNoDriveAndRelativePaths) {
  TFixtureTree fx;
  fx.Dir("work/deeper");
  TDriveScope drives{{{'T', fx.Root()}}};
  EXPECT_EQ(HostToDrive("/etc"), std::nullopt);
  EXPECT_EQ(HostToDrive("/"), std::nullopt);
  EXPECT_EQ(HostToDrive(fx.Root() + "/../elsewhere"), std::nullopt);
  EXPECT_EQ(HostToDrive(fx.Root() + "-sibling"), std::nullopt);

  // Relative host paths resolve against the working folder.
  TWorkingFolder cwd(fx.Path("work/deeper"));
  EXPECT_EQ(HostToDrive("rel/x"), QStringLiteral("T:\\work\\deeper\\rel\\x"));
  EXPECT_EQ(HostToDrive("."), QStringLiteral("T:\\work\\deeper"));
  EXPECT_EQ(HostToDrive("../.."), QStringLiteral("T:\\"));
  EXPECT_EQ(HostToDrive("../../.."), std::nullopt);
  EXPECT_EQ(HostToDrive(fx.Root() + QByteArray("/a\0b", 4)), std::nullopt);
}

TEST(DriveTable, RelativePathsNeedAWorkingFolder) {
  TFixtureTree fx;
  fx.Dir("gone");
  TDriveScope drives{{{'C', "/"}, {'T', fx.Root()}}};
  TWorkingFolder cwd(fx.Path("gone"));
  fx.Remove("gone");
  // The working folder no longer exists: a relative path has no place on any drive.
  EXPECT_EQ(HostToDrive("x"), std::nullopt);
  EXPECT_EQ(HostToDrive(fx.Path("y")), QStringLiteral("T:\\y"));
}

}  // namespace

namespace {

TEST(MountTableBelow, TellsWhichSubfoldersAreMountPoints) {
  const QByteArray text =
      "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "2 1 0:5 / /data/b/mnt rw - tmpfs tmpfs rw\n"
      "3 1 0:6 / /data/other rw - nfs srv:/x rw\n"
      "4 1 0:7 / /database/c rw - tmpfs tmpfs rw\n"
      "5 1 0:8 / /data rw - ext4 /dev/sdb1 rw\n";
  const std::vector<TMountEntry> table = ParseMountInfo(text);

  const TMountsBelow below(table, "/data");
  const TMountsBelow::Node* root = below.Root();
  ASSERT_NE(root, nullptr);
  const TMountsBelow::Node* b = root->Find("b");
  ASSERT_NE(b, nullptr);
  EXPECT_FALSE(b->MountPoint);
  ASSERT_NE(b->Find("mnt"), nullptr);
  EXPECT_TRUE(b->Find("mnt")->MountPoint);
  ASSERT_NE(root->Find("other"), nullptr);
  EXPECT_TRUE(root->Find("other")->MountPoint);
  EXPECT_EQ(root->Find("c"), nullptr);  // /database/c is not below /data
  EXPECT_EQ(root->Find("mnt"), nullptr);

  EXPECT_EQ(TMountsBelow(table, "/data/b/mnt").Root(), nullptr);  // the folder itself does not count
  EXPECT_EQ(TMountsBelow(table, "/srv").Root(), nullptr);
  EXPECT_NE(TMountsBelow(table, "/").Root(), nullptr);
}

TEST(MountTableBelow, AMountPointHundredsOfThousandsOfFoldersDeepNeitherOverflowsTheStackNorIsLost) {
  // Built, sorted and taken apart without recursion.
  const int depth = 300000;
  const QByteArray text = "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n2 1 0:5 / /" + QByteArray("d/").repeated(depth) +
                          "m rw - tmpfs tmpfs rw\n";
  const std::vector<TMountEntry> table = ParseMountInfo(text);
  ASSERT_EQ(table.size(), 2u);
  const TMountsBelow below(table, "/");
  const TMountsBelow::Node* node = below.Root();
  for (int level = 0; level < depth && node; ++level) {
    EXPECT_FALSE(node->MountPoint);
    node = node->Find("d");
  }
  ASSERT_NE(node, nullptr);
  ASSERT_NE(node->Find("m"), nullptr);
  EXPECT_TRUE(node->Find("m")->MountPoint);
}

}  // namespace
