// Reading the user's tools file.

#include "shell/core/ToolsFile.h"

#include "config/AtomicFile.h"
#include "config/RegistryStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool IsBlankOrControl(QChar c) { return c.unicode() >= 1 && c.unicode() <= 32; }

}  // namespace

QByteArray ToolsFilePath() { return RegistryFolder() + '/' + QByteArray(ToolsFileName.data(), ToolsFileName.size()); }

QStringList SplitToolsLine(QStringView line) {
  QStringList fields;
  qsizetype p = 0;
  const qsizetype n = line.size();
  const auto skipBlanks = [&] {
    while (p < n && IsBlankOrControl(line[p])) ++p;
  };
  skipBlanks();
  while (p < n && line[p] != QChar(0)) {
    QString field;
    if (line[p] == QLatin1Char('"')) {
      ++p;
      while (p < n) {
        if (line[p] == QLatin1Char('"')) {
          if (p + 1 < n && line[p + 1] == QLatin1Char('"')) {
            field += QLatin1Char('"');
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        field += line[p++];
      }
    } else {
      const qsizetype start = p;
      while (p < n && line[p].unicode() > 32 && line[p] != QLatin1Char(',')) ++p;
      field = line.mid(start, p - start).toString();
    }
    fields << field;
    skipBlanks();
    if (p < n && line[p] == QLatin1Char(',')) {
      if (p + 1 >= n) fields << QString();
      ++p;
      skipBlanks();
    }
  }
  return fields;
}

TToolsFile ParseToolsFile(const QByteArray& bytes) {
  TToolsFile file;
  QByteArray text = bytes;
  if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
  const QList<QByteArray> lines = text.split('\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    QByteArray raw = lines[i];
    if (raw.endsWith('\r')) raw.chop(1);
    const QString line = QString::fromUtf8(raw);
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.trimmed().isEmpty()) continue;
    const QStringList fields = SplitToolsLine(line);
    const int number = static_cast<int>(i + 1);
    if (fields.size() < 3) {
      file.Problems << QStringLiteral("Line %1: a caption, a hint and a command are needed: %2").arg(number).arg(line);
      continue;
    }
    if (fields[2].trimmed().isEmpty()) {
      file.Problems << QStringLiteral("Line %1: the command is empty: %2").arg(number).arg(line);
      continue;
    }
    file.Entries.push_back({fields[0], fields[1], fields[2], number});
  }
  return file;
}

TToolsFile ReadToolsFile(const QByteArray& path) {
  bool missing = false;
  QString error;
  const std::optional<QByteArray> bytes = ReadWholeFile(path, &missing, &error);
  if (!bytes) {
    TToolsFile file;
    if (!missing) file.Problems << QStringLiteral("Cannot read %1: %2").arg(QString::fromLocal8Bit(path), error);
    return file;
  }
  return ParseToolsFile(*bytes);
}

QString ResolveToolCommand(const QString& command, const QString& programFolder) {
  if (command.startsWith(QStringLiteral("~/"))) return QDir::homePath() + command.mid(1);
  if (command.contains(QLatin1Char('/'))) return command;
  const QString own = QDir(programFolder).filePath(command);
  if (QFileInfo::exists(own)) return own;
  const QString onPath = QStandardPaths::findExecutable(command);
  if (!onPath.isEmpty()) return onPath;
  return own;
}

QString ToolWorkingFolder(const QString& resolvedCommand) {
  const qsizetype slash = resolvedCommand.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return QString();
  if (slash == 0) return QStringLiteral("/");
  return resolvedCommand.left(slash);
}

QByteArray ToolsFileTemplate() {
  return QByteArrayLiteral(
      "# Korvane Tools menu\n"
      "#\n"
      "# Each line that is not empty and does not begin with # adds one command to the Tools menu:\n"
      "#\n"
      "#   caption, hint, command\n"
      "#\n"
      "# The caption is the menu text (an & marks the access key), the hint is shown in the status\n"
      "# bar, the command is a program or a document. The folder shown in Korvane is passed to the\n"
      "# program as one argument. Put a field in double quotes when it holds blanks or commas.\n"
      "# A command without a folder is looked for in Korvane's own folder, then on the PATH.\n"
      "# The menu reads this file again every time it opens.\n"
      "#\n"
      "# Examples:\n"
      "#\n"
      "# \"Open in the &desktop\", \"Opens the current folder with the desktop's handler\", xdg-open\n"
      "# \"&List the folder\", \"Lists the current folder in a file\", ~/bin/list-folder.sh\n");
}

bool EnsureToolsFile(const QByteArray& path, QString* error) {
  if (QFileInfo::exists(QString::fromLocal8Bit(path))) return true;
  const QByteArray folder = FolderOf(path);
  if (!QDir().mkpath(QString::fromLocal8Bit(folder))) {
    if (error) *error = QStringLiteral("Cannot create the folder %1").arg(QString::fromLocal8Bit(folder));
    return false;
  }
  return WriteFileAtomically(path, ToolsFileTemplate(), 0644, error);
}
