#include "reports/SubfolderRows.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "tests/support/Fixture.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

QStringList Names(const TSubfolderList& list) {
  QStringList names;
  for (const TSubfolderRow& row : list.Rows) names << row.Texts[scName];
  return names;
}

// Four subfolders of different sizes and dates, one exactly 1 MB, scanned as drive T.
class SubfolderRowsTest : public ::testing::Test {
protected:
  SubfolderRowsTest() {
    fx.File("p/alpha/f", 2048);
    fx.File("p/Beta/f", 1048576);
    fx.File("p/gamma/f", 1048575);
    fx.File("p/delta/f", 10 * 1048576);
    fx.File("p/delta/g", 1);
    fx.SetTimes("p/alpha/f", 1'700'000'000, 1'600'000'000);
    fx.SetTimes("p/Beta/f", 1'500'000'000, 1'650'000'000);
    fx.SetTimes("p/gamma/f", 1'600'000'000, 1'550'000'000);
    fx.SetTimes("p/delta/f", 1'550'000'000, 1'500'000'000);
    fx.SetTimes("p/delta/g", 1'550'000'000, 1'500'000'000);
    session.ScanDrive(QStringLiteral("T") + DriveDisplayName(QStringLiteral("T:\\")));
    p = session.FindFolder(QStringLiteral("T:\\p"));
  }

  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Root()}}};
  THeadlessHost host;
  TScanSession session{host};
  TTreeNode* p = nullptr;
};

TEST_F(SubfolderRowsTest, ModesThresholdAndTopKeepTheRightRows) {
  ASSERT_NE(p, nullptr);
  struct TCase {
    const char* what;
    int display;
    int32_t top;
    int64_t threshold;
    int sort;
    QStringList names;
    int usedSort;
  };
  const TCase cases[] = {
      {"all, by name", sdAll, 10, 0, 1, {"alpha", "Beta", "delta", "gamma"}, 1},
      {"all, by name descending", sdAll, 10, 0, -1, {"gamma", "delta", "Beta", "alpha"}, -1},
      {"all ignores the threshold", sdAll, 10, 1048576, 1, {"alpha", "Beta", "delta", "gamma"}, 1},
      {"larger than 1 MB keeps exactly 1 MB", sdLargerThan, 10, 1048576, 1, {"delta", "Beta"}, -2},
      {"top 2, largest first", sdTop, 2, 0, 1, {"delta", "Beta"}, -2},
      {"top 0", sdTop, 0, 0, 1, {}, -2},
      {"top more than there are", sdTop, 100, 0, 1, {"delta", "Beta", "gamma", "alpha"}, -2},
      // Beta and gamma are one byte apart and both show "1,024 KB".
      {"by size", sdAll, 10, 0, 2, {"alpha", "gamma", "Beta", "delta"}, 2},
      {"by size, largest first", sdAll, 10, 0, -2, {"delta", "Beta", "gamma", "alpha"}, -2},
      {"by last change, newest first", sdAll, 10, 0, -8, {"Beta", "alpha", "gamma", "delta"}, -8},
      {"by last access", sdAll, 10, 0, 7, {"Beta", "delta", "gamma", "alpha"}, 7},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TSubfolderSettings s;
    s.Display = c.display;
    s.TopCount = c.top;
    s.Threshold = c.threshold;
    s.Sort = c.sort;
    const TSubfolderList list = BuildSubfolderRows(p, s);
    EXPECT_EQ(Names(list), c.names);
    EXPECT_EQ(list.Sort, c.usedSort);
  }
}

TEST_F(SubfolderRowsTest, RowTextsAreThoseOfTheList) {
  ASSERT_NE(p, nullptr);
  TSubfolderSettings s;
  s.Sort = 1;
  s.ClusterIndex = 7;
  const TSubfolderList list = BuildSubfolderRows(p, s);
  ASSERT_EQ(list.Rows.size(), 4u);
  const TSubfolderRow& delta = list.Rows[2];
  ASSERT_EQ(delta.Texts[scName], QStringLiteral("delta"));
  const TFolderSize& rec = *delta.Node->Data();
  const int64_t wasted = rec.TotalWastedAt[7];
  EXPECT_EQ(wasted, 65535) << "the one-byte file wastes all but a byte of a 64 K cluster";
  EXPECT_EQ(delta.Texts[scSize], QStringLiteral("10,240 KB"));
  EXPECT_EQ(delta.Texts[scAllocated], KiloText(rec.TotalSize + wasted));
  EXPECT_EQ(delta.Texts[scWasted], QStringLiteral("64 KB"));
  const double share = 10485761.0 * 100.0 / static_cast<double>(p->Data()->TotalSize);
  EXPECT_EQ(delta.Texts[scShare], QLocale().toString(share, 'f', 2) + QStringLiteral(" %"));
  EXPECT_EQ(delta.Texts[scObjects], QStringLiteral("2"));
  EXPECT_EQ(delta.LastChange, PackedDosDateTime(rec.LastChange));
  EXPECT_EQ(delta.Texts[scLastChange], PackedDateTimeText(delta.LastChange));
  EXPECT_FALSE(delta.Texts[scLastChange].isEmpty());

  // With wasted space counted the share is of size plus wasted at the chosen cluster size.
  s.IncludeWasted = true;
  const TSubfolderList withWasted = BuildSubfolderRows(p, s);
  const TFolderSize& parent = *p->Data();
  const double shareWasted = static_cast<double>(rec.TotalSize + wasted) * 100.0 /
                             static_cast<double>(parent.TotalSize + parent.TotalWastedAt[7]);
  EXPECT_EQ(withWasted.Rows[2].Texts[scShare], QLocale().toString(shareWasted, 'f', 2) + QStringLiteral(" %"));
}

TEST(SubfolderRows, FiguresCompareByTheirBytesNotTheirRoundedTextsAndDatesByValue) {
  TSubfolderRow small, large;
  for (TSubfolderRow* row : {&small, &large})
    for (int c : {scSize, scAllocated, scWasted}) row->Texts[static_cast<size_t>(c)] = QStringLiteral("21 KB");
  small.Figures = {0, 21001, 21500, 499, 21001, 3, 0, 0};
  large.Figures = {0, 22001, 22100, 99, 22001, 12, 0, 0};
  small.LastAccess = 5;
  large.LastAccess = 4;
  EXPECT_LT(CompareSubfolderRows(small, large, 2), 0);
  EXPECT_GT(CompareSubfolderRows(small, large, -2), 0);
  EXPECT_LT(CompareSubfolderRows(small, large, 3), 0);
  EXPECT_GT(CompareSubfolderRows(small, large, 4), 0) << "less waste in the larger folder";
  EXPECT_LT(CompareSubfolderRows(small, large, 5), 0);
  EXPECT_LT(CompareSubfolderRows(small, large, 6), 0);
  EXPECT_EQ(CompareSubfolderRows(small, small, -4), 0);
  EXPECT_GT(CompareSubfolderRows(small, large, 7), 0);
  EXPECT_EQ(PackedDateTimeText(0), QString());
  EXPECT_EQ(PackedDateTimeText(0xFFFFFFFFu), QString()) << "no real date gives no text";
  EXPECT_EQ(KiloText(1536), QStringLiteral("2 KB"));
}

TEST(SubfolderRows, UnscannedSubfoldersHaveNoRowAndNoFolderNoRows) {
  TFolderTree tree;
  TTreeNode* root = tree.AddTop(QStringLiteral("R"));
  tree.SetData(root, std::make_unique<TFolderSize>());
  tree.AddChild(root, QStringLiteral("pending"));
  EXPECT_TRUE(BuildSubfolderRows(root, TSubfolderSettings()).Rows.empty());
  EXPECT_TRUE(BuildSubfolderRows(nullptr, TSubfolderSettings()).Rows.empty());
}

}  // namespace
