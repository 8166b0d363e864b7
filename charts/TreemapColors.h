#pragma once
// How the tiles of a treemap are coloured, with the legend that explains it. Colouring by depth is
// the one built in; another colouring (by file type, for example) plugs in through the same
// interface.

#include "charts/TreemapLayout.h"

#include <QColor>
#include <QString>

#include <vector>

struct TTreemapLegendEntry {
  QColor Color;
  QString Text;
};

class ITreemapColoring {
public:
  virtual ~ITreemapColoring() = default;
  // The fill of a tile; frames and name strips are drawn a shade darker.
  virtual QColor TileColor(const TTreemap& map, const TTreemapTile& tile) const = 0;
  // What the colours of this map mean, in the order the legend lists them.
  virtual std::vector<TTreemapLegendEntry> Legend(const TTreemap& map) const = 0;
};

// Subfolders by their depth below the mapped folder (the colours repeat after DepthColorCount
// levels); the files of a folder, when they are one tile, in a neutral colour; a file's own tile
// by its type (the extension, as the file types list counts it), the same type in the same
// colour in every map.
class TDepthColoring : public ITreemapColoring {
public:
  static constexpr int DepthColorCount = 8;
  // The legend names at most this many types (those with the largest area), then "Other types".
  static constexpr int LegendTypeCount = 8;
  static QColor DepthColor(int depth);
  static QColor FilesColor();
  // The type of a file's name, and its colour.
  static QString FileType(const QString& name);
  static QColor TypeColor(const QString& type);

  QColor TileColor(const TTreemap& map, const TTreemapTile& tile) const override;
  std::vector<TTreemapLegendEntry> Legend(const TTreemap& map) const override;
};
