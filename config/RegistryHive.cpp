#include "config/RegistryHive.h"

#include <QStringDecoder>
#include <QtEndian>

namespace {

const QLatin1String HeaderV5("Windows Registry Editor Version 5.00");
const QLatin1String HeaderV4("REGEDIT4");

// Longest key name the Windows registry accepts.
constexpr qsizetype MaxKeyNameLength = 255;

bool SameName(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

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

void AppendUnicodeEscape(QString& out, char16_t c) {
  out += QLatin1String("\\u");
  for (int shift = 12; shift >= 0; shift -= 4) out += QLatin1Char(HexDigit(c >> shift));
}

// A quoted string of the text form. Backslash and quote are escaped as in registry exports; line
// breaks, other control characters and lone surrogates (which UTF-8 cannot carry) as \n, \r and
// \uXXXX, so that the file stays valid UTF-8 with one value per line.
QByteArray Quoted(QStringView text) {
  QString out;
  out.reserve(text.size() + 2);
  out += QLatin1Char('"');
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c == u'\\') {
      out += QLatin1String("\\\\");
    } else if (c == u'"') {
      out += QLatin1String("\\\"");
    } else if (c == u'\n') {
      out += QLatin1String("\\n");
    } else if (c == u'\r') {
      out += QLatin1String("\\r");
    } else if ((c < 0x20 && c != u'\t') || c == 0x7F) {
      AppendUnicodeEscape(out, c);
    } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1].unicode())) {
      out += text[i];
      out += text[i + 1];
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      AppendUnicodeEscape(out, c);
    } else {
      out += text[i];
    }
  }
  out += QLatin1Char('"');
  return out.toUtf8();
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

void AppendHexValue(QByteArray& out, const QByteArray& prefix, const QByteArray& data) {
  // Wrapped the way registry exports wrap long values: lines of about 80 columns, each but the
  // last ending in ",\", continuation lines indented by two blanks.
  constexpr qsizetype Width = 77;
  QByteArray line = prefix;
  for (qsizetype i = 0; i < data.size(); ++i) {
    const auto b = static_cast<unsigned char>(data[i]);
    QByteArray token;
    token += HexDigit(b >> 4);
    token += HexDigit(b);
    if (i + 1 < data.size()) token += ',';
    if (i > 0 && line.size() + token.size() > Width) {
      out += line + "\\\n";
      line = "  ";
    }
    line += token;
  }
  out += line + '\n';
}

void AppendValue(QByteArray& out, const TRegNamedValue& v) {
  QByteArray name = v.Name.isEmpty() ? QByteArray("@") : Quoted(v.Name);
  name += '=';
  const TRegValue& value = v.Value;
  if (value.Type == TRegType::String && IsPlainString(value.Data)) {
    out += name + Quoted(*value.AsText()) + '\n';
  } else if (value.Type == TRegType::DWord && value.Data.size() == 4) {
    out += name + "dword:" + QByteArray::number(*value.AsDWord(), 16).rightJustified(8, '0') + '\n';
  } else if (value.Type == TRegType::Binary) {
    AppendHexValue(out, name + "hex:", value.Data);
  } else {
    AppendHexValue(out, name + "hex(" + QByteArray::number(static_cast<uint32_t>(value.Type), 16) + "):", value.Data);
  }
}

void AppendKey(QByteArray& out, const TRegKey& key, const QString& path) {
  if (!key.Values().empty() || key.Subkeys().empty()) {
    out += '[' + path.toUtf8() + "]\n";
    for (const TRegNamedValue& v : key.Values()) AppendValue(out, v);
    out += '\n';
  }
  for (const auto& sub : key.Subkeys()) AppendKey(out, *sub, path + QLatin1Char('\\') + sub->Name());
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

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote.
std::optional<QString> ReadQuoted(QStringView text, qsizetype& pos) {
  QString out;
  ++pos;
  while (pos < text.size()) {
    const QChar c = text[pos++];
    if (c == QLatin1Char('"')) return out;
    if (c != QLatin1Char('\\')) {
      out += c;
      continue;
    }
    if (pos >= text.size()) return std::nullopt;
    const QChar e = text[pos++];
    if (e == QLatin1Char('\\') || e == QLatin1Char('"')) {
      out += e;
    } else if (e == QLatin1Char('n')) {
      out += QLatin1Char('\n');
    } else if (e == QLatin1Char('r')) {
      out += QLatin1Char('\r');
    } else if (e == QLatin1Char('u') && pos + 4 <= text.size() && HexValue(text[pos]) >= 0 &&
               HexValue(text[pos + 1]) >= 0 && HexValue(text[pos + 2]) >= 0 && HexValue(text[pos + 3]) >= 0) {
      char16_t unit = 0;
      for (int k = 0; k < 4; ++k) unit = static_cast<char16_t>(unit * 16 + HexValue(text[pos + k]));
      out += QChar(unit);
      pos += 4;
    } else {
      // Not an escape of the format (a hand-written "C:\Temp"): taken as it stands.
      out += QLatin1Char('\\');
      out += e;
    }
  }
  return std::nullopt;
}

bool OnlyBlanksFrom(QStringView text, qsizetype pos) { return text.mid(pos).trimmed().isEmpty(); }

std::optional<QByteArray> ReadHexBytes(QStringView list) {
  QByteArray bytes;
  const QStringView trimmed = list.trimmed();
  if (trimmed.isEmpty()) return bytes;
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
  TParser(const QString& rootName, QStringView text)
      : hive_(rootName), lines_(text.split(QLatin1Char('\n'))) {}

  std::optional<TRegHive> Run(QString* error) {
    const std::optional<TParseError> failure = ParseAll();
    if (!failure) return std::move(hive_);
    if (error) *error = QStringLiteral("line %1: %2").arg(failure->Line).arg(failure->Reason);
    return std::nullopt;
  }

private:
  TRegHive hive_;
  QList<QStringView> lines_;
  qsizetype next_ = 0;
  TRegKey* current_ = nullptr;

  bool NextLine(QStringView& line) {
    if (next_ >= lines_.size()) return false;
    line = lines_[next_++];
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return true;
  }

  TParseError Error(const QString& reason) const { return {static_cast<int>(next_), reason}; }

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
    if (!SameName(root, hive_.RootName()))
      return Error(QStringLiteral("the key is not under %1").arg(hive_.RootName()));
    const QStringView path = slash < 0 ? QStringView() : inner.mid(slash + 1);
    if (!SplitKeyPath(path)) return Error(QStringLiteral("invalid key name"));
    if (remove) {
      hive_.DeleteKey(path);
      current_ = nullptr;
    } else {
      current_ = &hive_.CreateKey(path);
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
      const std::optional<QString> quoted = ReadQuoted(t, pos);
      if (!quoted) return Error(QStringLiteral("the value name has no closing quote"));
      name = *quoted;
    }
    while (pos < t.size() && t[pos].isSpace()) ++pos;
    if (pos >= t.size() || t[pos] != QLatin1Char('=')) return Error(QStringLiteral("expected \"=\" after the value name"));
    ++pos;
    while (pos < t.size() && t[pos].isSpace()) ++pos;
    const QStringView data = t.mid(pos);

    if (data == QLatin1String("-")) {
      current_->RemoveValue(name);
      return std::nullopt;
    }
    if (data.startsWith(QLatin1Char('"'))) {
      qsizetype p = 0;
      const std::optional<QString> text = ReadQuoted(data, p);
      if (!text) return Error(QStringLiteral("the string has no closing quote"));
      if (!OnlyBlanksFrom(data, p)) return Error(QStringLiteral("text after the closing quote"));
      current_->SetValue(name, TRegValue::FromString(*text));
      return std::nullopt;
    }
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
      const QStringView digits = data.mid(6).trimmed();
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
    QString list = data.mid(pos + 1).toString();
    // A line ending in a backslash continues on the next one.
    for (;;) {
      const QStringView trimmed = QStringView(list).trimmed();
      if (!trimmed.endsWith(QLatin1Char('\\'))) break;
      list = trimmed.chopped(1).toString();
      QStringView next;
      if (!NextLine(next) || next.trimmed().isEmpty())
        return Error(QStringLiteral("the value ends after a continuation mark"));
      list += next.trimmed();
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

TRegValue TRegValue::FromString(const QString& text) {
  TRegValue v;
  v.Type = TRegType::String;
  v.Data.resize((text.size() + 1) * 2);
  for (qsizetype i = 0; i < text.size(); ++i) qToLittleEndian<uint16_t>(text[i].unicode(), v.Data.data() + 2 * i);
  qToLittleEndian<uint16_t>(0, v.Data.data() + 2 * text.size());
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
  QString text;
  const qsizetype units = Data.size() / 2;
  for (qsizetype i = 0; i < units; ++i) {
    const uint16_t u = qFromLittleEndian<uint16_t>(Data.constData() + 2 * i);
    if (u == 0) break;
    text += QChar(u);
  }
  return text;
}

std::optional<uint32_t> TRegValue::AsDWord() const {
  if (Type != TRegType::DWord || Data.size() != 4) return std::nullopt;
  return qFromLittleEndian<uint32_t>(Data.constData());
}

QString TRegKey::IndexName(QStringView name) { return name.toString().toCaseFolded(); }

// Removes the entry at position and moves the positions after it down by one.
void TRegKey::Unindex(TIndex& index, const QString& folded, size_t position) {
  index.remove(folded);
  for (auto it = index.begin(); it != index.end(); ++it)
    if (it.value() > position) --it.value();
}

TRegKey* TRegKey::FindSubkey(QStringView name) const {
  const auto it = subkeyIndex_.constFind(IndexName(name));
  return it == subkeyIndex_.cend() ? nullptr : subkeys_[it.value()].get();
}

TRegKey& TRegKey::SubkeyOrNew(const QString& name) {
  const QString folded = IndexName(name);
  const auto it = subkeyIndex_.constFind(folded);
  if (it != subkeyIndex_.cend()) return *subkeys_[it.value()];
  subkeyIndex_.insert(folded, subkeys_.size());
  subkeys_.push_back(std::make_unique<TRegKey>(name));
  return *subkeys_.back();
}

bool TRegKey::RemoveSubkey(QStringView name) {
  const QString folded = IndexName(name);
  const auto it = subkeyIndex_.constFind(folded);
  if (it == subkeyIndex_.cend()) return false;
  const size_t position = it.value();
  subkeys_.erase(subkeys_.begin() + static_cast<std::ptrdiff_t>(position));
  Unindex(subkeyIndex_, folded, position);
  return true;
}

const TRegValue* TRegKey::FindValue(QStringView name) const {
  const auto it = valueIndex_.constFind(IndexName(name));
  return it == valueIndex_.cend() ? nullptr : &values_[it.value()].Value;
}

void TRegKey::SetValue(const QString& name, TRegValue value) {
  const QString folded = IndexName(name);
  const auto it = valueIndex_.constFind(folded);
  if (it != valueIndex_.cend()) {
    values_[it.value()].Value = std::move(value);
    return;
  }
  valueIndex_.insert(folded, values_.size());
  values_.push_back({name, std::move(value)});
}

bool TRegKey::RemoveValue(QStringView name) {
  const QString folded = IndexName(name);
  const auto it = valueIndex_.constFind(folded);
  if (it == valueIndex_.cend()) return false;
  const size_t position = it.value();
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(position));
  Unindex(valueIndex_, folded, position);
  return true;
}

void TRegKey::Clear() {
  subkeys_.clear();
  subkeyIndex_.clear();
  values_.clear();
  valueIndex_.clear();
}

std::optional<QStringList> SplitKeyPath(QStringView path) {
  if (path.startsWith(QLatin1Char('\\'))) path = path.mid(1);
  if (path.endsWith(QLatin1Char('\\'))) path.chop(1);
  QStringList names;
  if (path.isEmpty()) return names;
  qsizetype start = 0;
  for (;;) {
    const qsizetype slash = path.indexOf(QLatin1Char('\\'), start);
    const QStringView name = path.mid(start, slash < 0 ? -1 : slash - start);
    if (!IsValidKeyName(name) || names.size() >= MaxKeyDepth) return std::nullopt;
    names.append(name.toString());
    if (slash < 0) return names;
    start = slash + 1;
  }
}

const TRegKey* TRegHive::FindKey(QStringView path) const {
  const std::optional<QStringList> names = SplitKeyPath(path);
  if (!names) return nullptr;
  const TRegKey* key = root_.get();
  for (const QString& n : *names) {
    key = key->FindSubkey(n);
    if (!key) return nullptr;
  }
  return key;
}

TRegKey* TRegHive::FindKey(QStringView path) {
  return const_cast<TRegKey*>(std::as_const(*this).FindKey(path));
}

TRegKey& TRegHive::CreateKey(QStringView path) {
  const std::optional<QStringList> names = SplitKeyPath(path);
  if (!names) throw ERegistryException(QStringLiteral("Invalid registry key name \"%1\"").arg(path));
  TRegKey* key = root_.get();
  for (const QString& n : *names) key = &key->SubkeyOrNew(n);
  return *key;
}

bool TRegHive::DeleteKey(QStringView path) {
  const std::optional<QStringList> names = SplitKeyPath(path);
  if (!names) return false;
  if (names->isEmpty()) {
    root_->Clear();
    return true;
  }
  TRegKey* parent = root_.get();
  for (qsizetype i = 0; i + 1 < names->size(); ++i) {
    parent = parent->FindSubkey((*names)[i]);
    if (!parent) return false;
  }
  return parent->RemoveSubkey(names->last());
}

QByteArray TRegHive::ToText() const {
  QByteArray out = QByteArray(HeaderV5.data(), HeaderV5.size()) + "\n\n";
  const TRegKey& root = *root_;
  if (!root.Values().empty()) {
    out += '[' + root.Name().toUtf8() + "]\n";
    for (const TRegNamedValue& v : root.Values()) AppendValue(out, v);
    out += '\n';
  }
  for (const auto& sub : root.Subkeys()) AppendKey(out, *sub, root.Name() + QLatin1Char('\\') + sub->Name());
  return out;
}

std::optional<TRegHive> TRegHive::Parse(const QByteArray& bytes, const QString& rootName, QString* error) {
  const std::optional<QString> text = DecodeText(bytes, error);
  if (!text) return std::nullopt;
  TParser parser(rootName, *text);
  return parser.Run(error);
}
