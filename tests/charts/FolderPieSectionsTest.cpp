#include "charts/FolderPieSections.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {

// A folder with one large and one tiny subfolder and two files of its own, scanned as drive T.
class FolderPieSectionsTest : public ::testing::Test {
protected:
  FolderPieSectionsTest() {
    fx.File("top/big/data", 9000);
    fx.File("top/tiny/x", 10);
    fx.File("top/own-large", 1000);
    fx.File("top/own-small", 3);
    fx.Dir("top/empty");
    fx.Dir("hollow");
    session.ScanDrive(QStringLiteral("T") + DriveDisplayName(QStringLiteral("T:\\")));
    top = session.FindFolder(QStringLiteral("T:\\top"));
    cluster = session.Drive('T')->ClusterSize;
  }

  // The slices by their name (the caption up to the label suffix).
  static std::map<QString, const TPieSlice*> ByName(const TFolderPieSections& pie) {
    std::map<QString, const TPieSlice*> out;
    for (const TPieSlice& s : pie.Slices) out[pie.Infos[static_cast<size_t>(s.InfoIndex)].Name] = &s;
    return out;
  }

  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Root()}}};
  THeadlessHost host;
  TScanSession session{host};
  TTreeNode* top = nullptr;
  int32_t cluster = 0;
};

TEST_F(FolderPieSectionsTest, SmallFoldersGoIntoTheSummaryAndAnglesAddUpToTheCircle) {
  ASSERT_NE(top, nullptr);
  TFolderPieSettings s;
  s.MinFolderAngle = 5;  // "tiny" (10 of 10,013 bytes) is far below 5 degrees
  const TFolderPieSections pie = BuildFolderPieSections(*top, QStringLiteral("T:\\top"), s);
  const auto slices = ByName(pie);
  ASSERT_EQ(pie.Infos[0].Node, top);
  EXPECT_EQ(pie.Infos[0].Size, 10013);
  EXPECT_EQ(pie.Infos[0].Cursor, PieCursorZoomOut);
  ASSERT_TRUE(slices.count(QStringLiteral("big")));
  EXPECT_FALSE(slices.count(QStringLiteral("tiny")));
  EXPECT_FALSE(slices.count(QStringLiteral("empty")));
  EXPECT_EQ(pie.OtherFoldersSize, 10);
  ASSERT_TRUE(slices.count(QString::fromLatin1(FilesInThisFolderText)));
  ASSERT_TRUE(slices.count(QString::fromLatin1(OtherSmallerFoldersText)));
  const TSectionInfo& big = pie.Infos[static_cast<size_t>(slices.at(QStringLiteral("big"))->InfoIndex)];
  EXPECT_EQ(big.Path, QStringLiteral("T:\\top\\big"));
  EXPECT_EQ(big.Kind, TSectionKind::Folder);
  EXPECT_EQ(big.Cursor, PieCursorZoomIn);
  const TSectionInfo& files = pie.Infos[static_cast<size_t>(slices.at(QString::fromLatin1(FilesInThisFolderText))->InfoIndex)];
  EXPECT_EQ(files.Cursor, PieCursorArrow) << "the folder's own files open nothing";
  EXPECT_EQ(files.Size, 1003);
  EXPECT_EQ(slices.at(QStringLiteral("big"))->ColorIndex, 2);
  EXPECT_EQ(slices.at(QString::fromLatin1(FilesInThisFolderText))->ColorIndex, 3);
  double sum = 0;
  for (const TPieSlice& slice : pie.Slices) sum += slice.Angle;
  EXPECT_NEAR(sum, 360.0, 1e-9);
  EXPECT_NEAR(slices.at(QStringLiteral("big"))->Angle, 9000 * 360.0 / 10013, 1e-9);
}

TEST_F(FolderPieSectionsTest, LabelSuffixesAndTheWastedSetting) {
  ASSERT_NE(top, nullptr);
  struct TCase {
    int percent;
    bool wasted;
    int32_t clusterIndex;
  };
  for (const TCase& c : {TCase{0, false, 0}, TCase{1, false, 0}, TCase{2, false, 0}, TCase{2, true, 0},
                         TCase{1, true, 7}, TCase{2, true, 1}}) {
    SCOPED_TRACE(testing::Message() << "percent " << c.percent << " wasted " << c.wasted << " index " << c.clusterIndex);
    TFolderPieSettings s;
    s.ShowPercent = c.percent;
    s.IncludeWasted = c.wasted;
    s.ClusterIndex = c.clusterIndex;
    const TFolderPieSections pie = BuildFolderPieSections(*top, QStringLiteral("T:\\top"), s);
    const TFolderSize& rec = *top->Data();
    const TFolderSize& bigRec = *top->Child(0)->Data();
    ASSERT_EQ(top->Child(0)->Text(), QStringLiteral("big"));
    const int64_t total = rec.TotalSize + (c.wasted ? TotalWastedAtIndex(rec, c.clusterIndex) : 0);
    const int64_t bigValue = bigRec.TotalSize + (c.wasted ? TotalWastedAtIndex(bigRec, c.clusterIndex) : 0);
    const double angle = static_cast<double>(bigValue) * 360.0 / static_cast<double>(total);
    const TPieSlice& big = *ByName(pie).at(QStringLiteral("big"));
    EXPECT_NEAR(big.Angle, angle, 1e-9);
    EXPECT_EQ(pie.Infos[static_cast<size_t>(big.InfoIndex)].Wasted, TotalWastedAtIndex(bigRec, c.clusterIndex));
    const QString expected = c.percent == 0   ? QStringLiteral("big")
                             : c.percent == 1 ? QStringLiteral("big (%1%)").arg(static_cast<int>(std::trunc(angle * 100 / 360)))
                                              : QStringLiteral("big (%1)").arg(FormatSize(bigValue));
    EXPECT_EQ(big.Caption, expected);
  }
}

TEST_F(FolderPieSectionsTest, FilesOneByOneCarryTheDrivesSlackAndSmallOnesAreSummed) {
  ASSERT_NE(top, nullptr);
  TFolderPieSettings s;
  s.ShowFiles = true;
  s.MinFileAngle = 1;  // own-small (3 bytes) is below it
  s.DriveClusterSize = 4096;
  s.ClusterIndex = 7;  // folders at 64 K; the files keep the drive's own size
  const TFolderPieSections pie = BuildFolderPieSections(*top, QStringLiteral("T:\\top"), s);
  const auto slices = ByName(pie);
  ASSERT_TRUE(slices.count(QStringLiteral("own-large")));
  EXPECT_FALSE(slices.count(QStringLiteral("own-small")));
  EXPECT_FALSE(slices.count(QString::fromLatin1(FilesInThisFolderText)));
  const TSectionInfo& large = pie.Infos[static_cast<size_t>(slices.at(QStringLiteral("own-large"))->InfoIndex)];
  EXPECT_EQ(large.Kind, TSectionKind::File);
  EXPECT_EQ(large.Path, QStringLiteral("T:\\top\\own-large"));
  EXPECT_EQ(large.Wasted, 4096 - 1000);
  EXPECT_EQ(slices.at(QStringLiteral("own-large"))->ColorIndex, 5);
  EXPECT_EQ(pie.OtherFilesSize, 3);
  EXPECT_EQ(pie.OtherFilesWasted, 4096 - 3);
  const TSectionInfo& bigInfo = pie.Infos[static_cast<size_t>(slices.at(QStringLiteral("big"))->InfoIndex)];
  EXPECT_EQ(bigInfo.Wasted, top->Child(0)->Data()->TotalWastedAt[7]);
}

TEST_F(FolderPieSectionsTest, AnEmptyFolderIsOneFullSummary) {
  TTreeNode* hollow = session.FindFolder(QStringLiteral("T:\\hollow"));
  ASSERT_NE(hollow, nullptr);
  for (int percent : {0, 1, 2}) {
    TFolderPieSettings s;
    s.ShowPercent = percent;
    const TFolderPieSections pie = BuildFolderPieSections(*hollow, QStringLiteral("T:\\hollow"), s);
    ASSERT_EQ(pie.Slices.size(), 1u);
    EXPECT_EQ(pie.Slices[0].Angle, 360.0);
    EXPECT_EQ(pie.Slices[0].ColorIndex, 4);
    const TSectionInfo& info = pie.Infos[static_cast<size_t>(pie.Slices[0].InfoIndex)];
    EXPECT_EQ(info.Kind, TSectionKind::Summary);
    EXPECT_EQ(info.Path, QString::fromLatin1(EmptyFolderText));
    EXPECT_EQ(pie.Slices[0].Caption, percent == 0   ? QStringLiteral("This folder (0 bytes)")
                                     : percent == 1 ? QStringLiteral("This folder (0 bytes) (100%)")
                                                    : QStringLiteral("This folder (0 bytes) (") + FormatSize(0) + QLatin1Char(')'));
  }
}

}  // namespace
