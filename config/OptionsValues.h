// What the options dialog edits, taken from the settings and checked as a whole before any of it
// is stored, so that a rejected value leaves every setting as it was.
#pragma once

#include "config/PieColors.h"

#include <QLocale>
#include <QString>

#include <array>
#include <optional>

// The three minimum pie angles in the order the dialog checks them: files, folders, texts.
constexpr int OptionAngleCount = 3;

struct TOptionsValues {
  TPieColorTable Colors{};
  bool IncludeWasted = true;
  bool ShowFileNames = true;
  bool AutoExpand = true;
  bool AutoCollapse = true;
  QString DrivesToAutoScan;
  std::array<double, OptionAngleCount> Angles{};  // degrees
};

// The settings as they are now (LoadSettings must have run).
TOptionsValues CurrentOptionsValues();
// Stores every value into the settings (they reach the registry when the settings are saved).
void StoreOptionsValues(const TOptionsValues& values);

// An angle as the dialog shows it: the share of a full turn in percent, fixed-point with three
// decimals in the locale's format ("0.556" for 2 degrees), without group separators.
QString AngleToPercentText(double angle, const QLocale& locale);
// The angle a percentage text stands for, when the text is a finite number in the locale's
// format (blanks around it allowed) and the angle lies from 0 to 360 degrees. "nan", "inf" and
// anything that is no number give none.
std::optional<double> PercentTextToAngle(const QString& text, const QLocale& locale);
// The message for a rejected percentage text.
// The message for a rejected percentage field (0, 1, 2: files, folders, text), naming the field.
QString InvalidPercentMessage(int field, const QString& text);

// The outcome of checking the three percentage texts: the angles when all are valid, else the
// index of the first rejected field and the message to show.
struct TAngleCheck {
  std::optional<std::array<double, OptionAngleCount>> Angles;
  int FailedField = -1;
  QString Message;
};
TAngleCheck CheckPercentTexts(const std::array<QString, OptionAngleCount>& texts, const QLocale& locale);

// The drives to scan at start-up after the dialog: the checked letters of the listed drives, plus
// the stored letters of drives that are not listed now (an unplugged disk keeps its choice). Upper
// case, each letter once, in alphabetical (list) order.
QString MergeAutoScanLetters(const QString& stored, const QString& listedLetters, const QString& checkedLetters);
