// The scan commands: scanning, rescanning and removing drives, rescanning a folder, going to a
// folder, the drive dialogs; and the main window as the scanner's host.

#include "ui/main/MainForm.h"

#include "config/Options.h"
#include "platform/DriveTable.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"
#include "shell/MessageBoxes.h"
#include "ui/controls/DriveComboBox.h"
#include "ui/main/DrivesSelectBox.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/MainFormInternal.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QTreeView>

#include <unistd.h>

using MainFormInternal::DriveText;
using MainFormInternal::RootOf;

namespace {

const QString NotAccessibleText = QStringLiteral(
    ": is not accessible. The drive door may not be closed or the network connection may be down. "
    "Please try to correct this error and retry.");

}  // namespace

// =============================================================================================
// Scanner host

void TMainForm::SetStatusText(const QString& text) {
  pendingStatus_ = text;
  statusPending_ = true;
}

void TMainForm::FlushStatusText() {
  if (!statusPending_) return;
  statusPending_ = false;
  StatusPanel0->setText(pendingStatus_);
}

void TMainForm::SetBusy(bool busy) {
  SetScanning(busy);
  if (busy) pumpTimer_.invalidate();
}

void TMainForm::FolderCompleted(TTreeNode* node) {
  if (node && node == CurrentNode) Guarded([this] { SelectPage(CurrentPage); });
}

void TMainForm::ProcessMessages() {
  // Repainting the status line and the growing tree costs far more than the walk of one folder,
  // so the queue is pumped at most every 20 ms.
  if (pumpTimer_.isValid() && pumpTimer_.elapsed() < 20) return;
  FlushStatusText();
  QCoreApplication::processEvents();
  pumpTimer_.start();
}

// =============================================================================================
// Scan commands

void TMainForm::SetScanning(bool on) {
  Scanning = on;
  for (QAction* a : {cmdFileScanDrives, toolRescanDir, toolScan}) a->setEnabled(!on);
  cmdFileRescan->setEnabled(!on);
  cmdFileRemove->setEnabled(!on);
  ClustersBox->setEnabled(!on);
  cmdFileAbort->setEnabled(on);
  toolStop->setEnabled(on);
  if (!on) toolRescanDir->setEnabled(CurrentNode != nullptr);
  // The not-ready text depends on whether a scan runs.
  if (notReady_) FillNotReadyText();
}

bool TMainForm::CheckDriveAccessible(QChar letter) {
  for (;;) {
    const auto host = DriveToHost(RootOf(letter));
    if (host && ::chdir(host->constData()) == 0) return true;
    TMessageRequest request;
    request.Parent = this;
    request.Text = letter.toUpper() + NotAccessibleText;
    request.Caption = ProgramName;
    request.Icon = TMessageIcon::Error;
    request.Buttons = mbRetry | mbCancel;
    request.DefaultButton = mbRetry;
    if (ShowMessage(request) != mbRetry) return false;
  }
}

bool TMainForm::ScanDriveCommand(const QString& driveText, TDriveRecInfo* driveRec) {
  // One scan at a time: a folder dropped or chosen while a scan runs starts no second one.
  if (driveText.isEmpty() || Scanning) return false;
  const QChar letter = driveText[0].toUpper();
  if (!CheckDriveAccessible(letter)) return false;
  ScannedDrives += letter;
  // A rescan that was cancelled leaves the drive's record without a node: it is used again
  // rather than doubled.
  if (!driveRec) driveRec = FindDrive(static_cast<char>(letter.unicode()));
  if (!driveRec) driveRec = AddDrive(static_cast<char>(letter.unicode()));
  struct TAfterScan {
    TMainForm& form;
    ~TAfterScan() {
      form.SetStatusText(0, QStringLiteral("Done."));
      form.statusPending_ = false;
      form.InvalidateAll(AbortScan);
      if (!form.SelectedNode() && form.tree_.TopCount() > 0) form.SelectNode(form.tree_.Top(0));
    }
  } after{*this};
  scanner_->ScanDrive(letter + driveText.mid(1), driveRec);
  return true;
}

void TMainForm::ScanOrRescanDrive(const QString& driveText) {
  if (driveText.isEmpty()) return;
  const QChar letter = driveText[0].toUpper();
  if (ScannedDrives.contains(letter))
    RescanDrives(QString(letter));
  else
    ScanDriveCommand(driveText, nullptr);
}

void TMainForm::RescanDrives(const QString& letters) {
  if (Scanning) return;
  InvalidateAll(false);
  for (const QChar c : letters) {
    const QChar letter = c.toUpper();
    TDriveRecInfo* rec = FindDrive(static_cast<char>(letter.unicode()));
    if (!ScannedDrives.contains(letter) || !rec) continue;
    const QString shown = CurrentPath;
    ScannedDrives.remove(letter);
    if (rec->Node) {
      FreeSubtreeRecords(tree_, rec->Node, true);
      DeleteTreeNode(rec->Node);
      rec->Node = nullptr;
    }
    if (!SelectedNode()) PreparePages(nullptr);
    // Back to the folder shown before, unless the drive could not be reached (then it is out
    // of the tree, and going to the folder would only ask again).
    if (ScanDriveCommand(rec->Name, rec) && !shown.isEmpty()) GoToFolder(shown);
    if (AbortScan) break;
  }
}

void TMainForm::RemoveDrive(QChar letter) {
  if (letter.isNull() || Scanning) return;
  letter = letter.toUpper();
  TDriveRecInfo* rec = FindDrive(static_cast<char>(letter.unicode()));
  if (!rec) return;
  ScannedDrives.remove(letter);
  if (rec->Node) {
    FreeSubtreeRecords(tree_, rec->Node, true);
    DeleteTreeNode(rec->Node);
  }
  RemoveDriveRec(rec);
  if (!SelectedNode()) PreparePages(nullptr);
}

void TMainForm::DeleteTreeNode(TTreeNode* node) { tree_.DeleteNode(node); }

bool TMainForm::GoToFolder(const QString& path) {
  if (path.size() <= 2 || path[1] != QLatin1Char(':') || path[2] != QLatin1Char('\\')) return false;
  const QChar letter = path[0].toUpper();
  TDriveRecInfo* rec = FindDrive(static_cast<char>(letter.unicode()));
  if (!rec || !rec->Node) ScanOrRescanDrive(DriveText(letter));
  rec = FindDrive(static_cast<char>(letter.unicode()));
  if (!rec || !rec->Node) return rec != nullptr;
  TTreeNode* target = rec->Node;
  if (path.size() > 3) {
    TVolumeInformation info;
    const bool caseSensitive = GetVolumeInfo(RootOf(letter), info) && (info.FileSystemFlags & 1);
    target = FindNodeByPath(rec->Node, path.mid(3), caseSensitive);
  }
  if (target) {
    SelectNode(target);
    FolderTree->expand(model_->IndexOf(target));
    FolderTree->setFocus();
  }
  return true;
}

void TMainForm::RescanCurrentFolder() {
  TTreeNode* node = SelectedNode();
  if (!CurrentNode || !node || Scanning) return;
  SetScanning(true);
  PreparePages(nullptr);
  struct TAfter {
    TMainForm& form;
    ~TAfter() {
      form.InvalidateAll(false);
      form.SetScanning(false);
      form.statusPending_ = false;
      form.SetStatusText(0, QStringLiteral("Done."));
      form.FolderTreeChange(form.SelectedNode());
    }
  } after{*this};
  pumpTimer_.invalidate();
  scanner_->RescanFolder(NodePath(node), node);
}

void TMainForm::AbortScanning() { AbortScan = true; }

void TMainForm::ScanSelectedDrive() {
  if (!DriveBox->Drive().isNull()) ScanOrRescanDrive(DriveBox->currentText());
}

void TMainForm::ScanDrivesDialog() {
  QStringList texts;
  {
    TDrivesSelectBox box(this);
    if (RunModalDialog(box) != QDialog::Accepted) return;
    texts = box.CheckedTexts();
  }
  RebuildDriveBox();
  for (const QString& text : texts) {
    ScanOrRescanDrive(text);
    if (AbortScan) break;
  }
}

void TMainForm::MapNetworkDrive() {
  RunNetworkDriveDialog(this, true);
  RebuildDriveBox();
}

void TMainForm::DisconnectNetworkDrive() {
  RunNetworkDriveDialog(this, false);
  RebuildDriveBox();
}
