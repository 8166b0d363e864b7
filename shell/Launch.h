#pragma once
// Starting programs and opening addresses, folders and files with the desktop's handlers.
// Everything that leaves the program receives host paths: a drive path is translated first.

#include <QString>
#include <QStringList>

#include <functional>

class QUrl;
class QWidget;

// Opens url with the desktop's handler (QDesktopServices). False when no handler took it.
bool OpenUrl(const QUrl& url);
// Tests: every address is passed to opener instead of the desktop; null restores the desktop.
void SetUrlOpener(std::function<bool(const QUrl&)> opener);

// The host path of a drive path, as text for other programs; a text that is no drive path (or
// whose drive is not mapped) is returned as it is.
QString HostArgument(const QString& path);

// Opens a drive path (file or folder) with the desktop's handler for it; a failure is reported
// through ShowError. The folder of "Explore Current Folder" goes this way to the file manager.
bool OpenItem(const QString& drivePath, QWidget* parent = nullptr);

// Starts program detached with arguments, each passed as one argument however many blanks it
// holds, in workingFolder (empty: the program's own working folder). Paths in them must already
// be host paths (see HostArgument). A program that cannot be started is reported through
// ShowError; the result says whether it started.
bool RunProgram(const QString& program, const QStringList& arguments, const QString& workingFolder = QString(),
                QWidget* parent = nullptr);
