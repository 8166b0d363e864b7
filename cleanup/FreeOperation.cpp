#include "cleanup/FreeOperation.h"

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
