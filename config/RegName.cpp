#include "config/RegName.h"

#include <QChar>

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The folded code point at name[i]; i moves past it. A lone surrogate stands for itself.
char32_t NextFolded(QStringView name, qsizetype& i) {
  const char16_t c = name[i++].unicode();
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? char32_t(c + 32) : char32_t(c);
  char32_t code = c;
  if (IsHighSurrogate(c) && i < name.size() && IsLowSurrogate(name[i].unicode()))
    code = QChar::surrogateToUcs4(c, name[i++].unicode());
  return QChar::toCaseFolded(code);
}

}  // namespace

uint32_t RegNameHash(QStringView name) {
  // FNV-1a over the folded code points, then a final mix so that the low bits, which pick a
  // table slot, depend on every character.
  uint64_t h = 0xcbf29ce484222325ull;
  for (qsizetype i = 0; i < name.size();) {
    h ^= NextFolded(name, i);
    h *= 0x100000001b3ull;
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return static_cast<uint32_t>(h);
}

bool SameRegName(QStringView a, QStringView b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char16_t ca = a[i].unicode(), cb = b[j].unicode();
    if (ca == cb && ca < 0x80) {
      ++i;
      ++j;
      continue;
    }
    if (NextFolded(a, i) != NextFolded(b, j)) return false;
  }
  return i == a.size() && j == b.size();
}
