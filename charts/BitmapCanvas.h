#pragma once
// Canvases that draw with QPainter: a bitmap (a QImage in memory) and an SVG file. Shapes are drawn
// without antialiasing and follow the pixel rules of the classic desktop drawing calls: a shape in
// (x1, y1, x2, y2) covers the pixels x1..x2-1 and y1..y2-1, outline included.

#include "charts/Canvas.h"

#include <QImage>
#include <QString>

#include <memory>

class QIODevice;
class QPainter;
class QPainterPath;
class QSvgGenerator;

class TPainterCanvas : public TCanvas {
public:
  void FillRect(const TRect& rect) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void LineTo(int x, int y) override;
  void TextOut(int x, int y, const QString& text) override;
  void TextRect(const TRect& clip, int x, int y, const QString& text) override;
  void CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) override;
  void Draw(int x, int y, const TBitmap& picture) override;

protected:
  // A painter with default state, or none when there is nothing to paint on.
  virtual QPainter* BeginPaint() = 0;
  virtual void EndPaint(QPainter* painter) = 0;

private:
  void DrawShape(const QPainterPath& path);
  void DrawText(const TRect* clip, int x, int y, const QString& text);
  void CopyImage(const TRect& dest, const std::optional<QImage>& source);
};

// A canvas over an image that someone else owns (a TBitmap, or a control's backing image).
class TBitmapCanvas : public TPainterCanvas {
public:
  explicit TBitmapCanvas(QImage* image) : image_(image) {}

  std::optional<QImage> ReadPixels(const TRect& rect) const override;

protected:
  QPainter* BeginPaint() override;
  void EndPaint(QPainter* painter) override;

private:
  QImage* image_;
};

// An off-screen picture with its canvas: the pie's bitmap, the gauge's layers, a bitmap export.
// A new bitmap is white.
class TBitmap {
public:
  TBitmap(int width = 0, int height = 0);
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  virtual ~TBitmap() = default;

  // The size in pixels the canvas is drawn in.
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Keeps the pixels that stay inside; new ones are white. With a scale above 1 (a screen's
  // device pixel ratio) the image holds that many device pixels per pixel, so that what is drawn
  // in pixels is sharp on the screen.
  void SetSize(int width, int height, qreal scale = 1.0);
  TCanvas& Canvas() { return canvas_; }
  const TCanvas& Canvas() const { return canvas_; }
  const QImage& Image() const { return image_; }

private:
  int width_ = 0;
  int height_ = 0;
  QImage image_;
  TBitmapCanvas canvas_{&image_};
};

// A canvas that writes an SVG document of the given size in pixels. The document is complete once
// Finish has run (the destructor runs it too). SVG has no raster operations: blackness fills black,
// and both raster copy modes place the source picture as it is.
class TSvgCanvas : public TPainterCanvas {
public:
  TSvgCanvas(const QString& fileName, int width, int height);
  TSvgCanvas(QIODevice* device, int width, int height);
  ~TSvgCanvas() override;

  void Finish();

protected:
  QPainter* BeginPaint() override;
  void EndPaint(QPainter* painter) override;

private:
  void Start(int width, int height);

  std::unique_ptr<QSvgGenerator> generator_;
  std::unique_ptr<QPainter> painter_;
};
