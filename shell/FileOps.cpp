#include "shell/FileOps.h"

#include "platform/DirEnum.h"
#include "platform/HostPath.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "shell/FolderWalk.h"
#include "shell/MessageBoxes.h"

#include <QFile>

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

QString DisplayHostPath(const QByteArray& host) { return QFile::decodeName(host); }

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

}  // namespace

bool RemoveTreeAt(int dirFd, const QByteArray& name, const QByteArray& hostPath, int* error, QByteArray* failedPath) {
  TWalkStack stack;
  auto fail = [&](const QByteArray& where) {
    const int e = errno;
    if (error) *error = e;
    if (failedPath) *failedPath = where;
    stack.Clear();
    return false;
  };
  struct statx top {};
  if (!StatEntry(dirFd, name.constData(), top)) return fail(hostPath);
  if (!IsDir(top)) {
    if (::unlinkat(dirFd, name.constData(), 0) != 0) return fail(hostPath);
    return true;
  }
  // A folder on which another file system is mounted is not entered, not even at the top.
  struct statx above {};
  if (::statx(dirFd, "", AT_EMPTY_PATH, STATX_TYPE, &above) != 0) return fail(hostPath);
  if (IsOtherFileSystem(top, above.stx_dev_major, above.stx_dev_minor)) {
    errno = EXDEV;
    return fail(hostPath);
  }
  const uint32_t devMajor = top.stx_dev_major;
  const uint32_t devMinor = top.stx_dev_minor;

  if (!stack.Enter(dirFd, name, hostPath)) return fail(hostPath);
  while (!stack.Empty()) {
    TWalkFrame& frame = stack.Top();
    if (frame.Next < frame.Names.size()) {
      const QByteArray entry = frame.Names[frame.Next++];
      const QByteArray entryPath = frame.HostPath + '/' + entry;
      struct statx st {};
      if (!StatEntry(frame.Fd, entry.constData(), st)) {
        if (errno == ENOENT) continue;  // gone meanwhile: nothing left to do
        return fail(entryPath);
      }
      if (IsDir(st)) {
        if (IsOtherFileSystem(st, devMajor, devMinor)) {
          errno = EXDEV;
          return fail(entryPath);
        }
        if (!stack.Enter(frame.Fd, entry, entryPath)) return fail(entryPath);
        continue;
      }
      if (::unlinkat(frame.Fd, entry.constData(), 0) != 0 && errno != ENOENT) return fail(entryPath);
      continue;
    }
    // Every entry is gone: remove the folder itself from the one above.
    const QByteArray folderName = frame.Name;
    const QByteArray folderPath = frame.HostPath;
    if (!stack.Leave()) return fail(folderPath);
    const int parentFd = stack.Empty() ? dirFd : stack.Top().Fd;
    if (::unlinkat(parentFd, folderName.constData(), AT_REMOVEDIR) != 0) return fail(folderPath);
  }
  return true;
}

TFileOpResult DeleteItem(const QString& drivePath, QWidget* parent) {
  THostLocation location;
  struct statx st {};
  if (!LocateItem(drivePath, QStringLiteral("deleted"), location, st, parent)) return TFileOpResult::Failed;
  const QString question =
      IsDir(st) ? QStringLiteral("Are you sure you want to permanently delete the folder \"%1\" and everything in it?")
                : QStringLiteral("Are you sure you want to permanently delete \"%1\"?");
  if (ShowMessage(Question(question.arg(drivePath), parent, mbNo)) != mbYes) return TFileOpResult::Cancelled;

  int error = 0;
  QByteArray failedPath;
  if (RemoveTreeAt(location.DirFd, location.Name, location.HostPath, &error, &failedPath))
    return TFileOpResult::Done;
  QString reason = error == EXDEV ? QStringLiteral("another file system is mounted there")
                                  : QString::fromLocal8Bit(std::strerror(error));
  ShowError(QStringLiteral("\"%1\" could not be deleted completely.\n\n%2: %3")
                .arg(drivePath, DisplayHostPath(failedPath), reason),
            ekProgram, parent);
  return TFileOpResult::Failed;
}

TFileOpResult TrashItem(const QString& drivePath, QWidget* parent) {
  THostLocation location;
  struct statx st {};
  if (!LocateItem(drivePath, QStringLiteral("moved to the trash"), location, st, parent)) return TFileOpResult::Failed;
  // The trash takes a path as text: make sure the text leads to this very entry.
  const QString hostText = QFile::decodeName(location.HostPath);
  if (QFile::encodeName(hostText) != location.HostPath) {
    ShowError(QStringLiteral("\"%1\" cannot be moved to the trash: its name cannot be passed on. Delete it instead.")
                  .arg(drivePath),
              ekProgram, parent);
    return TFileOpResult::Failed;
  }
  if (ShowMessage(Question(QStringLiteral("Are you sure you want to move \"%1\" to the trash?").arg(drivePath), parent,
                           mbYes)) != mbYes)
    return TFileOpResult::Cancelled;

  // The trash renames the entry (the link itself for a link) and never copies across file
  // systems: an item on a file system without a trash of its own fails here.
  QFile file(hostText);
  if (file.moveToTrash()) return TFileOpResult::Done;
  ShowError(QStringLiteral("\"%1\" could not be moved to the trash.\n\n%2").arg(drivePath, file.errorString()),
            ekProgram, parent);
  return TFileOpResult::Failed;
}
