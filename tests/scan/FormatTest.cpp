// How figures, dates and attribute sets read: sizes scaled to their unit with locale separators
// and printf-style rounding, counts, local dates on a 12-hour clock, packed DOS date-times,
// attribute names and error captions.
#include "scan/Format.h"

#include <QByteArray>
#include <QLocale>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

namespace {

struct IntCase {
  int64_t Value;
  const char* Expected;
};

// Switches the default locale for one test and puts back the one the test main chose.
class ScopedLocale {
 public:
  explicit ScopedLocale(const QLocale& locale) : Saved(QLocale()) { QLocale::setDefault(locale); }
  ~ScopedLocale() { QLocale::setDefault(Saved); }
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;

 private:
  QLocale Saved;
};

TEST(FormatNumbers, CountsAreGroupedAndExact) {
  EXPECT_EQ(FormatCount(1234567), "1,234,567");
  EXPECT_EQ(FormatCount(0), "0");
  EXPECT_EQ(FormatCount(999), "999");
  EXPECT_EQ(FormatCount(-1234567), "-1,234,567");
  EXPECT_EQ(FormatCount(std::numeric_limits<int32_t>::min()), "-2,147,483,648");
  EXPECT_EQ(FormatCount64(5368709120), "5,368,709,120");
  // A detour through double would end in ...808.
  EXPECT_EQ(FormatCount64(std::numeric_limits<int64_t>::max()), "9,223,372,036,854,775,807");
  EXPECT_EQ(FormatCount64(std::numeric_limits<int64_t>::min()), "-9,223,372,036,854,775,808");
}

TEST(FormatNumbers, BytesAreSingularOnlyForOne) {
  const IntCase cases[] = {
      {0, "0 bytes"},     {1, "1 byte"},       {2, "2 bytes"},
      {2048, "2,048 bytes"}, {-1, "-1 bytes"}, {1073741824, "1,073,741,824 bytes"},
  };
  for (const IntCase& c : cases) EXPECT_EQ(FormatBytes(c.Value), c.Expected) << c.Value;
}

TEST(FormatNumbers, SizeScalesToTheLargestFittingUnit) {
  const int64_t int64Max = std::numeric_limits<int64_t>::max();
  const IntCase cases[] = {
      {0, "0 bytes"},
      {1, "1 bytes"},  // the unit word of a size is always plural
      {1023, "1,023 bytes"},
      {1024, "1,024 bytes"},  // KB only strictly above 1024 bytes
      {1025, "1 KB"},
      {1536, "2 KB"},
      {2560, "2 KB"},  // exact tie 2.5: rounded to even, as printf does
      {3584, "4 KB"},  // exact tie 3.5
      {1047552, "1,023 KB"},
      {1048575, "1,024 KB"},  // 1023.999 KB, no decimals
      {1048576, "1.0 MB"},
      {1310720, "1.2 MB"},   // exact tie 1.25
      {1572864, "1.5 MB"},
      {1073741823, "1,024.0 MB"},
      {1073741824, "1.00 GB"},
      {5368709120, "5.00 GB"},
      {1099511627776, "1,024.00 GB"},
      {int64Max, "8,589,934,592.00 GB"},
      {-1, "-1 bytes"},
      {-1024, "-1,024 bytes"},
      {-1025, "-1 KB"},
      {-1048575, "-1,024 KB"},
      {-1048576, "-1.0 MB"},
      {-5368709120, "-5.00 GB"},
      {std::numeric_limits<int64_t>::min(), "-8,589,934,592.00 GB"},
  };
  for (const IntCase& c : cases) EXPECT_EQ(FormatSize(c.Value), c.Expected) << c.Value;
}

TEST(FormatNumbers, Size32NeverReachesGigabytes) {
  const IntCase cases[] = {
      {0, "0 bytes"},
      {512, "512 bytes"},
      {1024, "1,024 bytes"},
      {1025, "1 KB"},
      {1048575, "1,024 KB"},
      {1048576, "1.0 MB"},
      {1073741824, "1,024.0 MB"},
      {std::numeric_limits<int32_t>::max(), "2,048.0 MB"},
      {-1025, "-1 KB"},
      {std::numeric_limits<int32_t>::min(), "-2,048.0 MB"},
  };
  for (const IntCase& c : cases)
    EXPECT_EQ(FormatSize32(static_cast<int32_t>(c.Value)), c.Expected) << c.Value;
}

TEST(FormatNumbers, SeparatorsComeFromTheLocale) {
  ScopedLocale german(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(FormatCount(1234567), "1.234.567");
  EXPECT_EQ(FormatBytes(2048), "2.048 bytes");
  EXPECT_EQ(FormatSize(1025), "1 KB");
  EXPECT_EQ(FormatSize(1572864), "1,5 MB");
  EXPECT_EQ(FormatSize(1099511627776), "1.024,00 GB");
  EXPECT_EQ(FormatSize(-5368709120), "-5,00 GB");
}

// ---------------------------------------------------------------------------------------------
// Times. Each test runs in a fixed time zone: US Eastern with today's daylight-saving rule,
// written out as a POSIX rule so that the result does not depend on the tz database installed.

uint64_t FileTimeFromUnix(int64_t unixSeconds, uint64_t extraTicks = 0) {
  return static_cast<uint64_t>(unixSeconds + 11644473600) * 10000000 + extraTicks;
}

// The FILETIME of a UTC date and time.
uint64_t UtcFileTime(int y, int mo, int d, int h, int mi, int s, uint64_t extraTicks = 0) {
  using namespace std::chrono;
  const sys_seconds instant =
      sys_days(year(y) / mo / d) + hours(h) + minutes(mi) + seconds(s);
  return FileTimeFromUnix(instant.time_since_epoch().count(), extraTicks);
}

class FormatTimes : public ::testing::Test {
 protected:
  void SetUp() override {
    HadTz = qEnvironmentVariableIsSet("TZ");
    SavedTz = qgetenv("TZ");
    qputenv("TZ", "EST5EDT,M3.2.0,M11.1.0");
    tzset();
  }
  void TearDown() override {
    if (HadTz)
      qputenv("TZ", SavedTz);
    else
      qunsetenv("TZ");
    tzset();
  }

 private:
  bool HadTz = false;
  QByteArray SavedTz;
};

TEST_F(FormatTimes, ZeroFileTimeNeedsBothHalvesZero) {
  EXPECT_TRUE(IsZeroFileTime(0));
  EXPECT_FALSE(IsZeroFileTime(1));
  EXPECT_FALSE(IsZeroFileTime(uint64_t{1} << 32));
  EXPECT_EQ(FormatFileTime(0), "");
}

TEST_F(FormatTimes, FileTimeReadsInLocalTime) {
  struct Case {
    uint64_t FileTime;
    const char* Expected;
  };
  const Case cases[] = {
      // 21:05:07 EST on March 2 is already March 3 in UTC.
      {UtcFileTime(2004, 3, 3, 2, 5, 7), "Tuesday, March 2, 2004 09:05:07 PM"},
      // Summer time: UTC-4.
      {UtcFileTime(2021, 7, 4, 16, 30, 0), "Sunday, July 4, 2021 12:30:00 PM"},
      {UtcFileTime(2021, 7, 4, 17, 0, 1), "Sunday, July 4, 2021 01:00:01 PM"},
      {UtcFileTime(2021, 7, 4, 15, 59, 59), "Sunday, July 4, 2021 11:59:59 AM"},
      // Midnight UTC is 8 PM the evening before in New York.
      {UtcFileTime(2021, 7, 4, 0, 0, 0), "Saturday, July 3, 2021 08:00:00 PM"},
      // Local midnight: no time of day.
      {UtcFileTime(2021, 7, 4, 4, 0, 0), "Sunday, July 4, 2021"},
      {UtcFileTime(2004, 3, 2, 5, 0, 0), "Tuesday, March 2, 2004"},
      // A millisecond after local midnight shows the time; less than one does not.
      {UtcFileTime(2021, 7, 4, 4, 0, 0, 10000), "Sunday, July 4, 2021 12:00:00 AM"},
      {UtcFileTime(2021, 7, 4, 4, 0, 0, 9999), "Sunday, July 4, 2021"},
      {UtcFileTime(2021, 7, 4, 4, 0, 1), "Sunday, July 4, 2021 12:00:01 AM"},
      // Before the Unix epoch.
      {UtcFileTime(1969, 12, 31, 17, 0, 0), "Wednesday, December 31, 1969 12:00:00 PM"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFileTime(c.FileTime), c.Expected) << c.FileTime;
}

TEST_F(FormatTimes, DayAndMonthNamesComeFromTheLocale) {
  ScopedLocale german(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(FormatFileTime(UtcFileTime(2004, 3, 3, 2, 5, 7)), "Dienstag, März 2, 2004 09:05:07 PM");
  EXPECT_EQ(FormatFileTime(UtcFileTime(2004, 3, 2, 5, 0, 0)), "Dienstag, März 2, 2004");
}

struct DosFields {
  int Year, Month, Day, Hour, Minute, Second;
};

DosFields Unpack(uint32_t packed) {
  const uint32_t date = packed >> 16;
  const uint32_t time = packed & 0xFFFF;
  return {static_cast<int>(date >> 9) + 1980, static_cast<int>((date >> 5) & 0xF),
          static_cast<int>(date & 0x1F),      static_cast<int>(time >> 11),
          static_cast<int>((time >> 5) & 0x3F), static_cast<int>(time & 0x1F) * 2};
}

std::string Describe(const DosFields& f) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.Year, f.Month, f.Day, f.Hour,
                f.Minute, f.Second);
  return text;
}

TEST_F(FormatTimes, DosDateTimeHoldsTheLocalFields) {
  struct Case {
    uint64_t FileTime;
    const char* Expected;  // local time, seconds rounded down to even
  };
  const Case cases[] = {
      {UtcFileTime(2004, 3, 3, 2, 5, 7), "2004-03-02 21:05:06"},
      {UtcFileTime(2021, 7, 4, 16, 30, 58, 9999999), "2021-07-04 12:30:58"},
      {UtcFileTime(2021, 12, 31, 23, 59, 59), "2021-12-31 18:59:58"},
      {UtcFileTime(1980, 1, 1, 5, 0, 0), "1980-01-01 00:00:00"},
      {UtcFileTime(2107, 12, 31, 23, 0, 0), "2107-12-31 18:00:00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Describe(Unpack(PackedDosDateTime(c.FileTime))), c.Expected) << c.FileTime;

  // The date sits in the high half: 2004-03-02 is (24 << 9) | (3 << 5) | 2.
  EXPECT_EQ(PackedDosDateTime(UtcFileTime(2004, 3, 3, 2, 5, 7)) >> 16, 0x3062u);
}

TEST_F(FormatTimes, DosDateTimeSortsLikeTheTimes) {
  const std::vector<uint64_t> ascending = {
      UtcFileTime(1985, 6, 15, 12, 0, 0),  UtcFileTime(1999, 12, 31, 23, 59, 59),
      UtcFileTime(2000, 1, 1, 5, 0, 0),    UtcFileTime(2000, 1, 1, 5, 0, 2),
      UtcFileTime(2000, 1, 1, 5, 1, 0),    UtcFileTime(2000, 1, 1, 6, 0, 0),
      UtcFileTime(2000, 1, 2, 5, 0, 0),    UtcFileTime(2000, 2, 1, 5, 0, 0),
      UtcFileTime(2001, 1, 1, 5, 0, 0),
  };
  for (size_t i = 1; i < ascending.size(); ++i)
    EXPECT_LT(PackedDosDateTime(ascending[i - 1]), PackedDosDateTime(ascending[i])) << i;
}

TEST_F(FormatTimes, DosDateTimeClampsOutsideItsRange) {
  const uint32_t earliest = PackedDosDateTime(UtcFileTime(1980, 1, 1, 5, 0, 0));
  const uint32_t latest = PackedDosDateTime(UtcFileTime(2108, 1, 1, 4, 59, 59));
  EXPECT_EQ(Describe(Unpack(latest)), "2107-12-31 23:59:58");

  // Local 1979-12-31 23:59:59 is still before the range, and 1970 or 1601 far before it.
  EXPECT_EQ(PackedDosDateTime(UtcFileTime(1980, 1, 1, 4, 59, 59)), earliest);
  EXPECT_EQ(PackedDosDateTime(FileTimeFromUnix(0)), earliest);
  EXPECT_EQ(PackedDosDateTime(1), earliest);
  // Local 2108-01-01 00:00:00 is past it, and so is the largest FILETIME.
  EXPECT_EQ(PackedDosDateTime(UtcFileTime(2108, 1, 1, 5, 0, 0)), latest);
  EXPECT_EQ(PackedDosDateTime(std::numeric_limits<uint64_t>::max()), latest);
  // No time at all packs to 0, which no date unpacks from.
  EXPECT_EQ(PackedDosDateTime(0), 0u);
}

// ---------------------------------------------------------------------------------------------

TEST(FormatAttributes, NamesInFixedOrder) {
  struct Case {
    uint32_t Attributes;
    const char* Expected;
  };
  const Case cases[] = {
      {0x23, "Archive + ReadOnly + Hidden"},
      {0x10, "Directory"},
      {0, ""},
      {0x37, "Archive + ReadOnly + Hidden + System + Directory"},
      {0x14, "System + Directory"},
      {0x400 | 0x800, ""},  // bits without a name are left out
      {0x400 | 0x01, "ReadOnly"},
  };
  for (const Case& c : cases) EXPECT_EQ(AttributesText(c.Attributes), c.Expected) << c.Attributes;
}

TEST(FormatErrors, CaptionsByKind) {
  EXPECT_EQ(ProgramName, "Korvane");
  EXPECT_EQ(ErrorCaption(ekFatal), "Fatal error");
  EXPECT_EQ(ErrorCaption(ekInitialization), "Initialization error");
  EXPECT_EQ(ErrorCaption(ekProgram), "Korvane");
  EXPECT_EQ(ErrorCaption(3), "Korvane");
  EXPECT_EQ(ErrorCaption(-1), "Korvane");
}

}  // namespace
