#pragma once
// Warnings about the files that hold the settings: a hive or profile file that cannot be read, a
// hive set aside because it cannot be parsed, settings that were not saved. Each is printed on
// standard error when it happens and kept, so that the window program can show what happened
// while it started in one message box.

#include <QByteArray>
#include <QString>
#include <QStringList>

// Prints text on standard error and keeps it. A warning with a onceKey that was given before is
// neither printed nor kept again. Returns whether the warning was given.
bool AddSettingsWarning(const QString& text, const QByteArray& onceKey = QByteArray());

// Every warning given since the program started, in order.
QStringList SettingsWarnings();

// The warnings given since the last call (since the start at the first), as one message for the
// user; empty when there are none. The window program shows it once after its start.
QString TakeSettingsWarningMessage();
