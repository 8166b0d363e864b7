// The folder verb in the classes-root hive and its desktop entry.

#include "config/ShellVerb.h"

#include "config/AtomicFile.h"
#include "config/Registry.h"
#include "config/RegistryError.h"
#include "config/RegistryHive.h"

#include <QDir>
#include <QFile>

#include <cerrno>

namespace {

const QString RegistryEntryError = QStringLiteral("Error creating system registry entry");

// One argument of an Exec line: quoted when it holds anything the format reserves, with the
// characters that need it escaped by a backslash inside the quotes.
QString ExecArgument(const QString& argument) {
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  bool quote = argument.isEmpty();
  for (const QChar c : argument)
    if (reserved.contains(c)) quote = true;
  QString text;
  for (const QChar c : argument) {
    if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')))
      text += QLatin1Char('\\');
    text += c;
    if (c == QLatin1Char('%')) text += QLatin1Char('%');
  }
  return quote ? QLatin1Char('"') + text + QLatin1Char('"') : text;
}

// A string value of a desktop entry: backslashes doubled, line breaks escaped.
QString DesktopString(const QString& value) {
  QString text = value;
  text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
  text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
  text.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
  return text;
}

QByteArray HomeDataFolder() {
  const QByteArray xdg = qgetenv("XDG_DATA_HOME");
  if (xdg.startsWith('/')) return xdg;
  return QDir::homePath().toLocal8Bit() + "/.local/share";
}

}  // namespace

std::optional<bool> ShellVerbRegistered() {
  try {
    TRegistry classes(TRegRoot::ClassesRoot);
    return classes.KeyExists(ShellVerbKey);
  } catch (const ERegistryException&) {
    return std::nullopt;
  }
}

QString ShellVerbCommand(const QString& programPath) {
  return QLatin1Char('"') + programPath + QStringLiteral("\" \"%1\"");
}

QByteArray UserApplicationsFolder() { return HomeDataFolder() + "/applications"; }

QByteArray ShellVerbDesktopPath() {
  return UserApplicationsFolder() + '/' + QByteArray(ShellVerbDesktopFileName.data(), ShellVerbDesktopFileName.size());
}

QByteArray ShellVerbDesktopEntry(const QString& programPath) {
  QString text;
  text += QStringLiteral("[Desktop Entry]\n");
  text += QStringLiteral("Type=Application\n");
  text += QStringLiteral("Name=Korvane\n");
  text += QStringLiteral("GenericName=Disk Space Analyzer\n");
  text += QStringLiteral("Comment=") + DesktopString(ShellVerbCaption) + QLatin1Char('\n');
  text += QStringLiteral("Exec=") + DesktopString(ExecArgument(programPath)) + QStringLiteral(" %f\n");
  text += QStringLiteral("Icon=org.morvell.Korvane\n");
  text += QStringLiteral("MimeType=inode/directory;\n");
  // Offered for folders only; the program's own entry is the one in the menus.
  text += QStringLiteral("NoDisplay=true\n");
  text += QStringLiteral("Terminal=false\n");
  return text.toUtf8();
}

void RegisterShellVerb(const QString& programPath) {
  try {
    TRegistry classes(TRegRoot::ClassesRoot);
    classes.CreateKey(ShellVerbKey);
    classes.WriteValue(ShellVerbKey, QString(), TRegValue::FromString(ShellVerbCaption));
    classes.CreateKey(ShellVerbCommandKey);
    classes.WriteValue(ShellVerbCommandKey, QString(), TRegValue::FromString(ShellVerbCommand(programPath)));
    classes.Close();
  } catch (const ERegistryException&) {
    throw EShellVerbError(RegistryEntryError);
  }
  const QByteArray folder = UserApplicationsFolder();
  if (!QDir().mkpath(QString::fromLocal8Bit(folder)))
    throw EShellVerbError(QStringLiteral("Cannot create the folder %1").arg(QString::fromLocal8Bit(folder)));
  QString error;
  if (!WriteFileAtomically(ShellVerbDesktopPath(), ShellVerbDesktopEntry(programPath), 0644, &error))
    throw EShellVerbError(QStringLiteral("Cannot write %1: %2").arg(QString::fromLocal8Bit(ShellVerbDesktopPath()), error));
}

void UnregisterShellVerb() {
  try {
    TRegistry classes(TRegRoot::ClassesRoot);
    classes.DeleteKey(ShellVerbCommandKey);
    classes.DeleteKey(ShellVerbKey);
    classes.Close();
  } catch (const ERegistryException&) {
  }
  QFile::remove(QString::fromLocal8Bit(ShellVerbDesktopPath()));
}
