#pragma once
// The 18 colours of the pie, the section-size gauges and the tree bar chart, and their stored
// form.
//
// A colour is a 32-bit value 0x00BBGGRR (red in the low byte), or, when its high byte is 0xFF, a
// system colour whose index is in the low byte (5 the window background, 24 the tooltip
// background).

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>

constexpr int PieColorCount = 18;
using TPieColorTable = std::array<uint32_t, PieColorCount>;

constexpr int SystemColorWindow = 5;
constexpr int SystemColorInfoBk = 24;

constexpr uint32_t SystemColor(int index) { return 0xFF000000u | (static_cast<uint32_t>(index) & 0xFFu); }
constexpr bool IsSystemColor(uint32_t color) { return (color >> 24) == 0xFFu; }
constexpr int SystemColorIndex(uint32_t color) { return static_cast<int>(color & 0xFFu); }
constexpr uint32_t RgbColor(int red, int green, int blue) {
  return (static_cast<uint32_t>(red) & 0xFFu) | ((static_cast<uint32_t>(green) & 0xFFu) << 8) |
         ((static_cast<uint32_t>(blue) & 0xFFu) << 16);
}
constexpr int RedOf(uint32_t color) { return static_cast<int>(color & 0xFFu); }
constexpr int GreenOf(uint32_t color) { return static_cast<int>((color >> 8) & 0xFFu); }
constexpr int BlueOf(uint32_t color) { return static_cast<int>((color >> 16) & 0xFFu); }

// Entries of the table.
enum TPieColorIndex : int {
  pcBackground = 0,
  pcLines = 1,
  pcNormalFolder = 2,
  pcFilesInCurrentFolder = 3,
  pcOtherFolders = 4,
  pcFile = 5,
  pcOtherFiles = 6,
  pcTextRectBackground = 7,
  pcTextRectLines = 8,
  pcText = 9,
  pcTextRectBackgroundHighlighted = 10,
  pcTextRectLinesHighlighted = 11,
  pcTextHighlighted = 12,
  pcNotScannedPanel = 13,
  pcSectionSize = 14,
  pcSectionWasted = 15,
  pcFreeSpace = 16,
  pcBarChartBars = 17,
};

extern const TPieColorTable DefaultPieColors;
// The names the options dialog lists the entries by ("Pie - Background", ...).
extern const std::array<const char*, PieColorCount> PieColorNames;

// Stored form: the 18 colours, 4 bytes each, little-endian, in table order (72 bytes).
constexpr int PieColorBytes = PieColorCount * 4;
QByteArray PieColorsToBytes(const TPieColorTable& colors);
// None unless bytes holds exactly 72 bytes.
std::optional<TPieColorTable> PieColorsFromBytes(const QByteArray& bytes);
