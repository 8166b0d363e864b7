#include "ui/main/FreeSpaceCommands.h"

#include "cleanup/MoveOperation.h"
#include "cleanup/ui/CompressFolderBox.h"
#include "cleanup/ui/ItemOperations.h"
#include "cleanup/ui/MoveFolderBox.h"
#include "cleanup/ui/OperationProgressBox.h"
#include "config/Settings.h"
#include "platform/DriveTable.h"
#include "platform/UserPath.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanQueue.h"
#include "scan/ScanSession.h"
#include "shell/MessageBoxes.h"
#include "shell/ModalDialogs.h"
#include "ui/main/CleanUpPage.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/WindowServices.h"
#include "ui/main/ScanFileCommands.h"

#include <QDir>
#include <QFile>

namespace {

// A target typed as a drive path or a host path, as an absolute host path.
std::optional<QByteArray> TargetHostPath(const QString& target) {
  // A ".." is taken back only where the kernel goes the same way (not after a link).
  if (SplitDrivePath(target)) return GivenDrivePathToHost(target, nullptr) ? DriveToHost(target) : std::nullopt;
  if (target.startsWith(QLatin1Char('/'))) return CleanGivenHostPath(HostPathBytes(target), QByteArray(), nullptr);
  return std::nullopt;
}

QString FreeSpaceCommandName(int command) {
  switch (command) {
    case ccRecycle:
      return QStringLiteral("Sending a folder to the trash");
    case ccDelete:
      return QStringLiteral("Deleting a folder");
    case ccMove:
      return QStringLiteral("Moving a folder");
    default:
      return QStringLiteral("Archiving a folder");
  }
}

}  // namespace

TFreeSpaceCommands::TFreeSpaceCommands(TScanSession& session, TScanQueue& scans, TCurrentFolder& current,
                                       TSettings& settings, IWindowServices& window, TScanCommands& scanCommands)
    : session_(session), scans_(scans), current_(current), settings_(settings), window_(window),
      scanCommands_(scanCommands) {}

void TFreeSpaceCommands::Run(int command) {
  // A drive root has no such commands, and nothing may change the tree while a scan runs.
  TTreeNode* node = current_.Node();
  if (!node || !node->Parent() || session_.Scanning()) return;
  const QString path = current_.Path();
  if (RefuseOnLoadedScan(session_, window_.Window(), path, FreeSpaceCommandName(command))) return;
  scans_.Run([&] {
    bool changed = false;
    QStringList alsoChanged;
    switch (command) {
      case ccRecycle:
        TrashItem(path, window_.Window(), &changed);
        break;
      case ccDelete:
        DeleteItem(path, window_.Window(), &changed);
        break;
      case ccMove: {
        QString movedTo;
        if (!MoveFolder(path, node, &changed, &movedTo)) return;
        if (changed && !movedTo.isEmpty()) alsoChanged << movedTo;
        break;
      }
      case ccArchive:
        ArchiveFolder(path, node, &changed, &alsoChanged);
        break;
      default:
        return;
    }
    AfterOperation(path, node, changed);
    // The other side of the operation (the move's target, a restore's folder) follows too, once
    // the folder's own rescan has ended.
    scans_.Then([this, alsoChanged] { RefreshFolders(alsoChanged); });
  });
}

void TFreeSpaceCommands::RefreshFolders(const QStringList& drivePaths) {
  scans_.Sequence(
      static_cast<int>(drivePaths.size()),
      [this, drivePaths](int i) {
        TTreeNode* nearest = session_.NearestFolder(drivePaths[i]);
        if (!nearest) return;
        const QString shown = current_.Path();
        window_.SelectNode(nearest);
        scanCommands_.RescanCurrentFolder();
        scans_.Then([this, shown] {
          if (TTreeNode* back = session_.FindFolder(shown)) window_.SelectNode(back);
        });
      },
      [this] { return !session_.Aborted(); });
}

bool TFreeSpaceCommands::MoveFolder(const QString& path, TTreeNode* node, bool* changed, QString* movedTo) {
  if (!node->Data()) return false;
  TCleanUpMoveFolderBox box(window_.Window());
  box.Prepare(path, *node->Data());
  if (RunModalDialog(box) != QDialog::Accepted) return false;
  const QString target = box.Target().trimmed();
  const std::optional<QByteArray> source = DriveToHost(path);
  const std::optional<QByteArray> targetHost = TargetHostPath(target);
  if (target.isEmpty()) return false;
  if (!source || !targetHost) {
    ShowError(QStringLiteral("\"%1\" is not a folder on any drive.").arg(target), ekProgram, window_.Window());
    return false;
  }
  if (const QString refusal = CheckMove(*source, *targetHost); !refusal.isEmpty()) {
    ShowError(refusal, ekProgram, window_.Window());
    return false;
  }
  TOperationProgressBox progress(QStringLiteral("Move Folder"), QStringLiteral("Moving \"%1\" to \"%2\"...").arg(path, target),
                                 window_.Window());
  bool replaceAll = false;
  progress.SetAsk([this, &replaceAll](const TOpQuestion& q) {
    if (replaceAll) return TOpAnswer::Yes;
    TMessageRequest request;
    request.Parent = window_.Window();
    request.Text = q.text.isEmpty() ? QStringLiteral("\"%1\" exists already. Replace it?").arg(q.path) : q.text;
    request.Caption = ProgramName;
    request.Icon = TMessageIcon::Question;
    request.Buttons = mbYes | mbNo | mbCancel;
    request.DefaultButton = mbNo;
    const int answer = ShowMessage(request);
    return answer == mbYes ? TOpAnswer::Yes : answer == mbNo ? TOpAnswer::No : TOpAnswer::Cancel;
  });
  const TOpResult result = progress.Run([&](TOpContext& context) { return MoveFolderContents(*source, *targetHost, context); });
  *changed = result.changed;
  if (const std::optional<QString> movedDrivePath = HostToDrive(*targetHost)) *movedTo = *movedDrivePath;
  if (!result.failures.empty())
    ShowError(QStringLiteral("\"%1\" could not be moved completely.\n\n%2").arg(path, FailureLines(result)), ekProgram, window_.Window());
  return true;
}

void TFreeSpaceCommands::ArchiveFolder(const QString& path, TTreeNode* node, bool* changed, QStringList* alsoChanged) {
  TCleanUpCompressFolderBox box(window_.Window(), &settings_);
  int64_t size = 0;
  int64_t occupied = 0;
  if (const TFolderSize* rec = node->Data()) {
    size = rec->TotalSize;
    occupied = rec->TotalSize;
    if (settings_->IncludeWastedInformation) occupied += SelectedTotalWasted(*rec);
  }
  box.PrepareArchive(path, size, occupied);
  box.SetScannedDrives(session_.ScannedDrives());
  RunModalDialog(box);
  *changed = box.FolderChanged();
  *alsoChanged = box.ChangedFolders();
}

void TFreeSpaceCommands::RestoreCompressedFolders() {
  QStringList restored;
  {
    TCleanUpCompressFolderBox box(window_.Window(), &settings_);
    box.PrepareRestoreOnly();
    box.SetScannedDrives(session_.ScannedDrives());
    RunModalDialog(box);
    restored = box.ChangedFolders();
  }
  RefreshFolders(restored);
}

void TFreeSpaceCommands::AfterOperation(const QString& path, TTreeNode* node, bool changed) {
  TTreeNode* parent = node->Parent();
  if (!PathExists(path)) {
    // Gone from the disk: out of the tree, and its figures out of its ancestors'.
    window_.PreparePages(nullptr);
    session_.RemoveFolder(node, node->Data() ? node->Data()->TotalSize : 0);
    window_.SelectNode(parent);
    window_.InvalidateAll(true);
  } else if (changed) {
    // Still there but changed (partly done, or cancelled part of the way): scan it again so that
    // the figures match the disk.
    scanCommands_.RescanCurrentFolder();
  }
}
