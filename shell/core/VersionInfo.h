// The version information compiled into the program (the string table with translation
// 0409/04E4 and the fixed file flags), read through functions that behave like the Windows
// version queries, and the text a version label shows for one of its fields.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

enum TVersionResources {
  vrCompanyName,
  vrFileDescription,
  vrFileVersion,
  vrInternalName,
  vrLegalCopyright,
  vrOriginalFilename,
  vrProductName,
  vrProductVersion,
  vrComments,
  vrFlags,
};

// The string-table key and the prefix that choosing a field sets.
QString VersionResourceKey(TVersionResources resource);
QString VersionResourcePrefix(TVersionResources resource);

// Fixed file flags.
enum : uint32_t {
  VersionFlagDebug = 0x01,
  VersionFlagPreRelease = 0x02,
  VersionFlagPatched = 0x04,
  VersionFlagPrivateBuild = 0x08,
  VersionFlagInfoInferred = 0x10,
  VersionFlagSpecialBuild = 0x20,
};
// "Debug Build, Special Build": the names of the set flags in their fixed order.
QString VersionFlagsText(uint32_t flags);

struct TVersionBlock {
  std::optional<uint32_t> FileFlags;  // none: the block has no fixed information
  // The translation table: per entry a language and a code page, each a little-endian 16-bit word.
  QByteArray Translations;
  // String tables by "LLLLCCCC" (upper-case hexadecimal), each from key to value.
  std::map<QString, std::map<QString, QString>> StringTables;
};

// What asking the system for the program's version information gives.
struct TVersionSource {
  enum TState { NoData, ReadError, Present };
  TState State = NoData;
  TVersionBlock Block;
};

// The program's version "3.0.1", the build number and the full file version "3.0.1.<build>".
QString ProgramVersion();
QString ProgramBuildNumber();
QString ProgramFileVersion();
// The block compiled into the program.
TVersionBlock CompiledVersionBlock();
// The program's version information: the compiled block, or what a test put in its place.
TVersionSource ProgramVersionSource();
// Test seam: while set, ProgramVersionSource returns what source gives; empty restores it.
void SetVersionSourceForTest(std::function<TVersionSource()> source);

// The widget-free state of a version label: which field it shows and how.
class TVersionLabelText {
public:
  TVersionResources VersionResource() const { return resource_; }
  const QString& VersionResourceKey() const { return key_; }
  const QString& InfoPrefix() const { return prefix_; }
  bool ShowInfoPrefix() const { return showPrefix_; }
  const QString& LangCharset() const { return langCharset_; }

  // Sets the key, then the prefix, from the table.
  void SetVersionResource(TVersionResources resource);
  // Sets the key; the prefix becomes the key too.
  void SetVersionResourceKey(const QString& key);
  void SetInfoPrefix(const QString& prefix) { prefix_ = prefix; }
  void SetShowInfoPrefix(bool show) { showPrefix_ = show; }
  void SetLangCharset(const QString& langCharset) { langCharset_ = langCharset; }

  // The field's value from the program's version information. Reading the first translation
  // when LangCharset is "-1" keeps it in LangCharset.
  QString Value();
  // The value behind the prefix and a blank when the prefix is shown, else the value alone.
  QString Text();

private:
  TVersionResources resource_ = vrFileVersion;
  QString key_ = QStringLiteral("FileVersion");
  QString prefix_ = QStringLiteral("File Version:");
  bool showPrefix_ = true;
  QString langCharset_ = QStringLiteral("-1");
};
