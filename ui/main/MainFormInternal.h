#pragma once
// Path helpers shared by the main window's source files (start-up, scan commands, folder tree,
// pages). Private to ui/main.

#include "platform/DriveTable.h"
#include "platform/UserPath.h"
#include "scan/VolumeInfo.h"

#include <QFile>
#include <QString>

namespace MainFormInternal {

// The root of a drive: its letter, a colon and a backslash.
inline QString RootOf(QChar letter) { return letter.toUpper() + QStringLiteral(":\\"); }

// A drive as the drive list shows it: its letter and its name.
inline QString DriveText(QChar letter) { return letter.toUpper() + DriveDisplayName(RootOf(letter)); }

inline bool IsDrivePath(const QString& text) {
  return text.size() >= 2 && text[0].isLetter() && text[0].unicode() < 128 && text[1] == QLatin1Char(':') &&
         (text.size() == 2 || text[2] == QLatin1Char('\\') || text[2] == QLatin1Char('/'));
}

// A path from outside (command line, dropped, browsed) as a drive path; empty when no drive
// holds it.
inline QString ToDrivePath(const QString& text) {
  if (IsDrivePath(text)) {
    QString path = text;
    path[0] = path[0].toUpper();
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return path.size() == 2 ? path + QLatin1Char('\\') : path;
  }
  // The text's bytes exactly (a name that is not UTF-8 is carried as HostPathText gives it); a
  // ".." after a link is not taken as text.
  const std::optional<QByteArray> host = CleanGivenHostPath(HostPathBytes(text), QByteArray(), nullptr);
  if (!host) return QString();
  const auto drivePath = HostToDrive(*host);
  return drivePath ? *drivePath : QString();
}

}  // namespace MainFormInternal
