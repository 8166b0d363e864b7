// Version label texts: the compiled-in block, every placeholder text through the test source,
// the flags, the prefix rules of the setters and the translation kept after the first read.
#include "shell/core/VersionInfo.h"

#include <QtEndian>

#include <gtest/gtest.h>

namespace {

struct TSourceScope {
  explicit TSourceScope(std::function<TVersionSource()> source) { SetVersionSourceForTest(std::move(source)); }
  ~TSourceScope() { SetVersionSourceForTest({}); }
};

QByteArray Translation(uint16_t language, uint16_t codePage) {
  QByteArray bytes(4, '\0');
  qToLittleEndian<uint16_t>(language, bytes.data());
  qToLittleEndian<uint16_t>(codePage, bytes.data() + 2);
  return bytes;
}

TVersionSource Block(QByteArray translations, std::optional<uint32_t> flags = 0) {
  TVersionSource source{TVersionSource::Present, {}};
  source.Block.FileFlags = flags;
  source.Block.Translations = std::move(translations);
  source.Block.StringTables[QStringLiteral("040704B0")] = {{QStringLiteral("FileVersion"), QStringLiteral("9.8.7.6")},
                                                          {QStringLiteral("Comments"), QString()}};
  return source;
}

}  // namespace

TEST(VersionInfo, CompiledBlockGivesTheBuildLine) {
  EXPECT_EQ(ProgramVersion(), QStringLiteral("3.0.1"));
  EXPECT_FALSE(ProgramBuildNumber().isEmpty());
  bool numeric = false;
  ProgramBuildNumber().toInt(&numeric);
  EXPECT_TRUE(numeric) << qPrintable(ProgramBuildNumber());

  TVersionLabelText label;
  label.SetVersionResource(vrFileVersion);
  label.SetInfoPrefix(QStringLiteral("Build "));
  EXPECT_EQ(label.Text(), QStringLiteral("Build  3.0.1.") + ProgramBuildNumber());
  EXPECT_EQ(label.LangCharset(), QStringLiteral("040904E4"));
  label.SetVersionResource(vrProductName);
  EXPECT_EQ(label.Text(), QStringLiteral("Product Name: Korvane"));
}

TEST(VersionInfo, PlaceholderTexts) {
  struct TCase {
    const char* What;
    TVersionSource Source;
    TVersionResources Resource;
    const char* LangCharset;
    const char* Value;
  } cases[] = {
      {"no block", {TVersionSource::NoData, {}}, vrFileVersion, "-1", "< No Data Available >"},
      {"unreadable", {TVersionSource::ReadError, {}}, vrFileVersion, "-1", "< Error retrieving version info >"},
      {"short translation table", Block(QByteArray(3, '\0')), vrFileVersion, "-1", "< Error retrieving translation info >"},
      {"first translation", Block(Translation(0x0407, 0x04B0)), vrFileVersion, "-1", "9.8.7.6"},
      {"explicit table", Block(QByteArray()), vrFileVersion, "040704b0", "9.8.7.6"},
      {"missing table", Block(Translation(0x0409, 0x04E4)), vrFileVersion, "-1", "< Error retrieving version info >"},
      {"missing key", Block(Translation(0x0407, 0x04B0)), vrCompanyName, "-1", "< Error retrieving version info >"},
      {"empty value", Block(Translation(0x0407, 0x04B0)), vrComments, "-1", "< No Version Info >"},
      {"no fixed information", Block(QByteArray(), std::nullopt), vrFlags, "-1", "< Error retrieving version info >"},
      {"no flags", Block(QByteArray(), 0), vrFlags, "-1", ""},
      {"two flags", Block(QByteArray(), 0x21), vrFlags, "-1", "Debug Build, Special Build"},
      {"every flag", Block(QByteArray(), 0x3F), vrFlags, "-1",
       "Debug Build, Pre-Release Build, Patched Build, Private Build, InfoInferred, Special Build"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TSourceScope scope([&] { return c.Source; });
    TVersionLabelText label;
    label.SetVersionResource(c.Resource);
    label.SetLangCharset(QString::fromLatin1(c.LangCharset));
    label.SetShowInfoPrefix(false);
    EXPECT_EQ(label.Text(), QString::fromUtf8(c.Value));
    label.SetShowInfoPrefix(true);
    EXPECT_EQ(label.Text(), VersionResourcePrefix(c.Resource) + QLatin1Char(' ') + QString::fromUtf8(c.Value));
  }
}

TEST(VersionInfo, FirstTranslationIsKept) {
  TSourceScope scope([] { return Block(Translation(0x0407, 0x04B0)); });
  TVersionLabelText label;
  EXPECT_EQ(label.Value(), QStringLiteral("9.8.7.6"));
  EXPECT_EQ(label.LangCharset(), QStringLiteral("040704B0"));
}

TEST(VersionInfo, SettersSetKeyAndPrefix) {
  TVersionLabelText label;
  EXPECT_EQ(label.VersionResource(), vrFileVersion);
  EXPECT_EQ(label.InfoPrefix(), QStringLiteral("File Version:"));
  EXPECT_TRUE(label.ShowInfoPrefix());
  EXPECT_EQ(label.LangCharset(), QStringLiteral("-1"));
  label.SetVersionResource(vrLegalCopyright);
  EXPECT_EQ(label.VersionResourceKey(), QStringLiteral("LegalCopyright"));
  EXPECT_EQ(label.InfoPrefix(), QStringLiteral("Legal Copyright:"));
  label.SetVersionResourceKey(QStringLiteral("SpecialBuild"));
  EXPECT_EQ(label.VersionResourceKey(), QStringLiteral("SpecialBuild"));
  EXPECT_EQ(label.InfoPrefix(), QStringLiteral("SpecialBuild"));
}
