#include "scan/FolderSize.h"

#include "scan/FolderTree.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
TScanState ProcessScanState;
}

TScanState* ScanStateInternal::Active = &ProcessScanState;

namespace {

constexpr bool IsPowerOfTwo(int64_t v) { return v > 0 && (v & (v - 1)) == 0; }

constexpr bool StandardSizesArePowersOfTwo() {
  for (int i = 1; i <= StandardClusterCount; ++i)
    if (!IsPowerOfTwo(StandardClusterSizes[i])) return false;
  return true;
}
// AddFile takes the standard slack with masks.
static_assert(StandardSizesArePowersOfTwo());

constexpr bool IsStandardIndex(int i) { return i >= 1 && i <= StandardClusterCount; }

// ---------------------------------------------------------------------------------------------
// Record pool. A scan keeps one record per folder, millions of them on a large disk, so records
// are carved from large chunks and recycled through a free list instead of costing a heap block
// each. Chunks are never given back; freed records are reused by the next scan.
//
// Under AddressSanitizer the pool is left out, so that every record is a heap block of its own
// and use-after-free or double deletes of records are still caught.

#if defined(__SANITIZE_ADDRESS__)
#define KORVANE_RECORD_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVANE_RECORD_POOL 0
#endif
#endif
#ifndef KORVANE_RECORD_POOL
#define KORVANE_RECORD_POOL 1
#endif

#if KORVANE_RECORD_POOL

constexpr size_t RecordBytes = sizeof(TFolderSize);
constexpr size_t RecordsPerChunk = 4096;
constexpr size_t ChunkBytes = RecordBytes * RecordsPerChunk;

struct TFreeRecord {
  TFreeRecord* Next;
};
static_assert(RecordBytes >= sizeof(TFreeRecord));
static_assert(alignof(TFolderSize) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
static_assert(RecordBytes % alignof(TFreeRecord) == 0);

// Plain data with constant initialisation: usable from any static constructor or destructor,
// whatever the order in which the program's globals come and go.
struct TRecordPool {
  TFreeRecord* FreeList;
  uintptr_t* Chunks;  // chunk start addresses, ascending
  size_t ChunkCount;
  size_t ChunkCapacity;
  // The untouched rest of the newest chunk: handed out in address order, so that memory is only
  // touched as records are used.
  char* Unused;
  char* UnusedEnd;

  void* Allocate() {
    if (FreeList) {
      TFreeRecord* block = FreeList;
      FreeList = block->Next;
      return block;
    }
    if (Unused == UnusedEnd) Grow();
    void* block = Unused;
    Unused += RecordBytes;
    return block;
  }

  void Release(void* p) {
    auto* block = static_cast<TFreeRecord*>(p);
    block->Next = FreeList;
    FreeList = block;
  }

  // True when p lies in one of the pool's chunks.
  bool Owns(const void* p) const {
    const auto address = reinterpret_cast<uintptr_t>(p);
    const uintptr_t* begin = Chunks;
    const uintptr_t* after = std::upper_bound(begin, begin + ChunkCount, address);
    if (after == begin) return false;
    return address - *(after - 1) < ChunkBytes;
  }

  void Grow() {
    if (ChunkCount == ChunkCapacity) {
      const size_t capacity = ChunkCapacity ? ChunkCapacity * 2 : 64;
      void* grown = std::realloc(Chunks, capacity * sizeof(uintptr_t));
      if (!grown) throw std::bad_alloc();
      Chunks = static_cast<uintptr_t*>(grown);
      ChunkCapacity = capacity;
    }
    char* chunk = static_cast<char*>(::operator new(ChunkBytes));  // throws std::bad_alloc
    const auto start = reinterpret_cast<uintptr_t>(chunk);
    uintptr_t* pos = std::upper_bound(Chunks, Chunks + ChunkCount, start);
    std::memmove(pos + 1, pos, static_cast<size_t>(Chunks + ChunkCount - pos) * sizeof(uintptr_t));
    *pos = start;
    ++ChunkCount;
    Unused = chunk;
    UnusedEnd = chunk + ChunkBytes;
  }
};

constinit TRecordPool Pool{nullptr, nullptr, 0, 0, nullptr, nullptr};

#endif  // KORVANE_RECORD_POOL

// Later of two FILETIMEs into held; a tie keeps the value held.
inline void TakeLater(uint64_t& held, uint64_t candidate) {
  if (candidate > held) held = candidate;
}

// Times and attributes of node's record from its own files and its children's records; the
// child skip (a folder being removed) is left out.
void RecomputeTimesExcept(TTreeNode* node, const TTreeNode* skip) {
  if (!node) return;
  TFolderSize* rec = node->Data();
  if (!rec) return;
  uint64_t lastAccess = rec->FilesLastAccess;
  uint64_t lastChange = rec->FilesLastChange;
  uint32_t attributes = rec->FilesAttributes;
  for (int i = 0; i < node->Count(); ++i) {
    const TTreeNode* child = node->Child(i);
    if (child == skip) continue;
    const TFolderSize* c = child->Data();
    if (!c) continue;
    TakeLater(lastAccess, c->LastAccess);
    TakeLater(lastChange, c->LastChange);
    attributes |= c->Attributes;
  }
  rec->LastAccess = lastAccess;
  rec->LastChange = lastChange;
  rec->Attributes = attributes;
}

}  // namespace

void* TFolderSize::operator new(std::size_t size) {
#if KORVANE_RECORD_POOL
  if (size == sizeof(TFolderSize)) return Pool.Allocate();
#endif
  return ::operator new(size);
}

void TFolderSize::operator delete(void* p) noexcept {
  if (!p) return;
#if KORVANE_RECORD_POOL
  if (Pool.Owns(p)) {
    Pool.Release(p);
    return;
  }
#endif
  ::operator delete(p);
}

int32_t ClusterSlack(int32_t clusterSize, int64_t fileSize) {
  if (clusterSize <= 0) return 0;
  int64_t r;
  if (IsPowerOfTwo(clusterSize)) {
    r = static_cast<int64_t>(static_cast<uint64_t>(fileSize) & static_cast<uint64_t>(clusterSize - 1));
  } else {
    r = fileSize % clusterSize;
    if (r < 0) r += clusterSize;  // a remainder, never negative
  }
  return r == 0 ? 0 : static_cast<int32_t>(clusterSize - r);
}

int64_t TotalWastedAtIndex(const TFolderSize& rec, int32_t clusterIndex) {
  return IsStandardIndex(clusterIndex) ? rec.TotalWastedAt[clusterIndex] : rec.TotalWasted;
}

int64_t FilesWastedAtIndex(const TFolderSize& rec, int32_t clusterIndex) {
  return IsStandardIndex(clusterIndex) ? rec.FilesWastedAt[clusterIndex] : rec.FilesWasted;
}

int64_t SelectedTotalWasted(const TFolderSize& rec) { return TotalWastedAtIndex(rec, SelectedClusterIndex); }

int64_t SelectedFilesWasted(const TFolderSize& rec) { return FilesWastedAtIndex(rec, SelectedClusterIndex); }

int64_t TotalWastedAt(const TFolderSize& rec, int i) {
  return IsStandardIndex(i) ? rec.TotalWastedAt[i] : 0;
}

void AddFile(TFolderSize& rec, const TFindData& file) {
  AddFile(rec, file.Size, file.OnDisk, file.Attributes, file.LastAccessTime, file.LastWriteTime);
}

void AddFile(TFolderSize& rec, int64_t size, int64_t onDisk, uint32_t attributes, uint64_t lastAccess,
             uint64_t lastWrite) {
  ++rec.TotalFiles;
  ++rec.Files;
  rec.TotalOnDisk += onDisk;
  if (size != 0) {
    rec.FilesSize += size;
    rec.FilesWasted += ClusterSlack(ScanClusterSize, size);
    // On clusters of 2^k bytes the slack is (-size) mod 2^k.
    const uint64_t negated = 0 - static_cast<uint64_t>(size);
    for (int i = 1; i <= StandardClusterCount; ++i)
      rec.FilesWastedAt[i] +=
          static_cast<int64_t>(negated & static_cast<uint64_t>(StandardClusterSizes[i] - 1));
  }
  TakeLater(rec.FilesLastAccess, lastAccess);
  TakeLater(rec.FilesLastChange, lastWrite);
  rec.FilesAttributes |= attributes;
  TakeLater(rec.LastAccess, lastAccess);
  TakeLater(rec.LastChange, lastWrite);
  rec.Attributes |= attributes;
}

void AddChild(TFolderSize& rec, const TFolderSize& child) {
  rec.TotalSize += child.TotalSize;
  rec.TotalWasted += child.TotalWasted;
  rec.TotalOnDisk += child.TotalOnDisk;
  rec.TotalFolders += child.TotalFolders;
  rec.TotalFiles += child.TotalFiles;
  TakeLater(rec.LastAccess, child.LastAccess);
  TakeLater(rec.LastChange, child.LastChange);
  for (int i = 1; i <= StandardClusterCount; ++i) rec.TotalWastedAt[i] += child.TotalWastedAt[i];
  rec.Attributes |= child.Attributes;
}

void CloseFolder(TFolderSize& rec) {
  rec.TotalSize += rec.FilesSize;
  rec.TotalWasted += rec.FilesWasted;
  for (int i = 1; i <= StandardClusterCount; ++i) rec.TotalWastedAt[i] += rec.FilesWastedAt[i];
}

void RecomputeTimes(TTreeNode* node) { RecomputeTimesExcept(node, nullptr); }

int64_t FilesOnDisk(const TTreeNode& node) {
  const TFolderSize* rec = node.Data();
  if (!rec) return 0;
  int64_t own = rec->TotalOnDisk;
  for (int i = 0; i < node.Count(); ++i)
    if (const TFolderSize* child = node.Child(i)->Data()) own -= child->TotalOnDisk;
  return own;
}

void SubtractFromAncestors(TTreeNode* parentNode, TTreeNode* childNode, int32_t foldersRemoved,
                           int32_t filesRemoved, int64_t wasted, int64_t size, int64_t onDisk) {
  TClusterFigures d;
  if (childNode) {
    const TFolderSize* c = childNode->Data();
    if (c) d = c->TotalWastedAt;
    onDisk = c ? c->TotalOnDisk : 0;
  } else {
    for (int i = 1; i <= StandardClusterCount; ++i) d[i] = ClusterSlack(StandardClusterSizes[i], size);
  }

  TFolderSize* parent = parentNode ? parentNode->Data() : nullptr;
  if (!parent) return;
  if (childNode) {
    parent->Folders -= 1;
  } else {
    parent->Files -= 1;
    parent->FilesSize -= size;
    parent->FilesWasted -= wasted;
    for (int i = 1; i <= StandardClusterCount; ++i) parent->FilesWastedAt[i] -= d[i];
  }

  // The removed folder's node may still hang below the parent: leave it out of the parent's
  // times. Higher up, the child on the way has already been recomputed.
  const TTreeNode* skip = childNode;
  for (TTreeNode* node = parentNode; node && node->Data(); node = node->Parent()) {
    TFolderSize& rec = *node->Data();
    rec.TotalSize -= size;
    rec.TotalWasted -= wasted;
    rec.TotalOnDisk -= onDisk;
    rec.TotalFolders -= foldersRemoved;
    rec.TotalFiles -= filesRemoved;
    for (int i = 1; i <= StandardClusterCount; ++i) rec.TotalWastedAt[i] -= d[i];
    RecomputeTimesExcept(node, skip);
    skip = nullptr;
  }
}

void ApplyRescanDelta(TTreeNode* node, std::unique_ptr<TFolderSize> oldRec) {
  if (!node || !oldRec) return;
  // The old record becomes the delta: new figures minus old ones.
  static const TFolderSize Empty;
  const TFolderSize& n = node->Data() ? *node->Data() : Empty;
  TFolderSize& o = *oldRec;
  o.TotalSize = n.TotalSize - o.TotalSize;
  o.TotalWasted = n.TotalWasted - o.TotalWasted;
  o.TotalOnDisk = n.TotalOnDisk - o.TotalOnDisk;
  o.TotalFiles = n.TotalFiles - o.TotalFiles;
  o.TotalFolders = n.TotalFolders - o.TotalFolders;
  for (int i = 1; i <= StandardClusterCount; ++i) o.TotalWastedAt[i] = n.TotalWastedAt[i] - o.TotalWastedAt[i];

  for (TTreeNode* a = node->Parent(); a && a->Data(); a = a->Parent()) {
    TFolderSize& rec = *a->Data();
    rec.TotalSize += o.TotalSize;
    rec.TotalWasted += o.TotalWasted;
    rec.TotalOnDisk += o.TotalOnDisk;
    rec.TotalFiles += o.TotalFiles;
    rec.TotalFolders += o.TotalFolders;
    for (int i = 1; i <= StandardClusterCount; ++i) rec.TotalWastedAt[i] += o.TotalWastedAt[i];
    RecomputeTimes(a);
  }
  // oldRec is released here.
}
