// The options dialog's values: reading them from the settings, checking and storing them.

#include "config/OptionsValues.h"

#include "config/Settings.h"

#include <cmath>

TOptionsValues CurrentOptionsValues() {
  TOptionsValues values;
  values.Colors = PieColors;
  values.IncludeWasted = IncludeWastedInformation->Value;
  values.ShowFileNames = ShowFileNames->Value;
  values.AutoExpand = AutoExpand->Value;
  values.AutoCollapse = AutoCollapse->Value;
  values.DrivesToAutoScan = DrivesToAutoScan->Value;
  values.Angles = {MinFileSectionAngle, MinFolderSectionAngle, MinTextSectionAngle};
  return values;
}

void StoreOptionsValues(const TOptionsValues& values) {
  PieColors = values.Colors;
  IncludeWastedInformation->Value = values.IncludeWasted;
  ShowFileNames->Value = values.ShowFileNames;
  AutoExpand->Value = values.AutoExpand;
  AutoCollapse->Value = values.AutoCollapse;
  DrivesToAutoScan->Value = values.DrivesToAutoScan;
  MinFileSectionAngle = values.Angles[0];
  MinFolderSectionAngle = values.Angles[1];
  MinTextSectionAngle = values.Angles[2];
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
