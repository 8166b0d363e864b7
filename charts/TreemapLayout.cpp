#include "charts/TreemapLayout.h"

#include "charts/FolderPieSections.h"
#include "charts/TreemapFiles.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace {

// The worst aspect ratio of a row of total area sum, smallest and largest areas, laid along a
// side of length side.
double Worst(double sum, double smallest, double largest, double side) {
  const double side2 = side * side;
  const double sum2 = sum * sum;
  return std::max(side2 * largest / sum2, sum2 / (side2 * smallest));
}

// Whole pixels by rounding each edge: two rectangles that share an edge keep sharing it, and a
// rectangle inside another stays inside it.
QRect PixelRect(const QRectF& r) {
  const int x0 = static_cast<int>(std::lround(r.left()));
  const int y0 = static_cast<int>(std::lround(r.top()));
  const int x1 = static_cast<int>(std::lround(r.right()));
  const int y1 = static_cast<int>(std::lround(r.bottom()));
  return QRect(x0, y0, x1 - x0, y1 - y0);
}

// A divided tile gets a name strip when it is at least three strips high.
bool HeaderFits(const TTreemap& map, const QRect& pixels) {
  return map.HeaderHeight > 0 && pixels.height() >= 3 * map.HeaderHeight;
}

QRect ContentOf(const TTreemap& map, const QRect& pixels, bool header) {
  QRect content = pixels.adjusted(map.Frame, map.Frame, -map.Frame, -map.Frame);
  if (header) content.setTop(content.top() + map.HeaderHeight);
  return content;
}

struct TItem {
  int64_t Value = 0;
  int64_t Bytes = 0;
  TTreeNode* Node = nullptr;
  bool Files = false;
  // A file's tile: its name's index in the builder's names.
  int32_t FileName = -1;
};

class TBuilder {
public:
  TBuilder(const TTreemapSettings& settings, TTreemap& map)
      : s_(settings), map_(map), minTile_(std::max(1, settings.MinTile)) {
    map_.Frame = std::max(1, s_.Frame);
    map_.HeaderHeight = std::max(0, s_.HeaderHeight);
  }

  int64_t FolderValue(const TFolderSize& rec) const {
    return rec.TotalSize + (s_.IncludeWasted ? TotalWastedAtIndex(rec, s_.ClusterIndex) : 0);
  }
  int64_t FilesValue(const TFolderSize& rec) const {
    return rec.FilesSize + (s_.IncludeWasted ? FilesWastedAtIndex(rec, s_.ClusterIndex) : 0);
  }

  // Lays out the children of tile i inside its frame, when there is room and something to show.
  void Divide(size_t i) {
    const TTreemapTile parent = map_.Tiles[i];
    if (parent.File || !parent.Node || !parent.Node->Data()) return;
    const TFolderSize& rec = *parent.Node->Data();
    const bool header = HeaderFits(map_, parent.Pixels);
    const QRect content = ContentOf(map_, parent.Pixels, header);
    if (content.width() < s_.MinDivide || content.height() < s_.MinDivide) return;

    items_.clear();
    if (parent.Files) {
      FileItems(parent, content);
      Place(i, content, header);
      return;
    }
    for (int c = 0; c < parent.Node->Count(); ++c) {
      TTreeNode* child = parent.Node->Child(c);
      // A folder the scan has not finished counts as empty, as in the pie.
      if (const TFolderSize* childRec = child->Data())
        if (const int64_t v = FolderValue(*childRec); v > 0) items_.push_back({v, childRec->TotalSize, child, false});
    }
    if (items_.empty()) {
      // A folder of files alone is one tile, the folder's own, unless its files are shown.
      FileItems(parent, content);
    } else if (const int64_t v = FilesValue(rec); v > 0) {
      items_.push_back({v, rec.FilesSize, parent.Node, true});
    }
    Place(i, content, header);
  }

private:
  // The items of the files of parent's folder, when they get tiles of their own: the parent's
  // figure shared out in proportion to the files' bytes.
  void FileItems(const TTreemapTile& parent, const QRect& content) {
    if (!s_.FileSource || content.width() < s_.MinFilesDivide || content.height() < s_.MinFilesDivide) return;
    const std::shared_ptr<const TTreemapListing> listing = s_.FileSource->Listing(*parent.Node);
    if (!listing) return;
    double total = static_cast<double>(listing->MoreBytes);
    for (const TTreemapFile& f : listing->Files) total += static_cast<double>(f.Bytes);
    if (total <= 0) return;
    const double scale = static_cast<double>(parent.Value) / total;
    auto add = [&](const QString& name, int64_t bytes) {
      if (bytes <= 0) return;
      const auto value = static_cast<int64_t>(std::llround(static_cast<double>(bytes) * scale));
      items_.push_back({std::max<int64_t>(value, 1), bytes, parent.Node, false, static_cast<int32_t>(map_.FileNames.size())});
      map_.FileNames.push_back(name);
    };
    for (const TTreemapFile& f : listing->Files) add(f.Name, f.Bytes);
    if (listing->MoreBytes > 0) add(QStringLiteral("(%1 more files)").arg(listing->MoreFiles), listing->MoreBytes);
  }

  // Lays items_ out inside content as the children of tile i.
  void Place(size_t i, const QRect& content, bool header) {
    if (items_.empty()) return;
    const TTreemapTile parent = map_.Tiles[i];
    std::stable_sort(items_.begin(), items_.end(), [](const TItem& a, const TItem& b) { return a.Value > b.Value; });

    sizes_.clear();
    for (const TItem& item : items_) sizes_.push_back(static_cast<double>(item.Value));
    const std::vector<QRectF> rects = SquarifyRects(sizes_, QRectF(content), 1.0);

    const auto first = static_cast<int32_t>(map_.Tiles.size());
    int32_t count = 0;
    for (size_t k = 0; k < items_.size(); ++k) {
      const QRect pixels = PixelRect(rects[k]);
      // Too small to be told apart: the parent's colour shows through.
      if (pixels.width() < minTile_ || pixels.height() < minTile_) continue;
      TTreemapTile tile;
      if (s_.KeepAreas) map_.Areas.push_back(rects[k]);
      tile.Pixels = pixels;
      tile.Value = items_[k].Value;
      tile.Bytes = items_[k].Bytes;
      tile.Node = items_[k].Node;
      tile.Parent = static_cast<int32_t>(i);
      tile.Depth = static_cast<int16_t>(parent.Depth + 1);
      tile.Files = items_[k].Files;
      if (items_[k].FileName >= 0) {
        tile.File = true;
        tile.FileName = items_[k].FileName;
      }
      map_.Tiles.push_back(tile);
      ++count;
    }
    if (count == 0) return;
    TTreemapTile& divided = map_.Tiles[i];
    divided.FirstChild = first;
    divided.ChildCount = count;
    divided.HasHeader = header;
    // The depth colours count folders only.
    if (items_.front().FileName < 0) map_.MaxDepth = std::max(map_.MaxDepth, parent.Depth + 1);
  }

  const TTreemapSettings s_;
  TTreemap& map_;
  const int minTile_;
  std::vector<TItem> items_;
  std::vector<double> sizes_;
};

}  // namespace

std::vector<QRectF> SquarifyRects(const std::vector<double>& sizes, const QRectF& rect, double minArea) {
  const size_t n = sizes.size();
  std::vector<QRectF> out(n);
  double total = 0;
  for (const double v : sizes) total += v;
  if (total <= 0 || rect.width() <= 0 || rect.height() <= 0) return out;
  const double scale = rect.width() * rect.height() / total;

  double x = rect.left();
  double y = rect.top();
  double w = rect.width();
  double h = rect.height();
  size_t i = 0;
  while (i < n && w > 0 && h > 0) {
    // What is left is too small to show anything.
    if (w * h < minArea) break;
    const double side = std::min(w, h);
    double rowSum = sizes[i] * scale;
    double smallest = rowSum;
    double largest = rowSum;
    double worst = Worst(rowSum, smallest, largest, side);
    size_t j = i + 1;
    for (; j < n; ++j) {
      const double a = sizes[j] * scale;
      const double sum = rowSum + a;
      const double lo = std::min(smallest, a);
      const double hi = std::max(largest, a);
      const double next = Worst(sum, lo, hi, side);
      if (next > worst) break;
      rowSum = sum;
      smallest = lo;
      largest = hi;
      worst = next;
    }
    const bool lastRow = j == n;
    if (w >= h) {
      // A column along the left side, as high as what is left.
      const double thickness = lastRow ? w : std::min(w, rowSum / h);
      double top = y;
      for (size_t k = i; k < j; ++k) {
        const double bottom = k + 1 == j ? y + h : top + sizes[k] * scale / thickness;
        out[k] = QRectF(QPointF(x, top), QPointF(x + thickness, bottom));
        top = bottom;
      }
      x += thickness;
      w -= thickness;
    } else {
      // A row along the top, as wide as what is left.
      const double thickness = lastRow ? h : std::min(h, rowSum / w);
      double left = x;
      for (size_t k = i; k < j; ++k) {
        const double right = k + 1 == j ? x + w : left + sizes[k] * scale / thickness;
        out[k] = QRectF(QPointF(left, y), QPointF(right, y + thickness));
        left = right;
      }
      y += thickness;
      h -= thickness;
    }
    i = j;
  }
  return out;
}

class TTreemapBuilder::TImpl {
public:
  TImpl(TTreemap& into, TTreeNode& node, QSize size, const TTreemapSettings& settings)
      : map(Cleared(into)), builder(settings, map) {
    if (settings.FileSource) settings.FileSource->BeginMap();
    map.Size = size;
    const TFolderSize* rec = node.Data();
    if (!rec) {
      map.Note = QString::fromLatin1(TreemapNotScannedNote);
      return;
    }
    const int64_t value = builder.FolderValue(*rec);
    if (value <= 0) {
      map.Note = QString::fromLatin1(TreemapEmptyNote);
      return;
    }
    if (size.width() <= 0 || size.height() <= 0) return;
    TTreemapTile root;
    root.Pixels = QRect(0, 0, size.width(), size.height());
    root.Value = value;
    root.Bytes = rec->TotalSize;
    root.Node = &node;
    if (settings.KeepAreas) map.Areas.emplace_back(0, 0, size.width(), size.height());
    map.Tiles.reserve(1024);
    map.Tiles.push_back(root);
  }

  static TTreemap& Cleared(TTreemap& m) {
    m = TTreemap{};
    return m;
  }

  TTreemap& map;
  TBuilder builder;
  // Breadth first, so that the children of each tile follow one another.
  size_t next = 0;
};

TTreemapBuilder::TTreemapBuilder(TTreemap& map, TTreeNode& node, QSize size, const TTreemapSettings& settings)
    : impl_(std::make_unique<TImpl>(map, node, size, settings)) {}

TTreemapBuilder::~TTreemapBuilder() = default;

bool TTreemapBuilder::Step(int64_t budgetNs) {
  TImpl& d = *impl_;
  const auto start = std::chrono::steady_clock::now();
  // The clock is read after every tile: a tile whose files are read from the disk may take long.
  while (d.next < d.map.Tiles.size()) {
    d.builder.Divide(d.next++);
    if (std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count() >= budgetNs) break;
  }
  return Done();
}

bool TTreemapBuilder::Done() const { return impl_->next >= impl_->map.Tiles.size(); }
size_t TTreemapBuilder::Finished() const { return impl_->next; }

TTreemap BuildTreemap(TTreeNode& node, QSize size, const TTreemapSettings& settings) {
  TTreemap map;
  TTreemapBuilder builder(map, node, size, settings);
  builder.Step(std::numeric_limits<int64_t>::max());
  return map;
}

int TTreemap::TileAt(QPoint p) const {
  if (Tiles.empty() || !Tiles[0].Pixels.contains(p)) return -1;
  int at = 0;
  for (;;) {
    const TTreemapTile& t = Tiles[static_cast<size_t>(at)];
    int next = -1;
    for (int32_t c = t.FirstChild; c >= 0 && c < t.FirstChild + t.ChildCount; ++c)
      if (Tiles[static_cast<size_t>(c)].Pixels.contains(p)) {
        next = c;
        break;
      }
    if (next < 0) return at;
    at = next;
  }
}

std::vector<int> TTreemap::Ancestry(int i) const {
  std::vector<int> path;
  for (int at = i; at >= 0 && at < static_cast<int>(Tiles.size()); at = Tiles[static_cast<size_t>(at)].Parent)
    path.push_back(at);
  std::reverse(path.begin(), path.end());
  return path;
}

QRect TTreemap::Content(const TTreemapTile& tile) const {
  return tile.ChildCount > 0 ? ContentOf(*this, tile.Pixels, tile.HasHeader) : QRect();
}

QString TTreemap::FileName(const TTreemapTile& tile) const {
  return tile.File && tile.FileName >= 0 && static_cast<size_t>(tile.FileName) < FileNames.size()
             ? FileNames[static_cast<size_t>(tile.FileName)]
             : QString();
}

QString TreemapTilePath(const TTreemap& map, const TTreemapTile& tile) {
  const QString path = NodePath(tile.Node);
  if (tile.File) {
    const QString name = map.FileName(tile);
    return path.endsWith(QLatin1Char('\\')) ? path + name : path + QLatin1Char('\\') + name;
  }
  if (!tile.Files) return path;
  return path + QStringLiteral(" (") + QLatin1String(FilesInThisFolderText) + QLatin1Char(')');
}

QString TreemapTileName(const TTreemap& map, const TTreemapTile& tile) {
  if (tile.File) return map.FileName(tile);
  if (tile.Files) return QString::fromLatin1(FilesInThisFolderText);
  return tile.Node ? tile.Node->Text() : QString();
}
