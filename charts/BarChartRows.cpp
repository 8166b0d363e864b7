// The tree bar chart's rows and bars.

#include "charts/BarChartRows.h"

#include "scan/FolderSize.h"
#include "scan/FolderTree.h"

#include <QStringList>

#include <algorithm>
#include <utility>

std::vector<TBarChartRow> BarChartRows(TTreeNode* root) {
  std::vector<TBarChartRow> rows;
  if (!root) return rows;
  // Each stack entry is a node already listed and the next of its children to visit.
  std::vector<std::pair<TTreeNode*, int>> stack;
  const int32_t rootLevel = NodeLevel(root);
  rows.push_back({root, rootLevel});
  stack.emplace_back(root, 0);
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    if (next >= node->Count()) {
      stack.pop_back();
      continue;
    }
    TTreeNode* child = node->Child(next++);
    rows.push_back({child, rootLevel + static_cast<int32_t>(stack.size())});
    stack.emplace_back(child, 0);
  }
  return rows;
}

int32_t NodeLevel(const TTreeNode* node) {
  int32_t level = 0;
  for (const TTreeNode* p = node ? node->Parent() : nullptr; p; p = p->Parent()) ++level;
  return level;
}

int64_t BarChartMax(const TTreeNode* root, bool includeWasted) {
  return BarChartValue(root, true, includeWasted).value_or(0);
}

std::optional<int64_t> BarChartValue(const TTreeNode* node, bool includeSubfolders, bool includeWasted) {
  const TFolderSize* rec = node ? node->Data() : nullptr;
  if (!rec) return std::nullopt;
  int64_t value = includeSubfolders ? rec->TotalSize : rec->FilesSize;
  if (includeWasted) {
    const int64_t wasted = includeSubfolders ? SelectedTotalWasted(*rec) : SelectedFilesWasted(*rec);
    // Sizes near the 64-bit limit cannot come from a real drive; saturate rather than wrap.
    if (__builtin_add_overflow(value, wasted, &value)) value = INT64_MAX;
  }
  return value;
}

int32_t BarLength(int64_t value, int64_t max, int32_t graphWidth) {
  if (max <= 0 || value <= 0 || graphWidth <= 0) return 0;
  if (value >= max) return graphWidth;
  // graphWidth * value can pass 2^63; the 128-bit product cannot overflow.
  __extension__ using TWide = __int128;
  return static_cast<int32_t>(static_cast<TWide>(graphWidth) * value / max);
}

QString IndentedFolderText(const TTreeNode* node, int32_t level) {
  return QString(4 * std::max(level, 0), QLatin1Char(' ')) + (node ? node->Text() : QString());
}

QString ShortenDrivePath(const QString& path, int32_t maxWidth, const std::function<int32_t(const QString&)>& width) {
  if (width(path) <= maxWidth) return path;
  const QString ellipsis = QStringLiteral("...");
  QStringList parts = path.split(QLatin1Char('\\'));
  if (!parts.isEmpty() && parts.last().isEmpty()) parts.removeLast();  // "C:\" and the like
  if (parts.size() < 3) return path;
  const QString drive = parts.first();
  const QString last = parts.last();
  // Drop folders after the first one, from the left, until it fits.
  for (qsizetype keepFrom = 3; keepFrom < parts.size(); ++keepFrom) {
    const QString candidate =
        QStringList{drive, parts[1], ellipsis}.join(QLatin1Char('\\')) + QLatin1Char('\\') +
        parts.mid(keepFrom).join(QLatin1Char('\\'));
    if (width(candidate) <= maxWidth) return candidate;
  }
  const QString withDrive = drive + QLatin1Char('\\') + ellipsis + QLatin1Char('\\') + last;
  if (width(withDrive) <= maxWidth) return withDrive;
  return ellipsis + QLatin1Char('\\') + last;
}

int32_t GraphColumnWidth(std::optional<int32_t> stored, int32_t headerWidth) {
  headerWidth = std::max(headerWidth, 0);
  if (!stored || *stored < 0) return headerWidth / 2;
  return std::min(*stored, headerWidth);
}
