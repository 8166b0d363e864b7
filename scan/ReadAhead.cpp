#include "scan/ReadAhead.h"

#include "platform/DirEnum.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t ReadBufferSize = 32 * 1024;
constexpr int MaxWorkers = 4;

// O_NOATIME keeps the scan from touching folder access times, but only the owner (or root) may
// ask for it; once refused it is not asked again.
std::atomic<bool> noAtimeRefused{false};

int OpenFolderAt(int dirFd, const char* name) {
  constexpr int Flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  if (!noAtimeRefused.load(std::memory_order_relaxed)) {
    const int fd = ::openat(dirFd, name, Flags | O_NOATIME);
    if (fd >= 0 || errno != EPERM) return fd;
    noAtimeRefused.store(true, std::memory_order_relaxed);
  }
  return ::openat(dirFd, name, Flags);
}

// A folder that vanished or was replaced by something else since it was listed is not one that
// could not be read.
bool IsGoneError(int error) { return error == ENOENT || error == ENOTDIR || error == ELOOP; }

uint8_t LoadState(TListedEntry& e) { return std::atomic_ref<uint8_t>(e.State).load(std::memory_order_acquire); }
void StoreState(TListedEntry& e, uint8_t state) { std::atomic_ref<uint8_t>(e.State).store(state, std::memory_order_release); }

// Released listings freed under one lock.
constexpr size_t ReleaseBatch = 64;
// Descriptors closed together (held open meanwhile, beyond the descriptor budget).
constexpr size_t CloseBatch = 32;
// Freed listings kept for the next folders, with their arrays (small ones only).
constexpr size_t MaxSpare = 128;
constexpr size_t MaxSpareBytes = 4096;

// Sizes a listing's arrays for the entries of the first batch getdents64 returned (most folders
// come in one batch), so that they are allocated once rather than grown entry by entry. Without
// keepFiles only folders (by the d_type hint) become entries; files with several names are rare.
void ReserveFor(TFolderListing& listing, const char* batch, size_t bytes, bool keepFiles) {
  size_t entries = 0;
  size_t folders = 0;
  size_t names = 0;
  for (size_t pos = 0; pos < bytes;) {
    const auto* e = reinterpret_cast<const struct dirent64*>(batch + pos);
    pos += e->d_reclen;
    const char* name = e->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    const bool folder = e->d_type == DT_DIR || e->d_type == DT_UNKNOWN;
    if (!keepFiles && !folder) continue;
    ++entries;
    folders += e->d_type == DT_DIR;
    names += std::strlen(name) + 1;
  }
  listing.Entries.reserve(entries);
  listing.Names.reserve(names);
  if (keepFiles) listing.Linked.reserve(entries - folders);
}

constexpr unsigned StatxMask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_BLOCKS | STATX_ATIME | STATX_MTIME | STATX_NLINK | STATX_INO;

}  // namespace

TAdaptiveMutex::TAdaptiveMutex() {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ADAPTIVE_NP);
  pthread_mutex_init(&mutex_, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

TAdaptiveMutex::~TAdaptiveMutex() { pthread_mutex_destroy(&mutex_); }
void TAdaptiveMutex::lock() { pthread_mutex_lock(&mutex_); }
void TAdaptiveMutex::unlock() { pthread_mutex_unlock(&mutex_); }
bool TAdaptiveMutex::try_lock() { return pthread_mutex_trylock(&mutex_) == 0; }

int TReadAhead::DefaultWorkers() {
  if (const char* env = std::getenv("KORVANE_SCAN_THREADS"); env && *env) {
    char* end = nullptr;
    const long n = std::strtol(env, &end, 10);
    if (end && *end == '\0' && n >= 0) return static_cast<int>(std::min<long>(n, 16));
  }
  const unsigned cores = std::thread::hardware_concurrency();
  // When every core is already busy, a worker cannot read ahead in parallel: it only adds the
  // cost of handing listings between threads (measured: about 7% more CPU time, and no shorter
  // walk). One thread then reads everything.
  double load = 0;
  if (cores > 0 && ::getloadavg(&load, 1) == 1 && load >= static_cast<double>(cores)) return 0;
  return static_cast<int>(std::clamp<unsigned>(cores > 1 ? cores - 1 : 1, 1, MaxWorkers));
}

TReadAhead::TReadAhead(int rootFd, bool rootUnreadable, const TMountsBelow::Node* rootMounts,
                       const TOptions& options)
    : options_(options), rootFd_(rootFd), rootUnreadable_(rootUnreadable) {
  root_ = new TFolderListing;
  Link(root_);  // no worker runs yet
  root_->Mounts = rootMounts;
  try {
    workers_.reserve(static_cast<size_t>(std::max(0, options_.Workers)));
    for (int i = 0; i < options_.Workers; ++i) workers_.emplace_back([this] { WorkerLoop(); });
  } catch (...) {
    Stop();  // fewer threads, or none: the caller reads what it needs itself
  }
}

TReadAhead::~TReadAhead() {
  Stop();
  FreeReleased();
  std::lock_guard lock(mutex_);
  for (TFolderListing* n = live_; n;) {
    TFolderListing* next = n->NextLive;
    if (n->Fd >= 0) ::close(n->Fd);
    delete n;
    n = next;
  }
  live_ = nullptr;
  for (TFolderListing* listing : spare_) delete listing;
  spare_.clear();
  FlushClosesLocked();
  if (rootFd_ >= 0) ::close(rootFd_);
}

void TReadAhead::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stop_.load(std::memory_order_relaxed) && workers_.empty()) return;
    stop_.store(true, std::memory_order_relaxed);
  }
  workCv_.notify_all();
  for (std::thread& t : workers_) t.join();
  workers_.clear();
}

TFolderListing* TReadAhead::Root() {
  const int fd = rootFd_;
  rootFd_ = -1;
  if (fd < 0)
    root_->Unreadable = rootUnreadable_;
  else
    ReadFolder(*root_, fd, false, ownBuffer_);  // the first folder: there is nothing to read ahead of it
  TWakes wakes;
  {
    std::lock_guard lock(mutex_);
    PublishLocked(root_, fd, wakes);
  }
  Notify(wakes);
  return root_;
}

bool TReadAhead::ReadFolder(TFolderListing& listing, int fd, bool mayAbandon, std::vector<char>& buffer) {
  if (buffer.size() < ReadBufferSize) buffer.resize(ReadBufferSize);
  unsigned seen = 0;
  bool first = true;
  for (;;) {
    const ssize_t n = ::getdents64(fd, buffer.data(), buffer.size());
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      // What was read so far is what the folder holds; it still counts as not fully read.
      listing.Unreadable = true;
      break;
    }
    if (first) {
      first = false;
      ReserveFor(listing, buffer.data(), static_cast<size_t>(n), options_.KeepFiles);
    }
    for (ssize_t pos = 0; pos < n;) {
      const auto* e = reinterpret_cast<const struct dirent64*>(buffer.data() + pos);
      pos += e->d_reclen;
      const char* name = e->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      if (mayAbandon && (++seen & 255) == 0 && stop_.load(std::memory_order_relaxed)) return false;
      const std::string_view nameView(name);

      bool folder = false;
      bool otherFileSystem = false;
      struct statx st {};
      if (e->d_type == DT_DIR && options_.TrustFolderHint) {
        // The mount points below are known, so a folder needs no look of its own: one system call
        // less for every folder.
        folder = true;
      } else {
        if (::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_SYNC_AS_STAT, StatxMask, &st) != 0)
          continue;  // gone since it was listed
        folder = S_ISDIR(st.stx_mode);
        otherFileSystem = folder && IsOtherFileSystem(st, options_.DevMajor, options_.DevMinor);
      }
      if (folder) {
        if (listing.Mounts) {
          const TMountsBelow::Node* below = listing.Mounts->Find(nameView);
          if (below && below->MountPoint) otherFileSystem = true;
        }
        TListedEntry entry;
        entry.NameOffset = static_cast<uint32_t>(listing.Names.size());
        entry.NameLength = static_cast<uint16_t>(nameView.size());
        entry.Kind = otherFileSystem ? TListedEntry::OtherFileSystem : TListedEntry::Folder;
        listing.Names.append(nameView);
        listing.Names.push_back('\0');
        listing.Entries.push_back(entry);
        continue;
      }
      const auto size = static_cast<int64_t>(st.stx_size);
      const int64_t onDisk = OnDiskBytes(st);
      // A ".hidden" list would only mark more files hidden, and the list itself is a hidden file
      // of the same folder, so the folder's attribute sum is the same without reading it.
      const uint32_t attributes = AttributesFromStatx(st, name[0] == '.');
      const uint64_t lastAccess = UnixToFileTime(st.stx_atime.tv_sec, st.stx_atime.tv_nsec);
      const uint64_t lastWrite = UnixToFileTime(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
      const bool severalNames = st.stx_nlink > 1 && (size > 0 || onDisk > 0);
      if (severalNames || options_.KeepFiles) {
        // A file with several names: where it counts is decided in walk order by the builder.
        TListedEntry entry;
        entry.NameOffset = static_cast<uint32_t>(listing.Names.size());
        entry.NameLength = 0;
        entry.Kind = TListedEntry::LinkedFile;
        entry.LinkedIndex = static_cast<uint32_t>(listing.Linked.size());
        if (options_.KeepFiles) {
          entry.NameLength = static_cast<uint16_t>(nameView.size());
          listing.Names.append(nameView);
          listing.Names.push_back('\0');
        }
        listing.Entries.push_back(entry);
        listing.Linked.push_back({size, onDisk, attributes, severalNames, lastAccess, lastWrite, st.stx_ino});
      } else {
        if (listing.Entries.empty() && listing.Files.Files == 0) listing.FirstIsFile = true;
        AddFile(listing.Files, size, onDisk, attributes, lastAccess, lastWrite);
      }
    }
  }
  return true;
}

void TReadAhead::CloseFdLocked(TFolderListing* listing) {
  if (listing->Fd < 0) return;
  CloseLaterLocked(listing->Fd);
  listing->Fd = -1;
  --openFds_;
}

void TReadAhead::CloseLaterLocked(int fd) {
  closing_.push_back(fd);
  if (closing_.size() >= CloseBatch) FlushClosesLocked();
}

void TReadAhead::FlushClosesLocked() {
  std::sort(closing_.begin(), closing_.end());
  for (size_t i = 0; i < closing_.size();) {
    // Only descriptors of this list are in the run, so nothing else of the process is closed.
    size_t j = i + 1;
    while (j < closing_.size() && closing_[j] == closing_[j - 1] + 1) ++j;
    const auto first = static_cast<unsigned>(closing_[i]);
    const auto last = static_cast<unsigned>(closing_[j - 1]);
    if (first == last || ::close_range(first, last, 0) != 0)
      for (size_t k = i; k < j; ++k) ::close(closing_[k]);
    i = j;
  }
  closing_.clear();
}

int TReadAhead::OpenFolder(int parentFd, const char* name) {
  const int fd = OpenFolderAt(parentFd, name);
  if (fd >= 0 || (errno != EMFILE && errno != ENFILE)) return fd;
  {
    // Another thread may have closed its held-back batch between the failed open and this lock:
    // try again after closing what is held back now, if anything.
    std::lock_guard lock(mutex_);
    FlushClosesLocked();
  }
  return OpenFolderAt(parentFd, name);
}

void TReadAhead::PublishLocked(TFolderListing* listing, int fd, TWakes& wakes) {
  uint32_t folders = 0;
  for (const TListedEntry& e : listing->Entries) folders += e.Kind == TListedEntry::Folder;
  listing->Bytes = sizeof(TFolderListing) + listing->Entries.capacity() * sizeof(TListedEntry) +
                   listing->Linked.capacity() * sizeof(TLinkedFile) + listing->Names.capacity();
  if (fd >= 0) {
    // The first folder keeps its descriptor to the end: every other one can be opened again
    // from it by name.
    if (folders > 0 && (openFds_ < options_.FdBudget || !listing->Parent)) {
      listing->Fd = fd;
      ++openFds_;
    } else {
      CloseLaterLocked(fd);
    }
  }
  listing->PendingOpens = folders;
  if (listing != root_) Link(listing);
  if (TFolderListing* parent = listing->Parent) {
    // The parent's descriptor is kept only while subfolders of it are still to be opened.
    if (--parent->PendingOpens == 0 && parent->Parent) CloseFdLocked(parent);
    TListedEntry& entry = parent->Entries[listing->IndexInParent];
    entry.Child = listing;
    readyBytes_ += listing->Bytes;
    StoreState(entry, Ready);  // after Child: the builder may take it from here on without the lock
    wakes.Builder |= awaited_ == &entry;
  }
  // Subfolders in reverse, so that the first one is on top: read first, needed first.
  for (uint32_t i = static_cast<uint32_t>(listing->Entries.size()); i-- > 0;)
    if (listing->Entries[i].Kind == TListedEntry::Folder) stack_.push_back({listing, i});
  wakes.Workers |= folders > 0 && idleWorkers_ > 0;
}

void TReadAhead::Notify(TWakes& wakes) {
  if (wakes.Builder) readyCv_.notify_one();
  if (wakes.Workers) workCv_.notify_all();
  wakes = {};
}

bool TReadAhead::EnsureOpenLocked(TFolderListing* listing) {
  if (listing->Fd >= 0) return true;
  // Closed for the descriptor budget: open it again by name from the nearest open ancestor.
  std::vector<TFolderListing*> chain;
  for (TFolderListing* x = listing; x && x->Fd < 0; x = x->Parent) {
    if (!x->Parent) return false;  // the first folder is always open while anything is pending
    chain.push_back(x);
  }
  bool ok = true;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    TFolderListing* x = *it;
    const TFolderListing* parent = x->Parent;
    const std::string_view name = parent->Name(parent->Entries[x->IndexInParent]);
    int fd = ok ? OpenFolderAt(parent->Fd, name.data()) : -1;
    if (fd < 0 && ok && (errno == EMFILE || errno == ENFILE) && !closing_.empty()) {
      FlushClosesLocked();
      fd = OpenFolderAt(parent->Fd, name.data());
    }
    struct statx st {};
    if (fd < 0 || ::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE, &st) != 0 ||
        IsOtherFileSystem(st, options_.DevMajor, options_.DevMinor)) {
      if (fd >= 0) ::close(fd);
      ok = false;
    } else {
      x->Fd = fd;
      ++openFds_;
    }
  }
  // Only the folder asked for stays open.
  for (TFolderListing* x : chain)
    if (x != listing) CloseFdLocked(x);
  return ok && listing->Fd >= 0;
}

int TReadAhead::ParentFdLocked(const TTask& task) {
  return EnsureOpenLocked(task.Parent) ? task.Parent->Fd : -1;
}

TFolderListing* TReadAhead::NewListingLocked() {
  if (spare_.empty()) return new TFolderListing;
  TFolderListing* listing = spare_.back();
  spare_.pop_back();
  return listing;
}

void TReadAhead::Recycle(TFolderListing* listing) {
  if (spare_.size() >= MaxSpare || listing->Bytes > MaxSpareBytes) {
    delete listing;
    return;
  }
  // The arrays keep their room for the next folder.
  std::vector<TListedEntry> entries = std::move(listing->Entries);
  std::vector<TLinkedFile> linked = std::move(listing->Linked);
  std::string names = std::move(listing->Names);
  entries.clear();
  linked.clear();
  names.clear();
  *listing = TFolderListing();
  listing->Entries = std::move(entries);
  listing->Linked = std::move(linked);
  listing->Names = std::move(names);
  spare_.push_back(listing);
}

TFolderListing* TReadAhead::Read(const TTask& task, int parentFd, TFolderListing* listing, bool mayAbandon,
                                 std::vector<char>& buffer, int& fd) {
  TFolderListing* parent = task.Parent;
  listing->Parent = parent;
  listing->IndexInParent = task.Index;
  const std::string_view name = parent->Name(parent->Entries[task.Index]);
  if (parent->Mounts) listing->Mounts = parent->Mounts->Find(name);
  fd = -1;
  int error = EIO;
  if (parentFd >= 0) {
    fd = OpenFolder(parentFd, name.data());
    error = fd < 0 ? errno : 0;
  }
  if (fd < 0) {
    listing->Unreadable = !IsGoneError(error);
  } else if (!ReadFolder(*listing, fd, mayAbandon, buffer)) {
    ::close(fd);
    fd = -1;
    delete listing;
    return nullptr;
  }
  return listing;
}

void TReadAhead::FinishLocked(const TTask& task, TFolderListing* listing, int fd, TWakes& wakes) {
  if (listing)
    PublishLocked(listing, fd, wakes);
  else
    StoreState(task.Parent->Entries[task.Index], Pending);  // stopped on the way: read again by whoever needs it
}

bool TReadAhead::ThrottledLocked() {
  if (throttled_) return true;
  if (readyBytes_ < options_.Budget) return false;
  throttled_ = true;
  // The builder may have taken listings meanwhile without seeing the throttle set.
  if (readyBytes_ > options_.Budget / 2) return true;
  throttled_ = false;
  return false;
}

void TReadAhead::WorkerLoop() {
  std::vector<char> buffer;
  TWakes wakes;
  std::unique_lock lock(mutex_);
  for (;;) {
    TTask task{};
    const bool found = !stop_.load(std::memory_order_relaxed) && !ThrottledLocked() && TakeTaskLocked(task);
    if (!found) {
      lock.unlock();
      Notify(wakes);
      lock.lock();
      if (stop_.load(std::memory_order_relaxed)) return;
      if (!ThrottledLocked() && !stack_.empty()) continue;
      ++idleWorkers_;
      workCv_.wait(lock);
      --idleWorkers_;
      continue;
    }
    const int parentFd = ParentFdLocked(task);
    TFolderListing* fresh = NewListingLocked();
    lock.unlock();
    Notify(wakes);
    int fd = -1;
    TFolderListing* listing = Read(task, parentFd, fresh, true, buffer, fd);
    lock.lock();
    // Published and the next folder taken under one lock.
    FinishLocked(task, listing, fd, wakes);
  }
}

TFolderListing* TReadAhead::Child(TFolderListing* parent, uint32_t index) {
  TListedEntry& e = parent->Entries[index];
  if (LoadState(e) == Ready) return Take(e);
  std::unique_lock lock(mutex_);
  TWakes wakes;
  TTask task{};
  for (;;) {
    const uint8_t state = LoadState(e);
    if (state == Ready) {
      lock.unlock();
      Notify(wakes);
      return Take(e);
    }
    if (state == Pending) {
      StoreState(e, Taken);
      // Its task must not outlive the parent's listing on the stack; being needed now, it is
      // at or near the top.
      for (size_t i = stack_.size(); i-- > 0;) {
        if (stack_[i].Parent == parent && stack_[i].Index == index) {
          stack_.erase(stack_.begin() + static_cast<std::ptrdiff_t>(i));
          break;
        }
      }
      task = {parent, index};
    } else if (stop_.load(std::memory_order_relaxed) || ThrottledLocked() || !TakeTaskLocked(task)) {
      // A worker is reading it, and there is nothing else to read meanwhile.
      lock.unlock();
      Notify(wakes);
      lock.lock();
      if (LoadState(e) != Taken) continue;
      awaited_ = &e;
      readyCv_.wait(lock);
      awaited_ = nullptr;
      continue;
    }
    // The folder needed, or (while a worker reads that one) the next one waiting on the stack:
    // both cores keep calling statx, and the builder seldom has to be woken.
    const bool needed = task.Parent == parent && task.Index == index;
    const int parentFd = ParentFdLocked(task);
    TFolderListing* fresh = NewListingLocked();
    lock.unlock();
    Notify(wakes);
    int fd = -1;
    TFolderListing* listing = Read(task, parentFd, fresh, !needed, ownBuffer_, fd);
    lock.lock();
    FinishLocked(task, listing, fd, wakes);
  }
}

TFolderListing* TReadAhead::Take(TListedEntry& e) {
  // Only the builder takes listings, and a ready entry changes no more but here.
  TFolderListing* listing = e.Child;
  StoreState(e, Consumed);
  const size_t left = readyBytes_ -= listing->Bytes;
  // Workers held back by the budget go on in one go once half of it is taken, rather than one
  // folder at a time.
  if (throttled_ && left <= options_.Budget / 2) {
    {
      std::lock_guard lock(mutex_);
      throttled_ = false;
    }
    workCv_.notify_all();
  }
  return listing;
}

bool TReadAhead::TakeTaskLocked(TTask& task) {
  while (!stack_.empty()) {
    task = stack_.back();
    stack_.pop_back();
    TListedEntry& e = task.Parent->Entries[task.Index];
    if (LoadState(e) == Pending) {
      StoreState(e, Taken);
      return true;
    }
  }
  return false;
}

void TReadAhead::Link(TFolderListing* listing) {
  listing->PrevLive = nullptr;
  listing->NextLive = live_;
  if (live_) live_->PrevLive = listing;
  live_ = listing;
}

void TReadAhead::Unlink(TFolderListing* listing) {
  if (listing->PrevLive)
    listing->PrevLive->NextLive = listing->NextLive;
  else
    live_ = listing->NextLive;
  if (listing->NextLive) listing->NextLive->PrevLive = listing->PrevLive;
  CloseFdLocked(listing);
}

void TReadAhead::Release(TFolderListing* listing) {
  if (!listing) return;
  released_.push_back(listing);
  if (released_.size() >= ReleaseBatch) FreeReleased();
}

void TReadAhead::FreeReleased() {
  if (released_.empty()) return;
  std::lock_guard lock(mutex_);
  for (TFolderListing* listing : released_) {
    Unlink(listing);
    Recycle(listing);
  }
  released_.clear();
}
