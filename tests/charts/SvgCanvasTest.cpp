// The SVG canvas: a pie drawn into an SVG document, rendered back and sampled.
#include "charts/BitmapCanvas.h"
#include "charts/HPieChart.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <gtest/gtest.h>

namespace {

constexpr TColor Green = RgbToColor(0, 255, 0);
constexpr TColor Blue = RgbToColor(0, 0, 255);
constexpr TColor Disk = RgbToColor(200, 200, 200);

TColor PixelAt(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return RgbToColor(qRed(p), qGreen(p), qBlue(p));
}

TEST(SvgCanvas, PieRendersBackFromTheDocument) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    TSvgCanvas canvas(&buffer, 500, 300);
    THPieChart chart(&canvas, 500, 300);
    chart.BeginUpdate();
    chart.SetColors(clWhite, clBlack, Disk);
    chart.SetLabelColors(clInfoBk, clBlack, clBlack, clYellow, clBlack, clRed);
    chart.AddSection("Windows", Green, 90);
    chart.AddSection("Users", Blue, 90);
    chart.AddSection("Rest", Disk, 180);
    chart.EndUpdate();
  }
  const QByteArray svg = buffer.data();
  EXPECT_TRUE(svg.contains("viewBox=\"0 0 500 300\""));
  EXPECT_TRUE(svg.contains(">Windows</text>"));
  EXPECT_TRUE(svg.contains(">Users</text>"));
  EXPECT_TRUE(svg.contains(">Rest</text>"));

  QSvgRenderer renderer(svg);
  ASSERT_TRUE(renderer.isValid());
  QImage image(500, 300, QImage::Format_RGB32);
  image.fill(Qt::magenta);
  QPainter painter(&image);
  renderer.render(&painter, QRectF(0, 0, 500, 300));
  painter.end();
  EXPECT_EQ(PixelAt(image, 5, 5), RgbToColor(255, 255, 255));
  EXPECT_EQ(PixelAt(image, 200, 100), Green);
  EXPECT_EQ(PixelAt(image, 200, 200), Blue);
  EXPECT_EQ(PixelAt(image, 320, 150), Disk);
}

TEST(SvgCanvas, RasterCopiesPlaceTheSourcePicture) {
  TBitmap source(4, 4);
  source.Canvas().Brush = TBrush{Blue, TBrushStyle::Solid};
  source.Canvas().FillRect(TRect{0, 0, 4, 4});
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    TSvgCanvas canvas(&buffer, 20, 10);
    canvas.Draw(0, 0, source);
    canvas.CopyMode = TCopyMode::Blackness;
    canvas.CopyRect(TRect{10, 0, 20, 10}, canvas, TRect{10, 0, 20, 10});
  }
  QSvgRenderer renderer(buffer.data());
  ASSERT_TRUE(renderer.isValid());
  QImage image(20, 10, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  renderer.render(&painter, QRectF(0, 0, 20, 10));
  painter.end();
  EXPECT_EQ(PixelAt(image, 1, 1), Blue);
  EXPECT_EQ(PixelAt(image, 15, 5), RgbToColor(0, 0, 0));
  EXPECT_EQ(PixelAt(image, 7, 5), RgbToColor(255, 255, 255));
}

}  // namespace
