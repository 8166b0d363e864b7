#include "cleanup/MoveOperation.h"

#include "cleanup/FileCopy.h"
#include "cleanup/HostEntry.h"
#include "cleanup/ProtectedFolders.h"
#include "platform/DriveTable.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <vector>

namespace {

// The names in an open folder (other than "." and ".."); false with errno.
bool ListNames(int fd, std::vector<QByteArray>& names) {
  DIR* dir = ::fdopendir(::dup(fd));
  if (!dir) return false;
  errno = 0;
  while (dirent* e = ::readdir(dir))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
  const int e = errno;
  ::closedir(dir);
  errno = e;
  return e == 0;
}

bool SelfStat(int fd, struct statx& st) {
  return ::statx(fd, "", AT_EMPTY_PATH,
                 STATX_TYPE | STATX_MODE | STATX_INO | STATX_ATIME | STATX_MTIME | STATX_UID | STATX_GID, &st) == 0;
}

// The deepest folder of path that exists, opened (links followed); the rest of path in *rest.
TFd OpenNearest(const QByteArray& path, QByteArray* existing) {
  QByteArray p = CleanHostPath(path);
  for (;;) {
    TFd fd(::open(p.constData(), O_PATH | O_CLOEXEC));
    if (fd.Valid()) {
      *existing = p;
      return fd;
    }
    if (p == "/") return TFd();
    const qsizetype slash = p.lastIndexOf('/');
    p = slash <= 0 ? QByteArray("/") : p.left(slash);
  }
}

bool CreateFolders(const QByteArray& path) {
  QByteArray sofar;
  for (const QByteArray& part : path.split('/')) {
    if (part.isEmpty()) continue;
    sofar += '/' + part;
    if (::mkdir(sofar.constData(), 0777) != 0 && errno != EEXIST) return false;
  }
  return true;
}

class TMover {
public:
  TMover(TOpContext& context, TOpResult& result) : context_(context), result_(result) {}

  TOpProgress progress;

  // Moves every entry of the open folder src into the open folder dst; true when all are gone
  // from src. dstIsNew: dst was made by this move (no leftovers to clean).
  bool MoveChildren(int src, const QByteArray& srcPath, const struct statx& srcSt, int dst, const QByteArray& dstPath,
                    const struct statx& dstSt, bool dstIsNew) {
    if (!dstIsNew) CleanLeftovers(dst);
    std::vector<QByteArray> names;
    if (!ListNames(src, names)) {
      Fail(ErrnoFailure(srcPath, errno));
      return false;
    }
    std::vector<TPending> pending;  // copies under temporary names, flushed and renamed in batches
    int64_t pendingBytes = 0;
    bool all = true;
    for (const QByteArray& name : names) {
      if (context_.Cancelled()) {
        all = false;
        break;
      }
      struct statx st {};
      if (!StatAt(src, name.constData(), st)) {
        if (errno == ENOENT) continue;
        Fail(ErrnoFailure(srcPath + '/' + name, errno));
        all = false;
        continue;
      }
      TPending copy;
      const TEntryOutcome outcome = MoveEntry(src, name, srcPath + '/' + name, st, srcSt, dst, dstPath + '/' + name,
                                              dstSt, &copy);
      if (outcome == TEntryOutcome::Copied) {
        pending.push_back(copy);
        pendingBytes += IsRegSt(st) ? static_cast<int64_t>(st.stx_size) : 0;
        if (pending.size() >= 256 || pendingBytes >= (int64_t{256} << 20)) {
          if (!Flush(src, srcPath, dst, dstPath, pending)) all = false;
          pendingBytes = 0;
        }
      }
      if (outcome == TEntryOutcome::Kept) all = false;
    }
    // Copies made before a cancel are finished, so that nothing is left twice.
    if (!Flush(src, srcPath, dst, dstPath, pending)) all = false;
    return all;
  }

private:
  enum class TEntryOutcome { Gone, Copied, Kept };

  struct TPending {
    QByteArray name;
    QByteArray tempName;
    bool replace = false;
  };

  // Makes a batch of copies durable under their temporary names, renames them to their final
  // names, makes the names durable, and only then removes their sources. One flush of the file
  // system per batch costs far less than one per file. False when any of them stays.
  bool Flush(int src, const QByteArray& srcPath, int dst, const QByteArray& dstPath, std::vector<TPending>& pending) {
    if (pending.empty()) return true;
    bool all = true;
    if (::syncfs(dst) != 0) {
      Fail(Failure(dstPath, QStringLiteral("the copies could not be written to disk: %1").arg(ErrorText(errno)), errno));
      for (const TPending& p : pending) ::unlinkat(dst, p.tempName.constData(), 0);
      pending.clear();
      return false;
    }
    std::vector<QByteArray> renamed;
    for (const TPending& p : pending) {
      const TCopyOutcome outcome = FinishCopy(dst, p.tempName, p.name, p.replace);
      if (outcome.ok) {
        renamed.push_back(p.name);
      } else {
        Fail(Failure(srcPath + '/' + p.name, outcome.reason, outcome.error));
        all = false;
      }
    }
    pending.clear();
    if (!renamed.empty() && ::fsync(dst) != 0 && errno != EINVAL && errno != EROFS) {
      Fail(Failure(dstPath, QStringLiteral("the copies could not be written to disk: %1").arg(ErrorText(errno)), errno));
      return false;
    }
    for (const QByteArray& name : renamed)
      if (::unlinkat(src, name.constData(), 0) != 0 && errno != ENOENT) {
        Fail(Failure(srcPath + '/' + name, QStringLiteral("was copied but could not be removed: %1").arg(ErrorText(errno)),
                     errno));
        all = false;
      }
    return all;
  }

  TEntryOutcome MoveEntry(int src, const QByteArray& name, const QByteArray& srcPath, const struct statx& st,
                          const struct statx& srcDirSt, int dst, const QByteArray& dstPath, const struct statx& dstDirSt,
                          TPending* copy) {
    progress.currentPath = ShownPath(srcPath);
    if (IsDirSt(st) && IsMountHere(st, srcDirSt)) {
      Fail(Failure(srcPath, QStringLiteral("another file system is mounted there; it is left alone"), EXDEV));
      return TEntryOutcome::Kept;
    }
    struct statx existing {};
    const bool exists = StatAt(dst, name.constData(), existing);
    bool replace = false;
    if (exists) {
      if (IsDirSt(st) && IsDirSt(existing)) return MergeFolder(src, name, srcPath, st, dst, dstPath, existing);
      if (IsDirSt(st) || IsDirSt(existing)) {
        Fail(Failure(srcPath, IsDirSt(existing) ? QStringLiteral("a folder of that name is in the target; kept")
                                                : QStringLiteral("a file of that name is in the target; kept"),
                     EEXIST));
        return TEntryOutcome::Kept;
      }
      if (!SameDev(st, dstDirSt) && IsFinishedCopy(src, name, st, dst, existing)) {
        // A move stopped between renaming its copy into place and removing the source: the copy
        // is whole, so only the source is left to remove.
        if (::unlinkat(src, name.constData(), 0) != 0 && errno != ENOENT) {
          Fail(Failure(srcPath, QStringLiteral("was copied but could not be removed: %1").arg(ErrorText(errno)), errno));
          return TEntryOutcome::Kept;
        }
        Done(1, IsRegSt(st) ? static_cast<int64_t>(st.stx_size) : 0);
        return TEntryOutcome::Gone;
      }
      if (!MayReplace(dstPath)) {
        if (!context_.Cancelled())
          Fail(Failure(srcPath, QStringLiteral("an entry of that name is in the target; kept"), EEXIST));
        return TEntryOutcome::Kept;
      }
      replace = true;
    }

    if (SameDev(st, dstDirSt)) {
      TTreeCount count;
      if (IsDirSt(st)) {
        count = CountTree(src, name, srcPath);
      } else {
        count.entries = 1;
        count.bytes = IsRegSt(st) ? static_cast<int64_t>(st.stx_size) : 0;
      }
      if (::renameat2(src, name.constData(), dst, name.constData(), replace ? 0 : RENAME_NOREPLACE) == 0) {
        Done(count.entries, count.bytes);
        return TEntryOutcome::Gone;
      }
      if (errno != EXDEV) {
        Fail(ErrnoFailure(srcPath, errno));
        return TEntryOutcome::Kept;
      }
    }

    if (IsDirSt(st)) {
      if (::mkdirat(dst, name.constData(), 0700) != 0) {
        Fail(Failure(srcPath, QStringLiteral("the folder %1 cannot be made: %2").arg(ShownPath(dstPath), ErrorText(errno)),
                     errno));
        return TEntryOutcome::Kept;
      }
      struct statx made {};
      StatAt(dst, name.constData(), made);
      return MergeFolder(src, name, srcPath, st, dst, dstPath, made, true);
    }

    TCopyRequest request;
    request.srcDir = src;
    request.name = name;
    request.st = st;
    request.dstDir = dst;
    request.tempName = NextTempName();
    request.replace = replace;
    request.finish = false;
    request.context = &context_;
    request.onBytes = [this](int64_t bytes) {
      progress.bytesDone += bytes;
      context_.Progress(progress);
    };
    const TCopyOutcome copied = CopyEntry(request);
    if (copied.cancelled) return TEntryOutcome::Kept;
    if (!copied.ok) {
      Fail(Failure(srcPath, copied.reason, copied.error));
      return TEntryOutcome::Kept;
    }
    result_.changed = true;
    copy->name = name;
    copy->tempName = request.tempName;
    copy->replace = replace;
    Done(1, 0);
    return TEntryOutcome::Copied;
  }

  TEntryOutcome MergeFolder(int src, const QByteArray& name, const QByteArray& srcPath, const struct statx& st, int dst,
                            const QByteArray& dstPath, const struct statx& dstSt, bool made = false) {
    TFd from(::openat(src, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!from.Valid()) {
      Fail(ErrnoFailure(srcPath, errno));
      return TEntryOutcome::Kept;
    }
    TFd to(::openat(dst, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!to.Valid()) {
      Fail(ErrnoFailure(dstPath, errno));
      return TEntryOutcome::Kept;
    }
    struct statx fromSt {};
    struct statx toSt {};
    if (!SelfStat(from.Get(), fromSt) || !SameEntry(fromSt, st) || !SelfStat(to.Get(), toSt) ||
        (!made && !SameEntry(toSt, dstSt))) {
      Fail(Failure(srcPath, QStringLiteral("the folder changed during the move"), ESTALE));
      return TEntryOutcome::Kept;
    }
    if (made) result_.changed = true;
    const bool all = MoveChildren(from.Get(), srcPath, fromSt, to.Get(), dstPath, toSt, made);
    if (made) {
      // The folder's own permissions, owner and times, once its entries are in (adding them
      // changed its times); a partly moved folder stays writable for us so that a later move can
      // finish it.
      if (::geteuid() == 0) (void)::fchown(to.Get(), st.stx_uid, st.stx_gid);
      ::fchmod(to.Get(), all ? (st.stx_mode & 07777) : ((st.stx_mode & 07777) | S_IRWXU));
      const struct timespec times[2] = {{st.stx_atime.tv_sec, st.stx_atime.tv_nsec},
                                        {st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec}};
      ::futimens(to.Get(), times);
    }
    if (!all) return TEntryOutcome::Kept;
    from.Reset();
    if (::unlinkat(src, name.constData(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
      Fail(ErrnoFailure(srcPath, errno));
      return TEntryOutcome::Kept;
    }
    result_.changed = true;
    Done(1, 0);
    return TEntryOutcome::Gone;
  }

  // Whether the target entry is a finished copy of the source: an entry (not a folder) of the same
  // type, permissions, owner, modification time and size (as the copy gives them), with the same
  // bytes, link target or device number.
  bool IsFinishedCopy(int src, const QByteArray& name, const struct statx& st, int dst, const struct statx& there) {
    const mode_t type = st.stx_mode & S_IFMT;
    if (type != (there.stx_mode & S_IFMT) || IsDirSt(st) || type == S_IFSOCK) return false;
    if (st.stx_size != there.stx_size || st.stx_mtime.tv_sec != there.stx_mtime.tv_sec ||
        st.stx_mtime.tv_nsec != there.stx_mtime.tv_nsec)
      return false;
    if (!IsLinkSt(st) && (st.stx_mode & 07777) != (there.stx_mode & 07777)) return false;
    if (::geteuid() == 0 && (st.stx_uid != there.stx_uid || st.stx_gid != there.stx_gid)) return false;
    if (type == S_IFIFO) return true;  // nothing but its name and metadata
    if (type == S_IFCHR || type == S_IFBLK)
      return st.stx_rdev_major == there.stx_rdev_major && st.stx_rdev_minor == there.stx_rdev_minor;
    if (IsLinkSt(st)) {
      QByteArray a(static_cast<qsizetype>(st.stx_size) + 1, '\0');
      QByteArray b(a.size(), '\0');
      const ssize_t na = ::readlinkat(src, name.constData(), a.data(), static_cast<size_t>(a.size()));
      const ssize_t nb = ::readlinkat(dst, name.constData(), b.data(), static_cast<size_t>(b.size()));
      return na >= 0 && na == nb && na < a.size() && std::memcmp(a.constData(), b.constData(), static_cast<size_t>(na)) == 0;
    }
    TFd in(::openat(src, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    TFd out(::openat(dst, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.Valid() || !out.Valid()) return false;
    constexpr size_t Block = 1 << 20;
    std::vector<char> a(Block), b(Block);
    for (int64_t at = 0; at < static_cast<int64_t>(st.stx_size);) {
      if (context_.Cancelled()) return false;
      const ssize_t na = ::pread(in.Get(), a.data(), Block, at);
      const ssize_t nb = ::pread(out.Get(), b.data(), Block, at);
      if (na <= 0 || na != nb || std::memcmp(a.data(), b.data(), static_cast<size_t>(na)) != 0) return false;
      at += na;
    }
    return true;
  }

  bool MayReplace(const QByteArray& dstPath) {
    if (replaceAll_) return true;
    if (keepAll_) return false;
    TOpQuestion question;
    question.kind = TOpQuestionKind::ReplaceExisting;
    question.path = ShownPath(dstPath);
    question.text = QStringLiteral("\"%1\" is already in the target folder. Replace it?").arg(question.path);
    switch (context_.Ask(question)) {
      case TOpAnswer::Yes: return true;
      case TOpAnswer::YesToAll: replaceAll_ = true; return true;
      case TOpAnswer::No: return false;
      case TOpAnswer::NoToAll: keepAll_ = true; return false;
      case TOpAnswer::Cancel: context_.Cancel(); return false;
    }
    return false;
  }

  // Removes the temporary files that a move stopped before its end left in the folder.
  void CleanLeftovers(int dst) {
    std::vector<QByteArray> names;
    if (!ListNames(dst, names)) return;
    for (const QByteArray& name : names) {
      if (!name.startsWith(MovePartPrefix)) continue;
      const QByteArray rest = name.mid(static_cast<qsizetype>(std::strlen(MovePartPrefix)));
      bool ok = false;
      const long pid = rest.left(rest.indexOf('-')).toLong(&ok);
      if (!ok || pid <= 0) continue;
      // Still being written by a move that runs?
      if (pid != ::getpid() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)) continue;
      if (pid == ::getpid()) continue;
      struct statx st {};
      if (StatAt(dst, name.constData(), st) && !IsDirSt(st)) ::unlinkat(dst, name.constData(), 0);
    }
  }

  QByteArray NextTempName() {
    return QByteArray(MovePartPrefix) + QByteArray::number(::getpid()) + '-' + QByteArray::number(++tempCounter_);
  }

  void Done(int64_t entries, int64_t bytes) {
    result_.changed = true;
    progress.entriesDone += entries;
    progress.bytesDone += bytes;
    context_.Progress(progress);
  }

  void Fail(TOpFailure failure) { result_.failures.push_back(std::move(failure)); }

  TOpContext& context_;
  TOpResult& result_;
  bool replaceAll_ = false;
  bool keepAll_ = false;
  uint64_t tempCounter_ = 0;
};

}  // namespace

QString CheckMove(const QByteArray& sourceHost, const QByteArray& targetHost) {
  THostEntry source;
  if (!OpenHostEntry(sourceHost, source))
    return QStringLiteral("%1 cannot be found: %2").arg(ShownPath(sourceHost), ErrorText(errno));
  if (!IsDirSt(source.St)) return QStringLiteral("%1 is not a folder").arg(ShownPath(sourceHost));
  if (const QString kind = ProtectedFolderKind(source.St); !kind.isEmpty())
    return QStringLiteral("%1 is %2, which is never moved").arg(ShownPath(sourceHost), kind);
  if (!targetHost.startsWith('/')) return QStringLiteral("no target folder was given");

  QByteArray existing;
  TFd at = OpenNearest(targetHost, &existing);
  if (!at.Valid()) return QStringLiteral("%1 cannot be reached").arg(ShownPath(targetHost));
  struct statx st {};
  if (!SelfStat(at.Get(), st)) return QStringLiteral("%1: %2").arg(ShownPath(existing), ErrorText(errno));
  if (!IsDirSt(st)) return QStringLiteral("%1 is not a folder").arg(ShownPath(existing));
  // Up from the target through "..", which follows the folders as they really are, whatever
  // links or drive letters led there.
  bool first = existing == CleanHostPath(targetHost);
  for (int depth = 0; depth < 4096; ++depth) {
    if (SameEntry(st, source.St))
      return first ? QStringLiteral("the target is the folder itself")
                   : QStringLiteral("the target %1 lies inside the folder %2").arg(ShownPath(targetHost), ShownPath(sourceHost));
    TFd up(::openat(at.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct statx upSt {};
    if (!up.Valid() || !SelfStat(up.Get(), upSt)) break;
    if (SameEntry(upSt, st)) break;  // the root
    at = std::move(up);
    st = upSt;
    first = false;
  }
  const QByteArray real = RealPathOf(source.Dir.Get());
  if (!real.isEmpty()) {
    const QByteArray folder = CleanHostPath(real + '/' + source.Name);
    const QByteArray below = MountPointBelow(folder, true);
    if (!below.isEmpty())
      return QStringLiteral("a file system is mounted at %1 inside the folder; unmount it first").arg(ShownPath(below));
  }
  return {};
}

TOpResult MoveFolderContents(const QByteArray& sourceHost, const QByteArray& targetHost, TOpContext& context) {
  TOpResult result;
  const QString refusal = CheckMove(sourceHost, targetHost);
  if (!refusal.isEmpty()) {
    result.failures.push_back(Failure(sourceHost, refusal));
    result.status = TOpStatus::Failed;
    return result;
  }
  THostEntry source;
  if (!OpenHostEntry(sourceHost, source)) {
    result.failures.push_back(ErrnoFailure(sourceHost, errno));
    result.status = TOpStatus::Failed;
    return result;
  }
  TMover mover(context, result);
  const TTreeCount count = CountTree(source.Dir.Get(), source.Name, source.Path, &context);
  if (count.mountInside) {
    result.failures.push_back(Failure(
        sourceHost, QStringLiteral("a file system is mounted at %1 inside the folder; unmount it first").arg(ShownPath(count.mountPath))));
    result.status = TOpStatus::Failed;
    return result;
  }
  mover.progress.entriesTotal = count.entries - 1;
  mover.progress.bytesTotal = count.bytes;
  context.Progress(mover.progress);

  const QByteArray target = CleanHostPath(targetHost);
  struct stat before {};
  const bool targetIsNew = ::stat(target.constData(), &before) != 0;
  if (!CreateFolders(target)) {
    result.failures.push_back(Failure(target, QStringLiteral("the target folder cannot be made: %1").arg(ErrorText(errno)), errno));
    result.status = TOpStatus::Failed;
    return result;
  }
  TFd from(::openat(source.Dir.Get(), source.Name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  TFd to(::open(target.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct statx fromSt {};
  struct statx toSt {};
  if (!from.Valid() || !to.Valid() || !SelfStat(from.Get(), fromSt) || !SelfStat(to.Get(), toSt)) {
    result.failures.push_back(ErrnoFailure(from.Valid() ? target : source.Path, errno));
    result.status = TOpStatus::Failed;
    return result;
  }
  if (SameEntry(fromSt, toSt) || !SameEntry(fromSt, source.St)) {
    result.failures.push_back(Failure(source.Path, QStringLiteral("the folder changed before the move")));
    result.status = TOpStatus::Failed;
    return result;
  }
  const bool all = mover.MoveChildren(from.Get(), source.Path, fromSt, to.Get(), target, toSt, targetIsNew);
  if (all && !context.Cancelled()) {
    from.Reset();
    if (::unlinkat(source.Dir.Get(), source.Name.constData(), AT_REMOVEDIR) != 0)
      result.failures.push_back(Failure(source.Path, QStringLiteral("its entries were moved but the folder could not be removed: %1")
                                                         .arg(ErrorText(errno)),
                                        errno));
    else
      result.changed = true;
  }
  result.entriesDone = mover.progress.entriesDone;
  result.bytesDone = mover.progress.bytesDone;
  result.status = FinalStatus(context.Cancelled(), result.changed, !result.failures.empty());
  return result;
}
