#include "charts/PieLabels.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr int Gap = 1;

// Stacks the shown boxes of one side (given top to bottom by where they want to be) inside
// 0..height: pushed down where they overlap, then up from the bottom edge. False when they do not
// fit in the height.
bool Stack(std::vector<TPieLabelBox*>& side, int height) {
  int bottom = -Gap;
  for (TPieLabelBox* label : side) {
    label->Box.moveTop(std::max(label->Box.top(), bottom + Gap));
    bottom = label->Box.bottom();
  }
  int limit = height - 1 + Gap;
  for (auto it = side.rbegin(); it != side.rend(); ++it) {
    TPieLabelBox* label = *it;
    label->Box.moveBottom(std::min(label->Box.bottom(), limit - Gap));
    limit = label->Box.top();
  }
  return side.empty() || side.front()->Box.top() >= 0;
}

void PlaceSide(std::vector<TPieLabelBox*> side, int height) {
  std::sort(side.begin(), side.end(), [](const TPieLabelBox* a, const TPieLabelBox* b) {
    return a->Wanted.top() < b->Wanted.top();
  });
  while (true) {
    std::vector<TPieLabelBox*> shown;
    for (TPieLabelBox* label : side) {
      if (!label->Shown) continue;
      label->Box.moveTop(label->Wanted.top());
      shown.push_back(label);
    }
    if (Stack(shown, height)) return;
    // Too many for the height: the label of the smallest section goes.
    auto smallest = std::min_element(shown.begin(), shown.end(), [](const TPieLabelBox* a, const TPieLabelBox* b) {
      return a->Angle < b->Angle;
    });
    (*smallest)->Shown = false;
  }
}

}  // namespace

void PlacePieLabels(std::vector<TPieLabelBox>& labels, int width, int height) {
  std::vector<TPieLabelBox*> left;
  std::vector<TPieLabelBox*> right;
  for (TPieLabelBox& label : labels) {
    label.Box = label.Wanted;
    label.Shown = label.Box.width() <= width && label.Box.height() <= height;
    if (!label.Shown) continue;
    label.Box.moveLeft(std::clamp(label.Box.left(), 0, width - label.Box.width()));
    (label.LeftSide ? left : right).push_back(&label);
  }
  PlaceSide(left, height);
  PlaceSide(right, height);
  // The two sides meet only where a side's labels were pushed across the middle (a narrow
  // picture): of two that overlap, the smaller section's label goes.
  for (TPieLabelBox* a : left) {
    for (TPieLabelBox* b : right) {
      if (!a->Shown || !b->Shown || !a->Box.intersects(b->Box)) continue;
      (a->Angle < b->Angle ? a : b)->Shown = false;
    }
  }
}
