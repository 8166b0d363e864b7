#pragma once
// The sections of a folder's pie: one per subfolder large enough to be seen, the folder's own files
// (together, or one by one as read from the disk), and the summaries of what was too small
// ("Other smaller folders", "Other smaller files"), with each section's angle and caption.
// Widget-free: the pie page draws what this returns, and reports use the same figures.

#include <QString>

#include <cstdint>
#include <vector>

class TTreeNode;

enum class TSectionKind { File, Folder, Summary };

// Cursor slots of the pie: the arrow, "open this subfolder", "go to the parent".
inline constexpr int32_t PieCursorArrow = 0;
inline constexpr int32_t PieCursorZoomIn = 5;
inline constexpr int32_t PieCursorZoomOut = 6;

inline constexpr char FilesInThisFolderText[] = "Files in this folder";
inline constexpr char OtherSmallerFoldersText[] = "Other smaller folders";
inline constexpr char OtherSmallerFilesText[] = "Other smaller files";
inline constexpr char EmptyFolderText[] = "This folder (0 bytes)";

// What the header shows for one pie section (or, at index 0, for the folder itself).
struct TSectionInfo {
  TTreeNode* Node = nullptr;
  int64_t Size = 0;
  int64_t Wasted = 0;
  int32_t Cursor = 0;
  QString Name;
  QString Path;
  TSectionKind Kind = TSectionKind::File;
};

// The choices the sections depend on.
struct TFolderPieSettings {
  // Sections measure size plus wasted space rather than size alone.
  bool IncludeWasted = false;
  // The folder's files one by one (read from the disk) rather than one "Files in this folder".
  bool ShowFiles = false;
  // Label suffix: 0 none, 1 the share in whole percent, 2 the section's size.
  int ShowPercent = 0;
  // A subfolder or file needs more than this angle (degrees) for a section of its own.
  double MinFolderAngle = 0;
  double MinFileAngle = 0;
  // The cluster-size selector's index the folders' wasted figures are taken at.
  int32_t ClusterIndex = 0;
  // The drive's cluster size: the slack of files read from the disk.
  int32_t DriveClusterSize = 0;
};

struct TPieSlice {
  // The section's name with its label suffix, as the pie writes it.
  QString Caption;
  // Index into the pie colours.
  int ColorIndex = 0;
  // A subfolder's place among the pie's subfolders by size (0 = the largest; equal sizes by
  // name); -1 for the other sections.
  int FolderRank = -1;
  double Angle = 0;
  TTreeNode* Node = nullptr;
  // The section's entry in TFolderPieSections::Infos.
  int InfoIndex = 0;
};

struct TFolderPieSections {
  // [0] the folder itself, then one entry per slice.
  std::vector<TSectionInfo> Infos;
  // In the order they were added; the pie sorts them by size.
  std::vector<TPieSlice> Slices;
  int64_t OtherFoldersSize = 0;
  int64_t OtherFoldersWasted = 0;
  int64_t OtherFilesSize = 0;
  int64_t OtherFilesWasted = 0;
};

// The sections of node (which must have its record); path is the folder's drive path.
TFolderPieSections BuildFolderPieSections(TTreeNode& node, const QString& path, const TFolderPieSettings& settings);
