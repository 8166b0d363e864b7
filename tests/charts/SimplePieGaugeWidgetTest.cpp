// The percentage pie gauge: the range rules and their error texts, when it repaints, and what it
// paints (the pie growing clockwise from 12 o'clock, the inverted figure, the border geometry).
#include "charts/ui/SimpleControls.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEvent>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace {

constexpr TColor Red = RgbToColor(255, 0, 0);
constexpr TColor Cyan = RgbToColor(0, 255, 255);
constexpr TColor White = RgbToColor(255, 255, 255);
constexpr TColor Black = RgbToColor(0, 0, 0);
constexpr TColor Blue = RgbToColor(0, 0, 255);
constexpr TColor Green = RgbToColor(0, 128, 0);

// Positions below are in the widget's pixels; a grab holds devicePixelRatio device pixels per
// pixel (QT_SCALE_FACTOR), so a pixel is read at the device pixel under its centre.
QPoint DevicePixel(const QImage& image, int x, int y) {
  const qreal ratio = image.devicePixelRatio();
  return {static_cast<int>((x + 0.5) * ratio), static_cast<int>((y + 0.5) * ratio)};
}

QRect DeviceArea(const QImage& image, const QRect& area) {
  const qreal ratio = image.devicePixelRatio();
  const QPoint topLeft(qRound(area.left() * ratio), qRound(area.top() * ratio));
  const QPoint end(qRound((area.right() + 1) * ratio), qRound((area.bottom() + 1) * ratio));
  return QRect(topLeft, end - QPoint(1, 1));
}

TColor PixelAt(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(DevicePixel(image, x, y));
  return RgbToColor(qRed(p), qGreen(p), qBlue(p));
}

// A gauge that counts its paint events.
class CountingGauge : public TSimplePieGauge {
public:
  int Paints = 0;

protected:
  void paintEvent(QPaintEvent* event) override {
    ++Paints;
    TSimplePieGauge::paintEvent(event);
  }
};

QImage Render(TSimplePieGauge& gauge) { return gauge.grab().toImage(); }

// A 100 x 100 gauge in distinct colours: red pie on white, blue outline, green corners.
void Colour(TSimplePieGauge& gauge) {
  gauge.SetForeColor(Red);
  gauge.SetBackColor(White);
  gauge.SetBorderColor(Blue);
  gauge.SetColor(Green);
}

int CountColourIn(const QImage& image, const QRect& device, TColor color) {
  int n = 0;
  for (int y = device.top(); y <= device.bottom(); ++y) {
    for (int x = device.left(); x <= device.right(); ++x) {
      const QRgb p = image.pixel(x, y);
      n += RgbToColor(qRed(p), qGreen(p), qBlue(p)) == color;
    }
  }
  return n;
}

// Whether one of the device pixels under a pixel has the colour: a one-pixel line is drawn one
// device pixel wide, at whichever edge of the pixel the disk's outline passes.
bool HasColour(const QImage& image, int x, int y, TColor color) {
  return CountColourIn(image, DeviceArea(image, QRect(x, y, 1, 1)), color) > 0;
}

// Device pixels of the colour in an area given in the widget's pixels.
int CountColour(const QImage& image, const QRect& area, TColor color) {
  return CountColourIn(image, DeviceArea(image, area), color);
}

TEST(SimplePieGauge, Defaults) {
  TSimplePieGauge gauge;
  EXPECT_EQ(gauge.width(), 100);
  EXPECT_EQ(gauge.height(), 100);
  EXPECT_EQ(gauge.MinValue(), 0);
  EXPECT_EQ(gauge.MaxValue(), 100);
  EXPECT_EQ(gauge.Progress(), 0);
  EXPECT_TRUE(gauge.ShowText());
  EXPECT_EQ(gauge.BorderStyle(), TBorderStyle::Single);
  EXPECT_EQ(gauge.ForeColor(), clBlack);
  EXPECT_EQ(gauge.BackColor(), clWhite);
  EXPECT_EQ(gauge.BorderColor(), clBlack);
  EXPECT_TRUE(gauge.testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST(SimplePieGauge, ProgressIsClampedIntoTheRange) {
  TSimplePieGauge gauge;
  gauge.SetProgress(45);
  EXPECT_EQ(gauge.PercentDone(), 45);
  gauge.SetProgress(150);
  EXPECT_EQ(gauge.Progress(), 100);
  EXPECT_EQ(gauge.PercentDone(), 100);
  gauge.SetProgress(-5);
  EXPECT_EQ(gauge.Progress(), 0);

  gauge.SetMaxValue(1000);
  gauge.SetProgress(999);
  EXPECT_EQ(gauge.PercentDone(), 99);  // truncated
  // Moving the range drags the progress along.
  gauge.SetMaxValue(500);
  EXPECT_EQ(gauge.Progress(), 500);
  gauge.SetMinValue(-500);
  gauge.SetProgress(-400);
  gauge.SetMinValue(-300);
  EXPECT_EQ(gauge.Progress(), -300);
  EXPECT_EQ(gauge.PercentDone(), 0);
}

TEST(SimplePieGauge, EmptyRangeShowsZero) {
  TSimplePieGauge gauge;
  gauge.SetMaxValue(50);
  gauge.SetMinValue(50);
  for (int v : {0, 50, 100}) {
    gauge.SetProgress(v);
    EXPECT_EQ(gauge.Progress(), 50);
    EXPECT_EQ(gauge.PercentDone(), 0);
  }
}

TEST(SimplePieGauge, FullIntegerRangeDoesNotOverflow) {
  TSimplePieGauge gauge;
  gauge.SetMaxValue(INT_MAX);
  gauge.SetMinValue(-INT_MAX);
  gauge.SetProgress(0);
  EXPECT_EQ(gauge.PercentDone(), 50);
  gauge.SetProgress(INT_MAX);
  EXPECT_EQ(gauge.PercentDone(), 100);
}

TEST(SimplePieGauge, RangeErrorsNameTheAllowedValues) {
  TSimplePieGauge gauge;
  try {
    gauge.SetMinValue(101);
    FAIL() << "no error";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Value must be between -2147483647 and 99");
  }
  EXPECT_EQ(gauge.MinValue(), 0);
  EXPECT_EQ(gauge.MaxValue(), 100);

  gauge.SetMinValue(10);
  try {
    gauge.SetMaxValue(9);
    FAIL() << "no error";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Value must be between 11 and 2147483647");
    EXPECT_STREQ(e.what(), "Value must be between 11 and 2147483647");
  }
  EXPECT_EQ(gauge.MaxValue(), 100);

  // While a form is being set up, the range is not tested.
  gauge.SetLoading(true);
  EXPECT_NO_THROW(gauge.SetMinValue(200));
  EXPECT_NO_THROW(gauge.SetMaxValue(300));
  gauge.SetLoading(false);
  EXPECT_EQ(gauge.MinValue(), 200);
  EXPECT_EQ(gauge.MaxValue(), 300);
}

TEST(SimplePieGauge, RepaintsOnlyWhenThePercentageChanges) {
  CountingGauge gauge;
  gauge.show();
  // Wait for the first paint of the newly shown window.
  for (int i = 0; i < 100 && gauge.Paints == 0; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  ASSERT_GT(gauge.Paints, 0);
  QApplication::processEvents();
  const auto paintsAfter = [&gauge](auto change) {
    const int before = gauge.Paints;
    change();
    QApplication::processEvents();
    return gauge.Paints - before;
  };
  EXPECT_GT(paintsAfter([&] { gauge.SetProgress(45); }), 0);
  EXPECT_EQ(paintsAfter([&] { gauge.SetProgress(45); }), 0);
  EXPECT_GT(paintsAfter([&] { gauge.SetProgress(200); }), 0);  // clamped to 100: a change
  EXPECT_EQ(paintsAfter([&] { gauge.SetProgress(101); }), 0);  // clamped to 100 again

  gauge.SetMaxValue(1000);
  gauge.SetProgress(0);
  QApplication::processEvents();
  EXPECT_EQ(paintsAfter([&] { gauge.SetProgress(1); }), 0);
  EXPECT_EQ(gauge.Progress(), 1);
  EXPECT_GT(paintsAfter([&] { gauge.SetProgress(10); }), 0);

  EXPECT_EQ(paintsAfter([&] { gauge.SetForeColor(gauge.ForeColor()); }), 0);
  EXPECT_GT(paintsAfter([&] { gauge.SetForeColor(Red); }), 0);
  EXPECT_EQ(paintsAfter([&] { gauge.SetShowText(true); }), 0);
  EXPECT_GT(paintsAfter([&] { gauge.SetShowText(false); }), 0);
  EXPECT_GT(paintsAfter([&] { gauge.SetBorderStyle(TBorderStyle::None); }), 0);
}

TEST(SimplePieGauge, PieFillsClockwiseFromTwelve) {
  TSimplePieGauge gauge;
  Colour(gauge);
  gauge.SetShowText(false);
  gauge.SetProgress(45);
  const QImage image = Render(gauge);
  EXPECT_EQ(PixelAt(image, 80, 50), Red);    // 25%
  EXPECT_EQ(PixelAt(image, 68, 74), Red);    // 40%
  EXPECT_EQ(PixelAt(image, 50, 85), White);  // 50%
  EXPECT_EQ(PixelAt(image, 20, 50), White);  // 75%
  EXPECT_EQ(PixelAt(image, 30, 20), White);  // 90%
  EXPECT_EQ(PixelAt(image, 3, 3), Green);

  gauge.SetProgress(150);
  const QImage full = Render(gauge);
  for (QPoint p : {QPoint(80, 50), QPoint(50, 85), QPoint(20, 50), QPoint(30, 20)})
    EXPECT_EQ(PixelAt(full, p.x(), p.y()), Red) << p.x() << ", " << p.y();

  gauge.SetProgress(0);
  const QImage empty = Render(gauge);
  for (QPoint p : {QPoint(80, 50), QPoint(50, 85), QPoint(20, 50), QPoint(30, 20)})
    EXPECT_EQ(PixelAt(empty, p.x(), p.y()), White) << p.x() << ", " << p.y();
}

TEST(SimplePieGauge, FigureIsWrittenInverted) {
  TSimplePieGauge gauge;
  Colour(gauge);
  gauge.SetProgress(45);
  const QRect middle(25, 35, 50, 30);
  const QImage withText = Render(gauge);
  // Over the red half the figure turns cyan, over the white half black.
  EXPECT_GT(CountColour(withText, middle, Cyan), 5);
  EXPECT_GT(CountColour(withText, middle, Black), 5);
  // Only the four colours of inverted text over the pie occur there.
  EXPECT_EQ(CountColour(withText, middle, Cyan) + CountColour(withText, middle, Black) +
                CountColour(withText, middle, Red) + CountColour(withText, middle, White),
            DeviceArea(withText, middle).width() * DeviceArea(withText, middle).height());

  // The inverted pixels span the width of "45%", centred.
  int left = 100;
  int right = -1;
  for (int y = 2; y < 98; ++y) {
    for (int x = 2; x < 98; ++x) {
      const TColor c = PixelAt(withText, x, y);
      if (c == Cyan || c == Black) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  const int advance = QFontMetrics(gauge.font()).horizontalAdvance("45%");
  EXPECT_LE(right - left + 1, advance);
  EXPECT_GE(right - left + 1, advance - 4);
  EXPECT_NEAR((left + right) / 2.0, 49.5, 3.0);

  gauge.SetShowText(false);
  const QImage plain = Render(gauge);
  EXPECT_EQ(CountColour(plain, middle, Cyan), 0);
  EXPECT_EQ(CountColour(plain, middle, Black), 0);
}

TEST(SimplePieGauge, SmallGaugeGeometryWithAndWithoutBorder) {
  TSimplePieGauge gauge;
  Colour(gauge);
  gauge.SetShowText(false);
  gauge.resize(32, 32);

  gauge.SetBorderStyle(TBorderStyle::None);
  const QImage bare = Render(gauge);
  EXPECT_EQ(PixelAt(bare, 0, 0), Green);
  EXPECT_TRUE(HasColour(bare, 0, 16, Blue));
  EXPECT_TRUE(HasColour(bare, 31, 16, Blue));
  EXPECT_TRUE(HasColour(bare, 16, 31, Blue));
  EXPECT_EQ(PixelAt(bare, 16, 16), White);

  gauge.SetBorderStyle(TBorderStyle::Single);
  const QImage framed = Render(gauge);
  // The one-pixel margin stays black; the disk runs from (1, 1) to (31, 31).
  EXPECT_EQ(PixelAt(framed, 0, 0), Black);
  EXPECT_EQ(PixelAt(framed, 0, 16), Black);
  EXPECT_EQ(PixelAt(framed, 31, 16), Black);
  EXPECT_EQ(PixelAt(framed, 1, 1), Green);
  EXPECT_TRUE(HasColour(framed, 1, 16, Blue));
  EXPECT_TRUE(HasColour(framed, 30, 16, Blue));
  EXPECT_TRUE(HasColour(framed, 16, 30, Blue));
  EXPECT_EQ(PixelAt(framed, 16, 16), White);
}

TEST(SimplePieGauge, BltBitmapMakeLikeTakesSizeAndFrameColour) {
  TBitmap model(7, 5);
  TBltBitmap bitmap;
  bitmap.MakeLike(model);
  EXPECT_EQ(bitmap.Width(), 7);
  EXPECT_EQ(bitmap.Height(), 5);
  EXPECT_EQ(PixelAt(bitmap.Image(), 6, 4), ColorToRgb(clWindowFrame));
}

}  // namespace
