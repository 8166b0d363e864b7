#include "charts/ui/SimpleControls.h"

#include <QFontInfo>
#include <QPaintEvent>
#include <QPainter>

#include <climits>
#include <cmath>
#include <cstdint>
#include <numbers>

void TBltBitmap::MakeLike(const TBitmap& other) {
  SetSize(other.Width(), other.Height(), other.Image().isNull() ? 1.0 : other.Image().devicePixelRatio());
  Canvas().Brush = TBrush{clWindowFrame, TBrushStyle::Solid};
  Canvas().FillRect(TRect{0, 0, Width(), Height()});
}

namespace {

// Paints the whole bitmap black with a blackness raster copy onto itself.
void PaintBlack(TBitmap& bitmap) {
  TCanvas& canvas = bitmap.Canvas();
  const TRect all{0, 0, bitmap.Width(), bitmap.Height()};
  canvas.CopyMode = TCopyMode::Blackness;
  canvas.CopyRect(all, canvas, all);
  canvas.CopyMode = TCopyMode::SrcCopy;
}

// Combines a layer into the bitmap by exclusive or.
void XorInto(TBitmap& bitmap, const TBitmap& layer) {
  TCanvas& canvas = bitmap.Canvas();
  const TRect all{0, 0, bitmap.Width(), bitmap.Height()};
  canvas.CopyMode = TCopyMode::SrcInvert;
  canvas.CopyRect(all, layer.Canvas(), all);
  canvas.CopyMode = TCopyMode::SrcCopy;
}

QString RangeMessage(int64_t low, int64_t high) {
  return QStringLiteral("Value must be between %1 and %2").arg(low).arg(high);
}

}  // namespace

TSimplePieGauge::TSimplePieGauge(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(100, 100);
  InstallChartAccessibility();
}

QString TSimplePieGauge::AccessibleChartFigure() const { return QString::number(PercentDone()) + QLatin1Char('%'); }

void TSimplePieGauge::SetMinValue(int v) {
  if (v == minValue_) return;
  if (v > maxValue_ && !loading_)
    throw EInvalidOperation(RangeMessage(-2147483647, static_cast<int64_t>(maxValue_) - 1));
  minValue_ = v;
  if (progress_ < v) progress_ = v;
  update();
}

void TSimplePieGauge::SetMaxValue(int v) {
  if (v == maxValue_) return;
  if (v < minValue_ && !loading_)
    throw EInvalidOperation(RangeMessage(static_cast<int64_t>(minValue_) + 1, 2147483647));
  maxValue_ = v;
  if (progress_ > v) progress_ = v;
  update();
}

void TSimplePieGauge::SetProgress(int v) {
  if (v < minValue_) v = minValue_;
  if (v > maxValue_) v = maxValue_;
  if (v == progress_) return;
  const int before = PercentDone();
  progress_ = v;
  if (PercentDone() != before) {
    update();
    NotifyAccessibleFigureChange(this);
  }
}

void TSimplePieGauge::SetShowText(bool show) {
  if (show == showText_) return;
  showText_ = show;
  update();
}

void TSimplePieGauge::SetBorderStyle(TBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  update();
}

void TSimplePieGauge::SetAndRepaint(TColor& field, TColor value) {
  if (field == value) return;
  field = value;
  update();
}

void TSimplePieGauge::SetForeColor(TColor color) { SetAndRepaint(foreColor_, color); }
void TSimplePieGauge::SetBackColor(TColor color) { SetAndRepaint(backColor_, color); }
void TSimplePieGauge::SetBorderColor(TColor color) { SetAndRepaint(borderColor_, color); }
void TSimplePieGauge::SetColor(TColor color) { SetAndRepaint(color_, color); }

int TSimplePieGauge::PercentDone() const {
  if (maxValue_ == minValue_) return 0;
  // In 64 bits: the span of a full 32-bit range times 100 does not fit in 32.
  return static_cast<int>((static_cast<int64_t>(progress_) - minValue_) * 100 /
                          (static_cast<int64_t>(maxValue_) - minValue_));
}

void TSimplePieGauge::DrawPie(TCanvas& canvas, const TRect& rect) const {
  // The ellipse's second corner is the paint rectangle's size, not an offset from its corner.
  int w = rect.Right - rect.Left;
  int h = rect.Bottom - rect.Top;
  if (borderStyle_ == TBorderStyle::Single) {
    ++w;
    ++h;
  }
  canvas.Brush = TBrush{color_, TBrushStyle::Solid};
  canvas.FillRect(rect);
  canvas.Brush = TBrush{backColor_, TBrushStyle::Solid};
  canvas.Pen = TPen{borderColor_, TPenStyle::Solid, 1};
  canvas.Ellipse(rect.Left, rect.Top, w, h);
  const int percent = PercentDone();
  if (percent > 0) {
    canvas.Brush = TBrush{foreColor_, TBrushStyle::Solid};
    canvas.Pen.Color = foreColor_;
    const int mx = w / 2;
    const int my = h / 2;
    const double a = std::numbers::pi * (percent / 50.0 + 0.5);
    const int startX = static_cast<int>(std::nearbyint(mx * (1 - std::cos(a))));
    const int startY = static_cast<int>(std::nearbyint(my * (1 - std::sin(a))));
    canvas.Pie(rect.Left, rect.Top, w, h, startX, startY, mx, 0);
  }
  canvas.Brush.Style = TBrushStyle::Clear;
  canvas.Pen = TPen{borderColor_, TPenStyle::Solid, 1};
  canvas.Ellipse(rect.Left, rect.Top, w, h);
  canvas.Brush.Style = TBrushStyle::Solid;
}

void TSimplePieGauge::DrawPercent(TBitmap& image, const TRect& rect) const {
  TBltBitmap layer;
  layer.MakeLike(image);
  PaintBlack(layer);
  TCanvas& canvas = layer.Canvas();
  const QFont font = this->font();
  canvas.Font.Name = font.family();
  canvas.Font.PixelSize = QFontInfo(font).pixelSize();
  canvas.Font.Bold = font.bold();
  canvas.Font.Italic = font.italic();
  canvas.Font.Color = clWhite;
  // Exclusive or of grey edge pixels would leave coloured noise around the figures.
  canvas.Font.Antialiased = false;
  canvas.Brush.Style = TBrushStyle::Clear;
  const QString text = QString::asprintf("%d%%", PercentDone());
  const int x = (rect.Right - rect.Left + 1 - canvas.TextWidth(text)) / 2;
  const int y = (rect.Bottom - rect.Top + 1 - canvas.TextHeight(text)) / 2;
  canvas.TextRect(rect, x, y, text);
  XorInto(image, layer);
}

void TSimplePieGauge::PaintGauge(TBitmap& image) const {
  // At the screen's device pixels, so that the disk and its figure are sharp at any scale.
  image.SetSize(width(), height(), devicePixelRatioF());
  PaintBlack(image);
  TRect rect{0, 0, width(), height()};
  if (borderStyle_ == TBorderStyle::Single) rect = TRect{1, 1, width() - 1, height() - 1};
  {
    TBltBitmap overlay;
    overlay.MakeLike(image);
    PaintBlack(overlay);
    DrawPie(overlay.Canvas(), rect);
    XorInto(image, overlay);
  }
  if (showText_) DrawPercent(image, rect);
}

void TSimplePieGauge::paintEvent(QPaintEvent*) {
  TBitmap image;
  PaintGauge(image);
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(0, 0, image.Image());
}
