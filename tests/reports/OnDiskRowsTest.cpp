// The on-disk figures where the pages and reports show them, and the share of a drive a figure
// larger than the drive takes.

#include "charts/DriveShare.h"
#include "reports/FolderInfoRows.h"
#include "reports/ReportSource.h"
#include "reports/SubfolderRows.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

int64_t BlocksOf(const QByteArray& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.constData(), &st), 0) << path.constData();
  return int64_t{st.st_blocks} * 512;
}

class OnDiskRowsTest : public ::testing::Test {
protected:
  OnDiskRowsTest() {
    fx.File("p/sparse/huge", int64_t{1} << 33);
    fx.File("p/written/a", 300000, false);
    fx.File("p/written/b", 5000, false);
    fx.File("p/own", 9000, false);
    session.ScanDrive(QStringLiteral("T") + DriveDisplayName(QStringLiteral("T:\\")));
    p = session.FindFolder(QStringLiteral("T:\\p"));
  }

  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Root()}}};
  THeadlessHost host;
  TScanSession session{host};
  TTreeNode* p = nullptr;
};

TEST_F(OnDiskRowsTest, FolderInformationAndTheSubfolderListShowTheBlocks) {
  ASSERT_NE(p, nullptr);
  const int64_t written = BlocksOf(fx.Path("p/written/a")) + BlocksOf(fx.Path("p/written/b"));
  const int64_t own = BlocksOf(fx.Path("p/own"));
  ASSERT_GT(written, 300000);

  const TFolderInfo info = BuildFolderInfo(*p, QStringLiteral("T:\\p"), 0);
  EXPECT_EQ(info.TreeOnDisk.Hint, FormatBytes(written + own));
  EXPECT_EQ(info.TreeOnDisk.Text, FormatSize(written + own));
  EXPECT_EQ(info.FolderOnDisk.Hint, FormatBytes(own));
  EXPECT_EQ(info.Tree[ffSize].Hint, FormatBytes((int64_t{1} << 33) + 314000)) << "the sizes are unchanged";

  TSubfolderSettings settings;
  settings.Sort = -(scOnDisk + 1);
  const TSubfolderList list = BuildSubfolderRows(p, settings);
  ASSERT_EQ(list.Rows.size(), 2u);
  EXPECT_EQ(list.Rows[0].Texts[scName], QStringLiteral("written")) << "by on-disk, largest first";
  EXPECT_EQ(list.Rows[0].Texts[scOnDisk], KiloText(written));
  EXPECT_EQ(list.Rows[1].Texts[scOnDisk], QStringLiteral("0 KB"));
  settings.Sort = -(scSize + 1);
  EXPECT_EQ(BuildSubfolderRows(p, settings).Rows[0].Texts[scName], QStringLiteral("sparse"));
  EXPECT_EQ(QLatin1String(SubfolderColumnCaptions[scOnDisk]), QStringLiteral("On Disk"));

  // The report's last column is the on-disk one.
  const TSubfolderListReport report = BuildSubfolderListReport(*p, QStringLiteral("T:\\p"), settings, nullptr);
  EXPECT_EQ(report.Captions[ReportListColumns - 1], QStringLiteral("On Disk"));
  ASSERT_EQ(report.Rows.size(), 2u);
  EXPECT_EQ(report.Rows[1][ReportListColumns - 1], KiloText(written));
  const TFolderInfoReport infoReport = BuildFolderInfoReport(*p, QStringLiteral("T:\\p"), 4096, QDateTime());
  EXPECT_EQ(infoReport.TreeOnDisk.Hint, FormatBytes(written + own));
  EXPECT_EQ(infoReport.FolderOnDisk.Hint, FormatBytes(own));
}

TEST(DriveShare, NeverMoreThanTheWholeDrive) {
  const struct {
    int64_t figure, total;
    int percent;
    bool larger;
  } cases[] = {
      {0, 1000, 0, false},          {500, 1000, 50, false},     {999, 1000, 99, false},
      {1000, 1000, 100, false},     {1001, 1000, 100, true},    {int64_t{1} << 40, 252'000'000'000, 100, true},
      {500, 0, 0, false},           {-5, 1000, 0, false},       {INT64_MAX, INT64_MAX, 100, false},
      {INT64_MAX / 2, INT64_MAX, 49, false},
  };
  for (const auto& c : cases) {
    const TDriveShare share = DriveShareOf(c.figure, c.total);
    EXPECT_EQ(share.Percent, c.percent) << c.figure << " of " << c.total;
    EXPECT_EQ(share.LargerThanDrive, c.larger) << c.figure << " of " << c.total;
  }
  EXPECT_EQ(DriveShareCaption(QLatin1Char('C'), false), QStringLiteral("of C:"));
  EXPECT_EQ(DriveShareCaption(QLatin1Char('C'), true), QStringLiteral("larger than C:"));
}

}  // namespace
