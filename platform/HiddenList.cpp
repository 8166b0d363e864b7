#include "platform/HiddenList.h"

QSet<QByteArray> ParseHiddenList(const QByteArray& text) {
  QSet<QByteArray> names;
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = text.indexOf('\n', start);
    if (end < 0) end = text.size();
    qsizetype length = end - start;
    if (length > 0 && text[end - 1] == '\r') --length;
    if (length > 0) names.insert(text.mid(start, length));
    start = end + 1;
  }
  return names;
}
