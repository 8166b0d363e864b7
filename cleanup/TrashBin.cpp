#include "cleanup/TrashBin.h"

#include "cleanup/DeleteOperation.h"
#include "cleanup/HostEntry.h"
#include "cleanup/ProtectedFolders.h"
#include "cleanup/Trash.h"
#include "platform/DirEnum.h"
#include "platform/DriveTable.h"
#include "platform/MountTable.h"


#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray InfoSuffix = ".trashinfo";
const char DirectorySizes[] = "directorysizes";

// A trash folder that exists: refused when it is a link or not a folder of this user.
bool AddExisting(const QByteArray& path, std::vector<TTrashFolder>& out) {
  struct stat st {};
  if (::lstat(path.constData(), &st) != 0) return false;
  TTrashFolder folder{path, {}};
  if (S_ISLNK(st.st_mode))
    folder.Refusal = QStringLiteral("the trash folder %1 is a link; it is not followed").arg(ShownPath(path));
  else if (!S_ISDIR(st.st_mode))
    folder.Refusal = QStringLiteral("the trash folder %1 is not a folder").arg(ShownPath(path));
  else if (st.st_uid != ::getuid())
    folder.Refusal = QStringLiteral("the trash folder %1 is not a folder of this user").arg(ShownPath(path));
  out.push_back(folder);
  return true;
}

// One opened trash folder: its files/ and info/ (either may be missing) and their names.
struct TOpenTrash {
  TFd Trash;
  TFd Files;
  TFd Info;
  QByteArray Path;
  // Item name -> (an entry in files/, a .trashinfo in info/).
  std::map<QByteArray, std::pair<bool, bool>> Items;
  // d_type of the entries of files/, by name.
  std::map<QByteArray, unsigned char> Types;
};

std::vector<std::pair<QByteArray, unsigned char>> ListFolder(int fd) {
  std::vector<std::pair<QByteArray, unsigned char>> names;
  THostDir dir;
  if (!dir.OpenAt(fd, ".")) return names;
  std::string_view name;
  unsigned char type;
  while (dir.Next(name, type)) names.emplace_back(QByteArray(name.data(), static_cast<qsizetype>(name.size())), type);
  return names;
}

// Opens a side (files/ or info/) without following a link; a missing side is empty.
bool OpenSide(TOpenTrash& trash, const char* side, TFd& fd, std::vector<TOpFailure>& problems) {
  fd.Reset(::openat(trash.Trash.Get(), side, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.Valid() || errno == ENOENT) return true;
  const QByteArray path = trash.Path + '/' + side;
  problems.push_back(errno == ELOOP || errno == ENOTDIR
                         ? Failure(path, QStringLiteral("is a link or not a folder; the trash is left alone"), errno)
                         : ErrnoFailure(path, errno));
  return false;
}

bool OpenTrash(const TTrashFolder& folder, TOpenTrash& trash, std::vector<TOpFailure>& problems) {
  trash.Path = folder.Path;
  if (!folder.Refusal.isEmpty()) {
    problems.push_back(Failure(folder.Path, folder.Refusal, ELOOP));
    return false;
  }
  trash.Trash.Reset(::open(folder.Path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!trash.Trash.Valid()) {
    if (errno == ENOENT) return false;  // no trash: nothing in it
    problems.push_back(ErrnoFailure(folder.Path, errno));
    return false;
  }
  if (!OpenSide(trash, "files", trash.Files, problems) || !OpenSide(trash, "info", trash.Info, problems)) return false;
  if (trash.Files.Valid())
    for (auto& [name, type] : ListFolder(trash.Files.Get())) {
      trash.Items[name].first = true;
      trash.Types[name] = type;
    }
  if (trash.Info.Valid())
    for (auto& [name, type] : ListFolder(trash.Info.Get()))
      if (name.endsWith(InfoSuffix) && name.size() > InfoSuffix.size())
        trash.Items[name.chopped(InfoSuffix.size())].second = true;
  return true;
}

QByteArray OrphanPath(const TOpenTrash& trash, const QByteArray& name, bool inFiles) {
  return trash.Path + (inFiles ? "/files/" + name : "/info/" + name + InfoSuffix);
}

// Drops the lines of "directorysizes" whose folder is no longer in files/. Written under a new
// name and renamed over the old one, so that a reader sees the old cache or the new one.
void UpdateDirectorySizes(const TOpenTrash& trash, TOpResult& result) {
  TFd in(::openat(trash.Trash.Get(), DirectorySizes, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in.Valid()) return;
  struct stat st {};
  if (::fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 64 * 1024 * 1024) return;
  QByteArray text;
  char buf[65536];
  ssize_t n;
  while ((n = ::read(in.Get(), buf, sizeof buf)) > 0) text.append(buf, n);
  if (n < 0) return;
  QByteArray kept;
  bool dropped = false;
  for (const QByteArray& line : text.split('\n')) {
    if (line.isEmpty()) continue;
    const QList<QByteArray> fields = line.split(' ');
    const QByteArray name = fields.size() == 3 ? QByteArray::fromPercentEncoding(fields[2]) : QByteArray();
    struct stat entry {};
    const bool there = !name.isEmpty() && !name.contains('/') && trash.Files.Valid() &&
                       ::fstatat(trash.Files.Get(), name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0;
    if (there) {
      kept += line + '\n';
    } else {
      dropped = true;
    }
  }
  if (!dropped) return;
  const QByteArray temp = QByteArray(DirectorySizes) + ".korvane-" + QByteArray::number(::getpid());
  TFd out(::openat(trash.Trash.Get(), temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  bool ok = out.Valid();
  for (qsizetype done = 0; ok && done < kept.size();) {
    const ssize_t w = ::write(out.Get(), kept.constData() + done, static_cast<size_t>(kept.size() - done));
    if (w < 0 && errno == EINTR) continue;
    ok = w > 0;
    done += w > 0 ? w : 0;
  }
  ok = ok && ::fsync(out.Get()) == 0;
  out.Reset();
  if (ok && ::renameat(trash.Trash.Get(), temp.constData(), trash.Trash.Get(), DirectorySizes) == 0) return;
  const int error = errno;
  ::unlinkat(trash.Trash.Get(), temp.constData(), 0);
  result.failures.push_back(Failure(trash.Path + '/' + DirectorySizes,
                                    QStringLiteral("cannot be brought up to date: %1").arg(ErrorText(error)), error));
}

// Removes the files/ entry of an item; true when it is gone.
bool RemoveEntry(const TOpenTrash& trash, const QByteArray& name, unsigned char type, TOpContext& context,
                 TOpResult& result) {
  if (type != DT_DIR && type != DT_UNKNOWN) {
    // Anything but a folder goes with one call (a link as the link); a folder refuses it. Its
    // size is looked at first, for the bytes freed.
    struct statx st {};
    const bool known = ::statx(trash.Files.Get(), name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                               STATX_TYPE | STATX_SIZE, &st) == 0;
    if (::unlinkat(trash.Files.Get(), name.constData(), 0) == 0) {
      result.changed = true;
      if (known && S_ISREG(st.stx_mode)) result.bytesDone += static_cast<int64_t>(st.stx_size);
      return true;
    }
    if (errno == ENOENT) return true;
    if (errno != EISDIR && errno != EPERM) {
      result.failures.push_back(ErrnoFailure(trash.Path + "/files/" + name, errno));
      return false;
    }
  }
  const QByteArray path = trash.Path + "/files/" + name;
  // A folder (or an entry of unknown type): the delete that never follows a link nor enters
  // another file system. It reports to a context of its own, which follows this one's Stop.
  TOpContext inner;
  inner.onProgress = [&](const TOpProgress&) {
    if (context.Cancelled()) inner.Cancel();
    context.Busy();
  };
  if (context.Cancelled()) return false;
  // Progress counts items here, so the folder is not counted before it goes.
  const TOpResult removed = DeleteEntryAt(trash.Files.Get(), name, path, inner, false);
  result.changed = result.changed || removed.changed;
  result.bytesDone += removed.bytesDone;
  result.failures.insert(result.failures.end(), removed.failures.begin(), removed.failures.end());
  struct stat st {};
  return ::fstatat(trash.Files.Get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

}  // namespace

std::vector<TTrashFolder> TrashFoldersFor(const QByteArray& hostPath) {
  std::vector<TTrashFolder> folders;
  const QByteArray home = HomeTrashFolder();
  dev_t homeDev = 0;
  dev_t pathDev = 0;
  if (!DeviceOfNearest(hostPath, pathDev)) return folders;
  if (DeviceOfNearest(home, homeDev) && homeDev == pathDev) {
    if (!AddExisting(home, folders)) folders.push_back({home, {}});  // not made yet: empty
    return folders;
  }
  const std::vector<TMountEntry> table = ReadMountTable();
  const TMountEntry* mount = MountContaining(table, CleanHostPath(hostPath));
  if (!mount) return folders;
  const QByteArray base = mount->MountPoint == "/" ? QByteArray() : mount->MountPoint;
  const QByteArray uid = QByteArray::number(::getuid());
  const QByteArray shared = base + "/.Trash";
  struct stat st {};
  if (::lstat(shared.constData(), &st) == 0) {
    if (S_ISLNK(st.st_mode))
      folders.push_back({shared, QStringLiteral("the trash folder %1 is a link; it is not followed").arg(ShownPath(shared))});
    else if (S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX))
      AddExisting(shared + '/' + uid, folders);
  }
  AddExisting(base + "/.Trash-" + uid, folders);
  return folders;
}

TTrashContents MeasureTrash(const std::vector<TTrashFolder>& folders, const TOpContext* context) {
  TTrashContents contents;
  for (const TTrashFolder& folder : folders) {
    TOpenTrash trash;
    if (!OpenTrash(folder, trash, contents.Problems)) continue;
    for (const auto& [name, sides] : trash.Items) {
      if (context && context->Cancelled()) return contents;
      ++contents.Items;
      if (sides.first != sides.second) contents.Orphans.push_back(OrphanPath(trash, name, sides.first));
      if (sides.first) contents.Bytes += CountTree(trash.Files.Get(), name, trash.Path + "/files/" + name, context).bytes;
    }
  }
  return contents;
}

TOpResult EmptyTrash(const std::vector<TTrashFolder>& folders, TOpContext& context, std::vector<QByteArray>* orphans) {
  const TProtectedFoldersSnapshot protectedFolders;  // asked once per folder item
  TOpResult result;
  TOpProgress progress;
  std::vector<TOpenTrash> trashes(folders.size());
  std::vector<bool> open(folders.size(), false);
  for (size_t i = 0; i < folders.size(); ++i) {
    open[i] = OpenTrash(folders[i], trashes[i], result.failures);
    if (open[i]) progress.entriesTotal += static_cast<int64_t>(trashes[i].Items.size());
  }
  context.Progress(progress);
  for (size_t i = 0; i < trashes.size() && !context.Cancelled(); ++i) {
    if (!open[i]) continue;
    const TOpenTrash& trash = trashes[i];
    for (const auto& [name, sides] : trash.Items) {
      if (context.Cancelled()) break;
      progress.currentPath = ShownPath(trash.Path + "/files/" + name);
      if (sides.first) {
        const auto type = trash.Types.find(name);
        if (!RemoveEntry(trash, name, type == trash.Types.end() ? static_cast<unsigned char>(DT_UNKNOWN) : type->second, context, result)) continue;
      }
      if (sides.second) {
        const QByteArray info = name + InfoSuffix;
        if (::unlinkat(trash.Info.Get(), info.constData(), 0) != 0 && errno != ENOENT) {
          result.failures.push_back(ErrnoFailure(trash.Path + "/info/" + info, errno));
          continue;
        }
        result.changed = true;
      }
      if (orphans && sides.first != sides.second) orphans->push_back(OrphanPath(trash, name, sides.first));
      ++progress.entriesDone;
      context.Progress(progress);
    }
    UpdateDirectorySizes(trash, result);
  }
  result.entriesDone = progress.entriesDone;
  result.status = FinalStatus(context.Cancelled(), result.changed, !result.failures.empty());
  return result;
}
