#pragma once
// The size record of one completed folder and the cluster accounting around it.

#include "platform/DirEnum.h"
#include "scan/ScanState.h"

#include <array>
#include <cstdint>
#include <memory>

class TTreeNode;

// Slack figures at the seven standard sizes, indexed 1..7 like StandardClusterSizes.
class TClusterFigures {
public:
  int64_t& operator[](int i) { return v_[static_cast<size_t>(i - 1)]; }
  int64_t operator[](int i) const { return v_[static_cast<size_t>(i - 1)]; }
  bool operator==(const TClusterFigures&) const = default;

private:
  std::array<int64_t, 7> v_{};
};

constexpr int StandardClusterCount = 7;
// Index 1..7 of the standard cluster sizes; index 0 is unused (it stands for the drive's own size).
constexpr std::array<int32_t, StandardClusterCount + 1> StandardClusterSizes = {
    0, 512, 2048, 4096, 8192, 16384, 32768, 65536};

// The cluster-size selector's item index; anything outside 1..7 means the drive's own size.
inline constexpr TScanStateField<int32_t, &TScanState::SelectedClusterIndex> SelectedClusterIndex{};
// Cluster size of the drive being scanned; -1 when it could not be determined.
inline constexpr TScanStateField<int32_t, &TScanState::ScanClusterSize> ScanClusterSize{};

class TFolderSize {
public:
  int64_t TotalSize = 0;
  int64_t FilesSize = 0;
  int64_t TotalWasted = 0;
  int64_t FilesWasted = 0;
  int32_t TotalFiles = 0;
  int32_t TotalFolders = 0;
  int32_t Files = 0;
  int32_t Folders = 0;
  uint64_t LastAccess = 0;  // FILETIME
  uint64_t LastChange = 0;  // FILETIME
  uint32_t Attributes = 0;
  // The same three figures for the folder's own files alone. They are kept so that the times and
  // attributes can be recomputed after a removal or rescan below the folder without losing what
  // its own files contribute.
  uint32_t FilesAttributes = 0;
  uint64_t FilesLastAccess = 0;  // FILETIME
  uint64_t FilesLastChange = 0;  // FILETIME
  TClusterFigures TotalWastedAt;
  TClusterFigures FilesWastedAt;
  // The blocks the files of the whole tree really occupy on the disk (512-byte units of
  // st_blocks, in bytes). A sparse file takes less than its length, a file in a compressed or
  // deduplicated extent less again; a file with several names counts once, where its bytes count.
  // The folder's own files' share is not kept (a record per folder is what a scan's memory is
  // made of): FilesOnDisk works it out from the children.
  int64_t TotalOnDisk = 0;

  // Records come from a pool: a scan keeps one per folder, so the allocator's overhead counts.
  static void* operator new(std::size_t size);
  // Also takes blocks that did not come from the pool (requests of another size).
  static void operator delete(void* p) noexcept;
};

// Slack of one file of fileSize bytes on clusters of clusterSize bytes.
int32_t ClusterSlack(int32_t clusterSize, int64_t fileSize);

// The wasted figures at the cluster size of selector index clusterIndex (the drive's own outside 1..7).
int64_t TotalWastedAtIndex(const TFolderSize& rec, int32_t clusterIndex);
int64_t FilesWastedAtIndex(const TFolderSize& rec, int32_t clusterIndex);
int64_t SelectedTotalWasted(const TFolderSize& rec);
int64_t SelectedFilesWasted(const TFolderSize& rec);
int64_t TotalWastedAt(const TFolderSize& rec, int i);

// The blocks of the folder's own files: its tree's less its subfolders' trees.
int64_t FilesOnDisk(const TTreeNode& node);

// Roll-up steps, in the order the scanner calls them.
void AddFile(TFolderSize& rec, const TFindData& file);
void AddFile(TFolderSize& rec, int64_t size, int64_t onDisk, uint32_t attributes, uint64_t lastAccess,
             uint64_t lastWrite);
// A file whose blocks on the disk are not known (counted as none).
inline void AddFile(TFolderSize& rec, int64_t size, uint32_t attributes, uint64_t lastAccess, uint64_t lastWrite) {
  AddFile(rec, size, 0, attributes, lastAccess, lastWrite);
}
void AddChild(TFolderSize& rec, const TFolderSize& child);
void CloseFolder(TFolderSize& rec);

// Maintenance of the ancestors' figures after removals and rescans.
// Sets the node record's times and attributes from its own files and its children's records.
void RecomputeTimes(TTreeNode* node);
// childNode is the removed folder's node, or null for a file. The folder's node may still be in
// the tree: its record no longer counts in its parent's times and attributes. onDisk: the blocks
// of a removed file (a removed folder's come from its record).
void SubtractFromAncestors(TTreeNode* parentNode, TTreeNode* childNode, int32_t foldersRemoved,
                           int32_t filesRemoved, int64_t wasted, int64_t size, int64_t onDisk = 0);
// node holds the new record; oldRec is turned into the delta, applied to every ancestor with a
// record, and released. A node left without a record (an aborted rescan) counts as empty: the old
// figures are taken out of the ancestors.
void ApplyRescanDelta(TTreeNode* node, std::unique_ptr<TFolderSize> oldRec);
