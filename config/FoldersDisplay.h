#pragma once
// The subfolder list's values in the section "Options", read when the main window is created
// and written when it is destroyed, one at a time (not option objects).

#include <QLatin1String>
#include <QString>

#include <cstdint>

inline constexpr QLatin1String FoldersDisplayTypeName("FoldersDisplayType");
inline constexpr QLatin1String FoldersDisplayTopXName("FoldersDisplayTopX");
inline constexpr QLatin1String FoldersDisplayLargerThanName("FoldersDisplayLargerThan");
inline constexpr QLatin1String FoldersDisplayLargerThanUnitName("FoldersDisplayLargerThanUnit");
inline constexpr QLatin1String FoldersDisplaySortName("FoldersDisplaySort");

struct TFoldersDisplaySettings {
  int32_t Type = 2;            // 0 "Top Large Folders", 1 "Folders Larger Than", 2 "All Folders"
  int32_t TopX = 10;           // N of the top-N mode
  int32_t LargerThan = 1;      // threshold of the larger-than mode, 0..32767
  int32_t LargerThanUnit = 1;  // 0 bytes, 1 KB, 2 MB
  int32_t Sort = 1;            // sort column 1..8 (1-based), negative for descending

  bool operator==(const TFoldersDisplaySettings&) const = default;
};

// What a loaded value becomes: itself when accepted, else the default.
int32_t CheckFoldersDisplayType(int32_t stored);            // 0..2, else 2
int32_t CheckFoldersDisplayTopX(int32_t stored);            // 0 and above, else 10
int32_t CheckFoldersDisplayLargerThan(int32_t stored);      // 0..32767, else 1
int32_t CheckFoldersDisplayLargerThanUnit(int32_t stored);  // 0..2, else 1
int32_t CheckFoldersDisplaySort(int32_t stored);            // magnitude 1..8, else 1

// The Top box's text as it is saved: its number, or 10 when it is not one.
int32_t FoldersDisplayTopXFromText(const QString& text);

// Reads the five values (each with its default) and checks them.
TFoldersDisplaySettings ReadFoldersDisplaySettings();
// Writes the five values as they are; throws ERegistryException when the hive cannot be written.
void WriteFoldersDisplaySettings(const TFoldersDisplaySettings& settings);
