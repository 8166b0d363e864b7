#include "scan/LoadedScan.h"

#include <QFileInfo>

namespace {

QString TimeText(const QDateTime& time) {
  return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")) : QStringLiteral("time unknown");
}

}  // namespace

QString LoadedScanNodeText(const TLoadedScanInfo& info) {
  // The mark goes before the folder, so that a narrow tree still shows it.
  const QString text = QStringLiteral("Scan file %1%2 (%3, %4)")
                           .arg(QFileInfo(info.File).fileName(), info.Complete ? QString() : QStringLiteral(" [incomplete]"),
                                info.HostRoot, TimeText(info.Time));
  // A node's text is kept short; the whole description is in the status bar and messages.
  return text.left(255);
}

QString LoadedScanDescription(const TLoadedScanInfo& info) {
  return QStringLiteral("scan file %1 (%2, %3)").arg(info.File, info.HostRoot, TimeText(info.Time));
}

QString LoadedScanRefusal(QChar letter, const TLoadedScanInfo& info, const QString& what) {
  return QStringLiteral("%1 is not possible here: drive %2: is the %3, loaded for viewing. Its folders are "
                        "not on this computer's disks, so nothing is opened, changed or scanned there.")
      .arg(what, QString(letter), LoadedScanDescription(info));
}
