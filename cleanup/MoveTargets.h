#pragma once
// What the Move Folder dialog shows and checks, without its widgets: the drives where the folder
// would waste less (the gain list), the target it proposes for a picked folder, and whether a
// typed target may be used.

#include "platform/DriveTable.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class TFolderSize;

// A drive that could take the folder.
struct TDriveCandidate {
  char letter = 0;  // 'C'..'Z'
  TDriveType type = TDriveType::Fixed;
  int32_t clusterSize = -1;  // negative when unknown
  QString caption;           // the drive's display name
};

struct TGainRow {
  char letter = 0;  // lower case, as the row's data
  QString caption;
  int32_t clusterSize = 0;
  int64_t gain = 0;  // bytes the folder would stop wasting there
};

// The folder's waste as displayed (at the chosen cluster size) and at the seven standard sizes
// (index 1..7; index 0 unused).
struct TFolderWaste {
  int64_t shown = 0;
  std::array<int64_t, 8> at{};
};
TFolderWaste WasteOf(const TFolderSize& rec);

// The drives of the drive table with their types, cluster sizes and display names.
std::vector<TDriveCandidate> DriveCandidates();

// The rows of the gain list, in letter order: every candidate with a known cluster size strictly
// smaller than the source's, except removable, CD-ROM and RAM-disk drives. A cluster size that is
// none of the standard sizes counts as wasting nothing there.
std::vector<TGainRow> GainRows(int32_t sourceClusterSize, const TFolderWaste& waste,
                               const std::vector<TDriveCandidate>& candidates);

// The target proposed when the folder list shows shownFolder: that folder, a backslash, and the
// source folder's own name.
QString ProposedTarget(const QString& shownFolder, const QString& sourcePath);

// The folder the dialog lists first for a source folder: beside the folder's parent (the
// parent's parent) on the source's own drive, so that the proposed target is a sibling of the
// parent; the drive root when the source sits at most one level below it.
QString StartFolderFor(const QString& sourcePath);

// The text above the gain list: what to do with its rows, or, when no drive would waste less,
// that there is none.
QString GainListText(bool anyDrive);

// Whether OK may start a move to target: not empty (blanks only count as empty) and not the
// source text itself (compared exactly, case included).
bool TargetAcceptable(const QString& target, const QString& sourcePath);
