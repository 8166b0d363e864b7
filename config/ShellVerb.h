// The folder verb: the key "Folder\shell\Korvane 3" under HKEY_CLASSES_ROOT with its command, and
// beside it a desktop entry in $XDG_DATA_HOME/applications that makes file managers offer the
// program for folders ("Open With Korvane"). The user's default applications (mimeapps.list)
// are never touched.
#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>

#include <optional>
#include <stdexcept>

inline constexpr QLatin1String ShellVerbKey("Folder\\shell\\Korvane 3");
inline constexpr QLatin1String ShellVerbCommandKey("Folder\\shell\\Korvane 3\\Command");
inline constexpr QLatin1String ShellVerbCaption("Analyze with Korvane");
inline constexpr QLatin1String ShellVerbDesktopFileName("korvane-open-folder.desktop");

class EShellVerbError : public std::runtime_error {
public:
  explicit EShellVerbError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& Message() const { return message_; }

private:
  QString message_;
};

// Whether the verb's key exists; none when the classes-root hive cannot be read.
std::optional<bool> ShellVerbRegistered();

// The command value: the program's path and the folder placeholder, each in double quotes.
QString ShellVerbCommand(const QString& programPath);

// $XDG_DATA_HOME/applications (or ~/.local/share/applications) and the entry's path in it.
QByteArray UserApplicationsFolder();
QByteArray ShellVerbDesktopPath();
// The desktop entry's text for a program path; Exec quotes the path as the desktop entry format
// requires, so blanks, quotes, "$", "`", "\" and "%" in it survive.
QByteArray ShellVerbDesktopEntry(const QString& programPath);

// Writes both keys and the desktop entry (atomically). Throws EShellVerbError with the text
// "Error creating system registry entry" when the keys cannot be written, and with a text that
// names the file when the desktop entry cannot be.
void RegisterShellVerb(const QString& programPath);
// Deletes the command key, then the verb key, then the desktop entry; failures are ignored.
void UnregisterShellVerb();
