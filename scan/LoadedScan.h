#pragma once
// A drive loaded from a scan file (an export another program wrote, on this machine or another)
// instead of scanned: its folders and figures can be browsed, reported on and compared, but no
// folder of this machine stands behind it. Such drives take the letters A: and B:, which the drive
// table never maps (it maps C to Z), so no path of theirs can reach a host folder; the scan
// session and the window refuse every rescan and file operation on them besides.

#include <QDateTime>
#include <QString>

struct TLoadedScanInfo {
  QString File;      // the scan file as it was opened (a host path)
  QString HostRoot;  // the folder the export names, on the machine where it was made
  QDateTime Time;    // when the export was made; invalid when the file does not say
  QString Program;   // the program that wrote it ("ncdu 2.3"), when the file says
  bool Complete = true;  // false: the file was damaged or cut short; what came before is shown
};

// The letters loaded scans take, in the order they are given.
inline constexpr char LoadedScanLetters[] = "AB";

// The tree text of a loaded scan's top node: the file's name (with " [incomplete]" after it for a
// damaged file), the host folder and the time, so that it never reads like a live drive.
QString LoadedScanNodeText(const TLoadedScanInfo& info);
// One line for the status bar and messages: "scan file usr.json (/usr, 2026-12-11 09:30 UTC)".
QString LoadedScanDescription(const TLoadedScanInfo& info);
// The message a command gets that needs the disk behind a folder of a loaded scan; what: the
// command ("Deleting", "Rescanning"...).
QString LoadedScanRefusal(QChar letter, const TLoadedScanInfo& info, const QString& what);
