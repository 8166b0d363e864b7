#include "reports/WastedRows.h"
#include "scan/FolderTree.h"
#include "scan/Format.h"

#include <gtest/gtest.h>

namespace {

TEST(WastedRows, CellsForAFolderAndForADrive) {
  TFolderTree tree;
  TTreeNode* root = tree.AddTop(QStringLiteral("/data (T:)"));
  TTreeNode* folder = tree.AddChild(root, QStringLiteral("sub"));
  auto rec = std::make_unique<TFolderSize>();
  rec->TotalSize = 3000;
  for (int n = 1; n <= StandardClusterCount; ++n) rec->TotalWastedAt[n] = int64_t{1000} * n;
  tree.SetData(folder, std::move(rec));

  const TWastedRows rows = BuildWastedRows(*folder, QStringLiteral("T:\\sub"), 4096);
  EXPECT_TRUE(rows.Folder);
  EXPECT_EQ(rows.AmountText, QStringLiteral("Amount of space wasted by folder (+ subfolders)"));
  EXPECT_EQ(rows.PathText, QStringLiteral("T:\\sub"));
  for (int n = 1; n <= StandardClusterCount; ++n) {
    SCOPED_TRACE(n);
    const TWastedCell& cell = rows.Cells[static_cast<size_t>(n)];
    EXPECT_EQ(cell.Text, FormatSize(int64_t{1000} * n));
    EXPECT_EQ(cell.Hint, FormatBytes(int64_t{1000} * n));
    EXPECT_EQ(cell.Percent, static_cast<int>(int64_t{1000} * n * 100 / (3000 + int64_t{1000} * n)));
    EXPECT_EQ(cell.DriveOwn, n == 3) << "4096 is the third standard size";
  }
  EXPECT_EQ(rows.Cells[1].Caption, QStringLiteral("0.5K"));
  EXPECT_EQ(rows.Cells[1].CaptionHint, QStringLiteral("512 bytes"));
  EXPECT_EQ(rows.Cells[2].UsedBy, QStringLiteral("CD-ROMs"));
  EXPECT_EQ(rows.Cells[7].Caption, QStringLiteral("64K"));
  EXPECT_TRUE(rows.Cells[7].UsedBy.isEmpty());

  // A drive root shows its node text; a node without figures counts as empty; a size that is
  // not standard highlights nothing.
  const TWastedRows drive = BuildWastedRows(*root, QStringLiteral("T:\\"), 1000);
  EXPECT_FALSE(drive.Folder);
  EXPECT_EQ(drive.AmountText, QStringLiteral("Amount of space wasted on drive"));
  EXPECT_EQ(drive.PathText, QStringLiteral("/data (T:)"));
  for (int n = 1; n <= StandardClusterCount; ++n) {
    EXPECT_EQ(drive.Cells[static_cast<size_t>(n)].Percent, 0);
    EXPECT_FALSE(drive.Cells[static_cast<size_t>(n)].DriveOwn);
    EXPECT_EQ(drive.Cells[static_cast<size_t>(n)].Caption, rows.Cells[static_cast<size_t>(n)].Caption);
  }
}

TEST(WastedRows, WastedPercentIsOfUsedPlusWasted) {
  struct TCase {
    int64_t wasted, size;
    int percent;
  };
  for (const TCase& c : {TCase{0, 0, 0}, TCase{1, 0, 100}, TCase{1, 2, 33}, TCase{50, 50, 50},
                         TCase{int64_t{1} << 50, int64_t{1} << 50, 50}}) {
    EXPECT_EQ(WastedPercent(c.wasted, c.size), c.percent) << c.wasted << " of " << c.size;
  }
}

}  // namespace
