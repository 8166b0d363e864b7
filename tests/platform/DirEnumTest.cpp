#include "platform/DirEnum.h"
#include "tests/support/Fixture.h"

#include <QFile>

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

namespace {

TEST(DirEnumTimes, FileTimeCountsHundredsOfNanosecondsSince1601) {
  EXPECT_EQ(UnixToFileTime(0, 0), 116444736000000000ULL);
  EXPECT_EQ(UnixToFileTime(1, 500), 116444736000000000ULL + 10000000ULL + 5);
  EXPECT_EQ(UnixToFileTime(-11644473600LL, 0), 0u);
  EXPECT_EQ(UnixToFileTime(-11644473601LL, 0), 0u);  // before 1601: no such FILETIME
}

TEST(DirEnumTimes, ABirthTimeAtTheEpochOrNoneIsUnknown) {
  struct Case {
    unsigned mask;
    int64_t seconds;
    uint32_t nanoseconds;
    uint64_t expected;
  };
  const Case cases[] = {
      {STATX_BASIC_STATS, 1'000'000'000, 0, 0},  // not asked for or not kept
      {STATX_BASIC_STATS | STATX_BTIME, 0, 0, 0},  // what overlays report when they keep none
      {STATX_BASIC_STATS | STATX_BTIME, 1'000'000'000, 0, UnixToFileTime(1'000'000'000, 0)},
      {STATX_BASIC_STATS | STATX_BTIME, 0, 1, UnixToFileTime(0, 1)},
  };
  for (const Case& k : cases) {
    struct statx st {};
    st.stx_mode = S_IFREG | 0644;
    st.stx_mask = k.mask;
    st.stx_btime.tv_sec = k.seconds;
    st.stx_btime.tv_nsec = k.nanoseconds;
    TFindData data;
    FillFindData(st, false, data);
    EXPECT_EQ(data.CreationTime, k.expected) << k.mask << " " << k.seconds;
  }
}

class DirEnumTest : public ::testing::Test {
protected:
  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Root()}}};
};

TEST_F(DirEnumTest, EntriesCarryWindowsAttributesSizesAndTimes) {
  fx.File("plain", 1234);
  fx.File("ro", 1);
  ASSERT_EQ(::chmod(fx.Path("ro").constData(), 0444), 0);
  fx.File(".dot", 2);
  fx.File("listed", 3);
  fx.File(".hidden", 0);
  {
    QFile list(QString::fromLocal8Bit(fx.Path(".hidden")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("listed\r\nsub-hidden\n");
  }
  fx.Dir("sub");
  fx.Dir("sub-hidden");
  fx.Dir("ro-dir");
  ASSERT_EQ(::chmod(fx.Path("ro-dir").constData(), 0555), 0);
  fx.Symlink("plain", "ln");
  ASSERT_EQ(::mkfifo(fx.Path("fifo").constData(), 0644), 0);
  fx.SetTimes("plain", 1'000'000'000, 1'100'000'000);

  TFindFile find;
  ASSERT_TRUE(find.Open(QStringLiteral("T:\\")));
  std::map<QString, TFindData> seen;
  TFindData data;
  while (find.Next(data)) seen[data.Name] = data;

  const std::map<QString, uint32_t> expected = {
      {"plain", 0x20}, {"ro", 0x21},         {".dot", 0x22},   {"listed", 0x22}, {".hidden", 0x22},
      {"sub", 0x10},   {"sub-hidden", 0x12}, {"ro-dir", 0x11}, {"ln", 0x400},    {"fifo", 0x04},
  };
  ASSERT_EQ(seen.size(), expected.size());
  for (const auto& [name, attributes] : expected) {
    ASSERT_TRUE(seen.count(name)) << name.toStdString();
    EXPECT_EQ(seen[name].Attributes, attributes) << name.toStdString();
  }
  EXPECT_EQ(seen["plain"].Size, 1234);
  EXPECT_EQ(seen["ln"].Size, 5);  // the link itself: its target's name
  EXPECT_EQ(seen["plain"].LastAccessTime, UnixToFileTime(1'000'000'000, 0));
  EXPECT_EQ(seen["plain"].LastWriteTime, UnixToFileTime(1'100'000'000, 0));
}

TEST_F(DirEnumTest, FindEntryAndGoneEntries) {
  fx.File("a/f", 77);
  TFindData data;
  ASSERT_TRUE(FindEntry(QStringLiteral("T:\\a\\f"), data));
  EXPECT_EQ(data.Name, QStringLiteral("f"));
  EXPECT_EQ(data.Size, 77);
  ASSERT_TRUE(FindEntry(QStringLiteral("T:\\a"), data));
  EXPECT_TRUE(data.Attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(data.Size, 0);  // folders have no size of their own
  ASSERT_TRUE(FindEntry(QStringLiteral("T:\\"), data));
  EXPECT_TRUE(data.Attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(FindEntry(QStringLiteral("T:\\a\\missing"), data));
  EXPECT_FALSE(FindEntry(QStringLiteral("Q:\\"), data));

  struct Case {
    const char* path;
    bool gone;
  };
  for (const Case& c : {Case{"T:\\a\\f", false}, Case{"T:\\a", false}, Case{"T:\\a\\missing", true},
                        Case{"T:\\nothing\\below", true}, Case{"T:\\a\\f\\under-a-file", true},
                        Case{"T:\\", false}, Case{"Q:\\x", false}})
    EXPECT_EQ(EntryIsGone(QString::fromLatin1(c.path)), c.gone) << c.path;

  TFindFile find;
  EXPECT_FALSE(find.Open(QStringLiteral("T:\\missing")));
  EXPECT_FALSE(find.Open(QStringLiteral("T:\\a\\f")));
}

TEST_F(DirEnumTest, MissingDriveRootIsNotGoneButUnknown) {
  fx.File("a/f", 1);
  TDriveScope elsewhere{{{'T', fx.Path("not-mounted")}}};
  EXPECT_FALSE(EntryIsGone(QStringLiteral("T:\\a")));
}

TEST_F(DirEnumTest, FoldersOnTheWayMustBeRealFolders) {
  fx.File("real/f", 9);
  fx.Symlink("real", "via-link");
  TFindData data;
  EXPECT_TRUE(FindEntry(QStringLiteral("T:\\via-link"), data));  // the link itself
  EXPECT_EQ(data.Attributes, FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_FALSE(FindEntry(QStringLiteral("T:\\via-link\\f"), data));  // not followed
}

}  // namespace
