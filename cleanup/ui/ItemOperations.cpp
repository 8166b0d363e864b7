#include "cleanup/ui/ItemOperations.h"

#include "cleanup/DeleteOperation.h"
#include "cleanup/ui/OperationProgressBox.h"
#include "cleanup/Trash.h"
#include "cleanup/TrashBin.h"
#include "platform/DriveTable.h"

#include "platform/DirEnum.h"
#include "platform/HostPath.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "shell/MessageBoxes.h"

#include <QFile>

#include <functional>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

bool StatEntry(int dirFd, const char* name, struct statx& st) {
  return ::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_MODE, &st) == 0;
}

bool IsDir(const struct statx& st) { return S_ISDIR(st.stx_mode); }

TMessageRequest Question(const QString& text, QWidget* parent, int defaultButton) {
  TMessageRequest request;
  request.Parent = parent;
  request.Text = text;
  request.Caption = ProgramName;
  request.Icon = TMessageIcon::Question;
  request.Buttons = mbYes | mbNo;
  request.DefaultButton = defaultButton;
  return request;
}

// Finds the item of drivePath without following links on the way. A drive root, an item that
// is not there, and a mount point are refused with a message.
bool LocateItem(const QString& drivePath, const QString& verb, THostLocation& location, struct statx& st,
                QWidget* parent) {
  const QString path = RemoveBackslash(drivePath);
  if (IsDriveRoot(AddBackslash(path)) || path.size() <= 2) {
    ShowError(QStringLiteral("\"%1\" is the root of a drive and cannot be %2.").arg(drivePath, verb), ekProgram,
              parent);
    return false;
  }
  if (!LocateDrivePath(path, location) || !StatEntry(location.DirFd, location.Name.constData(), st)) {
    ShowError(QStringLiteral("\"%1\" cannot be %2: it cannot be found. It may have been moved or deleted.")
                  .arg(drivePath, verb),
              ekProgram, parent);
    return false;
  }
  if (location.Name == "." || location.Name == "..") {
    ShowError(QStringLiteral("\"%1\" is the root of a drive and cannot be %2.").arg(drivePath, verb), ekProgram,
              parent);
    return false;
  }
  struct statx parentSt {};
  if (IsDir(st) && ::statx(location.DirFd, "", AT_EMPTY_PATH, STATX_TYPE, &parentSt) == 0 &&
      IsOtherFileSystem(st, parentSt.stx_dev_major, parentSt.stx_dev_minor)) {
    ShowError(QStringLiteral("\"%1\" cannot be %2: another file system is mounted there.").arg(drivePath, verb),
              ekProgram, parent);
    return false;
  }
  return true;
}

// Runs a free-space operation on a thread of its own in the free-space operations' progress
// window, which appears (modal) when the work takes longer than a moment and whose Cancel stops it
// between entries.
TOpResult RunWithProgress(const QString& label, QWidget* parent, const std::function<TOpResult(TOpContext&)>& run) {
  TOperationProgressBox progress(ProgramName, label, parent);
  progress.SetShowDelay(500);
  return progress.Run(run);
}

TFileOpResult Outcome(const TOpResult& result) {
  switch (result.status) {
    case TOpStatus::Done: return TFileOpResult::Done;
    case TOpStatus::Cancelled: return TFileOpResult::Cancelled;
    default: return TFileOpResult::Failed;
  }
}

}  // namespace

TFileOpResult DeleteItem(const QString& drivePath, QWidget* parent, bool* changed) {
  if (changed) *changed = false;
  THostLocation location;
  struct statx st {};
  if (!LocateItem(drivePath, QStringLiteral("deleted"), location, st, parent)) return TFileOpResult::Failed;
  const QString question =
      IsDir(st) ? QStringLiteral("Are you sure you want to permanently delete the folder \"%1\" and everything in it?")
                : QStringLiteral("Are you sure you want to permanently delete \"%1\"?");
  if (ShowMessage(Question(question.arg(drivePath), parent, mbNo)) != mbYes) return TFileOpResult::Cancelled;

  const TOpResult result = RunWithProgress(QStringLiteral("Deleting \"%1\"...").arg(drivePath), parent, [&](TOpContext& c) {
    return DeleteEntryAt(location.DirFd, location.Name, location.HostPath, c);
  });
  if (changed) *changed = result.changed;
  if (!result.failures.empty())
    ShowError(QStringLiteral("\"%1\" could not be deleted completely.\n\n%2").arg(drivePath, FailureLines(result)),
              ekProgram, parent);
  return Outcome(result);
}

TFileOpResult TrashItem(const QString& drivePath, QWidget* parent, bool* changed) {
  if (changed) *changed = false;
  THostLocation location;
  struct statx st {};
  if (!LocateItem(drivePath, QStringLiteral("moved to the trash"), location, st, parent)) return TFileOpResult::Failed;
  // Trashing frees nothing yet: say so, so that no one trashes to make room and waits in vain.
  if (ShowMessage(Question(QStringLiteral("Are you sure you want to move \"%1\" to the trash?\n\nIts space comes back "
                                          "only when the trash is emptied.")
                               .arg(drivePath),
                           parent, mbYes)) != mbYes)
    return TFileOpResult::Cancelled;

  // The item is renamed into a trash on its own file system (the link itself for a link); what
  // cannot be is reported and stays where it is, never deleted instead.
  TOpContext context;
  const TOpResult result = TrashEntryAt(location.DirFd, location.Name, location.HostPath, context);
  // The item goes to the trash whole, by one rename, or stays where it is.
  if (changed) *changed = result.changed || result.status == TOpStatus::Done;
  if (!result.failures.empty())
    ShowError(QStringLiteral("\"%1\" could not be moved to the trash.\n\n%2").arg(drivePath, FailureLines(result)),
              ekProgram, parent);
  return Outcome(result);
}

TFileOpResult EmptyDriveTrash(QChar letter, QWidget* parent, bool* changed) {
  if (changed) *changed = false;
  const QString root = QString(letter) + QStringLiteral(":\\");
  const std::optional<QByteArray> host = DriveToHost(root);
  if (!host) return TFileOpResult::Failed;
  const std::vector<TTrashFolder> folders = TrashFoldersFor(*host);
  const TTrashContents contents = MeasureTrash(folders);
  if (contents.Items == 0 && contents.Problems.empty()) {
    ShowMessage(TMessageRequest{parent, QStringLiteral("The trash of drive %1 is empty.").arg(root), ProgramName,
                                TMessageIcon::Information, mbOK, mbOK});
    return TFileOpResult::Cancelled;
  }
  const QString question = QStringLiteral("Are you sure you want to empty the trash of drive %1?\n\nIts %2 item(s) "
                                          "(%3) are deleted for good and cannot be recovered.")
                               .arg(root, FormatCount64(contents.Items), FormatSize(contents.Bytes));
  if (ShowMessage(Question(question, parent, mbNo)) != mbYes) return TFileOpResult::Cancelled;
  const TOpResult result = RunWithProgress(QStringLiteral("Emptying the trash of drive %1...").arg(root), parent,
                                           [&](TOpContext& c) { return EmptyTrash(folders, c); });
  if (changed) *changed = result.changed;
  if (!result.failures.empty())
    ShowError(QStringLiteral("The trash of drive %1 could not be emptied completely.\n\n%2").arg(root, FailureLines(result)),
              ekProgram, parent);
  return Outcome(result);
}
