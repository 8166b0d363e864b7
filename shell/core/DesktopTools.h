// The desktop's own tools that the Tools menu offers: a search tool for "Find Files or Folders"
// and the installed applications of the System category for "System Tools", read from the
// freedesktop.org desktop entries.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

struct TDesktopApp {
  QString Id;    // the desktop file's name ("org.example.Tool.desktop")
  QString Name;
  QString Comment;
  QString Icon;
  QStringList Command;  // the program and its arguments, field codes removed
  QStringList Categories;
};

// Splits an Exec value (already read as a desktop string) into its arguments: blanks separate,
// double quotes group, and inside quotes a backslash escapes '"', '`', '$' and '\'. The field
// codes (%f, %F, %u, %U, %i, %c, %k and the deprecated ones) are removed; "%%" stays one "%".
// None when a quote is not closed.
std::optional<QStringList> SplitExecLine(const QString& exec);

// The application a desktop entry describes, when it is one to show: Type=Application, not
// NoDisplay or Hidden, with an Exec line and (when it names one) its TryExec program found by
// findExecutable.
std::optional<TDesktopApp> ParseDesktopEntry(const QByteArray& bytes, const QString& id,
                                             const std::function<QString(const QString&)>& findExecutable);

// The System-category applications below dataFolders/applications (the first folder that has an
// entry of a name wins, as the desktop menus do), sorted by name; the program's
// own entries are left out.
std::vector<TDesktopApp> SystemToolEntries(const QStringList& dataFolders,
                                           const std::function<QString(const QString&)>& findExecutable);
// XDG_DATA_HOME and XDG_DATA_DIRS with their defaults, in order.
QStringList DesktopDataFolders();

struct TSearchTool {
  QString Program;
  QStringList Arguments;
};
// A search tool installed on PATH, started for hostFolder; none when there is none (the file
// manager at the folder then stands in).
std::optional<TSearchTool> FindSearchTool(const QString& hostFolder,
                                          const std::function<QString(const QString&)>& findExecutable);
