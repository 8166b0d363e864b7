#include "platform/UserPath.h"

#include "tests/support/Fixture.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(UserPath, ArgumentsKeepEveryByteAndStayApart) {
  // Names that a lossy decoding would turn into one another or into U+FFFD.
  const QByteArray names[] = {
      "x\xe9",         "x\xef\xbf\xbd", "bad\xff\xfe", "\xc0\xaf",  "s\xed\xa0\x80", "\xf4\x90\x80\x80",
      "a\\b:c",        "\xef\x81\x9c",  "plain",      "\xe2\x82",  "/tmp/d\xe9j\xe0/f",
  };
  std::vector<QByteArray> storage(std::begin(names), std::end(names));
  std::vector<char*> argv{const_cast<char*>("program")};
  for (QByteArray& n : storage) argv.push_back(n.data());
  const QStringList args = DecodeArguments(static_cast<int>(argv.size()), argv.data());
  ASSERT_EQ(args.size(), static_cast<qsizetype>(storage.size()));
  std::set<QString> distinct;
  for (size_t i = 0; i < storage.size(); ++i) {
    SCOPED_TRACE(storage[i].toHex().constData());
    EXPECT_EQ(HostPathBytes(args[static_cast<qsizetype>(i)]), storage[i]);
    EXPECT_EQ(HostPathText(storage[i]), args[static_cast<qsizetype>(i)]);
    distinct.insert(args[static_cast<qsizetype>(i)]);
  }
  EXPECT_EQ(distinct.size(), storage.size());
  EXPECT_EQ(args[0], QStringLiteral("x") + QChar(0xDCE9));
}

TEST(UserPath, DroppedFileUrlsGiveTheBytesOfTheName) {
  const struct {
    const char* url;
    QByteArray bytes;
  } cases[] = {
      {"file:///tmp/bad%FFname", "/tmp/bad\xffname"},
      {"file:///tmp/a%20b/%C3%A9t%C3%A9", "/tmp/a b/\xc3\xa9t\xc3\xa9"},
      {"file:///tmp/x%E9", "/tmp/x\xe9"},
      {"file:///tmp/x%EF%BF%BD", "/tmp/x\xef\xbf\xbd"},
      {"https://example.org/x", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(LocalFileBytes(QUrl::fromEncoded(QByteArray(c.url))), c.bytes);
  }
}

TEST(UserPath, DotDotIsTakenBackOnlyWhereTheKernelGoesTheSameWay) {
  TFixtureTree fx;
  fx.Dir("real/sub");
  fx.Dir("plain");
  fx.File("file", 1);
  fx.Symlink(fx.Path("real/sub"), "lnk");
  TDriveScope drives({{'T', fx.Root()}});
  const QByteArray root = fx.Root();

  const struct {
    QByteArray given;
    QByteArray expected;  // empty: refused
  } hostCases[] = {
      {root + "/plain/../x", root + "/x"},
      {root + "//plain/./x/", root + "/plain/x"},
      {"plain/../real", root + "/real"},  // relative to the base
      {root + "/lnk/x", root + "/lnk/x"},  // a link not followed by "..": left as given
      {root + "/real/sub/../../x", root + "/x"},
      {"/..", "/"},
      {root + "/lnk/../x", ""},     // the kernel would reach real/x
      {root + "/missing/../x", ""}, // the kernel would fail
      {root + "/file/../x", ""},
      {"", ""},
  };
  for (const auto& c : hostCases) {
    SCOPED_TRACE(c.given.constData());
    QString error;
    const std::optional<QByteArray> got = CleanGivenHostPath(c.given, root, &error);
    if (c.expected.isEmpty()) {
      EXPECT_FALSE(got.has_value()) << got.value_or("").constData();
      EXPECT_FALSE(error.isEmpty());
    } else {
      EXPECT_EQ(got.value_or("(refused)"), c.expected) << error.toStdString();
    }
  }

  const struct {
    const char* given;
    QByteArray expected;
  } driveCases[] = {
      {"T:\\plain\\..\\x", root + "/x"},
      {"T:\\\xef\x81\x9c\\b\xff", root + "/\xef\x81\x9c/b\xff"},  // the bytes given, whatever they are
      {"t:/plain/x", root + "/plain/x"},
      {"T:\\..\\..\\x", root + "/x"},  // never above the drive root
      {"T:", root},
      {"T:\\lnk\\..\\x", ""},
      {"T:\\missing\\..", ""},
      {"Q:\\x", ""},
  };
  for (const auto& c : driveCases) {
    SCOPED_TRACE(c.given);
    QString error;
    const std::optional<QByteArray> got = GivenDrivePathToHost(HostPathText(c.given), &error);
    if (c.expected.isEmpty()) {
      EXPECT_FALSE(got.has_value());
      EXPECT_FALSE(error.isEmpty());
    } else {
      EXPECT_EQ(got.value_or("(refused)"), c.expected) << error.toStdString();
    }
  }
}

}  // namespace
