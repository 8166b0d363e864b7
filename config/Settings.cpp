#include "config/Settings.h"

#include "config/OptionObjects.h"

#include <QtEndian>

#include <cmath>
#include <cstring>
#include <exception>

namespace {

// The option objects of both sections over a set of values: built in the order the values are
// stored, loaded into or saved from the values they point at.
class TOptionBinding {
public:
  explicit TOptionBinding(const TSettingValues& v)
      : program_(RegistryKeyPath, OptionsSection), desktop_(RegistryKeyPath, DesktopSection),
        history_(RegistryKeyPath, HistorySection) {
    namespace N = SettingNames;
    Bool(program_, N::IncludeWastedInformation, v.IncludeWastedInformation, &TSettingValues::IncludeWastedInformation);
    Bool(program_, N::ShowFileNames, v.ShowFileNames, &TSettingValues::ShowFileNames);
    Int(program_, N::ShowPercentInPie, v.ShowPercentInPie, &TSettingValues::ShowPercentInPie);
    Bool(program_, N::AutoExpand, v.AutoExpand, &TSettingValues::AutoExpand);
    Bool(program_, N::AutoCollapse, v.AutoCollapse, &TSettingValues::AutoCollapse);
    Bool(program_, N::SortAscending, v.SortAscending, &TSettingValues::SortAscending);
    strs_.push_back({program_.AddStr(N::DrivesToAutoScan, v.DrivesToAutoScan), &TSettingValues::DrivesToAutoScan});
    Bool(program_, N::ZIPAddSubfolders, v.ZIPAddSubfolders, &TSettingValues::ZIPAddSubfolders);
    Bool(program_, N::ZIPAddHiddenFiles, v.ZIPAddHiddenFiles, &TSettingValues::ZIPAddHiddenFiles);
    Bool(program_, N::ZIPDeleteAfterCompressing, v.ZIPDeleteAfterCompressing, &TSettingValues::ZIPDeleteAfterCompressing);
    Bool(program_, N::ZIPPasswordProtect, v.ZIPPasswordProtect, &TSettingValues::ZIPPasswordProtect);
    Int(program_, N::ZIPCompressionLevel, v.ZIPCompressionLevel, &TSettingValues::ZIPCompressionLevel);
    Bool(program_, N::ZIPDeleteArchive, v.ZIPDeleteArchive, &TSettingValues::ZIPDeleteArchive);

    Bool(desktop_, N::ViewToolbar, v.ViewToolbar, &TSettingValues::ViewToolbar);
    Bool(desktop_, N::ViewStatusBar, v.ViewStatusBar, &TSettingValues::ViewStatusBar);
    Bool(desktop_, N::ViewFolderTree, v.ViewFolderTree, &TSettingValues::ViewFolderTree);
    Bool(desktop_, N::PieSectionSizeWindow, v.PieSectionSizeWindow, &TSettingValues::PieSectionSizeWindow);
    Bool(desktop_, N::ShowSurvey, v.ShowSurvey, &TSettingValues::ShowSurvey);

    Bool(history_, N::SaveSnapshotAfterScan, v.SaveSnapshotAfterScan, &TSettingValues::SaveSnapshotAfterScan);
    strs_.push_back({history_.AddStr(N::HistoryStore, v.HistoryStore), &TSettingValues::HistoryStore});
  }

  TOptions& Program() { return program_; }
  TOptions& Desktop() { return desktop_; }
  TOptions& History() { return history_; }

  // Copies what the option objects hold now into values.
  void CopyTo(TSettingValues& values) const {
    for (const auto& [option, member] : bools_) values.*member = option->Value;
    for (const auto& [option, member] : ints_) values.*member = option->Value;
    for (const auto& [option, member] : strs_) values.*member = option->Value;
  }

private:
  template <class TOption, class TValue>
  using TBound = std::vector<std::pair<TOption*, TValue TSettingValues::*>>;

  void Bool(TOptions& options, QLatin1String name, bool value, bool TSettingValues::*member) {
    bools_.push_back({options.AddBool(name, value), member});
  }
  void Int(TOptions& options, QLatin1String name, int32_t value, int32_t TSettingValues::*member) {
    ints_.push_back({options.AddInt(name, value), member});
  }

  TOptions program_;
  TOptions desktop_;
  TOptions history_;
  TBound<TBoolOption, bool> bools_;
  TBound<TIntOption, int32_t> ints_;
  TBound<TStrOption, QString> strs_;
};

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

TSettingGroups ChangedGroups(const TSettingValues& a, const TSettingValues& b) {
  TSettingGroups groups = 0;
  if (a.IncludeWastedInformation != b.IncludeWastedInformation) groups |= sgWasted;
  if (a.ShowFileNames != b.ShowFileNames || a.ShowPercentInPie != b.ShowPercentInPie ||
      a.SortAscending != b.SortAscending || a.MinFileSectionAngle != b.MinFileSectionAngle ||
      a.MinFolderSectionAngle != b.MinFolderSectionAngle || a.MinTextSectionAngle != b.MinTextSectionAngle)
    groups |= sgPieContents;
  if (a.PieColors != b.PieColors) groups |= sgColors;
  if (a.AutoExpand != b.AutoExpand || a.AutoCollapse != b.AutoCollapse) groups |= sgTreeClicks;
  if (a.DrivesToAutoScan != b.DrivesToAutoScan) groups |= sgAutoScan;
  if (a.ZIPAddSubfolders != b.ZIPAddSubfolders || a.ZIPAddHiddenFiles != b.ZIPAddHiddenFiles ||
      a.ZIPDeleteAfterCompressing != b.ZIPDeleteAfterCompressing || a.ZIPPasswordProtect != b.ZIPPasswordProtect ||
      a.ZIPCompressionLevel != b.ZIPCompressionLevel || a.ZIPDeleteArchive != b.ZIPDeleteArchive)
    groups |= sgArchive;
  if (a.ViewToolbar != b.ViewToolbar || a.ViewStatusBar != b.ViewStatusBar || a.ViewFolderTree != b.ViewFolderTree ||
      a.PieSectionSizeWindow != b.PieSectionSizeWindow || a.ShowSurvey != b.ShowSurvey)
    groups |= sgDesktop;
  if (a.SaveSnapshotAfterScan != b.SaveSnapshotAfterScan || a.HistoryStore != b.HistoryStore) groups |= sgHistory;
  return groups;
}

void TSettings::Change(const std::function<void(TSettingValues&)>& edit) {
  TSettingValues values = values_;
  edit(values);
  Replace(values);
}

void TSettings::Replace(const TSettingValues& values) {
  const TSettingGroups groups = ChangedGroups(values_, values);
  values_ = values;
  if (groups) emit Changed(groups);
}

void TSettings::Load() {
  const TSettingValues defaults;
  TSettingValues loaded;
  TOptionBinding options(defaults);
  bool copied = false;
  try {
    options.Program().LoadAll();
    options.Desktop().LoadAll();
    options.CopyTo(loaded);
    copied = true;
    if (loaded.ZIPCompressionLevel < 0 || loaded.ZIPCompressionLevel > 9)
      loaded.ZIPCompressionLevel = DefaultZIPCompressionLevel;

    const TBinRegIniFile regIni(RegistryKeyPath);
    QByteArray colors(PieColorBytes, '\0');
    const int32_t read = regIni.ReadBinary(OptionsSection, SettingNames::Colors, PieColorBytes, colors.data());
    loaded.PieColors = read < PieColorBytes ? DefaultPieColors : *PieColorsFromBytes(colors);

    ReadAngle(regIni, SettingNames::MinFileSectionAngle, loaded.MinFileSectionAngle);
    ReadAngle(regIni, SettingNames::MinFolderSectionAngle, loaded.MinFolderSectionAngle);
    ReadAngle(regIni, SettingNames::MinTextSectionAngle, loaded.MinTextSectionAngle);
  } catch (const std::exception&) {
    // A bad stored value ends the loading; what is not read yet keeps its default.
    if (!copied) options.CopyTo(loaded);
  }
  // A section of its own, read apart: a file written before it existed loads as before, and a bad
  // value here costs only this section's values.
  try {
    TOptionBinding history(defaults);
    history.History().LoadAll();
    TSettingValues read;
    history.CopyTo(read);
    loaded.SaveSnapshotAfterScan = read.SaveSnapshotAfterScan;
    loaded.HistoryStore = read.HistoryStore;
  } catch (const std::exception&) {
  }
  Replace(loaded);
}

void TSettings::Save() const {
  TOptionBinding options(values_);
  options.Program().SaveAll();
  options.Desktop().SaveAll();
  options.History().SaveAll();
  TBinRegIniFile regIni(RegistryKeyPath);
  const QByteArray colors = PieColorsToBytes(values_.PieColors);
  regIni.WriteBinary(OptionsSection, SettingNames::Colors, PieColorBytes, colors.constData());
  WriteAngle(regIni, SettingNames::MinFileSectionAngle, values_.MinFileSectionAngle);
  WriteAngle(regIni, SettingNames::MinFolderSectionAngle, values_.MinFolderSectionAngle);
  WriteAngle(regIni, SettingNames::MinTextSectionAngle, values_.MinTextSectionAngle);
  regIni.Close();
}
