// The properties of an item read from the host entry, and the dialog that shows them.
#include "cleanup/ui/ItemMenu.h"
#include "shell/PropertiesDialog.h"

#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "tests/shell/MessageAnswers.h"
#include "tests/support/Fixture.h"

#include <QFile>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

struct ItemProp : ::testing::Test {
  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Path("drive")}}};
  int32_t cluster = 0;
  ItemProp() {
    fx.File("drive/Data/a.txt", 10);
    fx.File("drive/Data/Sub/b.bin", 5000);
    fx.File("drive/Data/Sub/Deeper/c.bin", 4096);
    fx.Dir("drive/Data/Empty");
    fx.File("outside/big.bin", 1 << 20);
    fx.Symlink(fx.Path("outside"), "drive/Data/link");
    struct statvfs vfs {};
    if (::statvfs(fx.Root().constData(), &vfs) == 0) cluster = static_cast<int32_t>(vfs.f_frsize);
  }
  int64_t OnDisk(int64_t size) const {
    const int64_t r = size % cluster;
    return r ? size + cluster - r : size;
  }
};

TEST_F(ItemProp, FileFiguresDatesPermissionsAndOwner) {
  ASSERT_GT(cluster, 0);
  ASSERT_EQ(::chmod(fx.Path("drive/Data/Sub/b.bin").constData(), 0640), 0);
  fx.SetTimes("drive/Data/Sub/b.bin", 1000000000, 1100000000);
  const TItemProperties p = ReadItemProperties(QStringLiteral("T:\\Data\\Sub\\b.bin"));
  ASSERT_TRUE(p.Found);
  EXPECT_FALSE(p.IsFolder);
  EXPECT_EQ(p.Name, QStringLiteral("b.bin"));
  EXPECT_EQ(p.Location, QStringLiteral("T:\\Data\\Sub"));
  EXPECT_EQ(p.HostPath, QFile::decodeName(fx.Path("drive/Data/Sub/b.bin")));
  EXPECT_EQ(p.Size, 5000);
  EXPECT_EQ(p.SizeOnDisk, OnDisk(5000));
  EXPECT_EQ(p.Modified, (1100000000ULL + 11644473600ULL) * 10000000ULL);
  EXPECT_EQ(p.Accessed, (1000000000ULL + 11644473600ULL) * 10000000ULL);
  EXPECT_EQ(p.Permissions, QStringLiteral("rw-r----- (640)"));
  const passwd* me = ::getpwuid(::geteuid());
  ASSERT_NE(me, nullptr);
  EXPECT_TRUE(p.Owner.startsWith(QString::fromLocal8Bit(me->pw_name) + QStringLiteral(" ("))) << p.Owner.toStdString();
  EXPECT_FALSE(p.Type.isEmpty());

  const TItemPropertiesDialog dialog(p);
  EXPECT_EQ(dialog.Value(QStringLiteral("Size:")), FormatSize(5000) + QStringLiteral(" (5,000 bytes)"));
  EXPECT_EQ(dialog.Value(QStringLiteral("Modified:")), FormatFileTime(p.Modified));
  EXPECT_EQ(dialog.Value(QStringLiteral("Permissions:")), QStringLiteral("rw-r----- (640)"));
  EXPECT_TRUE(dialog.Value(QStringLiteral("Contains:")).isEmpty());  // files have no contents line
}

TEST_F(ItemProp, FolderIsAddedUpWithoutFollowingItsLinks) {
  ASSERT_GT(cluster, 0);
  const TItemProperties p = ReadItemProperties(QStringLiteral("T:\\Data\\"));
  ASSERT_TRUE(p.Found);
  EXPECT_TRUE(p.IsFolder);
  EXPECT_EQ(p.Type, QStringLiteral("Folder"));
  EXPECT_EQ(p.Name, QStringLiteral("Data"));
  EXPECT_EQ(p.Location, QStringLiteral("T:\\"));
  const TWalkTotals walk = IndependentWalk(fx.Path("drive/Data"), cluster);
  EXPECT_EQ(p.Files, walk.Files);
  EXPECT_EQ(p.Folders, walk.Folders);
  EXPECT_EQ(p.Size, walk.Bytes);
  EXPECT_EQ(p.SizeOnDisk, walk.Bytes + walk.Wasted);
  // The megabyte behind the link is not counted.
  EXPECT_LT(p.Size, 1 << 20);
  EXPECT_EQ(p.Files, 4);    // a.txt, b.bin, c.bin and the link itself
  EXPECT_EQ(p.Folders, 3);  // Sub, Deeper, Empty

  const TItemPropertiesDialog dialog(p);
  EXPECT_EQ(dialog.Value(QStringLiteral("Contains:")), QStringLiteral("4 Files, 3 Folders"));
}

TEST_F(ItemProp, FolderFiguresComeFromTheScanWhenKnown) {
  TFolderSize known;
  known.TotalSize = 123456;
  known.TotalWasted = 1000;
  known.TotalFiles = 42;
  known.TotalFolders = 7;
  const TItemProperties p = ReadItemProperties(QStringLiteral("T:\\Data"), &known);
  EXPECT_EQ(p.Size, 123456);
  EXPECT_EQ(p.SizeOnDisk, 124456);
  EXPECT_EQ(p.Files, 42);
  EXPECT_EQ(p.Folders, 7);
}

TEST_F(ItemProp, MenuPropertiesShowTheScanFiguresOfTheFolder) {
  TFolderSize known;
  known.TotalSize = 5368709120;
  known.TotalWasted = 1;
  known.TotalFiles = 1234;
  known.TotalFolders = 56;
  QString size, onDisk, contains, title;
  SetItemPropertiesRunner([&](TItemPropertiesDialog& dialog) {
    size = dialog.Value(QStringLiteral("Size:"));
    onDisk = dialog.Value(QStringLiteral("Size on disk:"));
    contains = dialog.Value(QStringLiteral("Contains:"));
    title = dialog.windowTitle();
  });
  SetShellMenuChooser([](const QList<TShellCommand>&) { return TShellCommand::Properties; });
  TMessageAnswers answers;
  EXPECT_EQ(ShowShellContextMenu(nullptr, QPoint(), QStringLiteral("T:\\Data"), &known), TShellMenuResult::Nothing);
  SetShellMenuChooser(nullptr);
  SetItemPropertiesRunner(nullptr);
  EXPECT_TRUE(answers.Asked.empty());
  EXPECT_EQ(size, QStringLiteral("5.00 GB (5,368,709,120 bytes)"));
  EXPECT_EQ(onDisk, QStringLiteral("5.00 GB (5,368,709,121 bytes)"));
  EXPECT_EQ(contains, QStringLiteral("1,234 Files, 56 Folders"));
  EXPECT_EQ(title, QStringLiteral("Data Properties"));
}

TEST_F(ItemProp, DriveRootAndMissingItem) {
  const TItemProperties root = ReadItemProperties(QStringLiteral("T:\\"));
  ASSERT_TRUE(root.Found);
  EXPECT_TRUE(root.IsDriveRoot);
  EXPECT_TRUE(root.IsFolder);
  EXPECT_TRUE(root.Name.endsWith(QStringLiteral(" (T:)"))) << root.Name.toStdString();
  EXPECT_EQ(root.Location, QStringLiteral("T:\\"));
  EXPECT_EQ(root.Folders, 4);  // Data, Sub, Deeper, Empty; nothing outside the drive

  EXPECT_FALSE(ReadItemProperties(QStringLiteral("T:\\Missing")).Found);
  EXPECT_FALSE(ReadItemProperties(QStringLiteral("Q:\\")).Found);
  TMessageAnswers answers;
  EXPECT_FALSE(ShowItemProperties(QStringLiteral("T:\\Missing")));
  EXPECT_EQ(answers.Errors(), 1);
}

}  // namespace
