#include "charts/HPieChart.h"

#include "charts/PieLabels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <utility>

namespace {

// The frame around a label's text, each side.
constexpr int LabelPadX = 4;
constexpr int LabelPadY = 2;

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// Runs body, then always finally, also when body throws (the exception then goes on).
template <typename TBody, typename TFinallyPart>
void TryFinally(TBody body, TFinallyPart finally) {
  try {
    body();
  } catch (...) {
    finally();
    throw;
  }
  finally();
}

using TSectionList = std::vector<std::unique_ptr<TPieSection>>;

// Hoare's quicksort with the middle element as pivot, sorting in place. It does not keep equal
// elements in their order.
template <typename TCompare>
void QuickSort(TSectionList& list, int l, int r, const TCompare& compare) {
  int i = l;
  do {
    i = l;
    int j = r;
    const TPieSection* pivot = list[static_cast<size_t>((l + r) >> 1)].get();
    do {
      while (i < r && compare(*list[static_cast<size_t>(i)], *pivot) < 0) ++i;
      while (j > l && compare(*list[static_cast<size_t>(j)], *pivot) > 0) --j;
      if (i <= j) {
        std::swap(list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) QuickSort(list, l, j, compare);
    l = i;
  } while (i < r);
}

}  // namespace

void TPaintTarget::Painted(const TRect&) {}

THPieChart::THPieChart(TCanvas* canvas, int width, int height) {
  updateCount_ = 1;
  canvas_ = canvas;
  MarginX = 50;
  MarginY = 20;
  CloseLastSection = false;
  SetSize(width, height);
  sections_.clear();
  updateCount_ = 0;
  MinTextAngle = 5.0;
  HotIndex = -1;
  PaintTarget = nullptr;
  Picture = nullptr;
}

THPieChart::~THPieChart() {
  ++updateCount_;
  sections_.clear();
}

void THPieChart::BeginUpdate() { ++updateCount_; }

void THPieChart::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  if (updateCount_ != 0) return;
  Redraw();
  if (PaintTarget && Picture) {
    PaintTarget->Canvas().Draw(0, 0, *Picture);
    PaintTarget->Painted(TRect{0, 0, Picture->Width(), Picture->Height()});
  }
}

void THPieChart::Clear() {
  BeginUpdate();
  TryFinally([this] { sections_.clear(); }, [this] { EndUpdate(); });
}

TPieSection* THPieChart::AddSection(const QString& caption, TColor color, double angle) {
  sections_.push_back(std::make_unique<TPieSection>(caption, color, angle));
  TPieSection* section = sections_.back().get();
  if (updateCount_ == 0) Redraw();
  return section;
}

void THPieChart::SortSections(bool descending) {
  BeginUpdate();
  const auto compare = [descending](const TPieSection& a, const TPieSection& b) {
    int result = 0;
    if (a.Angle > b.Angle) {
      result = -1;
    } else if (a.Angle < b.Angle) {
      result = 1;
    }
    return descending ? result : -result;
  };
  TryFinally(
      [this, &compare] {
        if (sections_.size() > 1)
          QuickSort(sections_, 0, static_cast<int>(sections_.size()) - 1, compare);
      },
      [this] { EndUpdate(); });
}

TPieSection* THPieChart::SectionAt(int index) const {
  if (index < 0 || index >= SectionCount()) return nullptr;
  return sections_[static_cast<size_t>(index)].get();
}

void THPieChart::SetCanvas(TCanvas* canvas) {
  if (canvas == canvas_) return;
  canvas_ = canvas;
  if (updateCount_ == 0) Redraw();
}

void THPieChart::SetColors(TColor back, TColor line, TColor disk) {
  backColor_ = back;
  lineColor_ = line;
  diskColor_ = disk;
  if (updateCount_ == 0) Redraw();
}

void THPieChart::SetLabelColors(TColor brush, TColor pen, TColor font, TColor hotBrush,
                                TColor hotPen, TColor hotFont) {
  labelBrushColor_ = brush;
  labelPenColor_ = pen;
  labelFontColor_ = font;
  hotLabelBrushColor_ = hotBrush;
  hotLabelPenColor_ = hotPen;
  hotLabelFontColor_ = hotFont;
  if (updateCount_ == 0) Redraw();
}

void THPieChart::SetSize(int width, int height) {
  width_ = width;
  height_ = height;
  const int side = std::min(width_ - 2 * MarginX, height_ - 2 * MarginY);
  pieLeft_ = (width_ - side) / 2;
  pieTop_ = (height_ - side) / 2;
  pieWidth_ = side;
  pieHeight_ = side;
  radius_ = side / 2;
}

QPoint THPieChart::PointAt(double angle, int distance) const {
  // The default rounding mode rounds halves to the even neighbour.
  const int dx = static_cast<int>(std::nearbyint(distance * std::sin(Radians(angle))));
  const int dy = static_cast<int>(std::nearbyint(distance * std::cos(Radians(angle))));
  return QPoint(pieLeft_ + radius_ - dx, pieTop_ + radius_ - dy);
}

void THPieChart::Redraw() {
  if (updateCount_ != 0 || !canvas_) return;
  TCanvas& canvas = *canvas_;
  canvas.Brush = TBrush{backColor_, TBrushStyle::Solid};
  canvas.FillRect(TRect{0, 0, width_, height_});
  canvas.Pen.Color = lineColor_;
  canvas.Pen.Style = TPenStyle::Solid;
  canvas.Brush = TBrush{diskColor_, TBrushStyle::Solid};
  canvas.Ellipse(pieLeft_, pieTop_, pieLeft_ + pieWidth_, pieTop_ + pieHeight_);

  // Whatever happens to the sections, the highlighted label goes on top and the disk's outline
  // over every sector.
  TryFinally([this] { DrawSections(); },
             [this, &canvas] {
               DrawLabel(HotIndex, true);
               canvas.Brush.Style = TBrushStyle::Clear;
               canvas.Pen.Color = lineColor_;
               canvas.Pen.Style = TPenStyle::Solid;
               canvas.Ellipse(pieLeft_, pieTop_, pieLeft_ + pieWidth_, pieTop_ + pieHeight_);
             });
}

void THPieChart::DrawSections() {
  TCanvas& canvas = *canvas_;
  const QPoint centre(pieLeft_ + radius_, pieTop_ + radius_);
  const QPoint top(pieLeft_ + radius_, pieTop_);
  if (!sections_.empty() && sections_.front()->Color == diskColor_) {
    // The first section is not filled, so its starting border is drawn here.
    canvas.MoveTo(centre.x(), centre.y());
    canvas.LineTo(top.x(), top.y());
  }

  // The labels are placed once every section is drawn, so that they keep clear of each other and
  // of the picture's edges, and drawn over the sections.
  std::vector<TPieLabelBox> labels;
  std::vector<std::pair<int, QPoint>> labelled;  // section index, end of its leader
  double cumulative = 0;
  double previous = 0;
  QPoint start = PointAt(0, radius_);
  for (size_t i = 0; i < sections_.size(); ++i) {
    TPieSection& section = *sections_[i];
    cumulative += section.Angle;
    if (cumulative > 360) cumulative = 360;
    const bool last = i + 1 == sections_.size();
    const QPoint end = last && CloseLastSection ? top : PointAt(cumulative, radius_);

    // Sections in the disk colour are already painted. When both ends meet, a small section would
    // fill the whole disk, so only a section of more than half the disk is filled then.
    if (section.Color != diskColor_ && (end != start || section.Angle > 180)) {
      canvas.Brush = TBrush{section.Color, TBrushStyle::Solid};
      canvas.Pen.Color = section.Color;
      canvas.Pen.Style = TPenStyle::Solid;
      canvas.Pie(pieLeft_, pieTop_, pieLeft_ + pieWidth_, pieTop_ + pieHeight_, start.x(), start.y(),
                 end.x(), end.y());
    }
    canvas.Pen.Color = lineColor_;
    canvas.Pen.Style = TPenStyle::Solid;
    canvas.MoveTo(centre.x(), centre.y());
    canvas.LineTo(start.x(), start.y());
    canvas.MoveTo(centre.x(), centre.y());
    canvas.LineTo(end.x(), end.y());

    if (!section.Caption.isEmpty() && section.Angle >= MinTextAngle) {
      const double middle = (cumulative - previous) / 2 + previous;
      const QPoint rim = PointAt(middle, radius_);
      const QPoint leader = PointAt(middle, radius_ + 10);
      canvas.MoveTo(rim.x(), rim.y());
      canvas.LineTo(leader.x(), leader.y());
      int x = leader.x();
      int y = leader.y();
      const int textWidth = canvas.TextWidth(section.Caption);
      const int textHeight = canvas.TextHeight(section.Caption);
      if (middle < 180) x -= textWidth;
      if (middle < 90 || middle > 270) y -= textHeight;
      TPieLabelBox label;
      label.Wanted = QRect(x - LabelPadX, y - LabelPadY, textWidth + 2 * LabelPadX, textHeight + 2 * LabelPadY);
      label.LeftSide = middle < 180;
      label.Angle = section.Angle;
      labels.push_back(label);
      labelled.push_back({static_cast<int>(i), leader});
    }

    previous = cumulative;
    start = end;
    if (cumulative >= 360) break;
  }

  PlacePieLabels(labels, width_, height_);
  for (size_t k = 0; k < labels.size(); ++k) {
    TPieSection& section = *sections_[static_cast<size_t>(labelled[k].first)];
    section.LabelShown = labels[k].Shown;
    if (!labels[k].Shown) continue;
    const QRect& box = labels[k].Box;
    if (box != labels[k].Wanted) {
      // Moved away from its leader: a line from the leader's end to the nearest point of the box.
      const QPoint leader = labelled[k].second;
      const int x = std::clamp(leader.x(), box.left(), box.right());
      const int y = std::clamp(leader.y(), box.top(), box.bottom());
      canvas.Pen.Color = lineColor_;
      canvas.Pen.Style = TPenStyle::Solid;
      canvas.MoveTo(leader.x(), leader.y());
      canvas.LineTo(x, y);
    }
    canvas.MoveTo(box.left() + LabelPadX, box.top() + LabelPadY);
    section.LabelPos = canvas.PenPos();
    DrawLabel(labelled[k].first, false);
  }
}

void THPieChart::DrawLabel(int index, bool hot) {
  const TPieSection* section = SectionAt(index);
  if (!section || !canvas_ || updateCount_ != 0) return;
  if (section->Caption.isEmpty() || section->Angle < MinTextAngle || !section->LabelShown) return;
  TCanvas& canvas = *canvas_;
  const int x = section->LabelPos.x();
  const int y = section->LabelPos.y();
  canvas.MoveTo(x, y);
  const TRect box{x - LabelPadX, y - LabelPadY, x + canvas.TextWidth(section->Caption) + LabelPadX,
                  y + canvas.TextHeight(section->Caption) + LabelPadY};
  // The box goes to the visible control at once, so that a highlighted label shows without a
  // repaint of the whole pie.
  TryFinally(
      [&] {
        canvas.Brush = TBrush{hot ? hotLabelBrushColor_ : labelBrushColor_, TBrushStyle::Solid};
        canvas.Pen.Color = hot ? hotLabelPenColor_ : labelPenColor_;
        canvas.Pen.Style = TPenStyle::Solid;
        canvas.Rectangle(box.Left, box.Top, box.Right, box.Bottom);
        canvas.Font.Color = hot ? hotLabelFontColor_ : labelFontColor_;
        canvas.Brush.Style = TBrushStyle::Clear;
        canvas.TextOut(x, y, section->Caption);
      },
      [this, &canvas, box] {
        if (!PaintTarget) return;
        PaintTarget->Canvas().CopyRect(box, canvas, box);
        PaintTarget->Painted(box);
      });
}

bool THPieChart::PointAngle(int x, int y, int* angle) const {
  const int bx = x - pieLeft_;
  const int by = y - pieTop_;
  const double distance = std::hypot(static_cast<double>(radius_ - bx),
                                     static_cast<double>(radius_ - by));
  if (distance == 0) return false;
  const double horizontal = std::abs(static_cast<double>(bx - radius_));
  // Angle from the horizontal axis, 0..90, in whole degrees.
  const int g = static_cast<int>(
      std::nearbyint(std::acos(std::min(1.0, horizontal / distance)) * 180.0 / std::numbers::pi));
  const bool left = bx < radius_;
  const bool above = by < radius_;
  if (left && above) {
    *angle = 90 - g;
  } else if (left) {
    *angle = g + 90;
  } else if (above) {
    *angle = g + 270;
  } else {
    *angle = 270 - g;
  }
  return true;
}

int THPieChart::SectionIndexAt(int x, int y) const {
  const int64_t dx = x - pieLeft_ - radius_;
  const int64_t dy = y - pieTop_ - radius_;
  if (static_cast<int64_t>(radius_) * radius_ < dx * dx + dy * dy) return -1;
  int angle = 0;
  if (!PointAngle(x, y, &angle)) return -1;
  double total = 0;
  for (size_t i = 0; i < sections_.size(); ++i) {
    if (i + 1 == sections_.size() && CloseLastSection) {
      total = 360;
    } else {
      total += sections_[i]->Angle;
    }
    if (angle <= total) return static_cast<int>(i);
  }
  return -1;
}
