// The compiled-in version information and the version label's text.

#include "shell/core/VersionInfo.h"

#include <QStringList>
#include <QtEndian>

#include <utility>

#ifndef KORVANE_VERSION
#error "KORVANE_VERSION comes from the build"
#endif
#ifndef KORVANE_BUILD_NUMBER
#error "KORVANE_BUILD_NUMBER comes from the build"
#endif

namespace {

struct TResourceName {
  const char* Key;
  const char* Prefix;
};

constexpr TResourceName ResourceNames[] = {
    {"CompanyName", "Company Name:"},         {"FileDescription", "File Description:"},
    {"FileVersion", "File Version:"},         {"InternalName", "Internal Name:"},
    {"LegalCopyright", "Legal Copyright:"},   {"OriginalFilename", "Original Filename:"},
    {"ProductName", "Product Name:"},         {"ProductVersion", "Product Version:"},
    {"Comments", "Comments:"},                {"Flags", "Flags:"},
};

const QString ErrorRetrieving = QStringLiteral("< Error retrieving version info >");

std::function<TVersionSource()>& TestSource() {
  static std::function<TVersionSource()> source;
  return source;
}

}  // namespace

QString VersionResourceKey(TVersionResources resource) { return QString::fromLatin1(ResourceNames[resource].Key); }
QString VersionResourcePrefix(TVersionResources resource) { return QString::fromLatin1(ResourceNames[resource].Prefix); }

QString VersionFlagsText(uint32_t flags) {
  static constexpr std::pair<uint32_t, const char*> names[] = {
      {VersionFlagDebug, "Debug Build"},          {VersionFlagPreRelease, "Pre-Release Build"},
      {VersionFlagPatched, "Patched Build"},      {VersionFlagPrivateBuild, "Private Build"},
      {VersionFlagInfoInferred, "InfoInferred"},  {VersionFlagSpecialBuild, "Special Build"},
  };
  QStringList parts;
  for (const auto& [flag, name] : names)
    if (flags & flag) parts << QString::fromLatin1(name);
  return parts.join(QStringLiteral(", "));
}

QString ProgramVersion() { return QStringLiteral(KORVANE_VERSION); }
QString ProgramBuildNumber() { return QStringLiteral(KORVANE_BUILD_NUMBER); }
QString ProgramFileVersion() { return ProgramVersion() + QLatin1Char('.') + ProgramBuildNumber(); }

TVersionBlock CompiledVersionBlock() {
  TVersionBlock block;
  block.FileFlags = 0;
  block.Translations = QByteArray(4, '\0');
  qToLittleEndian<uint16_t>(0x0409, block.Translations.data());
  qToLittleEndian<uint16_t>(0x04E4, block.Translations.data() + 2);
  block.StringTables[QStringLiteral("040904E4")] = {
      {QStringLiteral("CompanyName"), QStringLiteral("Morvell")},
      {QStringLiteral("FileDescription"), QStringLiteral("Korvane disk space analyzer")},
      {QStringLiteral("FileVersion"), ProgramFileVersion()},
      {QStringLiteral("InternalName"), QStringLiteral("korvane")},
      {QStringLiteral("LegalCopyright"), QStringLiteral("Copyright (C) Morvell")},
      {QStringLiteral("OriginalFilename"), QStringLiteral("korvane")},
      {QStringLiteral("ProductName"), QStringLiteral("Korvane")},
      {QStringLiteral("ProductVersion"), ProgramVersion()},
  };
  return block;
}

TVersionSource ProgramVersionSource() {
  if (TestSource()) return TestSource()();
  return {TVersionSource::Present, CompiledVersionBlock()};
}

void SetVersionSourceForTest(std::function<TVersionSource()> source) { TestSource() = std::move(source); }

void TVersionLabelText::SetVersionResource(TVersionResources resource) {
  resource_ = resource;
  key_ = ::VersionResourceKey(resource);
  prefix_ = VersionResourcePrefix(resource);
}

void TVersionLabelText::SetVersionResourceKey(const QString& key) {
  key_ = key;
  prefix_ = key;
}

QString TVersionLabelText::Value() {
  const TVersionSource source = ProgramVersionSource();
  if (source.State == TVersionSource::NoData) return QStringLiteral("< No Data Available >");
  if (source.State == TVersionSource::ReadError) return ErrorRetrieving;
  const TVersionBlock& block = source.Block;
  if (resource_ == vrFlags) {
    if (!block.FileFlags) return ErrorRetrieving;
    return VersionFlagsText(*block.FileFlags);
  }
  if (langCharset_ == QLatin1String("-1")) {
    if (block.Translations.size() < 4) return QStringLiteral("< Error retrieving translation info >");
    const uint16_t language = qFromLittleEndian<uint16_t>(block.Translations.constData());
    const uint16_t codePage = qFromLittleEndian<uint16_t>(block.Translations.constData() + 2);
    langCharset_ = QStringLiteral("%1%2").arg(language, 4, 16, QLatin1Char('0')).arg(codePage, 4, 16, QLatin1Char('0')).toUpper();
  }
  const auto table = block.StringTables.find(langCharset_.toUpper());
  if (table == block.StringTables.end()) return ErrorRetrieving;
  // Keys compare without regard to case, as the system's query does.
  for (const auto& [name, value] : table->second) {
    if (name.compare(key_, Qt::CaseInsensitive) != 0) continue;
    return value.isEmpty() ? QStringLiteral("< No Version Info >") : value;
  }
  return ErrorRetrieving;
}

QString TVersionLabelText::Text() {
  const QString value = Value();
  return showPrefix_ ? prefix_ + QLatin1Char(' ') + value : value;
}
