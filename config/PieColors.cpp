#include "config/PieColors.h"

#include <QtEndian>

const TPieColorTable DefaultPieColors = {
    clWindow,  // Pie - Background
    0x000000,                        // Pie - Lines: black
    0x00FF00,                        // Pie - Normal Folder: green
    0x00FFFF,                        // Pie - Files in current folder: yellow
    0xC6FFC6,                        // Pie - Other folders: pale green
    0xFFFF00,                        // Pie - File: cyan
    0x00FFFF,                        // Pie - Other files: yellow
    clInfoBk,  // Pie - Text rect background
    0x000000,                        // Pie - Text rect lines
    0x000000,                        // Pie - Text
    0x00FFFF,                        // Pie - Text rect background (highlighted): yellow
    0x000000,                        // Pie - Text rect lines (highlighted)
    0x000000,                        // Pie - Text (highlighted)
    clWindow,  // Not scanned panel
    0x00FF00,                        // Pie - Section Size: green
    0x0000FF,                        // Pie - Section Wasted: red
    0x00FF00,                        // Pie - Free space: green
    0x0000FF,                        // Tree Bar Chart - Bars Color: red
};

const std::array<const char*, PieColorCount> PieColorNames = {
    "Pie - Background",
    "Pie - Lines",
    "Pie - Normal Folder",
    "Pie - Files in current folder",
    "Pie - Other folders",
    "Pie - File",
    "Pie - Other files",
    "Pie - Text rect background",
    "Pie - Text rect lines",
    "Pie - Text",
    "Pie - Text rect background (highlighted)",
    "Pie - Text rect lines (highlighted)",
    "Pie - Text (highlighted)",
    "Not scanned panel",
    "Pie - Section Size",
    "Pie - Section Wasted",
    "Pie - Free space",
    "Tree Bar Chart - Bars Color",
};

QByteArray PieColorsToBytes(const TPieColorTable& colors) {
  QByteArray bytes(PieColorBytes, '\0');
  for (int i = 0; i < PieColorCount; ++i) qToLittleEndian<uint32_t>(colors[static_cast<size_t>(i)], bytes.data() + 4 * i);
  return bytes;
}

std::optional<TPieColorTable> PieColorsFromBytes(const QByteArray& bytes) {
  if (bytes.size() != PieColorBytes) return std::nullopt;
  TPieColorTable colors{};
  for (int i = 0; i < PieColorCount; ++i) colors[static_cast<size_t>(i)] = qFromLittleEndian<uint32_t>(bytes.constData() + 4 * i);
  return colors;
}
