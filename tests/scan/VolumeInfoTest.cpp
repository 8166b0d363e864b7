#include "scan/VolumeInfo.h"

#include "platform/HostVolume.h"
#include "tests/support/Fixture.h"

#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sys/statvfs.h>
#include <vector>

namespace {

TEST(VolumeInfo, ClusterSizeFromQueriesFollowsTheFileSystemRules) {
  const struct {
    const char* Name;
    std::optional<int64_t> Queried;
    int32_t Expected;
  } cases[] = {
      {"FAT32", 8192, 8192},
      {"FAT32", 512, 512},
      {"FAT32", std::nullopt, 4096},  // the query failed
      {"FAT32", 0, 4096},
      {"FAT32", -1, 4096},
      {"fat32", 8192, 8192},
      {"fat32", std::nullopt, 4096},
      {"CDFS", 4096, 2048},  // never the drive's own figure
      {"CDFS", std::nullopt, 2048},
      {"cdfs", 512, 2048},
      {"NTFS", 4096, 4096},
      {"NTFS", std::nullopt, -1},
      {"ext4", 4096, 4096},
      {"btrfs", 65536, 65536},
      {"ext4", 0, -1},
      {"", std::nullopt, -1},  // the volume query failed too
      {"", 4096, 4096},
      {"FAT", 2048, 2048},
      {"xfs", int64_t(1) << 40, -1},  // no such cluster fits the 32-bit result
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClusterSizeFromQueries(QString::fromLatin1(c.Name), c.Queried), c.Expected)
        << c.Name << " " << (c.Queried ? *c.Queried : -999);
  }
}

TEST(VolumeInfo, KernelTypesGetWindowsNamesAndCaseRules) {
  const struct {
    const char* Kernel;
    const char* Name;
    bool CaseSensitive;
  } cases[] = {
      {"vfat", "FAT32", false}, {"msdos", "FAT", false},   {"exfat", "exFAT", false}, {"ntfs", "NTFS", false},
      {"ntfs3", "NTFS", false}, {"iso9660", "CDFS", false}, {"udf", "CDFS", false},    {"ext4", "ext4", true},
      {"btrfs", "btrfs", true}, {"xfs", "xfs", true},       {"tmpfs", "tmpfs", true},
  };
  TFixtureTree fx;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Kernel);
    EXPECT_EQ(WindowsFileSystemName(c.Kernel), QString::fromLatin1(c.Name));
    EXPECT_EQ(IsCaseSensitiveFileSystem(QString::fromLatin1(c.Name)), c.CaseSensitive);
    // The volume query takes its name and flag from the mount it is given.
    TMountEntry mount;
    mount.FsType = c.Kernel;
    mount.Source = "none";
    THostVolume volume;
    ASSERT_TRUE(QueryHostVolume(fx.Root(), &mount, volume));
    EXPECT_EQ(volume.FileSystemName, QString::fromLatin1(c.Name));
    EXPECT_EQ(volume.FileSystemFlags & 1u, c.CaseSensitive ? 1u : 0u);
  }
  THostVolume missing;
  missing.Label = QStringLiteral("stale");
  EXPECT_FALSE(QueryHostVolume(fx.Path("gone"), nullptr, missing));
  EXPECT_TRUE(missing.Label.isEmpty());
  THostSpace noSpace;
  EXPECT_FALSE(QueryHostSpace(fx.Path("gone"), noSpace));
  EXPECT_EQ(noSpace.ClusterSize, -1);
  EXPECT_EQ(noSpace.FreeBytes, -1);
  EXPECT_EQ(noSpace.TotalBytes, -1);
}

// The kernel's type of the file system holding a folder, as findmnt reports it; empty when
// findmnt is not there.
QByteArray KernelTypeByFindmnt(const QByteArray& folder) {
  QProcess p;
  p.start(QStringLiteral("findmnt"),
          {QStringLiteral("-n"), QStringLiteral("-o"), QStringLiteral("FSTYPE"), QStringLiteral("--target"),
           QString::fromLocal8Bit(folder)});
  if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
  return p.readAllStandardOutput().trimmed();
}

class VolumeInfoTest : public ::testing::Test {
protected:
  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Root()}, {'M', fx.Path("not-mounted")}}};
};

TEST_F(VolumeInfoTest, FixtureDriveReportsWhatTheHostReports) {
  struct statvfs before {};
  ASSERT_EQ(::statvfs(fx.Root().constData(), &before), 0);

  TVolumeInformation info;
  ASSERT_TRUE(GetVolumeInfo(QStringLiteral("T:\\"), info));
  const QByteArray kernelType = KernelTypeByFindmnt(fx.Root());
  if (!kernelType.isEmpty()) {
    EXPECT_EQ(info.FileSystemName, WindowsFileSystemName(kernelType));
  }
  EXPECT_FALSE(info.FileSystemName.isEmpty());
  EXPECT_EQ(FileSystemName(QStringLiteral("T:\\")), info.FileSystemName);
  EXPECT_EQ(info.MaxComponentLength, before.f_namemax);
  EXPECT_EQ(info.FileSystemFlags & 1u, IsCaseSensitiveFileSystem(info.FileSystemName) ? 1u : 0u);
  // The fixture is a folder inside a file system, not the volume itself: it has no label.
  EXPECT_TRUE(info.VolumeName.isEmpty());

  EXPECT_EQ(ClusterSizeOf(QStringLiteral("T:\\")), static_cast<int32_t>(before.f_frsize));
  EXPECT_EQ(TotalSpace(QStringLiteral("T:\\")), static_cast<int64_t>(before.f_blocks * before.f_frsize));

  // Other programs may write in between: the answer must lie within what the host said just
  // before and just after, give or take a little.
  const int64_t freeNow = FreeSpace(QStringLiteral("T:\\"));
  struct statvfs after {};
  ASSERT_EQ(::statvfs(fx.Root().constData(), &after), 0);
  const auto freeBefore = static_cast<int64_t>(before.f_bavail * before.f_frsize);
  const auto freeAfter = static_cast<int64_t>(after.f_bavail * after.f_frsize);
  const int64_t slack = 4 << 20;
  EXPECT_GE(freeNow, std::min(freeBefore, freeAfter) - slack);
  EXPECT_LE(freeNow, std::max(freeBefore, freeAfter) + slack);
  EXPECT_LE(freeNow, TotalSpace(QStringLiteral("T:\\")));
}

TEST_F(VolumeInfoTest, UnmappedOrMissingDrivesFailQuietly) {
  // Q: is not mapped; M: is mapped to a folder that is not there (an unmounted share).
  for (const char* root : {"Q:\\", "M:\\"}) {
    SCOPED_TRACE(root);
    const QString r = QString::fromLatin1(root);
    TVolumeInformation info;
    info.VolumeName = QStringLiteral("stale");
    info.FileSystemName = QStringLiteral("stale");
    info.MaxComponentLength = 255;
    info.FileSystemFlags = 1;
    EXPECT_FALSE(GetVolumeInfo(r, info));
    EXPECT_TRUE(info.VolumeName.isEmpty());
    EXPECT_TRUE(info.FileSystemName.isEmpty());
    EXPECT_EQ(info.MaxComponentLength, 0u);
    EXPECT_EQ(info.FileSystemFlags, 0u);
    EXPECT_EQ(FileSystemName(r), QString());
    EXPECT_EQ(ClusterSizeOf(r), -1);
    EXPECT_EQ(FreeSpace(r), -1);
    EXPECT_EQ(TotalSpace(r), -1);
  }
}

TEST_F(VolumeInfoTest, DisplayNameIsTheHostFolderAndLetterForRootsAndTheNameOtherwise) {
  fx.Dir("sub/name");
  const QString host = QString::fromUtf8(fx.Root());
  EXPECT_EQ(DriveDisplayName(QStringLiteral("T:\\")), host + QStringLiteral(" (T:)"));
  EXPECT_EQ(DriveDisplayName(QStringLiteral("t:\\")), host + QStringLiteral(" (T:)"));
  EXPECT_EQ(DriveDisplayName(QStringLiteral("T:\\sub\\name")), QStringLiteral("name"));
  EXPECT_EQ(DriveDisplayName(QStringLiteral("T:\\sub\\name\\")), QStringLiteral("name"));
  EXPECT_EQ(DriveDisplayName(QStringLiteral("T:\\sub")), QStringLiteral("sub"));
}

TEST(VolumeInfo, DriveListKeepsOrderAndFindsTheFirstExactLetter) {
  ClearDriveList();
  TDriveRecInfo* c1 = AddDrive('C');
  TDriveRecInfo* d = AddDrive('D');
  TDriveRecInfo* c2 = AddDrive('C');
  ASSERT_NE(c1, c2);
  EXPECT_EQ(c1->Letter, 'C');
  EXPECT_EQ(c1->Node, nullptr);
  EXPECT_EQ(c1->ClusterSize, 0);
  EXPECT_TRUE(c1->Name.isEmpty());
  EXPECT_EQ(DriveList(), (std::vector<TDriveRecInfo*>{c1, d, c2}));

  EXPECT_EQ(FindDrive('C'), c1);
  EXPECT_EQ(FindDrive('D'), d);
  EXPECT_EQ(FindDrive('c'), nullptr);  // exact comparison
  EXPECT_EQ(FindDrive('E'), nullptr);

  RemoveDriveRec(c1);
  EXPECT_EQ(FindDrive('C'), c2);
  EXPECT_EQ(DriveList(), (std::vector<TDriveRecInfo*>{d, c2}));

  // A record that is not in the list is left alone.
  TDriveRecInfo outside;
  outside.Letter = 'Z';
  RemoveDriveRec(&outside);
  EXPECT_EQ(DriveList().size(), 2u);

  ClearDriveList();
  EXPECT_TRUE(DriveList().empty());
  EXPECT_EQ(FindDrive('D'), nullptr);
}

}  // namespace
