#include "config/FoldersDisplay.h"

#include "config/RegIniFile.h"
#include "config/Settings.h"

namespace {

int32_t InRange(int32_t value, int32_t low, int32_t high, int32_t fallback) {
  return value >= low && value <= high ? value : fallback;
}

const TFoldersDisplaySettings Defaults;

}  // namespace

int32_t CheckFoldersDisplayType(int32_t stored) { return InRange(stored, 0, 2, Defaults.Type); }

int32_t CheckFoldersDisplayTopX(int32_t stored) { return stored >= 0 ? stored : Defaults.TopX; }

int32_t CheckFoldersDisplayLargerThan(int32_t stored) { return InRange(stored, 0, 32767, Defaults.LargerThan); }

int32_t CheckFoldersDisplayLargerThanUnit(int32_t stored) { return InRange(stored, 0, 2, Defaults.LargerThanUnit); }

int32_t CheckFoldersDisplaySort(int32_t stored) {
  // 9 is the on-disk column, after the eight first ones.
  return (stored >= 1 && stored <= 9) || (stored >= -9 && stored <= -1) ? stored : Defaults.Sort;
}

int32_t FoldersDisplayTopXFromText(const QString& text) { return ParseStoredInteger(text).value_or(Defaults.TopX); }

TFoldersDisplaySettings ReadFoldersDisplaySettings() {
  const TRegIniFile regIni(RegistryKeyPath);
  TFoldersDisplaySettings s;
  s.Type = CheckFoldersDisplayType(regIni.ReadInteger(OptionsSection, FoldersDisplayTypeName, Defaults.Type));
  s.TopX = CheckFoldersDisplayTopX(regIni.ReadInteger(OptionsSection, FoldersDisplayTopXName, Defaults.TopX));
  s.LargerThan = CheckFoldersDisplayLargerThan(
      regIni.ReadInteger(OptionsSection, FoldersDisplayLargerThanName, Defaults.LargerThan));
  s.LargerThanUnit = CheckFoldersDisplayLargerThanUnit(
      regIni.ReadInteger(OptionsSection, FoldersDisplayLargerThanUnitName, Defaults.LargerThanUnit));
  s.Sort = CheckFoldersDisplaySort(regIni.ReadInteger(OptionsSection, FoldersDisplaySortName, Defaults.Sort));
  return s;
}

void WriteFoldersDisplaySettings(const TFoldersDisplaySettings& settings) {
  TRegIniFile regIni(RegistryKeyPath);
  regIni.WriteInteger(OptionsSection, FoldersDisplayTypeName, settings.Type);
  regIni.WriteInteger(OptionsSection, FoldersDisplayTopXName, settings.TopX);
  regIni.WriteInteger(OptionsSection, FoldersDisplayLargerThanName, settings.LargerThan);
  regIni.WriteInteger(OptionsSection, FoldersDisplayLargerThanUnitName, settings.LargerThanUnit);
  regIni.WriteInteger(OptionsSection, FoldersDisplaySortName, settings.Sort);
  regIni.Close();
}
