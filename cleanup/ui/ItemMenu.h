#pragma once
// The item context menu and the item properties. The menu is the program's own: Open, Open
// Containing Folder, Copy Path, Move to Trash, Delete, Properties. It returns after the chosen
// command has run and says what happened, so that the caller can bring its tree up to date.

#include "cleanup/ui/ItemOperations.h"
#include "shell/PropertiesDialog.h"

#include <QList>
#include <QPoint>
#include <QString>

#include <functional>

class QWidget;
class TFolderSize;

enum class TShellCommand { None, Open, OpenContainingFolder, CopyPath, MoveToTrash, Delete, Properties };

enum class TShellMenuResult {
  Nothing,  // no command, or one that changed nothing (Copy Path, Properties, a No)
  Opened,   // the item or its folder went to the desktop's handler
  Trashed,  // the item is in the trash
  Deleted,  // the item is gone for good
  Failed,   // the command failed (and said so); the item may be partly changed
};

// The commands the menu offers enabled for drivePath: everything for an item that is there,
// without Move to Trash and Delete for a drive root; nothing when the item cannot be found.
QList<TShellCommand> ShellCommandsFor(const QString& drivePath);

// Runs one command of the menu on drivePath. known is the folder's record when the scan has one
// (Properties shows its figures then).
TShellMenuResult RunShellCommand(TShellCommand command, const QString& drivePath, QWidget* parent = nullptr,
                                 const TFolderSize* known = nullptr);

// Shows the item's context menu at globalPos and runs the chosen command. An item that cannot be
// found is reported instead (and the result is Failed).
TShellMenuResult ShowShellContextMenu(QWidget* parent, QPoint globalPos, const QString& drivePath,
                                      const TFolderSize* known = nullptr);

// Tests: the menu is not shown; chooser gets the enabled commands and returns the one "clicked"
// (None for none). Null restores the real menu.
void SetShellMenuChooser(std::function<TShellCommand(const QList<TShellCommand>& enabled)> chooser);
