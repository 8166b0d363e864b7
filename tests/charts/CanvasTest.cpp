// The bitmap canvas: colour values and the system palette, which pixels shapes cover, the
// direction of pie sectors, text, and the raster copies the gauge builds its layers with.
#include "charts/BitmapCanvas.h"
#include "charts/Canvas.h"
#include "charts/Metafile.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr TColor White = RgbToColor(255, 255, 255);
constexpr TColor Black = RgbToColor(0, 0, 0);
constexpr TColor Red = RgbToColor(255, 0, 0);
constexpr TColor Blue = RgbToColor(0, 0, 255);

TColor PixelAt(const TBitmap& bitmap, int x, int y) {
  const QRgb p = bitmap.Image().pixel(x, y);
  return RgbToColor(qRed(p), qGreen(p), qBlue(p));
}

// Whether an antialiased text pixel is nearer the text colour than the background.
bool IsInk(TColor pixel, TColor text, TColor background) {
  const auto distance = [](TColor a, TColor b) {
    int sum = 0;
    for (int shift : {0, 8, 16})
      sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    return sum;
  };
  return distance(pixel, text) < distance(pixel, background);
}

// Puts the palette back after a test changed it.
class ScopedPalette {
public:
  ScopedPalette() : Saved(SystemPalette()) {}
  ~ScopedPalette() { SetSystemPalette(Saved); }
  ScopedPalette(const ScopedPalette&) = delete;
  ScopedPalette& operator=(const ScopedPalette&) = delete;

private:
  TSystemPalette Saved;
};

TEST(CanvasColors, ValuesAreBgrOrSystemIndexes) {
  EXPECT_EQ(RgbToColor(1, 2, 3), 0x030201u);
  EXPECT_EQ(ColorToQColor(0x0000FF), QColor(255, 0, 0));
  EXPECT_EQ(ColorToQColor(0xC6FFC6), QColor(198, 255, 198));
  // The default palette: window background white, tooltip background pale yellow.
  EXPECT_EQ(ColorToRgb(0xFF000005), White);
  EXPECT_EQ(ColorToRgb(0xFF000018), RgbToColor(255, 255, 225));
  EXPECT_EQ(ColorToRgb(clWindowFrame), Black);
  // An index the palette does not have is black; the high byte of a plain colour is ignored.
  EXPECT_EQ(ColorToRgb(0xFF0000C8), Black);
  EXPECT_EQ(ColorToRgb(0x02123456), 0x123456u);
}

TEST(CanvasColors, SystemColoursFollowThePalette) {
  ScopedPalette restore;
  TSystemPalette dark = TSystemPalette::Default();
  dark.SetRgb(5, RgbToColor(30, 30, 30));
  SetSystemPalette(dark);
  EXPECT_EQ(ColorToRgb(clWindow), RgbToColor(30, 30, 30));

  TBitmap bitmap(4, 4);
  bitmap.Canvas().Brush = TBrush{clWindow, TBrushStyle::Solid};
  bitmap.Canvas().FillRect(TRect{0, 0, 4, 4});
  EXPECT_EQ(PixelAt(bitmap, 2, 2), RgbToColor(30, 30, 30));
}

TEST(CanvasShapes, RectanglesCoverLeftTopButNotRightBottom) {
  TBitmap bitmap(40, 40);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Brush = TBrush{Red, TBrushStyle::Solid};
  canvas.FillRect(TRect{2, 2, 6, 5});
  EXPECT_EQ(PixelAt(bitmap, 2, 2), Red);
  EXPECT_EQ(PixelAt(bitmap, 5, 4), Red);
  EXPECT_EQ(PixelAt(bitmap, 6, 4), White);
  EXPECT_EQ(PixelAt(bitmap, 5, 5), White);

  canvas.Pen = TPen{Blue, TPenStyle::Solid, 1};
  canvas.Rectangle(10, 10, 20, 20);
  EXPECT_EQ(PixelAt(bitmap, 10, 10), Blue);
  EXPECT_EQ(PixelAt(bitmap, 19, 19), Blue);
  EXPECT_EQ(PixelAt(bitmap, 19, 15), Blue);
  EXPECT_EQ(PixelAt(bitmap, 15, 15), Red);
  EXPECT_EQ(PixelAt(bitmap, 20, 20), White);
  EXPECT_EQ(PixelAt(bitmap, 20, 15), White);

  // A clear brush leaves the inside alone.
  canvas.Brush.Style = TBrushStyle::Clear;
  canvas.Rectangle(25, 25, 35, 35);
  EXPECT_EQ(PixelAt(bitmap, 25, 30), Blue);
  EXPECT_EQ(PixelAt(bitmap, 30, 30), White);
}

TEST(CanvasShapes, EllipseStaysInsideItsBox) {
  TBitmap bitmap(40, 40);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Pen = TPen{Blue, TPenStyle::Solid, 1};
  canvas.Brush = TBrush{Red, TBrushStyle::Solid};
  canvas.Ellipse(0, 0, 32, 32);
  EXPECT_EQ(PixelAt(bitmap, 0, 16), Blue);
  EXPECT_EQ(PixelAt(bitmap, 31, 16), Blue);
  EXPECT_EQ(PixelAt(bitmap, 16, 0), Blue);
  EXPECT_EQ(PixelAt(bitmap, 16, 31), Blue);
  EXPECT_EQ(PixelAt(bitmap, 32, 16), White);
  EXPECT_EQ(PixelAt(bitmap, 16, 32), White);
  EXPECT_EQ(PixelAt(bitmap, 16, 16), Red);
  EXPECT_EQ(PixelAt(bitmap, 1, 1), White);
  // No fill leaks outside the outline.
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      const double dx = x - 15.5;
      const double dy = y - 15.5;
      if (dx * dx + dy * dy > 17.0 * 17.0) {
        ASSERT_EQ(PixelAt(bitmap, x, y), White) << x << ", " << y;
      }
    }
  }
}

TEST(CanvasShapes, PieRunsCounterClockwiseFromStartToEnd) {
  struct Case {
    QPoint Start, End;
    bool UpperLeft, LowerLeft, LowerRight, UpperRight;
  };
  const Case cases[] = {
      // From 3 o'clock to 12 o'clock: the upper right quarter.
      {{100, 50}, {50, 0}, false, false, false, true},
      // From 12 to 3: three quarters, all but the upper right.
      {{50, 0}, {100, 50}, true, true, true, false},
      // From 12 to 6 o'clock: the left half.
      {{50, 0}, {50, 100}, true, true, false, false},
      // Points off the ellipse only give the direction of their rays.
      {{99, 50}, {50, 40}, false, false, false, true},
      // The same point twice: the whole ellipse.
      {{50, 0}, {50, 0}, true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.Start.x() << ", " << c.Start.y() << ") to ("
                                    << c.End.x() << ", " << c.End.y() << ")");
    TBitmap bitmap(101, 101);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Pen = TPen{Red, TPenStyle::Solid, 1};
    canvas.Brush = TBrush{Red, TBrushStyle::Solid};
    canvas.Pie(0, 0, 101, 101, c.Start.x(), c.Start.y(), c.End.x(), c.End.y());
    EXPECT_EQ(PixelAt(bitmap, 25, 25) == Red, c.UpperLeft);
    EXPECT_EQ(PixelAt(bitmap, 25, 75) == Red, c.LowerLeft);
    EXPECT_EQ(PixelAt(bitmap, 75, 75) == Red, c.LowerRight);
    EXPECT_EQ(PixelAt(bitmap, 75, 25) == Red, c.UpperRight);
    EXPECT_EQ(PixelAt(bitmap, 2, 2), White);
  }
}

TEST(CanvasShapes, LinesMoveThePenAndClearPensDrawNothing) {
  TBitmap bitmap(20, 20);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Pen = TPen{Black, TPenStyle::Solid, 1};
  canvas.MoveTo(2, 5);
  canvas.LineTo(12, 5);
  EXPECT_EQ(canvas.PenPos(), QPoint(12, 5));
  EXPECT_EQ(PixelAt(bitmap, 2, 5), Black);
  EXPECT_EQ(PixelAt(bitmap, 11, 5), Black);
  EXPECT_EQ(PixelAt(bitmap, 12, 5), White);  // the end point itself is left out
  canvas.Pen.Style = TPenStyle::Clear;
  canvas.LineTo(12, 15);
  EXPECT_EQ(canvas.PenPos(), QPoint(12, 15));
  EXPECT_EQ(PixelAt(bitmap, 12, 10), White);
}

TEST(CanvasText, TextSitsBelowAndRightOfItsPoint) {
  TBitmap bitmap(100, 40);
  TCanvas& canvas = bitmap.Canvas();
  const QString text = "Hg";
  const int tw = canvas.TextWidth(text);
  const int th = canvas.TextHeight(text);
  EXPECT_GT(tw, 5);
  EXPECT_GT(th, 8);
  EXPECT_GT(canvas.TextWidth("Hg Hg"), tw);

  canvas.Font.Color = Blue;
  canvas.Brush = TBrush{Red, TBrushStyle::Solid};
  canvas.TextOut(10, 10, text);
  // A solid brush fills the text's cell.
  EXPECT_EQ(PixelAt(bitmap, 10, 10), Red);
  EXPECT_EQ(PixelAt(bitmap, 10 + tw - 1, 10 + th - 1), Red);
  EXPECT_EQ(PixelAt(bitmap, 10 + tw, 10), White);
  EXPECT_EQ(PixelAt(bitmap, 9, 10), White);
  int ink = 0;
  for (int y = 10; y < 10 + th; ++y)
    for (int x = 10; x < 10 + tw; ++x) ink += IsInk(PixelAt(bitmap, x, y), Blue, Red);
  EXPECT_GT(ink, 5);

  // A clear brush leaves the background, and clipping keeps the text inside its rectangle.
  TBitmap clipped(100, 40);
  clipped.Canvas().Font.Color = Blue;
  clipped.Canvas().Font.Antialiased = false;
  clipped.Canvas().Brush.Style = TBrushStyle::Clear;
  clipped.Canvas().TextRect(TRect{0, 0, 14, 40}, 10, 10, "HHHH");
  int left = 0;
  int right = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 100; ++x) {
      const TColor c = PixelAt(clipped, x, y);
      EXPECT_TRUE(c == Blue || c == White) << x << ", " << y;
      if (c == Blue) (x < 14 ? left : right) += 1;
    }
  }
  EXPECT_GT(left, 0);
  EXPECT_EQ(right, 0);
}

TEST(CanvasRaster, BlacknessXorAndCopies) {
  TBitmap source(10, 10);
  source.Canvas().Brush = TBrush{RgbToColor(255, 0, 0), TBrushStyle::Solid};
  source.Canvas().FillRect(TRect{0, 0, 5, 10});

  TBitmap target(10, 10);
  TCanvas& canvas = target.Canvas();
  canvas.Brush = TBrush{RgbToColor(0, 255, 0), TBrushStyle::Solid};
  canvas.FillRect(TRect{0, 0, 10, 10});

  canvas.CopyMode = TCopyMode::SrcInvert;
  canvas.CopyRect(TRect{0, 0, 10, 10}, source.Canvas(), TRect{0, 0, 10, 10});
  EXPECT_EQ(PixelAt(target, 2, 2), RgbToColor(255, 255, 0));  // red ^ green
  EXPECT_EQ(PixelAt(target, 7, 7), RgbToColor(255, 0, 255));  // white ^ green

  canvas.CopyMode = TCopyMode::Blackness;
  canvas.CopyRect(TRect{0, 0, 10, 5}, canvas, TRect{0, 0, 10, 5});
  EXPECT_EQ(PixelAt(target, 7, 2), Black);
  EXPECT_EQ(PixelAt(target, 7, 7), RgbToColor(255, 0, 255));

  canvas.CopyMode = TCopyMode::SrcCopy;
  canvas.CopyRect(TRect{5, 5, 7, 7}, source.Canvas(), TRect{0, 0, 2, 2});
  EXPECT_EQ(PixelAt(target, 6, 6), RgbToColor(255, 0, 0));
  EXPECT_EQ(PixelAt(target, 7, 7), RgbToColor(255, 0, 255));

  // A metafile cannot be read back: copying from it leaves the target as it is.
  TMetafile metafile(10, 10);
  TMetafileCanvas recording(metafile);
  canvas.CopyRect(TRect{0, 0, 10, 10}, recording, TRect{0, 0, 10, 10});
  EXPECT_EQ(PixelAt(target, 7, 7), RgbToColor(255, 0, 255));

  canvas.Draw(3, 0, source);
  EXPECT_EQ(PixelAt(target, 3, 9), RgbToColor(255, 0, 0));
  EXPECT_EQ(PixelAt(target, 8, 9), White);
  EXPECT_EQ(PixelAt(target, 2, 9), RgbToColor(255, 255, 0));
}

TEST(CanvasBitmap, ResizingKeepsWhatStaysInside) {
  TBitmap bitmap(4, 4);
  EXPECT_EQ(PixelAt(bitmap, 3, 3), White);
  bitmap.Canvas().Brush = TBrush{Red, TBrushStyle::Solid};
  bitmap.Canvas().FillRect(TRect{0, 0, 4, 4});
  bitmap.SetSize(6, 3);
  EXPECT_EQ(bitmap.Width(), 6);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_EQ(PixelAt(bitmap, 3, 2), Red);
  EXPECT_EQ(PixelAt(bitmap, 5, 2), White);
  bitmap.SetSize(0, 0);
  // Drawing on an empty bitmap does nothing.
  bitmap.Canvas().FillRect(TRect{0, 0, 4, 4});
  EXPECT_TRUE(bitmap.Image().isNull());
}

TEST(CanvasBitmap, AtTwoDevicePixelsPerPixelShapesAndCopiesKeepTheirPixelsSharp) {
  // What a screen at 200% shows: the bitmap is sized and drawn in pixels, and holds two device
  // pixels each way per pixel.
  TBitmap source(10, 10);
  source.SetSize(10, 10, 2.0);
  EXPECT_EQ(source.Width(), 10);
  EXPECT_EQ(source.Image().width(), 20);
  TCanvas& canvas = source.Canvas();
  canvas.Brush = TBrush{Red, TBrushStyle::Solid};
  canvas.FillRect(TRect{2, 2, 6, 5});
  // Pixels 2..5 x 2..4 are device pixels 4..11 x 4..9, with nothing half-covered around them.
  EXPECT_EQ(PixelAt(source, 4, 4), Red);
  EXPECT_EQ(PixelAt(source, 11, 9), Red);
  EXPECT_EQ(PixelAt(source, 3, 4), White);
  EXPECT_EQ(PixelAt(source, 12, 9), White);
  EXPECT_EQ(PixelAt(source, 11, 10), White);
  // A one-pixel pen draws a thin line: one device pixel, not two.
  canvas.Pen = TPen{Blue, TPenStyle::Solid, 1};
  canvas.MoveTo(0, 8);
  canvas.LineTo(10, 8);
  int blueRows = 0;
  for (int y = 14; y <= 19; ++y) blueRows += PixelAt(source, 10, y) == Blue;
  EXPECT_EQ(blueRows, 1);

  // A copy between two such bitmaps lands device pixel for device pixel.
  TBitmap target(10, 10);
  target.SetSize(10, 10, 2.0);
  target.Canvas().CopyRect(TRect{0, 0, 4, 4}, source.Canvas(), TRect{2, 2, 6, 6});
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(PixelAt(target, x, y), PixelAt(source, x + 4, y + 4)) << x << "," << y;
  // Drawn at pixel 5: its device pixel 0 at the target's device pixel 10, unscaled.
  target.Canvas().Draw(5, 0, source);
  EXPECT_EQ(PixelAt(target, 10 + 3, 4), White);
  EXPECT_EQ(PixelAt(target, 10 + 4, 4), Red);
  EXPECT_EQ(PixelAt(target, 10 + 4, 3), White);
}

}  // namespace
