#include "charts/BitmapCanvas.h"

#include <QFontMetrics>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <cmath>
#include <numbers>
#include <utility>

namespace {

// The rectangle a shape in (x1, y1, x2, y2) is traced on, in pixel indexes: its outline runs
// through the pixels x1 and x2 - 1. Paths are drawn shifted by half a pixel, so that they pass
// through pixel centres: the outline then lights exactly those pixels, and a filled pixel (one
// whose centre lies inside) is one whose index lies inside the unshifted shape.
QRectF ShapeRect(int x1, int y1, int x2, int y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  return QRectF(x1, y1, std::max(0, x2 - x1 - 1), std::max(0, y2 - y1 - 1));
}

// Angle in degrees, counter-clockwise from 3 o'clock, of the ellipse point that the ray from the
// centre through (x, y) meets: the ellipse's own parameter, which is what arcs are measured in.
double RayAngle(const QRectF& rect, double x, double y) {
  const QPointF centre = rect.center();
  double dx = x - centre.x();
  double dy = centre.y() - y;
  if (rect.width() > 0 && rect.height() > 0) {
    dx /= rect.width() / 2;
    dy /= rect.height() / 2;
  }
  return std::atan2(dy, dx) * 180.0 / std::numbers::pi;
}

}  // namespace

void TPainterCanvas::FillRect(const TRect& rect) {
  if (Brush.Style != TBrushStyle::Solid || rect.Width() <= 0 || rect.Height() <= 0) return;
  QPainter* painter = BeginPaint();
  if (!painter) return;
  painter->fillRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()),
                    ColorToQColor(Brush.Color));
  EndPaint(painter);
}

void TPainterCanvas::DrawShape(const QPainterPath& path) {
  QPainter* painter = BeginPaint();
  if (!painter) return;
  if (Brush.Style == TBrushStyle::Solid) {
    painter->setPen(Qt::NoPen);
    painter->setBrush(ColorToQColor(Brush.Color));
    painter->drawPath(path.translated(0.5, 0.5));
  }
  if (Pen.Style == TPenStyle::Solid) {
    QPen pen(ColorToQColor(Pen.Color), Pen.Width > 1 ? Pen.Width : 0);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(path.translated(0.5, 0.5));
  }
  EndPaint(painter);
}

void TPainterCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  QPainterPath path;
  path.addEllipse(ShapeRect(x1, y1, x2, y2));
  DrawShape(path);
}

void TPainterCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  const QRectF rect = ShapeRect(x1, y1, x2, y2);
  const double start = RayAngle(rect, x3, y3);
  double span = std::fmod(RayAngle(rect, x4, y4) - start, 360.0);
  if (span <= 0) span += 360.0;
  if ((x3 == x4 && y3 == y4) || span < 1e-9) span = 360.0;
  QPainterPath path(rect.center());
  path.arcTo(rect, start, span);
  path.closeSubpath();
  DrawShape(path);
}

void TPainterCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  QPainterPath path;
  path.addRect(ShapeRect(x1, y1, x2, y2));
  DrawShape(path);
}

void TPainterCanvas::LineTo(int x, int y) {
  const QPoint from = penPos_;
  penPos_ = QPoint(x, y);
  if (Pen.Style != TPenStyle::Solid) return;
  QPainter* painter = BeginPaint();
  if (!painter) return;
  QPen pen(ColorToQColor(Pen.Color), Pen.Width > 1 ? Pen.Width : 0);
  // A flat cap leaves out the end point, as a line to a point does on the desktop, so that lines
  // joined end to start light every pixel once.
  pen.setCapStyle(Qt::FlatCap);
  painter->setPen(pen);
  painter->drawLine(from, QPoint(x, y));
  EndPaint(painter);
}

void TPainterCanvas::DrawText(const TRect* clip, int x, int y, const QString& text) {
  QPainter* painter = BeginPaint();
  if (!painter) return;
  const QFont font = Font.ToQFont();
  const QFontMetrics metrics(font);
  if (clip) painter->setClipRect(QRect(clip->Left, clip->Top, clip->Width(), clip->Height()));
  if (Brush.Style == TBrushStyle::Solid) {
    painter->fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                      ColorToQColor(Brush.Color));
  }
  painter->setRenderHint(QPainter::TextAntialiasing, Font.Antialiased);
  painter->setFont(font);
  painter->setPen(ColorToQColor(Font.Color));
  painter->drawText(QPoint(x, y + metrics.ascent()), text);
  EndPaint(painter);
}

void TPainterCanvas::TextOut(int x, int y, const QString& text) { DrawText(nullptr, x, y, text); }

void TPainterCanvas::TextRect(const TRect& clip, int x, int y, const QString& text) {
  DrawText(&clip, x, y, text);
}

void TPainterCanvas::CopyImage(const TRect& dest, const std::optional<QImage>& source) {
  if (dest.Width() <= 0 || dest.Height() <= 0) return;
  if (CopyMode != TCopyMode::Blackness && !source) return;
  QPainter* painter = BeginPaint();
  if (!painter) return;
  const QRect target(dest.Left, dest.Top, dest.Width(), dest.Height());
  const QPaintEngine* engine = painter->paintEngine();
  switch (CopyMode) {
    case TCopyMode::Blackness:
      painter->fillRect(target, Qt::black);
      break;
    case TCopyMode::SrcCopy:
      if (engine && engine->hasFeature(QPaintEngine::PorterDuff))
        painter->setCompositionMode(QPainter::CompositionMode_Source);
      painter->drawImage(target, *source);
      break;
    case TCopyMode::SrcInvert:
      if (engine && engine->hasFeature(QPaintEngine::RasterOpModes))
        painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      painter->drawImage(target, *source);
      break;
  }
  EndPaint(painter);
}

void TPainterCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) {
  if (CopyMode == TCopyMode::Blackness) {
    CopyImage(dest, std::nullopt);
  } else {
    CopyImage(dest, source.ReadPixels(sourceRect));
  }
}

void TPainterCanvas::Draw(int x, int y, const TBitmap& picture) {
  if (picture.Image().isNull()) return;
  CopyImage(TRect{x, y, x + picture.Width(), y + picture.Height()}, picture.Image());
}

QPainter* TBitmapCanvas::BeginPaint() {
  if (!image_ || image_->isNull()) return nullptr;
  auto* painter = new QPainter(image_);
  painter->setRenderHint(QPainter::Antialiasing, false);
  return painter;
}

void TBitmapCanvas::EndPaint(QPainter* painter) { delete painter; }

std::optional<QImage> TBitmapCanvas::ReadPixels(const TRect& rect) const {
  if (!image_ || image_->isNull()) return std::nullopt;
  const qreal scale = image_->devicePixelRatio();
  if (scale == 1.0) return image_->copy(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()));
  // The device pixels under the rectangle; drawn into a rectangle of the same size, they land 1:1.
  const QRect device = QRectF(rect.Left * scale, rect.Top * scale, rect.Width() * scale, rect.Height() * scale).toAlignedRect();
  QImage pixels = image_->copy(device);
  pixels.setDevicePixelRatio(scale);
  return pixels;
}

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

void TBitmap::SetSize(int width, int height, qreal scale) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (!(scale > 0)) scale = 1.0;
  if (width == width_ && height == height_ && (image_.isNull() || image_.devicePixelRatio() == scale)) return;
  width_ = width;
  height_ = height;
  QImage image;
  if (width > 0 && height > 0) {
    image = QImage(QSizeF(width * scale, height * scale).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    if (!image_.isNull()) {
      QPainter painter(&image);
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      painter.drawImage(QPointF(0, 0), image_);
    }
  }
  image_ = std::move(image);
}

TSvgCanvas::TSvgCanvas(const QString& fileName, int width, int height)
    : generator_(std::make_unique<QSvgGenerator>()) {
  generator_->setFileName(fileName);
  Start(width, height);
}

TSvgCanvas::TSvgCanvas(QIODevice* device, int width, int height)
    : generator_(std::make_unique<QSvgGenerator>()) {
  generator_->setOutputDevice(device);
  Start(width, height);
}

TSvgCanvas::~TSvgCanvas() { Finish(); }

void TSvgCanvas::Start(int width, int height) {
  generator_->setSize(QSize(width, height));
  generator_->setViewBox(QRect(0, 0, width, height));
  // Pixel sizes map one to one onto the view box.
  generator_->setResolution(96);
  painter_ = std::make_unique<QPainter>();
  painter_->begin(generator_.get());
}

void TSvgCanvas::Finish() {
  if (painter_ && painter_->isActive()) painter_->end();
}

QPainter* TSvgCanvas::BeginPaint() {
  if (!painter_ || !painter_->isActive()) return nullptr;
  painter_->save();
  return painter_.get();
}

void TSvgCanvas::EndPaint(QPainter* painter) { painter->restore(); }
