// The scan commands: scanning, rescanning and removing drives, rescanning a folder, going to a
// folder, the drive dialogs; and the main window as the scanner's host.

#include "ui/main/MainForm.h"

#include "config/Options.h"
#include "platform/DriveTable.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
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
#include <QStatusBar>
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
  // The Stop button's hint would stay over the status line: the button it belongs to is
  // disabled under the mouse and never says that the mouse left.
  if (!on) statusBar()->clearMessage();
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

namespace {

// The status text at the end of a scan: how many folders could not be read, when any.
QString DoneText(int unreadable) {
  if (unreadable == 0) return QStringLiteral("Done.");
  return QStringLiteral("Done. %1 %2 could not be read.")
      .arg(unreadable)
      .arg(unreadable == 1 ? QStringLiteral("folder") : QStringLiteral("folders"));
}

}  // namespace

bool TMainForm::ScanDriveCommand(const QString& driveText, TDriveRecInfo*) {
  // One scan at a time: a folder dropped or chosen while a scan runs starts no second one.
  if (driveText.isEmpty() || Scanning || session_->Scanning()) return false;
  const QChar letter = driveText[0].toUpper();
  if (!CheckDriveAccessible(letter)) return false;
  try {
    session_->ScanDrive(letter + driveText.mid(1));
  } catch (...) {
    AfterDriveScan();
    throw;
  }
  AfterDriveScan();
  return true;
}

void TMainForm::AfterDriveScan() {
  SetStatusText(0, DoneText(Scanner().UnreadableFolders()));
  statusPending_ = false;
  InvalidateAll(session_->Aborted());
  if (!SelectedNode() && Nodes().TopCount() > 0) SelectNode(Nodes().Top(0));
}

void TMainForm::ScanOrRescanDrive(const QString& driveText) {
  if (driveText.isEmpty()) return;
  const QChar letter = driveText[0].toUpper();
  if (session_->IsScanned(letter))
    RescanDrives(QString(letter));
  else
    ScanDriveCommand(driveText, nullptr);
}

void TMainForm::RescanDrives(const QString& letters) {
  if (Scanning) return;
  InvalidateAll(false);
  for (const QChar c : letters) {
    const QChar letter = c.toUpper();
    TDriveRecInfo* rec = session_->Drive(letter);
    if (!session_->IsScanned(letter) || !rec) continue;
    const QString shown = CurrentPath;
    // The drive goes out of the tree first; it stays out when it cannot be reached now.
    session_->RemoveDriveNode(letter);
    if (!SelectedNode()) PreparePages(nullptr);
    // Back to the folder shown before, unless the drive could not be reached (then it is out
    // of the tree, and going to the folder would only ask again).
    if (ScanDriveCommand(rec->Name, rec) && !shown.isEmpty()) GoToFolder(shown);
    if (session_->Aborted()) break;
  }
}

void TMainForm::RemoveDrive(QChar letter) {
  if (letter.isNull() || Scanning) return;
  if (!session_->RemoveDrive(letter)) return;
  if (!SelectedNode()) PreparePages(nullptr);
}

bool TMainForm::GoToFolder(const QString& path) {
  if (path.size() <= 2 || path[1] != QLatin1Char(':') || path[2] != QLatin1Char('\\')) return false;
  const QChar letter = path[0].toUpper();
  TDriveRecInfo* rec = session_->Drive(letter);
  if (!rec || !rec->Node) ScanOrRescanDrive(DriveText(letter));
  rec = session_->Drive(letter);
  if (!rec || !rec->Node) return rec != nullptr;
  TTreeNode* target = session_->FindFolder(path);
  if (!target && !Scanning && IsDirectory(path)) {
    // A folder made after the scan: its nearest scanned ancestor is read again, which brings it in.
    QString up = RemoveBackslash(path);
    TTreeNode* ancestor = nullptr;
    while (!ancestor && !IsDriveRoot(up)) {
      up = RemoveBackslash(ParentFolder(up));
      ancestor = session_->FindFolder(up);
    }
    if (ancestor) {
      SelectNode(ancestor);
      RescanCurrentFolder();
      target = session_->FindFolder(path);
    }
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
  pumpTimer_.invalidate();
  const auto after = [this] {
    InvalidateAll(false);
    SetScanning(false);
    statusPending_ = false;
    SetStatusText(0, DoneText(Scanner().UnreadableFolders()));
    FolderTreeChange(SelectedNode());
  };
  try {
    session_->RescanFolder(node);
  } catch (...) {
    after();
    throw;
  }
  after();
}

void TMainForm::AbortScanning() { session_->Abort(); }

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
    if (session_->Aborted()) break;
  }
}

void TMainForm::MapNetworkDrive() {
  RunNetworkDriveDialog(this, true);
  RebuildDriveBox();
}

void TMainForm::DisconnectNetworkDrive() {
  const bool done = RunNetworkDriveDialog(this, false);
  RebuildDriveBox();
  if (!done || Scanning) return;
  // A drive whose mapping went leaves the tree too, as Remove from Tree would take it out.
  const QString scanned = ScannedDrives();
  for (const QChar letter : scanned)
    if (!TDriveTable::Instance().Find(letter)) RemoveDrive(letter);
}
