#include "config/FormPlacement.h"

#include "config/RegIniFile.h"

void LoadFormPlacement(IFormPlacement& form, const QString& keyPath, const QString& section) {
  const TRegIniFile regIni(keyPath);
  const int32_t left = regIni.ReadInteger(section, PlacementLeft, PlacementNotStored);
  const int32_t top = regIni.ReadInteger(section, PlacementTop, PlacementNotStored);
  const int32_t width = regIni.ReadInteger(section, PlacementWidth, PlacementNotStored);
  const int32_t height = regIni.ReadInteger(section, PlacementHeight, PlacementNotStored);
  if (left != PlacementNotStored) form.SetLeft(left);
  if (top != PlacementNotStored) form.SetTop(top);
  if (width != PlacementNotStored) form.SetWidth(width);
  if (height != PlacementNotStored) form.SetHeight(height);
}

void SaveFormPlacement(const IFormPlacement& form, const QString& keyPath, const QString& section) {
  TRegIniFile regIni(keyPath);
  regIni.WriteInteger(section, PlacementLeft, form.Left());
  regIni.WriteInteger(section, PlacementTop, form.Top());
  regIni.WriteInteger(section, PlacementWidth, form.Width());
  regIni.WriteInteger(section, PlacementHeight, form.Height());
  regIni.Close();
}

void LoadWindowState(IFormPlacement& form, const QString& keyPath, const QString& section) {
  const int32_t state = TRegIniFile(keyPath).ReadInteger(section, PlacementWindowState, PlacementNotStored);
  if (state == wsNormal || state == wsMinimized || state == wsMaximized) form.SetWindowState(static_cast<TWindowState>(state));
}

void SaveWindowState(const IFormPlacement& form, const QString& keyPath, const QString& section) {
  TRegIniFile regIni(keyPath);
  regIni.WriteInteger(section, PlacementWindowState, form.WindowState());
  regIni.Close();
}
