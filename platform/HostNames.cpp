#include "platform/HostNames.h"

namespace {

constexpr char16_t EscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at s[i] and its code point; 0 when the bytes there are not
// valid UTF-8 (overlong forms, surrogates and values past U+10FFFF are invalid).
size_t Utf8Sequence(std::string_view s, size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  size_t n;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

void AppendCodePoint(QString& out, char32_t cp) {
  if (cp >= 0x10000) {
    const char32_t v = cp - 0x10000;
    out.append(QChar(static_cast<char16_t>(0xD800 + (v >> 10))));
    out.append(QChar(static_cast<char16_t>(0xDC00 + (v & 0x3FF))));
  } else {
    out.append(QChar(static_cast<char16_t>(cp)));
  }
}

template <typename Out>
void AppendUtf8(Out& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

namespace {

// hostName: also map "\" and ":" to their private-use stand-ins, and carry literal stand-ins as
// escaped bytes.
QString DecodeBytes(std::string_view raw, bool hostName) {
  QString out;
  out.reserve(static_cast<qsizetype>(raw.size()));
  size_t i = 0;
  while (i < raw.size()) {
    char32_t cp;
    const size_t n = Utf8Sequence(raw, i, cp);
    if (n == 0 || (hostName && (cp == HostBackslashChar || cp == HostColonChar))) {
      // Not decodable, or a literal private-use character that would read back as "\" or ":":
      // carry the bytes themselves.
      const size_t bytes = n ? n : 1;
      for (size_t k = 0; k < bytes; ++k)
        out.append(QChar(static_cast<char16_t>(EscapeBase + static_cast<unsigned char>(raw[i + k]))));
      i += bytes;
      continue;
    }
    if (hostName && cp == '\\')
      out.append(QChar(HostBackslashChar));
    else if (hostName && cp == ':')
      out.append(QChar(HostColonChar));
    else
      AppendCodePoint(out, cp);
    i += n;
  }
  return out;
}

QByteArray EncodeText(QStringView name, bool hostName) {
  QByteArray out;
  out.reserve(name.size());
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    if (IsHighSurrogate(c) && i + 1 < name.size() && IsLowSurrogate(name[i + 1].unicode())) {
      const char32_t cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (name[i + 1].unicode() - 0xDC00);
      AppendUtf8(out, cp);
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out.push_back(static_cast<char>(c - EscapeBase));
    } else if (hostName && c == HostBackslashChar) {
      out.push_back('\\');
    } else if (hostName && c == HostColonChar) {
      out.push_back(':');
    } else if (!hostName && (IsHighSurrogate(c) || IsLowSurrogate(c))) {
      AppendUtf8(out, 0xFFFD);  // a lone surrogate that stands for no byte
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

}  // namespace

QString DecodeHostName(std::string_view raw) { return DecodeBytes(raw, true); }
QByteArray EncodeHostName(QStringView name) { return EncodeText(name, true); }
QString DecodeEscapedUtf8(std::string_view bytes) { return DecodeBytes(bytes, false); }
QByteArray EncodeEscapedUtf8(QStringView text) { return EncodeText(text, false); }

bool IsPlainHostName(std::string_view raw) {
  size_t i = 0;
  while (i < raw.size()) {
    const auto b = static_cast<unsigned char>(raw[i]);
    if (b < 0x80) {
      if (b == '\\' || b == ':') return false;
      ++i;
      continue;
    }
    char32_t cp;
    const size_t n = Utf8Sequence(raw, i, cp);
    if (n == 0 || cp == HostBackslashChar || cp == HostColonChar) return false;
    i += n;
  }
  return true;
}

void AppendWtf8(std::string& out, QStringView text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1].unicode())) {
      AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1].unicode() - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out, c);  // a lone surrogate becomes its own three bytes
    }
  }
}

std::string EncodeWtf8(QStringView text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  AppendWtf8(out, text);
  return out;
}

QString DecodeWtf8(std::string_view bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  size_t i = 0;
  while (i < bytes.size()) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
      out.append(QChar(static_cast<char16_t>(b0)));
      ++i;
      continue;
    }
    char32_t cp;
    size_t n = Utf8Sequence(bytes, i, cp);
    if (n == 0 && b0 == 0xED && i + 3 <= bytes.size()) {
      // A surrogate in three bytes: the form WTF-8 uses for lone surrogates.
      const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
      const auto b2 = static_cast<unsigned char>(bytes[i + 2]);
      if ((b1 & 0xE0) == 0xA0 && (b2 & 0xC0) == 0x80) {
        cp = 0xD000 | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
        n = 3;
      }
    }
    if (n == 0) {
      out.append(QChar(0xFFFD));  // not WTF-8 at all; never produced by EncodeWtf8
      ++i;
      continue;
    }
    AppendCodePoint(out, cp);
    i += n;
  }
  return out;
}
