#pragma once
// The treemap as a picture: the map of a folder above a legend strip, painted with QPainter (the
// page and PNG files) or written as SVG, where every tile is one rect whose title holds the
// tile's drive path and bytes. Both draw the same tiles, colours and names.

#include "charts/TreemapColors.h"
#include "charts/TreemapLayout.h"

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

class QFontMetrics;
class QPainter;

struct TTreemapPicture {
  TTreemap Map;
  QSize Size;
  // The map fills the picture down to the legend strip (empty when the picture is too low for
  // one).
  QRect MapRect;
  QRect LegendRect;
  QFont Font;
};

// The font treemaps write their names in.
QFont TreemapFont();

// A picture of size pixels with room for the map and the legend, and no map yet.
TTreemapPicture TreemapPictureFrame(QSize size, const QFont& font = TreemapFont());
// The settings a map for picture is laid out with (the font's name strips).
TTreemapSettings TreemapPictureSettings(const TTreemapPicture& picture, const TTreemapSettings& settings);
// Lays out node's subtree for a picture of size pixels with the font's name strips.
TTreemapPicture MakeTreemapPicture(TTreeNode& node, QSize size, const TTreemapSettings& settings = {},
                                   const QFont& font = TreemapFont());

// A name to write on the picture, already shortened to fit.
struct TTreemapLabel {
  QPoint BaseLine;
  QString Text;
  int Tile = -1;
};
// The name of tile i when it fits (see TreemapLabels).
std::optional<TTreemapLabel> TreemapLabel(const TTreemapPicture& picture, const QFontMetrics& fm, int i);
// The names that fit: in the name strip of each divided folder, at the top left of each tile
// large enough to hold its name on a line.
std::vector<TTreemapLabel> TreemapLabels(const TTreemapPicture& picture);

// The colour frames and name strips are drawn in.
QColor TreemapFrameColor(const QColor& fill);

// Paints the whole picture: tiles, names, legend, or the note of an empty map. highlight is a
// tile drawn with a strong outline (the focused or hovered tile), -1 for none. The parts below
// paint the same in steps: the background (with the note of an empty map), then the tiles in
// their order, each with its name, then the highlight and the legend.
void PaintTreemap(QPainter& painter, const TTreemapPicture& picture, const ITreemapColoring& coloring,
                  int highlight = -1);
void PaintTreemapBackground(QPainter& painter, const TTreemapPicture& picture);
// Paints tiles from..to-1 that meet clip (a null clip: all of them) until budgetNs nanoseconds
// have passed; returns the index of the first tile not painted (to when all were).
size_t PaintTreemapTiles(QPainter& painter, const TTreemapPicture& picture, const ITreemapColoring& coloring, size_t from,
                         size_t to, const QRect& clip = QRect(), int64_t budgetNs = std::numeric_limits<int64_t>::max());
void PaintTreemapHighlight(QPainter& painter, const TTreemap& map, int tile);
void PaintTreemapLegend(QPainter& painter, const TTreemapPicture& picture, const ITreemapColoring& coloring);
QImage TreemapImage(const TTreemapPicture& picture, const ITreemapColoring& coloring);
// The SVG document; names and paths are escaped.
QByteArray TreemapSvg(const TTreemapPicture& picture, const ITreemapColoring& coloring);
// A tile's tooltip text: its drive path, then its bytes ("12,345 bytes").
QString TreemapTileTitle(const TTreemap& map, const TTreemapTile& tile);
