#pragma once
// Choosing a folder with the folder dialog. The answer is a drive path; a folder that lies on
// no drive is refused with a message.

#include <QString>

#include <functional>
#include <memory>

class QDialog;
class QWidget;

// The folder dialog itself: the window title names what it is for ("Select Folder") and the
// instructions (the chooser's title) stand in a label above the folders, where they can wrap,
// instead of being cut in the title bar. Accepting it leaves the chosen host folder in its
// "folder" property.
std::unique_ptr<QDialog> MakeFolderDialog(QWidget* parent, const QString& instructions, const QString& startHostFolder);

class TFolderBrowse {
public:
  // The chooser shows the dialog: it gets the owner, the title and the host folder to start in
  // (may be empty) and returns the chosen host folder, empty when the user cancelled.
  using TChooser = std::function<QString(QWidget* parent, const QString& title, const QString& startHostFolder)>;

  QString Title;
  // On entry the folder to start in (a drive path or a host path; may be empty); after a
  // successful Execute the chosen folder as a drive path.
  QString Folder;
  // When false, a drive's root is not accepted: the user is told and asked again.
  bool AllowDriveRoots = false;
  QWidget* Parent = nullptr;

  // True when the user chose a folder that lies on a drive; Folder then holds its drive path.
  bool Execute();

  // Tests: chooser instead of the dialog; null restores the dialog.
  static void SetChooser(TChooser chooser);
};
