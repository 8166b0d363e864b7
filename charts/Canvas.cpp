#include "charts/Canvas.h"

#include <QColor>
#include <QFontMetrics>

const char* const DefaultFontName = "DejaVu Sans";

TSystemPalette TSystemPalette::Default() {
  static constexpr std::array<TColor, Count> Classic = {
      RgbToColor(212, 208, 200),  // 0 scroll bar
      RgbToColor(58, 110, 165),   // 1 desktop
      RgbToColor(10, 36, 106),    // 2 active caption
      RgbToColor(128, 128, 128),  // 3 inactive caption
      RgbToColor(212, 208, 200),  // 4 menu
      RgbToColor(255, 255, 255),  // 5 window background
      RgbToColor(0, 0, 0),        // 6 window frame
      RgbToColor(0, 0, 0),        // 7 menu text
      RgbToColor(0, 0, 0),        // 8 window text
      RgbToColor(255, 255, 255),  // 9 caption text
      RgbToColor(212, 208, 200),  // 10 active border
      RgbToColor(212, 208, 200),  // 11 inactive border
      RgbToColor(128, 128, 128),  // 12 application workspace
      RgbToColor(10, 36, 106),    // 13 highlight
      RgbToColor(255, 255, 255),  // 14 highlighted text
      RgbToColor(212, 208, 200),  // 15 button face
      RgbToColor(128, 128, 128),  // 16 button shadow
      RgbToColor(128, 128, 128),  // 17 grey text
      RgbToColor(0, 0, 0),        // 18 button text
      RgbToColor(212, 208, 200),  // 19 inactive caption text
      RgbToColor(255, 255, 255),  // 20 button highlight
      RgbToColor(64, 64, 64),     // 21 3-D dark shadow
      RgbToColor(212, 208, 200),  // 22 3-D light
      RgbToColor(0, 0, 0),        // 23 tooltip text
      RgbToColor(255, 255, 225),  // 24 tooltip background
      RgbToColor(181, 181, 181),  // 25 (unused)
      RgbToColor(0, 0, 128),      // 26 hot-tracked item
      RgbToColor(166, 202, 240),  // 27 active caption gradient
      RgbToColor(192, 192, 192),  // 28 inactive caption gradient
      RgbToColor(49, 106, 197),   // 29 menu highlight
      RgbToColor(236, 233, 216),  // 30 menu bar
  };
  TSystemPalette palette;
  palette.colors_ = Classic;
  return palette;
}

TColor TSystemPalette::Rgb(int index) const {
  if (index < 0 || index >= Count) return clBlack;
  return colors_[static_cast<size_t>(index)];
}

void TSystemPalette::SetRgb(int index, TColor rgb) {
  if (index < 0 || index >= Count) return;
  colors_[static_cast<size_t>(index)] = rgb & 0xFFFFFF;
}

namespace {

TSystemPalette& CurrentPalette() {
  static TSystemPalette palette = TSystemPalette::Default();
  return palette;
}

}  // namespace

const TSystemPalette& SystemPalette() { return CurrentPalette(); }

void SetSystemPalette(const TSystemPalette& palette) { CurrentPalette() = palette; }

TColor ColorToRgb(TColor color) {
  if (IsSystemColor(color)) return SystemPalette().Rgb(SystemColorIndex(color));
  return color & 0xFFFFFF;
}

QColor ColorToQColor(TColor color) {
  const TColor rgb = ColorToRgb(color);
  return QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

QFont TFont::ToQFont() const {
  QFont font(Name);
  font.setPixelSize(PixelSize > 0 ? PixelSize : DefaultFontPixelSize);
  font.setBold(Bold);
  font.setItalic(Italic);
  if (!Antialiased) font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

void TCanvas::MoveTo(int x, int y) { penPos_ = QPoint(x, y); }

int TCanvas::TextWidth(const QString& text) const {
  return QFontMetrics(Font.ToQFont()).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString&) const { return QFontMetrics(Font.ToQFont()).height(); }

std::optional<QImage> TCanvas::ReadPixels(const TRect&) const { return std::nullopt; }
