#pragma once
// Read-ahead for the folder scanner. Worker threads open folders, list them with getdents64 and
// statx their entries ahead of the thread that builds the folder tree, and hand over complete
// folder listings in the order a depth-first walk needs them. Nothing here touches the tree: a
// listing is plain data, and the tree, its records and its views stay on the builder's thread.
//
// Memory stays bounded: workers stop reading ahead while the listings read but not yet taken
// exceed a budget, and the builder reads a folder itself when the one it needs next is not taken
// by a worker. Open folder descriptors are bounded too: a folder's descriptor stays open only
// while some of its subfolders are still to be opened, and past a budget it is closed and opened
// again by name when needed.

#include "platform/MountTable.h"
#include "scan/FolderSize.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct TFolderListing;

// An entry of a listing that the tree builder has to see one by one, in the order the file
// system returned it: a subfolder, or a file with more than one name (the builder decides
// where such a file counts). Files with one name are only added up (TFolderListing::Files),
// unless the read-ahead keeps every file (TOptions::KeepFiles): then each is a LinkedFile entry
// with its name.
struct TListedEntry {
  enum : uint8_t { Folder, OtherFileSystem, LinkedFile };
  uint32_t NameOffset = 0;
  uint16_t NameLength = 0;
  uint8_t Kind = Folder;
  // The read-ahead's own bookkeeping for a folder; once the listing is shared, read and written
  // only atomically (the builder takes a ready listing without the lock).
  uint8_t State = 0;
  uint32_t LinkedIndex = 0;  // into TFolderListing::Linked for a LinkedFile
  TFolderListing* Child = nullptr;  // the folder's listing once read
};

struct TLinkedFile {
  int64_t Size = 0;
  int64_t OnDisk = 0;
  uint32_t Attributes = 0;
  bool SeveralNames = true;  // false only for the files kept with TOptions::KeepFiles
  uint64_t LastAccess = 0;  // FILETIME
  uint64_t LastWrite = 0;   // FILETIME
  uint64_t Inode = 0;
};

struct TFolderListing {
  // The folder's files with a single name, added up with AddFile (no children, not closed).
  TFolderSize Files;
  std::vector<TListedEntry> Entries;
  std::vector<TLinkedFile> Linked;
  std::string Names;
  // The folder could not be opened, or reading it failed before its end.
  bool Unreadable = false;
  // The first entry the file system returned was a file added up in Files (an abort that comes
  // before the folder is read stops it after that one entry).
  bool FirstIsFile = false;

  std::string_view Name(const TListedEntry& e) const { return {Names.data() + e.NameOffset, e.NameLength}; }

  // Read-ahead bookkeeping.
  TFolderListing* Parent = nullptr;
  uint32_t IndexInParent = 0;
  int Fd = -1;                 // open while subfolders are still to be opened (or reopened later)
  uint32_t PendingOpens = 0;   // subfolders not yet opened
  const TMountsBelow::Node* Mounts = nullptr;  // mount points below this folder
  size_t Bytes = 0;            // memory held, for the budget
  TFolderListing* PrevLive = nullptr;  // every listing not yet released, for the end
  TFolderListing* NextLive = nullptr;
};

// A mutex that spins a little before it sleeps. The read-ahead's critical sections are a few
// pointer moves, taken by two or more threads once per folder: sleeping in the kernel on every
// collision would cost more than the work it protects.
class TAdaptiveMutex {
public:
  TAdaptiveMutex();
  ~TAdaptiveMutex();
  TAdaptiveMutex(const TAdaptiveMutex&) = delete;
  TAdaptiveMutex& operator=(const TAdaptiveMutex&) = delete;
  void lock();
  void unlock();
  bool try_lock();

private:
  pthread_mutex_t mutex_;
};

class TReadAhead {
public:
  struct TOptions {
    // Worker threads; 0 reads every folder on the calling thread when it is needed.
    int Workers = 0;
    uint32_t DevMajor = 0;
    uint32_t DevMinor = 0;
    // d_type says "folder" reliably and the mount points below are known (Mounts), so folders
    // need no statx of their own.
    bool TrustFolderHint = false;
    // Listings read ahead but not yet taken, in bytes, before the workers wait; they go on once
    // the builder has taken half of that. A few hundred folders ahead keep the builder fed, and
    // more would only raise the scan's peak memory.
    size_t Budget = 256u << 10;
    // Folder descriptors held open for subfolders still to be opened.
    int FdBudget = 1024;
    // Every file becomes a LinkedFile entry with its name and figures (for walks that look at
    // files one by one); Files then stays empty.
    bool KeepFiles = false;
  };

  // rootFd: the open folder to list first (taken over; -1 for a folder that is not to be read).
  // rootUnreadable: the folder could not be opened.
  TReadAhead(int rootFd, bool rootUnreadable, const TMountsBelow::Node* rootMounts, const TOptions& options);
  ~TReadAhead();
  TReadAhead(const TReadAhead&) = delete;
  TReadAhead& operator=(const TReadAhead&) = delete;

  // The listing of the folder first given, read on this thread.
  TFolderListing* Root();
  // The listing of folder entry index of parent (a Folder entry): taken when a worker has read it,
  // waited for when a worker is reading it, else read on this thread.
  TFolderListing* Child(TFolderListing* parent, uint32_t index);
  // The caller is done with a listing it took (its subfolders' listings were all taken and
  // released before, or the read-ahead was stopped). Freed in batches, to take the lock seldom.
  void Release(TFolderListing* listing);
  // Stops reading ahead and waits for the workers; what is still needed is then read on the
  // calling thread.
  void Stop();

  // Suggested number of workers for this machine, overridable with KORVANE_SCAN_THREADS: one
  // core fewer than the machine has, since the builder reads folders too whenever the one it
  // needs is not ready; at least one, so that reading overlaps building; none while the load
  // average says every core is busy already.
  static int DefaultWorkers();

private:
  enum : uint8_t { Pending, Taken, Ready, Consumed };
  struct TTask {
    TFolderListing* Parent;
    uint32_t Index;
  };

  // What a publication asks to be woken; the notifications are sent once the lock is let go.
  struct TWakes {
    bool Builder = false;
    bool Workers = false;
  };

  void WorkerLoop();
  // Pops the folder needed soonest that nobody reads yet and marks it taken; false when none.
  bool TakeTaskLocked(TTask& task);
  // Whether workers are to hold back for the budget; sets the throttle when the budget is full.
  bool ThrottledLocked();
  // Reads folder entry task into a new listing (fd: its descriptor, or -1), to be published
  // with PublishLocked. Null when stopped on the way; the entry is then to be made pending again.
  // parentFd: the parent's open descriptor (ParentFdLocked), -1 when it could not be had.
  // listing: an empty listing to fill (NewListingLocked), taken over.
  TFolderListing* Read(const TTask& task, int parentFd, TFolderListing* listing, bool mayAbandon,
                       std::vector<char>& buffer, int& fd);
  // An empty listing: a freed one when there is one, so that its arrays need not be allocated
  // again for every folder.
  TFolderListing* NewListingLocked();
  // Keeps a released listing (unlinked) for NewListingLocked, or frees it.
  void Recycle(TFolderListing* listing);
  // Publishes what Read gave, or makes the entry pending again when it gave nothing.
  void FinishLocked(const TTask& task, TFolderListing* listing, int fd, TWakes& wakes);
  void Notify(TWakes& wakes);
  // Takes a ready listing, on the builder's thread, without the lock.
  TFolderListing* Take(TListedEntry& entry);
  bool ReadFolder(TFolderListing& listing, int fd, bool mayAbandon, std::vector<char>& buffer);
  // The descriptor to open task's folder from; it stays open until the folder's listing is
  // published (the parent's PendingOpens counts it).
  int ParentFdLocked(const TTask& task);
  bool EnsureOpenLocked(TFolderListing* listing);
  void PublishLocked(TFolderListing* listing, int fd, TWakes& wakes);
  void FreeReleased();
  void Link(TFolderListing* listing);
  void Unlink(TFolderListing* listing);
  void CloseFdLocked(TFolderListing* listing);
  // Folder descriptors are closed in batches: a run of consecutive descriptors goes with one
  // close_range instead of a close each.
  void CloseLaterLocked(int fd);
  void FlushClosesLocked();
  // openat for a folder, retried once after the batched closes when the process is out of
  // descriptors.
  int OpenFolder(int parentFd, const char* name);

  TOptions options_;
  TAdaptiveMutex mutex_;
  std::condition_variable_any workCv_;   // workers wait for tasks or budget
  std::condition_variable_any readyCv_;  // the builder waits for a listing being read
  std::vector<TTask> stack_;         // folders to read; the top is the one needed soonest
  // Listings published and not yet taken, in bytes. The builder takes a ready listing without
  // the lock, so this and the throttle are atomics; both sides store first and load second,
  // so that a worker never waits for a wake the builder decided it needs no more.
  std::atomic<size_t> readyBytes_{0};
  std::atomic<bool> throttled_{false};  // the budget was reached: workers wait until half of it is taken
  int openFds_ = 0;
  std::atomic<bool> stop_{false};
  const TListedEntry* awaited_ = nullptr;  // what the builder waits for
  TFolderListing* live_ = nullptr;
  int idleWorkers_ = 0;
  TFolderListing* root_ = nullptr;
  int rootFd_ = -1;
  bool rootUnreadable_ = false;
  std::vector<char> ownBuffer_;
  std::vector<TFolderListing*> released_;  // released by the builder, not yet freed
  std::vector<TFolderListing*> spare_;  // freed listings kept for reuse
  std::vector<int> closing_;  // descriptors no longer needed, not yet closed
  std::vector<std::thread> workers_;
};
