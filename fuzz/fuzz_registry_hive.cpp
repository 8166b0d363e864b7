// The settings hive reader (the text form of registry exports) and its writer: any text either
// is refused or reads into a hive whose written form reads back into the very same keys and
// values, and writing that again gives the same text.

#include "config/RegistryHive.h"
#include "fuzz/FuzzSupport.h"

namespace {

const QString Root = QStringLiteral("HKEY_CURRENT_USER");

bool SameKey(const TRegKey& a, const TRegKey& b) {
  if (a.Name() != b.Name() || a.Values().size() != b.Values().size() || a.Subkeys().size() != b.Subkeys().size())
    return false;
  for (size_t i = 0; i < a.Values().size(); ++i) {
    const TRegNamedValue& x = a.Values()[i];
    const TRegNamedValue& y = b.Values()[i];
    if (x.Name != y.Name || !(x.Value == y.Value)) return false;
  }
  for (size_t i = 0; i < a.Subkeys().size(); ++i)
    if (!SameKey(*a.Subkeys()[i], *b.Subkeys()[i])) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QString error;
  const std::optional<TRegHive> hive = TRegHive::Parse(FuzzBytes(data, size), Root, &error);
  if (!hive) {
    FUZZ_CHECK(!error.isEmpty());
    return 0;
  }
  const QByteArray text = hive->ToText();
  QString again;
  const std::optional<TRegHive> reread = TRegHive::Parse(text, Root, &again);
  FUZZ_CHECK(reread.has_value());
  FUZZ_CHECK(SameKey(hive->Root(), reread->Root()));
  FUZZ_CHECK(reread->ToText() == text);
  return 0;
}
