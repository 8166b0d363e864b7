#pragma once
// The rows of the subfolder list: the direct subfolders of a folder with their figures, as the
// largest N, those above a threshold or all of them, sorted by any column. Each row carries the
// texts the list shows, so that the Subfolders page and the subfolder report show the same.

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class TTreeNode;

enum TSubfolderColumn {
  scName, scSize, scAllocated, scWasted, scShare, scObjects, scLastAccess, scLastChange, SubfolderColumnCount
};
// Which subfolders are listed.
enum TSubfolderDisplay { sdTop, sdLargerThan, sdAll };

// The column captions, as the list's header shows them.
extern const std::array<const char*, SubfolderColumnCount> SubfolderColumnCaptions;

struct TSubfolderSettings {
  int Display = sdAll;
  // How many rows the Top mode keeps.
  int32_t TopCount = 10;
  // The smallest figure listed in the Larger Than mode, in bytes.
  int64_t Threshold = 0;
  // Figures measure size plus wasted space (the share and the threshold).
  bool IncludeWasted = false;
  // The cluster-size selector's index the wasted figures are taken at.
  int32_t ClusterIndex = 0;
  // Signed sort code: 1 = name ... 8 = last change, negative for descending. The Top and Larger
  // Than modes always sort by size (with wasted space when it counts), largest first.
  int Sort = 1;
};

struct TSubfolderRow {
  TTreeNode* Node = nullptr;
  std::array<QString, SubfolderColumnCount> Texts;
  // What the figure columns sort by (their texts are rounded): the bytes of Size, Allocated and
  // Wasted, the figure the share is of (one parent for all rows) and the number of objects.
  std::array<int64_t, SubfolderColumnCount> Figures{};
  // The dates as packed DOS date-times (0 when unknown), by which the date columns sort.
  uint32_t LastAccess = 0;
  uint32_t LastChange = 0;
};

struct TSubfolderList {
  std::vector<TSubfolderRow> Rows;
  // The sort code used (the one given, or the Top and Larger Than modes' own).
  int Sort = 1;
};

// The rows for node's subfolders; a subfolder whose scan did not complete has no figures and no row.
TSubfolderList BuildSubfolderRows(const TTreeNode* node, const TSubfolderSettings& settings);
// Order of two rows for a signed column code: below 0, 0 or above 0.
int CompareSubfolderRows(const TSubfolderRow& a, const TSubfolderRow& b, int code);
// Sorts rows for a signed column code; equal rows keep their order.
void SortSubfolderRows(std::vector<TSubfolderRow>& rows, int code);
// A packed DOS date-time as the locale's short date and long time; the time is left out at
// midnight, and a value that is zero or no real date gives an empty text.
QString PackedDateTimeText(uint32_t packed);
// Bytes as whole kilobytes: "1,024 KB".
QString KiloText(int64_t bytes);
