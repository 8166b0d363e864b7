#include "scan/Scanner.h"

#include "platform/DirEnum.h"
#include "platform/HostNames.h"
#include "platform/HostPath.h"
#include "platform/HostVolume.h"
#include "platform/MountTable.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "scan/ScanHost.h"
#include "scan/ShortNames.h"
#include "scan/VolumeInfo.h"

#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <exception>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Deeper than this a folder is shown without entries rather than risk the stack. Far beyond
// anything the host's path limit lets ordinary programs create.
constexpr int MaxDepth = 16384;
constexpr size_t ShallowBufferSize = 32 * 1024;
constexpr size_t DeepBufferSize = 4 * 1024;
constexpr int ShallowLevels = 64;

// Each open folder on the way down holds a descriptor: allow as many as the host permits.
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

// What the walk needs of one entry; kept apart from the recursion so that the large statx
// buffer does not sit in every level's stack frame.
struct TEntryFacts {
  bool Valid = false;
  bool Directory = false;
  bool OtherFileSystem = false;
  int64_t Size = 0;
  uint32_t Attributes = 0;
  uint64_t LastAccess = 0;
  uint64_t LastWrite = 0;
};

[[gnu::noinline]] TEntryFacts Examine(const THostDir& dir, std::string_view name, unsigned char type,
                                      bool trustFolderHint, uint32_t devMajor, uint32_t devMinor) {
  TEntryFacts facts;
  if (type == DT_DIR && trustFolderHint) {
    // The walk knows the mount points below it, so a folder needs no look of its own: that is
    // one system call less for every folder.
    facts.Valid = facts.Directory = true;
    return facts;
  }
  struct statx st {};
  if (!dir.Stat(name.data(), st)) return facts;  // gone since it was listed
  facts.Valid = true;
  facts.Directory = S_ISDIR(st.stx_mode);
  if (facts.Directory) {
    facts.OtherFileSystem = IsOtherFileSystem(st, devMajor, devMinor);
    return facts;
  }
  facts.Size = static_cast<int64_t>(st.stx_size);
  // A ".hidden" list would only mark more files hidden, and the list itself is a hidden file of
  // the same folder, so the folder's attribute sum is the same without reading it.
  facts.Attributes = AttributesFromStatx(st, name[0] == '.');
  facts.LastAccess = UnixToFileTime(st.stx_atime.tv_sec, st.stx_atime.tv_nsec);
  facts.LastWrite = UnixToFileTime(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
  return facts;
}

}  // namespace

struct TFolderScanner::Walk {
  QString path;  // drive path of the folder being read, with a trailing backslash
  uint32_t devMajor = 0;
  uint32_t devMinor = 0;
  bool normaliseNames = false;
  // Mount points below the folder scanned; none when they could not be learnt, and then every
  // subfolder's device is checked instead.
  std::unique_ptr<TMountsBelow> mounts;
  std::vector<std::unique_ptr<char[]>> buffers;

  char* BufferFor(int depth, size_t& size) {
    if (buffers.size() <= static_cast<size_t>(depth)) buffers.resize(depth + 1);
    size = depth < ShallowLevels ? ShallowBufferSize : DeepBufferSize;
    if (!buffers[depth]) buffers[depth] = std::make_unique<char[]>(size);
    return buffers[depth].get();
  }
};

TFolderScanner::TFolderScanner(TFolderTree& tree, IScanHost& host) : tree_(tree), host_(host) {}

TFolderScanner::~TFolderScanner() = default;

namespace {

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

struct TDepthGuard {
  int& depth;
  explicit TDepthGuard(int& d) : depth(d) { ++depth; }
  ~TDepthGuard() { --depth; }
};

}  // namespace

// Reads the open folder dir (closed when it could not be opened: an empty folder) into node.
TFolderSize* TFolderScanner::ReadFolder(Walk& walk, THostDir& dir, TTreeNode* node, int level,
                                        const TMountsBelow::Node* mounts) {
  host_.SetStatusText(walk.path);
  host_.ProcessMessages();

  auto rec = std::make_unique<TFolderSize>();
  std::exception_ptr error;
  try {
    if (dir.IsOpen()) {
      size_t bufferSize = 0;
      char* buffer = walk.BufferFor(level, bufferSize);
      dir.UseBuffer(buffer, bufferSize);
      std::string_view name;
      unsigned char type;
      while (dir.Next(name, type)) {
        const TEntryFacts facts = Examine(dir, name, type, walk.mounts != nullptr, walk.devMajor, walk.devMinor);
        if (!facts.Valid) {
          // Vanished between listing and looking: nothing to count.
        } else if (facts.Directory) {
          const TMountsBelow::Node* below = mounts ? mounts->Find(name) : nullptr;
          const bool otherFileSystem = facts.OtherFileSystem || (below && below->MountPoint);
          ScanChild(walk, dir, name, otherFileSystem, node, *rec, level, below);
        } else {
          AddFile(*rec, facts.Size, facts.Attributes, facts.LastAccess, facts.LastWrite);
        }
        if (AbortScan) break;
      }
    }
  } catch (...) {
    error = std::current_exception();
  }
  dir.Close();

  tree_.SortChildren(node);
  tree_.Compact(node);
  CloseFolder(*rec);
  TFolderSize* result = nullptr;
  if (!AbortScan || error) {
    // An error escaping the walk still leaves the partial figures on the folders it passed.
    result = rec.get();
    tree_.SetData(node, std::move(rec));
    if (!error) tree_.SetStateIndex(node, (node->StateIndex & 0xFF00) | 1);
  }
  host_.FolderCompleted(node);
  if (error) std::rethrow_exception(error);
  return result;
}

void TFolderScanner::ScanChild(Walk& walk, THostDir& dir, std::string_view rawName, bool otherFileSystem,
                               TTreeNode* node, TFolderSize& rec, int level,
                               const TMountsBelow::Node* mounts) {
  const QString displayName = DecodeHostName(rawName);
  TTreeNode* child;
  if (walk.normaliseNames && IsUpperShortName(rawName)) {
    child = tree_.AddChildBytes(node, NormalisedShortName(rawName));
  } else if (IsPlainHostName(rawName)) {
    child = tree_.AddChildBytes(node, rawName);
  } else {
    child = tree_.AddChild(node, displayName);
  }
  rec.TotalFolders += 1;
  rec.Folders += 1;

  THostDir childDir;
  // Another file system mounted here is shown as a folder but never read (as du -x does).
  if (!otherFileSystem && level + 1 < MaxDepth) childDir.OpenAt(dir.Fd(), rawName.data());

  const qsizetype mark = walk.path.size();
  walk.path += walk.normaliseNames ? child->Text() : displayName;
  walk.path += QLatin1Char('\\');
  TFolderSize* childRec = nullptr;
  try {
    childRec = ReadFolder(walk, childDir, child, level + 1, mounts);
  } catch (...) {
    walk.path.truncate(mark);
    throw;
  }
  walk.path.truncate(mark);
  if (childRec) AddChild(rec, *childRec);
}

TFolderSize* TFolderScanner::ScanFolder(const QString& path, TTreeNode* node) {
  const bool outermost = depth_ == 0;
  TDepthGuard guard(depth_);
  if (outermost) AbortScan = false;
  RaiseOpenFileLimit();

  Walk walk;
  walk.path = AddBackslash(path);
  const QString root = walk.path.left(3);
  walk.normaliseNames = !IsCaseSensitiveFileSystem(FileSystemName(root));

  THostDir dir;
  THostLocation loc;
  if (LocateDrivePath(walk.path, loc) && dir.OpenAt(loc.DirFd, loc.Name.constData())) {
    struct statx self {};
    struct statx parent {};
    const bool isRoot = loc.Name == ".";
    if (!dir.StatSelf(self) ||
        (!isRoot && (::statx(loc.DirFd, "", AT_EMPTY_PATH, STATX_TYPE, &parent) != 0 ||
                     IsOtherFileSystem(self, parent.stx_dev_major, parent.stx_dev_minor)))) {
      dir.Close();  // not on the drive's own file system: shown without entries
    } else {
      walk.devMajor = self.stx_dev_major;
      walk.devMinor = self.stx_dev_minor;
      const QByteArray real = RealPathOf(dir.Fd());
      if (!real.isEmpty()) walk.mounts = std::make_unique<TMountsBelow>(ReadMountTable(), real);
    }
  }
  return ReadFolder(walk, dir, node, 0, walk.mounts ? walk.mounts->Root() : nullptr);
}

void TFolderScanner::ScanDrive(const QString& driveText, TDriveRecInfo* driveRec) {
  host_.SetBusy(true);
  struct TBusyOff {
    IScanHost& host;
    ~TBusyOff() { host.SetBusy(false); }
  } busyOff{host_};

  const QChar letter = driveText.isEmpty() ? QChar() : driveText[0].toUpper();
  TTreeNode* node = tree_.AddTop(QStringView(driveText).mid(1).left(255));
  tree_.SetStateIndex(node, static_cast<int32_t>(letter.unicode() & 0xFF) << 8);
  driveRec->Node = node;
  driveRec->Name = driveText;
  const QString root = letter + QStringLiteral(":\\");
  driveRec->ClusterSize = ClusterSizeOf(root);
  ScanClusterSize = driveRec->ClusterSize;
  ScanFolder(root, node);
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

void TFolderScanner::RescanFolder(const QString& path, TTreeNode* node) {
  if (!node || RemoveVanishedFolder(path, node)) return;
  std::unique_ptr<TFolderSize> oldRec = tree_.TakeData(node);
  tree_.FreeSubtreeRecords(node, false);
  tree_.DeleteChildren(node);
  tree_.SetStateIndex(node, node->StateIndex & 0xFF00);

  // The slack is counted at this folder's drive's cluster size, whichever drive was scanned last.
  const QChar letter = NodeDriveLetter(RootNode(node));
  const TDriveRecInfo* drive = FindDrive(static_cast<char>(letter.unicode()));
  ScanClusterSize = drive ? drive->ClusterSize : ClusterSizeOf(letter + QStringLiteral(":\\"));

  ScanFolder(AddBackslash(path), node);

  if (oldRec && node->Data()) {
    ApplyRescanDelta(node, std::move(oldRec));
  } else if (oldRec) {
    // Aborted: the ancestors lose the old figures, as if the folder were an empty, unscanned one,
    // so that a later rescan adds the new figures to totals that are right.
    tree_.SetData(node, std::make_unique<TFolderSize>());
    ApplyRescanDelta(node, std::move(oldRec));
    tree_.SetData(node, nullptr);
  } else if (node->Data()) {
    // A folder without figures (an interrupted scan) now has them: add them to the ancestors.
    ApplyRescanDelta(node, std::make_unique<TFolderSize>());
  }
}

void FreeSubtreeRecords(TFolderTree& tree, TTreeNode* node, bool includeSelf) {
  tree.FreeSubtreeRecords(node, includeSelf);
}
