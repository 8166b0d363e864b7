#pragma once
// The wasted-space figures of a folder's tree at each of the seven standard cluster sizes, with
// the captions, hints and texts the Wasted Space page shows (and a report writes).

#include "scan/FolderSize.h"

#include <QString>

#include <array>
#include <cstdint>

class TTreeNode;

struct TWastedCell {
  // "4K", with the exact size as its hint ("4096 bytes"), and the file systems that use it.
  QString Caption;
  QString CaptionHint;
  QString UsedBy;
  // The wasted share of used plus wasted space, in whole percent.
  int Percent = 0;
  QString Text;
  // The exact figure ("1,234 bytes").
  QString Hint;
  // The drive's own cluster size: its cell is highlighted.
  bool DriveOwn = false;
};

struct TWastedRows {
  // A folder (with its subfolders) rather than a whole drive.
  bool Folder = false;
  // "Amount of space wasted by folder (+ subfolders)" or "... on drive".
  QString AmountText;
  // The folder's path, or the drive's node text for a drive root.
  QString PathText;
  // Index 1..7 like the standard cluster sizes; index 0 is unused.
  std::array<TWastedCell, StandardClusterCount + 1> Cells;
};

// The cells with their captions and hints only (no figures).
std::array<TWastedCell, StandardClusterCount + 1> WastedCellCaptions();
// The figures of node (a node without a record counts as empty); path is its drive path;
// driveClusterSize picks the cell of the drive's own size (none when it is not a standard size).
TWastedRows BuildWastedRows(const TTreeNode& node, const QString& path, int32_t driveClusterSize);
// The wasted share of used plus wasted space, in whole percent; 0 when both are 0.
int WastedPercent(int64_t wasted, int64_t size);
