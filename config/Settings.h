#pragma once
// Everything the program remembers between runs in the sections "Options" and "Desktop": the
// option values, the pie colours and the three minimum section angles, held by one settings
// object that says which of them changed. The main window loads it when it is created and saves
// it when it goes. The subfolder-list values (FoldersDisplay.h), the window placements
// (FormPlacement.h) and the tree bar chart's values are written by their owners with the
// one-shot helpers.

#include "config/PieColors.h"

#include <QLatin1String>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

// The program's key below HKEY_CURRENT_USER and its sections.
inline constexpr QLatin1String RegistryKeyPath("Software\\Morvell\\Korvane 3");
inline constexpr QLatin1String OptionsSection("Options");
inline constexpr QLatin1String DesktopSection("Desktop");
inline constexpr QLatin1String PopUpBoxSection("PopUpBox");
inline constexpr QLatin1String BarChartBoxSection("BarChartBox");
inline constexpr QLatin1String HistorySection("History");

// Values of "BarChartBox" besides the placement (read and written by the tree bar chart window).
inline constexpr QLatin1String BarChartGraphWidthName("GraphWidth");
inline constexpr QLatin1String BarChartIncludeSubfoldersName("IncludeSubfolders");
inline constexpr QLatin1String BarChartShowFullPathName("ShowFullPath");

// The value names, in the order they are stored.
namespace SettingNames {
// "Options"
inline constexpr QLatin1String IncludeWastedInformation("IncludeWastedInformation");
inline constexpr QLatin1String ShowFileNames("ShowFileNames");
inline constexpr QLatin1String ShowPercentInPie("ShowPercentInPie");
inline constexpr QLatin1String AutoExpand("AutoExpand");
inline constexpr QLatin1String AutoCollapse("AutoCollapse");
inline constexpr QLatin1String SortAscending("SortAscending");
inline constexpr QLatin1String DrivesToAutoScan("DrivesToAutoScan");
inline constexpr QLatin1String ZIPAddSubfolders("ZIPAddSubfolders");
inline constexpr QLatin1String ZIPAddHiddenFiles("ZIPAddHiddenFiles");
inline constexpr QLatin1String ZIPDeleteAfterCompressing("ZIPDeleteAfterCompressing");
inline constexpr QLatin1String ZIPPasswordProtect("ZIPPasswordProtect");
inline constexpr QLatin1String ZIPCompressionLevel("ZIPCompressionLevel");
inline constexpr QLatin1String ZIPDeleteArchive("ZIPDeleteArchive");
// REG_BINARY values of "Options".
inline constexpr QLatin1String Colors("Colors");
inline constexpr QLatin1String MinFileSectionAngle("MinFileSectionAngle");
inline constexpr QLatin1String MinFolderSectionAngle("MinFolderSectionAngle");
inline constexpr QLatin1String MinTextSectionAngle("MinTextSectionAngle");
// "Desktop"
inline constexpr QLatin1String ViewToolbar("ViewToolbar");
inline constexpr QLatin1String ViewStatusBar("ViewStatusBar");
inline constexpr QLatin1String ViewFolderTree("ViewFolderTree");
inline constexpr QLatin1String PieSectionSizeWindow("PieSectionSizeWindow");
inline constexpr QLatin1String ShowSurvey("ShowSurvey");
// "History"
inline constexpr QLatin1String SaveSnapshotAfterScan("SaveSnapshotAfterScan");
inline constexpr QLatin1String HistoryStore("HistoryStore");
}  // namespace SettingNames

constexpr double DefaultMinFileSectionAngle = 2.0;
constexpr double DefaultMinFolderSectionAngle = 1.0;
constexpr double DefaultMinTextSectionAngle = 5.0;
constexpr int32_t DefaultZIPCompressionLevel = 9;
constexpr bool DefaultIncludeWastedInformation = true;

// The values with their defaults.
struct TSettingValues {
  // "Options"
  bool IncludeWastedInformation = DefaultIncludeWastedInformation;
  bool ShowFileNames = true;
  int32_t ShowPercentInPie = 1;  // 0 none, 1 relative sizes, 2 absolute sizes
  bool AutoExpand = true;
  bool AutoCollapse = true;
  bool SortAscending = false;
  QString DrivesToAutoScan;  // drive letters, one character each
  bool ZIPAddSubfolders = true;
  bool ZIPAddHiddenFiles = true;
  bool ZIPDeleteAfterCompressing = true;
  bool ZIPPasswordProtect = false;
  int32_t ZIPCompressionLevel = DefaultZIPCompressionLevel;  // 0..9, anything else loads as 9
  bool ZIPDeleteArchive = true;
  TPieColorTable PieColors = DefaultPieColors;
  // Degrees; stored as 8-byte IEEE doubles, little-endian.
  double MinFileSectionAngle = DefaultMinFileSectionAngle;
  double MinFolderSectionAngle = DefaultMinFolderSectionAngle;
  double MinTextSectionAngle = DefaultMinTextSectionAngle;

  // "Desktop"
  bool ViewToolbar = true;
  bool ViewStatusBar = true;
  bool ViewFolderTree = true;
  bool PieSectionSizeWindow = true;
  bool ShowSurvey = true;  // kept, not used

  // "History"
  bool SaveSnapshotAfterScan = false;  // after every whole-drive scan that completed
  QString HistoryStore;  // the scan history: empty for the default, else a file or a postgresql:// URL

  bool operator==(const TSettingValues&) const = default;
};

// What a change touched, as the views that follow the settings see it.
enum TSettingGroup : unsigned {
  sgWasted = 1u << 0,       // IncludeWastedInformation
  sgPieContents = 1u << 1,  // ShowFileNames, ShowPercentInPie, SortAscending, the angles
  sgColors = 1u << 2,       // PieColors
  sgTreeClicks = 1u << 3,   // AutoExpand, AutoCollapse
  sgAutoScan = 1u << 4,     // DrivesToAutoScan
  sgArchive = 1u << 5,      // the ZIP values
  sgDesktop = 1u << 6,      // the values of "Desktop"
  sgHistory = 1u << 7,      // the values of "History"
};
using TSettingGroups = unsigned;

// The groups in which two sets of values differ.
TSettingGroups ChangedGroups(const TSettingValues& before, const TSettingValues& after);

class TSettings : public QObject {
  Q_OBJECT

public:
  // Starts on the defaults.
  explicit TSettings(QObject* parent = nullptr) : QObject(parent) {}

  const TSettingValues& Values() const { return values_; }
  const TSettingValues* operator->() const { return &values_; }

  // Edits the values; Changed follows when something differs afterwards.
  void Change(const std::function<void(TSettingValues&)>& edit);

  // Replaces the values with the defaults, then loads them. A bad stored value (wrong type, or a
  // binary value longer than expected) silently ends the loading there: what was read stays, the
  // rest keeps its default. A stored angle is taken only when it is 8 bytes long and a number
  // from 0 to 360. Emits Changed when the values differ from the ones before.
  void Load();
  // Writes every value; throws ERegistryException when the store cannot be written.
  void Save() const;

signals:
  void Changed(TSettingGroups groups);

private:
  void Replace(const TSettingValues& values);

  TSettingValues values_;
};
