#include "scan/Format.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <QTime>

#include <charconv>
#include <cmath>
#include <string_view>

const QString ProgramName = QStringLiteral("Korvane");

namespace {

// ---------------------------------------------------------------------------------------------
// Numbers

// `value` with exactly `decimals` decimals, the user's group and decimal separators and digits.
// The digits come from std::to_chars, which rounds like printf: to the nearest decimal of the
// exact binary value, ties to even (2.5 KB reads 2 KB, 1.25 MB reads 1.2 MB). QLocale's own
// double conversion rounds ties upwards, so it is only used for grouping the integral part.
QString FormatFixed(double value, int decimals) {
  const QLocale locale;
  char buffer[400];  // the widest double in fixed notation has 309 integral digits
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return locale.toString(value, 'f', decimals);

  std::string_view text(buffer, static_cast<size_t>(end - buffer));
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  const size_t point = text.find('.');
  const std::string_view integral = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);

  unsigned long long whole = 0;
  const auto parsed = std::from_chars(integral.data(), integral.data() + integral.size(), whole);
  if (parsed.ec != std::errc() || parsed.ptr != integral.data() + integral.size())
    return locale.toString(value, 'f', decimals);  // beyond 64 bits: no size gets here

  // A value that rounds to zero reads without a sign ("-0.0" would look like a fault).
  if (negative && whole == 0 && fraction.find_first_not_of('0') == std::string_view::npos)
    negative = false;

  QString result;
  if (negative) result += locale.negativeSign();
  result += locale.toString(whole);
  if (!fraction.empty()) {
    result += locale.decimalPoint();
    for (const char digit : fraction) result += locale.toString(digit - '0');
  }
  return result;
}

// The unit is chosen by the magnitude, so that a negative size reads like the positive one with
// a sign in front instead of as a long count of bytes.
QString ScaledSize(double x, bool withGigabytes) {
  const double k = x / 1024;
  const double m = x / 1048576;
  if (withGigabytes && std::fabs(m) >= 1024) return FormatFixed(m / 1024, 2) + QStringLiteral(" GB");
  if (std::fabs(k) >= 1024) return FormatFixed(k / 1024, 1) + QStringLiteral(" MB");
  if (std::fabs(x) > 1024) return FormatFixed(k, 0) + QStringLiteral(" KB");
  return FormatFixed(x, 0) + QStringLiteral(" bytes");
}

// ---------------------------------------------------------------------------------------------
// Times

// Seconds from 1601-01-01 (the FILETIME epoch) to 1970-01-01 (the Unix epoch).
constexpr int64_t FileTimeEpochOffsetSeconds = 11644473600;
constexpr uint64_t FileTimeTicksPerMillisecond = 10000;

// The local date and time of a FILETIME, to the millisecond (the 100-ns rest is dropped).
QDateTime LocalDateTime(uint64_t fileTime) {
  const auto msSince1601 = static_cast<int64_t>(fileTime / FileTimeTicksPerMillisecond);
  return QDateTime::fromMSecsSinceEpoch(msSince1601 - FileTimeEpochOffsetSeconds * 1000,
                                        Qt::LocalTime);
}

constexpr uint32_t PackDos(uint32_t year, uint32_t month, uint32_t day, uint32_t hour,
                           uint32_t minute, uint32_t second) {
  const uint32_t date = ((year - 1980) << 9) | (month << 5) | day;
  const uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
  return (date << 16) | time;
}

// The range a DOS date and time can hold.
constexpr uint32_t EarliestDosDateTime = PackDos(1980, 1, 1, 0, 0, 0);
constexpr uint32_t LatestDosDateTime = PackDos(2107, 12, 31, 23, 59, 58);

}  // namespace

QString FormatCount(int32_t value) { return QLocale().toString(static_cast<qlonglong>(value)); }

// Formatted from the integer itself: a double would lose the last digits of large values.
QString FormatCount64(int64_t value) { return QLocale().toString(static_cast<qlonglong>(value)); }

QString FormatBytes(int64_t value) {
  return FormatCount64(value) + (value == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
}

QString FormatSize(int64_t value) { return ScaledSize(static_cast<double>(value), true); }

QString FormatSize32(int32_t value) { return ScaledSize(static_cast<double>(value), false); }

bool IsZeroFileTime(uint64_t fileTime) { return fileTime == 0; }

// A zero FILETIME stands for "no time at all" (a folder without files), so it reads as an empty
// text rather than as a day in 1600.
QString FormatFileTime(uint64_t fileTime) {
  if (IsZeroFileTime(fileTime)) return QString();
  const QDateTime local = LocalDateTime(fileTime);
  if (!local.isValid()) return QString();

  const QLocale locale;
  QString text = locale.toString(local.date(), QStringLiteral("dddd, MMMM d, yyyy"));
  const QTime time = local.time();
  if (time == QTime(0, 0)) return text;  // exactly midnight, milliseconds included

  // Two-digit hour on a 12-hour clock (12 for the hours 0 and 12), then the locale's AM or PM.
  const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
  text += QLatin1Char(' ');
  text += locale.toString(QTime(hour12, time.minute(), time.second()), QStringLiteral("hh:mm:ss"));
  text += QLatin1Char(' ');
  text += time.hour() < 12 ? locale.amText() : locale.pmText();
  return text;
}

// A zero FILETIME gives 0, which is no valid DOS date (month and day 0) and so reads as "no
// time" wherever the packed value is turned back into a date. Times outside what a DOS date can
// hold are clamped to its first or last moment, which keeps packed values in the order of the
// times they stand for.
uint32_t PackedDosDateTime(uint64_t fileTime) {
  if (IsZeroFileTime(fileTime)) return 0;
  const QDateTime local = LocalDateTime(fileTime);
  if (!local.isValid()) return LatestDosDateTime;  // only times far beyond any calendar in use
  const QDate date = local.date();
  const QTime time = local.time();
  if (date.year() < 1980) return EarliestDosDateTime;
  if (date.year() > 2107) return LatestDosDateTime;
  return PackDos(static_cast<uint32_t>(date.year()), static_cast<uint32_t>(date.month()),
                 static_cast<uint32_t>(date.day()), static_cast<uint32_t>(time.hour()),
                 static_cast<uint32_t>(time.minute()), static_cast<uint32_t>(time.second()));
}

QString AttributesText(uint32_t attributes) {
  struct Name {
    uint32_t Bit;
    const char* Text;
  };
  static constexpr Name Names[] = {
      {0x20, "Archive"}, {0x01, "ReadOnly"}, {0x02, "Hidden"}, {0x04, "System"}, {0x10, "Directory"},
  };
  QStringList parts;
  for (const Name& name : Names)
    if (attributes & name.Bit) parts << QLatin1String(name.Text);
  return parts.join(QStringLiteral(" + "));
}

// A kind the program does not know gets the neutral caption, the program's name.
QString ErrorCaption(int kind) {
  switch (kind) {
    case ekFatal:
      return QStringLiteral("Fatal") + QStringLiteral(" error");
    case ekInitialization:
      return QStringLiteral("Initialization") + QStringLiteral(" error");
    default:
      return ProgramName;
  }
}
