#include "cleanup/ui/ItemMenu.h"

#include "platform/HostPath.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "shell/Launch.h"
#include "shell/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

std::function<TShellCommand(const QList<TShellCommand>&)>& Chooser() {
  static std::function<TShellCommand(const QList<TShellCommand>&)> chooser;
  return chooser;
}

bool ItemThere(const QString& drivePath, THostLocation& location) {
  struct statx st {};
  return LocateDrivePath(drivePath, location) &&
         ::statx(location.DirFd, location.Name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &st) ==
             0;
}

struct TMenuEntry {
  TShellCommand Command;
  const char* Caption;
};

constexpr TMenuEntry MenuEntries[] = {
    {TShellCommand::Open, "&Open"},
    {TShellCommand::OpenContainingFolder, "Open &Containing Folder"},
    {TShellCommand::CopyPath, "Copy &Path"},
    {TShellCommand::MoveToTrash, "Move to &Trash"},
    {TShellCommand::Delete, "&Delete"},
    {TShellCommand::Properties, "P&roperties"},
};

}  // namespace

void SetShellMenuChooser(std::function<TShellCommand(const QList<TShellCommand>&)> chooser) {
  Chooser() = std::move(chooser);
}

QList<TShellCommand> ShellCommandsFor(const QString& drivePath) {
  THostLocation location;
  if (!ItemThere(drivePath, location)) return {};
  if (location.Name == ".")
    return {TShellCommand::Open, TShellCommand::CopyPath, TShellCommand::Properties};
  return {TShellCommand::Open,        TShellCommand::OpenContainingFolder, TShellCommand::CopyPath,
          TShellCommand::MoveToTrash, TShellCommand::Delete,               TShellCommand::Properties};
}

TShellMenuResult RunShellCommand(TShellCommand command, const QString& drivePath, QWidget* parent,
                                 const TFolderSize* known) {
  auto fileOp = [](TFileOpResult r, TShellMenuResult done) {
    return r == TFileOpResult::Done ? done : r == TFileOpResult::Failed ? TShellMenuResult::Failed
                                                                         : TShellMenuResult::Nothing;
  };
  switch (command) {
    case TShellCommand::None: return TShellMenuResult::Nothing;
    case TShellCommand::Open:
      return OpenItem(drivePath, parent) ? TShellMenuResult::Opened : TShellMenuResult::Failed;
    case TShellCommand::OpenContainingFolder:
      return OpenItem(ParentFolder(RemoveBackslash(drivePath)), parent) ? TShellMenuResult::Opened
                                                                         : TShellMenuResult::Failed;
    case TShellCommand::CopyPath: {
      // The host path: what other programs on this machine understand.
      THostLocation location;
      if (!LocateDrivePath(drivePath, location)) return TShellMenuResult::Failed;
      QApplication::clipboard()->setText(QFile::decodeName(location.HostPath));
      return TShellMenuResult::Nothing;
    }
    case TShellCommand::MoveToTrash: return fileOp(TrashItem(drivePath, parent), TShellMenuResult::Trashed);
    case TShellCommand::Delete: return fileOp(DeleteItem(drivePath, parent), TShellMenuResult::Deleted);
    case TShellCommand::Properties:
      return ShowItemProperties(drivePath, parent, known) ? TShellMenuResult::Nothing : TShellMenuResult::Failed;
  }
  return TShellMenuResult::Nothing;
}

TShellMenuResult ShowShellContextMenu(QWidget* parent, QPoint globalPos, const QString& drivePath,
                                      const TFolderSize* known) {
  const QList<TShellCommand> enabled = ShellCommandsFor(drivePath);
  if (enabled.isEmpty()) {
    ShowError(QStringLiteral("\"%1\" cannot be found. It may have been moved or deleted.").arg(drivePath), ekProgram,
              parent);
    return TShellMenuResult::Failed;
  }
  TShellCommand chosen = TShellCommand::None;
  if (Chooser()) {
    chosen = Chooser()(enabled);
  } else {
    QMenu menu(parent);
    for (const TMenuEntry& e : MenuEntries) {
      QAction* action = menu.addAction(QString::fromLatin1(e.Caption));
      action->setData(static_cast<int>(e.Command));
      action->setEnabled(enabled.contains(e.Command));
      if (e.Command == TShellCommand::CopyPath || e.Command == TShellCommand::Delete) menu.addSeparator();
    }
    menu.setDefaultAction(menu.actions().constFirst());
    if (QAction* action = menu.exec(globalPos)) chosen = static_cast<TShellCommand>(action->data().toInt());
  }
  if (!enabled.contains(chosen)) return TShellMenuResult::Nothing;
  return RunShellCommand(chosen, drivePath, parent, known);
}
