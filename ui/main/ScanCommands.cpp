// The scan commands: scanning, rescanning and removing drives, rescanning a folder, going to a
// folder, the drive dialogs.

#include "ui/main/ScanCommands.h"

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
#include "shell/ModalDialogs.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/DrivesSelectBox.h"
#include "ui/main/MainFormInternal.h"
#include "ui/main/ScanFileCommands.h"
#include "ui/main/WindowScanHost.h"
#include "ui/main/WindowServices.h"

#include <QDialog>

#include <unistd.h>

using MainFormInternal::DriveText;
using MainFormInternal::RootOf;
using MainFormInternal::ToDrivePath;

namespace {

const QString NotAccessibleText = QStringLiteral(
    ": is not accessible. The drive door may not be closed or the network connection may be down. "
    "Please try to correct this error and retry.");

}  // namespace

TScanCommands::TScanCommands(TScanSession& session, TScanQueue& scans, TCurrentFolder& current, IWindowServices& window,
                             TWindowScanHost& host)
    : session_(session), scans_(scans), current_(current), window_(window), host_(host) {}

bool TScanCommands::CheckDriveAccessible(QChar letter) {
  for (;;) {
    const auto host = DriveToHost(RootOf(letter));
    if (host && ::chdir(host->constData()) == 0) return true;
    TMessageRequest request;
    request.Parent = window_.Window();
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

void TScanCommands::ShowDoneText() {
  host_.DropPendingStatus();
  window_.SetStatusText(0, DoneText(session_.Scanner().UnreadableFolders()));
}

bool TScanCommands::StartDriveScan(const QString& driveText) {
  // One scan at a time: a folder dropped or chosen while a scan runs starts no second one.
  if (driveText.isEmpty() || session_.Scanning()) return false;
  bool started = false;
  scans_.Run([&] {
    const QChar letter = driveText[0].toUpper();
    if (!CheckDriveAccessible(letter)) return;
    started = session_.StartScanDrive(letter + driveText.mid(1));
    if (started) scans_.Then([this] { AfterDriveScan(); });
  });
  return started;
}

void TScanCommands::AfterDriveScan() {
  ShowDoneText();
  window_.InvalidateAll(session_.Aborted());
  if (!window_.SelectedNode() && session_.Tree().TopCount() > 0) window_.SelectNode(session_.Tree().Top(0));
}

void TScanCommands::ScanOrRescanDrive(const QString& driveText) {
  if (driveText.isEmpty()) return;
  const QChar letter = driveText[0].toUpper();
  if (session_.IsScanned(letter))
    RescanDrives(QString(letter));
  else
    StartDriveScan(driveText);
}

void TScanCommands::RescanDrives(const QString& letters) {
  if (session_.Scanning()) return;
  // A loaded scan file is skipped among all drives, and refused alone.
  if (letters.size() == 1 && RefuseOnLoadedScan(session_, window_.Window(), RootOf(letters[0]), QStringLiteral("Rescanning")))
    return;
  scans_.Run([this, letters] {
    window_.InvalidateAll(false);
    scans_.Sequence(
        static_cast<int>(letters.size()),
        [this, letters](int i) {
          const QChar letter = letters[i].toUpper();
          TDriveRecInfo* rec = session_.Drive(letter);
          if (!session_.IsScanned(letter) || !rec || rec->Loaded) return;
          const QString shown = current_.Path();
          // The drive goes out of the tree first; it stays out when it cannot be reached now.
          session_.RemoveDriveNode(letter);
          if (!window_.SelectedNode()) window_.PreparePages(nullptr);
          // Back to the folder shown before, unless the drive could not be reached (then it is
          // out of the tree, and going to the folder would only ask again).
          if (!StartDriveScan(rec->Name) || shown.isEmpty()) return;
          scans_.Then([this, shown] { GoToFolder(shown); });
        },
        [this] { return !session_.Aborted(); });
  });
}

void TScanCommands::RemoveDrive(QChar letter) {
  if (letter.isNull() || session_.Scanning()) return;
  if (!session_.RemoveDrive(letter)) return;
  if (!window_.SelectedNode()) window_.PreparePages(nullptr);
}

bool TScanCommands::GoToFolder(const QString& path) {
  if (path.size() <= 2 || path[1] != QLatin1Char(':') || path[2] != QLatin1Char('\\')) return false;
  const QChar letter = path[0].toUpper();
  bool known = true;
  const bool ran = scans_.Run([&] {
    TDriveRecInfo* rec = session_.Drive(letter);
    if (rec && rec->Node) {
      ShowFolderAt(path);
      return;
    }
    ScanOrRescanDrive(DriveText(letter));
    if (session_.Scanning()) {
      scans_.Then([this, path] { ShowFolderAt(path); });
      return;
    }
    rec = session_.Drive(letter);
    if (!rec || !rec->Node) {
      known = rec != nullptr;
      return;
    }
    ShowFolderAt(path);
  });
  return ran && known;
}

void TScanCommands::OpenPath(const QString& path) {
  const QString drivePath = ToDrivePath(path);
  if (drivePath.isEmpty()) {
    ShowError(QStringLiteral("%1 is not on any drive.").arg(path), 2, window_.Window());
    return;
  }
  GoToFolder(drivePath);
}

void TScanCommands::ShowFolderAt(const QString& path) {
  const QChar letter = path[0].toUpper();
  const TDriveRecInfo* rec = session_.Drive(letter);
  if (!rec || !rec->Node) return;
  if (TTreeNode* target = session_.FindFolder(path)) {
    window_.RevealNode(target);
    return;
  }
  if (session_.Scanning() || !IsDirectory(path)) return;
  // A folder made after the scan: its nearest scanned ancestor is read again, which brings it in.
  QString up = RemoveBackslash(path);
  TTreeNode* ancestor = nullptr;
  while (!ancestor && !IsDriveRoot(up)) {
    up = RemoveBackslash(ParentFolder(up));
    ancestor = session_.FindFolder(up);
  }
  if (!ancestor) return;
  window_.SelectNode(ancestor);
  RescanCurrentFolder();
  scans_.Then([this, path] {
    if (TTreeNode* target = session_.FindFolder(path)) window_.RevealNode(target);
  });
}

void TScanCommands::RescanCurrentFolder() {
  TTreeNode* node = window_.SelectedNode();
  if (!current_.Node() || !node || session_.Scanning()) return;
  if (RefuseOnLoadedScan(session_, window_.Window(), current_.Path(), QStringLiteral("Rescanning"))) return;
  scans_.Run([this, node] {
    window_.PreparePages(nullptr);
    if (!session_.StartRescanFolder(node)) return;
    scans_.Then([this] {
      window_.InvalidateAll(false);
      ShowDoneText();
      window_.ShowSelectionAgain();
    });
  });
}

void TScanCommands::Abort() { session_.Abort(); }

void TScanCommands::ScanDrivesDialog() {
  if (session_.Scanning()) return;
  QStringList texts;
  {
    TDrivesSelectBox box(window_.Window());
    if (RunModalDialog(box) != QDialog::Accepted) return;
    texts = box.CheckedTexts();
  }
  window_.RebuildDriveList();
  ScanDriveTexts(texts);
}

void TScanCommands::ScanDriveTexts(const QStringList& texts, std::function<void()> done) {
  scans_.Sequence(
      static_cast<int>(texts.size()), [this, texts](int i) { ScanOrRescanDrive(texts[i]); },
      [this] { return !session_.Aborted(); }, std::move(done));
}

void TScanCommands::MapNetworkDrive() {
  RunNetworkDriveDialog(window_.Window(), true);
  window_.RebuildDriveList();
}

void TScanCommands::DisconnectNetworkDrive() {
  const bool done = RunNetworkDriveDialog(window_.Window(), false);
  window_.RebuildDriveList();
  if (!done || session_.Scanning()) return;
  // A drive whose mapping went leaves the tree too, as Remove from Tree would take it out.
  const QString scanned = session_.ScannedDrives();
  for (const QChar letter : scanned)
    if (!TDriveTable::Instance().Find(letter) && !session_.LoadedScan(letter)) RemoveDrive(letter);
}
