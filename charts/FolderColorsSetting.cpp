#include "charts/FolderColorsSetting.h"

#include "config/RegHelpers.h"
#include "config/Settings.h"

#include <exception>

namespace {

const QLatin1String ColorEachFolderName("ColorEachFolder");

}  // namespace

bool TFolderColorsSetting::DefaultFor(const TPieColorTable& colors) {
  return colors[pcNormalFolder] == DefaultPieColors[pcNormalFolder];
}

void TFolderColorsSetting::Load(const TPieColorTable& colors) {
  int32_t stored = -1;
  try {
    stored = RegReadInt(RegistryKeyPath, OptionsSection, ColorEachFolderName, -1);
  } catch (const std::exception&) {
    stored = -1;
  }
  const bool on = stored < 0 ? DefaultFor(colors) : stored != 0;
  if (on == colorEachFolder_) return;
  colorEachFolder_ = on;
  emit Changed();
}

void TFolderColorsSetting::SetColorEachFolder(bool on) {
  try {
    RegWriteBool(RegistryKeyPath, OptionsSection, ColorEachFolderName, on);
  } catch (const std::exception&) {
    // The settings file cannot be written (and says so where it is loaded): keep it for this run.
  }
  if (on == colorEachFolder_) return;
  colorEachFolder_ = on;
  emit Changed();
}

TFolderColorsSetting& FolderColorsSetting() {
  static TFolderColorsSetting setting;
  return setting;
}
