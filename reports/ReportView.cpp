#include "reports/ReportView.h"

#include "config/FoldersDisplay.h"
#include "config/RegHelpers.h"
#include "config/Settings.h"

#include <algorithm>

int64_t TSimpleDataBackUp::PopInt() {
  if (items_.empty()) return 0;
  const int64_t value = items_.front().second;
  items_.erase(items_.begin());
  return value;
}

QString TSimpleDataBackUp::PopString() {
  if (items_.empty()) return {};
  QString value = items_.front().first;
  items_.erase(items_.begin());
  return value;
}

void TSimpleDataBackUp::Push(const TSubfolderView& view) {
  PushInt(view.DisplayType);
  PushString(view.TopText);
  PushInt(view.LargerThanUnit);
  PushString(view.LargerThanText);
  PushInt(view.Sort);
  PushInt(view.IncludeWasted ? 1 : 0);
}

TSubfolderView TSimpleDataBackUp::Pop() {
  TSubfolderView view;
  view.DisplayType = static_cast<int32_t>(PopInt());
  view.TopText = PopString();
  view.LargerThanUnit = static_cast<int32_t>(PopInt());
  view.LargerThanText = PopString();
  view.Sort = static_cast<int32_t>(PopInt());
  view.IncludeWasted = PopInt() != 0;
  return view;
}

int64_t ViewThreshold(const TSubfolderView& view) {
  if (view.DisplayType != 1) return 0;
  static constexpr int64_t Units[3] = {1, 1024, 1048576};
  bool ok = false;
  const int64_t amount = view.LargerThanText.trimmed().toLongLong(&ok);
  if (!ok || amount < 0) return 0;
  return amount * Units[std::clamp(view.LargerThanUnit, 0, 2)];
}

int32_t ViewTopCount(const TSubfolderView& view) {
  bool ok = false;
  const int32_t n = view.TopText.trimmed().toInt(&ok);
  return ok && n >= 0 ? n : 10;
}

TSubfolderView SavedSubfolderView() {
  const TFoldersDisplaySettings s = ReadFoldersDisplaySettings();
  TSubfolderView view;
  view.DisplayType = s.Type;
  view.TopText = QString::number(s.TopX);
  view.LargerThanUnit = s.LargerThanUnit;
  view.LargerThanText = QString::number(s.LargerThan);
  view.Sort = s.Sort;
  view.IncludeWasted = RegReadBool(RegistryKeyPath, OptionsSection, SettingNames::IncludeWastedInformation,
                                    DefaultIncludeWastedInformation);
  return view;
}
