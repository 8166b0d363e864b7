#pragma once
// The drawing interface shared by the pie engine, the pie gauge and the picture writers: colours
// as 32-bit values with system colours resolved through a palette, pen, brush and font state, and
// the handful of shape, text and raster operations these clients use. Coordinates are whole
// pixels; rectangles include their left and top edges and exclude their right and bottom ones.

#include "platform/Color.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// The colours behind the system colour indexes 0..30.
class TSystemPalette {
public:
  static constexpr int Count = 31;
  // The classic desktop scheme: white windows, black frames and text, grey buttons, pale yellow
  // tooltips.
  static TSystemPalette Default();

  // 0x00BBGGRR of a system colour; black for an index the palette does not have.
  TColor Rgb(int index) const;
  void SetRgb(int index, TColor rgb);

private:
  std::array<TColor, Count> colors_{};
};

// The palette every canvas resolves system colours through.
const TSystemPalette& SystemPalette();
void SetSystemPalette(const TSystemPalette& palette);

// A colour as plain 0x00BBGGRR, system colours resolved through the palette.
TColor ColorToRgb(TColor color);
QColor ColorToQColor(TColor color);

enum class TPenStyle { Solid, Clear };
enum class TBrushStyle { Solid, Clear };
// What a raster copy does with the destination: take the source, paint black, or combine the
// source into the destination by exclusive or.
enum class TCopyMode { SrcCopy, Blackness, SrcInvert };

struct TPen {
  TColor Color = clBlack;
  TPenStyle Style = TPenStyle::Solid;
  int Width = 1;
  bool operator==(const TPen&) const = default;
};

struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::Solid;
  bool operator==(const TBrush&) const = default;
};

// The family every canvas starts with: a small sans-serif face that the set-up installs.
extern const char* const DefaultFontName;
constexpr int DefaultFontPixelSize = 11;

struct TFont {
  QString Name = QString::fromLatin1(DefaultFontName);
  // Character (em) height in pixels.
  int PixelSize = DefaultFontPixelSize;
  bool Bold = false;
  bool Italic = false;
  TColor Color = clBlack;
  // Off for text that is combined by exclusive or, where grey edge pixels would turn to noise.
  bool Antialiased = true;

  QFont ToQFont() const;
  bool operator==(const TFont&) const = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  bool operator==(const TRect&) const = default;
};

class TBitmap;

class TCanvas {
public:
  TCanvas() = default;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  virtual ~TCanvas() = default;

  TPen Pen;
  TBrush Brush;
  TFont Font;
  TCopyMode CopyMode = TCopyMode::SrcCopy;

  QPoint PenPos() const { return penPos_; }

  // Fills the rectangle with the brush (nothing when the brush is clear); no outline.
  virtual void FillRect(const TRect& rect) = 0;
  // The ellipse inside the bounding rectangle, filled with the brush and outlined with the pen.
  virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
  // The sector of the ellipse in (x1, y1, x2, y2) that runs counter-clockwise from the ray
  // through (x3, y3) to the ray through (x4, y4), both rays from the ellipse's centre; the same
  // ray twice gives the whole ellipse. Filled with the brush, outline and radii with the pen.
  virtual void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) = 0;
  virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
  virtual void MoveTo(int x, int y);
  // A line from the pen position to (x, y), which becomes the pen position.
  virtual void LineTo(int x, int y) = 0;
  // Writes text with the top-left corner of its first character cell at (x, y), in the font and
  // its colour; a solid brush fills the text's cell behind it, a clear one leaves it as it is.
  virtual void TextOut(int x, int y, const QString& text) = 0;
  // TextOut clipped to the rectangle.
  virtual void TextRect(const TRect& clip, int x, int y, const QString& text) = 0;
  virtual int TextWidth(const QString& text) const;
  virtual int TextHeight(const QString& text) const;
  // Raster copy of source's rectangle into this canvas's rectangle (stretched when the sizes
  // differ), by the copy mode. A source that cannot be read back copies nothing, except that
  // blackness needs no source.
  virtual void CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) = 0;
  // Copies the whole picture with its top-left corner at (x, y), by the copy mode.
  virtual void Draw(int x, int y, const TBitmap& picture) = 0;

  // The pixels of the rectangle, for canvases that can be read back (bitmaps); none for the
  // others (metafiles, SVG).
  virtual std::optional<QImage> ReadPixels(const TRect& rect) const;

protected:
  QPoint penPos_;
};
