#include "scan/Scanner.h"

#include "platform/DirEnum.h"
#include "platform/HostNames.h"
#include "platform/HostPath.h"
#include "platform/HostVolume.h"
#include "platform/MountTable.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/LinkOwners.h"
#include "scan/PathFunctions.h"
#include "scan/PseudoFs.h"
#include "scan/ReadAhead.h"
#include "scan/ScanHost.h"
#include "scan/ShortNames.h"
#include "scan/VolumeInfo.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

// Each open folder waiting for its subfolders holds a descriptor: allow as many as the host
// permits.
void RaiseOpenFileLimit() {
  static bool done = false;
  if (done) return;
  done = true;
  rlimit lim{};
  if (::getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < lim.rlim_max) {
    lim.rlim_cur = lim.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &lim);
  }
}

// Descriptors the read-ahead may hold for folders whose subfolders are still to be opened; past
// that it opens folders again by name. Leaves most of the limit to the rest of the program.
int FolderFdBudget() {
  rlimit lim{};
  if (::getrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return 1024;
  return static_cast<int>(std::clamp<rlim_t>(lim.rlim_cur / 4, 16, 4096));
}

// The host path of an open folder, from /proc; empty when it cannot be told (no /proc, or a
// path longer than the host's limit).
QByteArray RealPathOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  std::vector<char> target(PATH_MAX + 1);
  const ssize_t n = ::readlink(link, target.data(), target.size());
  if (n <= 0 || static_cast<size_t>(n) >= target.size() || target[0] != '/') return {};
  return QByteArray(target.data(), n);
}

// One folder on the way down: the walk keeps these on a stack of its own, so that no depth of
// folders can exhaust the thread's stack.
struct TFrame {
  TTreeNode* Node = nullptr;
  std::unique_ptr<TFolderSize> Rec;
  TFolderListing* Listing = nullptr;  // null for a folder that is not read
  uint32_t Next = 0;                  // the next entry of Listing to handle
  qsizetype PathMark = 0;             // length of the walk's path before this folder's name
  bool Stopped = false;               // aborted after the entry just handled
};

}  // namespace

// One walk, kept between the slices it runs in: the folders on the way down (each with its
// listing and the next entry to handle), the read-ahead and where the walk is.
struct TFolderScanner::TWalk {
  QString path;  // drive path of the folder being read, with a trailing backslash
  uint64_t device = 0;
  bool normaliseNames = false;
  TTreeNode* root = nullptr;  // the drive's root node: files with several names count once below it
  // Mount points below the folder scanned; none when they could not be learnt, and then every
  // subfolder's device is checked instead.
  std::unique_ptr<TMountsBelow> mounts;
  std::unique_ptr<TReadAhead> reader;
  std::vector<TFrame> frames;
  TFolderSize* result = nullptr;
  bool stopped = false;
};

// What to do when the walk of an operation ends: the rest of a drive scan or of a rescan.
struct TFolderScanner::TOperation {
  std::function<void(TFolderSize*)> completed;  // after the walk ended normally
  std::function<void()> always;                  // also when the walk failed
};

TFolderScanner::TFolderScanner(TFolderTree& tree, IScanHost& host) : tree_(tree), host_(host) {}

TFolderScanner::~TFolderScanner() {
  // A walk still under way is dropped where it is: its host and tree are going too, so neither
  // hears of it any more (the open folders are left without figures).
  if (walk_) walk_->reader->Stop();
  walk_.reset();
  operation_.reset();
}

bool TFolderScanner::Busy() const { return walk_ != nullptr || operation_ != nullptr; }

void TFolderScanner::Begin(const QString& path, TTreeNode* node, std::unique_ptr<TOperation> operation) {
  if (Busy()) throw std::logic_error("a scan is already under way");
  AbortScan = false;
  unreadable_.clear();
  refusal_.clear();
  result_ = nullptr;
  RaiseOpenFileLimit();
  operation_ = std::move(operation);
  try {
    StartWalk(path, node);
  } catch (...) {
    EndOperation(false);
    throw;
  }
}

void TFolderScanner::BeginScanFolder(const QString& path, TTreeNode* node) {
  Begin(path, node, std::make_unique<TOperation>());
}

bool TFolderScanner::Step(const QDeadlineTimer& deadline) {
  if (!walk_) return true;
  try {
    if (!StepWalk(deadline)) return false;
  } catch (...) {
    Unwind();
    EndOperation(false);
    throw;
  }
  result_ = walk_->result;
  walk_.reset();
  EndOperation(true);
  return true;
}

void TFolderScanner::EndOperation(bool completed) {
  std::unique_ptr<TOperation> op = std::move(operation_);
  if (!op) return;
  struct TAlways {
    TOperation& op;
    ~TAlways() {
      if (op.always) op.always();
    }
  } always{*op};
  if (completed && op->completed) op->completed(result_);
}

void TFolderScanner::RunToEnd() {
  while (!Step(QDeadlineTimer(QDeadlineTimer::Forever))) {
  }
}

TFolderSize* TFolderScanner::ScanFolder(const QString& path, TTreeNode* node) {
  BeginScanFolder(path, node);
  RunToEnd();
  return result_;
}

void TFolderScanner::StartWalk(const QString& path, TTreeNode* node) {
  walk_ = std::make_unique<TWalk>();
  TWalk& walk = *walk_;
  walk.path = AddBackslash(path);
  walk.root = RootNode(node);
  const QString driveRoot = walk.path.left(3);
  walk.normaliseNames = !IsCaseSensitiveFileSystem(FileSystemName(driveRoot));

  int rootFd = -1;
  bool rootUnreadable = false;
  TReadAhead::TOptions options;
  options.Workers = TReadAhead::DefaultWorkers();
  options.FdBudget = FolderFdBudget();
  {
    THostDir dir;
    THostLocation loc;
    if (!LocateDrivePath(walk.path, loc)) {
      // A drive that is not there, or a folder on the way that is gone: an empty folder.
    } else if (!dir.OpenAt(loc.DirFd, loc.Name.constData())) {
      rootUnreadable = errno != ENOENT && errno != ENOTDIR && errno != ELOOP;
    } else if (const QByteArray pseudo = PseudoFileSystemOf(dir.Fd()); !pseudo.isEmpty()) {
      refusal_ = PseudoFileSystemRefusal(loc.HostPath);
    } else {
      struct statx self {};
      struct statx parent {};
      const bool isRoot = loc.Name == ".";
      if (!dir.StatSelf(self) ||
          (!isRoot && (::statx(loc.DirFd, "", AT_EMPTY_PATH, STATX_TYPE, &parent) != 0 ||
                       IsOtherFileSystem(self, parent.stx_dev_major, parent.stx_dev_minor)))) {
        // Not on the drive's own file system: shown without entries.
      } else {
        options.DevMajor = self.stx_dev_major;
        options.DevMinor = self.stx_dev_minor;
        walk.device = LinkDevice(self);
        const QByteArray real = RealPathOf(dir.Fd());
        if (!real.isEmpty()) walk.mounts = std::make_unique<TMountsBelow>(ReadMountTable(), real);
        options.TrustFolderHint = walk.mounts != nullptr;
        rootFd = ::fcntl(dir.Fd(), F_DUPFD_CLOEXEC, 0);
        if (rootFd < 0) rootUnreadable = true;
      }
    }
  }
  walk.reader = std::make_unique<TReadAhead>(rootFd, rootUnreadable, walk.mounts ? walk.mounts->Root() : nullptr,
                                             options);
  try {
    EnterFolder(node, nullptr, 0, rootFd >= 0 || rootUnreadable, walk.path.size());
  } catch (...) {
    Unwind();
    throw;
  }
}

void TFolderScanner::CheckAbort() {
  if (AbortScan && !walk_->stopped) {
    walk_->stopped = true;
    walk_->reader->Stop();
  }
}

// Starts a folder: shows its path, tells the host, takes its listing.
void TFolderScanner::EnterFolder(TTreeNode* folder, TFolderListing* parent, uint32_t index, bool read,
                                 qsizetype mark) {
  TWalk& walk = *walk_;
  host_.SetStatusText(walk.path);
  host_.FolderStarting();
  CheckAbort();
  walk.frames.push_back({folder, std::make_unique<TFolderSize>(), nullptr, 0, mark, false});
  if (!read) return;
  TFolderListing* listing = parent ? walk.reader->Child(parent, index) : walk.reader->Root();
  TFrame& f = walk.frames.back();
  f.Listing = listing;
  *f.Rec = listing->Files;
  if (listing->Unreadable) unreadable_.push_back(walk.path);
  // Aborted before the folder was read: it stops after its first entry.
  if (AbortScan && listing->FirstIsFile) f.Stopped = true;
}

// Ends the folder on top: sorted, closed, and its record attached unless the scan was aborted
// (an error on the way still leaves the partial figures). Returns the attached record.
TFolderSize* TFolderScanner::FinishFolder(bool error) {
  TWalk& walk = *walk_;
  TFrame& f = walk.frames.back();
  tree_.SortChildren(f.Node);
  tree_.Compact(f.Node);
  CloseFolder(*f.Rec);
  TFolderSize* done = nullptr;
  if (!AbortScan || error) {
    done = f.Rec.get();
    tree_.SetData(f.Node, std::move(f.Rec));
    if (!error) tree_.SetStateIndex(f.Node, (f.Node->StateIndex & 0xFF00) | 1);
  } else {
    // The folder's figures are dropped, so are its claims on files with several names.
    tree_.ReleaseLinks(f.Node);
  }
  TTreeNode* completed = f.Node;
  if (!error) walk.reader->Release(f.Listing);
  walk.path.truncate(f.PathMark);
  walk.frames.pop_back();
  host_.FolderCompleted(completed);
  return done;
}

// An error escaping the walk still sorts and closes each open folder on the way out and leaves
// its partial figures on it.
void TFolderScanner::Unwind() {
  if (!walk_) return;
  walk_->reader->Stop();
  while (!walk_->frames.empty()) {
    try {
      FinishFolder(true);
    } catch (...) {
    }
  }
  walk_.reset();
}

bool TFolderScanner::StepWalk(const QDeadlineTimer& deadline) {
  TWalk& walk = *walk_;
  bool first = true;
  while (!walk.frames.empty()) {
    // Each turn handles the files of the folder on top up to its next subfolder, so a slice
    // ends between folders.
    if (!first && deadline.hasExpired()) return false;
    first = false;
    bool descended = false;
    {
      TFrame& f = walk.frames.back();
      const TFolderListing* listing = f.Listing;
      const uint32_t count = listing ? static_cast<uint32_t>(listing->Entries.size()) : 0;
      while (!f.Stopped && f.Next < count) {
        const uint32_t index = f.Next++;
        const TListedEntry& e = listing->Entries[index];
        if (e.Kind == TListedEntry::LinkedFile) {
          const TLinkedFile& file = listing->Linked[e.LinkedIndex];
          // Every name counts as a file; the bytes only at the first name met on the drive.
          const bool firstName = tree_.ClaimLink(walk.root, walk.device, file.Inode, f.Node);
          AddFile(*f.Rec, firstName ? file.Size : 0, firstName ? file.OnDisk : 0, file.Attributes, file.LastAccess,
                  file.LastWrite);
          if (AbortScan) f.Stopped = true;
          continue;
        }
        // A subfolder: a node of its own, then its folder is walked before the next entry.
        const std::string_view rawName = listing->Name(e);
        TTreeNode* child;
        QString displayName;
        if (walk.normaliseNames && IsUpperShortName(rawName)) {
          child = tree_.AddChildBytes(f.Node, NormalisedShortName(rawName));
          displayName = child->Text();
        } else if (IsPlainHostName(rawName)) {
          child = tree_.AddChildBytes(f.Node, rawName);
          displayName = QString::fromUtf8(rawName.data(), static_cast<qsizetype>(rawName.size()));
        } else {
          displayName = DecodeHostName(rawName);
          child = tree_.AddChild(f.Node, displayName);
        }
        f.Rec->TotalFolders += 1;
        f.Rec->Folders += 1;
        const qsizetype mark = walk.path.size();
        walk.path += displayName;
        walk.path += QLatin1Char('\\');
        TFolderListing* parentListing = f.Listing;
        // Another file system mounted here is shown as a folder but never read (as du -x does).
        EnterFolder(child, parentListing, index, e.Kind == TListedEntry::Folder, mark);
        descended = true;
        break;
      }
    }
    if (descended) continue;
    TFolderSize* childRec = FinishFolder(false);
    if (walk.frames.empty()) {
      walk.result = childRec;
      break;
    }
    TFrame& parent = walk.frames.back();
    if (childRec) AddChild(*parent.Rec, *childRec);
    CheckAbort();
    if (AbortScan) parent.Stopped = true;
  }
  return true;
}

void TFolderScanner::BeginScanDrive(const QString& driveText, TDriveRecInfo* driveRec) {
  if (Busy()) throw std::logic_error("a scan is already under way");
  host_.SetBusy(true);
  auto op = std::make_unique<TOperation>();
  op->always = [this] { host_.SetBusy(false); };

  const QChar letter = driveText.isEmpty() ? QChar() : driveText[0].toUpper();
  TTreeNode* node = tree_.AddTop(QStringView(driveText).mid(1).left(255));
  tree_.SetStateIndex(node, static_cast<int32_t>(letter.unicode() & 0xFF) << 8);
  driveRec->Node = node;
  driveRec->Name = driveText;
  const QString root = letter + QStringLiteral(":\\");
  driveRec->ClusterSize = ClusterSizeOf(root);
  ScanClusterSize = driveRec->ClusterSize;
  Begin(root, node, std::move(op));
}

void TFolderScanner::ScanDrive(const QString& driveText, TDriveRecInfo* driveRec) {
  BeginScanDrive(driveText, driveRec);
  RunToEnd();
}

bool TFolderScanner::RemoveVanishedFolder(const QString& path, TTreeNode* node) {
  if (!node || IsDriveRoot(path) || !EntryIsGone(path)) return false;
  const TFolderSize* rec = node->Data();
  SubtractFromAncestors(node->Parent(), node, rec ? rec->TotalFolders + 1 : 1, rec ? rec->TotalFiles : 0,
                        rec ? rec->TotalWasted : 0, rec ? rec->TotalSize : 0);
  tree_.FreeSubtreeRecords(node, true);
  tree_.DeleteNode(node);
  return true;
}

bool TFolderScanner::BeginRescanFolder(const QString& path, TTreeNode* node) {
  if (Busy()) throw std::logic_error("a scan is already under way");
  if (!node || RemoveVanishedFolder(path, node)) return false;
  std::shared_ptr<TFolderSize> oldRec = tree_.TakeData(node);
  tree_.FreeSubtreeRecords(node, false);
  tree_.DeleteChildren(node);
  tree_.SetStateIndex(node, node->StateIndex & 0xFF00);

  // The slack is counted at this folder's drive's cluster size, whichever drive was scanned last.
  const QChar letter = NodeDriveLetter(RootNode(node));
  const TDriveRecInfo* drive = FindDrive(static_cast<char>(letter.unicode()));
  ScanClusterSize = drive ? drive->ClusterSize : ClusterSizeOf(letter + QStringLiteral(":\\"));

  auto op = std::make_unique<TOperation>();
  op->completed = [this, node, oldRec](TFolderSize*) mutable { SettleRescan(node, std::move(oldRec)); };
  Begin(AddBackslash(path), node, std::move(op));
  return true;
}

void TFolderScanner::SettleRescan(TTreeNode* node, std::shared_ptr<TFolderSize> oldRec) {
  auto take = [&oldRec] {
    // The figures before the rescan, as the delta wants them: owned once.
    auto copy = std::make_unique<TFolderSize>(std::move(*oldRec));
    oldRec.reset();
    return copy;
  };
  if (oldRec && node->Data()) {
    ApplyRescanDelta(node, take());
  } else if (oldRec) {
    // Aborted: the ancestors lose the old figures, as if the folder were an empty, unscanned one,
    // so that a later rescan adds the new figures to totals that are right.
    tree_.SetData(node, std::make_unique<TFolderSize>());
    ApplyRescanDelta(node, take());
    tree_.SetData(node, nullptr);
  } else if (node->Data()) {
    // A folder without figures (an interrupted scan) now has them: add them to the ancestors.
    ApplyRescanDelta(node, std::make_unique<TFolderSize>());
  }
}

void TFolderScanner::RescanFolder(const QString& path, TTreeNode* node) {
  if (!BeginRescanFolder(path, node)) return;
  RunToEnd();
}

void FreeSubtreeRecords(TFolderTree& tree, TTreeNode* node, bool includeSelf) {
  tree.FreeSubtreeRecords(node, includeSelf);
}
