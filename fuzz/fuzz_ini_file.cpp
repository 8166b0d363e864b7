// The profile-file reader behind archives.ini: any bytes read into a document that writes back
// byte for byte; reading what it writes gives the same sections, keys and values; a value set
// reads back as it was set, and the other keys keep theirs.

#include "config/IniFile.h"
#include "fuzz/FuzzSupport.h"
#include "platform/HostNames.h"

#include <QHash>

namespace {

// Enough to reach every kind of line without making one input quadratic.
constexpr qsizetype Checked = 16;

using TValues = QList<std::pair<QString, QString>>;

TValues SomeValues(const TIniDocument& doc) {
  TValues values;
  const QStringList sections = doc.Sections();
  for (qsizetype s = 0; s < std::min(sections.size(), Checked); ++s) {
    const QStringList keys = doc.Keys(sections[s]);
    for (qsizetype k = 0; k < std::min(keys.size(), Checked); ++k)
      values.append({sections[s] + QLatin1Char('\n') + keys[k], doc.Value(sections[s], keys[k]).value_or(QStringLiteral("\x01missing"))});
  }
  return values;
}

QString Read(const TIniDocument& doc, const QString& sectionAndKey) {
  const qsizetype nl = sectionAndKey.indexOf(QLatin1Char('\n'));
  return doc.Value(sectionAndKey.left(nl), sectionAndKey.mid(nl + 1)).value_or(QStringLiteral("\x01missing"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = FuzzBytes(data, size);
  TIniDocument doc = TIniDocument::Parse(bytes);
  FUZZ_CHECK(doc.ToBytes() == bytes);

  // Names listed once each, as the case-insensitive comparison of names tells them apart; each
  // entry's value is the one Value reads.
  const QStringList allSections = doc.Sections();
  for (qsizetype i = 0; i < std::min(allSections.size(), Checked); ++i)
    for (qsizetype j = i + 1; j < std::min(allSections.size(), Checked); ++j)
      FUZZ_CHECK(allSections[i].compare(allSections[j], Qt::CaseInsensitive) != 0);
  if (!allSections.isEmpty()) {
    const auto entries = doc.Entries(allSections.first());
    for (size_t i = 0; i < std::min<size_t>(entries.size(), Checked); ++i) {
      FUZZ_CHECK(doc.Value(allSections.first(), entries[i].first) == entries[i].second);
      for (size_t j = i + 1; j < std::min<size_t>(entries.size(), Checked); ++j)
        FUZZ_CHECK(entries[i].first.compare(entries[j].first, Qt::CaseInsensitive) != 0);
    }
  }

  const TValues before = SomeValues(doc);
  const TIniDocument reread = TIniDocument::Parse(doc.ToBytes());
  FUZZ_CHECK(SomeValues(reread) == before);

  // Set a value taken from the input's last bytes, in the first section and key when there are
  // some, else in new ones.
  const QString value = DecodeEscapedUtf8(bytes.right(24));
  const QStringList sections = doc.Sections();
  const QString section = sections.isEmpty() ? QStringLiteral("New Section") : sections.first();
  const QStringList keys = doc.Keys(section);
  const QString key = keys.isEmpty() ? QStringLiteral("NewKey") : keys.first();
  try {
    doc.SetValue(section, key, value);
  } catch (const EIniFileException&) {
    // Only names no line could hold are refused (a lone CR can sit inside a name read).
    const auto unwritable = [](const QString& name) {
      return name.trimmed().isEmpty() || name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n'));
    };
    FUZZ_CHECK(unwritable(section) || unwritable(key));
    return 0;
  }
  QString expected = value;
  expected.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  const TIniDocument written = TIniDocument::Parse(doc.ToBytes());
  FUZZ_CHECK(written.Value(section, key) == expected);
  for (const auto& [where, old] : before) {
    const qsizetype nl = where.indexOf(QLatin1Char('\n'));
    if (where.left(nl).trimmed().compare(section.trimmed(), Qt::CaseInsensitive) == 0 &&
        where.mid(nl + 1).trimmed().compare(key.trimmed(), Qt::CaseInsensitive) == 0)
      continue;
    FUZZ_CHECK(Read(written, where) == old);
  }

  doc.RemoveKey(section, key);
  FUZZ_CHECK(!TIniDocument::Parse(doc.ToBytes()).Value(section, key).has_value());
  doc.RemoveSection(section);
  FUZZ_CHECK(!TIniDocument::Parse(doc.ToBytes()).HasSection(section));
  return 0;
}
