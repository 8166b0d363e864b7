#include "scan/ShortNames.h"

#include <gtest/gtest.h>

namespace {

TEST(ShortNames, OnlyUpperCaseEightDotThreeNamesAreNormalised) {
  struct Case {
    const char* name;
    bool shortName;
    const char* shown;  // the normalised text, for short names
  };
  const Case cases[] = {
      {"WINDOWS", true, "Windows"},
      {"PROGRAMS", true, "Programs"},
      {"AUTOEXEC.BAT", true, "Autoexec.bat"},
      {"MY_DIR~1", true, "My_dir~1"},
      {"123", true, "123"},
      {"_TMP", true, "_tmp"},
      {"Program Files", false, nullptr},  // blank and lower case: has a separate short name
      {"Windows", false, nullptr},
      {"TOOLONGNAME", false, nullptr},     // nine characters
      {"NAME.TEXT", false, nullptr},       // four-character extension
      {"A.B.C", false, nullptr},           // two dots
      {"NAME.", false, nullptr},
      {".HIDDEN", false, nullptr},
      {"", false, nullptr},
      {"CAF\xc3\x89", false, nullptr},     // not ASCII
      {"A+B", false, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsUpperShortName(c.name), c.shortName) << c.name;
    if (c.shortName) {
      EXPECT_EQ(NormalisedShortName(c.name), c.shown) << c.name;
    }
  }
}

}  // namespace
