#include "config/SettingsWarnings.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSet>

namespace {

struct TWarnings {
  QMutex Lock;
  QStringList Texts;
  QSet<QByteArray> Given;
  qsizetype Taken = 0;  // the warnings already handed to a message
};

TWarnings& Warnings() {
  static TWarnings warnings;
  return warnings;
}

}  // namespace

bool AddSettingsWarning(const QString& text, const QByteArray& onceKey) {
  TWarnings& w = Warnings();
  {
    const QMutexLocker locker(&w.Lock);
    if (!onceKey.isEmpty()) {
      if (w.Given.contains(onceKey)) return false;
      w.Given.insert(onceKey);
    }
    w.Texts.append(text);
  }
  qWarning("Korvane: %s", qPrintable(text));
  return true;
}

QStringList SettingsWarnings() {
  TWarnings& w = Warnings();
  const QMutexLocker locker(&w.Lock);
  return w.Texts;
}

QString TakeSettingsWarningMessage() {
  TWarnings& w = Warnings();
  const QMutexLocker locker(&w.Lock);
  const QStringList texts = w.Texts.mid(w.Taken);
  w.Taken = w.Texts.size();
  if (texts.isEmpty()) return QString();
  return QStringLiteral("There is a problem with the settings files:\n\n") + texts.join(QStringLiteral("\n\n"));
}
