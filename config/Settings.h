#pragma once
// Everything the program remembers between runs: the option objects of the sections "Options"
// and "Desktop", the pie colours and the three minimum section angles. Loaded once when the main
// window is created, saved once when it is destroyed. The subfolder-list values
// (FoldersDisplay.h), the window placements (FormPlacement.h) and the tree bar chart's values are
// written by their owners with the one-shot helpers.

#include "config/OptionObjects.h"
#include "config/PieColors.h"

#include <QLatin1String>

// The program's key below HKEY_CURRENT_USER and its sections.
inline constexpr QLatin1String RegistryKeyPath("Software\\Morvell\\Korvane 3");
inline constexpr QLatin1String OptionsSection("Options");
inline constexpr QLatin1String DesktopSection("Desktop");
inline constexpr QLatin1String PopUpBoxSection("PopUpBox");
inline constexpr QLatin1String BarChartBoxSection("BarChartBox");

// Values of "BarChartBox" besides the placement (read and written by the tree bar chart window).
inline constexpr QLatin1String BarChartGraphWidthName("GraphWidth");
inline constexpr QLatin1String BarChartIncludeSubfoldersName("IncludeSubfolders");
inline constexpr QLatin1String BarChartShowFullPathName("ShowFullPath");

// The collections; null outside LoadSettings .. SaveSettings.
extern TOptions* ProgramOptions;
extern TOptions* DesktopOptions;

// The options of "Options", in their order in ProgramOptions (owned by it).
extern TBoolOption* IncludeWastedInformation;  // true
extern TBoolOption* ShowFileNames;             // true
extern TIntOption* ShowPercentInPie;           // 1: 0 none, 1 relative sizes, 2 absolute sizes
extern TBoolOption* AutoExpand;                // true
extern TBoolOption* AutoCollapse;              // true
extern TBoolOption* SortAscending;             // false
extern TStrOption* DrivesToAutoScan;           // empty: drive letters, one character each
extern TBoolOption* ZIPAddSubfolders;          // true
extern TBoolOption* ZIPAddHiddenFiles;         // true
extern TBoolOption* ZIPDeleteAfterCompressing; // true
extern TBoolOption* ZIPPasswordProtect;        // false
extern TIntOption* ZIPCompressionLevel;        // 9; 0..9, anything else loads as 9
extern TBoolOption* ZIPDeleteArchive;          // true

// The options of "Desktop", in their order in DesktopOptions.
extern TBoolOption* ViewToolbar;           // true
extern TBoolOption* ViewStatusBar;         // true
extern TBoolOption* ViewFolderTree;        // true
extern TBoolOption* PieSectionSizeWindow;  // true
extern TBoolOption* ShowSurvey;            // true (kept, not used)

// REG_BINARY values of "Options".
inline constexpr QLatin1String ColorsName("Colors");
inline constexpr QLatin1String MinFileSectionAngleName("MinFileSectionAngle");
inline constexpr QLatin1String MinFolderSectionAngleName("MinFolderSectionAngle");
inline constexpr QLatin1String MinTextSectionAngleName("MinTextSectionAngle");

extern TPieColorTable PieColors;
// Degrees; stored as 8-byte IEEE doubles, little-endian.
extern double MinFileSectionAngle;
extern double MinFolderSectionAngle;
extern double MinTextSectionAngle;
constexpr double DefaultMinFileSectionAngle = 2.0;
constexpr double DefaultMinFolderSectionAngle = 1.0;
constexpr double DefaultMinTextSectionAngle = 5.0;

constexpr int32_t DefaultZIPCompressionLevel = 9;

// Creates the settings with their defaults, then loads them. A bad binary value (wrong type, or
// longer than expected) silently ends the loading there: what was read stays, the rest keeps its
// defaults. A stored angle is taken only when it is 8 bytes long and a number from 0 to 360.
void LoadSettings();
// Saves every setting, then frees the option objects (also when saving fails; the error is then
// passed on as ERegistryException).
void SaveSettings();
