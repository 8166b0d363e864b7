// The options dialog's values: percentages shown and read back in the locale's format, the
// rejected texts with their message, checking all three before anything is stored, and the
// start-up drives of drives that are not there now.
#include "config/OptionsValues.h"

#include "config/Settings.h"
#include "tests/config/RegistryScope.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);

struct TSettingsScope {
  TSettingsScope() { LoadSettings(); }
  ~TSettingsScope() {
    try {
      SaveSettings();
    } catch (...) {
    }
  }
};

}  // namespace

TEST(OptionsValues, AnglesShownAsPercentages) {
  struct TCase {
    double Angle;
    const QLocale* Locale;
    const char* Text;
  } cases[] = {
      {DefaultMinFileSectionAngle, &English, "0.556"},
      {DefaultMinFolderSectionAngle, &English, "0.278"},
      {DefaultMinTextSectionAngle, &English, "1.389"},
      {360.0, &English, "100.000"},
      {0.0, &English, "0.000"},
      {DefaultMinFileSectionAngle, &German, "0,556"},
  };
  for (const TCase& c : cases) EXPECT_EQ(AngleToPercentText(c.Angle, *c.Locale), QString::fromUtf8(c.Text)) << c.Angle;
}

TEST(OptionsValues, PercentTextsAcceptedAndRejected) {
  struct TCase {
    const char* Text;
    const QLocale* Locale;
    std::optional<double> Angle;
  } cases[] = {
      {"100", &English, 360.0},
      {"0", &English, 0.0},
      {" 50 ", &English, 180.0},
      {"0.556", &English, 2.0016},
      {"0,5", &German, 1.8},
      {"100.5", &English, std::nullopt},
      {"-1", &English, std::nullopt},
      {"abc", &English, std::nullopt},
      {"", &English, std::nullopt},
      {"nan", &English, std::nullopt},
      {"NaN", &English, std::nullopt},
      {"inf", &English, std::nullopt},
      {"-inf", &English, std::nullopt},
      {"1e308", &English, std::nullopt},
  };
  for (const TCase& c : cases) {
    const std::optional<double> angle = PercentTextToAngle(QString::fromUtf8(c.Text), *c.Locale);
    ASSERT_EQ(angle.has_value(), c.Angle.has_value()) << c.Text;
    if (angle) {
      EXPECT_NEAR(*angle, *c.Angle, 1e-9) << c.Text;
    }
  }
}

TEST(OptionsValues, FirstRejectedFieldNamesItsText) {
  const TAngleCheck good = CheckPercentTexts({"1", "2", "100"}, English);
  ASSERT_TRUE(good.Angles);
  EXPECT_DOUBLE_EQ((*good.Angles)[2], 360.0);
  EXPECT_EQ(good.FailedField, -1);

  const TAngleCheck bad = CheckPercentTexts({"1", "abc", "inf"}, English);
  EXPECT_FALSE(bad.Angles);
  EXPECT_EQ(bad.FailedField, 1);
  EXPECT_EQ(bad.Message, QStringLiteral("\"abc\" is not a valid value for \"Show folders larger than\": enter a "
                                        "percentage of the parent from 0 to 100."));
}

TEST(OptionsValues, StoredValuesComeBackAndReachTheRegistry) {
  TRegistryScope registry;
  {
    TSettingsScope settings;
    TOptionsValues values = CurrentOptionsValues();
    EXPECT_EQ(values.Colors, DefaultPieColors);
    values.AutoExpand = false;
    values.DrivesToAutoScan = QStringLiteral("CE");
    values.Colors[pcBarChartBars] = RgbToColor(1, 2, 3);
    values.Angles = {90.0, 45.0, 360.0};
    StoreOptionsValues(values);
  }
  TSettingsScope again;
  const TOptionsValues loaded = CurrentOptionsValues();
  EXPECT_FALSE(loaded.AutoExpand);
  EXPECT_EQ(loaded.DrivesToAutoScan, QStringLiteral("CE"));
  EXPECT_EQ(loaded.Colors[pcBarChartBars], RgbToColor(1, 2, 3));
  EXPECT_DOUBLE_EQ(loaded.Angles[0], 90.0);
  EXPECT_DOUBLE_EQ(loaded.Angles[1], 45.0);
  EXPECT_DOUBLE_EQ(loaded.Angles[2], 360.0);
}

TEST(OptionsValues, AutoScanLettersKeepAbsentDrives) {
  struct TCase {
    const char *Stored, *Listed, *Checked, *Result;
  } cases[] = {
      {"", "CDE", "EC", "CE"},      // list order, not click order
      {"c", "CD", "C", "C"},
      {"CT", "CD", "D", "DT"},      // T is not mounted now: its choice stays
      {"CT", "CDT", "", ""},        // T is listed and unchecked: gone
      {"xy", "C", "", "XY"},
      {"CC", "", "", "C"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(MergeAutoScanLetters(QString::fromUtf8(c.Stored), QString::fromUtf8(c.Listed), QString::fromUtf8(c.Checked)),
              QString::fromUtf8(c.Result))
        << c.Stored << " / " << c.Listed << " / " << c.Checked;
}
