#include "reports/ReportSource.h"

#include "platform/DirEnum.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/VolumeInfo.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

struct TClusterTexts {
  const char* Caption;
  const char* Hint;
};
constexpr TClusterTexts ClusterTexts[StandardClusterCount + 1] = {
    {"", ""},          {"0.5K", "512 bytes"},     {"2K", "2048 bytes"},  {"4K", "4096 bytes"},
    {"8K", "8192 bytes"}, {"16K", "16384 bytes"}, {"32K", "32768 bytes"}, {"64K", "65536 bytes"}};

const char* const Captions[ReportListColumns] = {"Name",        "Size",    "Allocated",   "Wasted",
                                                 "% of Parent", "Objects", "Last Access", "Last Change"};

QString LongTimeFormat(const QLocale& locale) {
  static const QRegularExpression zone(QStringLiteral("\\s*t+"));
  QString format = locale.timeFormat(QLocale::LongFormat);
  format.remove(zone);
  return format;
}

QString KiloText(int64_t bytes) {
  return FormatCount64(static_cast<int64_t>(std::llround(static_cast<double>(bytes) / 1024.0))) + QStringLiteral(" KB");
}

QString PackedDateTimeText(uint32_t packed) {
  if (packed == 0) return {};
  const uint32_t dosDate = packed >> 16;
  const uint32_t dosTime = packed & 0xFFFF;
  const QDate date(static_cast<int>(1980 + (dosDate >> 9)), static_cast<int>((dosDate >> 5) & 0x0F),
                   static_cast<int>(dosDate & 0x1F));
  const QTime time(static_cast<int>(dosTime >> 11), static_cast<int>((dosTime >> 5) & 0x3F),
                   static_cast<int>((dosTime & 0x1F) * 2));
  if (!date.isValid() || !time.isValid()) return {};
  const QLocale locale;
  QString text = locale.toString(date, QLocale::ShortFormat);
  if (time != QTime(0, 0)) text += QLatin1Char(' ') + locale.toString(time, LongTimeFormat(locale));
  return text;
}

QString FlagText(uint32_t attributes, uint32_t flag, const char* word) {
  return (attributes & flag ? QStringLiteral("The folder contains ") : QStringLiteral("No ")) + QLatin1String(word) +
         QStringLiteral(" files");
}

QString TimeText(uint64_t fileTime) {
  return IsZeroFileTime(fileTime) ? QStringLiteral("(unknown)") : FormatFileTime(fileTime);
}

QString ObjectsHint(int32_t files, int32_t folders) {
  return FormatCount(files) + QStringLiteral(" file(s) and ") + FormatCount(folders) + QStringLiteral(" subfolder(s)");
}

int Sign(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

struct TRow {
  std::array<QString, ReportListColumns> Texts;
  uint32_t Access = 0;
  uint32_t Change = 0;
};

// The list's order for a signed column code: names by the locale, figures by the length of their
// text first, dates by their packed value.
int CompareRows(const TRow& a, const TRow& b, int code) {
  const int c = std::abs(code);
  int result = 0;
  if (c == 1) {
    result = Sign(QString::localeAwareCompare(a.Texts[0], b.Texts[0]));
  } else if (c >= 2 && c <= 6) {
    const QString& x = a.Texts[static_cast<size_t>(c - 1)];
    const QString& y = b.Texts[static_cast<size_t>(c - 1)];
    result = x.size() != y.size() ? Sign(x.size() - y.size()) : Sign(QString::localeAwareCompare(x.toLower(), y.toLower()));
  } else if (c == 7) {
    result = Sign(int64_t{a.Access} - int64_t{b.Access});
  } else if (c == 8) {
    result = Sign(int64_t{a.Change} - int64_t{b.Change});
  }
  return code < 0 ? -result : result;
}

}  // namespace

QString ReportDateText(const QDateTime& when) {
  const QLocale locale;
  return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(when.time(), LongTimeFormat(locale));
}

TFolderInfoReport BuildFolderInfoReport(const TTreeNode& node, const QString& path, int32_t driveClusterSize,
                                        const QDateTime& now) {
  TFolderInfoReport r;
  const TFolderSize empty;
  const TFolderSize& rec = node.Data() ? *node.Data() : empty;
  const bool root = IsDriveRoot(path);
  const QString displayName = root ? DriveDisplayName(path) : node.Text();
  r.ReportDate = ReportDateText(now);
  r.FolderType = root ? QStringLiteral("Root Folder of Drive") : QStringLiteral("File Folder");
  r.FolderName = displayName;
  r.Path = path;

  const int64_t totalWasted = SelectedTotalWasted(rec);
  const int64_t filesWasted = SelectedFilesWasted(rec);
  auto figure = [](int64_t bytes) { return TReportFigure{FormatSize(bytes), FormatBytes(bytes)}; };
  r.Tree = {figure(rec.TotalSize), figure(rec.TotalSize + totalWasted), figure(totalWasted),
            TReportFigure{FormatCount64(int64_t{rec.TotalFiles} + rec.TotalFolders),
                          ObjectsHint(rec.TotalFiles, rec.TotalFolders)}};
  r.Folder = {figure(rec.FilesSize), figure(rec.FilesSize + filesWasted), figure(filesWasted),
              TReportFigure{FormatCount64(int64_t{rec.Files} + rec.Folders), ObjectsHint(rec.Files, rec.Folders)}};

  // The folder's own entry: a drive root has none to find.
  TFindData entry;
  const bool found = !root && FindEntry(RemoveBackslash(path), entry);
  static const char* const Labels[ReportFolderInfoGridRows] = {
      "Long name",     "MS-DOS name", "Last access date", "Last change date", "Creation date",   "Attributes",
      "",              "Read-Only files", "Hidden files", "System files",     "Compressed files"};
  for (int i = 0; i < ReportFolderInfoGridRows; ++i) r.Grid[static_cast<size_t>(i)][0] = QLatin1String(Labels[i]);
  auto set = [&r](int row, const QString& text) { r.Grid[static_cast<size_t>(row)][1] = text; };
  set(0, root ? displayName : DriveDisplayName(path));
  // The file systems here keep no separate short name: the long name in capitals stands for it.
  set(1, found ? r.Grid[0][1].toUpper() : QString());
  set(2, TimeText(rec.LastAccess));
  set(3, TimeText(rec.LastChange));
  set(4, found ? TimeText(entry.CreationTime) : QStringLiteral("(unknown)"));
  set(5, found ? AttributesText(entry.Attributes) : QString());
  set(7, FlagText(rec.Attributes, 0x01, "Read-Only"));
  set(8, FlagText(rec.Attributes, 0x02, "Hidden"));
  set(9, FlagText(rec.Attributes, 0x04, "System"));
  set(10, FlagText(rec.Attributes, 0x800, "Compressed"));

  const bool folder = node.Parent() != nullptr;
  r.WastedAmount = folder ? QStringLiteral("Amount of space wasted by folder (+ subfolders)")
                          : QStringLiteral("Amount of space wasted on drive");
  r.WastedPath = folder ? path : node.Text();
  r.WastedAtDiff = QStringLiteral("at different cluster sizes (and % of usage+wasted)");
  for (int n = 1; n <= StandardClusterCount; ++n) {
    TReportWastedRow& w = r.Wasted[static_cast<size_t>(n - 1)];
    const int64_t wasted = rec.TotalWastedAt[n];
    w.Caption = QLatin1String(ClusterTexts[n].Caption);
    w.CaptionHint = QLatin1String(ClusterTexts[n].Hint);
    w.Text = FormatSize(wasted);
    w.TextHint = FormatBytes(wasted);
    const int64_t sum = wasted + rec.TotalSize;
    w.Percent = sum <= 0 ? 0 : static_cast<int>(wasted * 100 / sum);
    w.Actual = driveClusterSize == StandardClusterSizes[static_cast<size_t>(n)];
  }
  return r;
}

TSubfolderListReport BuildSubfolderListReport(const TTreeNode& node, const QString& path, const TSubfolderView& view,
                                              int32_t* effectiveSort) {
  TSubfolderListReport list;
  list.Path = path;
  const int64_t threshold = ViewThreshold(view);
  const TFolderSize* parentRec = node.Data();
  const bool withWasted = view.IncludeWasted;
  const int64_t reference = parentRec ? parentRec->TotalSize + (withWasted ? SelectedTotalWasted(*parentRec) : 0) : 0;
  const QLocale locale;
  std::vector<TRow> rows;
  for (int i = 0; i < node.Count(); ++i) {
    const TTreeNode* child = node.Child(i);
    const TFolderSize* rec = child->Data();
    if (!rec) continue;
    const int64_t wasted = SelectedTotalWasted(*rec);
    const int64_t value = rec->TotalSize + (withWasted ? wasted : 0);
    if (value < threshold) continue;
    TRow row;
    row.Access = PackedDosDateTime(rec->LastAccess);
    row.Change = PackedDosDateTime(rec->LastChange);
    const double share = reference == 0 ? 0.0 : static_cast<double>(value) * 100.0 / static_cast<double>(reference);
    row.Texts = {child->Text(),
                 KiloText(rec->TotalSize),
                 KiloText(rec->TotalSize + wasted),
                 KiloText(wasted),
                 locale.toString(share, 'f', 2) + QStringLiteral(" %"),
                 FormatCount64(int64_t{rec->TotalFiles} + rec->TotalFolders),
                 PackedDateTimeText(row.Access),
                 PackedDateTimeText(row.Change)};
    rows.push_back(std::move(row));
  }
  int32_t sort = view.Sort;
  if (view.DisplayType == 0 || view.DisplayType == 1) sort = withWasted ? -3 : -2;
  if (sort == 0 || std::abs(sort) > ReportListColumns) sort = 1;
  std::stable_sort(rows.begin(), rows.end(), [sort](const TRow& a, const TRow& b) { return CompareRows(a, b, sort) < 0; });
  if (view.DisplayType == 0) {
    const size_t n = static_cast<size_t>(ViewTopCount(view));
    if (rows.size() > n) rows.resize(n);
  }
  for (int c = 0; c < ReportListColumns; ++c) {
    const QString caption = QLatin1String(Captions[c]);
    list.Captions[static_cast<size_t>(c)] = c == std::abs(sort) - 1 ? QStringLiteral("-> ") + caption : caption;
  }
  list.Rows.reserve(rows.size());
  for (TRow& row : rows) list.Rows.push_back(std::move(row.Texts));
  if (effectiveSort) *effectiveSort = sort;
  return list;
}
