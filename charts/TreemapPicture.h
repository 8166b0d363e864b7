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

#include <vector>

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

// Lays out node's subtree for a picture of size pixels with the font's name strips.
TTreemapPicture MakeTreemapPicture(TTreeNode& node, QSize size, const TTreemapSettings& settings = {},
                                   const QFont& font = TreemapFont());

// A name to write on the picture, already shortened to fit.
struct TTreemapLabel {
  QPoint BaseLine;
  QString Text;
  int Tile = -1;
};
// The names that fit: in the name strip of each divided folder, at the top left of each tile
// large enough to hold its name on a line.
std::vector<TTreemapLabel> TreemapLabels(const TTreemapPicture& picture);

// The colour frames and name strips are drawn in.
QColor TreemapFrameColor(const QColor& fill);

// Paints the whole picture: tiles, names, legend, or the note of an empty map. highlight is a
// tile drawn with a strong outline (the focused or hovered tile), -1 for none.
void PaintTreemap(QPainter& painter, const TTreemapPicture& picture, const ITreemapColoring& coloring,
                  int highlight = -1);
QImage TreemapImage(const TTreemapPicture& picture, const ITreemapColoring& coloring);
// The SVG document; names and paths are escaped.
QByteArray TreemapSvg(const TTreemapPicture& picture, const ITreemapColoring& coloring);
// A tile's tooltip text: its drive path, then its bytes ("12,345 bytes").
QString TreemapTileTitle(const TTreemapTile& tile);
