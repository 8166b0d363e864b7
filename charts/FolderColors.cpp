#include "charts/FolderColors.h"

const std::array<TColor, FolderPaletteSize> FolderPalette = {
    RgbToColor(0xE6, 0x9F, 0x00),  // orange
    RgbToColor(0x56, 0xB4, 0xE9),  // sky blue
    RgbToColor(0x00, 0x9E, 0x73),  // bluish green
    RgbToColor(0x00, 0x72, 0xB2),  // blue
    RgbToColor(0xD5, 0x5E, 0x00),  // vermilion
    RgbToColor(0xCC, 0x79, 0xA7),  // reddish purple
};

TColor FolderColor(int rank) { return FolderPalette[static_cast<size_t>((rank < 0 ? 0 : rank) % FolderPaletteSize)]; }

TColor SliceColor(const TPieSlice& slice, const TPieColorTable& colors, bool colorEachFolder) {
  if (colorEachFolder && slice.FolderRank >= 0) return FolderColor(slice.FolderRank);
  return colors[static_cast<size_t>(slice.ColorIndex)];
}
