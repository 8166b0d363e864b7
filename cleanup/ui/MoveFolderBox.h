#pragma once
// The Move Folder dialog: how much the folder wastes where it is, the drives with smaller
// clusters and what the folder would gain on each, a drive box and a folder list of our own to
// pick the new location, and the target field. It only chooses the target: the caller runs the
// move (with its progress window) when it closes with OK. RAM-disk drives are never offered.

#include "cleanup/MoveTargets.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class TShExDriveComboBox;

class TCleanUpMoveFolderBox : public QDialog {
  Q_OBJECT
public:
  explicit TCleanUpMoveFolderBox(QWidget* parent = nullptr);

  // Sets the folder to move (its drive path), its waste text and the gain list, and proposes a
  // first target on the drive of the current directory. candidates: the drives to consider
  // (DriveCandidates() when not given); sourceClusterSize: the cluster size of the folder's drive.
  void Prepare(const QString& sourcePath, const TFolderWaste& waste, int32_t sourceClusterSize,
               const std::vector<TDriveCandidate>& candidates);
  void Prepare(const QString& sourcePath, const TFolderSize& rec);

  // The chosen target as typed (a drive path or a host path).
  QString Target() const;
  QString Source() const;

  // The folder the folder list shows (a drive path with a trailing backslash for a root).
  QString ListedFolder() const { return listed_; }
  // Shows folder (a drive path) in the folder list and proposes it as the target; false (with the
  // not-accessible message for a drive root) when it cannot be read.
  bool ShowFolder(const QString& folder);

  QLineEdit* ediFolderSource = nullptr;
  QLineEdit* ediFolderTarget = nullptr;
  QListWidget* lbFolders = nullptr;
  TShExDriveComboBox* cbDrives = nullptr;
  QLabel* txtWastedOnSource = nullptr;
  QLabel* lblDrives = nullptr;
  QTreeWidget* lvWasting = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdHelp = nullptr;

private:
  void cbDrivesChange();
  void lbFoldersChange();
  void lvWastingChange();
  void ediFolderTargetChange();
  void lbFoldersActivated();
  void cmdOKClick();

  QString listed_;
};
