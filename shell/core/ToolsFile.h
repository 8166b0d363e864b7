// The user's tools file, TOOLS.INI in the settings folder (beside the registry hives): one menu
// item per line with a caption, a hint and a command. Read again every time the Tools menu opens,
// and only then; what is read is capped (ToolsFileReadCap bytes, ToolsFileItemCap items,
// ToolsFileProblemCap problem lines), and a file beyond a cap says so in the menu.
//
// Lines that are empty, blank or begin with "#" are skipped. Any other line is split into fields
// separated by commas, blanks and control characters; a field that begins with a double quote
// runs to the matching closing quote (a doubled quote inside stands for one) and may hold commas
// and blanks; a comma at the very end adds one empty field. Field 1 is the caption ("&" marks the
// access key), field 2 the hint, field 3 the command (a program or a document); further fields
// are ignored. A line with fewer than three fields is reported and skipped; the other lines
// still make their items.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

inline constexpr QLatin1String ToolsFileName("TOOLS.INI");

struct TToolEntry {
  QString Caption;
  QString Hint;
  QString Command;
  int Line = 0;  // 1-based line in the file
};

inline constexpr qint64 ToolsFileReadCap = 256 * 1024;
inline constexpr int ToolsFileItemCap = 100;
inline constexpr int ToolsFileProblemCap = 10;

struct TToolsFile {
  std::vector<TToolEntry> Entries;
  // One text per line that could not be used ("Line 4: ..."), then one for the rest.
  QStringList Problems;
  // What was left unread or unused because of a cap; empty when the whole file was used.
  QString Truncated;
};

// The tools file's host path: the registry folder (see RegistryStore.h) and TOOLS.INI.
QByteArray ToolsFilePath();

// Splits one line into its fields.
QStringList SplitToolsLine(QStringView line);
// Parses the file's bytes (UTF-8; CR LF or LF line ends), up to ToolsFileItemCap items.
TToolsFile ParseToolsFile(const QByteArray& bytes);
// Reads (at most ToolsFileReadCap bytes, whole lines, of a regular file; nothing else is opened
// or waited on) and parses the file; a missing file gives no entries and no problems, an
// unreadable one a problem that says why.
TToolsFile ReadToolsFile(const QByteArray& path);

// The program a tool command stands for. A command with a folder part is taken as it is (a
// leading "~/" is the home folder). A bare name is looked for in programFolder first, then on
// PATH; when found nowhere it is taken in programFolder, where starting it fails with a reason.
QString ResolveToolCommand(const QString& command, const QString& programFolder);
// The folder a resolved command runs in: its own folder.
QString ToolWorkingFolder(const QString& resolvedCommand);

// The commented text a new tools file starts with.
QByteArray ToolsFileTemplate();
// Creates the file with the template when it does not exist yet (an existing file is never
// touched). False with the reason in *error when it cannot be written.
bool EnsureToolsFile(const QByteArray& path, QString* error = nullptr);
