#pragma once
// Where the pie's labels go: each label wants the place at the end of its leader line; labels are
// moved along their side of the disk so that none overlaps another or leaves the picture, and
// when a side has more labels than its height holds, those of the smallest sections are left out.

#include <QRect>

#include <vector>

struct TPieLabelBox {
  // The box (text and its frame) where the leader puts it; Place moves it to Box.
  QRect Wanted;
  // Left of the disk (the label ends at its leader) or right of it (starts there).
  bool LeftSide = false;
  // The section's angle: when labels must go, the smallest go first.
  double Angle = 0;
  QRect Box;
  bool Shown = true;
};

// Places the boxes inside a picture of width x height.
void PlacePieLabels(std::vector<TPieLabelBox>& labels, int width, int height);
