// The registry in the INI manner, the option objects, binary values and the one-shot helpers.

#include "config/Options.h"
#include "tests/config/RegistryScope.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

const QString KeyPath = QStringLiteral("Software\\Morvell\\Korvane 3");
const QString Section = QStringLiteral("Options");

// Stores one value of any type under KeyPath\Options.
void Store(const QString& name, const TRegValue& value) {
  TRegistry reg;
  reg.WriteValue(KeyPath + QStringLiteral("\\Options"), name, value);
  reg.Close();
}

TRegValue Raw(TRegType type, const QByteArray& bytes) {
  TRegValue v;
  v.Type = type;
  v.Data = bytes;
  return v;
}

TEST(OptionsAccessor, IntegersAndBooleansReadFromWhatIsStored) {
  const TRegistryScope scope;
  struct Case {
    const char* Name;
    TRegValue Stored;
    int32_t Integer;  // read with the default 7
    bool BoolFromTrue;
    bool BoolFromFalse;
  };
  const Case cases[] = {
      {"number", TRegValue::FromString("12"), 12, true, true},
      {"blanks", TRegValue::FromString(" 12 "), 12, true, true},
      {"negative", TRegValue::FromString("-5"), -5, true, true},
      {"plus", TRegValue::FromString("+5"), 5, true, true},
      {"zero", TRegValue::FromString("0"), 0, false, false},
      {"two", TRegValue::FromString("2"), 2, true, true},
      {"max", TRegValue::FromString("2147483647"), INT_MAX, true, true},
      {"min", TRegValue::FromString("-2147483648"), INT_MIN, true, true},
      {"too big", TRegValue::FromString("2147483648"), 7, true, false},
      {"too small", TRegValue::FromString("-2147483649"), 7, true, false},
      {"letters", TRegValue::FromString("abc"), 7, true, false},
      {"empty", TRegValue::FromString(""), 7, true, false},
      {"fraction", TRegValue::FromString("1.5"), 7, true, false},
      {"hex text", TRegValue::FromString("0x10"), 7, true, false},
      {"sign only", TRegValue::FromString("-"), 7, true, false},
      {"dword", TRegValue::FromDWord(10), 10, true, true},
      {"dword zero", TRegValue::FromDWord(0), 0, false, false},
      {"dword all ones", TRegValue::FromDWord(0xFFFFFFFFu), -1, true, true},
      {"binary", TRegValue::FromBinary("\x01"), 7, true, false},
  };
  for (const Case& c : cases) Store(c.Name, c.Stored);

  const TRegIniFile regIni(KeyPath);
  for (const Case& c : cases) {
    EXPECT_EQ(regIni.ReadInteger(Section, c.Name, 7), c.Integer) << c.Name;
    EXPECT_EQ(regIni.ReadBool(Section, c.Name, true), c.BoolFromTrue) << c.Name;
    EXPECT_EQ(regIni.ReadBool(Section, c.Name, false), c.BoolFromFalse) << c.Name;
  }
  EXPECT_EQ(regIni.ReadInteger(Section, "missing", 7), 7);
  EXPECT_EQ(regIni.ReadInteger("No such section", "number", 7), 7);
  EXPECT_EQ(regIni.ReadString(Section, "number", "d"), "12");
  EXPECT_EQ(regIni.ReadString(Section, "dword", "d"), "d") << "a value of another type reads as absent";
  EXPECT_EQ(regIni.ReadString(Section, "missing", "d"), "d");
}

TEST(OptionsAccessor, WritesTheStorageFormsAndListsSections) {
  const TRegistryScope scope;
  {
    TRegIniFile regIni(KeyPath);
    regIni.WriteInteger("Options", "Int", -42);
    regIni.WriteBool("Options", "True", true);
    regIni.WriteBool("Options", "False", false);
    regIni.WriteString("Options", "Str", "text");
    regIni.WriteString("Desktop", "Left", "1");
    regIni.WriteString("PopUpBox", "Left", "1");
    regIni.Close();
  }
  const QByteArray text = *scope.HiveText();
  EXPECT_TRUE(text.contains("\"Int\"=\"-42\"\n\"True\"=\"1\"\n\"False\"=\"0\"\n\"Str\"=\"text\"\n")) << text.toStdString();

  TRegIniFile regIni(KeyPath);
  EXPECT_EQ(regIni.ReadSections(), QStringList({"Options", "Desktop", "PopUpBox"}));
  EXPECT_EQ(regIni.ReadSection("options"), QStringList({"Int", "True", "False", "Str"}));
  EXPECT_TRUE(regIni.SectionExists("DESKTOP"));
  EXPECT_TRUE(regIni.ValueExists("Options", "str"));
  regIni.DeleteKey("Options", "Int");
  regIni.EraseSection("Desktop");
  regIni.Close();
  const TRegIniFile after(KeyPath);
  EXPECT_EQ(after.ReadSections(), QStringList({"Options", "PopUpBox"}));
  EXPECT_EQ(after.ReadSection("Options"), QStringList({"True", "False", "Str"}));
}

TEST(OptionsObjects, LoadAndSaveThroughTheirCollection) {
  const TRegistryScope scope;
  Store("Level", TRegValue::FromString("abc"));  // an integer that is not a number
  Store("Flag", TRegValue::FromString("2"));     // a boolean stored as 2
  {
    TOptions options(KeyPath, Section);
    TIntOption* level = options.AddInt("Level", 9);
    TBoolOption* flag = options.AddBool("Flag", false);
    TStrOption* drives = options.AddStr("Drives", "C");
    TIntOption* count = options.AddInt("Count", 3);
    ASSERT_EQ(options.Items.size(), 4u);
    EXPECT_EQ(options.Items[0].get(), level);
    EXPECT_EQ(options.Items[3]->Name, "Count");
    EXPECT_EQ(level->Value, 9);
    EXPECT_EQ(level->Default, 9);

    options.LoadAll();
    EXPECT_EQ(level->Value, 9) << "abc loads the default";
    EXPECT_TRUE(flag->Value) << "2 is true";
    EXPECT_EQ(drives->Value, "C");
    EXPECT_EQ(count->Value, 3);

    level->Value = 4;
    flag->Value = false;
    drives->Value = "DE";
    count->Value = -1;
    options.SaveAll();
    EXPECT_FALSE(scope.HiveText()->contains("abc"));
  }
  TOptions again(KeyPath, Section);
  TIntOption* level = again.AddInt("Level", 9);
  TBoolOption* flag = again.AddBool("Flag", true);
  TStrOption* drives = again.AddStr("Drives", "C");
  TIntOption* count = again.AddInt("Count", 3);
  again.LoadAll();
  EXPECT_EQ(level->Value, 4);
  EXPECT_FALSE(flag->Value);
  EXPECT_EQ(drives->Value, "DE");
  EXPECT_EQ(count->Value, -1);
  EXPECT_EQ(level->Default, 9);
}

TEST(OptionsBinary, ReadBinaryCopiesOnlyWhatFits) {
  const TRegistryScope scope;
  Store("Four", TRegValue::FromBinary("\x01\x02\x03\x04"));
  Store("Two", TRegValue::FromBinary("\x05\x06"));
  Store("Empty", TRegValue::FromBinary(QByteArray()));
  Store("Untyped", Raw(TRegType::None, "\x07\x08"));
  Store("Long", TRegValue::FromBinary(QByteArray(5, '\x09')));
  Store("Text", TRegValue::FromString("1234"));
  Store("Number", TRegValue::FromDWord(1));
  Store("Expand", Raw(TRegType::ExpandString, QByteArray("a\0\0\0", 4)));

  const TBinRegIniFile regIni(KeyPath);
  struct Case {
    const char* Name;
    int32_t Result;
    QByteArray Buffer;  // afterwards, starting from four 0xAA bytes
  };
  const QByteArray untouched(4, '\xAA');
  const Case cases[] = {
      {"Four", 4, "\x01\x02\x03\x04"},
      {"Two", 2, "\x05\x06\xAA\xAA"},
      {"Empty", 0, untouched},
      {"Untyped", 2, "\x07\x08\xAA\xAA"},
      {"Missing", 0, untouched},
  };
  for (const Case& c : cases) {
    QByteArray buffer = untouched;
    EXPECT_EQ(regIni.ReadBinary(Section, c.Name, 4, buffer.data()), c.Result) << c.Name;
    EXPECT_EQ(buffer, c.Buffer) << c.Name;
  }
  QByteArray buffer = untouched;
  EXPECT_EQ(regIni.ReadBinary("Missing section", "Four", 4, buffer.data()), 0);
  EXPECT_EQ(buffer, untouched);

  for (const char* bad : {"Long", "Text", "Number", "Expand"}) {
    buffer = untouched;
    try {
      regIni.ReadBinary(Section, bad, 4, buffer.data());
      ADD_FAILURE() << bad << " was read";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.Message(), QStringLiteral("Invalid data type for '%1'").arg(bad));
    }
    EXPECT_EQ(buffer, untouched) << bad;
  }
}

TEST(OptionsHelpers, OneShotReadsAndWrites) {
  const TRegistryScope scope;
  EXPECT_EQ(RegReadInt(KeyPath, "BarChartBox", "GraphWidth", 150), 150);
  EXPECT_TRUE(RegReadBool(KeyPath, "BarChartBox", "ShowFullPath", true));
  EXPECT_FALSE(scope.HiveText().has_value());

  RegWriteInt(KeyPath, "BarChartBox", "GraphWidth", 222);
  RegWriteBool(KeyPath, "BarChartBox", "ShowFullPath", false);
  const double angle = 1.25;
  RegWriteBinary(KeyPath, "Options", "Angle", sizeof angle, &angle);

  EXPECT_EQ(RegReadInt(KeyPath, "BarChartBox", "GraphWidth", 150), 222);
  EXPECT_FALSE(RegReadBool(KeyPath, "BarChartBox", "ShowFullPath", true));
  double back = 0;
  EXPECT_EQ(RegReadBinary(KeyPath, "Options", "Angle", sizeof back, &back), 8);
  EXPECT_EQ(back, angle);
  EXPECT_THROW(RegReadBinary(KeyPath, "BarChartBox", "GraphWidth", 8, &back), ERegistryException);
  const QByteArray text = *scope.HiveText();
  EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\BarChartBox]\n\"GraphWidth\"=\"222\"\n"
                            "\"ShowFullPath\"=\"0\"\n"))
      << text.toStdString();
  EXPECT_TRUE(text.contains("\"Angle\"=hex:00,00,00,00,00,00,f4,3f\n")) << text.toStdString();
}

}  // namespace
