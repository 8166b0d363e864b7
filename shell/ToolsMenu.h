#pragma once
// The Tools menu: the desktop's own tools (file manager, search, the System tools) and the user's
// commands from the tools file, which the menu reads again every time it opens.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;
class QWidget;

class TToolsMenu : public QObject {
  Q_OBJECT

public:
  // Fills menu (normally empty) with the fixed items; the user's items come each time it opens
  // (mnuToolsClick). currentFolder gives the
  // main window's current folder as a drive path (empty when none is selected); owner is the
  // parent of the messages.
  TToolsMenu(QMenu* menu, std::function<QString()> currentFolder, QWidget* owner);

  QMenu* mnuTools = nullptr;
  QAction* cmdToolsFileManager = nullptr;
  QAction* cmdToolsFindFiles = nullptr;
  QMenu* mnuSystemTools = nullptr;
  QAction* cmdToolsCustomize = nullptr;
  QAction* LT1 = nullptr;  // separator before the user's commands

  // The commands of the user's items; an item's data is its index here.
  QStringList ToolCommands;

  // Rebuilds the user's items from the tools file (runs when the menu opens).
  void mnuToolsClick();
  void cmdToolsFileManagerClick();
  void cmdToolsFindFilesClick();
  // Fills the System Tools submenu with the installed System-category applications.
  void mnuSystemToolsClick();
  void cmdToolsCustomizeClick();
  // Runs the user's command of that index with the current folder's host path as one argument.
  void RunToolCommand(int index);

  // Where a command without a folder is looked for first: the program's own folder.
  QString ProgramFolder;

private:
  std::function<QString()> currentFolder_;
  QWidget* owner_;
  QList<QAction*> userItems_;
};
