#include "shell/Launch.h"

#include "platform/DriveTable.h"
#include "scan/Format.h"
#include "shell/MessageBoxes.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QUrl>

namespace {

std::function<bool(const QUrl&)>& Opener() {
  static std::function<bool(const QUrl&)> opener;
  return opener;
}

}  // namespace

void SetUrlOpener(std::function<bool(const QUrl&)> opener) { Opener() = std::move(opener); }

bool OpenUrl(const QUrl& url) {
  if (Opener()) return Opener()(url);
  return QDesktopServices::openUrl(url);
}

QString HostArgument(const QString& path) {
  const std::optional<QByteArray> host = DriveToHost(path);
  return host ? QFile::decodeName(*host) : path;
}

bool OpenItem(const QString& drivePath, QWidget* parent) {
  const std::optional<QByteArray> host = DriveToHost(drivePath);
  if (!host) {
    ShowError(QStringLiteral("\"%1\" is not on any drive.").arg(drivePath), ekProgram, parent);
    return false;
  }
  if (OpenUrl(QUrl::fromLocalFile(QFile::decodeName(*host)))) return true;
  ShowError(QStringLiteral("\"%1\" could not be opened: no program is set up to open it.").arg(drivePath), ekProgram,
            parent);
  return false;
}

bool RunProgram(const QString& program, const QStringList& arguments, const QString& workingFolder, QWidget* parent) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  if (!workingFolder.isEmpty()) process.setWorkingDirectory(workingFolder);
  // startDetached passes the list as it is: no shell splits the arguments at blanks.
  if (process.startDetached()) return true;
  ShowError(QStringLiteral("\"%1\" could not be started: %2").arg(program, process.errorString()), ekProgram, parent);
  return false;
}
