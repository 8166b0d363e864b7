#include "charts/TreemapColors.h"

#include "charts/FolderPieSections.h"
#include "scan/FileCensus.h"

#include <QHash>

#include <cstdint>

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

QString TDepthColoring::FileType(const QString& name) {
  const QByteArray utf8 = name.toUtf8();
  return FileExtensionOf(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QColor TDepthColoring::TypeColor(const QString& type) {
  if (type == QLatin1String(NoExtensionText)) return QColor(qRgb(170, 170, 170));
  // A hue from the type's name (stable across runs and maps), in the strong colours that set
  // files apart from the soft folder colours.
  // FNV-1a over the UTF-16 units: the same in every run (qHash is seeded per process).
  uint64_t hash = 1469598103934665603ull;
  for (const QChar c : type) hash = (hash ^ c.unicode()) * 1099511628211ull;
  const int hue = static_cast<int>(hash % 360);
  const int saturation = 150 + static_cast<int>((hash / 360) % 80);
  const int value = 190 + static_cast<int>((hash / 28800) % 50);
  return QColor::fromHsv(hue, saturation, value);
}

QColor TDepthColoring::TileColor(const TTreemap& map, const TTreemapTile& tile) const {
  if (tile.File) return TypeColor(FileType(map.FileName(tile)));
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
  const bool filesTiles = std::any_of(map.Tiles.begin(), map.Tiles.end(), [](const TTreemapTile& t) { return t.Files; });
  const bool fileTiles = std::any_of(map.Tiles.begin(), map.Tiles.end(), [](const TTreemapTile& t) { return t.File; });
  if (!map.Empty() && (filesTiles || !fileTiles)) legend.push_back({FilesColor(), QString::fromLatin1(FilesInThisFolderText)});
  // The types of the files shown one by one, largest area first.
  QHash<QString, double> areas;
  for (const TTreemapTile& t : map.Tiles)
    if (t.File) areas[FileType(map.FileName(t))] += static_cast<double>(t.Pixels.width()) * t.Pixels.height();
  std::vector<std::pair<QString, double>> types;
  for (auto it = areas.cbegin(); it != areas.cend(); ++it) types.emplace_back(it.key(), it.value());
  std::sort(types.begin(), types.end(), [](const auto& a, const auto& b) { return a.second != b.second ? a.second > b.second : a.first < b.first; });
  for (size_t k = 0; k < types.size() && k < static_cast<size_t>(LegendTypeCount); ++k)
    legend.push_back({TypeColor(types[k].first), types[k].first});
  if (types.size() > static_cast<size_t>(LegendTypeCount)) legend.push_back({QColor(qRgb(150, 150, 150)), QStringLiteral("%1 other types").arg(types.size() - LegendTypeCount)});
  return legend;
}
