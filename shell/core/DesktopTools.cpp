// Desktop entries and search tools for the Tools menu.

#include "shell/core/DesktopTools.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

// The value of a desktop string: \s, \n, \t, \r and \\ escapes.
QString DesktopStringValue(QStringView raw) {
  QString value;
  for (qsizetype i = 0; i < raw.size(); ++i) {
    if (raw[i] != QLatin1Char('\\') || i + 1 >= raw.size()) {
      value += raw[i];
      continue;
    }
    const QChar next = raw[++i];
    if (next == QLatin1Char('s')) value += QLatin1Char(' ');
    else if (next == QLatin1Char('n')) value += QLatin1Char('\n');
    else if (next == QLatin1Char('t')) value += QLatin1Char('\t');
    else if (next == QLatin1Char('r')) value += QLatin1Char('\r');
    else if (next == QLatin1Char('\\')) value += QLatin1Char('\\');
    else {
      value += QLatin1Char('\\');
      value += next;
    }
  }
  return value;
}

}  // namespace

std::optional<QStringList> SplitExecLine(const QString& exec) {
  QStringList raw;
  QString current;
  bool inArgument = false;
  bool quoted = false;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    const QChar c = exec[i];
    if (quoted) {
      if (c == QLatin1Char('\\') && i + 1 < exec.size()) current += exec[++i];
      else if (c == QLatin1Char('"')) quoted = false;
      else current += c;
    } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
      if (inArgument) raw << current;
      current.clear();
      inArgument = false;
    } else {
      inArgument = true;
      if (c == QLatin1Char('"')) quoted = true;
      else current += c;
    }
  }
  if (quoted) return std::nullopt;
  if (inArgument) raw << current;
  // Field codes stand for files, addresses and the entry's own data that this menu does not pass:
  // an argument that is only a field code goes, codes inside an argument are removed.
  QStringList arguments;
  for (const QString& argument : raw) {
    if (argument.size() == 2 && argument[0] == QLatin1Char('%') && argument[1].isLetter()) continue;
    QString text;
    for (qsizetype i = 0; i < argument.size(); ++i) {
      if (argument[i] != QLatin1Char('%') || i + 1 >= argument.size()) {
        text += argument[i];
        continue;
      }
      const QChar code = argument[++i];
      if (code == QLatin1Char('%')) text += QLatin1Char('%');
    }
    arguments << text;
  }
  return arguments;
}

std::optional<TDesktopApp> ParseDesktopEntry(const QByteArray& bytes, const QString& id,
                                             const std::function<QString(const QString&)>& findExecutable) {
  bool inMain = false;
  QString type, name, comment, icon, exec, tryExec, categories;
  bool hidden = false;
  for (const QByteArray& rawLine : bytes.split('\n')) {
    const QString line = QString::fromUtf8(rawLine).trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inMain = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    if (!inMain || line.startsWith(QLatin1Char('#'))) continue;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals <= 0) continue;
    const QString key = line.left(equals).trimmed();
    const QString value = DesktopStringValue(QStringView(line).mid(equals + 1).trimmed());
    if (key == QLatin1String("Type")) type = value;
    else if (key == QLatin1String("Name")) name = value;
    else if (key == QLatin1String("Comment")) comment = value;
    else if (key == QLatin1String("Icon")) icon = value;
    else if (key == QLatin1String("Exec")) exec = value;
    else if (key == QLatin1String("TryExec")) tryExec = value;
    else if (key == QLatin1String("Categories")) categories = value;
    else if ((key == QLatin1String("NoDisplay") || key == QLatin1String("Hidden")) && value == QLatin1String("true"))
      hidden = true;
  }
  if (type != QLatin1String("Application") || hidden || name.isEmpty() || exec.isEmpty()) return std::nullopt;
  if (!tryExec.isEmpty()) {
    const bool found = tryExec.startsWith(QLatin1Char('/')) ? QFileInfo(tryExec).isExecutable() : !findExecutable(tryExec).isEmpty();
    if (!found) return std::nullopt;
  }
  const std::optional<QStringList> command = SplitExecLine(exec);
  if (!command || command->isEmpty()) return std::nullopt;
  TDesktopApp app;
  app.Id = id;
  app.Name = name;
  app.Comment = comment;
  app.Icon = icon;
  app.Command = *command;
  app.Categories = categories.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  return app;
}

std::vector<TDesktopApp> SystemToolEntries(const QStringList& dataFolders,
                                           const std::function<QString(const QString&)>& findExecutable) {
  std::vector<TDesktopApp> apps;
  QSet<QString> seen;
  for (const QString& folder : dataFolders) {
    const QString applications = QDir(folder).filePath(QStringLiteral("applications"));
    QDirIterator it(applications, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString path = it.next();
      // The desktop-file id: the path below applications with "/" as "-".
      const QString id = QDir(applications).relativeFilePath(path).replace(QLatin1Char('/'), QLatin1Char('-'));
      if (seen.contains(id)) continue;
      seen.insert(id);
      if (id.startsWith(QLatin1String("org.morvell.Korvane")) || id.startsWith(QLatin1String("korvane"))) continue;
      QFile file(path);
      if (!file.open(QIODevice::ReadOnly)) continue;
      const std::optional<TDesktopApp> app = ParseDesktopEntry(file.read(1 << 20), id, findExecutable);
      if (app && app->Categories.contains(QLatin1String("System"))) apps.push_back(*app);
    }
  }
  std::sort(apps.begin(), apps.end(), [](const TDesktopApp& a, const TDesktopApp& b) {
    return QString::compare(a.Name, b.Name, Qt::CaseInsensitive) < 0;
  });
  return apps;
}

QStringList DesktopDataFolders() {
  QStringList folders;
  const QString home = qEnvironmentVariable("XDG_DATA_HOME");
  folders << (home.startsWith(QLatin1Char('/')) ? home : QDir::homePath() + QStringLiteral("/.local/share"));
  QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
  if (dirs.isEmpty()) dirs = QStringLiteral("/usr/local/share:/usr/share");
  for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
    if (dir.startsWith(QLatin1Char('/'))) folders << dir;
  return folders;
}

std::optional<TSearchTool> FindSearchTool(const QString& hostFolder,
                                          const std::function<QString(const QString&)>& findExecutable) {
  struct TCandidate {
    const char* Program;
    const char* Argument;  // %1 is the folder
  };
  static constexpr TCandidate candidates[] = {
      {"catfish", "--path=%1"},
      {"kfind", "%1"},
      {"gnome-search-tool", "--path=%1"},
      {"searchmonkey", nullptr},
      {"fsearch", nullptr},
  };
  for (const TCandidate& candidate : candidates) {
    const QString program = findExecutable(QString::fromLatin1(candidate.Program));
    if (program.isEmpty()) continue;
    TSearchTool tool{program, {}};
    if (candidate.Argument && !hostFolder.isEmpty()) tool.Arguments << QString::fromLatin1(candidate.Argument).arg(hostFolder);
    return tool;
  }
  return std::nullopt;
}
