#pragma once
// What the tree bar chart shows, without any widget: its rows (a folder and every folder below
// it, in pre-order), the value and bar length of each row, the reference value, the row texts and
// the placement of the "Graph" column.

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class TTreeNode;

struct TBarChartRow {
  TTreeNode* Node = nullptr;
  int32_t Level = 0;  // depth in the whole folder tree; a drive root is level 0
};

// The folder and every folder below it: the folder itself, then each child's whole subtree
// before the next child. Iterative, so that deep trees cannot overflow the stack.
std::vector<TBarChartRow> BarChartRows(TTreeNode* root);

// Depth of a node in the whole folder tree (a drive root is 0).
int32_t NodeLevel(const TTreeNode* node);

// The reference for bar lengths: the root's whole tree, with its wasted space when
// includeWasted. 0 for a root without a record.
int64_t BarChartMax(const TTreeNode* root, bool includeWasted);

// The figure of a row: the folder's whole tree (includeSubfolders) or its own files alone, with
// the wasted space when includeWasted. None for a folder without a record (a folder whose scan
// was cut short).
std::optional<int64_t> BarChartValue(const TTreeNode* node, bool includeSubfolders, bool includeWasted);

// Whole pixels of a bar: graphWidth * value / max, truncated, computed without overflow for any
// 64-bit sizes. 0 when max is not positive or the value is not; never longer than graphWidth.
int32_t BarLength(int64_t value, int64_t max, int32_t graphWidth);

// A row's text without full paths: four blanks per level, then the folder's name.
QString IndentedFolderText(const TTreeNode* node, int32_t level);

// Shortens a drive path to fit maxWidth (as measured by width) by replacing folders after the
// first one with "...": "C:\Program Files\...\Bin". When even "C:\...\Last" does not fit, the
// drive goes too ("...\Last"); the last name itself is never cut.
QString ShortenDrivePath(const QString& path, int32_t maxWidth, const std::function<int32_t(const QString&)>& width);

// Width of the "Graph" column: the stored width when it is one (0 .. headerWidth), clamped to the
// header when it is wider, half the header (truncated) when nothing usable is stored.
int32_t GraphColumnWidth(std::optional<int32_t> stored, int32_t headerWidth);
