#include "charts/PaletteColors.h"

namespace {

TColor ToColor(const QColor& c) { return RgbToColor(c.red(), c.green(), c.blue()); }

}  // namespace

TSystemPalette SystemPaletteFrom(const QPalette& palette) {
  TSystemPalette out = TSystemPalette::Default();
  struct TEntry {
    int Index;
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
  };
  static constexpr TEntry Entries[] = {
      {0, QPalette::Active, QPalette::Button},              // scroll bar
      {4, QPalette::Active, QPalette::Window},              // menu
      {5, QPalette::Active, QPalette::Base},                // window background
      {6, QPalette::Active, QPalette::Text},                // window frame
      {7, QPalette::Active, QPalette::WindowText},          // menu text
      {8, QPalette::Active, QPalette::Text},                // window text
      {10, QPalette::Active, QPalette::Window},             // active border
      {11, QPalette::Active, QPalette::Window},             // inactive border
      {12, QPalette::Active, QPalette::Dark},               // application workspace
      {13, QPalette::Active, QPalette::Highlight},          // highlight
      {14, QPalette::Active, QPalette::HighlightedText},    // highlighted text
      {15, QPalette::Active, QPalette::Button},             // button face
      {16, QPalette::Active, QPalette::Mid},                // button shadow
      {17, QPalette::Disabled, QPalette::Text},             // grey text
      {18, QPalette::Active, QPalette::ButtonText},         // button text
      {20, QPalette::Active, QPalette::Light},              // button highlight
      {21, QPalette::Active, QPalette::Shadow},             // 3-D dark shadow
      {22, QPalette::Active, QPalette::Midlight},           // 3-D light
      {26, QPalette::Active, QPalette::Link},               // hot-tracked item
      {29, QPalette::Active, QPalette::Highlight},          // menu highlight
      {30, QPalette::Active, QPalette::Window},             // menu bar
  };
  for (const TEntry& e : Entries) out.SetRgb(e.Index, ToColor(palette.color(e.Group, e.Role)));
  return out;
}
