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
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray InfoSuffix = ".trashinfo";
const char DirectorySizes[] = "directorysizes";
// Items between two updates of the path in the progress (a power of two).
constexpr int64_t PathEvery = 16;

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

struct TTrashItem {
  QByteArray Name;
  bool InFiles = false;          // an entry in files/
  bool InInfo = false;           // a .trashinfo in info/
  unsigned char Type = DT_UNKNOWN;  // d_type of the files/ entry
};

// One opened trash folder: its files/ and info/ (either may be missing) and their names.
struct TOpenTrash {
  TFd Trash;
  TFd Files;
  TFd Info;
  QByteArray Path;
  // The items, by name.
  std::vector<TTrashItem> Items;
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
  // Both sides sorted by name and merged: an item is a name on either side.
  std::vector<std::pair<QByteArray, unsigned char>> files;
  std::vector<QByteArray> infos;
  if (trash.Files.Valid()) files = ListFolder(trash.Files.Get());
  if (trash.Info.Valid())
    for (auto& [name, type] : ListFolder(trash.Info.Get()))
      if (name.endsWith(InfoSuffix) && name.size() > InfoSuffix.size()) infos.push_back(name.chopped(InfoSuffix.size()));
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::sort(infos.begin(), infos.end());
  trash.Items.reserve(std::max(files.size(), infos.size()));
  size_t f = 0;
  size_t i = 0;
  while (f < files.size() || i < infos.size()) {
    TTrashItem item;
    const bool takeFile = f < files.size() && (i == infos.size() || !(infos[i] < files[f].first));
    const bool takeInfo = i < infos.size() && (f == files.size() || !(files[f].first < infos[i]));
    if (takeFile) {
      item.Name = std::move(files[f].first);
      item.InFiles = true;
      item.Type = files[f].second;
      ++f;
    }
    if (takeInfo) {
      if (!takeFile) item.Name = std::move(infos[i]);
      item.InInfo = true;
      ++i;
    }
    trash.Items.push_back(std::move(item));
  }
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
    for (const TTrashItem& item : trash.Items) {
      if (context && context->Cancelled()) return contents;
      ++contents.Items;
      if (item.InFiles != item.InInfo) contents.Orphans.push_back(OrphanPath(trash, item.Name, item.InFiles));
      if (item.InFiles)
        contents.Bytes += CountTree(trash.Files.Get(), item.Name, trash.Path + "/files/" + item.Name, context).bytes;
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
    for (const TTrashItem& item : trash.Items) {
      if (context.Cancelled()) break;
      const QByteArray& name = item.Name;
      // The path shown is brought up to date every few items: building it costs more than
      // removing a small file.
      if ((progress.entriesDone & (PathEvery - 1)) == 0) progress.currentPath = ShownPath(trash.Path + "/files/" + name);
      if (item.InFiles && !RemoveEntry(trash, name, item.Type, context, result)) continue;
      if (item.InInfo) {
        const QByteArray info = name + InfoSuffix;
        if (::unlinkat(trash.Info.Get(), info.constData(), 0) != 0 && errno != ENOENT) {
          result.failures.push_back(ErrnoFailure(trash.Path + "/info/" + info, errno));
          continue;
        }
        result.changed = true;
      }
      if (orphans && item.InFiles != item.InInfo) orphans->push_back(OrphanPath(trash, name, item.InFiles));
      ++progress.entriesDone;
      context.Progress(progress);
    }
    UpdateDirectorySizes(trash, result);
  }
  result.entriesDone = progress.entriesDone;
  result.status = FinalStatus(context.Cancelled(), result.changed, !result.failures.empty());
  return result;
}
