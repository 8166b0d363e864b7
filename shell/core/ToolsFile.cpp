// Reading the user's tools file.

#include "shell/core/ToolsFile.h"

#include "config/AtomicFile.h"
#include "config/RegistryStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
  int moreProblems = 0;
  qsizetype start = 0;
  for (int number = 1; start < text.size(); ++number) {
    qsizetype end = text.indexOf('\n', start);
    if (end < 0) end = text.size();
    QByteArray raw = text.mid(start, end - start);
    start = end + 1;
    if (raw.endsWith('\r')) raw.chop(1);
    const QString line = QString::fromUtf8(raw);
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.trimmed().isEmpty()) continue;
    if (static_cast<int>(file.Entries.size()) >= ToolsFileItemCap) {
      file.Truncated = QStringLiteral("Only the first %1 commands are shown; line %2 and the lines after it are not read")
                           .arg(ToolsFileItemCap)
                           .arg(number);
      break;
    }
    const QStringList fields = SplitToolsLine(line);
    QString problem;
    if (fields.size() < 3)
      problem = QStringLiteral("Line %1: a caption, a hint and a command are needed: %2").arg(number).arg(line.left(200));
    else if (fields[2].trimmed().isEmpty())
      problem = QStringLiteral("Line %1: the command is empty: %2").arg(number).arg(line.left(200));
    if (problem.isEmpty()) {
      file.Entries.push_back({fields[0], fields[1], fields[2], number});
    } else if (file.Problems.size() < ToolsFileProblemCap) {
      file.Problems << problem;
    } else {
      ++moreProblems;
    }
  }
  if (moreProblems > 0) file.Problems << QStringLiteral("%1 more lines make no command").arg(moreProblems);
  return file;
}

TToolsFile ReadToolsFile(const QByteArray& path) {
  TToolsFile failed;
  const QString shown = QString::fromLocal8Bit(path);
  const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) failed.Problems << QStringLiteral("Cannot read %1: %2").arg(shown, SystemErrorText(errno));
    return failed;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    failed.Problems << QStringLiteral("Cannot read %1: it is not a regular file").arg(shown);
    return failed;
  }
  QByteArray bytes(static_cast<qsizetype>(ToolsFileReadCap) + 1, Qt::Uninitialized);
  qsizetype got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int code = errno;
      ::close(fd);
      failed.Problems << QStringLiteral("Cannot read %1: %2").arg(shown, SystemErrorText(code));
      return failed;
    }
    if (n == 0) break;
    got += n;
  }
  ::close(fd);
  bytes.truncate(got);
  const bool cut = got > ToolsFileReadCap;
  if (cut) bytes.truncate(std::max<qsizetype>(0, bytes.lastIndexOf('\n', ToolsFileReadCap - 1) + 1));
  TToolsFile file = ParseToolsFile(bytes);
  if (cut && file.Truncated.isEmpty())
    file.Truncated = QStringLiteral("The file is larger than %1 KB; only its beginning is read").arg(ToolsFileReadCap / 1024);
  return file;
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
