#include "reports/FolderInfoRows.h"
#include "scan/Format.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

namespace {

class FolderInfoRowsTest : public ::testing::Test {
protected:
  FolderInfoRowsTest() {
    fx.File("Plain/inner/f", 5000);
    fx.File("Secret/deeper/.hidden", 7);
    fx.File("One/byte", 1);
    fx.Dir("Empty");
    session.ScanDrive(QStringLiteral("T") + DriveDisplayName(QStringLiteral("T:\\")));
  }

  TFolderInfo InfoOf(const QString& path, int32_t clusterIndex = 0) {
    const TTreeNode* node = session.FindFolder(path);
    EXPECT_NE(node, nullptr) << path.toStdString();
    return node ? BuildFolderInfo(*node, path, clusterIndex) : TFolderInfo();
  }

  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Root()}}};
  THeadlessHost host;
  TScanSession session{host};
};

TEST_F(FolderInfoRowsTest, ADriveRootAndAFolder) {
  const TFolderInfo root = InfoOf(QStringLiteral("T:\\"));
  EXPECT_TRUE(root.Root);
  EXPECT_EQ(root.TypeText, QStringLiteral("Root Folder of Drive"));
  EXPECT_EQ(root.PathText, DriveDisplayName(QStringLiteral("T:\\")));
  EXPECT_TRUE(root.Values[fiLongName].endsWith(QStringLiteral(" (T:)")));
  EXPECT_TRUE(root.Values[fiShortName].isEmpty()) << "a drive root has no entry of its own";
  EXPECT_TRUE(root.Values[fiAttributes].isEmpty());
  EXPECT_EQ(root.Values[fiCreation], QStringLiteral("(unknown)"));
  EXPECT_NE(root.Values[fiLastChange], QStringLiteral("(unknown)")) << "the record's times are known";
  EXPECT_EQ(root.Values[fiHidden], QStringLiteral("The folder contains Hidden files"));

  const TFolderInfo plain = InfoOf(QStringLiteral("T:\\Plain"));
  EXPECT_FALSE(plain.Root);
  EXPECT_EQ(plain.TypeText, QStringLiteral("File Folder"));
  EXPECT_EQ(plain.PathText, QStringLiteral("T:\\Plain"));
  EXPECT_EQ(plain.Values[fiLongName], QStringLiteral("Plain"));
  EXPECT_EQ(plain.Values[fiShortName], QStringLiteral("PLAIN")) << "no short name: the long one in capitals";
  EXPECT_TRUE(plain.Values[fiAttributes].contains(QStringLiteral("Directory")));
  EXPECT_NE(plain.Values[fiCreation], QStringLiteral("(unknown)"));
  EXPECT_EQ(plain.Values[fiReadOnly], QStringLiteral("No Read-Only files"));
  EXPECT_EQ(plain.Values[fiHidden], QStringLiteral("No Hidden files"));
  EXPECT_EQ(plain.Values[fiSystem], QStringLiteral("No System files"));
  EXPECT_EQ(plain.Values[fiCompressed], QStringLiteral("No Compressed files"));
  EXPECT_TRUE(plain.Values[fiBlank].isEmpty());
  EXPECT_EQ(QLatin1String(FolderInfoRowLabels[fiShortName]), QStringLiteral("MS-DOS name"));
  EXPECT_EQ(plain.Folder[ffObjects].Text, QStringLiteral("1"));
  EXPECT_EQ(plain.Folder[ffObjects].Hint, QStringLiteral("0 file(s) and 1 subfolder(s)"));
  EXPECT_EQ(plain.Tree[ffObjects].Text, QStringLiteral("2"));
  EXPECT_EQ(plain.Tree[ffObjects].Hint, QStringLiteral("1 file(s) and 1 subfolder(s)"));

  // One hidden file two levels down is enough.
  EXPECT_EQ(InfoOf(QStringLiteral("T:\\Secret")).Values[fiHidden], QStringLiteral("The folder contains Hidden files"));
}

TEST_F(FolderInfoRowsTest, FiguresAndTheirExactHints) {
  struct TCase {
    QString path;
    QString size;
    QString hint;
  };
  for (const TCase& c : {TCase{QStringLiteral("T:\\One"), QStringLiteral("1 bytes"), QStringLiteral("1 byte")},
                         TCase{QStringLiteral("T:\\Empty"), QStringLiteral("0 bytes"), QStringLiteral("0 bytes")}}) {
    SCOPED_TRACE(c.path.toStdString());
    const TFolderInfo info = InfoOf(c.path);
    EXPECT_EQ(info.Tree[ffSize].Text, c.size);
    EXPECT_EQ(info.Tree[ffSize].Hint, c.hint);
    EXPECT_EQ(info.Folder[ffSize].Hint, c.hint);
  }
  // The chosen cluster size changes the allocated and wasted figures only.
  const TFolderInfo own = InfoOf(QStringLiteral("T:\\One"), 0);
  const TFolderInfo at64 = InfoOf(QStringLiteral("T:\\One"), 7);
  EXPECT_EQ(at64.Tree[ffWasted].Hint, FormatBytes(65535));
  EXPECT_EQ(at64.Folder[ffWasted].Hint, FormatBytes(65535));
  EXPECT_EQ(at64.Tree[ffAllocated].Hint, FormatBytes(65536));
  EXPECT_EQ(at64.Tree[ffSize].Text, own.Tree[ffSize].Text);
  EXPECT_EQ(at64.Tree[ffObjects].Text, own.Tree[ffObjects].Text);
  EXPECT_EQ(at64.Values, own.Values);
}

}  // namespace
