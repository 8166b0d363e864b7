// The Tools menu.

#include "shell/ToolsMenu.h"

#include "scan/Format.h"
#include "shell/Launch.h"
#include "shell/MessageBoxes.h"
#include "shell/core/DesktopTools.h"
#include "shell/core/ToolsFile.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <utility>

namespace {

QString FindOnPath(const QString& name) { return QStandardPaths::findExecutable(name); }

void ReportRunError(QWidget* owner, const QString& reason) {
  TMessageRequest request;
  request.Parent = owner;
  request.Caption = ProgramName;
  request.Icon = TMessageIcon::Error;
  request.Text = QStringLiteral("Error running the selected option:\r\n") + reason;
  ShowMessage(request);
}

}  // namespace

TToolsMenu::TToolsMenu(QMenu* menu, std::function<QString()> currentFolder, QWidget* owner)
    : QObject(menu), mnuTools(menu), currentFolder_(std::move(currentFolder)), owner_(owner) {
  ProgramFolder = QCoreApplication::applicationDirPath();
  cmdToolsFileManager = mnuTools->addAction(QStringLiteral("File &Manager"));
  cmdToolsFileManager->setStatusTip(QStringLiteral("Opens the file manager."));
  cmdToolsFindFiles = mnuTools->addAction(QStringLiteral("&Find Files or Folders..."));
  cmdToolsFindFiles->setStatusTip(
      QStringLiteral("Opens a search tool, that allows you to search for files or folders based on various search criteria."));
  mnuSystemTools = mnuTools->addMenu(QStringLiteral("&System Tools"));
  mnuSystemTools->menuAction()->setStatusTip(
      QStringLiteral("Allows you to run the system tools installed on this computer, such as the disk utility."));
  mnuTools->addSeparator();
  cmdToolsCustomize = mnuTools->addAction(QStringLiteral("&Customize the Tools menu..."));
  cmdToolsCustomize->setStatusTip(QStringLiteral("Add your own commands to the Tools menu (for advanced users)."));
  LT1 = mnuTools->addSeparator();

  connect(cmdToolsFileManager, &QAction::triggered, this, [this] { cmdToolsFileManagerClick(); });
  connect(cmdToolsFindFiles, &QAction::triggered, this, [this] { cmdToolsFindFilesClick(); });
  connect(mnuSystemTools, &QMenu::aboutToShow, this, [this] { mnuSystemToolsClick(); });
  connect(cmdToolsCustomize, &QAction::triggered, this, [this] { cmdToolsCustomizeClick(); });
  connect(mnuTools, &QMenu::aboutToShow, this, [this] { mnuToolsClick(); });
  // The user's items come when the menu opens: a huge tools file never holds up the start.
  LT1->setVisible(false);
}

void TToolsMenu::mnuToolsClick() {
  for (QAction* item : std::as_const(userItems_)) {
    mnuTools->removeAction(item);
    delete item;
  }
  userItems_.clear();
  ToolCommands.clear();

  const TToolsFile file = ReadToolsFile(ToolsFilePath());
  for (const TToolEntry& entry : file.Entries) {
    auto* item = new QAction(entry.Caption, mnuTools);
    item->setStatusTip(entry.Hint);
    item->setData(static_cast<int>(ToolCommands.size()));
    ToolCommands << entry.Command;
    connect(item, &QAction::triggered, this, [this, item] { RunToolCommand(item->data().toInt()); });
    mnuTools->addAction(item);
    userItems_ << item;
  }
  // Lines that make no item say so in the menu itself, where the user looks.
  for (const QString& problem : file.Problems) {
    auto* item = new QAction(QStringLiteral("TOOLS.INI: ") + problem, mnuTools);
    item->setEnabled(false);
    mnuTools->addAction(item);
    userItems_ << item;
  }
  if (!file.Truncated.isEmpty()) {
    auto* item = new QAction(QStringLiteral("TOOLS.INI: ") + file.Truncated, mnuTools);
    item->setEnabled(false);
    mnuTools->addAction(item);
    userItems_ << item;
  }
  LT1->setVisible(!userItems_.isEmpty());
}

void TToolsMenu::cmdToolsFileManagerClick() {
  const QString home = QDir::homePath();
  if (!OpenUrl(QUrl::fromLocalFile(home)))
    ReportRunError(owner_, QStringLiteral("No file manager is installed that could open %1.").arg(home));
}

void TToolsMenu::cmdToolsFindFilesClick() {
  const QString folder = currentFolder_ ? currentFolder_() : QString();
  const QString host = folder.isEmpty() ? QDir::homePath() : HostArgument(folder);
  if (const std::optional<TSearchTool> tool = FindSearchTool(host, FindOnPath)) {
    RunProgram(tool->Program, tool->Arguments, QString(), owner_);
    return;
  }
  if (!OpenUrl(QUrl::fromLocalFile(host)))
    ReportRunError(owner_, QStringLiteral("No search tool or file manager is installed that could search %1.").arg(host));
}

void TToolsMenu::mnuSystemToolsClick() {
  mnuSystemTools->clear();
  const std::vector<TDesktopApp> apps = SystemToolEntries(DesktopDataFolders(), FindOnPath);
  for (const TDesktopApp& app : apps) {
    QAction* item = mnuSystemTools->addAction(QIcon::fromTheme(app.Icon), app.Name);
    item->setStatusTip(app.Comment);
    const QStringList command = app.Command;
    connect(item, &QAction::triggered, this, [this, command] {
      RunProgram(command.first(), command.mid(1), QDir::homePath(), owner_);
    });
  }
  if (apps.empty()) mnuSystemTools->addAction(QStringLiteral("(no system tools installed)"))->setEnabled(false);
}

void TToolsMenu::cmdToolsCustomizeClick() {
  const QByteArray path = ToolsFilePath();
  QString error;
  if (!EnsureToolsFile(path, &error)) {
    ShowError(QStringLiteral("The Tools menu file could not be created: ") + error, ekProgram, owner_);
    return;
  }
  if (!OpenUrl(QUrl::fromLocalFile(QFile::decodeName(path))))
    ShowError(QStringLiteral("No program is set up to edit \"%1\".").arg(QFile::decodeName(path)), ekProgram, owner_);
}

void TToolsMenu::RunToolCommand(int index) {
  if (index < 0 || index >= ToolCommands.size()) return;
  const QString command = ResolveToolCommand(ToolCommands[index], ProgramFolder);
  const QString folder = currentFolder_ ? currentFolder_() : QString();
  const QFileInfo info(command);
  if (!info.exists()) {
    ReportRunError(owner_, QStringLiteral("\"%1\": No such file or directory").arg(command));
    return;
  }
  if (info.isFile() && info.isExecutable()) {
    QProcess process;
    process.setProgram(command);
    // The folder goes as one argument, blanks and all.
    if (!folder.isEmpty()) process.setArguments({HostArgument(folder)});
    process.setWorkingDirectory(ToolWorkingFolder(command));
    if (!process.startDetached()) ReportRunError(owner_, process.errorString());
    return;
  }
  // A document: the desktop's handler opens it (it takes no folder).
  if (!OpenUrl(QUrl::fromLocalFile(command)))
    ReportRunError(owner_, QStringLiteral("No program is set up to open \"%1\".").arg(command));
}
