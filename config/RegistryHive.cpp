#include "config/RegistryHive.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

const QLatin1String HeaderV5("Windows Registry Editor Version 5.00");
const QLatin1String HeaderV4("REGEDIT4");

// Longest key name the Windows registry accepts.
constexpr qsizetype MaxKeyNameLength = 255;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool IsValidKeyName(QStringView name) {
  if (name.isEmpty() || name.size() > MaxKeyNameLength) return false;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    if (c < 0x20 || c == 0x7F) return false;
    if (IsHighSurrogate(c)) {
      if (i + 1 >= name.size() || !IsLowSurrogate(name[i + 1].unicode())) return false;
      ++i;
    } else if (IsLowSurrogate(c)) {
      return false;
    }
  }
  return true;
}

// ------------------------------------------------------------------------------------------
// Writing

char HexDigit(unsigned v) { return "0123456789abcdef"[v & 15]; }

// The text being written, in one buffer that grows by doubling; each piece is written in place.
class TTextOut {
public:
  TTextOut() { buffer_.resize(64 * 1024); }

  // Room for n more bytes at Cursor(); Advance(k) takes the k of them that were written.
  char* Room(qsizetype n) {
    if (size_ + n > buffer_.size()) buffer_.resize(std::max(buffer_.size() * 2, size_ + n));
    return buffer_.data() + size_;
  }
  void Advance(qsizetype n) { size_ += n; }
  qsizetype Size() const { return size_; }

  void Put(char c) {
    *Room(1) = c;
    ++size_;
  }
  void Put(const char* text, qsizetype n) {
    if (n <= 0) return;
    std::memcpy(Room(n), text, static_cast<size_t>(n));
    size_ += n;
  }
  template <qsizetype N>
  void Put(const char (&text)[N]) { Put(text, N - 1); }
  void Put(const QByteArray& bytes) { Put(bytes.constData(), bytes.size()); }

  QByteArray Take() {
    buffer_.truncate(size_);
    return std::move(buffer_);
  }

private:
  QByteArray buffer_;
  qsizetype size_ = 0;
};

char* PutUnicodeEscape(char* p, char16_t c) {
  *p++ = '\\';
  *p++ = 'u';
  for (int shift = 12; shift >= 0; shift -= 4) *p++ = HexDigit(c >> shift);
  return p;
}

// A quoted string of the text form. Backslash and quote are escaped as in registry exports; line
// breaks, other control characters and lone surrogates (which UTF-8 cannot carry) as \n, \r and
// \uXXXX, so that the file stays valid UTF-8 with one value per line.
void PutQuoted(TTextOut& out, QStringView text) {
  // At most six bytes a UTF-16 unit (an escape), and the two quotes.
  char* const start = out.Room(text.size() * 6 + 2);
  char* p = start;
  *p++ = '"';
  const char16_t* units = text.utf16();
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = units[i];
    if (c < 0x80) {
      if (c == u'\\' || c == u'"') {
        *p++ = '\\';
        *p++ = static_cast<char>(c);
      } else if (c == u'\n') {
        *p++ = '\\';
        *p++ = 'n';
      } else if (c == u'\r') {
        *p++ = '\\';
        *p++ = 'r';
      } else if ((c < 0x20 && c != u'\t') || c == 0x7F) {
        p = PutUnicodeEscape(p, c);
      } else {
        *p++ = static_cast<char>(c);
      }
    } else if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(units[i + 1])) {
      const char32_t code = QChar::surrogateToUcs4(c, units[++i]);
      *p++ = static_cast<char>(0xF0 | (code >> 18));
      *p++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      p = PutUnicodeEscape(p, c);
    } else {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  *p++ = '"';
  out.Advance(p - start);
}

// True when a String value's bytes are exactly what FromString makes: UTF-16 code units ending
// in the one NUL. Only such values are written in the quoted form.
bool IsPlainString(const QByteArray& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const qsizetype units = data.size() / 2;
  for (qsizetype i = 0; i < units; ++i) {
    const uint16_t u = qFromLittleEndian<uint16_t>(data.constData() + 2 * i);
    if ((u == 0) != (i == units - 1)) return false;
  }
  return true;
}

// Writes the text of a plain String value (IsPlainString) quoted.
void PutStringData(TTextOut& out, const QByteArray& data) {
  const qsizetype units = data.size() / 2 - 1;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
  if (reinterpret_cast<quintptr>(data.constData()) % alignof(char16_t) == 0) {
    PutQuoted(out, QStringView(reinterpret_cast<const char16_t*>(data.constData()), units));
    return;
  }
#endif
  QString text(units, Qt::Uninitialized);
  for (qsizetype i = 0; i < units; ++i) text[i] = QChar(qFromLittleEndian<uint16_t>(data.constData() + 2 * i));
  PutQuoted(out, text);
}

// The bytes after the prefix already written (prefixBytes long), wrapped the way registry exports
// wrap long values: lines of about 80 columns, each but the last ending in ",\", continuation
// lines indented by two blanks.
void PutHexBytes(TTextOut& out, qsizetype prefixBytes, const QByteArray& data) {
  constexpr qsizetype Width = 77;
  qsizetype line = prefixBytes;
  const qsizetype n = data.size();
  for (qsizetype i = 0; i < n; ++i) {
    const qsizetype token = i + 1 < n ? 3 : 2;
    if (i > 0 && line + token > Width) {
      out.Put("\\\n  ");
      line = 2;
    }
    char* p = out.Room(3);
    const auto b = static_cast<unsigned char>(data[i]);
    p[0] = HexDigit(b >> 4);
    p[1] = HexDigit(b);
    p[2] = ',';
    out.Advance(token);
    line += token;
  }
  out.Put('\n');
}

void PutValue(TTextOut& out, const TRegNamedValue& v) {
  const qsizetype lineStart = out.Size();
  if (v.Name.isEmpty())
    out.Put('@');
  else
    PutQuoted(out, v.Name);
  out.Put('=');
  const TRegValue& value = v.Value;
  if (value.Type == TRegType::String && IsPlainString(value.Data)) {
    PutStringData(out, value.Data);
    out.Put('\n');
  } else if (value.Type == TRegType::DWord && value.Data.size() == 4) {
    const uint32_t number = qFromLittleEndian<uint32_t>(value.Data.constData());
    char* p = out.Room(16);
    std::memcpy(p, "dword:", 6);
    for (int k = 0; k < 8; ++k) p[6 + k] = HexDigit(number >> (28 - 4 * k));
    p[14] = '\n';
    out.Advance(15);
  } else {
    if (value.Type == TRegType::Binary) {
      out.Put("hex:");
    } else {
      out.Put("hex(");
      out.Put(QByteArray::number(static_cast<uint32_t>(value.Type), 16));
      out.Put("):");
    }
    PutHexBytes(out, out.Size() - lineStart, value.Data);
  }
}

void PutKeyLine(TTextOut& out, const QString& path) {
  out.Put('[');
  out.Put(path.toUtf8());
  out.Put("]\n");
}

void PutKey(TTextOut& out, const TRegKey& key, const QString& path) {
  if (!key.Values().empty() || key.Subkeys().empty()) {
    PutKeyLine(out, path);
    for (const TRegNamedValue& v : key.Values()) PutValue(out, v);
    out.Put('\n');
  }
  for (const auto& sub : key.Subkeys()) PutKey(out, *sub, path + QLatin1Char('\\') + sub->Name());
}

// ------------------------------------------------------------------------------------------
// Reading

struct TParseError {
  int Line;
  QString Reason;
};

std::optional<QString> DecodeText(const QByteArray& bytes, QString* error) {
  if (bytes.startsWith("\xFF\xFE")) {
    if (bytes.size() % 2 != 0) {
      if (error) *error = QStringLiteral("UTF-16 text of an odd number of bytes");
      return std::nullopt;
    }
    QString text;
    text.resize((bytes.size() - 2) / 2);
    for (qsizetype i = 0; i < text.size(); ++i)
      text[i] = QChar(qFromLittleEndian<uint16_t>(bytes.constData() + 2 + 2 * i));
    return text;
  }
  QByteArrayView view(bytes);
  if (view.startsWith("\xEF\xBB\xBF")) view = view.sliced(3);
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = decoder.decode(view);
  if (decoder.hasError()) {
    if (error) *error = QStringLiteral("the file is not UTF-8 text");
    return std::nullopt;
  }
  return text;
}

int HexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote. A string
// without escapes is handed back as a view of text; one with escapes is unescaped into buffer.
std::optional<QStringView> ReadQuoted(QStringView text, qsizetype& pos, QString& buffer) {
  const qsizetype start = ++pos;
  const char16_t* units = text.utf16();
  const qsizetype n = text.size();
  while (pos < n && units[pos] != u'"' && units[pos] != u'\\') ++pos;
  if (pos >= n) return std::nullopt;
  if (units[pos] == u'"') return text.sliced(start, pos++ - start);

  buffer = text.sliced(start, pos - start).toString();
  while (pos < n) {
    const QChar c = text[pos++];
    if (c == QLatin1Char('"')) return QStringView(buffer);
    if (c != QLatin1Char('\\')) {
      buffer += c;
      continue;
    }
    if (pos >= n) return std::nullopt;
    const QChar e = text[pos++];
    if (e == QLatin1Char('\\') || e == QLatin1Char('"')) {
      buffer += e;
    } else if (e == QLatin1Char('n')) {
      buffer += QLatin1Char('\n');
    } else if (e == QLatin1Char('r')) {
      buffer += QLatin1Char('\r');
    } else if (e == QLatin1Char('u') && pos + 4 <= n && HexValue(text[pos]) >= 0 &&
               HexValue(text[pos + 1]) >= 0 && HexValue(text[pos + 2]) >= 0 && HexValue(text[pos + 3]) >= 0) {
      char16_t unit = 0;
      for (int k = 0; k < 4; ++k) unit = static_cast<char16_t>(unit * 16 + HexValue(text[pos + k]));
      buffer += QChar(unit);
      pos += 4;
    } else {
      // Not an escape of the format (a hand-written "C:\Temp"): taken as it stands.
      buffer += QLatin1Char('\\');
      buffer += e;
    }
  }
  return std::nullopt;
}

bool OnlyBlanksFrom(QStringView text, qsizetype pos) { return text.sliced(pos).trimmed().isEmpty(); }

std::optional<QByteArray> ReadHexBytes(QStringView list) {
  QByteArray bytes;
  const QStringView trimmed = list.trimmed();
  if (trimmed.isEmpty()) return bytes;
  bytes.reserve(trimmed.size() / 3 + 1);
  qsizetype start = 0;
  for (;;) {
    const qsizetype comma = trimmed.indexOf(QLatin1Char(','), start);
    const QStringView token = trimmed.mid(start, comma < 0 ? -1 : comma - start).trimmed();
    if (token.isEmpty()) return std::nullopt;
    if (token.size() > 2) return std::nullopt;
    int b = 0;
    for (QChar c : token) {
      const int v = HexValue(c);
      if (v < 0) return std::nullopt;
      b = b * 16 + v;
    }
    bytes += static_cast<char>(b);
    if (comma < 0) return bytes;
    start = comma + 1;
  }
}

class TParser {
public:
  TParser(const QString& rootName, QStringView text) : hive_(rootName), text_(text) {}

  std::optional<TRegHive> Run(QString* error) {
    const std::optional<TParseError> failure = ParseAll();
    if (!failure) return std::move(hive_);
    if (error) *error = QStringLiteral("line %1: %2").arg(failure->Line).arg(failure->Reason);
    return std::nullopt;
  }

private:
  TRegHive hive_;
  QStringView text_;
  qsizetype pos_ = 0;    // where the next line starts; past the end when there is none
  int lineNumber_ = 0;   // of the line read last
  TRegKey* current_ = nullptr;
  QString nameBuffer_, textBuffer_;

  bool NextLine(QStringView& line) {
    if (pos_ > text_.size()) return false;
    qsizetype end = text_.indexOf(QLatin1Char('\n'), pos_);
    if (end < 0) end = text_.size();
    line = text_.sliced(pos_, end - pos_);
    pos_ = end + 1;
    ++lineNumber_;
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return true;
  }

  TParseError Error(const QString& reason) const { return {lineNumber_, reason}; }

  std::optional<TParseError> ParseAll() {
    QStringView line;
    bool headerSeen = false;
    while (NextLine(line)) {
      const QStringView t = line.trimmed();
      if (t.isEmpty() || t.startsWith(QLatin1Char(';'))) continue;
      if (!headerSeen) {
        if (t != HeaderV5 && t != HeaderV4)
          return Error(QStringLiteral("expected \"%1\"").arg(HeaderV5));
        headerSeen = true;
        continue;
      }
      std::optional<TParseError> failure;
      if (t.startsWith(QLatin1Char('[')))
        failure = KeyLine(t);
      else if (t.startsWith(QLatin1Char('"')) || t.startsWith(QLatin1Char('@')))
        failure = ValueLine(t);
      else
        failure = Error(QStringLiteral("neither a key, a value nor a comment"));
      if (failure) return failure;
    }
    return std::nullopt;
  }

  std::optional<TParseError> KeyLine(QStringView t) {
    if (!t.endsWith(QLatin1Char(']'))) return Error(QStringLiteral("a key line must end with \"]\""));
    QStringView inner = t.mid(1, t.size() - 2);
    const bool remove = inner.startsWith(QLatin1Char('-'));
    if (remove) inner = inner.mid(1);
    const qsizetype slash = inner.indexOf(QLatin1Char('\\'));
    const QStringView root = slash < 0 ? inner : inner.left(slash);
    if (!SameRegName(root, hive_.RootName()))
      return Error(QStringLiteral("the key is not under %1").arg(hive_.RootName()));
    const QStringView path = slash < 0 ? QStringView() : inner.mid(slash + 1);
    const std::optional<TKeyNames> names = SplitKeyPathViews(path);
    if (!names) return Error(QStringLiteral("invalid key name"));
    if (remove) {
      hive_.DeleteKey(*names);
      current_ = nullptr;
    } else {
      current_ = &hive_.CreateKey(*names);
    }
    return std::nullopt;
  }

  std::optional<TParseError> ValueLine(QStringView t) {
    if (!current_) return Error(QStringLiteral("a value outside a key"));
    qsizetype pos = 0;
    QString name;
    if (t[0] == QLatin1Char('@')) {
      pos = 1;
    } else {
      const std::optional<QStringView> quoted = ReadQuoted(t, pos, nameBuffer_);
      if (!quoted) return Error(QStringLiteral("the value name has no closing quote"));
      name = quoted->toString();
    }
    while (pos < t.size() && t[pos].isSpace()) ++pos;
    if (pos >= t.size() || t[pos] != QLatin1Char('=')) return Error(QStringLiteral("expected \"=\" after the value name"));
    ++pos;
    while (pos < t.size() && t[pos].isSpace()) ++pos;
    const QStringView data = t.sliced(pos);

    if (data == QLatin1String("-")) {
      current_->RemoveValue(name);
      return std::nullopt;
    }
    if (data.startsWith(QLatin1Char('"'))) {
      qsizetype p = 0;
      const std::optional<QStringView> text = ReadQuoted(data, p, textBuffer_);
      if (!text) return Error(QStringLiteral("the string has no closing quote"));
      if (!OnlyBlanksFrom(data, p)) return Error(QStringLiteral("text after the closing quote"));
      current_->SetValue(name, TRegValue::FromString(*text));
      return std::nullopt;
    }
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
      const QStringView digits = data.sliced(6).trimmed();
      if (digits.isEmpty() || digits.size() > 8) return Error(QStringLiteral("a dword needs 1 to 8 hexadecimal digits"));
      uint32_t v = 0;
      for (QChar c : digits) {
        const int d = HexValue(c);
        if (d < 0) return Error(QStringLiteral("a dword needs 1 to 8 hexadecimal digits"));
        v = v * 16 + static_cast<uint32_t>(d);
      }
      current_->SetValue(name, TRegValue::FromDWord(v));
      return std::nullopt;
    }
    if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) return HexValueLine(name, data);
    return Error(QStringLiteral("unknown value form"));
  }

  std::optional<TParseError> HexValueLine(const QString& name, QStringView data) {
    uint32_t type = static_cast<uint32_t>(TRegType::Binary);
    qsizetype pos = 3;
    if (pos < data.size() && data[pos] == QLatin1Char('(')) {
      const qsizetype close = data.indexOf(QLatin1Char(')'), pos);
      const QStringView digits = close < 0 ? QStringView() : data.mid(pos + 1, close - pos - 1);
      if (digits.isEmpty() || digits.size() > 8) return Error(QStringLiteral("invalid value type"));
      type = 0;
      for (QChar c : digits) {
        const int d = HexValue(c);
        if (d < 0) return Error(QStringLiteral("invalid value type"));
        type = type * 16 + static_cast<uint32_t>(d);
      }
      pos = close + 1;
    }
    if (pos >= data.size() || data[pos] != QLatin1Char(':')) return Error(QStringLiteral("expected \":\" after hex"));
    QStringView list = data.sliced(pos + 1);
    // A line ending in a backslash continues on the next one; only then is the list copied, each
    // continuation line appended once (a long value of many lines reads in linear time).
    QString joined;
    QStringView trimmed = list.trimmed();
    if (trimmed.endsWith(QLatin1Char('\\'))) {
      joined = trimmed.chopped(1).toString();
      for (;;) {
        QStringView next;
        if (!NextLine(next) || next.trimmed().isEmpty())
          return Error(QStringLiteral("the value ends after a continuation mark"));
        trimmed = next.trimmed();
        if (!trimmed.endsWith(QLatin1Char('\\'))) {
          joined += trimmed;
          break;
        }
        joined += trimmed.chopped(1);
      }
      list = joined;
    }
    const std::optional<QByteArray> bytes = ReadHexBytes(list);
    if (!bytes) return Error(QStringLiteral("invalid hexadecimal bytes"));
    TRegValue value;
    value.Type = static_cast<TRegType>(type);
    value.Data = *bytes;
    current_->SetValue(name, std::move(value));
    return std::nullopt;
  }
};

}  // namespace

// ------------------------------------------------------------------------------------------

TRegValue TRegValue::FromString(const QString& text) { return FromString(QStringView(text)); }

TRegValue TRegValue::FromString(QStringView text) {
  TRegValue v;
  v.Type = TRegType::String;
  v.Data.resize((text.size() + 1) * 2);
  char* out = v.Data.data();
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
  // An empty view may have no data at all: memcpy must not be handed its null pointer.
  if (!text.isEmpty()) std::memcpy(out, text.utf16(), static_cast<size_t>(text.size()) * 2);
#else
  for (qsizetype i = 0; i < text.size(); ++i) qToLittleEndian<uint16_t>(text[i].unicode(), out + 2 * i);
#endif
  qToLittleEndian<uint16_t>(0, out + 2 * text.size());
  return v;
}

TRegValue TRegValue::FromDWord(uint32_t value) {
  TRegValue v;
  v.Type = TRegType::DWord;
  v.Data.resize(4);
  qToLittleEndian<uint32_t>(value, v.Data.data());
  return v;
}

TRegValue TRegValue::FromBinary(QByteArray bytes) {
  TRegValue v;
  v.Type = TRegType::Binary;
  v.Data = std::move(bytes);
  return v;
}

std::optional<QString> TRegValue::AsText() const {
  if (Type != TRegType::String && Type != TRegType::ExpandString) return std::nullopt;
  const qsizetype units = Data.size() / 2;
  qsizetype length = 0;
  while (length < units && qFromLittleEndian<uint16_t>(Data.constData() + 2 * length) != 0) ++length;
  QString text(length, Qt::Uninitialized);
  for (qsizetype i = 0; i < length; ++i) text[i] = QChar(qFromLittleEndian<uint16_t>(Data.constData() + 2 * i));
  return text;
}

std::optional<uint32_t> TRegValue::AsDWord() const {
  if (Type != TRegType::DWord || Data.size() != 4) return std::nullopt;
  return qFromLittleEndian<uint32_t>(Data.constData());
}

qsizetype TRegKey::FindPosition(const TRegNameIndex& index, QStringView name, uint32_t hash) const {
  if (&index == &valueIndex_)
    return index.Find(name, hash, [this](qsizetype p) { return QStringView(values_[static_cast<size_t>(p)].Name); });
  return index.Find(name, hash, [this](qsizetype p) { return QStringView(subkeys_[static_cast<size_t>(p)]->Name()); });
}

qsizetype TRegKey::SubkeyPosition(QStringView name) const { return FindPosition(subkeyIndex_, name, RegNameHash(name)); }

TRegKey* TRegKey::FindSubkey(QStringView name) const {
  const qsizetype p = SubkeyPosition(name);
  return p < 0 ? nullptr : subkeys_[static_cast<size_t>(p)].get();
}

TRegKey& TRegKey::SubkeyOrNew(QStringView name) {
  const uint32_t hash = RegNameHash(name);
  const qsizetype p = FindPosition(subkeyIndex_, name, hash);
  if (p >= 0) return *subkeys_[static_cast<size_t>(p)];
  subkeyIndex_.Insert(hash, static_cast<qsizetype>(subkeys_.size()));
  subkeys_.push_back(std::make_unique<TRegKey>(name.toString()));
  return *subkeys_.back();
}

bool TRegKey::RemoveSubkey(QStringView name) {
  const uint32_t hash = RegNameHash(name);
  const qsizetype p = FindPosition(subkeyIndex_, name, hash);
  if (p < 0) return false;
  subkeys_.erase(subkeys_.begin() + p);
  subkeyIndex_.Remove(hash, p);
  return true;
}

qsizetype TRegKey::ValuePosition(QStringView name) const { return FindPosition(valueIndex_, name, RegNameHash(name)); }

const TRegValue* TRegKey::FindValue(QStringView name) const {
  const qsizetype p = ValuePosition(name);
  return p < 0 ? nullptr : &values_[static_cast<size_t>(p)].Value;
}

void TRegKey::SetValue(const QString& name, TRegValue value) {
  const uint32_t hash = RegNameHash(name);
  const qsizetype p = FindPosition(valueIndex_, name, hash);
  if (p >= 0) {
    values_[static_cast<size_t>(p)].Value = std::move(value);
    return;
  }
  valueIndex_.Insert(hash, static_cast<qsizetype>(values_.size()));
  values_.push_back({name, std::move(value)});
}

bool TRegKey::RemoveValue(QStringView name) {
  const uint32_t hash = RegNameHash(name);
  const qsizetype p = FindPosition(valueIndex_, name, hash);
  if (p < 0) return false;
  values_.erase(values_.begin() + p);
  valueIndex_.Remove(hash, p);
  return true;
}

void TRegKey::Clear() {
  subkeys_.clear();
  subkeyIndex_.Clear();
  values_.clear();
  valueIndex_.Clear();
}

void TRegKey::ReserveValues(qsizetype count) {
  values_.reserve(static_cast<size_t>(count));
  valueIndex_.Reserve(count);
}

void TRegKey::MergeFrom(const TRegKey& source) {
  ReserveValues(static_cast<qsizetype>(values_.size() + source.values_.size()));
  for (const TRegNamedValue& v : source.values_) SetValue(v.Name, v.Value);
  for (const auto& sub : source.subkeys_) SubkeyOrNew(sub->Name()).MergeFrom(*sub);
}

std::optional<TKeyNames> SplitKeyPathViews(QStringView path) {
  if (path.startsWith(QLatin1Char('\\'))) path = path.sliced(1);
  if (path.endsWith(QLatin1Char('\\'))) path.chop(1);
  TKeyNames names;
  if (path.isEmpty()) return names;
  qsizetype start = 0;
  for (;;) {
    const qsizetype slash = path.indexOf(QLatin1Char('\\'), start);
    const QStringView name = path.mid(start, slash < 0 ? -1 : slash - start);
    if (!IsValidKeyName(name) || names.size() >= MaxKeyDepth) return std::nullopt;
    names.append(name);
    if (slash < 0) return names;
    start = slash + 1;
  }
}

std::optional<QStringList> SplitKeyPath(QStringView path) {
  const std::optional<TKeyNames> views = SplitKeyPathViews(path);
  if (!views) return std::nullopt;
  QStringList names;
  names.reserve(views->size());
  for (QStringView name : *views) names.append(name.toString());
  return names;
}

const TRegKey* TRegHive::FindKey(const TKeyNames& names) const {
  const TRegKey* key = root_.get();
  for (QStringView n : names) {
    key = key->FindSubkey(n);
    if (!key) return nullptr;
  }
  return key;
}

TRegKey* TRegHive::FindKey(const TKeyNames& names) { return const_cast<TRegKey*>(std::as_const(*this).FindKey(names)); }

const TRegKey* TRegHive::FindKey(QStringView path) const {
  const std::optional<TKeyNames> names = SplitKeyPathViews(path);
  return names ? FindKey(*names) : nullptr;
}

TRegKey* TRegHive::FindKey(QStringView path) {
  return const_cast<TRegKey*>(std::as_const(*this).FindKey(path));
}

TRegKey& TRegHive::CreateKey(const TKeyNames& names) {
  TRegKey* key = root_.get();
  for (QStringView n : names) key = &key->SubkeyOrNew(n);
  return *key;
}

TRegKey& TRegHive::CreateKey(QStringView path) {
  const std::optional<TKeyNames> names = SplitKeyPathViews(path);
  if (!names) throw ERegistryException(QStringLiteral("Invalid registry key name \"%1\"").arg(path));
  return CreateKey(*names);
}

bool TRegHive::DeleteKey(const TKeyNames& names) {
  if (names.isEmpty()) {
    root_->Clear();
    return true;
  }
  TRegKey* parent = root_.get();
  for (qsizetype i = 0; i + 1 < names.size(); ++i) {
    parent = parent->FindSubkey(names[i]);
    if (!parent) return false;
  }
  return parent->RemoveSubkey(names.last());
}

bool TRegHive::DeleteKey(QStringView path) {
  const std::optional<TKeyNames> names = SplitKeyPathViews(path);
  return names && DeleteKey(*names);
}

QByteArray TRegHive::ToText() const {
  TTextOut out;
  out.Put(HeaderV5.data(), HeaderV5.size());
  out.Put("\n\n");
  const TRegKey& root = *root_;
  if (!root.Values().empty()) {
    PutKeyLine(out, root.Name());
    for (const TRegNamedValue& v : root.Values()) PutValue(out, v);
    out.Put('\n');
  }
  for (const auto& sub : root.Subkeys()) PutKey(out, *sub, root.Name() + QLatin1Char('\\') + sub->Name());
  return out.Take();
}

std::optional<TRegHive> TRegHive::Parse(const QByteArray& bytes, const QString& rootName, QString* error) {
  const std::optional<QString> text = DecodeText(bytes, error);
  if (!text) return std::nullopt;
  TParser parser(rootName, *text);
  return parser.Run(error);
}
