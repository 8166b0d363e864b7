// The options dialog's values: reading them from the settings, checking and storing them.

#include "config/OptionsValues.h"

#include "config/Settings.h"

#include <cmath>

TOptionsValues CurrentOptionsValues(const TSettings& settings) {
  const TSettingValues& s = settings.Values();
  TOptionsValues values;
  values.Colors = s.PieColors;
  values.IncludeWasted = s.IncludeWastedInformation;
  values.ShowFileNames = s.ShowFileNames;
  values.AutoExpand = s.AutoExpand;
  values.AutoCollapse = s.AutoCollapse;
  values.DrivesToAutoScan = s.DrivesToAutoScan;
  values.Angles = {s.MinFileSectionAngle, s.MinFolderSectionAngle, s.MinTextSectionAngle};
  return values;
}

void StoreOptionsValues(const TOptionsValues& values, TSettings& settings) {
  settings.Change([&](TSettingValues& s) {
    s.PieColors = values.Colors;
    s.IncludeWastedInformation = values.IncludeWasted;
    s.ShowFileNames = values.ShowFileNames;
    s.AutoExpand = values.AutoExpand;
    s.AutoCollapse = values.AutoCollapse;
    s.DrivesToAutoScan = values.DrivesToAutoScan;
    s.MinFileSectionAngle = values.Angles[0];
    s.MinFolderSectionAngle = values.Angles[1];
    s.MinTextSectionAngle = values.Angles[2];
  });
}

QString AngleToPercentText(double angle, const QLocale& locale) {
  QLocale plain = locale;
  plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
  return plain.toString(angle * 100.0 / 360.0, 'f', 3);
}

std::optional<double> PercentTextToAngle(const QString& text, const QLocale& locale) {
  bool ok = false;
  const double percent = locale.toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(percent)) return std::nullopt;
  const double angle = percent * 360.0 / 100.0;
  if (!(angle >= 0.0 && angle <= 360.0)) return std::nullopt;
  return angle;
}

QString InvalidPercentMessage(int field, const QString& text) {
  static const char* const names[OptionAngleCount] = {"Show files larger than", "Show folders larger than",
                                                     "Show text near sections larger than"};
  const QString name = field >= 0 && field < OptionAngleCount ? QString::fromLatin1(names[field])
                                                              : QStringLiteral("This field");
  return QStringLiteral("\"%1\" is not a valid value for \"%2\": enter a percentage of the parent from 0 to 100.")
      .arg(text, name);
}

TAngleCheck CheckPercentTexts(const std::array<QString, OptionAngleCount>& texts, const QLocale& locale) {
  TAngleCheck check;
  std::array<double, OptionAngleCount> angles{};
  for (int i = 0; i < OptionAngleCount; ++i) {
    const std::optional<double> angle = PercentTextToAngle(texts[static_cast<size_t>(i)], locale);
    if (!angle) {
      check.FailedField = i;
      check.Message = InvalidPercentMessage(i, texts[static_cast<size_t>(i)]);
      return check;
    }
    angles[static_cast<size_t>(i)] = *angle;
  }
  check.Angles = angles;
  return check;
}

QString MergeAutoScanLetters(const QString& stored, const QString& listedLetters, const QString& checkedLetters) {
  const QString listed = listedLetters.toUpper();
  QString merged;
  for (QChar letter = QLatin1Char('A'); letter <= QLatin1Char('Z'); letter = QChar(letter.unicode() + 1)) {
    const bool keep = listed.contains(letter) ? checkedLetters.contains(letter, Qt::CaseInsensitive)
                                              : stored.contains(letter, Qt::CaseInsensitive);
    if (keep) merged += letter;
  }
  return merged;
}
