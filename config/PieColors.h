#pragma once
// The 18 colours of the pie, the section-size gauges and the tree bar chart, and their stored
// form.
// (Colour values: platform/Color.h.)

#include "platform/Color.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>

constexpr int PieColorCount = 18;
using TPieColorTable = std::array<TColor, PieColorCount>;

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
