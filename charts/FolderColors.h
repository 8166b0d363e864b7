#pragma once
// The colours of a pie's subfolder sections when each folder has a colour of its own: a
// qualitative palette chosen to stay apart for the common colour-vision deficiencies and to stand
// out on light and dark window backgrounds (Okabe and Ito's, without its black, which the pie's
// lines use, and its yellow, which "Files in this folder" uses). The folder ranked first by size
// takes the first colour, the next one the second and so on round the palette, so that a folder
// keeps its colour as long as its rank does, and neighbours in the pie never share one.

#include "charts/FolderPieSections.h"
#include "config/PieColors.h"

#include <array>

inline constexpr int FolderPaletteSize = 6;
extern const std::array<TColor, FolderPaletteSize> FolderPalette;

// The colour of the subfolder ranked rank (0 = the largest).
TColor FolderColor(int rank);

// The colour a slice is drawn in: with colorEachFolder a subfolder's colour from the palette by
// its rank; everything else (and every subfolder without it) in its entry of colors.
TColor SliceColor(const TPieSlice& slice, const TPieColorTable& colors, bool colorEachFolder);
