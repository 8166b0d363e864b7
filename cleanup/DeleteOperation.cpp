#include "cleanup/DeleteOperation.h"

#include "cleanup/HostEntry.h"
#include "cleanup/ProtectedFolders.h"
#include "platform/FolderWalk.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

class TDeleter {
public:
  TDeleter(TOpContext& context, TOpResult& result) : context_(context), result_(result) {}

  TOpProgress progress;

  // Removes the entry (and for a folder everything below it); true when it is gone. A deep tree
  // keeps only its innermost folders open.
  bool Remove(int dirFd, const QByteArray& name, const QByteArray& path, const struct statx& st,
              const struct statx& dirSt) {
    if (Stopped()) return false;
    if (!IsDirSt(st)) return Unlink(dirFd, name, path, st, 0);
    if (IsMountHere(st, dirSt)) {
      MountFailure(path);
      return false;
    }
    TWalkStack stack;
    if (!stack.Enter(dirFd, name, path)) {
      result_.failures.push_back(ErrnoFailure(path, errno));
      return false;
    }
    while (!stack.Empty()) {
      if (Stopped()) return false;
      TWalkFrame& frame = stack.Top();
      if (frame.Next < frame.Names.size()) {
        const QByteArray entry = frame.Names[frame.Next++];
        const QByteArray entryPath = frame.HostPath + '/' + entry;
        const int fd = frame.Fd;
        struct statx entrySt {};
        if (!StatAt(fd, entry.constData(), entrySt)) {
          if (errno == ENOENT) continue;  // gone meanwhile
          result_.failures.push_back(ErrnoFailure(entryPath, errno));
          frame.Kept = true;
          continue;
        }
        if (!IsDirSt(entrySt)) {
          if (!Unlink(fd, entry, entryPath, entrySt, 0)) frame.Kept = true;
          continue;
        }
        if (IsMountHere(entrySt, st)) {
          MountFailure(entryPath);
          frame.Kept = true;
          continue;
        }
        if (!stack.Enter(fd, entry, entryPath)) {
          result_.failures.push_back(ErrnoFailure(entryPath, errno));
          stack.Top().Kept = true;
        }
        continue;
      }
      // Every entry has been visited: remove the folder itself unless something inside stays.
      const QByteArray folderName = frame.Name;
      const QByteArray folderPath = frame.HostPath;
      const bool kept = frame.Kept;
      if (!stack.Leave()) {
        result_.failures.push_back(ErrnoFailure(folderPath, errno));
        return false;
      }
      const int parentFd = stack.Empty() ? dirFd : stack.Top().Fd;
      const bool gone = !kept && Unlink(parentFd, folderName, folderPath, st, AT_REMOVEDIR);
      if (!gone) {
        if (stack.Empty()) return false;
        stack.Top().Kept = true;
      }
    }
    return true;
  }

  bool Stopped() const { return context_.Cancelled(); }

private:
  bool Unlink(int dirFd, const QByteArray& name, const QByteArray& path, const struct statx& st, int flags) {
    if (::unlinkat(dirFd, name.constData(), flags) != 0 && errno != ENOENT) {
      result_.failures.push_back(ErrnoFailure(path, errno));
      return false;
    }
    result_.changed = true;
    ++progress.entriesDone;
    if (flags == 0 && IsRegSt(st)) progress.bytesDone += static_cast<int64_t>(st.stx_size);
    progress.currentPath = ShownPath(path);
    context_.Progress(progress);
    return true;
  }

  void MountFailure(const QByteArray& path) {
    result_.failures.push_back(
        Failure(path, QStringLiteral("another file system is mounted there; it is left alone"), EXDEV));
  }

  TOpContext& context_;
  TOpResult& result_;
};

}  // namespace

namespace {

struct TTopEntry {
  int dirFd;
  QByteArray name;
  QByteArray path;
};

TOpResult DeleteTops(const std::vector<QByteArray>& hostPaths, const TTopEntry* given, TOpContext& context,
                     bool countFirst = true) {
  TOpResult result;
  TDeleter deleter(context, result);
  std::vector<THostEntry> entries(given ? 1 : hostPaths.size());
  std::vector<bool> found(entries.size(), false);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (given) {
      entries[i].Dir.Reset(::fcntl(given->dirFd, F_DUPFD_CLOEXEC, 0));
      entries[i].Name = given->name;
      entries[i].Path = given->path;
      found[i] = entries[i].Dir.Valid() && StatAt(entries[i].Dir.Get(), given->name.constData(), entries[i].St);
    } else {
      found[i] = OpenHostEntry(hostPaths[i], entries[i]);
    }
    if (!found[i]) {
      result.failures.push_back(ErrnoFailure(given ? given->path : hostPaths[i], errno));
      continue;
    }
    if (const QString kind = ProtectedFolderKind(entries[i].St); !kind.isEmpty()) {
      result.failures.push_back(Failure(entries[i].Path, QStringLiteral("it is %1, which is never deleted").arg(kind), EPERM));
      found[i] = false;
      continue;
    }
    if (!countFirst) continue;
    const TTreeCount count = CountTree(entries[i].Dir.Get(), entries[i].Name, entries[i].Path, &context);
    deleter.progress.entriesTotal += count.entries;
    deleter.progress.bytesTotal += count.bytes;
  }
  context.Progress(deleter.progress);

  for (size_t i = 0; i < entries.size(); ++i) {
    if (deleter.Stopped()) break;
    if (!found[i]) continue;
    THostEntry& entry = entries[i];
    struct statx dirSt {};
    if (::statx(entry.Dir.Get(), "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO, &dirSt) != 0) {
      result.failures.push_back(ErrnoFailure(entry.Path, errno));
      continue;
    }
    deleter.Remove(entry.Dir.Get(), entry.Name, entry.Path, entry.St, dirSt);
  }
  result.entriesDone = deleter.progress.entriesDone;
  result.bytesDone = deleter.progress.bytesDone;
  result.status = FinalStatus(context.Cancelled(), result.changed, !result.failures.empty());
  return result;
}

}  // namespace

TOpResult DeleteEntries(const std::vector<QByteArray>& hostPaths, TOpContext& context) {
  return DeleteTops(hostPaths, nullptr, context);
}

TOpResult DeleteEntryAt(int dirFd, const QByteArray& name, const QByteArray& hostPath, TOpContext& context,
                        bool countFirst) {
  const TTopEntry top{dirFd, name, hostPath};
  return DeleteTops({}, &top, context, countFirst);
}
