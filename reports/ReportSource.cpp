#include "reports/ReportSource.h"

#include "reports/FolderInfoRows.h"
#include "reports/SubfolderRows.h"
#include "reports/WastedRows.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "scan/VolumeInfo.h"

#include <QLocale>
#include <QRegularExpression>

#include <cstdlib>

// The reports are made from the same builders the pages draw from, so that a report always says
// what the window shows for the folder.

namespace {

QString LongTimeFormat(const QLocale& locale) {
  static const QRegularExpression zone(QStringLiteral("\\s*t+"));
  QString format = locale.timeFormat(QLocale::LongFormat);
  format.remove(zone);
  return format;
}

TReportFigure Figure(const TFolderInfoFigure& figure) { return TReportFigure{figure.Text, figure.Hint}; }

}  // namespace

QString ReportDateText(const QDateTime& when) {
  const QLocale locale;
  return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(when.time(), LongTimeFormat(locale));
}

TFolderInfoReport BuildFolderInfoReport(const TTreeNode& node, const QString& path, int32_t driveClusterSize,
                                        const QDateTime& now) {
  TFolderInfoReport r;
  const TFolderInfo info = BuildFolderInfo(node, path, SelectedClusterIndex);
  const bool root = IsDriveRoot(path);
  r.ReportDate = ReportDateText(now);
  r.FolderType = info.TypeText.isEmpty() ? (root ? QStringLiteral("Root Folder of Drive") : QStringLiteral("File Folder"))
                                         : info.TypeText;
  r.FolderName = root ? DriveDisplayName(path) : node.Text();
  r.Path = path;
  for (size_t k = 0; k < r.Tree.size(); ++k) {
    r.Tree[k] = Figure(info.Tree[k]);
    r.Folder[k] = Figure(info.Folder[k]);
  }
  r.TreeOnDisk = Figure(info.TreeOnDisk);
  r.FolderOnDisk = Figure(info.FolderOnDisk);
  for (size_t row = 0; row < r.Grid.size(); ++row) {
    r.Grid[row][0] = QLatin1String(FolderInfoRowLabels[row]);
    r.Grid[row][1] = info.Values[row];
  }

  const TWastedRows wasted = BuildWastedRows(node, path, driveClusterSize);
  r.WastedAmount = wasted.AmountText;
  r.WastedPath = wasted.PathText;
  r.WastedAtDiff = QStringLiteral("at different cluster sizes (and % of usage+wasted)");
  for (int n = 1; n <= StandardClusterCount; ++n) {
    const TWastedCell& cell = wasted.Cells[static_cast<size_t>(n)];
    TReportWastedRow& w = r.Wasted[static_cast<size_t>(n - 1)];
    w.Caption = cell.Caption;
    w.CaptionHint = cell.CaptionHint;
    w.Text = cell.Text;
    w.TextHint = cell.Hint;
    w.Percent = cell.Percent;
    w.Actual = cell.DriveOwn;
  }
  return r;
}

TSubfolderListReport BuildSubfolderListReport(const TTreeNode& node, const QString& path, const TSubfolderView& view,
                                              int32_t* effectiveSort) {
  TSubfolderSettings settings;
  settings.Display = view.DisplayType == 0 ? sdTop : view.DisplayType == 1 ? sdLargerThan : sdAll;
  settings.TopCount = ViewTopCount(view);
  settings.Threshold = ViewThreshold(view);
  settings.IncludeWasted = view.IncludeWasted;
  settings.ClusterIndex = SelectedClusterIndex;
  settings.Sort = view.Sort == 0 || std::abs(view.Sort) > ReportListColumns ? 1 : view.Sort;
  return BuildSubfolderListReport(node, path, settings, effectiveSort);
}

TSubfolderListReport BuildSubfolderListReport(const TTreeNode& node, const QString& path,
                                              const TSubfolderSettings& settings, int32_t* effectiveSort) {
  TSubfolderList built = BuildSubfolderRows(&node, settings);

  TSubfolderListReport list;
  list.Path = path;
  for (int c = 0; c < ReportListColumns; ++c) {
    const QString caption = QLatin1String(SubfolderColumnCaptions[static_cast<size_t>(c)]);
    list.Captions[static_cast<size_t>(c)] = c == std::abs(built.Sort) - 1 ? QStringLiteral("-> ") + caption : caption;
  }
  list.Rows.reserve(built.Rows.size());
  for (TSubfolderRow& row : built.Rows) {
    std::array<QString, ReportListColumns> texts;
    for (int c = 0; c < ReportListColumns; ++c) texts[static_cast<size_t>(c)] = std::move(row.Texts[static_cast<size_t>(c)]);
    list.Rows.push_back(std::move(texts));
  }
  if (effectiveSort) *effectiveSort = built.Sort;
  return list;
}
