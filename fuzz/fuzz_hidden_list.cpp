// A folder's ".hidden" list, as the scan, the archive writer and the archives folder read it:
// every listed name is a non-empty line without its line end, and each such line is listed.

#include "fuzz/FuzzSupport.h"
#include "platform/HiddenList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray text = FuzzBytes(data, size);
  const QSet<QByteArray> names = ParseHiddenList(text);
  qsizetype nonEmpty = 0;
  for (QByteArray line : text.split('\n')) {
    if (line.endsWith('\r')) line.chop(1);
    if (line.isEmpty()) continue;
    ++nonEmpty;
    FUZZ_CHECK(names.contains(line));
  }
  FUZZ_CHECK(names.size() <= nonEmpty);
  for (const QByteArray& name : names) FUZZ_CHECK(!name.isEmpty() && !name.contains('\n'));
  return 0;
}
