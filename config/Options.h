#pragma once
// Configuration: the option objects over the registry store, the one-shot helpers, the window
// placement helpers, the program's settings and the warnings about the files that hold them.

#include "config/FoldersDisplay.h"
#include "config/FormPlacement.h"
#include "config/OptionObjects.h"
#include "config/PieColors.h"
#include "config/RegHelpers.h"
#include "config/RegIniFile.h"
#include "config/Settings.h"
#include "config/SettingsWarnings.h"
