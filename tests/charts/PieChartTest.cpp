// The pie engine: layout and rim points, the hit test, what a redraw paints (checked on the pixels
// of a bitmap and on the operations recorded by a metafile canvas), labels, the update lock, the
// copy to the paint target and the sort.
#include "charts/BitmapCanvas.h"
#include "charts/HPieChart.h"
#include "charts/Metafile.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr TColor Back = RgbToColor(250, 250, 250);
constexpr TColor Line = RgbToColor(0, 0, 0);
constexpr TColor Disk = RgbToColor(200, 200, 200);
constexpr TColor LabelBrush = RgbToColor(255, 255, 225);
constexpr TColor LabelPen = RgbToColor(0, 0, 128);
constexpr TColor LabelFont = RgbToColor(0, 0, 1);
constexpr TColor HotBrush = RgbToColor(255, 255, 0);
constexpr TColor HotPen = RgbToColor(128, 0, 0);
constexpr TColor HotFont = RgbToColor(1, 0, 0);
constexpr TColor Green = RgbToColor(0, 255, 0);
constexpr TColor Blue = RgbToColor(0, 0, 255);
constexpr TColor Red = RgbToColor(255, 0, 0);

TColor PixelAt(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
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

void SetTestColors(THPieChart& chart) {
  chart.SetColors(Back, Line, Disk);
  chart.SetLabelColors(LabelBrush, LabelPen, LabelFont, HotBrush, HotPen, HotFont);
}

// A 500 x 300 chart on a bitmap, the size the layout examples use.
struct BitmapPie {
  TBitmap Bitmap{500, 300};
  THPieChart Chart{&Bitmap.Canvas(), 500, 300};

  BitmapPie() { SetTestColors(Chart); }
  const QImage& Image() const { return Bitmap.Image(); }
  TColor At(int x, int y) const { return PixelAt(Bitmap.Image(), x, y); }
};

// A 500 x 300 chart on a metafile canvas: each redraw is read back as the list of operations.
struct RecordedPie {
  TMetafile Metafile{500, 300};
  TMetafileCanvas Canvas{Metafile};
  THPieChart Chart{&Canvas, 500, 300};

  RecordedPie() { SetTestColors(Chart); }
  std::vector<TMetaRecord> Redraw() {
    const size_t before = Metafile.Records().size();
    Chart.Redraw();
    return {Metafile.Records().begin() + static_cast<std::ptrdiff_t>(before),
            Metafile.Records().end()};
  }
};

std::vector<TMetaRecord> Only(const std::vector<TMetaRecord>& records, TMetaOp op) {
  std::vector<TMetaRecord> out;
  std::copy_if(records.begin(), records.end(), std::back_inserter(out),
               [op](const TMetaRecord& r) { return r.Op == op; });
  return out;
}

const TMetaRecord* TextRecord(const std::vector<TMetaRecord>& records, const QString& text) {
  for (const TMetaRecord& r : records)
    if (r.Op == TMetaOp::Text && r.Text == text) return &r;
  return nullptr;
}

// ---- Layout ----

TEST(PieChartLayout, SquareAndRadiusFollowTheMarginsWithTruncatingDivisions) {
  struct Case {
    int Width, Height;
    int Left, Top, Side, Radius;
  };
  const Case cases[] = {
      {500, 300, 120, 20, 260, 130},
      {300, 500, 50, 150, 200, 100},
      {501, 301, 120, 20, 261, 130},
      // Smaller than the margins: the divisions truncate toward zero, not down.
      {81, 40, 50, 29, -19, -9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height);
    THPieChart chart(nullptr, c.Width, c.Height);
    EXPECT_EQ(chart.PieLeft(), c.Left);
    EXPECT_EQ(chart.PieTop(), c.Top);
    EXPECT_EQ(chart.PieWidth(), c.Side);
    EXPECT_EQ(chart.PieHeight(), c.Side);
    EXPECT_EQ(chart.Radius(), c.Radius);
  }
}

TEST(PieChartLayout, RimPointsGoCounterClockwiseFromTheTop) {
  THPieChart chart(nullptr, 500, 300);
  struct Case {
    double Angle;
    int Distance;
    QPoint Expected;
  };
  const Case cases[] = {
      {0, 130, {250, 20}},
      {90, 130, {120, 150}},
      {180, 130, {250, 280}},
      {270, 130, {380, 150}},
      {45, 130, {158, 58}},
      // The leader's end lies 10 pixels further out, measured from the same centre.
      {90, 140, {110, 150}},
      {180, 140, {250, 290}},
      // 130 x sin of this angle is exactly 64.5: the half goes to the even neighbour, 64.
      {29.745865074411387, 130, {186, 37}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Angle << " at " << c.Distance);
    EXPECT_EQ(chart.PointAt(c.Angle, c.Distance), c.Expected);
  }
}

TEST(PieChartLayout, SectionEndsOnTheRoundedRimPoint) {
  RecordedPie pie;
  pie.Chart.AddSection("", Green, 29.745865074411387);
  const auto lines = Only(pie.Redraw(), TMetaOp::LineTo);
  const bool endsThere = std::any_of(lines.begin(), lines.end(),
                                     [](const TMetaRecord& r) { return r.To == QPoint(186, 37); });
  EXPECT_TRUE(endsThere);
}

TEST(PieChartLayout, CreatingAndResizingDrawNothing) {
  RecordedPie pie;
  EXPECT_TRUE(pie.Metafile.Records().size() > 0);  // SetColors redrew once
  const size_t before = pie.Metafile.Records().size();
  pie.Chart.SetSize(300, 200);
  EXPECT_EQ(pie.Metafile.Records().size(), before);
  EXPECT_EQ(pie.Chart.Radius(), 80);

  TMetafile fresh(100, 100);
  TMetafileCanvas canvas(fresh);
  THPieChart chart(&canvas, 100, 100);
  EXPECT_TRUE(fresh.Records().empty());
  EXPECT_EQ(chart.UpdateCount(), 0);
  EXPECT_EQ(chart.HotIndex, -1);
  EXPECT_EQ(chart.MinTextAngle, 5.0);
  EXPECT_FALSE(chart.CloseLastSection);
}

// ---- Hit test ----

TEST(PieChartHitTest, PointsOfTheReferenceLayout) {
  THPieChart chart(nullptr, 500, 300);
  for (int i = 0; i < 4; ++i) chart.AddSection("", Green, 90);
  struct Case {
    int X, Y;
    int Expected;
  };
  const Case cases[] = {
      {249, 21, 0},    // just left of straight up: angle 0
      {250, 21, 3},    // straight up: angle 360, the last section
      {250, 150, -1},  // the exact centre has no angle
      {250, 19, -1},   // one pixel above the rim
      {381, 150, -1},  // one pixel right of the rim
      {119, 150, -1},
      {250, 281, -1},
      {250, 20, 3},    // on the rim counts as inside
      {120, 150, 0},   // straight left: angle 90 ends the first section
      {250, 280, 1},   // straight down: 180
      {380, 150, 2},   // straight right: 270
      {200, 100, 0},
      {200, 200, 1},
      {300, 200, 2},
      {300, 100, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.X << ", " << c.Y << ")");
    EXPECT_EQ(chart.SectionIndexAt(c.X, c.Y), c.Expected);
  }
}

TEST(PieChartHitTest, WholeDegreesDecideBetweenNeighbours) {
  THPieChart chart(nullptr, 500, 300);
  // (140, 160): 110 left of the centre and 10 below it, 5.19 degrees below the horizontal, which
  // rounds to 5, so the point's angle is 95.
  chart.AddSection("", Green, 94.6);
  chart.AddSection("", Blue, 0.4);
  chart.AddSection("", Red, 265);
  EXPECT_EQ(chart.SectionIndexAt(140, 160), 1);
}

TEST(PieChartHitTest, CloseLastSectionCoversTheTop) {
  THPieChart chart(nullptr, 500, 300);
  chart.AddSection("", Green, 100);
  chart.AddSection("", Blue, 100);
  chart.AddSection("", Red, 159.8);
  EXPECT_EQ(chart.SectionIndexAt(250, 21), -1);
  chart.CloseLastSection = true;
  EXPECT_EQ(chart.SectionIndexAt(250, 21), 2);
  EXPECT_EQ(chart.SectionIndexAt(249, 21), 0);
}

TEST(PieChartHitTest, NoSectionsNoHit) {
  THPieChart chart(nullptr, 500, 300);
  EXPECT_EQ(chart.SectionIndexAt(200, 100), -1);
}

// ---- Redraw ----

TEST(PieChartRedraw, SectionsAreFilledBetweenTheirBorders) {
  BitmapPie pie;
  pie.Chart.AddSection("", Green, 90);   // upper left
  pie.Chart.AddSection("", Blue, 90);    // lower left
  pie.Chart.AddSection("", Red, 180);    // right half
  EXPECT_EQ(pie.At(200, 100), Green);
  EXPECT_EQ(pie.At(200, 200), Blue);
  EXPECT_EQ(pie.At(300, 100), Red);
  EXPECT_EQ(pie.At(300, 200), Red);
  // Borders: centre to top, centre to the left, centre to the bottom.
  EXPECT_EQ(pie.At(250, 80), Line);
  EXPECT_EQ(pie.At(180, 150), Line);
  EXPECT_EQ(pie.At(250, 220), Line);
  // The outline, and the background outside it.
  EXPECT_EQ(pie.At(120, 150), Line);
  EXPECT_EQ(pie.At(379, 150), Line);
  EXPECT_EQ(pie.At(110, 150), Back);
  EXPECT_EQ(pie.At(5, 5), Back);
  EXPECT_EQ(pie.At(499, 299), Back);
}

TEST(PieChartRedraw, OneFullSectionFillsTheDisk) {
  RecordedPie recorded;
  recorded.Chart.AddSection("", Green, 360);
  const auto records = recorded.Redraw();
  const auto pies = Only(records, TMetaOp::Pie);
  ASSERT_EQ(pies.size(), 1u);
  EXPECT_EQ(pies[0].From, QPoint(250, 20));
  EXPECT_EQ(pies[0].To, QPoint(250, 20));

  BitmapPie pie;
  pie.Chart.AddSection("", Green, 360);
  for (QPoint p : {QPoint(200, 100), QPoint(200, 200), QPoint(300, 200), QPoint(300, 100),
                   QPoint(251, 25), QPoint(249, 25)}) {
    EXPECT_EQ(pie.At(p.x(), p.y()), Green) << p.x() << ", " << p.y();
  }
  EXPECT_EQ(pie.At(250, 80), Line);
}

TEST(PieChartRedraw, DiskColouredSectionsAreOnlyBordered) {
  RecordedPie recorded;
  recorded.Chart.AddSection("", Disk, 90);
  recorded.Chart.AddSection("", Green, 90);
  recorded.Chart.AddSection("", Disk, 180);
  const auto records = recorded.Redraw();
  const auto pies = Only(records, TMetaOp::Pie);
  ASSERT_EQ(pies.size(), 1u);
  EXPECT_EQ(pies[0].Brush.Color, Green);
  // The first section's starting border comes before any section is drawn.
  const auto firstPie = std::find_if(records.begin(), records.end(),
                                     [](const TMetaRecord& r) { return r.Op == TMetaOp::Pie; });
  const auto topLine = std::find_if(records.begin(), records.end(), [](const TMetaRecord& r) {
    return r.Op == TMetaOp::LineTo && r.From == QPoint(250, 150) && r.To == QPoint(250, 20);
  });
  EXPECT_TRUE(topLine < firstPie);

  BitmapPie pie;
  pie.Chart.AddSection("", Disk, 90);
  pie.Chart.AddSection("", Green, 90);
  pie.Chart.AddSection("", Disk, 180);
  EXPECT_EQ(pie.At(200, 100), Disk);
  EXPECT_EQ(pie.At(200, 200), Green);
  EXPECT_EQ(pie.At(300, 150), Disk);
  EXPECT_EQ(pie.At(250, 60), Line);
  EXPECT_EQ(pie.At(180, 150), Line);
  EXPECT_EQ(pie.At(250, 220), Line);
}

TEST(PieChartRedraw, TinySectionWhoseEndsMeetIsNotFilled) {
  BitmapPie pie;
  pie.Chart.AddSection("", Green, 359.9);  // ends on the top pixel: more than half, whole disk
  pie.Chart.AddSection("", Red, 0.1);      // starts and ends there too
  EXPECT_EQ(pie.At(200, 100), Green);
  EXPECT_EQ(pie.At(300, 200), Green);
  EXPECT_EQ(pie.At(300, 100), Green);
}

TEST(PieChartRedraw, CloseLastSectionEndsAtTheTop) {
  RecordedPie open;
  open.Chart.AddSection("", Green, 90);
  open.Chart.AddSection("", Blue, 90);
  open.Chart.AddSection("", Red, 170);
  const auto openPies = Only(open.Redraw(), TMetaOp::Pie);
  ASSERT_EQ(openPies.size(), 3u);
  EXPECT_EQ(openPies[2].To, QPoint(273, 22));  // the rim point at 350

  RecordedPie closed;
  closed.Chart.CloseLastSection = true;
  closed.Chart.AddSection("", Green, 90);
  closed.Chart.AddSection("", Blue, 90);
  closed.Chart.AddSection("", Red, 170);
  const auto closedPies = Only(closed.Redraw(), TMetaOp::Pie);
  ASSERT_EQ(closedPies.size(), 3u);
  EXPECT_EQ(closedPies[2].To, QPoint(250, 20));

  BitmapPie pie;
  pie.Chart.CloseLastSection = true;
  pie.Chart.AddSection("", Green, 100);
  pie.Chart.AddSection("", Blue, 100);
  pie.Chart.AddSection("", Red, 159.8);
  EXPECT_EQ(pie.At(253, 40), Red);  // just right of the top, inside the last section
}

TEST(PieChartRedraw, DrawingStopsAt360ButTheHitTestCountsOn) {
  RecordedPie pie;
  pie.Chart.AddSection("First", Green, 350);
  pie.Chart.AddSection("Second", Blue, 20);
  TPieSection* third = pie.Chart.AddSection("Third", Red, 5);
  const auto records = pie.Redraw();
  const auto pies = Only(records, TMetaOp::Pie);
  ASSERT_EQ(pies.size(), 2u);
  EXPECT_EQ(pies[1].Brush.Color, Blue);
  EXPECT_EQ(pies[1].To, QPoint(250, 20));  // clipped at 360
  EXPECT_EQ(TextRecord(records, "Third"), nullptr);
  EXPECT_NE(TextRecord(records, "Second"), nullptr);
  EXPECT_EQ(third->LabelPos, QPoint(0, 0));
  // A point at 358 degrees lies in the second section's unclipped 350..370.
  EXPECT_EQ(pie.Chart.SectionIndexAt(255, 21), 1);
}

TEST(PieChartRedraw, HotLabelAndOutlineComeLast) {
  RecordedPie pie;
  pie.Chart.AddSection("Left", Green, 180);
  pie.Chart.AddSection("Right", Blue, 180);
  pie.Chart.HotIndex = 0;
  const auto records = pie.Redraw();
  ASSERT_GE(records.size(), 3u);
  const TMetaRecord& box = records[records.size() - 3];
  const TMetaRecord& text = records[records.size() - 2];
  const TMetaRecord& outline = records.back();
  EXPECT_EQ(box.Op, TMetaOp::Rectangle);
  EXPECT_EQ(box.Brush.Color, HotBrush);
  EXPECT_EQ(box.Pen.Color, HotPen);
  EXPECT_EQ(text.Text, "Left");
  EXPECT_EQ(text.Font.Color, HotFont);
  EXPECT_EQ(text.Brush.Style, TBrushStyle::Clear);
  EXPECT_EQ(outline.Op, TMetaOp::Ellipse);
  EXPECT_EQ(outline.Brush.Style, TBrushStyle::Clear);
  EXPECT_EQ(outline.Pen.Color, Line);
  EXPECT_EQ(outline.Rect, (TRect{120, 20, 380, 280}));
  // Both labels were drawn normally during the loop as well.
  const auto texts = Only(records, TMetaOp::Text);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].Font.Color, LabelFont);
  EXPECT_EQ(texts[1].Text, "Right");
}

TEST(PieChartRedraw, WithoutCanvasNothingHappens) {
  THPieChart chart(nullptr, 500, 300);
  TBitmapPaintTarget target(500, 300);
  chart.PaintTarget = &target;
  chart.AddSection("Label", Green, 180);
  chart.Redraw();
  chart.DrawLabel(0, true);
  EXPECT_EQ(PixelAt(target.Image(), 100, 100), RgbToColor(255, 255, 255));
}

// ---- Labels ----

TEST(PieChartLabels, LabelsMoveAwayFromTheDisk) {
  TBitmap scratch(1, 1);
  const int tw = scratch.Canvas().TextWidth("Caption");
  const int th = scratch.Canvas().TextHeight("Caption");
  struct Case {
    std::vector<double> Angles;  // the last section carries the caption
    QPoint Expected;
  };
  const Case cases[] = {
      // Middle angle 90: moved left, not up.
      {{180}, {110 - tw, 150}},
      // 180: neither left nor up; the label would reach below the 300-pixel picture (its frame is
      // 2 pixels below the text), so it is lifted to end at the edge.
      {{360}, {250, std::min(290, 300 - 2 - th)}},
      // 270: not up (and not left).
      {{180, 180}, {390, 150}},
      // 45: left and up.
      {{90}, {151 - tw, 51 - th}},
      // 315: up only.
      {{270, 90}, {349, 51 - th}},
      // 135: left only.
      {{90, 90}, {151 - tw, 249}},
  };
  for (const Case& c : cases) {
    BitmapPie pie;
    pie.Chart.BeginUpdate();
    TPieSection* last = nullptr;
    for (size_t i = 0; i < c.Angles.size(); ++i)
      last = pie.Chart.AddSection(i + 1 == c.Angles.size() ? "Caption" : "", Green, c.Angles[i]);
    pie.Chart.EndUpdate();
    SCOPED_TRACE(testing::Message() << "last section " << c.Angles.back());
    EXPECT_EQ(last->LabelPos, c.Expected);
  }
}

TEST(PieChartLabels, MinTextAngleIsInclusive) {
  for (double angle : {4.9, 5.0}) {
    SCOPED_TRACE(angle);
    RecordedPie pie;
    pie.Chart.AddSection("Small", Green, angle);
    pie.Chart.AddSection("", Blue, 360 - angle);
    const bool labelled = angle >= 5.0;
    EXPECT_EQ(TextRecord(pie.Redraw(), "Small") != nullptr, labelled);
    const size_t before = pie.Metafile.Records().size();
    pie.Chart.DrawLabel(0, true);
    EXPECT_EQ(pie.Metafile.Records().size() > before, labelled);
  }
}

TEST(PieChartLabels, BoxAndTextOnTheBitmap) {
  BitmapPie pie;
  TPieSection* section = pie.Chart.AddSection("Windows", Green, 90);
  pie.Chart.AddSection("", Blue, 270);
  const QPoint pos = section->LabelPos;
  const int tw = pie.Bitmap.Canvas().TextWidth("Windows");
  const int th = pie.Bitmap.Canvas().TextHeight("Windows");
  // Box corners are border, its margin inside is the label fill.
  EXPECT_EQ(pie.At(pos.x() - 4, pos.y() - 2), LabelPen);
  EXPECT_EQ(pie.At(pos.x() + tw + 3, pos.y() + th + 1), LabelPen);
  EXPECT_EQ(pie.At(pos.x() - 2, pos.y()), LabelBrush);
  EXPECT_EQ(pie.At(pos.x() + tw + 4, pos.y() + th + 2), Back);
  // Some pixels of the text are in the font colour.
  int ink = 0;
  for (int y = pos.y(); y < pos.y() + th; ++y)
    for (int x = pos.x(); x < pos.x() + tw; ++x) ink += IsInk(pie.At(x, y), LabelFont, LabelBrush);
  EXPECT_GT(ink, 20);
  // The leader runs from the rim at 45 degrees outwards.
  EXPECT_EQ(pie.At(155, 55), Line);
}

TEST(PieChartLabels, DrawLabelCopiesOnlyItsBoxToThePaintTarget) {
  BitmapPie pie;
  pie.Chart.AddSection("Windows", Green, 90);
  pie.Chart.AddSection("Users", Blue, 270);
  TBitmapPaintTarget target(500, 300);
  target.Canvas().Brush = TBrush{clFuchsia, TBrushStyle::Solid};
  target.Canvas().FillRect(TRect{0, 0, 500, 300});
  pie.Chart.PaintTarget = &target;

  const QPoint pos = pie.Chart.SectionAt(0)->LabelPos;
  const TRect box{pos.x() - 4, pos.y() - 2, pos.x() + pie.Bitmap.Canvas().TextWidth("Windows") + 4,
                  pos.y() + pie.Bitmap.Canvas().TextHeight("Windows") + 2};
  pie.Chart.DrawLabel(0, true);

  EXPECT_EQ(pie.At(box.Left + 2, box.Top + 1), HotBrush);
  const QImage& shown = target.Image();
  int copied = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 500; ++x) {
      if (box.Contains(x, y)) {
        ASSERT_EQ(shown.pixel(x, y), pie.Image().pixel(x, y)) << x << ", " << y;
        ++copied;
      } else {
        ASSERT_EQ(PixelAt(shown, x, y), clFuchsia) << x << ", " << y;
      }
    }
  }
  EXPECT_EQ(copied, box.Width() * box.Height());
}

TEST(PieChartLabels, InvalidIndexesAreIgnored) {
  RecordedPie pie;
  pie.Chart.AddSection("A", Green, 360);
  const size_t before = pie.Metafile.Records().size();
  pie.Chart.DrawLabel(-1, true);
  pie.Chart.DrawLabel(1, true);
  EXPECT_EQ(pie.Metafile.Records().size(), before);
  EXPECT_EQ(pie.Chart.SectionAt(1), nullptr);
  EXPECT_EQ(pie.Chart.SectionAt(-1), nullptr);
  EXPECT_NE(pie.Chart.SectionAt(0), nullptr);
}

// ---- Update lock and paint target ----

TEST(PieChartUpdates, LockedChangesDrawOnceAtTheLastEndUpdate) {
  RecordedPie pie;
  TBitmapPaintTarget target(500, 300);
  pie.Chart.PaintTarget = &target;
  const size_t start = pie.Metafile.Records().size();
  pie.Chart.BeginUpdate();
  pie.Chart.BeginUpdate();
  pie.Chart.Clear();
  pie.Chart.AddSection("A", Green, 200);
  pie.Chart.AddSection("B", Blue, 160);
  pie.Chart.SortSections(false);
  pie.Chart.SetColors(Back, Line, Disk);
  pie.Chart.EndUpdate();
  EXPECT_EQ(pie.Metafile.Records().size(), start);
  EXPECT_EQ(pie.Chart.UpdateCount(), 1);
  pie.Chart.EndUpdate();
  EXPECT_EQ(pie.Chart.UpdateCount(), 0);
  const std::vector<TMetaRecord> drawn(
      pie.Metafile.Records().begin() + static_cast<std::ptrdiff_t>(start),
      pie.Metafile.Records().end());
  EXPECT_EQ(Only(drawn, TMetaOp::FillRect).size(), 1u);  // one redraw
  EXPECT_EQ(pie.Chart.SectionAt(0)->Caption, "B");
  // Never below zero.
  pie.Chart.EndUpdate();
  EXPECT_EQ(pie.Chart.UpdateCount(), 0);
}

TEST(PieChartUpdates, EndUpdateWithoutLockRedrawsAndShowsButSetSizeDoesNot) {
  BitmapPie pie;
  pie.Chart.AddSection("Windows", Green, 120);
  TBitmapPaintTarget target(500, 300);
  target.Canvas().Brush = TBrush{clFuchsia, TBrushStyle::Solid};
  target.Canvas().FillRect(TRect{0, 0, 500, 300});
  pie.Chart.PaintTarget = &target;
  pie.Chart.Picture = &pie.Bitmap;

  pie.Chart.SetSize(400, 300);
  EXPECT_EQ(PixelAt(target.Image(), 10, 10), clFuchsia);
  EXPECT_EQ(pie.At(200, 100), Green);  // still the old layout

  pie.Chart.EndUpdate();
  EXPECT_EQ(target.Image(), pie.Image());
  // The new disk's left edge is at (400 - 260) / 2 = 70.
  EXPECT_EQ(pie.At(70, 150), Line);
  EXPECT_EQ(pie.At(75, 150), Green);
  EXPECT_EQ(pie.At(65, 150), Back);
}

TEST(PieChartUpdates, CanvasChangesRedrawOnlyWhenTheCanvasIsNew) {
  RecordedPie pie;
  pie.Chart.AddSection("A", Green, 360);
  const size_t before = pie.Metafile.Records().size();
  pie.Chart.SetCanvas(&pie.Canvas);
  EXPECT_EQ(pie.Metafile.Records().size(), before);

  // Drawing into another picture and back, as an export does: the paint target only ever receives
  // the on-screen bitmap's pixels.
  BitmapPie screen;
  screen.Chart.AddSection("A", Green, 360);
  TBitmapPaintTarget target(500, 300);
  target.Canvas().Brush = TBrush{clFuchsia, TBrushStyle::Solid};
  target.Canvas().FillRect(TRect{0, 0, 500, 300});
  screen.Chart.PaintTarget = &target;
  TMetafile exported(500, 300);
  TMetafileCanvas exportCanvas(exported);
  screen.Chart.SetCanvas(&exportCanvas);
  EXPECT_FALSE(exported.Records().empty());
  EXPECT_EQ(PixelAt(target.Image(), 10, 10), clFuchsia);
  const QPoint pos = screen.Chart.SectionAt(0)->LabelPos;
  EXPECT_EQ(PixelAt(target.Image(), pos.x(), pos.y()), clFuchsia);
  screen.Chart.SetCanvas(&screen.Bitmap.Canvas());
  EXPECT_EQ(PixelAt(target.Image(), pos.x() - 2, pos.y()), LabelBrush);
}

TEST(PieChartUpdates, ClearEmptiesAndRedraws) {
  BitmapPie pie;
  pie.Chart.AddSection("A", Green, 360);
  EXPECT_EQ(pie.At(200, 100), Green);
  pie.Chart.Clear();
  EXPECT_EQ(pie.Chart.SectionCount(), 0);
  EXPECT_EQ(pie.At(200, 100), Disk);
}

// ---- Sort ----

TEST(PieChartSort, OrdersByAngleEitherWay) {
  THPieChart chart(nullptr, 500, 300);
  const std::vector<double> angles = {12, 80, 3, 45, 80, 7, 100, 1, 33};
  for (double a : angles) chart.AddSection("", Green, a);
  std::vector<double> expected = angles;

  chart.SortSections(true);
  std::sort(expected.begin(), expected.end(), std::greater<>());
  for (int i = 0; i < chart.SectionCount(); ++i)
    EXPECT_EQ(chart.SectionAt(i)->Angle, expected[static_cast<size_t>(i)]);

  chart.SortSections(false);
  std::sort(expected.begin(), expected.end());
  for (int i = 0; i < chart.SectionCount(); ++i)
    EXPECT_EQ(chart.SectionAt(i)->Angle, expected[static_cast<size_t>(i)]);
}

TEST(PieChartSort, EqualAnglesAreNotKeptInOrder) {
  // The in-place quicksort swaps equal elements around its pivot: three equal sections come out
  // reversed, which a stable sort would never do.
  THPieChart chart(nullptr, 500, 300);
  chart.AddSection("a", Green, 10);
  chart.AddSection("b", Green, 10);
  chart.AddSection("c", Green, 10);
  chart.SortSections(true);
  EXPECT_EQ(chart.SectionAt(0)->Caption, "c");
  EXPECT_EQ(chart.SectionAt(1)->Caption, "b");
  EXPECT_EQ(chart.SectionAt(2)->Caption, "a");
}

TEST(PieChartSort, SectionsKeepTheirClientData) {
  THPieChart chart(nullptr, 500, 300);
  for (int i = 0; i < 20; ++i) chart.AddSection(QString::number(i), Green, (i * 7) % 11)->InfoIndex = i;
  chart.SortSections(true);
  std::vector<int> seen;
  for (int i = 0; i < chart.SectionCount(); ++i) {
    const TPieSection* s = chart.SectionAt(i);
    EXPECT_EQ(s->Caption, QString::number(s->InfoIndex));
    EXPECT_EQ(s->Angle, (s->InfoIndex * 7) % 11);
    seen.push_back(s->InfoIndex);
  }
  std::sort(seen.begin(), seen.end());
  for (int i = 0; i < 20; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

}  // namespace
