#pragma once
// Configuration: the option objects over the registry store, the one-shot helpers, the window
// placement helpers and the program's settings.

#include "config/FoldersDisplay.h"
#include "config/FormPlacement.h"
#include "config/OptionObjects.h"
#include "config/PieColors.h"
#include "config/RegHelpers.h"
#include "config/RegIniFile.h"
#include "config/Settings.h"
