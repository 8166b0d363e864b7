#include "config/RegIniFile.h"

#include <cstring>
#include <limits>

namespace {

// Types ReadBinary takes: binary, and the types this accessor has no reading of its own for
// (untyped data, multi-strings, 64-bit numbers and any unknown type). Strings and DWORDs are
// not binary blocks.
bool IsBinaryLike(TRegType type) {
  return type != TRegType::String && type != TRegType::ExpandString && type != TRegType::DWord;
}

}  // namespace

std::optional<int32_t> ParseStoredInteger(const QString& text) {
  const QStringView t = QStringView(text).trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
    negative = t[i] == QLatin1Char('-');
    ++i;
  }
  if (i >= t.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < t.size(); ++i) {
    const char16_t c = t[i].unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min()) return std::nullopt;
  return static_cast<int32_t>(value);
}

TRegIniFile::TRegIniFile(QString keyPath, TRegRoot root) : keyPath_(std::move(keyPath)), registry_(root) {}

TRegIniFile::~TRegIniFile() = default;

QString TRegIniFile::SectionPath(const QString& section) const {
  if (section.isEmpty()) return keyPath_;
  if (keyPath_.isEmpty()) return section;
  return keyPath_ + QLatin1Char('\\') + section;
}

QString TRegIniFile::ReadString(const QString& section, const QString& ident, const QString& defaultValue) const {
  const std::optional<TRegValue> value = registry_.ReadValue(SectionPath(section), ident);
  if (!value) return defaultValue;
  return value->AsText().value_or(defaultValue);
}

int32_t TRegIniFile::ReadInteger(const QString& section, const QString& ident, int32_t defaultValue) const {
  const std::optional<TRegValue> value = registry_.ReadValue(SectionPath(section), ident);
  if (!value) return defaultValue;
  if (const std::optional<uint32_t> number = value->AsDWord()) return static_cast<int32_t>(*number);
  if (const std::optional<QString> text = value->AsText()) return ParseStoredInteger(*text).value_or(defaultValue);
  return defaultValue;
}

bool TRegIniFile::ReadBool(const QString& section, const QString& ident, bool defaultValue) const {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TRegIniFile::WriteString(const QString& section, const QString& ident, const QString& value) {
  registry_.WriteValue(SectionPath(section), ident, TRegValue::FromString(value));
}

void TRegIniFile::WriteInteger(const QString& section, const QString& ident, int32_t value) {
  WriteString(section, ident, QString::number(value));
}

void TRegIniFile::WriteBool(const QString& section, const QString& ident, bool value) {
  WriteInteger(section, ident, value ? 1 : 0);
}

bool TRegIniFile::SectionExists(const QString& section) const { return registry_.KeyExists(SectionPath(section)); }

bool TRegIniFile::ValueExists(const QString& section, const QString& ident) const {
  return registry_.ValueExists(SectionPath(section), ident);
}

QStringList TRegIniFile::ReadSection(const QString& section) const { return registry_.ValueNames(SectionPath(section)); }

QStringList TRegIniFile::ReadSections() const { return registry_.SubkeyNames(keyPath_); }

void TRegIniFile::EraseSection(const QString& section) {
  if (registry_.KeyExists(SectionPath(section))) registry_.DeleteKey(SectionPath(section));
}

void TRegIniFile::DeleteKey(const QString& section, const QString& ident) {
  if (registry_.ValueExists(SectionPath(section), ident)) registry_.DeleteValue(SectionPath(section), ident);
}

void TRegIniFile::Close() { registry_.Close(); }

int32_t TBinRegIniFile::ReadBinary(const QString& section, const QString& name, int32_t size, void* buffer) const {
  const std::optional<TRegValue> value = Registry().ReadValue(SectionPath(section), name);
  if (!value) return 0;
  if (!IsBinaryLike(value->Type) || value->Data.size() > std::max(size, 0))
    throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name));
  if (!value->Data.isEmpty()) std::memcpy(buffer, value->Data.constData(), static_cast<size_t>(value->Data.size()));
  return static_cast<int32_t>(value->Data.size());
}

void TBinRegIniFile::WriteBinary(const QString& section, const QString& name, int32_t size, const void* buffer) {
  const QByteArray bytes = size > 0 ? QByteArray(static_cast<const char*>(buffer), size) : QByteArray();
  Registry().WriteValue(SectionPath(section), name, TRegValue::FromBinary(bytes));
}
