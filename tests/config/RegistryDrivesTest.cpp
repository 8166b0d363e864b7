// Drive letters that last: the automatic drive table gives a mount point the letter it had
// before, and the folders the user mapped come back from the current user's hive.

#include "config/DriveLetterStore.h"
#include "config/Registry.h"
#include "platform/DriveTable.h"
#include "platform/MountTable.h"
#include "tests/config/RegistryScope.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Describe(const std::vector<TDriveMapping>& table) {
  std::string out;
  for (const TDriveMapping& m : table) out += std::string(1, m.Letter) + "=" + m.HostRoot.toStdString() + ";";
  return out;
}

class RegistryDriveLetters : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* d : {"a", "b", "c", "gone", "share", "other"}) fx.Dir(d);
  }

  // A mount table with the root and a block device on each of the named folders, in order.
  std::vector<TMountEntry> Mounts(std::initializer_list<const char*> folders) const {
    QByteArray text = "1 0 254:0 / / rw - ext4 /dev/vda rw\n";
    int id = 2;
    for (const char* f : folders) {
      text += QByteArray::number(id) + " 1 8:" + QByteArray::number(id) + " / " + fx.Path(f) + " rw - ext4 /dev/sd" +
              char('a' + id) + "1 rw\n";
      ++id;
    }
    return ParseMountInfo(text);
  }

  std::vector<TDriveMapping> Table(std::initializer_list<std::pair<char, const char*>> entries) const {
    std::vector<TDriveMapping> table;
    for (const auto& [letter, folder] : entries)
      table.push_back({letter, folder[0] == '/' ? QByteArray(folder) : fx.Path(folder)});
    return table;
  }

  TFixtureTree fx;
};

TEST_F(RegistryDriveLetters, MountPointsGetTheirOldLettersBack) {
  struct Case {
    const char* What;
    std::vector<TDriveMapping> Remembered;
    std::vector<TDriveMapping> Mapped;
    std::vector<TDriveMapping> Expected;
  };
  const Case cases[] = {
      {"nothing remembered: in mount order from D:", {}, {}, Table({{'C', "/"}, {'D', "a"}, {'E', "b"}, {'F', "c"}, {'H', "/home/u"}})},
      {"b had F:, c had D:",
       Table({{'F', "b"}, {'D', "c"}}),
       {},
       Table({{'C', "/"}, {'D', "c"}, {'E', "a"}, {'F', "b"}, {'H', "/home/u"}})},
      {"an absent mount point keeps its letter free while others are free",
       Table({{'D', "gone"}, {'E', "gone2"}}),
       {},
       Table({{'C', "/"}, {'F', "a"}, {'G', "b"}, {'H', "/home/u"}, {'I', "c"}})},
      {"a mapped folder takes its letter first; the mount that had it gets a new one",
       Table({{'D', "a"}}),
       Table({{'D', "share"}, {'Z', "other"}}),
       Table({{'C', "/"}, {'D', "share"}, {'E', "a"}, {'F', "b"}, {'G', "c"}, {'H', "/home/u"}, {'Z', "other"}})},
      {"a mapped folder that is a mount point gets no second letter",
       {},
       Table({{'M', "b"}}),
       Table({{'C', "/"}, {'D', "a"}, {'E', "c"}, {'H', "/home/u"}, {'M', "b"}})},
      {"letters C and H and letters out of range are not taken from their owners",
       Table({{'C', "a"}, {'H', "b"}, {'B', "c"}}),
       Table({{'C', "share"}, {'H', "other"}}),
       Table({{'C', "/"}, {'D', "a"}, {'E', "b"}, {'F', "c"}, {'H', "/home/u"}})},
  };
  for (const Case& c : cases) {
    const std::vector<TDriveMapping> table = AutomaticDrives(Mounts({"a", "b", "c"}), "/home/u", c.Remembered, c.Mapped);
    EXPECT_EQ(Describe(table), Describe(c.Expected)) << c.What;
  }

  // When every other letter is gone, the letters of absent mount points are used after all.
  std::vector<TDriveMapping> remembered;
  for (char l = 'D'; l <= 'Z'; ++l) remembered.push_back({l, "/absent/" + QByteArray(1, l)});
  const std::vector<TDriveMapping> full = AutomaticDrives(Mounts({"a", "b"}), "/home/u", remembered, {});
  EXPECT_EQ(Describe(full), Describe(Table({{'C', "/"}, {'D', "a"}, {'E', "b"}, {'H', "/home/u"}})));
}

TEST_F(RegistryDriveLetters, TheStoreKeepsLettersAndMappedFoldersInTheHive) {
  const TRegistryScope scope;
  TRegistryDriveLetterStore store;
  EXPECT_TRUE(store.Remembered().empty());
  EXPECT_TRUE(store.Mapped().empty());
  EXPECT_FALSE(scope.HiveText().has_value());

  const QByteArray odd = fx.Path("caf\xE9 \\ : \"x\"");  // not UTF-8, with a backslash, colon and quotes
  store.Remember(Table({{'D', "a"}, {'E', "b"}}));
  store.Remember({{'F', odd}});
  store.Remember(Table({{'G', "a"}}));  // a moved to G: its old entry goes
  EXPECT_EQ(Describe(store.Remembered()), Describe({{'E', fx.Path("b")}, {'F', odd}, {'G', fx.Path("a")}}));

  QString error;
  EXPECT_TRUE(store.Map('z', fx.Path("share"), &error)) << error.toStdString();
  EXPECT_TRUE(store.Map('Y', odd, &error));
  EXPECT_EQ(Describe(store.Mapped()), Describe({{'Z', fx.Path("share")}, {'Y', odd}}));
  const QByteArray text = *scope.HiveText();
  EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Network\\Z]\n\"RemotePath\"=\"" + fx.Path("share") + "\"\n"))
      << text.toStdString();
  EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Drives]\n\"E\"=\"" + fx.Path("b") + "\"\n"))
      << text.toStdString();

  EXPECT_TRUE(store.Unmap('Z', &error));
  EXPECT_EQ(Describe(store.Mapped()), Describe({{'Y', odd}}));
  EXPECT_FALSE(TRegistry().KeyExists("Network\\Z"));

  // Hand-edited entries that name no letter or no absolute folder are skipped.
  TRegistry reg;
  reg.WriteValue(QString(DriveLettersKeyPath), "DD", TRegValue::FromString("/x"));
  reg.WriteValue(QString(DriveLettersKeyPath), "K", TRegValue::FromString("relative"));
  reg.WriteValue(QString(DriveLettersKeyPath), "L", TRegValue::FromDWord(1));
  reg.WriteValue("Network\\A", "RemotePath", TRegValue::FromString("/y"));
  reg.CreateKey("Network\\Q");
  reg.Close();
  EXPECT_EQ(store.Remembered().size(), 3u);
  EXPECT_EQ(Describe(store.Mapped()), Describe({{'Y', odd}}));
}

// Sets or clears KORVANE_DRIVES for a test and puts the drive table back afterwards.
class TDriveEnvScope {
public:
  explicit TDriveEnvScope(const QByteArray* drives)
      : wasSet_(qEnvironmentVariableIsSet("KORVANE_DRIVES")), saved_(qgetenv("KORVANE_DRIVES")),
        table_(TDriveTable::Instance().Mappings()) {
    if (drives)
      qputenv("KORVANE_DRIVES", *drives);
    else
      qunsetenv("KORVANE_DRIVES");
  }
  ~TDriveEnvScope() {
    TDriveTable::Instance().SetLetterStore(nullptr);
    if (wasSet_)
      qputenv("KORVANE_DRIVES", saved_);
    else
      qunsetenv("KORVANE_DRIVES");
    TDriveTable::Instance().SetMappings(table_);
  }

private:
  bool wasSet_;
  QByteArray saved_;
  std::vector<TDriveMapping> table_;
};

TEST_F(RegistryDriveLetters, TheDriveTableRemembersItsLettersAndMapsFolders) {
  const TRegistryScope scope;
  const TDriveEnvScope env(nullptr);
  {
    TRegistry reg;
    reg.WriteValue("Network\\M", "RemotePath", TRegValue::FromString(QString::fromLocal8Bit(fx.Path("share"))));
    reg.Close();
  }
  TRegistryDriveLetterStore store;
  TDriveTable& table = TDriveTable::Instance();
  table.SetLetterStore(&store);

  ASSERT_NE(table.Find(QLatin1Char('M')), nullptr);
  EXPECT_EQ(table.Find(QLatin1Char('M'))->HostRoot, fx.Path("share"));
  // Every letter the host's mounts got is remembered, and the next start gives the same table.
  const std::vector<TDriveMapping> first = table.Mappings();
  const std::vector<TDriveMapping> remembered = store.Remembered();
  for (const TDriveMapping& m : first) {
    if (m.Letter == 'C' || m.Letter == 'H' || m.Letter == 'M') continue;
    EXPECT_NE(Describe(remembered).find(Describe({m})), std::string::npos) << Describe(first);
  }
  table.Reload();
  EXPECT_EQ(Describe(table.Mappings()), Describe(first));

  QString error;
  EXPECT_FALSE(MapDriveLetter('M', fx.Path("other"), &error));
  EXPECT_EQ(error, "The drive letter M: is already in use");
  EXPECT_FALSE(MapDriveLetter('B', fx.Path("other"), &error));
  EXPECT_FALSE(MapDriveLetter('N', fx.Path("no such folder"), &error));
  EXPECT_FALSE(UnmapDriveLetter('C', &error));
  EXPECT_EQ(error, "C: is not a mapped drive");

  char free = 0;
  for (char l = 'Z'; l >= 'D' && !free; --l)
    if (!table.Find(QLatin1Char(l))) free = l;
  ASSERT_NE(free, 0);
  ASSERT_TRUE(MapDriveLetter(static_cast<char>(free + 'a' - 'A'), fx.Path("other/"), &error)) << error.toStdString();
  EXPECT_EQ(HostToDrive(fx.Path("other/x")), QString(QLatin1Char(free)) + ":\\x");
  table.Reload();
  ASSERT_NE(table.Find(QLatin1Char(free)), nullptr) << "a mapped folder lasts";
  EXPECT_EQ(table.Find(QLatin1Char(free))->HostRoot, fx.Path("other"));

  EXPECT_TRUE(UnmapDriveLetter(free, &error));
  EXPECT_EQ(table.Find(QLatin1Char(free)), nullptr);
  table.Reload();
  EXPECT_EQ(table.Find(QLatin1Char(free)), nullptr);
  EXPECT_EQ(Describe(store.Mapped()), Describe({{'M', fx.Path("share")}}));
}

TEST_F(RegistryDriveLetters, KorvaneDrivesStaysTheWholeTable) {
  const TRegistryScope scope;
  const QByteArray spec = "C=/;T=" + fx.Path("a");
  const TDriveEnvScope env(&spec);
  {
    TRegistry reg;
    reg.WriteValue("Network\\M", "RemotePath", TRegValue::FromString(QString::fromLocal8Bit(fx.Path("share"))));
    reg.Close();
  }
  TRegistryDriveLetterStore store;
  TDriveTable& table = TDriveTable::Instance();
  table.SetLetterStore(&store);
  EXPECT_EQ(Describe(table.Mappings()), Describe({{'C', "/"}, {'T', fx.Path("a")}}));
  EXPECT_TRUE(store.Remembered().empty());

  // Mapping still works for the run (the dialogs are tested this way) and is stored.
  QString error;
  ASSERT_TRUE(MapDriveLetter('N', fx.Path("b"), &error)) << error.toStdString();
  EXPECT_EQ(Describe(table.Mappings()), Describe({{'C', "/"}, {'N', fx.Path("b")}, {'T', fx.Path("a")}}));
  EXPECT_EQ(store.Mapped().size(), 2u);
  ASSERT_TRUE(UnmapDriveLetter('n', &error));
  EXPECT_EQ(Describe(table.Mappings()), Describe({{'C', "/"}, {'T', fx.Path("a")}}));
  EXPECT_EQ(Describe(store.Mapped()), Describe({{'M', fx.Path("share")}}));
}

}  // namespace
