#pragma once
// What changed between two snapshots of the same folder: folders are matched by their path below
// the root; a folder on both sides with another size changed, one only in the newer snapshot is
// new, one only in the older is gone.

#include "history/Snapshot.h"

#include <QString>

#include <cstdint>
#include <vector>

struct TFolderChange {
  enum TKind { Changed, New, Gone };
  TKind Kind = Changed;
  int64_t Delta = 0;      // newer size minus older size (a new folder's size; minus a gone one's)
  int64_t OldSize = 0;
  int64_t NewSize = 0;
  QString Path;           // drive path, below the newer snapshot's root path (the older's for gone ones)
  int32_t NewIndex = -1;  // the folder's index in the newer snapshot; -1 for a gone one
};

struct TSnapshotComparison {
  std::vector<TFolderChange> Changes;  // largest absolute change first, ties by path
  int64_t TotalChange = 0;             // newer root's size minus older root's
};

TSnapshotComparison CompareSnapshots(const TSnapshot& older, const TSnapshot& newer);

// "+N" or "-N" ("+0" for nothing).
QString SignedBytes(int64_t delta);
