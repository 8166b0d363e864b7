#pragma once
// The pie chart engine: an ordered list of sections (angle, caption, colour) drawn as a labelled
// pie on a canvas, a hit test, and the copy of the picture to the visible control.
//
// Angles are degrees and grow counter-clockwise on the screen from 12 o'clock: 0 is straight up,
// 90 left of the centre, 180 straight down, 270 right of it.

#include "charts/BitmapCanvas.h"
#include "charts/Canvas.h"

#include <QImage>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class TTreeNode;

// Where the engine shows its picture and its label updates: anything with a canvas, typically the
// visible control. After the engine has painted a rectangle it says so, so that the control can
// schedule a repaint of just that part.
class TPaintTarget {
public:
  virtual ~TPaintTarget() = default;
  virtual TCanvas& Canvas() = 0;
  virtual void Painted(const TRect& rect);
};

// A paint target that keeps what it receives in an image: the visible control's backing store, or
// a stand-in for one.
class TBitmapPaintTarget : public TPaintTarget {
public:
  TBitmapPaintTarget(int width, int height) : bitmap_(width, height) {}
  TCanvas& Canvas() override { return bitmap_.Canvas(); }
  TBitmap& Bitmap() { return bitmap_; }
  const QImage& Image() const { return bitmap_.Image(); }

private:
  TBitmap bitmap_;
};

class TPieSection {
public:
  TPieSection(const QString& caption, TColor color, double angle)
      : Angle(angle), Caption(caption), Color(color) {}

  double Angle;
  QString Caption;
  TColor Color;
  // Client data: the folder-tree node of the section, not owned.
  TTreeNode* Node = nullptr;
  // Client data: the index of the section's information record.
  int32_t InfoIndex = 0;
  // Top-left corner of the label text, written by the last redraw.
  QPoint LabelPos;
  // Whether the last redraw found room for the label (a section too small for one has none).
  bool LabelShown = true;
};

class THPieChart {
public:
  // Draws nothing; the canvas may be none.
  THPieChart(TCanvas* canvas, int width, int height);
  ~THPieChart();
  THPieChart(const THPieChart&) = delete;
  THPieChart& operator=(const THPieChart&) = delete;

  void BeginUpdate();
  // Ends one update lock; at the last one (or when there was none) redraws and shows the picture
  // on the paint target.
  void EndUpdate();
  void Clear();
  TPieSection* AddSection(const QString& caption, TColor color, double angle);
  // Sorts by angle, largest first when descending. The sort is an in-place quicksort: sections of
  // equal angle end in no particular order.
  void SortSections(bool descending);
  TPieSection* SectionAt(int index) const;
  int SectionCount() const { return static_cast<int>(sections_.size()); }
  // Index of the section under the point, or -1.
  int SectionIndexAt(int x, int y) const;

  void SetCanvas(TCanvas* canvas);
  TCanvas* Canvas() const { return canvas_; }
  void SetColors(TColor back, TColor line, TColor disk);
  void SetLabelColors(TColor brush, TColor pen, TColor font, TColor hotBrush, TColor hotPen,
                      TColor hotFont);
  // Stores the size and lays the disk out again; draws nothing.
  void SetSize(int width, int height);
  void Redraw();
  // Draws the label of one section, in the highlighted colours when hot, and copies its box to the
  // paint target.
  void DrawLabel(int index, bool hot);

  int UpdateCount() const { return updateCount_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int PieLeft() const { return pieLeft_; }
  int PieTop() const { return pieTop_; }
  int PieWidth() const { return pieWidth_; }
  int PieHeight() const { return pieHeight_; }
  int Radius() const { return radius_; }
  TColor BackColor() const { return backColor_; }
  TColor LineColor() const { return lineColor_; }
  TColor DiskColor() const { return diskColor_; }

  // Free space kept left and right of the disk, and above and below it; used by SetSize.
  int MarginX = 50;
  int MarginY = 20;
  // Receives label updates and the finished picture; not owned.
  TPaintTarget* PaintTarget = nullptr;
  // The picture Canvas belongs to, drawn onto the paint target at the end of an update; not owned.
  const TBitmap* Picture = nullptr;
  // The last section always ends exactly at the top.
  bool CloseLastSection = false;
  // Sections with a smaller angle get no label.
  double MinTextAngle = 5.0;
  // The highlighted label, -1 for none.
  int HotIndex = -1;

  // The point at distance d from the disk's centre in the direction of the angle.
  QPoint PointAt(double angle, int distance) const;

private:
  void DrawSections();
  // Whole-degree angle of a point around the centre; none for the centre itself.
  bool PointAngle(int x, int y, int* angle) const;

  int updateCount_ = 0;
  std::vector<std::unique_ptr<TPieSection>> sections_;
  TCanvas* canvas_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int pieLeft_ = 0;
  int pieTop_ = 0;
  int pieWidth_ = 0;
  int pieHeight_ = 0;
  int radius_ = 0;
  TColor backColor_ = 0;
  TColor lineColor_ = 0;
  TColor diskColor_ = 0;
  TColor labelBrushColor_ = 0;
  TColor labelPenColor_ = 0;
  TColor labelFontColor_ = 0;
  TColor hotLabelBrushColor_ = 0;
  TColor hotLabelPenColor_ = 0;
  TColor hotLabelFontColor_ = 0;
};
