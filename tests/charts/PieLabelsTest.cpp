// Placing the pie's labels: inside the picture, never over each other, the smallest sections'
// labels left out when a side cannot hold them all.
#include "charts/PieLabels.h"

#include <gtest/gtest.h>

namespace {

TPieLabelBox Label(int x, int y, int w, int h, bool left, double angle) {
  TPieLabelBox label;
  label.Wanted = QRect(x, y, w, h);
  label.LeftSide = left;
  label.Angle = angle;
  return label;
}

void ExpectInsideAndApart(const std::vector<TPieLabelBox>& labels, int width, int height) {
  const QRect picture(0, 0, width, height);
  for (size_t i = 0; i < labels.size(); ++i) {
    if (!labels[i].Shown) continue;
    EXPECT_TRUE(picture.contains(labels[i].Box)) << "label " << i;
    EXPECT_EQ(labels[i].Box.size(), labels[i].Wanted.size()) << "label " << i;
    for (size_t j = i + 1; j < labels.size(); ++j) {
      if (labels[j].Shown) {
        EXPECT_FALSE(labels[i].Box.intersects(labels[j].Box)) << i << " and " << j;
      }
    }
  }
}

}  // namespace

TEST(PieLabels, LabelsWithRoomStayWhereTheirLeadersPutThem) {
  std::vector<TPieLabelBox> labels = {Label(10, 10, 80, 20, true, 90), Label(200, 150, 80, 20, false, 200)};
  PlacePieLabels(labels, 300, 200);
  for (const TPieLabelBox& label : labels) {
    EXPECT_TRUE(label.Shown);
    EXPECT_EQ(label.Box, label.Wanted);
  }
}

TEST(PieLabels, EdgesAndOverlapsAreResolved) {
  struct TCase {
    const char* What;
    std::vector<TPieLabelBox> Labels;
  };
  const TCase cases[] = {
      {"cut at the bottom edge", {Label(100, 190, 120, 20, false, 40)}},
      {"cut at the left and top edges", {Label(-30, -8, 120, 20, true, 40)}},
      {"cut at the right edge", {Label(250, 50, 120, 20, false, 40)}},
      {"three on top of each other on one side", {Label(10, 90, 80, 20, true, 30), Label(12, 95, 80, 20, true, 20),
                                                  Label(8, 100, 80, 20, true, 10)}},
      {"a pile at the bottom pushed up", {Label(200, 185, 80, 20, false, 30), Label(200, 188, 80, 20, false, 20)}},
      {"the two sides pushed into each other", {Label(100, 50, 120, 20, true, 30), Label(140, 55, 120, 20, false, 20)}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    std::vector<TPieLabelBox> labels = c.Labels;
    PlacePieLabels(labels, 300, 200);
    ExpectInsideAndApart(labels, 300, 200);
    int shown = 0;
    for (const TPieLabelBox& label : labels) shown += label.Shown ? 1 : 0;
    EXPECT_GE(shown, 1);
  }
}

TEST(PieLabels, WhenASideIsFullTheSmallestSectionsLabelsGo) {
  // Ten labels of 30 pixels on a side 200 pixels high: six fit.
  std::vector<TPieLabelBox> labels;
  for (int i = 0; i < 10; ++i) labels.push_back(Label(20, 100, 80, 30, true, 10.0 + i));
  labels.push_back(Label(200, 100, 80, 30, false, 1));  // alone on its side: kept however small
  PlacePieLabels(labels, 300, 200);
  ExpectInsideAndApart(labels, 300, 200);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(labels[static_cast<size_t>(i)].Shown, i >= 4) << "angle " << 10 + i;
  EXPECT_TRUE(labels.back().Shown);
  // A label wider than the picture has no place at all.
  std::vector<TPieLabelBox> wide = {Label(0, 0, 400, 20, false, 90)};
  PlacePieLabels(wide, 300, 200);
  EXPECT_FALSE(wide[0].Shown);
}
