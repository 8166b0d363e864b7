// The .trashinfo files the trash writes. Nothing in the program reads a trash back, so the target
// holds the writer to what every reader of the format relies on: for any path bytes and any
// deletion time, three lines, "Path=" percent-encoded with nothing but unreserved characters and
// "/" left as they are, decoding to exactly the path's bytes.

#include "cleanup/Trash.h"
#include "fuzz/FuzzSupport.h"

#include <QDateTime>
#include <QList>

#include <cstring>
#include <cctype>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int64_t seconds = 0;
  if (size >= sizeof seconds) {
    std::memcpy(&seconds, data, sizeof seconds);
    data += sizeof seconds;
    size -= sizeof seconds;
  }
  // Any time a clock can hold, from year 1 to 9999.
  seconds = -62135596800LL + static_cast<int64_t>(static_cast<uint64_t>(seconds) % 315537897600ULL);
  const QByteArray path = FuzzBytes(data, size);
  const QByteArray text = TrashInfoText(path, QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC));

  const QList<QByteArray> lines = text.split('\n');
  FUZZ_CHECK(lines.size() == 4 && lines[3].isEmpty());
  FUZZ_CHECK(lines[0] == "[Trash Info]");
  FUZZ_CHECK(lines[1].startsWith("Path="));
  FUZZ_CHECK(lines[2].startsWith("DeletionDate="));
  const QByteArray encoded = lines[1].mid(5);
  for (const char c : encoded)
    FUZZ_CHECK(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-._~/%", c));
  FUZZ_CHECK(QByteArray::fromPercentEncoding(encoded) == path);
  const QDateTime when = QDateTime::fromString(QString::fromLatin1(lines[2].mid(13)), QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
  FUZZ_CHECK(when.isValid());
  return 0;
}
