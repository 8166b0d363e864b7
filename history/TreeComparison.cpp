#include "history/TreeComparison.h"

#include "scan/Format.h"

#include <cmath>
#include <utility>
#include <vector>

TTreeComparison::TTreeComparison(TSnapshot older, const TTreeNode* root, const QString& rootPath)
    : older_(std::move(older)), rootPath_(rootPath) {
  Rebuild(root);
}

void TTreeComparison::Rebuild(const TTreeNode* root) {
  root_ = root;
  nodes_.clear();
  std::vector<const TTreeNode*> nodeOf;
  TSnapshot newer = SnapshotOfTree(root, &nodeOf);
  newer.Info.DrivePath = rootPath_;
  time_ = newer.Info.Time;
  result_ = CompareSnapshots(older_, newer);
  nodes_.reserve(nodeOf.size());
  // Every folder of the tree's side: the same unless the comparison lists it.
  for (size_t i = 0; i < nodeOf.size(); ++i) {
    const int64_t size = newer.Folders[i].Size;
    nodes_.emplace(nodeOf[i], TNodeChange{TChangeMark::Same, 0, size, size});
  }
  if (older_.Folders.empty()) return;
  for (const TFolderChange& c : result_.Changes) {
    if (c.NewIndex < 0 || static_cast<size_t>(c.NewIndex) >= nodeOf.size()) continue;
    TNodeChange& n = nodes_[nodeOf[static_cast<size_t>(c.NewIndex)]];
    n.Delta = c.Delta;
    n.OldSize = c.OldSize;
    n.NewSize = c.NewSize;
    n.Mark = c.Kind == TFolderChange::New ? TChangeMark::New : c.Delta > 0 ? TChangeMark::Grown : TChangeMark::Shrunk;
  }
}

const TNodeChange* TTreeComparison::ChangeOf(const TTreeNode* node) const {
  const auto it = nodes_.find(node);
  return it == nodes_.end() ? nullptr : &it->second;
}

TTreeComparison::TCounts TTreeComparison::Counts() const {
  TCounts counts;
  for (const TFolderChange& c : result_.Changes) {
    if (c.Kind == TFolderChange::New) ++counts.New;
    else if (c.Kind == TFolderChange::Gone) ++counts.Gone;
    else if (c.Delta > 0) ++counts.Grown;
    else ++counts.Shrunk;
  }
  return counts;
}

QString SignedSizeText(int64_t delta) {
  if (delta == 0) return FormatSize(0);
  // The magnitude of INT64_MIN does not fit: one byte less reads the same.
  const int64_t magnitude = delta < 0 ? (delta == INT64_MIN ? INT64_MAX : -delta) : delta;
  return (delta < 0 ? QLatin1Char('-') : QLatin1Char('+')) + FormatSize(magnitude);
}

QString ChangePercentText(int64_t delta, int64_t oldSize, bool gone) {
  if (gone) return QStringLiteral("gone");
  if (oldSize <= 0) return delta == 0 ? QStringLiteral("0.0%") : QStringLiteral("new");
  const double percent = 100.0 * static_cast<double>(delta) / static_cast<double>(oldSize);
  const QString number = QString::number(std::abs(percent), 'f', 1) + QLatin1Char('%');
  if (delta == 0) return number;
  return (delta < 0 ? QLatin1Char('-') : QLatin1Char('+')) + number;
}
