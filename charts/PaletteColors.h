#pragma once
// The system colours that the pie, the gauges and the pages' own drawing resolve (clWindow,
// clBtnFace, ...), taken from the desktop's palette, so that what the program draws itself
// follows a light or a dark scheme. The tooltip pair stays the classic pale yellow and black: the
// pie writes its labels in colours of their own (black unless the user chose another) on the
// tooltip background, and they must stay readable there.

#include "charts/Canvas.h"

#include <QPalette>

TSystemPalette SystemPaletteFrom(const QPalette& palette);
