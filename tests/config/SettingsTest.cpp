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
#include <vector>

namespace {

const QString OptionsKey = QStringLiteral("Software\\Morvell\\Korvane 3\\Options");
const QString DesktopKey = QStringLiteral("Software\\Morvell\\Korvane 3\\Desktop");

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

void ExpectDefaults(const TSettings& settings, const char* what) {
  SCOPED_TRACE(what);
  const TSettingValues& v = settings.Values();
  EXPECT_TRUE(v.IncludeWastedInformation);
  EXPECT_TRUE(v.ShowFileNames);
  EXPECT_EQ(v.ShowPercentInPie, 1);
  EXPECT_TRUE(v.AutoExpand);
  EXPECT_TRUE(v.AutoCollapse);
  EXPECT_FALSE(v.SortAscending);
  EXPECT_EQ(v.DrivesToAutoScan, "");
  EXPECT_TRUE(v.ZIPAddSubfolders);
  EXPECT_TRUE(v.ZIPAddHiddenFiles);
  EXPECT_TRUE(v.ZIPDeleteAfterCompressing);
  EXPECT_FALSE(v.ZIPPasswordProtect);
  EXPECT_EQ(v.ZIPCompressionLevel, 9);
  EXPECT_TRUE(v.ZIPDeleteArchive);
  EXPECT_TRUE(v.ViewToolbar);
  EXPECT_TRUE(v.ViewStatusBar);
  EXPECT_TRUE(v.ViewFolderTree);
  EXPECT_TRUE(v.PieSectionSizeWindow);
  EXPECT_TRUE(v.ShowSurvey);
  EXPECT_EQ(v.PieColors, DefaultPieColors);
  EXPECT_EQ(v.MinFileSectionAngle, 2.0);
  EXPECT_EQ(v.MinFolderSectionAngle, 1.0);
  EXPECT_EQ(v.MinTextSectionAngle, 5.0);
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
  TSettings settings;
  TSettingGroups changed = 0;
  QObject::connect(&settings, &TSettings::Changed, [&changed](TSettingGroups groups) { changed |= groups; });
  settings.Load();
  ExpectDefaults(settings, "first start");
  EXPECT_EQ(changed, 0u) << "the defaults change nothing";
  EXPECT_FALSE(scope.HiveText().has_value()) << "loading writes nothing";
  settings.Save();

  const TRegIniFile regIni(QStringLiteral("Software\\Morvell\\Korvane 3"));
  EXPECT_EQ(regIni.ReadSections(), QStringList({"Options", "Desktop", "History"}));
  EXPECT_EQ(regIni.ReadSection("Options"),
            QStringList({"IncludeWastedInformation", "ShowFileNames", "ShowPercentInPie", "AutoExpand", "AutoCollapse",
                         "SortAscending", "DrivesToAutoScan", "ZIPAddSubfolders", "ZIPAddHiddenFiles",
                         "ZIPDeleteAfterCompressing", "ZIPPasswordProtect", "ZIPCompressionLevel", "ZIPDeleteArchive",
                         "Colors", "MinFileSectionAngle", "MinFolderSectionAngle", "MinTextSectionAngle"}));
  EXPECT_EQ(regIni.ReadSection("Desktop"),
            QStringList({"ViewToolbar", "ViewStatusBar", "ViewFolderTree", "PieSectionSizeWindow", "ShowSurvey"}));
  EXPECT_EQ(regIni.ReadSection("History"), QStringList({"SaveSnapshotAfterScan", "HistoryStore"}));
  const QByteArray text = *scope.HiveText();
  EXPECT_TRUE(text.contains("\"IncludeWastedInformation\"=\"1\"\n\"ShowFileNames\"=\"1\"\n\"ShowPercentInPie\"=\"1\"\n"))
      << text.toStdString();
  EXPECT_TRUE(text.contains("\"MinTextSectionAngle\"=hex:00,00,00,00,00,00,14,40\n")) << text.toStdString();

  TSettings second;
  second.Load();
  ExpectDefaults(second, "second start");
}

TEST(Settings, EverySettingComesBack) {
  const TRegistryScope scope;
  TSettings settings;
  settings.Load();
  TPieColorTable colors{};
  for (int i = 0; i < PieColorCount; ++i) colors[static_cast<size_t>(i)] = RgbToColor(i, 255 - i, i * 7);
  colors[0] = SystemColor(15);
  TSettingValues changed;
  changed.IncludeWastedInformation = false;
  changed.ShowFileNames = false;
  changed.ShowPercentInPie = 2;
  changed.AutoExpand = false;
  changed.AutoCollapse = false;
  changed.SortAscending = true;
  changed.DrivesToAutoScan = "CDH";
  changed.ZIPAddSubfolders = false;
  changed.ZIPAddHiddenFiles = false;
  changed.ZIPDeleteAfterCompressing = false;
  changed.ZIPPasswordProtect = true;
  changed.ZIPCompressionLevel = 0;
  changed.ZIPDeleteArchive = false;
  changed.ViewToolbar = false;
  changed.ViewStatusBar = false;
  changed.ViewFolderTree = false;
  changed.PieSectionSizeWindow = false;  // the "Wasted & Drive Info" window was closed
  changed.ShowSurvey = false;
  changed.PieColors = colors;
  changed.MinFileSectionAngle = 0.1;
  changed.MinFolderSectionAngle = 0.0;
  changed.MinTextSectionAngle = 359.5;
  TSettingGroups groups = 0;
  QObject::connect(&settings, &TSettings::Changed, [&groups](TSettingGroups g) { groups |= g; });
  settings.Change([&changed](TSettingValues& v) { v = changed; });
  EXPECT_EQ(groups, sgWasted | sgPieContents | sgColors | sgTreeClicks | sgAutoScan | sgArchive | sgDesktop);
  settings.Save();

  TSettings again;
  again.Load();
  const TSettingValues& v = again.Values();
  EXPECT_FALSE(v.IncludeWastedInformation);
  EXPECT_FALSE(v.ShowFileNames);
  EXPECT_EQ(v.ShowPercentInPie, 2);
  EXPECT_FALSE(v.AutoExpand);
  EXPECT_FALSE(v.AutoCollapse);
  EXPECT_TRUE(v.SortAscending);
  EXPECT_EQ(v.DrivesToAutoScan, "CDH");
  EXPECT_FALSE(v.ZIPAddSubfolders);
  EXPECT_FALSE(v.ZIPAddHiddenFiles);
  EXPECT_FALSE(v.ZIPDeleteAfterCompressing);
  EXPECT_TRUE(v.ZIPPasswordProtect);
  EXPECT_EQ(v.ZIPCompressionLevel, 0);
  EXPECT_FALSE(v.ZIPDeleteArchive);
  EXPECT_FALSE(v.ViewToolbar);
  EXPECT_FALSE(v.ViewStatusBar);
  EXPECT_FALSE(v.ViewFolderTree);
  EXPECT_FALSE(v.PieSectionSizeWindow);
  EXPECT_FALSE(v.ShowSurvey);
  EXPECT_EQ(v.PieColors, colors);
  EXPECT_EQ(v.MinFileSectionAngle, 0.1);
  EXPECT_EQ(v.MinFolderSectionAngle, 0.0);
  EXPECT_EQ(v.MinTextSectionAngle, 359.5);
  EXPECT_EQ(v, changed);
}

TEST(Settings, AChangeNamesOnlyWhatDiffers) {
  struct Case {
    const char* What;
    std::function<void(TSettingValues&)> Edit;
    TSettingGroups Expected;
  };
  const Case cases[] = {
      {"the same value again", [](TSettingValues& v) { v.ShowFileNames = true; }, 0},
      {"wasted space", [](TSettingValues& v) { v.IncludeWastedInformation = false; }, sgWasted},
      {"percent in the pie", [](TSettingValues& v) { v.ShowPercentInPie = 0; }, sgPieContents},
      {"a minimum angle", [](TSettingValues& v) { v.MinTextSectionAngle = 6.0; }, sgPieContents},
      {"one colour", [](TSettingValues& v) { v.PieColors[pcBarChartBars] = 0x123456; }, sgColors},
      {"auto collapse", [](TSettingValues& v) { v.AutoCollapse = false; }, sgTreeClicks},
      {"the archive level", [](TSettingValues& v) { v.ZIPCompressionLevel = 1; }, sgArchive},
      {"the status bar", [](TSettingValues& v) { v.ViewStatusBar = false; }, sgDesktop},
      {"two groups at once",
       [](TSettingValues& v) {
         v.IncludeWastedInformation = false;
         v.DrivesToAutoScan = "C";
       },
       sgWasted | sgAutoScan},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TSettings settings;
    std::vector<TSettingGroups> signalled;
    QObject::connect(&settings, &TSettings::Changed, [&signalled](TSettingGroups g) { signalled.push_back(g); });
    settings.Change(c.Edit);
    if (c.Expected == 0) {
      EXPECT_TRUE(signalled.empty());
    } else {
      EXPECT_EQ(signalled, std::vector<TSettingGroups>{c.Expected});
    }
    TSettingValues expected;
    c.Edit(expected);
    EXPECT_EQ(settings.Values(), expected);
  }
}

TEST(Settings, BadStoredValuesAndTheGuardedBlock) {
  struct Case {
    const char* What;
    std::function<void()> Store;
    std::function<void(const TSettingValues&)> Check;
  };
  const TRegValue angle3 = TRegValue::FromBinary(DoubleBytes(3.0));
  const Case cases[] = {
      {"ZIPCompressionLevel 12 loads as 9", [] { Store(OptionsKey, "ZIPCompressionLevel", TRegValue::FromString("12")); },
       [](const TSettingValues& v) { EXPECT_EQ(v.ZIPCompressionLevel, 9); }},
      {"ZIPCompressionLevel -1 loads as 9", [] { Store(OptionsKey, "ZIPCompressionLevel", TRegValue::FromString("-1")); },
       [](const TSettingValues& v) { EXPECT_EQ(v.ZIPCompressionLevel, 9); }},
      {"ZIPCompressionLevel 0 stays", [] { Store(OptionsKey, "ZIPCompressionLevel", TRegValue::FromString("0")); },
       [](const TSettingValues& v) { EXPECT_EQ(v.ZIPCompressionLevel, 0); }},
      {"Colors of 40 bytes: all defaults, the angles still load",
       [&] {
         Store(OptionsKey, "Colors", TRegValue::FromBinary(QByteArray(40, '\x11')));
         Store(OptionsKey, "MinTextSectionAngle", angle3);
       },
       [](const TSettingValues& v) {
         EXPECT_EQ(v.PieColors, DefaultPieColors);
         EXPECT_EQ(v.MinTextSectionAngle, 3.0);
       }},
      {"Colors of 80 bytes stops the load: options loaded, angles default",
       [&] {
         Store(OptionsKey, "ShowFileNames", TRegValue::FromString("0"));
         Store(DesktopKey, "ViewToolbar", TRegValue::FromString("0"));
         Store(OptionsKey, "Colors", TRegValue::FromBinary(QByteArray(80, '\x11')));
         Store(OptionsKey, "MinFileSectionAngle", angle3);
         Store(OptionsKey, "MinTextSectionAngle", angle3);
       },
       [](const TSettingValues& v) {
         EXPECT_FALSE(v.ShowFileNames);
         EXPECT_FALSE(v.ViewToolbar);
         EXPECT_EQ(v.PieColors, DefaultPieColors);
         EXPECT_EQ(v.MinFileSectionAngle, 2.0);
         EXPECT_EQ(v.MinTextSectionAngle, 5.0);
       }},
      {"Colors stored as text stops the load the same way",
       [&] {
         Store(OptionsKey, "Colors", TRegValue::FromString("red"));
         Store(OptionsKey, "MinFileSectionAngle", angle3);
       },
       [](const TSettingValues& v) {
         EXPECT_EQ(v.PieColors, DefaultPieColors);
         EXPECT_EQ(v.MinFileSectionAngle, 2.0);
       }},
      {"an angle longer than 8 bytes stops the load after the angles before it",
       [&] {
         Store(OptionsKey, "MinFileSectionAngle", angle3);
         Store(OptionsKey, "MinFolderSectionAngle", TRegValue::FromBinary(QByteArray(16, '\0')));
         Store(OptionsKey, "MinTextSectionAngle", angle3);
       },
       [](const TSettingValues& v) {
         EXPECT_EQ(v.MinFileSectionAngle, 3.0);
         EXPECT_EQ(v.MinFolderSectionAngle, 1.0);
         EXPECT_EQ(v.MinTextSectionAngle, 5.0);
       }},
      {"short, NaN and absurd angles keep their defaults; the next still loads",
       [&] {
         Store(OptionsKey, "MinFileSectionAngle", TRegValue::FromBinary(DoubleBytes(3.0).left(4)));
         Store(OptionsKey, "MinFolderSectionAngle", TRegValue::FromBinary(DoubleBytes(std::nan(""))));
         Store(OptionsKey, "MinTextSectionAngle", TRegValue::FromBinary(DoubleBytes(-1.0)));
       },
       [](const TSettingValues& v) {
         EXPECT_EQ(v.MinFileSectionAngle, 2.0);
         EXPECT_EQ(v.MinFolderSectionAngle, 1.0);
         EXPECT_EQ(v.MinTextSectionAngle, 5.0);
       }},
      {"72 bytes of colours load",
       [] {
         QByteArray bytes(72, '\0');
         bytes[4] = '\x7F';
         Store(OptionsKey, "Colors", TRegValue::FromBinary(bytes));
       },
       [](const TSettingValues& v) {
         EXPECT_EQ(v.PieColors[0], 0u);
         EXPECT_EQ(v.PieColors[1], 0x7Fu);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const TRegistryScope scope;
    c.Store();
    TSettings settings;
    settings.Load();
    c.Check(settings.Values());
  }
}

TEST(Settings, AFailedWriteIsThrownAndKeepsTheValues) {
  const TRegistryScope scope;
  TSettings settings;
  settings.Load();
  settings.Change([](TSettingValues& v) { v.ZIPCompressionLevel = 4; });
  SetAtomicWriteTestHook([](const QByteArray&) { return false; });
  EXPECT_THROW(settings.Save(), ERegistryException);
  SetAtomicWriteTestHook(nullptr);
  EXPECT_EQ(settings->ZIPCompressionLevel, 4);
  EXPECT_FALSE(scope.HiveText().has_value());
  settings.Save();
  TSettings again;
  again.Load();
  EXPECT_EQ(again->ZIPCompressionLevel, 4);
}

TEST(Settings, AHiveEditedByAPersonIsRead) {
  const TRegistryScope scope;
  TSettings settings;
  settings.Load();
  settings.Save();
  QByteArray text = *scope.HiveText();
  // What someone does in a text editor: change values, add a comment, save with CRLF.
  text.replace("\"ZIPCompressionLevel\"=\"9\"", "; faster archives\n\"ZIPCompressionLevel\"=\"5\"");
  text.replace("\"DrivesToAutoScan\"=\"\"", "\"DrivesToAutoScan\"=\"DE\"");
  text.replace("\"ViewStatusBar\"=\"1\"", "\"ViewStatusBar\"=dword:00000000");
  text.replace("\n", "\r\n");
  scope.WriteHive(text);

  settings.Load();
  EXPECT_EQ(settings->ZIPCompressionLevel, 5);
  EXPECT_EQ(settings->DrivesToAutoScan, "DE");
  EXPECT_FALSE(settings->ViewStatusBar);
  EXPECT_EQ(settings->PieColors, DefaultPieColors);
}

TEST(Settings, AHiveThatCannotBeParsedGivesTheDefaults) {
  const TRegistryScope scope;
  TSettings settings;
  scope.WriteHive("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Options]\n"
                  "\"ShowFileNames\"=\"0\"\n\"Colors\"=hex:zz\n");
  settings.Load();
  ExpectDefaults(settings, "broken hive");
  EXPECT_EQ(scope.Entries().filter("corrupt").size(), 1);
}

TEST(Settings, AHiveUnreadableAtStartIsNotReplacedByTheDefaultsAtExit) {
  // The hive cannot be read while the program starts (here: something that is no file is in its
  // place) and can again when it ends; the defaults the program ran on must not replace it.
  const TRegistryScope scope;
  TSettings settings;
  const QByteArray hive = scope.HivePath();
  const qsizetype warned = SettingsWarnings().size();
  ASSERT_EQ(::mkdir(hive.constData(), 0700), 0);
  settings.Load();
  ExpectDefaults(settings, "unreadable hive");
  ASSERT_EQ(::rmdir(hive.constData()), 0);
  const QByteArray users = "Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Options]\n"
                           "\"ShowFileNames\"=\"0\"\n\"ZIPCompressionLevel\"=\"5\"\n";
  scope.WriteHive(users);
  EXPECT_NO_THROW(settings.Save());
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
