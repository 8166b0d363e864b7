#include "config/IniFile.h"

#include "config/AtomicFile.h"
#include "config/FileLock.h"
#include "config/SettingsWarnings.h"
#include "platform/HostNames.h"

#include <QHash>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <fcntl.h>
#include <string>

namespace {

bool SameName(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }


QString EntryValue(const QString& decodedLine) {
  const QStringView t = QStringView(decodedLine).trimmed();
  QStringView v = t.mid(t.indexOf(QLatin1Char('=')) + 1).trimmed();
  if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) && v.back() == v.front())
    v = v.mid(1, v.size() - 2);
  return v.toString();
}

// The value as it goes into the file: line breaks become blanks, and a value that reading would
// change (blanks at an end, matching quotes at both ends) is put in double quotes.
QString WrittenValue(QStringView value) {
  QString v = value.toString();
  v.replace(QLatin1Char('\r'), QLatin1Char(' '));
  v.replace(QLatin1Char('\n'), QLatin1Char(' '));
  const bool quotedAlready = v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
                             v.back() == v.front();
  if (!v.isEmpty() && (v.front().isSpace() || v.back().isSpace() || quotedAlready))
    return QLatin1Char('"') + v + QLatin1Char('"');
  return v;
}

// Whether key is in seen; adds it when not.
bool Contains(QSet<QString>& seen, const QString& key) {
  const qsizetype before = seen.size();
  seen.insert(key);
  return seen.size() == before;
}

bool HasLineBreak(QStringView s) { return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')); }

}  // namespace

// ------------------------------------------------------------------------------------------

QString IniNameKey(QStringView name) {
  QString key;
  const QStringView t = name.trimmed();
  key.reserve(t.size());
  for (const char32_t c : t.toUcs4()) key += QChar::fromUcs4(QChar::toCaseFolded(c));
  return key;
}

bool TIniDocument::SameKey(QStringView a, QStringView b) const {
  return a.compare(b, exactKeys_ ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

QString TIniDocument::KeyOf(QStringView name) const {
  return exactKeys_ ? name.trimmed().toString() : IniNameKey(name);
}

QString TIniDocument::Decode(QByteArrayView bytes) const {
  return utf16_ ? DecodeWtf8(std::string_view(bytes.data(), static_cast<size_t>(bytes.size())))
                : DecodeEscapedUtf8(std::string_view(bytes.data(), static_cast<size_t>(bytes.size())));
}

QByteArray TIniDocument::Encode(QStringView text) const {
  if (!utf16_) return EncodeEscapedUtf8(text);
  const std::string bytes = EncodeWtf8(text);
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void TIniDocument::Classify(TLine& line) const {
  line.Kind = TKind::Other;
  line.Name.clear();
  const QString decoded = Decode(line.Raw);
  const QStringView t = QStringView(decoded).trimmed();
  if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'))) return;
  if (t.startsWith(QLatin1Char('['))) {
    const qsizetype close = t.lastIndexOf(QLatin1Char(']'));
    if (close > 0) {
      line.Kind = TKind::Section;
      line.Name = t.mid(1, close - 1).trimmed().toString();
    }
    return;
  }
  const qsizetype eq = t.indexOf(QLatin1Char('='));
  if (eq <= 0) return;
  const QStringView key = t.left(eq).trimmed();
  if (key.isEmpty()) return;
  line.Kind = TKind::Entry;
  line.Name = key.toString();
}

TIniDocument TIniDocument::Parse(const QByteArray& bytes) {
  TIniDocument doc;
  QByteArray body;
  if (bytes.startsWith("\xFF\xFE")) {
    doc.utf16_ = true;
    doc.bom_ = bytes.left(2);
    if (bytes.size() % 2 != 0) doc.tail_ = bytes.right(1);
    QString text;
    text.resize((bytes.size() - 2) / 2);
    for (qsizetype i = 0; i < text.size(); ++i)
      text[i] = QChar(qFromLittleEndian<uint16_t>(bytes.constData() + 2 + 2 * i));
    body = doc.Encode(text);
  } else if (bytes.startsWith("\xEF\xBB\xBF")) {
    doc.bom_ = bytes.left(3);
    body = bytes.mid(3);
  } else {
    body = bytes;
  }

  qsizetype start = 0;
  while (start < body.size()) {
    const qsizetype nl = body.indexOf('\n', start);
    TLine line;
    if (nl < 0) {
      line.Raw = body.mid(start);
      start = body.size();
    } else {
      line.Raw = body.mid(start, nl - start);
      line.End = "\n";
      if (line.Raw.endsWith('\r')) {
        line.Raw.chop(1);
        line.End = "\r\n";
      }
      start = nl + 1;
    }
    doc.Classify(line);
    doc.lines_.push_back(std::move(line));
  }
  if (!doc.lines_.empty() && !doc.lines_.front().End.isEmpty()) doc.newline_ = doc.lines_.front().End;
  return doc;
}

QByteArray TIniDocument::ToBytes() const {
  QByteArray body;
  for (const TLine& line : lines_) body += line.Raw + line.End;
  if (!utf16_) return bom_ + body;
  const QString text = Decode(body);
  QByteArray out = bom_;
  out.resize(bom_.size() + 2 * text.size());
  for (qsizetype i = 0; i < text.size(); ++i) qToLittleEndian<uint16_t>(text[i].unicode(), out.data() + bom_.size() + 2 * i);
  return out + tail_;
}

std::vector<std::pair<size_t, size_t>> TIniDocument::Occurrences(QStringView section) const {
  std::vector<std::pair<size_t, size_t>> ranges;
  const QStringView name = section.trimmed();
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].Kind != TKind::Section || !SameName(lines_[i].Name, name)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && lines_[end].Kind != TKind::Section) ++end;
    ranges.emplace_back(i, end);
  }
  return ranges;
}

std::optional<QString> TIniDocument::Value(QStringView section, QStringView key) const {
  const QStringView name = key.trimmed();
  for (const auto& [begin, end] : Occurrences(section))
    for (size_t i = begin + 1; i < end; ++i)
      if (lines_[i].Kind == TKind::Entry && SameKey(lines_[i].Name, name)) return EntryValue(Decode(lines_[i].Raw));
  return std::nullopt;
}

QStringList TIniDocument::Keys(QStringView section) const {
  QStringList keys;
  for (const auto& entry : Entries(section)) keys.append(entry.first);
  return keys;
}

std::vector<std::pair<QString, QString>> TIniDocument::Entries(QStringView section) const {
  std::vector<std::pair<QString, QString>> entries;
  QSet<QString> seen;
  for (const auto& [begin, end] : Occurrences(section))
    for (size_t i = begin + 1; i < end; ++i)
      if (lines_[i].Kind == TKind::Entry && !Contains(seen, KeyOf(lines_[i].Name)))
        entries.emplace_back(lines_[i].Name, EntryValue(Decode(lines_[i].Raw)));
  return entries;
}

QStringList TIniDocument::Sections() const {
  QStringList sections;
  QSet<QString> seen;
  for (const TLine& line : lines_)
    if (line.Kind == TKind::Section && !Contains(seen, IniNameKey(line.Name))) sections.append(line.Name);
  return sections;
}

bool TIniDocument::HasSection(QStringView section) const { return !Occurrences(section).empty(); }

void TIniDocument::InsertLines(size_t at, const std::vector<QByteArray>& raws) {
  if (raws.empty()) return;
  if (at > 0 && lines_[at - 1].End.isEmpty()) lines_[at - 1].End = newline_;
  std::vector<TLine> inserted(raws.size());
  for (size_t i = 0; i < raws.size(); ++i) {
    inserted[i].Raw = raws[i];
    inserted[i].End = newline_;
    Classify(inserted[i]);
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(inserted.begin()),
                std::make_move_iterator(inserted.end()));
}

bool TIniDocument::SetValue(QStringView section, QStringView key, QStringView value) {
  return SetValues(section, {{key.toString(), value.toString()}});
}

bool TIniDocument::SetValues(QStringView section, const std::vector<std::pair<QString, QString>>& values) {
  const QStringView sec = section.trimmed();
  if (sec.isEmpty() || HasLineBreak(sec))
    throw EIniFileException(QStringLiteral("Invalid section name \"%1\"").arg(section));
  for (const auto& [key, value] : values) {
    const QStringView name = QStringView(key).trimmed();
    if (name.isEmpty() || HasLineBreak(name) || name.contains(QLatin1Char('=')) || name.startsWith(QLatin1Char('[')) ||
        name.startsWith(QLatin1Char(';')) || name.startsWith(QLatin1Char('#')))
      throw EIniFileException(QStringLiteral("Invalid key name \"%1\"").arg(key));
  }

  // Where each key of the section is now: the first line that holds it.
  const std::vector<std::pair<size_t, size_t>> occurrences = Occurrences(sec);
  QHash<QString, size_t> at;
  for (const auto& [begin, end] : occurrences)
    for (size_t i = begin + 1; i < end; ++i)
      if (lines_[i].Kind == TKind::Entry) {
        const QString hashKey = KeyOf(lines_[i].Name);
        if (!at.contains(hashKey)) at.insert(hashKey, i);
      }

  bool changed = false;
  std::vector<QByteArray> added;
  QHash<QString, std::pair<size_t, QString>> addedAt;  // where a new key is in added, and its name
  for (const auto& [key, value] : values) {
    const QStringView name = QStringView(key).trimmed();
    const QString written = WrittenValue(value);
    const QString hashKey = KeyOf(name);
    if (const auto found = at.constFind(hashKey); found != at.cend()) {
      TLine& line = lines_[*found];
      if (EntryValue(Decode(line.Raw)) == EntryValue(QStringLiteral("k=") + written)) continue;
      // Keep the key as spelled and spaced in the file, and the blanks after "=".
      qsizetype cut = line.Raw.indexOf('=') + 1;
      while (cut < line.Raw.size() && (line.Raw[cut] == ' ' || line.Raw[cut] == '\t')) ++cut;
      line.Raw = line.Raw.left(cut) + Encode(written);
      changed = true;
      continue;
    }
    // A key given twice keeps the spelling it was first given, as two SetValue calls would.
    if (const auto again = addedAt.constFind(hashKey); again != addedAt.cend()) {
      added[again->first] = Encode(again->second + QLatin1Char('=') + written);
      continue;
    }
    addedAt.insert(hashKey, {added.size(), name.toString()});
    added.push_back(Encode(name.toString() + QLatin1Char('=') + written));
  }
  if (added.empty()) return changed;

  size_t where = lines_.size();
  if (!occurrences.empty()) {
    const auto [begin, end] = occurrences.front();
    where = begin + 1;
    for (size_t i = begin + 1; i < end; ++i)
      if (lines_[i].Kind == TKind::Entry) where = i + 1;
  } else {
    // A new section at the end, after a blank line.
    std::vector<QByteArray> head;
    if (!lines_.empty() && !Decode(lines_.back().Raw).trimmed().isEmpty()) head.emplace_back();
    head.push_back(Encode(QLatin1Char('[') + sec.toString() + QLatin1Char(']')));
    added.insert(added.begin(), head.begin(), head.end());
  }
  InsertLines(where, added);
  return true;
}

bool TIniDocument::RemoveKey(QStringView section, QStringView key) {
  const QStringView name = key.trimmed();
  std::vector<size_t> doomed;
  for (const auto& [begin, end] : Occurrences(section))
    for (size_t i = begin + 1; i < end; ++i)
      if (lines_[i].Kind == TKind::Entry && SameKey(lines_[i].Name, name)) doomed.push_back(i);
  for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*it));
  return !doomed.empty();
}

bool TIniDocument::RemoveKeys(QStringView section, const QStringList& keys) {
  QSet<QString> doomedNames;
  for (const QString& key : keys) doomedNames.insert(KeyOf(key));
  std::vector<bool> doomed(lines_.size(), false);
  bool any = false;
  for (const auto& [begin, end] : Occurrences(section))
    for (size_t i = begin + 1; i < end; ++i)
      if (lines_[i].Kind == TKind::Entry && doomedNames.contains(KeyOf(lines_[i].Name))) any = doomed[i] = true;
  if (!any) return false;
  size_t kept = 0;
  for (size_t i = 0; i < lines_.size(); ++i)
    if (!doomed[i]) lines_[kept++] = std::move(lines_[i]);
  lines_.resize(kept);
  return true;
}

bool TIniDocument::RemoveSection(QStringView section) {
  const std::vector<std::pair<size_t, size_t>> occurrences = Occurrences(section);
  for (auto it = occurrences.rbegin(); it != occurrences.rend(); ++it)
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(it->first),
                 lines_.begin() + static_cast<std::ptrdiff_t>(it->second));
  return !occurrences.empty();
}

// ------------------------------------------------------------------------------------------

TIniDocument TIniFile::Read() const {
  bool missing = false;
  QString error;
  const std::optional<QByteArray> bytes = ReadWholeFile(path_, &missing, &error);
  if (!bytes && !missing)
    AddSettingsWarning(QStringLiteral("%1; it reads as empty and is left as it is.").arg(error), "unreadable:" + path_);
  TIniDocument doc = bytes ? TIniDocument::Parse(*bytes) : TIniDocument();
  doc.SetExactKeys(exactKeys_);
  return doc;
}

template <typename Edit>
void TIniFile::Modify(Edit change) {
  // Every writer of the file holds a lock on its folder from reading to replacing, so none erases
  // what another wrote in between; a temporary file found under it was left by a crash. The file
  // itself cannot carry the lock: each write replaces it. Without the folder (missing, or not
  // readable) the write goes on unlocked.
  const TFileLock lock(FolderOf(path_), O_RDONLY | O_DIRECTORY);
  if (lock.Held()) RemoveStaleAtomicTemps(path_);
  bool missing = false;
  QString error;
  const std::optional<QByteArray> bytes = ReadWholeFile(path_, &missing, &error);
  if (!bytes && !missing) throw EIniFileException(error);
  TIniDocument doc = bytes ? TIniDocument::Parse(*bytes) : TIniDocument();
  doc.SetExactKeys(exactKeys_);
  if (!change(doc)) return;
  if (!WriteFileAtomically(path_, doc.ToBytes(), 0666, &error)) throw EIniFileException(error);
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
  return Read().Value(section, key).value_or(defaultValue);
}

QStringList TIniFile::ReadSection(const QString& section) const { return Read().Keys(section); }

QStringList TIniFile::ReadSections() const { return Read().Sections(); }

bool TIniFile::SectionExists(const QString& section) const { return Read().HasSection(section); }

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
  return Read().Value(section, key).has_value();
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  Modify([&](TIniDocument& doc) { return doc.SetValue(section, key, value); });
}

void TIniFile::Change(const std::function<bool(TIniDocument&)>& change) { Modify(change); }

void TIniFile::DeleteKey(const QString& section, const QString& key) {
  Modify([&](TIniDocument& doc) { return doc.RemoveKey(section, key); });
}

TIniDocument TIniFile::ReadDocument() const { return Read(); }

void TIniFile::DeleteKeys(const QStringList& sections, const QStringList& keys) {
  Modify([&](TIniDocument& doc) {
    bool changed = false;
    for (const QString& section : sections) changed = doc.RemoveKeys(section, keys) || changed;
    return changed;
  });
}

void TIniFile::EraseSection(const QString& section) {
  Modify([&](TIniDocument& doc) { return doc.RemoveSection(section); });
}
