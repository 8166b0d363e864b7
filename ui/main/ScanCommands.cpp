// The scan commands: scanning, rescanning and removing drives, rescanning a folder, going to a
// folder, the drive dialogs; and the main window as the scanner's host.

#include "ui/main/MainForm.h"

#include "config/Options.h"
#include "platform/DriveTable.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanQueue.h"
#include "scan/ScanSession.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"
#include "shell/MessageBoxes.h"
#include "ui/controls/DriveComboBox.h"
#include "ui/main/DrivesSelectBox.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/MainFormInternal.h"
#include "ui/main/ScanFileCommands.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
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
  // The status line is repainted once per slice of the scan, not once per folder.
  pendingStatus_ = text;
  if (!statusPending_) {
    statusPending_ = true;
    QTimer::singleShot(0, this, [this] { FlushStatusText(); });
  }
}

void TMainForm::FlushStatusText() {
  if (!statusPending_) return;
  statusPending_ = false;
  StatusPanel0->setText(pendingStatus_);
}

void TMainForm::SetBusy(bool) {}

void TMainForm::FolderCompleted(TTreeNode* node) {
  if (node && node == current_.Node()) Guarded([this] { SelectPage(currentPage_); });
}

// =============================================================================================
// Scan commands

void TMainForm::SetScanning(bool on) {
  for (QAction* a : {cmdFileScanDrives, toolRescanDir, toolScan}) a->setEnabled(!on);
  cmdFileRescan->setEnabled(!on);
  cmdFileRemove->setEnabled(!on);
  ClustersBox->setEnabled(!on);
  cmdFileAbort->setEnabled(on);
  toolStop->setEnabled(on);
  // The Stop button's hint would stay over the status line: the button it belongs to is
  // disabled under the mouse and never says that the mouse left.
  if (!on) statusBar()->clearMessage();
  if (!on) toolRescanDir->setEnabled(current_.Node() != nullptr);
  // The not-ready text depends on whether a scan runs.
  if (notReady_) FillNotReadyText();
}

bool TMainForm::Scanning() const { return session_->Scanning(); }

bool TMainForm::ScansIdle() const { return scans_->Idle(); }

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
  if (driveText.isEmpty() || session_->Scanning()) return false;
  bool started = false;
  scans_->Run([&] {
    const QChar letter = driveText[0].toUpper();
    if (!CheckDriveAccessible(letter)) return;
    started = session_->StartScanDrive(letter + driveText.mid(1));
    if (started) scans_->Then([this] { AfterDriveScan(); });
  });
  return started;
}

void TMainForm::AfterDriveScan() {
  statusPending_ = false;
  SetStatusText(0, DoneText(Scanner().UnreadableFolders()));
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
  if (session_->Scanning()) return;
  // A loaded scan file is skipped among all drives, and refused alone.
  if (letters.size() == 1 && RefuseOnLoadedScan(*session_, this, RootOf(letters[0]), QStringLiteral("Rescanning"))) return;
  scans_->Run([this, letters] {
    InvalidateAll(false);
    scans_->Sequence(
        static_cast<int>(letters.size()),
        [this, letters](int i) {
          const QChar letter = letters[i].toUpper();
          TDriveRecInfo* rec = session_->Drive(letter);
          if (!session_->IsScanned(letter) || !rec || rec->Loaded) return;
          const QString shown = current_.Path();
          // The drive goes out of the tree first; it stays out when it cannot be reached now.
          session_->RemoveDriveNode(letter);
          if (!SelectedNode()) PreparePages(nullptr);
          // Back to the folder shown before, unless the drive could not be reached (then it is
          // out of the tree, and going to the folder would only ask again).
          if (!ScanDriveCommand(rec->Name, rec) || shown.isEmpty()) return;
          scans_->Then([this, shown] { GoToFolder(shown); });
        },
        [this] { return !session_->Aborted(); });
  });
}

void TMainForm::RemoveDrive(QChar letter) {
  if (letter.isNull() || session_->Scanning()) return;
  if (!session_->RemoveDrive(letter)) return;
  if (!SelectedNode()) PreparePages(nullptr);
}

bool TMainForm::GoToFolder(const QString& path) {
  if (path.size() <= 2 || path[1] != QLatin1Char(':') || path[2] != QLatin1Char('\\')) return false;
  const QChar letter = path[0].toUpper();
  bool known = true;
  const bool ran = scans_->Run([&] {
    TDriveRecInfo* rec = session_->Drive(letter);
    if (rec && rec->Node) {
      ShowFolderAt(path);
      return;
    }
    ScanOrRescanDrive(DriveText(letter));
    if (session_->Scanning()) {
      scans_->Then([this, path] { ShowFolderAt(path); });
      return;
    }
    rec = session_->Drive(letter);
    if (!rec || !rec->Node) {
      known = rec != nullptr;
      return;
    }
    ShowFolderAt(path);
  });
  return ran && known;
}

void TMainForm::ShowFolderAt(const QString& path) {
  const QChar letter = path[0].toUpper();
  const TDriveRecInfo* rec = session_->Drive(letter);
  if (!rec || !rec->Node) return;
  auto reveal = [this](TTreeNode* target) {
    SelectNode(target);
    FolderTree->expand(model_->IndexOf(target));
    FolderTree->setFocus();
  };
  if (TTreeNode* target = session_->FindFolder(path)) {
    reveal(target);
    return;
  }
  if (session_->Scanning() || !IsDirectory(path)) return;
  // A folder made after the scan: its nearest scanned ancestor is read again, which brings it in.
  QString up = RemoveBackslash(path);
  TTreeNode* ancestor = nullptr;
  while (!ancestor && !IsDriveRoot(up)) {
    up = RemoveBackslash(ParentFolder(up));
    ancestor = session_->FindFolder(up);
  }
  if (!ancestor) return;
  SelectNode(ancestor);
  RescanCurrentFolder();
  scans_->Then([this, path, reveal] {
    if (TTreeNode* target = session_->FindFolder(path)) reveal(target);
  });
}

void TMainForm::RescanCurrentFolder() {
  TTreeNode* node = SelectedNode();
  if (!current_.Node() || !node || session_->Scanning()) return;
  if (RefuseOnLoadedScan(*session_, this, current_.Path(), QStringLiteral("Rescanning"))) return;
  scans_->Run([this, node] {
    PreparePages(nullptr);
    if (!session_->StartRescanFolder(node)) return;
    scans_->Then([this] {
      InvalidateAll(false);
      statusPending_ = false;
      SetStatusText(0, DoneText(Scanner().UnreadableFolders()));
      FolderTreeChange(SelectedNode());
    });
  });
}

void TMainForm::AbortScanning() { session_->Abort(); }

void TMainForm::ScanSelectedDrive() {
  if (!DriveBox->Drive().isNull()) ScanOrRescanDrive(DriveBox->currentText());
}

void TMainForm::ScanDrivesDialog() {
  if (session_->Scanning()) return;
  QStringList texts;
  {
    TDrivesSelectBox box(this);
    if (RunModalDialog(box) != QDialog::Accepted) return;
    texts = box.CheckedTexts();
  }
  RebuildDriveBox();
  ScanDriveTexts(texts);
}

void TMainForm::ScanDriveTexts(const QStringList& texts, std::function<void()> done) {
  scans_->Sequence(
      static_cast<int>(texts.size()), [this, texts](int i) { ScanOrRescanDrive(texts[i]); },
      [this] { return !session_->Aborted(); }, std::move(done));
}

void TMainForm::MapNetworkDrive() {
  RunNetworkDriveDialog(this, true);
  RebuildDriveBox();
}

void TMainForm::DisconnectNetworkDrive() {
  const bool done = RunNetworkDriveDialog(this, false);
  RebuildDriveBox();
  if (!done || session_->Scanning()) return;
  // A drive whose mapping went leaves the tree too, as Remove from Tree would take it out.
  const QString scanned = ScannedDrives();
  for (const QChar letter : scanned)
    if (!TDriveTable::Instance().Find(letter) && !session_->LoadedScan(letter)) RemoveDrive(letter);
}
