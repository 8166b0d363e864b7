#include "scan/FileWalk.h"

#include "platform/DirEnum.h"
#include "platform/DriveTable.h"
#include "platform/HostNames.h"
#include "platform/HostPath.h"
#include "platform/MountTable.h"
#include "scan/PathFunctions.h"
#include "scan/PseudoFs.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The host path of an open folder, from /proc; empty when it cannot be told.
QByteArray RealPathOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  std::vector<char> target(PATH_MAX + 1);
  const ssize_t n = ::readlink(link, target.data(), target.size());
  if (n <= 0 || static_cast<size_t>(n) >= target.size() || target[0] != '/') return {};
  return QByteArray(target.data(), n);
}

struct TFrame {
  TFolderListing* Listing = nullptr;
  uint32_t Next = 0;
  size_t PathMark = 0;  // length of the relative path before this folder's name
};

constexpr auto ProgressEvery = std::chrono::milliseconds(100);

}  // namespace

QString TFileWalk::DrivePathOf(std::string_view relative) const {
  QString path = drivePath_;
  while (!relative.empty()) {
    const size_t slash = relative.find('/');
    const std::string_view name = relative.substr(0, slash);
    if (!path.endsWith(QLatin1Char('\\'))) path += QLatin1Char('\\');
    path += DecodeHostName(name);
    relative = slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
  }
  return path;
}

QByteArray TFileWalk::HostPathOf(std::string_view relative) const {
  if (relative.empty()) return hostPath_;
  QByteArray path = hostPath_;
  if (!path.endsWith('/')) path += '/';
  path.append(relative.data(), static_cast<qsizetype>(relative.size()));
  return path;
}

bool TFileWalk::Run(const QString& drivePath, const TVisitor& visitor, const TProgress& progress) {
  cancelled_ = false;
  refusal_.clear();
  unreadable_.clear();
  folders_ = 0;
  const QString withBackslash = AddBackslash(drivePath);
  drivePath_ = IsDriveRoot(withBackslash) ? withBackslash : RemoveBackslash(withBackslash);
  hostPath_ = DriveToHost(drivePath_).value_or(QByteArray());

  int rootFd = -1;
  bool rootUnreadable = false;
  std::unique_ptr<TMountsBelow> mounts;
  TReadAhead::TOptions options;
  options.Workers = workers_ >= 0 ? workers_ : TReadAhead::DefaultWorkers();
  options.KeepFiles = true;
  {
    THostDir dir;
    THostLocation loc;
    if (!LocateDrivePath(withBackslash, loc)) {
      refusal_ = QStringLiteral("%1 cannot be found").arg(drivePath_);
      return false;
    }
    if (!dir.OpenAt(loc.DirFd, loc.Name.constData())) {
      if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) {
        refusal_ = QStringLiteral("%1 is no folder any more").arg(drivePath_);
        return false;
      }
      rootUnreadable = true;
    } else if (const QByteArray pseudo = PseudoFileSystemOf(dir.Fd()); !pseudo.isEmpty()) {
      refusal_ = PseudoFileSystemRefusal(loc.HostPath);
      return false;
    } else {
      struct statx self {};
      struct statx parent {};
      const bool isRoot = loc.Name == ".";
      if (!dir.StatSelf(self) ||
          (!isRoot && (::statx(loc.DirFd, "", AT_EMPTY_PATH, STATX_TYPE, &parent) != 0 ||
                       IsOtherFileSystem(self, parent.stx_dev_major, parent.stx_dev_minor)))) {
        // Another file system mounted on the folder: as in a scan, it holds nothing of this drive.
      } else {
        options.DevMajor = self.stx_dev_major;
        options.DevMinor = self.stx_dev_minor;
        const QByteArray real = RealPathOf(dir.Fd());
        if (!real.isEmpty()) mounts = std::make_unique<TMountsBelow>(ReadMountTable(), real);
        options.TrustFolderHint = mounts != nullptr;
        rootFd = ::fcntl(dir.Fd(), F_DUPFD_CLOEXEC, 0);
        if (rootFd < 0) rootUnreadable = true;
      }
    }
  }
  if (rootFd < 0 && !rootUnreadable) return true;  // nothing of this file system to walk
  TReadAhead reader(rootFd, rootUnreadable, mounts ? mounts->Root() : nullptr, options);

  // Files with several names: their bytes count at the first name met.
  std::unordered_set<uint64_t> seen;
  std::string relative;
  std::vector<TFrame> frames;
  TFileWalkProgress tick;
  std::chrono::steady_clock::time_point lastTick;  // the first folder is reported at once
  auto report = [&](bool force) {
    if (!progress) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastTick < ProgressEvery) return;
    lastTick = now;
    tick.Folders = folders_;
    tick.Folder = DrivePathOf(relative);
    progress(tick);
  };
  auto enter = [&](TFolderListing* listing, size_t mark) {
    ++folders_;
    if (listing->Unreadable) unreadable_ << DrivePathOf(relative);
    frames.push_back({listing, 0, mark});
    report(false);
  };

  enter(reader.Root(), 0);
  while (!frames.empty()) {
    if (Stopping()) {
      cancelled_ = true;
      reader.Stop();
      return false;
    }
    TFrame& f = frames.back();
    TFolderListing* listing = f.Listing;
    const auto count = static_cast<uint32_t>(listing->Entries.size());
    bool descended = false;
    while (f.Next < count) {
      const uint32_t index = f.Next++;
      const TListedEntry& e = listing->Entries[index];
      if (e.Kind == TListedEntry::LinkedFile) {
        const TLinkedFile& figures = listing->Linked[e.LinkedIndex];
        const bool counted = !figures.SeveralNames || seen.insert(figures.Inode).second;
        visitor(relative, TWalkedFile{listing->Name(e), figures, counted});
        if ((++tick.Files & 1023) == 0) {
          if (Stopping()) break;
          report(false);
        }
        continue;
      }
      if (e.Kind != TListedEntry::Folder) continue;  // another file system mounted here
      const size_t mark = relative.size();
      if (!relative.empty()) relative += '/';
      relative += listing->Name(e);
      enter(reader.Child(listing, index), mark);
      descended = true;
      break;
    }
    if (descended || Stopping()) continue;
    reader.Release(listing);
    relative.resize(f.PathMark);
    frames.pop_back();
  }
  report(true);
  return true;
}
