#include "cleanup/Trash.h"

#include "cleanup/HostEntry.h"
#include "cleanup/ProtectedFolders.h"
#include "platform/DriveTable.h"
#include "platform/MountTable.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Longest name we give an item in the trash, so that "name.N.trashinfo" stays within 255 bytes.
constexpr qsizetype MaxTrashName = 230;

// mkdir -p with mode for the folders it creates; false with errno.
bool MakeFolders(const QByteArray& path, mode_t mode) {
  QByteArray sofar;
  for (const QByteArray& part : path.split('/')) {
    if (part.isEmpty()) continue;
    sofar += '/' + part;
    if (::mkdir(sofar.constData(), mode) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  if (::stat(path.constData(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  return true;
}

// A folder of ours in a shared place: a real folder (not a link) owned by us.
bool IsOwnFolder(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

struct TTrashPlace {
  QByteArray folder;    // holds files/ and info/
  QByteArray topDir;    // empty for the home trash: Path= is then absolute
};

// The trash of a file system's top folder, created when missing; empty with *why when there is
// none that may be used.
QByteArray TopDirTrash(const QByteArray& topDir, QString* why) {
  const QByteArray base = topDir == "/" ? QByteArray() : topDir;
  const QByteArray uid = QByteArray::number(::getuid());
  const QByteArray shared = base + "/.Trash";
  struct stat st {};
  if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
    const QByteArray own = shared + '/' + uid;
    if (::mkdir(own.constData(), 0700) == 0 || errno == EEXIST)
      if (IsOwnFolder(own)) return own;
  }
  const QByteArray own = base + "/.Trash-" + uid;
  if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST) {
    *why = QStringLiteral("there is no trash on its file system (%1: %2)").arg(ShownPath(own), ErrorText(errno));
    return {};
  }
  if (!IsOwnFolder(own)) {
    *why = QStringLiteral("the trash of its file system (%1) is not a folder of this user").arg(ShownPath(own));
    return {};
  }
  return own;
}

bool FindTrash(const THostEntry& entry, const QByteArray& realParent, TTrashPlace& place, QString* why) {
  const dev_t itemDev = makedev(entry.St.stx_dev_major, entry.St.stx_dev_minor);
  const QByteArray home = HomeTrashFolder();
  dev_t homeDev = 0;
  if (DeviceOfNearest(home, homeDev) && homeDev == itemDev) {
    if (!MakeFolders(home, 0700)) {
      *why = QStringLiteral("the trash folder %1 cannot be made: %2").arg(ShownPath(home), ErrorText(errno));
      return false;
    }
    place.folder = home;
    place.topDir.clear();
    return true;
  }
  const std::vector<TMountEntry> table = ReadMountTable();
  const TMountEntry* mount = realParent.isEmpty() ? nullptr : MountContaining(table, realParent);
  if (!mount) {
    *why = QStringLiteral("the top of its file system cannot be found");
    return false;
  }
  place.topDir = mount->MountPoint;
  place.folder = TopDirTrash(place.topDir, why);
  if (place.folder.isEmpty()) return false;
  dev_t trashDev = 0;
  if (!DeviceOfNearest(place.folder, trashDev) || trashDev != itemDev) {
    *why = QStringLiteral("its file system has no trash of its own");
    return false;
  }
  return true;
}

bool WriteAll(int fd, const QByteArray& data) {
  qsizetype done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += n;
  }
  return true;
}

// Trashes one entry; a failure is added to result.
void TrashOne(THostEntry& entry, TOpResult& result) {
  if (const QString kind = ProtectedFolderKind(entry.St); !kind.isEmpty()) {
    result.failures.push_back(Failure(entry.Path, QStringLiteral("it is %1, which is never moved to the trash").arg(kind), EPERM));
    return;
  }
  const QByteArray realParent = RealPathOf(entry.Dir.Get());
  const QByteArray realPath = realParent.isEmpty() ? QByteArray() : CleanHostPath(realParent + '/' + entry.Name);
  if (IsDirSt(entry.St)) {
    struct statx dirSt {};
    const bool mountHere = ::statx(entry.Dir.Get(), "", AT_EMPTY_PATH, STATX_TYPE, &dirSt) == 0 &&
                           IsMountHere(entry.St, dirSt);
    const QByteArray below = mountHere ? realPath : MountPointBelow(realPath);
    if (mountHere || !below.isEmpty()) {
      result.failures.push_back(
          Failure(entry.Path,
                  QStringLiteral("a file system is mounted at %1; the folder is not moved to the trash, as emptying "
                                 "the trash would delete what lies on it")
                      .arg(ShownPath(below.isEmpty() ? entry.Path : below)),
                  EBUSY));
      return;
    }
  }
  TTrashPlace place;
  QString why;
  if (!FindTrash(entry, realParent, place, &why)) {
    result.failures.push_back(Failure(entry.Path, QStringLiteral("cannot be moved to the trash: %1").arg(why)));
    return;
  }
  const QByteArray filesPath = place.folder + "/files";
  const QByteArray infoPath = place.folder + "/info";
  for (const QByteArray& sub : {filesPath, infoPath})
    if (::mkdir(sub.constData(), 0700) != 0 && errno != EEXIST) {
      result.failures.push_back(Failure(entry.Path, QStringLiteral("cannot be moved to the trash: %1: %2")
                                                        .arg(ShownPath(sub), ErrorText(errno)),
                                        errno));
      return;
    }
  TFd files(::open(filesPath.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  TFd info(::open(infoPath.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!files.Valid() || !info.Valid()) {
    result.failures.push_back(ErrnoFailure(entry.Path, errno));
    return;
  }

  QByteArray pathKey = entry.Path;
  if (!place.topDir.isEmpty()) {
    const QByteArray top = place.topDir == "/" ? QByteArray("/") : place.topDir + '/';
    pathKey = realPath.startsWith(top) ? realPath.mid(top.size()) : realPath;
  }
  const QByteArray text = TrashInfoText(pathKey, QDateTime::currentDateTime());
  const QByteArray base = entry.Name.left(MaxTrashName);
  for (int n = 1; n < 100000; ++n) {
    const QByteArray name = n == 1 ? base : base + '.' + QByteArray::number(n);
    const QByteArray infoName = name + ".trashinfo";
    TFd infoFd(::openat(info.Get(), infoName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!infoFd.Valid()) {
      if (errno == EEXIST) continue;
      result.failures.push_back(Failure(entry.Path, QStringLiteral("cannot be moved to the trash: %1")
                                                        .arg(ErrorText(errno)),
                                        errno));
      return;
    }
    if (!WriteAll(infoFd.Get(), text) || ::fsync(infoFd.Get()) != 0) {
      const int e = errno;
      ::unlinkat(info.Get(), infoName.constData(), 0);
      result.failures.push_back(ErrnoFailure(entry.Path, e));
      return;
    }
    infoFd.Reset();
    if (::renameat2(entry.Dir.Get(), entry.Name.constData(), files.Get(), name.constData(), RENAME_NOREPLACE) == 0) {
      result.changed = true;
      return;
    }
    const int e = errno;
    ::unlinkat(info.Get(), infoName.constData(), 0);
    if (e == EEXIST) continue;
    result.failures.push_back(Failure(entry.Path, e == EINVAL ? QStringLiteral("the trash lies inside it")
                                                              : QStringLiteral("cannot be moved to the trash: %1")
                                                                    .arg(ErrorText(e)),
                                      e));
    return;
  }
  result.failures.push_back(Failure(entry.Path, QStringLiteral("the trash holds too many items of this name")));
}

}  // namespace

bool DeviceOfNearest(QByteArray path, dev_t& dev) {
  for (;;) {
    struct stat st {};
    if (::stat(path.constData(), &st) == 0) {
      dev = st.st_dev;
      return true;
    }
    if (path == "/" || path.isEmpty()) return false;
    const qsizetype slash = path.lastIndexOf('/');
    path = slash <= 0 ? QByteArray("/") : path.left(slash);
  }
}

QByteArray HomeTrashFolder() {
  QByteArray data = qgetenv("XDG_DATA_HOME");
  if (!data.startsWith('/')) {
    QByteArray home = qgetenv("HOME");
    if (!home.startsWith('/')) home = QFile::encodeName(QDir::homePath());
    data = home + "/.local/share";
  }
  return CleanHostPath(data + "/Trash");
}

QByteArray TrashPathEncode(const QByteArray& path) { return path.toPercentEncoding("/"); }

QByteArray TrashInfoText(const QByteArray& path, const QDateTime& deletedAt) {
  return "[Trash Info]\nPath=" + TrashPathEncode(path) +
         "\nDeletionDate=" + deletedAt.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")).toLatin1() + '\n';
}

TOpResult TrashEntries(const std::vector<QByteArray>& hostPaths, TOpContext& context) {
  TOpResult result;
  TOpProgress progress;
  progress.entriesTotal = static_cast<int64_t>(hostPaths.size());
  context.Progress(progress);
  for (const QByteArray& path : hostPaths) {
    if (context.Cancelled()) break;
    progress.currentPath = ShownPath(path);
    const size_t failures = result.failures.size();
    THostEntry entry;
    if (OpenHostEntry(path, entry))
      TrashOne(entry, result);
    else
      result.failures.push_back(ErrnoFailure(path, errno));
    if (result.failures.size() == failures) ++progress.entriesDone;
    context.Progress(progress);
  }
  result.entriesDone = progress.entriesDone;
  result.status = FinalStatus(context.Cancelled(), result.changed, !result.failures.empty());
  return result;
}

TOpResult TrashEntryAt(int dirFd, const QByteArray& name, const QByteArray& hostPath, TOpContext& context) {
  TOpResult result;
  TOpProgress progress;
  progress.entriesTotal = 1;
  progress.currentPath = ShownPath(hostPath);
  context.Progress(progress);
  THostEntry entry;
  entry.Dir.Reset(::fcntl(dirFd, F_DUPFD_CLOEXEC, 0));
  entry.Name = name;
  entry.Path = hostPath;
  if (!entry.Dir.Valid() || !StatAt(entry.Dir.Get(), name.constData(), entry.St))
    result.failures.push_back(ErrnoFailure(hostPath, errno));
  else
    TrashOne(entry, result);
  if (result.failures.empty()) progress.entriesDone = 1;
  context.Progress(progress);
  result.entriesDone = progress.entriesDone;
  result.status = FinalStatus(false, result.changed, !result.failures.empty());
  return result;
}
