#pragma once
// The state a scan session shares with the scanner and the figures: the abort request, the
// cluster size the wasted figures are shown at, the cluster size of the drive being scanned and
// the drives scanned. The program reaches it through the names AbortScan, SelectedClusterIndex,
// ScanClusterSize and DriveList(), which always refer to the active session's state (a state of
// the process's own when no session is active, as in the scanner's tests).

#include <cstdint>
#include <vector>

struct TDriveRecInfo;

struct TScanState {
  // Set by the abort command; cleared when a scan operation starts; left set after an aborted
  // scan so that callers scanning several drives in a row stop too.
  bool AbortScan = false;
  // The cluster-size selector's item index; anything outside 1..7 means the drive's own size.
  int32_t SelectedClusterIndex = 0;
  // Cluster size of the drive being scanned; -1 when it could not be determined.
  int32_t ScanClusterSize = -1;
  // The drives scanned, in the order they were first scanned; the state owns the records.
  std::vector<TDriveRecInfo*> Drives;
};

namespace ScanStateInternal {
extern TScanState* Active;
}

inline TScanState& ActiveScanState() { return *ScanStateInternal::Active; }

// Makes state the active one for this object's lifetime (the one before comes back after).
class TActiveScanState {
public:
  explicit TActiveScanState(TScanState& state) : previous_(ScanStateInternal::Active) {
    ScanStateInternal::Active = &state;
  }
  ~TActiveScanState() { ScanStateInternal::Active = previous_; }
  TActiveScanState(const TActiveScanState&) = delete;
  TActiveScanState& operator=(const TActiveScanState&) = delete;

private:
  TScanState* previous_;
};

// A name for one field of the active state that reads and assigns like the variable it stands
// for: `if (AbortScan)`, `SelectedClusterIndex = 3`.
template <typename T, T TScanState::*Field>
class TScanStateField {
public:
  operator T() const { return ActiveScanState().*Field; }
  const TScanStateField& operator=(T value) const {
    ActiveScanState().*Field = value;
    return *this;
  }
};
