// The subfolder colours of the pie: a palette that stays apart for the common colour-vision
// deficiencies and on light and dark backgrounds, colours by rank, the sections that keep their
// own colour entries, and the "Colour each folder" setting in the settings file.

#include "charts/FolderColors.h"
#include "charts/FolderColorsSetting.h"
#include "config/RegHelpers.h"
#include "config/Settings.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace {

using TVec = std::array<double, 3>;
using TMatrix = std::array<TVec, 3>;

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

TVec LinearRgb(TColor color) { return {Linear(RedOf(color)), Linear(GreenOf(color)), Linear(BlueOf(color))}; }

// How a colour looks with a full deficiency (Machado, Oliveira and Fernandes 2009, severity 1),
// in linear RGB.
TVec Simulate(const TVec& rgb, const TMatrix& m) {
  TVec out{};
  for (size_t i = 0; i < 3; ++i)
    out[i] = std::clamp(m[i][0] * rgb[0] + m[i][1] * rgb[1] + m[i][2] * rgb[2], 0.0, 1.0);
  return out;
}

TVec Lab(const TVec& rgb) {
  const double x = (0.4124 * rgb[0] + 0.3576 * rgb[1] + 0.1805 * rgb[2]) / 0.9505;
  const double y = 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2];
  const double z = (0.0193 * rgb[0] + 0.1192 * rgb[1] + 0.9505 * rgb[2]) / 1.089;
  auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
  return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

double Distance(const TVec& a, const TVec& b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

double Luminance(TColor color) {
  const TVec rgb = LinearRgb(color);
  return 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2];
}

double Contrast(TColor a, TColor b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

TEST(FolderColors, ThePaletteStaysApartForEveryVisionAndOnLightAndDarkWindows) {
  const std::map<const char*, TMatrix> visions = {
      {"normal", TMatrix{TVec{1, 0, 0}, TVec{0, 1, 0}, TVec{0, 0, 1}}},
      {"protanopia", TMatrix{TVec{0.152286, 1.052583, -0.204868}, TVec{0.114503, 0.786281, 0.099216},
                             TVec{-0.003882, -0.048116, 1.051998}}},
      {"deuteranopia", TMatrix{TVec{0.367322, 0.860646, -0.227968}, TVec{0.280085, 0.672501, 0.047413},
                               TVec{-0.011820, 0.042940, 0.968881}}},
      {"tritanopia", TMatrix{TVec{1.255528, -0.076749, -0.178779}, TVec{-0.078411, 0.930809, 0.147602},
                             TVec{0.004733, 0.691367, 0.303900}}},
  };
  // The palette, then the colours it meets in the pie: the folder's own files, the other folders
  // and the lines between sections.
  std::vector<TColor> colors(FolderPalette.begin(), FolderPalette.end());
  const std::vector<TColor> neighbours = {DefaultPieColors[pcFilesInCurrentFolder], DefaultPieColors[pcOtherFolders],
                                          DefaultPieColors[pcLines]};
  for (const auto& [name, matrix] : visions) {
    for (size_t i = 0; i < colors.size(); ++i) {
      const TVec a = Lab(Simulate(LinearRgb(colors[i]), matrix));
      for (size_t j = i + 1; j < colors.size(); ++j)
        EXPECT_GE(Distance(a, Lab(Simulate(LinearRgb(colors[j]), matrix))), 15.0)
            << name << ": palette colours " << i << " and " << j;
      for (size_t j = 0; j < neighbours.size(); ++j)
        EXPECT_GE(Distance(a, Lab(Simulate(LinearRgb(neighbours[j]), matrix))), 15.0)
            << name << ": palette colour " << i << " and default entry " << j;
    }
  }
  // Every section shows against a light and a dark window background.
  for (size_t i = 0; i < colors.size(); ++i) {
    EXPECT_GE(Contrast(colors[i], clWhite), 2.0) << "colour " << i << " on white";
    EXPECT_GE(Contrast(colors[i], RgbToColor(0x2A, 0x2A, 0x2A)), 2.0) << "colour " << i << " on dark grey";
  }
}

namespace {

// A folder with seven subfolders (two of one size), its own files and one tiny subfolder.
class FolderColorsPieTest : public ::testing::Test {
protected:
  FolderColorsPieTest() {
    const std::vector<std::pair<const char*, int64_t>> folders = {
        {"g", 70000}, {"b", 60000}, {"Alpha", 50000}, {"a2", 50000}, {"c", 40000}, {"d", 30000}, {"e", 20000}, {"tiny", 100}};
    for (const auto& [name, size] : folders) fx.File(QByteArray("top/") + name + "/data", size);
    fx.File("top/own", 25000);
    session.ScanDrive(QStringLiteral("T") + DriveDisplayName(QStringLiteral("T:\\")));
    top = session.FindFolder(QStringLiteral("T:\\top"));
  }

  // Each section's name and the colour it is drawn in.
  std::map<QString, TColor> Colors(const TFolderPieSettings& settings, const TPieColorTable& table, bool eachFolder,
                                   std::map<QString, int>* ranks = nullptr) const {
    const TFolderPieSections pie = BuildFolderPieSections(*top, QStringLiteral("T:\\top"), settings);
    std::map<QString, TColor> out;
    for (const TPieSlice& slice : pie.Slices) {
      const QString& name = pie.Infos[static_cast<size_t>(slice.InfoIndex)].Name;
      out[name] = SliceColor(slice, table, eachFolder);
      if (ranks) (*ranks)[name] = slice.FolderRank;
    }
    return out;
  }

  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Root()}}};
  THeadlessHost host;
  TScanSession session{host};
  TTreeNode* top = nullptr;
};

}  // namespace

TEST_F(FolderColorsPieTest, FoldersTakeColoursByRankAndTheOtherSectionsKeepTheirEntries) {
  ASSERT_NE(top, nullptr);
  TPieColorTable table = DefaultPieColors;
  table[pcFilesInCurrentFolder] = RgbToColor(1, 2, 3);  // a user's own colours stay in use
  table[pcOtherFolders] = RgbToColor(4, 5, 6);
  TFolderPieSettings settings;
  settings.MinFolderAngle = 1;  // "tiny" goes into "Other smaller folders"
  std::map<QString, int> ranks;
  const std::map<QString, TColor> colors = Colors(settings, table, true, &ranks);

  // By size, largest first; the two of one size by name, whatever their case.
  const std::vector<QString> order = {"g", "b", "a2", "Alpha", "c", "d", "e"};
  for (size_t rank = 0; rank < order.size(); ++rank) {
    SCOPED_TRACE(order[rank].toStdString());
    EXPECT_EQ(ranks.at(order[rank]), static_cast<int>(rank));
    EXPECT_EQ(colors.at(order[rank]), FolderPalette[rank % FolderPaletteSize]);
    if (rank > 0) {
      EXPECT_NE(colors.at(order[rank]), colors.at(order[rank - 1])) << "neighbours share a colour";
    }
  }
  EXPECT_EQ(colors.at(QString::fromLatin1(FilesInThisFolderText)), table[pcFilesInCurrentFolder]);
  EXPECT_EQ(colors.at(QString::fromLatin1(OtherSmallerFoldersText)), table[pcOtherFolders]);
  EXPECT_EQ(ranks.at(QString::fromLatin1(FilesInThisFolderText)), -1);
  EXPECT_FALSE(colors.count("tiny"));

  // A folder keeps its colour while its rank does: the small one joining the pie changes nothing
  // above it.
  settings.MinFolderAngle = 0;
  const std::map<QString, TColor> withTiny = Colors(settings, table, true);
  for (const QString& name : order) EXPECT_EQ(withTiny.at(name), colors.at(name)) << name.toStdString();
  EXPECT_EQ(withTiny.at("tiny"), FolderPalette[7 % FolderPaletteSize]);

  // The single colour, one setting away; files shown one by one keep the file colour.
  settings.ShowFiles = true;
  const std::map<QString, TColor> single = Colors(settings, table, false);
  for (const QString& name : order) EXPECT_EQ(single.at(name), table[pcNormalFolder]) << name.toStdString();
  EXPECT_EQ(single.at("own"), table[pcFile]);
  EXPECT_EQ(Colors(settings, table, true).at("own"), table[pcFile]);
}

TEST(FolderColorsSetting, OnForNewSettingsOffForAUsersOwnFolderColourAndStoredWhenChanged) {
  const TRegistryScope scope;
  TPieColorTable own = DefaultPieColors;
  own[pcNormalFolder] = RgbToColor(0x80, 0x80, 0x80);

  TFolderColorsSetting fresh;
  int changes = 0;
  QObject::connect(&fresh, &TFolderColorsSetting::Changed, [&] { ++changes; });
  fresh.Load(DefaultPieColors);
  EXPECT_TRUE(fresh.ColorEachFolder()) << "new settings";
  fresh.Load(own);
  EXPECT_FALSE(fresh.ColorEachFolder()) << "a user who picked the folder colour keeps seeing it";
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(scope.HiveText().has_value()) << "loading writes nothing";

  // Stored as soon as it changes; the stored value wins over the colours' default.
  fresh.SetColorEachFolder(true);
  EXPECT_EQ(changes, 2);
  fresh.SetColorEachFolder(true);
  EXPECT_EQ(changes, 2) << "no change, no signal";
  TFolderColorsSetting again;
  again.Load(own);
  EXPECT_TRUE(again.ColorEachFolder());
  again.SetColorEachFolder(false);
  TFolderColorsSetting third;
  third.Load(DefaultPieColors);
  EXPECT_FALSE(third.ColorEachFolder());
  EXPECT_EQ(RegReadInt(RegistryKeyPath, OptionsSection, QStringLiteral("ColorEachFolder"), -1), 0);
  // The colour table itself is never written by this setting.
  EXPECT_FALSE(scope.HiveText()->contains("\"Colors\""));
}
