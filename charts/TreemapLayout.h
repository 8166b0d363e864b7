#pragma once
// The treemap of a folder: its subtree as nested rectangles, each subfolder a rectangle whose area
// is its share of its parent's size (the figure the pie uses), the files of each folder one tile
// of their own, or (when a file source is given and the folder's rectangle is large enough) one
// tile per file, read from the disk on demand. Squarified layout (Bruls, Huizing and van Wijk, 2000): each row of rectangles is
// laid along the shorter side of what is left, and a rectangle joins the row only while that
// does not worsen the row's worst aspect ratio. Widget-free: the page, the pictures and the tests
// use the same tiles.

#include <QRect>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class ITreemapFileSource;
class TTreeNode;

// The squarified rectangles of sizes (sorted largest first by the caller, all > 0) in rect; the
// areas are in proportion to the sizes and fill the rectangle. Items whose share is below
// minArea square pixels at the end of the list are left out (their rectangles are empty).
std::vector<QRectF> SquarifyRects(const std::vector<double>& sizes, const QRectF& rect, double minArea = 0);

struct TTreemapSettings {
  // Tiles measure size plus wasted space rather than size alone (as the pie's setting).
  bool IncludeWasted = false;
  // The cluster-size selector's index the wasted figures are taken at.
  int32_t ClusterIndex = 0;
  // A folder tile is divided into its subfolders only while the room inside its frame is at least
  // this many pixels in both directions.
  int MinDivide = 4;
  // Height of the name strip at the top of a folder tile that is divided (0: none); only tiles at
  // least three strips high get one.
  int HeaderHeight = 0;
  // Pixels of frame on each side of a divided folder tile (at least 1).
  int Frame = 1;
  // A tile needs at least this many whole pixels in both directions to be shown; what is
  // smaller leaves its parent's colour (at least 1).
  int MinTile = 2;
  // Where the files of a folder are read from when its files get tiles of their own; null: the
  // files of a folder are always one tile.
  ITreemapFileSource* FileSource = nullptr;
  // The room a folder's files need (both directions, in pixels) to be shown one by one.
  int MinFilesDivide = 24;
  // Keep each tile's exact rectangle in TTreemap::Areas (for checking the layout).
  bool KeepAreas = false;
};

// One tile, kept small (a map holds up to one tile a pixel): the exact rectangle and the room
// for the children are not stored (see TTreemap::Areas and TTreemap::Content), a file's name is
// in the map's side table.
struct TTreemapTile {
  // Where the tile lies as whole pixels (edges rounded from the exact rectangle, so that
  // neighbours share their edges and never overlap).
  QRect Pixels;
  // The figure the area stands for, and the bytes alone.
  int64_t Value = 0;
  int64_t Bytes = 0;
  // The folder, or for a files tile (and a file's tile) the folder whose own files it stands for.
  TTreeNode* Node = nullptr;
  int32_t Parent = -1;
  // The children follow one another in Tiles.
  int32_t FirstChild = -1;
  int32_t ChildCount = 0;
  // A file's tile: its name's index in TTreemap::FileNames (for the files a listing left out:
  // how many they are), else -1.
  int32_t FileName = -1;
  int16_t Depth = 0;
  bool Files = false;
  // One file of Node (or the rest of its files, see FileName).
  bool File = false;
  bool HasHeader = false;
};

struct TTreemap {
  // Tiles[0] is the folder itself (when there is anything to map); children follow their parent
  // breadth-first.
  std::vector<TTreemapTile> Tiles;
  // The names of the file tiles.
  std::vector<QString> FileNames;
  // The exact rectangle of each tile (same index as Tiles); only filled when the settings ask
  // for it (KeepAreas).
  std::vector<QRectF> Areas;
  QSize Size;
  // Why the map is empty ("This folder holds no bytes."), else empty.
  QString Note;
  int MaxDepth = 0;
  // The frame and name strip the divided tiles were laid out with.
  int Frame = 1;
  int HeaderHeight = 0;

  bool Empty() const { return Tiles.empty(); }
  // The deepest tile under the point, or -1.
  int TileAt(QPoint p) const;
  // The path of tiles from the root down to tile i.
  std::vector<int> Ancestry(int i) const;
  // Where a divided tile's children lie (inside the frame and below the name strip); empty when
  // the tile is not divided.
  QRect Content(const TTreemapTile& tile) const;
  // A file tile's name, else empty.
  QString FileName(const TTreemapTile& tile) const;
};

// Lays out a treemap a few tiles at a time, breadth-first, so that a large map can be built in
// slices between other work: tiles below Finished() are final (divided or not), later ones may
// still be divided. The node's subtree must not lose folders while the builder runs, and map
// must stay where it is (it is filled in place).
class TTreemapBuilder {
public:
  TTreemapBuilder(TTreemap& map, TTreeNode& node, QSize size, const TTreemapSettings& settings);
  ~TTreemapBuilder();
  TTreemapBuilder(const TTreemapBuilder&) = delete;
  TTreemapBuilder& operator=(const TTreemapBuilder&) = delete;

  // Divides the next tiles until all are done or budgetNs nanoseconds have passed (at least
  // one tile each call); true when the map is complete.
  bool Step(int64_t budgetNs);
  bool Done() const;
  size_t Finished() const;

private:
  class TImpl;
  std::unique_ptr<TImpl> impl_;
};

inline constexpr char TreemapEmptyNote[] = "This folder holds no bytes: there is nothing to map.";
inline constexpr char TreemapNotScannedNote[] = "This folder has not been scanned yet.";

// The treemap of node's subtree in a picture of size pixels.
TTreemap BuildTreemap(TTreeNode& node, QSize size, const TTreemapSettings& settings = {});

// The drive path a tile stands for: the folder's path, for a files tile followed by the files
// caption ("C:\usr (Files in this folder)"), for a file's tile the file's path.
QString TreemapTilePath(const TTreemap& map, const TTreemapTile& tile);
// The name written on a tile: the folder's or the file's name, or the files caption.
QString TreemapTileName(const TTreemap& map, const TTreemapTile& tile);
