#include "reports/WastedRows.h"

#include "scan/FolderTree.h"
#include "scan/Format.h"

namespace {

struct TClusterText {
  const char* Caption;
  const char* CaptionHint;
  const char* UsedBy;
};

constexpr TClusterText ClusterTexts[StandardClusterCount + 1] = {
    {"", "", ""},
    {"0.5K", "512 bytes", "high density floppy disks"},
    {"2K", "2048 bytes", "CD-ROMs"},
    {"4K", "4096 bytes", "FAT (128 MB - 255 MB), FAT32 (less than 8 GB)"},
    {"8K", "8192 bytes", "FAT (256 MB - 511 MB), FAT32 (8 GB - 16 GB)"},
    {"16K", "16384 bytes", "FAT (512 MB - 1023 MB), FAT32 (16 GB - 32 GB)"},
    {"32K", "32768 bytes", "FAT (1 GB - 2 GB), FAT32 (32 GB or more)"},
    {"64K", "65536 bytes", ""},
};

}  // namespace

std::array<TWastedCell, StandardClusterCount + 1> WastedCellCaptions() {
  std::array<TWastedCell, StandardClusterCount + 1> cells;
  for (int n = 1; n <= StandardClusterCount; ++n) {
    TWastedCell& cell = cells[static_cast<size_t>(n)];
    cell.Caption = QString::fromLatin1(ClusterTexts[n].Caption);
    cell.CaptionHint = QString::fromLatin1(ClusterTexts[n].CaptionHint);
    cell.UsedBy = QString::fromLatin1(ClusterTexts[n].UsedBy);
  }
  return cells;
}

int WastedPercent(int64_t wasted, int64_t size) {
  const int64_t sum = wasted + size;
  if (sum <= 0) return 0;
  // Both figures are far below 2^56, so the product cannot overflow.
  return static_cast<int>(wasted * 100 / sum);
}

TWastedRows BuildWastedRows(const TTreeNode& node, const QString& path, int32_t driveClusterSize) {
  TWastedRows rows;
  rows.Folder = node.Parent() != nullptr;
  rows.AmountText = QStringLiteral("Amount of space wasted %1")
                        .arg(rows.Folder ? QStringLiteral("by folder (+ subfolders)") : QStringLiteral("on drive"));
  rows.PathText = rows.Folder ? path : node.Text();
  const TFolderSize empty;
  const TFolderSize& rec = node.Data() ? *node.Data() : empty;
  rows.Cells = WastedCellCaptions();
  for (int n = 1; n <= StandardClusterCount; ++n) {
    TWastedCell& cell = rows.Cells[static_cast<size_t>(n)];
    const int64_t wasted = rec.TotalWastedAt[n];
    cell.Percent = WastedPercent(wasted, rec.TotalSize);
    cell.Text = FormatSize(wasted);
    cell.Hint = FormatBytes(wasted);
    cell.DriveOwn = driveClusterSize == StandardClusterSizes[static_cast<size_t>(n)];
  }
  return rows;
}
