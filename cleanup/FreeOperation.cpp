#include "cleanup/FreeOperation.h"

#include <QStringList>

TOpStatus FinalStatus(bool cancelled, bool anythingDone, bool anyFailure) {
  if (cancelled) return TOpStatus::Cancelled;
  if (!anyFailure) return TOpStatus::Done;
  return anythingDone ? TOpStatus::PartlyDone : TOpStatus::Failed;
}

QString StatusText(TOpStatus status) {
  switch (status) {
    case TOpStatus::Done: return QStringLiteral("done");
    case TOpStatus::Cancelled: return QStringLiteral("cancelled");
    case TOpStatus::Failed: return QStringLiteral("failed");
    case TOpStatus::PartlyDone: return QStringLiteral("partly done");
  }
  return {};
}

QString FailureLines(const TOpResult& result) {
  QStringList lines;
  for (size_t i = 0; i < result.failures.size() && i < 5; ++i)
    lines << QStringLiteral("%1: %2").arg(result.failures[i].path, result.failures[i].reason);
  if (result.failures.size() > 5) lines << QStringLiteral("and %1 more.").arg(result.failures.size() - 5);
  return lines.join(QLatin1Char('\n'));
}
