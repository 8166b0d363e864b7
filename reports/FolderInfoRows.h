#pragma once
// The folder-information figures and grid: the sizes of a folder's tree beside those of the folder
// alone, and the rows of its names, dates and attributes, with the texts and hints the Folder Info
// page shows (and the folder-information report writes).

#include <QString>

#include <array>
#include <cstdint>

class TTreeNode;

enum TFolderInfoRow {
  fiLongName, fiShortName, fiLastAccess, fiLastChange, fiCreation, fiAttributes, fiBlank,
  fiReadOnly, fiHidden, fiSystem, fiCompressed, FolderInfoRowCount
};
enum TFolderInfoFigureKind { ffSize, ffAllocated, ffWasted, ffObjects, FolderInfoFigureCount };

// The caption of the on-disk figures.
inline constexpr char FolderInfoOnDiskLabel[] = "On disk";

// The grid's row labels.
extern const std::array<const char*, FolderInfoRowCount> FolderInfoRowLabels;

struct TFolderInfoFigure {
  QString Text;
  // The exact figure ("1,234 bytes", "3 file(s) and 1 subfolder(s)").
  QString Hint;
};

struct TFolderInfo {
  bool Root = false;
  // "Root Folder of Drive" or "File Folder".
  QString TypeText;
  // The header's path: the folder's path, or the drive's display name for a drive root.
  QString PathText;
  // The whole tree (folder and subfolders), then the folder alone.
  std::array<TFolderInfoFigure, FolderInfoFigureCount> Tree;
  std::array<TFolderInfoFigure, FolderInfoFigureCount> Folder;
  // "On disk": the blocks the files occupy, of the whole tree and of the folder alone.
  TFolderInfoFigure TreeOnDisk;
  TFolderInfoFigure FolderOnDisk;
  // The grid's values, by row.
  std::array<QString, FolderInfoRowCount> Values;
};

// The figures and rows of node (which must have its record); path is its drive path; clusterIndex
// the cluster-size selector's index the wasted figures are taken at. Reads the folder's own
// entry from the disk for its creation date and attributes.
TFolderInfo BuildFolderInfo(const TTreeNode& node, const QString& path, int32_t clusterIndex);
