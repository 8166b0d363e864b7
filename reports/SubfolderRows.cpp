#include "reports/SubfolderRows.h"

#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/Format.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstdlib>

const std::array<const char*, SubfolderColumnCount> SubfolderColumnCaptions = {
    "Name", "Size", "Allocated", "Wasted", "% of Parent", "Objects", "Last Access", "Last Change"};

namespace {

int Sign(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

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
  if (time != QTime(0, 0)) {
    // The long time form without the zone name.
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(zone);
    text += QLatin1Char(' ') + locale.toString(time, format);
  }
  return text;
}

int CompareSubfolderRows(const TSubfolderRow& a, const TSubfolderRow& b, int code) {
  const int c = std::abs(code);
  int result = 0;
  if (c == 1) {
    result = Sign(QString::localeAwareCompare(a.Texts[scName], b.Texts[scName]));
  } else if (c >= 2 && c <= 6) {
    const size_t column = static_cast<size_t>(c - 1);
    result = a.Figures[column] < b.Figures[column] ? -1 : a.Figures[column] > b.Figures[column] ? 1 : 0;
  } else if (c == 7) {
    result = Sign(int64_t{a.LastAccess} - int64_t{b.LastAccess});
  } else if (c == 8) {
    result = Sign(int64_t{a.LastChange} - int64_t{b.LastChange});
  }
  return code < 0 ? -result : result;
}

void SortSubfolderRows(std::vector<TSubfolderRow>& rows, int code) {
  std::stable_sort(rows.begin(), rows.end(),
                   [code](const TSubfolderRow& a, const TSubfolderRow& b) { return CompareSubfolderRows(a, b, code) < 0; });
}

TSubfolderList BuildSubfolderRows(const TTreeNode* node, const TSubfolderSettings& settings) {
  TSubfolderList list;
  list.Sort = settings.Display == sdTop || settings.Display == sdLargerThan ? (settings.IncludeWasted ? -3 : -2)
                                                                             : settings.Sort;
  if (!node) return list;
  const int64_t threshold = settings.Display == sdLargerThan ? settings.Threshold : 0;
  const TFolderSize* parentRec = node->Data();
  const int64_t reference =
      parentRec ? parentRec->TotalSize + (settings.IncludeWasted ? TotalWastedAtIndex(*parentRec, settings.ClusterIndex) : 0)
                : 0;
  list.Rows.reserve(static_cast<size_t>(node->Count()));
  const QLocale locale;
  for (int i = 0; i < node->Count(); ++i) {
    TTreeNode* child = node->Child(i);
    const TFolderSize* rec = child->Data();
    if (!rec) continue;
    const int64_t wasted = TotalWastedAtIndex(*rec, settings.ClusterIndex);
    const int64_t value = rec->TotalSize + (settings.IncludeWasted ? wasted : 0);
    if (value < threshold) continue;
    TSubfolderRow row;
    row.Node = child;
    row.Texts[scName] = child->Text();
    row.Texts[scSize] = KiloText(rec->TotalSize);
    row.Texts[scAllocated] = KiloText(rec->TotalSize + wasted);
    row.Texts[scWasted] = KiloText(wasted);
    const double share = reference == 0 ? 0.0 : static_cast<double>(value) * 100.0 / static_cast<double>(reference);
    row.Texts[scShare] = locale.toString(share, 'f', 2) + QStringLiteral(" %");
    row.Texts[scObjects] = FormatCount64(int64_t{rec->TotalFiles} + rec->TotalFolders);
    row.Figures[scSize] = rec->TotalSize;
    row.Figures[scAllocated] = rec->TotalSize + wasted;
    row.Figures[scWasted] = wasted;
    row.Figures[scShare] = value;
    row.Figures[scObjects] = int64_t{rec->TotalFiles} + rec->TotalFolders;
    row.LastAccess = PackedDosDateTime(rec->LastAccess);
    row.LastChange = PackedDosDateTime(rec->LastChange);
    row.Texts[scLastAccess] = PackedDateTimeText(row.LastAccess);
    row.Texts[scLastChange] = PackedDateTimeText(row.LastChange);
    list.Rows.push_back(std::move(row));
  }
  SortSubfolderRows(list.Rows, list.Sort);
  if (settings.Display == sdTop && list.Rows.size() > static_cast<size_t>(std::max(settings.TopCount, 0)))
    list.Rows.resize(static_cast<size_t>(std::max(settings.TopCount, 0)));
  return list;
}
