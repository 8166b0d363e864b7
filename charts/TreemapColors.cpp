#include "charts/TreemapColors.h"

#include "charts/FolderPieSections.h"

#include <algorithm>
#include <array>

QColor TDepthColoring::DepthColor(int depth) {
  // Soft colours far enough apart in hue that neighbouring levels never look alike.
  static constexpr std::array<QRgb, DepthColorCount> Colors = {
      qRgb(116, 160, 219),  // blue
      qRgb(130, 196, 120),  // green
      qRgb(240, 176, 92),   // orange
      qRgb(176, 138, 214),  // violet
      qRgb(96, 192, 186),   // teal
      qRgb(228, 124, 124),  // red
      qRgb(214, 206, 98),   // olive yellow
      qRgb(222, 142, 190),  // pink
  };
  if (depth <= 0) return QColor(qRgb(232, 232, 232));
  return QColor(Colors[static_cast<size_t>((depth - 1) % DepthColorCount)]);
}

QColor TDepthColoring::FilesColor() { return QColor(qRgb(200, 200, 196)); }

QColor TDepthColoring::TileColor(const TTreemap&, const TTreemapTile& tile) const {
  return tile.Files ? FilesColor() : DepthColor(tile.Depth);
}

std::vector<TTreemapLegendEntry> TDepthColoring::Legend(const TTreemap& map) const {
  std::vector<TTreemapLegendEntry> legend;
  const int levels = std::min(map.MaxDepth, static_cast<int>(DepthColorCount));
  for (int d = 1; d <= levels; ++d) {
    QString text = QStringLiteral("Level %1").arg(d);
    // Deeper levels take the colours again from the first.
    for (int again = d + DepthColorCount; again <= map.MaxDepth; again += DepthColorCount)
      text += QStringLiteral(", %1").arg(again);
    legend.push_back({DepthColor(d), text});
  }
  if (!map.Empty()) legend.push_back({FilesColor(), QString::fromLatin1(FilesInThisFolderText)});
  return legend;
}
