#include "platform/HostNames.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string_view View(const QByteArray& bytes) {
  return std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += digits[b >> 4];
    out += digits[b & 15];
    out += ' ';
  }
  return out;
}

std::string Units(const QString& text) {
  std::string out;
  for (QChar c : text) out += QString::number(c.unicode(), 16).rightJustified(4, QLatin1Char('0')).toStdString() + ' ';
  return out;
}

QString FromUnits(std::initializer_list<char16_t> units) {
  QString out;
  for (char16_t u : units) out.append(QChar(u));
  return out;
}

struct TNameCase {
  const char* What;
  QByteArray Raw;
  QString Decoded;
};

TEST(HostNames, HandCasesDecodeAsExpectedAndEncodeBackExactly) {
  const std::vector<TNameCase> cases = {
      {"empty", QByteArray(), QString()},
      {"ASCII", "plain name.txt", QStringLiteral("plain name.txt")},
      {"two-byte UTF-8", "caf\xc3\xa9", FromUnits({'c', 'a', 'f', 0x00E9})},
      {"three-byte UTF-8", "\xe2\x82\xac" "5", FromUnits({0x20AC, '5'})},
      {"four-byte UTF-8 (emoji)", "\xf0\x9f\x98\x80!", FromUnits({0xD83D, 0xDE00, '!'})},
      {"highest code point", "\xf4\x8f\xbf\xbf", FromUnits({0xDBFF, 0xDFFF})},
      {"invalid byte", "a\xff" "b", FromUnits({'a', 0xDCFF, 'b'})},
      {"overlong slash", "\xc0\xaf", FromUnits({0xDCC0, 0xDCAF})},
      {"overlong four-byte", "\xf0\x8f\xbf\xbf", FromUnits({0xDCF0, 0xDC8F, 0xDCBF, 0xDCBF})},
      {"past U+10FFFF", "\xf4\x90\x80\x80", FromUnits({0xDCF4, 0xDC90, 0xDC80, 0xDC80})},
      {"lone continuation byte", "x\x80y", FromUnits({'x', 0xDC80, 'y'})},
      {"truncated sequence at the end", "ab\xe2\x82", FromUnits({'a', 'b', 0xDCE2, 0xDC82})},
      {"truncated sequence before ASCII", "\xf0\x9f" "z", FromUnits({0xDCF0, 0xDC9F, 'z'})},
      {"encoded surrogate", "\xed\xa0\x80", FromUnits({0xDCED, 0xDCA0, 0xDC80})},
      {"backslash", "a\\b", FromUnits({'a', 0xF05C, 'b'})},
      {"colon", "c:d", FromUnits({'c', 0xF03A, 'd'})},
      {"literal U+F05C", "\xef\x81\x9c", FromUnits({0xDCEF, 0xDC81, 0xDC9C})},
      {"literal U+F03A", "\xef\x80\xba", FromUnits({0xDCEF, 0xDC80, 0xDCBA})},
  };
  for (const TNameCase& c : cases) {
    SCOPED_TRACE(c.What);
    const QString decoded = DecodeHostName(View(c.Raw));
    EXPECT_EQ(decoded, c.Decoded) << Units(decoded);
    const QByteArray encoded = EncodeHostName(decoded);
    EXPECT_EQ(encoded, c.Raw) << Hex(View(encoded));
  }
}

TEST(HostNames, PrivateUseCharactersStandForBackslashAndColonOnTheWayOut) {
  EXPECT_EQ(EncodeHostName(FromUnits({'a', HostBackslashChar, 'b', HostColonChar})), QByteArray("a\\b:"));
  // The real U+F05C of a host name is escaped, so it never turns into a "\" on the way out.
  const QString literal = DecodeHostName("\xef\x81\x9c");
  EXPECT_FALSE(literal.contains(QChar(HostBackslashChar)));
  EXPECT_NE(EncodeHostName(literal), QByteArray("\\"));
}

// Byte strings that reach every branch of the decoder often: whole and cut-off sequences,
// surrogates, overlong forms, the two private-use characters and plain random bytes.
QByteArray RandomName(std::mt19937& rng) {
  std::uniform_int_distribution<int> length(0, 12);
  std::uniform_int_distribution<int> kind(0, 8);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<char32_t> bmp(0x80, 0xFFFF);
  std::uniform_int_distribution<char32_t> astral(0x10000, 0x10FFFF);
  QByteArray out;
  const int pieces = length(rng);
  for (int p = 0; p < pieces; ++p) {
    switch (kind(rng)) {
      case 0:
        out.push_back(static_cast<char>(byte(rng)));
        break;
      case 1:
        out.push_back(static_cast<char>(0x20 + byte(rng) % 0x5F));
        break;
      case 2:
        out.push_back(byte(rng) % 2 ? '\\' : ':');
        break;
      case 3:
      case 4: {
        char32_t cp = kind(rng) % 2 ? bmp(rng) : astral(rng);
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xE000;
        QByteArray seq = QString::fromUcs4(&cp, 1).toUtf8();
        if (kind(rng) == 0) seq.chop(1 + byte(rng) % (seq.size() - 1));  // cut off, at least one byte left
        out += seq;
        break;
      }
      case 5:
        out += byte(rng) % 2 ? QByteArray("\xef\x81\x9c") : QByteArray("\xef\x80\xba");
        break;
      case 6:  // a surrogate spelt in three bytes
        out.push_back('\xed');
        out.push_back(static_cast<char>(0xA0 + byte(rng) % 0x20));
        out.push_back(static_cast<char>(0x80 + byte(rng) % 0x40));
        break;
      case 7:  // overlong forms
        out.push_back(byte(rng) % 2 ? '\xc0' : '\xc1');
        out.push_back(static_cast<char>(0x80 + byte(rng) % 0x40));
        break;
      default:  // a lead byte with a run of continuation bytes of any length
        out.push_back(static_cast<char>(0xC0 + byte(rng) % 0x40));
        for (int k = byte(rng) % 5; k > 0; --k) out.push_back(static_cast<char>(0x80 + byte(rng) % 0x40));
        break;
    }
  }
  return out;
}

TEST(HostNames, EveryByteStringSurvivesDecodeAndEncode) {
  std::mt19937 rng(20240611);
  int plain = 0;
  for (int i = 0; i < 20000; ++i) {
    const QByteArray raw = RandomName(rng);
    const QString decoded = DecodeHostName(View(raw));
    ASSERT_EQ(EncodeHostName(decoded), raw) << Hex(View(raw));
    // Drive paths split at these two: a name must never bring them in.
    ASSERT_FALSE(decoded.contains(QLatin1Char('\\')) || decoded.contains(QLatin1Char(':'))) << Hex(View(raw));
    // Plain means: the decoded text is the bytes read as UTF-8, unchanged.
    const bool same = EncodeWtf8(decoded) == std::string(View(raw));
    ASSERT_EQ(IsPlainHostName(View(raw)), same) << Hex(View(raw));
    plain += same;
  }
  // The generator must exercise both answers of IsPlainHostName.
  EXPECT_GT(plain, 100);
  EXPECT_LT(plain, 19900);
}

TEST(HostNames, PlainNamesAreExactlyValidUtf8WithoutBackslashColonOrTheirStandIns) {
  EXPECT_TRUE(IsPlainHostName(""));
  EXPECT_TRUE(IsPlainHostName("caf\xc3\xa9 \xf0\x9f\x98\x80"));
  EXPECT_TRUE(IsPlainHostName("\xef\x81\x9d"));  // U+F05D is an ordinary character
  EXPECT_FALSE(IsPlainHostName("a\\b"));
  EXPECT_FALSE(IsPlainHostName("a:b"));
  EXPECT_FALSE(IsPlainHostName("\xef\x81\x9c"));
  EXPECT_FALSE(IsPlainHostName("\xef\x80\xba"));
  EXPECT_FALSE(IsPlainHostName("\xff"));
  EXPECT_FALSE(IsPlainHostName("\xed\xa0\x80"));
  EXPECT_FALSE(IsPlainHostName("ok\xe2\x82"));
}

TEST(HostNames, Wtf8CarriesLoneSurrogatesAndPairs) {
  const std::vector<QString> cases = {
      QString(),
      QStringLiteral("plain"),
      FromUnits({0x00E9, 0x20AC, 0xFFFF}),
      FromUnits({0xD83D, 0xDE00}),          // a pair
      FromUnits({0xD800}),                  // lone high
      FromUnits({0xDC00}),                  // lone low
      FromUnits({0xDFFF, 'x'}),
      FromUnits({'a', 0xD83D}),             // high at the end
      FromUnits({0xDE00, 0xD83D}),          // low before high: two lone ones
      FromUnits({0xD800, 0xD800, 0xDC00}),  // lone high, then a pair
      FromUnits({0xDCFF, HostBackslashChar, HostColonChar}),
  };
  for (const QString& text : cases) {
    SCOPED_TRACE(Units(text));
    const std::string bytes = EncodeWtf8(text);
    EXPECT_EQ(DecodeWtf8(bytes), text) << Hex(bytes);
    if (QStringView(text).isValidUtf16()) {
      EXPECT_EQ(bytes, text.toStdString());
    }
  }
  EXPECT_EQ(EncodeWtf8(FromUnits({0xD800})), std::string("\xed\xa0\x80"));
  std::string appended = "ab";
  AppendWtf8(appended, QStringLiteral("c"));
  EXPECT_EQ(appended, "abc");
}

TEST(HostNames, RandomUtf16TextSurvivesWtf8) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> length(0, 10);
  std::uniform_int_distribution<int> kind(0, 4);
  std::uniform_int_distribution<int> unit(0, 0xFFFF);
  for (int i = 0; i < 20000; ++i) {
    QString text;
    for (int n = length(rng); n > 0; --n) {
      switch (kind(rng)) {
        case 0: text.append(QChar(static_cast<char16_t>(unit(rng) % 0x80))); break;
        case 1: text.append(QChar(static_cast<char16_t>(0xD800 + unit(rng) % 0x400))); break;
        case 2: text.append(QChar(static_cast<char16_t>(0xDC00 + unit(rng) % 0x400))); break;
        default: text.append(QChar(static_cast<char16_t>(unit(rng)))); break;
      }
    }
    const std::string bytes = EncodeWtf8(text);
    ASSERT_EQ(DecodeWtf8(bytes), text) << Units(text);
  }
}

}  // namespace

namespace {

TEST(HostNamesEscaped, AnyBytesComeBackAndSeparatorsStayAsTheyAre) {
  std::mt19937 random(20261210);
  for (int n = 0; n < 5000; ++n) {
    QByteArray bytes(static_cast<qsizetype>(random() % 24), '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    ASSERT_EQ(EncodeEscapedUtf8(DecodeEscapedUtf8(bytes)), bytes) << bytes.toHex().toStdString();
  }
  EXPECT_EQ(DecodeEscapedUtf8(QByteArray("a\\b:c")), QStringLiteral("a\\b:c"));
  EXPECT_EQ(DecodeEscapedUtf8(QByteArray("\xff")), QString(QChar(0xDCFF)));
  EXPECT_EQ(EncodeEscapedUtf8(QString(QChar(0xD800))), QByteArray("\xEF\xBF\xBD"));
}

}  // namespace
