#include "ui/main/WindowPlacement.h"

#include "config/FormPlacement.h"
#include "config/RegIniFile.h"

#include <algorithm>

QRect FirstStartGeometry(const QRect& available, const QSize& minimum) {
  const QSize size =
      QSize(available.width() * 2 / 3, available.height() * 2 / 3).expandedTo(minimum).boundedTo(available.size());
  const int width = size.width();
  const int height = size.height();
  return {available.x() + (available.width() - width) / 2, available.y() + (available.height() - height) / 2, width,
          height};
}

bool WindowSizeStored(const QString& keyPath, const QString& section) {
  const TRegIniFile regIni(keyPath);
  return regIni.ReadInteger(section, PlacementWidth, PlacementNotStored) != PlacementNotStored &&
         regIni.ReadInteger(section, PlacementHeight, PlacementNotStored) != PlacementNotStored;
}

int LoadTreeShare(const QString& keyPath, const QString& section) {
  const int32_t share = TRegIniFile(keyPath).ReadInteger(section, PlacementTreeShare, PlacementNotStored);
  return share >= MinTreeShare && share <= MaxTreeShare ? share : DefaultTreeShare;
}

void SaveTreeShare(int share, const QString& keyPath, const QString& section) {
  TRegIniFile regIni(keyPath);
  regIni.WriteInteger(section, PlacementTreeShare, std::clamp(share, MinTreeShare, MaxTreeShare));
  regIni.Close();
}

int TreeShareOf(int first, int second) {
  const int total = first + second;
  if (total <= 0) return DefaultTreeShare;
  const int share = static_cast<int>((static_cast<long long>(first) * 1000 + total / 2) / total);
  return std::clamp(share, MinTreeShare, MaxTreeShare);
}

QList<int> SplitByTreeShare(int width, int share) {
  width = std::max(width, 0);
  const int first = static_cast<int>((static_cast<long long>(width) * std::clamp(share, MinTreeShare, MaxTreeShare) + 500) / 1000);
  return {first, width - first};
}
