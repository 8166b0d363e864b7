#pragma once
// Small chart controls: the percentage pie gauge and the bitmap it paints its layers on.

#include "charts/BitmapCanvas.h"
#include "charts/Canvas.h"
#include "charts/ui/ChartAccessible.h"

#include <QString>
#include <QWidget>

#include <stdexcept>

// An operation that the object's state does not allow, such as a range whose minimum would pass
// its maximum.
class EInvalidOperation : public std::runtime_error {
public:
  explicit EInvalidOperation(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& Message() const { return message_; }

private:
  QString message_;
};

// A bitmap that can take another's size, filled in the window-frame colour.
class TBltBitmap : public TBitmap {
public:
  using TBitmap::TBitmap;
  void MakeLike(const TBitmap& other);
};

enum class TBorderStyle { None, Single };

// A percentage shown as a pie that fills clockwise from 12 o'clock, with the figure written across
// it in inverted colours. A new gauge is 100 x 100 pixels, range 0..100, black on white, with a
// one-pixel border.
class TSimplePieGauge : public QWidget, public IAccessibleItems {
  Q_OBJECT

public:
  explicit TSimplePieGauge(QWidget* parent = nullptr);

  int MinValue() const { return minValue_; }
  // Raises EInvalidOperation when v passes the maximum (unless loading); a progress below the new
  // minimum is raised to it.
  void SetMinValue(int v);
  int MaxValue() const { return maxValue_; }
  // Raises EInvalidOperation when v is below the minimum (unless loading); a progress above the
  // new maximum is lowered to it.
  void SetMaxValue(int v);
  int Progress() const { return progress_; }
  // Clamped into the range; repaints only when the percentage shown changes.
  void SetProgress(int v);
  // An accessibility client reads the percentage shown as the chart's figure ("37%").
  int AccessibleItemCount() const override { return 0; }
  QString AccessibleItemName(int) const override { return {}; }
  QString AccessibleItemFigure(int) const override { return {}; }
  QRect AccessibleItemRect(int) const override { return {}; }
  int AccessibleFocusItem() const override { return -1; }
  QString AccessibleChartFigure() const override;
  bool ShowText() const { return showText_; }
  void SetShowText(bool show);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  // The filled part.
  TColor ForeColor() const { return foreColor_; }
  void SetForeColor(TColor color);
  // The empty part of the disk.
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor color);
  // The disk's outline.
  TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(TColor color);
  // The corners outside the disk.
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  // While a form sets up its controls one property at a time, the range is not tested.
  bool Loading() const { return loading_; }
  void SetLoading(bool loading) { loading_ = loading; }

  // Whole percent of the range that the progress covers; 0 for an empty range.
  int PercentDone() const;

  // Paints the gauge as it appears on screen into a bitmap of the control's size.
  void PaintGauge(TBitmap& image) const;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void DrawPie(TCanvas& canvas, const TRect& rect) const;
  void DrawPercent(TBitmap& image, const TRect& rect) const;
  void SetAndRepaint(TColor& field, TColor value);

  int minValue_ = 0;
  int maxValue_ = 100;
  int progress_ = 0;
  bool showText_ = true;
  TBorderStyle borderStyle_ = TBorderStyle::Single;
  TColor foreColor_ = clBlack;
  TColor backColor_ = clWhite;
  TColor borderColor_ = clBlack;
  TColor color_ = clBtnFace;
  bool loading_ = false;
};
