#include "config/Settings.h"

#include <QtEndian>

#include <cmath>
#include <cstring>
#include <exception>

TOptions* ProgramOptions = nullptr;
TOptions* DesktopOptions = nullptr;

TBoolOption* IncludeWastedInformation = nullptr;
TBoolOption* ShowFileNames = nullptr;
TIntOption* ShowPercentInPie = nullptr;
TBoolOption* AutoExpand = nullptr;
TBoolOption* AutoCollapse = nullptr;
TBoolOption* SortAscending = nullptr;
TStrOption* DrivesToAutoScan = nullptr;
TBoolOption* ZIPAddSubfolders = nullptr;
TBoolOption* ZIPAddHiddenFiles = nullptr;
TBoolOption* ZIPDeleteAfterCompressing = nullptr;
TBoolOption* ZIPPasswordProtect = nullptr;
TIntOption* ZIPCompressionLevel = nullptr;
TBoolOption* ZIPDeleteArchive = nullptr;

TBoolOption* ViewToolbar = nullptr;
TBoolOption* ViewStatusBar = nullptr;
TBoolOption* ViewFolderTree = nullptr;
TBoolOption* PieSectionSizeWindow = nullptr;
TBoolOption* ShowSurvey = nullptr;

TPieColorTable PieColors = DefaultPieColors;
double MinFileSectionAngle = DefaultMinFileSectionAngle;
double MinFolderSectionAngle = DefaultMinFolderSectionAngle;
double MinTextSectionAngle = DefaultMinTextSectionAngle;

namespace {

void FreeSettings() {
  delete ProgramOptions;
  delete DesktopOptions;
  ProgramOptions = nullptr;
  DesktopOptions = nullptr;
  for (TBoolOption** b : {&IncludeWastedInformation, &ShowFileNames, &AutoExpand, &AutoCollapse, &SortAscending,
                          &ZIPAddSubfolders, &ZIPAddHiddenFiles, &ZIPDeleteAfterCompressing, &ZIPPasswordProtect,
                          &ZIPDeleteArchive, &ViewToolbar, &ViewStatusBar, &ViewFolderTree,
                          &PieSectionSizeWindow, &ShowSurvey})
    *b = nullptr;
  ShowPercentInPie = nullptr;
  ZIPCompressionLevel = nullptr;
  DrivesToAutoScan = nullptr;
}

// Reads an angle into target. Only a whole 8-byte value that is a number from 0 to 360 degrees
// replaces it: a shorter value would leave part of the old bytes in the double, and a NaN or
// an absurd angle would break the pie's layout.
void ReadAngle(const TBinRegIniFile& regIni, const QString& name, double& target) {
  char bytes[8];
  if (regIni.ReadBinary(OptionsSection, name, sizeof bytes, bytes) != sizeof bytes) return;
  const uint64_t bits = qFromLittleEndian<uint64_t>(bytes);
  double angle;
  std::memcpy(&angle, &bits, sizeof angle);
  if (std::isfinite(angle) && angle >= 0.0 && angle <= 360.0) target = angle;
}

void WriteAngle(TBinRegIniFile& regIni, const QString& name, double angle) {
  uint64_t bits;
  std::memcpy(&bits, &angle, sizeof bits);
  char bytes[8];
  qToLittleEndian<uint64_t>(bits, bytes);
  regIni.WriteBinary(OptionsSection, name, sizeof bytes, bytes);
}

}  // namespace

void LoadSettings() {
  FreeSettings();
  ProgramOptions = new TOptions(RegistryKeyPath, OptionsSection);
  IncludeWastedInformation = ProgramOptions->AddBool(QStringLiteral("IncludeWastedInformation"), true);
  ShowFileNames = ProgramOptions->AddBool(QStringLiteral("ShowFileNames"), true);
  ShowPercentInPie = ProgramOptions->AddInt(QStringLiteral("ShowPercentInPie"), 1);
  AutoExpand = ProgramOptions->AddBool(QStringLiteral("AutoExpand"), true);
  AutoCollapse = ProgramOptions->AddBool(QStringLiteral("AutoCollapse"), true);
  SortAscending = ProgramOptions->AddBool(QStringLiteral("SortAscending"), false);
  DrivesToAutoScan = ProgramOptions->AddStr(QStringLiteral("DrivesToAutoScan"), QString());
  ZIPAddSubfolders = ProgramOptions->AddBool(QStringLiteral("ZIPAddSubfolders"), true);
  ZIPAddHiddenFiles = ProgramOptions->AddBool(QStringLiteral("ZIPAddHiddenFiles"), true);
  ZIPDeleteAfterCompressing = ProgramOptions->AddBool(QStringLiteral("ZIPDeleteAfterCompressing"), true);
  ZIPPasswordProtect = ProgramOptions->AddBool(QStringLiteral("ZIPPasswordProtect"), false);
  ZIPCompressionLevel = ProgramOptions->AddInt(QStringLiteral("ZIPCompressionLevel"), DefaultZIPCompressionLevel);
  ZIPDeleteArchive = ProgramOptions->AddBool(QStringLiteral("ZIPDeleteArchive"), true);

  DesktopOptions = new TOptions(RegistryKeyPath, DesktopSection);
  ViewToolbar = DesktopOptions->AddBool(QStringLiteral("ViewToolbar"), true);
  ViewStatusBar = DesktopOptions->AddBool(QStringLiteral("ViewStatusBar"), true);
  ViewFolderTree = DesktopOptions->AddBool(QStringLiteral("ViewFolderTree"), true);
  PieSectionSizeWindow = DesktopOptions->AddBool(QStringLiteral("PieSectionSizeWindow"), true);
  ShowSurvey = DesktopOptions->AddBool(QStringLiteral("ShowSurvey"), true);

  PieColors = DefaultPieColors;
  MinFileSectionAngle = DefaultMinFileSectionAngle;
  MinFolderSectionAngle = DefaultMinFolderSectionAngle;
  MinTextSectionAngle = DefaultMinTextSectionAngle;

  try {
    ProgramOptions->LoadAll();
    DesktopOptions->LoadAll();
    if (ZIPCompressionLevel->Value < 0 || ZIPCompressionLevel->Value > 9) ZIPCompressionLevel->Value = DefaultZIPCompressionLevel;

    const TBinRegIniFile regIni(RegistryKeyPath);
    QByteArray colors(PieColorBytes, '\0');
    const int32_t read = regIni.ReadBinary(OptionsSection, ColorsName, PieColorBytes, colors.data());
    PieColors = read < PieColorBytes ? DefaultPieColors : *PieColorsFromBytes(colors);

    ReadAngle(regIni, MinFileSectionAngleName, MinFileSectionAngle);
    ReadAngle(regIni, MinFolderSectionAngleName, MinFolderSectionAngle);
    ReadAngle(regIni, MinTextSectionAngleName, MinTextSectionAngle);
  } catch (const std::exception&) {
    // A bad stored value ends the loading; what is not read yet keeps its default.
  }
}

void SaveSettings() {
  if (!ProgramOptions || !DesktopOptions) return;
  struct TFreeAtEnd {
    ~TFreeAtEnd() { FreeSettings(); }
  } freeAtEnd;
  ProgramOptions->SaveAll();
  DesktopOptions->SaveAll();
  TBinRegIniFile regIni(RegistryKeyPath);
  const QByteArray colors = PieColorsToBytes(PieColors);
  regIni.WriteBinary(OptionsSection, ColorsName, PieColorBytes, colors.constData());
  WriteAngle(regIni, MinFileSectionAngleName, MinFileSectionAngle);
  WriteAngle(regIni, MinFolderSectionAngleName, MinFolderSectionAngle);
  WriteAngle(regIni, MinTextSectionAngleName, MinTextSectionAngle);
  regIni.Close();
}
