#pragma once
// Colour values as the program stores and draws them: 0x00BBGGRR (red in the low byte), or, when
// the high byte is 0xFF, a system colour whose index is the low byte (5 the window background, 24
// the tooltip background). The canvases resolve system colours through their palette.

#include <cstdint>

using TColor = uint32_t;

constexpr TColor RgbToColor(int red, int green, int blue) {
  return static_cast<uint32_t>(red & 0xFF) | static_cast<uint32_t>(green & 0xFF) << 8 |
         static_cast<uint32_t>(blue & 0xFF) << 16;
}
constexpr int RedOf(TColor color) { return static_cast<int>(color & 0xFFu); }
constexpr int GreenOf(TColor color) { return static_cast<int>((color >> 8) & 0xFFu); }
constexpr int BlueOf(TColor color) { return static_cast<int>((color >> 16) & 0xFFu); }

constexpr TColor SystemColor(int index) { return 0xFF000000u | (static_cast<uint32_t>(index) & 0xFFu); }
constexpr bool IsSystemColor(TColor color) { return (color >> 24) == 0xFFu; }
constexpr int SystemColorIndex(TColor color) { return static_cast<int>(color & 0xFFu); }

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clFuchsia = 0xFF00FF;

// System colours.
constexpr TColor clWindow = SystemColor(5);  // window background
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clInfoBk = SystemColor(24);  // tooltip background
