// The program's settings: defaults, ranges, the load order with its guarded block, and every
// setting's way through the hive file and back.

#include "config/Options.h"
#include "config/SettingsWarnings.h"
#include "tests/config/RegistryScope.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString OptionsKey = QStringLiteral("Software\\Morvell\\Korvane 3\\Options");
const QString DesktopKey = QStringLiteral("Software\\Morvell\\Korvane 3\\Desktop");

// Frees the settings at the end of a test, whatever happened.
struct TSettingsScope {
  ~TSettingsScope() {
    if (ProgramOptions) {
      try {
        SaveSettings();
      } catch (...) {
      }
    }
  }
};

QByteArray DoubleBytes(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  QByteArray bytes(8, '\0');
  qToLittleEndian<uint64_t>(bits, bytes.data());
  return bytes;
}

void Store(const QString& key, const QString& name, const TRegValue& value) {
  TRegistry reg;
  reg.WriteValue(key, name, value);
  reg.Close();
}

void ExpectDefaults(const char* what) {
  SCOPED_TRACE(what);
  EXPECT_TRUE(IncludeWastedInformation->Value);
  EXPECT_TRUE(ShowFileNames->Value);
  EXPECT_EQ(ShowPercentInPie->Value, 1);
  EXPECT_TRUE(AutoExpand->Value);
  EXPECT_TRUE(AutoCollapse->Value);
  EXPECT_FALSE(SortAscending->Value);
  EXPECT_EQ(DrivesToAutoScan->Value, "");
  EXPECT_TRUE(ZIPAddSubfolders->Value);
  EXPECT_TRUE(ZIPAddHiddenFiles->Value);
  EXPECT_TRUE(ZIPDeleteAfterCompressing->Value);
  EXPECT_FALSE(ZIPPasswordProtect->Value);
  EXPECT_EQ(ZIPCompressionLevel->Value, 9);
  EXPECT_TRUE(ZIPDeleteArchive->Value);
  EXPECT_TRUE(ViewToolbar->Value);
  EXPECT_TRUE(ViewStatusBar->Value);
  EXPECT_TRUE(ViewFolderTree->Value);
  EXPECT_TRUE(PieSectionSizeWindow->Value);
  EXPECT_TRUE(ShowSurvey->Value);
  EXPECT_EQ(PieColors, DefaultPieColors);
  EXPECT_EQ(MinFileSectionAngle, 2.0);
  EXPECT_EQ(MinFolderSectionAngle, 1.0);
  EXPECT_EQ(MinTextSectionAngle, 5.0);
}

TEST(Settings, TheDefaultColourTable) {
  const uint32_t expected[PieColorCount] = {0xFF000005, 0x000000, 0x00FF00, 0x00FFFF, 0xC6FFC6, 0xFFFF00,
                                            0x00FFFF,   0xFF000018, 0x000000, 0x000000, 0x00FFFF, 0x000000,
                                            0x000000,   0xFF000005, 0x00FF00, 0x0000FF, 0x00FF00, 0x0000FF};
  for (int i = 0; i < PieColorCount; ++i) EXPECT_EQ(DefaultPieColors[static_cast<size_t>(i)], expected[i]) << i;
  EXPECT_TRUE(IsSystemColor(DefaultPieColors[pcBackground]));
  EXPECT_EQ(SystemColorIndex(DefaultPieColors[pcTextRectBackground]), 24);
  EXPECT_FALSE(IsSystemColor(DefaultPieColors[pcOtherFolders]));
  EXPECT_EQ(DefaultPieColors[pcOtherFolders], RgbToColor(198, 255, 198));
  EXPECT_EQ(RedOf(DefaultPieColors[pcSectionWasted]), 255);
  EXPECT_EQ(BlueOf(DefaultPieColors[pcFile]), 255);
  EXPECT_STREQ(PieColorNames[pcBarChartBars], "Tree Bar Chart - Bars Color");

  TPieColorTable table{};
  for (int i = 0; i < PieColorCount; ++i) table[static_cast<size_t>(i)] = 0x01020304u * static_cast<uint32_t>(i + 1);
  const QByteArray bytes = PieColorsToBytes(table);
  ASSERT_EQ(bytes.size(), 72);
  EXPECT_EQ(bytes.left(4), QByteArray("\x04\x03\x02\x01"));
  EXPECT_EQ(PieColorsFromBytes(bytes), table);
  EXPECT_FALSE(PieColorsFromBytes(bytes.left(71)).has_value());
}

TEST(Settings, AFirstStartRunsOnDefaultsAndWritesEverySettingAtExit) {
  const TRegistryScope scope;
  const TSettingsScope settings;
  LoadSettings();
  ExpectDefaults("first start");
  EXPECT_FALSE(scope.HiveText().has_value()) << "loading writes nothing";
  SaveSettings();
  EXPECT_EQ(ProgramOptions, nullptr);
  EXPECT_EQ(IncludeWastedInformation, nullptr);

  const TRegIniFile regIni(QStringLiteral("Software\\Morvell\\Korvane 3"));
  EXPECT_EQ(regIni.ReadSections(), QStringList({"Options", "Desktop"}));
  EXPECT_EQ(regIni.ReadSection("Options"),
            QStringList({"IncludeWastedInformation", "ShowFileNames", "ShowPercentInPie", "AutoExpand", "AutoCollapse",
                         "SortAscending", "DrivesToAutoScan", "ZIPAddSubfolders", "ZIPAddHiddenFiles",
                         "ZIPDeleteAfterCompressing", "ZIPPasswordProtect", "ZIPCompressionLevel", "ZIPDeleteArchive",
                         "Colors", "MinFileSectionAngle", "MinFolderSectionAngle", "MinTextSectionAngle"}));
  EXPECT_EQ(regIni.ReadSection("Desktop"),
            QStringList({"ViewToolbar", "ViewStatusBar", "ViewFolderTree", "PieSectionSizeWindow", "ShowSurvey"}));
  const QByteArray text = *scope.HiveText();
  EXPECT_TRUE(text.contains("\"IncludeWastedInformation\"=\"1\"\n\"ShowFileNames\"=\"1\"\n\"ShowPercentInPie\"=\"1\"\n"))
      << text.toStdString();
  EXPECT_TRUE(text.contains("\"MinTextSectionAngle\"=hex:00,00,00,00,00,00,14,40\n")) << text.toStdString();

  LoadSettings();
  ExpectDefaults("second start");
}

TEST(Settings, EverySettingComesBack) {
  const TRegistryScope scope;
  const TSettingsScope settings;
  LoadSettings();
  IncludeWastedInformation->Value = false;
  ShowFileNames->Value = false;
  ShowPercentInPie->Value = 2;
  AutoExpand->Value = false;
  AutoCollapse->Value = false;
  SortAscending->Value = true;
  DrivesToAutoScan->Value = "CDH";
  ZIPAddSubfolders->Value = false;
  ZIPAddHiddenFiles->Value = false;
  ZIPDeleteAfterCompressing->Value = false;
  ZIPPasswordProtect->Value = true;
  ZIPCompressionLevel->Value = 0;
  ZIPDeleteArchive->Value = false;
  ViewToolbar->Value = false;
  ViewStatusBar->Value = false;
  ViewFolderTree->Value = false;
  PieSectionSizeWindow->Value = false;  // the "Wasted & Drive Info" window was closed
  ShowSurvey->Value = false;
  TPieColorTable colors{};
  for (int i = 0; i < PieColorCount; ++i) colors[static_cast<size_t>(i)] = RgbToColor(i, 255 - i, i * 7);
  colors[0] = SystemColor(15);
  PieColors = colors;
  MinFileSectionAngle = 0.1;
  MinFolderSectionAngle = 0.0;
  MinTextSectionAngle = 359.5;
  SaveSettings();

  LoadSettings();
  EXPECT_FALSE(IncludeWastedInformation->Value);
  EXPECT_FALSE(ShowFileNames->Value);
  EXPECT_EQ(ShowPercentInPie->Value, 2);
  EXPECT_FALSE(AutoExpand->Value);
  EXPECT_FALSE(AutoCollapse->Value);
  EXPECT_TRUE(SortAscending->Value);
  EXPECT_EQ(DrivesToAutoScan->Value, "CDH");
  EXPECT_FALSE(ZIPAddSubfolders->Value);
  EXPECT_FALSE(ZIPAddHiddenFiles->Value);
  EXPECT_FALSE(ZIPDeleteAfterCompressing->Value);
  EXPECT_TRUE(ZIPPasswordProtect->Value);
  EXPECT_EQ(ZIPCompressionLevel->Value, 0);
  EXPECT_FALSE(ZIPDeleteArchive->Value);
  EXPECT_FALSE(ViewToolbar->Value);
  EXPECT_FALSE(ViewStatusBar->Value);
  EXPECT_FALSE(ViewFolderTree->Value);
  EXPECT_FALSE(PieSectionSizeWindow->Value);
  EXPECT_FALSE(ShowSurvey->Value);
  EXPECT_EQ(PieColors, colors);
  EXPECT_EQ(MinFileSectionAngle, 0.1);
  EXPECT_EQ(MinFolderSectionAngle, 0.0);
  EXPECT_EQ(MinTextSectionAngle, 359.5);
}

TEST(Settings, BadStoredValuesAndTheGuardedBlock) {
  struct Case {
    const char* What;
    std::function<void()> Store;
    std::function<void()> Check;
  };
  const TRegValue angle3 = TRegValue::FromBinary(DoubleBytes(3.0));
  const Case cases[] = {
      {"ZIPCompressionLevel 12 loads as 9", [] { Store(OptionsKey, "ZIPCompressionLevel", TRegValue::FromString("12")); },
       [] { EXPECT_EQ(ZIPCompressionLevel->Value, 9); }},
      {"ZIPCompressionLevel -1 loads as 9", [] { Store(OptionsKey, "ZIPCompressionLevel", TRegValue::FromString("-1")); },
       [] { EXPECT_EQ(ZIPCompressionLevel->Value, 9); }},
      {"ZIPCompressionLevel 0 stays", [] { Store(OptionsKey, "ZIPCompressionLevel", TRegValue::FromString("0")); },
       [] { EXPECT_EQ(ZIPCompressionLevel->Value, 0); }},
      {"Colors of 40 bytes: all defaults, the angles still load",
       [&] {
         Store(OptionsKey, "Colors", TRegValue::FromBinary(QByteArray(40, '\x11')));
         Store(OptionsKey, "MinTextSectionAngle", angle3);
       },
       [] {
         EXPECT_EQ(PieColors, DefaultPieColors);
         EXPECT_EQ(MinTextSectionAngle, 3.0);
       }},
      {"Colors of 80 bytes stops the load: options loaded, angles default",
       [&] {
         Store(OptionsKey, "ShowFileNames", TRegValue::FromString("0"));
         Store(DesktopKey, "ViewToolbar", TRegValue::FromString("0"));
         Store(OptionsKey, "Colors", TRegValue::FromBinary(QByteArray(80, '\x11')));
         Store(OptionsKey, "MinFileSectionAngle", angle3);
         Store(OptionsKey, "MinTextSectionAngle", angle3);
       },
       [] {
         EXPECT_FALSE(ShowFileNames->Value);
         EXPECT_FALSE(ViewToolbar->Value);
         EXPECT_EQ(PieColors, DefaultPieColors);
         EXPECT_EQ(MinFileSectionAngle, 2.0);
         EXPECT_EQ(MinTextSectionAngle, 5.0);
       }},
      {"Colors stored as text stops the load the same way",
       [&] {
         Store(OptionsKey, "Colors", TRegValue::FromString("red"));
         Store(OptionsKey, "MinFileSectionAngle", angle3);
       },
       [] {
         EXPECT_EQ(PieColors, DefaultPieColors);
         EXPECT_EQ(MinFileSectionAngle, 2.0);
       }},
      {"an angle longer than 8 bytes stops the load after the angles before it",
       [&] {
         Store(OptionsKey, "MinFileSectionAngle", angle3);
         Store(OptionsKey, "MinFolderSectionAngle", TRegValue::FromBinary(QByteArray(16, '\0')));
         Store(OptionsKey, "MinTextSectionAngle", angle3);
       },
       [] {
         EXPECT_EQ(MinFileSectionAngle, 3.0);
         EXPECT_EQ(MinFolderSectionAngle, 1.0);
         EXPECT_EQ(MinTextSectionAngle, 5.0);
       }},
      {"short, NaN and absurd angles keep their defaults; the next still loads",
       [&] {
         Store(OptionsKey, "MinFileSectionAngle", TRegValue::FromBinary(DoubleBytes(3.0).left(4)));
         Store(OptionsKey, "MinFolderSectionAngle", TRegValue::FromBinary(DoubleBytes(std::nan(""))));
         Store(OptionsKey, "MinTextSectionAngle", TRegValue::FromBinary(DoubleBytes(-1.0)));
       },
       [] {
         EXPECT_EQ(MinFileSectionAngle, 2.0);
         EXPECT_EQ(MinFolderSectionAngle, 1.0);
         EXPECT_EQ(MinTextSectionAngle, 5.0);
       }},
      {"72 bytes of colours load",
       [] {
         QByteArray bytes(72, '\0');
         bytes[4] = '\x7F';
         Store(OptionsKey, "Colors", TRegValue::FromBinary(bytes));
       },
       [] {
         EXPECT_EQ(PieColors[0], 0u);
         EXPECT_EQ(PieColors[1], 0x7Fu);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const TRegistryScope scope;
    const TSettingsScope settings;
    c.Store();
    LoadSettings();
    c.Check();
  }
}

TEST(Settings, SavingFreesTheSettingsEvenWhenTheWriteFails) {
  const TRegistryScope scope;
  LoadSettings();
  SetAtomicWriteTestHook([](const QByteArray&) { return false; });
  EXPECT_THROW(SaveSettings(), ERegistryException);
  EXPECT_EQ(ProgramOptions, nullptr);
  EXPECT_EQ(DesktopOptions, nullptr);
  EXPECT_EQ(ZIPCompressionLevel, nullptr);
}

TEST(Settings, AHiveEditedByAPersonIsRead) {
  const TRegistryScope scope;
  const TSettingsScope settings;
  LoadSettings();
  SaveSettings();
  QByteArray text = *scope.HiveText();
  // What someone does in a text editor: change values, add a comment, save with CRLF.
  text.replace("\"ZIPCompressionLevel\"=\"9\"", "; faster archives\n\"ZIPCompressionLevel\"=\"5\"");
  text.replace("\"DrivesToAutoScan\"=\"\"", "\"DrivesToAutoScan\"=\"DE\"");
  text.replace("\"ViewStatusBar\"=\"1\"", "\"ViewStatusBar\"=dword:00000000");
  text.replace("\n", "\r\n");
  scope.WriteHive(text);

  LoadSettings();
  EXPECT_EQ(ZIPCompressionLevel->Value, 5);
  EXPECT_EQ(DrivesToAutoScan->Value, "DE");
  EXPECT_FALSE(ViewStatusBar->Value);
  EXPECT_EQ(PieColors, DefaultPieColors);
}

TEST(Settings, AHiveThatCannotBeParsedGivesTheDefaults) {
  const TRegistryScope scope;
  const TSettingsScope settings;
  scope.WriteHive("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Options]\n"
                  "\"ShowFileNames\"=\"0\"\n\"Colors\"=hex:zz\n");
  LoadSettings();
  ExpectDefaults("broken hive");
  EXPECT_EQ(scope.Entries().filter("corrupt").size(), 1);
}

TEST(Settings, AHiveUnreadableAtStartIsNotReplacedByTheDefaultsAtExit) {
  // The hive cannot be read while the program starts (here: something that is no file is in its
  // place) and can again when it ends; the defaults the program ran on must not replace it.
  const TRegistryScope scope;
  const TSettingsScope settings;
  const QByteArray hive = scope.HivePath();
  const qsizetype warned = SettingsWarnings().size();
  ASSERT_EQ(::mkdir(hive.constData(), 0700), 0);
  LoadSettings();
  ExpectDefaults("unreadable hive");
  ASSERT_EQ(::rmdir(hive.constData()), 0);
  const QByteArray users = "Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Options]\n"
                           "\"ShowFileNames\"=\"0\"\n\"ZIPCompressionLevel\"=\"5\"\n";
  scope.WriteHive(users);
  EXPECT_NO_THROW(SaveSettings());
  EXPECT_EQ(scope.HiveText(), users);

  const QStringList warnings = SettingsWarnings().mid(warned);
  ASSERT_EQ(warnings.size(), 2) << warnings.join('\n').toStdString();
  EXPECT_TRUE(warnings[0].contains(QString::fromLocal8Bit(hive)) && warnings[0].contains("default settings apply"))
      << warnings[0].toStdString();
  EXPECT_TRUE(warnings[1].contains("not saved")) << warnings[1].toStdString();
  const QString message = TakeSettingsWarningMessage();
  EXPECT_TRUE(message.contains(warnings[0]) && message.contains(warnings[1])) << message.toStdString();
  EXPECT_EQ(TakeSettingsWarningMessage(), QString()) << "each warning is in one message only";
}

TEST(Settings, TheSubfolderListValuesAndTheirRanges) {
  struct Case {
    int32_t Stored;
    int32_t Type, TopX, LargerThan, Unit, Sort;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 0, 1},
      {1, 1, 1, 1, 1, 1},
      {2, 2, 2, 2, 2, 2},
      {3, 2, 3, 3, 1, 3},
      {5, 2, 5, 5, 1, 5},
      {8, 2, 8, 8, 1, 8},
      {9, 2, 9, 9, 1, 9},
      {10, 2, 10, 10, 1, 1},
      {-1, 2, 10, 1, 1, -1},
      {-3, 2, 10, 1, 1, -3},
      {-8, 2, 10, 1, 1, -8},
      {-9, 2, 10, 1, 1, -9},
      {-10, 2, 10, 1, 1, 1},
      {32767, 2, 32767, 32767, 1, 1},
      {32768, 2, 32768, 1, 1, 1},
      {INT_MIN, 2, 10, 1, 1, 1},
      {INT_MAX, 2, INT_MAX, 1, 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckFoldersDisplayType(c.Stored), c.Type) << c.Stored;
    EXPECT_EQ(CheckFoldersDisplayTopX(c.Stored), c.TopX) << c.Stored;
    EXPECT_EQ(CheckFoldersDisplayLargerThan(c.Stored), c.LargerThan) << c.Stored;
    EXPECT_EQ(CheckFoldersDisplayLargerThanUnit(c.Stored), c.Unit) << c.Stored;
    EXPECT_EQ(CheckFoldersDisplaySort(c.Stored), c.Sort) << c.Stored;
  }
  EXPECT_EQ(FoldersDisplayTopXFromText("25"), 25);
  EXPECT_EQ(FoldersDisplayTopXFromText("ten"), 10);
  EXPECT_EQ(FoldersDisplayTopXFromText(""), 10);

  const TRegistryScope scope;
  EXPECT_EQ(ReadFoldersDisplaySettings(), TFoldersDisplaySettings());
  Store(OptionsKey, "FoldersDisplayType", TRegValue::FromString("5"));
  Store(OptionsKey, "FoldersDisplayTopX", TRegValue::FromString("abc"));
  Store(OptionsKey, "FoldersDisplayLargerThan", TRegValue::FromString("40000"));
  Store(OptionsKey, "FoldersDisplayLargerThanUnit", TRegValue::FromString("2"));
  Store(OptionsKey, "FoldersDisplaySort", TRegValue::FromString("-3"));
  const TFoldersDisplaySettings read = ReadFoldersDisplaySettings();
  EXPECT_EQ(read.Type, 2);
  EXPECT_EQ(read.TopX, 10);
  EXPECT_EQ(read.LargerThan, 1);
  EXPECT_EQ(read.LargerThanUnit, 2);
  EXPECT_EQ(read.Sort, -3);
  Store(OptionsKey, "FoldersDisplaySort", TRegValue::FromString("9"));
  EXPECT_EQ(ReadFoldersDisplaySettings().Sort, 9);
  Store(OptionsKey, "FoldersDisplaySort", TRegValue::FromString("10"));
  EXPECT_EQ(ReadFoldersDisplaySettings().Sort, 1);

  const TFoldersDisplaySettings written{0, 250, 32767, 0, -8};
  WriteFoldersDisplaySettings(written);
  EXPECT_EQ(ReadFoldersDisplaySettings(), written);
  EXPECT_TRUE(scope.HiveText()->contains("\"FoldersDisplayTopX\"=\"250\"\n"));
}

}  // namespace
