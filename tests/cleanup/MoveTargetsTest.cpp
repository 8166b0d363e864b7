#include "cleanup/MoveTargets.h"

#include <gtest/gtest.h>

namespace {

TEST(MoveTargets, GainListHasTheDrivesWithSmallerClustersOnlyInLetterOrder) {
  TFolderWaste waste;
  waste.shown = 100000;
  waste.at = {0, 1000, 5000, 12000, 30000, 50000, 70000, 100000};
  const std::vector<TDriveCandidate> drives = {
      {'H', TDriveType::Fixed, 2048, QStringLiteral("home (H:)")},
      {'C', TDriveType::Fixed, 65536, QStringLiteral("system (C:)")},  // the source drive
      {'D', TDriveType::Fixed, 1024, QStringLiteral("odd (D:)")},      // no standard size
      {'E', TDriveType::Removable, 512, QStringLiteral("stick (E:)")},
      {'F', TDriveType::CdRom, 2048, QStringLiteral("disc (F:)")},
      {'G', TDriveType::RamDisk, 4096, QStringLiteral("tmpfs (G:)")},
      {'I', TDriveType::Remote, 4096, QStringLiteral("share (I:)")},
      {'J', TDriveType::Fixed, -1, QStringLiteral("unreadable (J:)")},
      {'K', TDriveType::Fixed, 65536, QStringLiteral("same size (K:)")},
  };
  const std::vector<TGainRow> rows = GainRows(65536, waste, drives);
  struct Want {
    char letter;
    int32_t cluster;
    int64_t gain;
  };
  const Want want[] = {{'d', 1024, 100000}, {'h', 2048, 95000}, {'i', 4096, 88000}};
  ASSERT_EQ(rows.size(), std::size(want));
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].letter, want[i].letter);
    EXPECT_EQ(rows[i].clusterSize, want[i].cluster);
    EXPECT_EQ(rows[i].gain, want[i].gain);
  }
  EXPECT_TRUE(GainRows(512, waste, drives).empty()) << "nothing is smaller than the smallest";
}

TEST(MoveTargets, ProposedTargetAndWhenOkMayMove) {
  EXPECT_EQ(ProposedTarget(QStringLiteral("D:\\"), QStringLiteral("C:\\Data\\Photos")), QStringLiteral("D:\\Photos"));
  EXPECT_EQ(ProposedTarget(QStringLiteral("D:\\Archive"), QStringLiteral("C:\\Data\\Photos")),
            QStringLiteral("D:\\Archive\\Photos"));
  EXPECT_EQ(ProposedTarget(QStringLiteral("D:\\Archive\\"), QStringLiteral("C:\\Data\\Photos\\")),
            QStringLiteral("D:\\Archive\\Photos"));
  struct Case {
    const char* target;
    bool ok;
  };
  for (const Case c : {Case{"C:\\Data\\Photos", false}, Case{"c:\\Data\\Photos", true}, Case{"", false},
                       Case{"   ", false}, Case{"D:\\Photos", true}}) {
    EXPECT_EQ(TargetAcceptable(QString::fromLatin1(c.target), QStringLiteral("C:\\Data\\Photos")), c.ok) << c.target;
  }
}

TEST(MoveTargets, StartsBesideTheParentOnTheSourceDrive) {
  struct Case {
    const char *source, *start, *proposed;
  };
  for (const Case c : {Case{"C:\\data\\Scratch\\MoveMe", "C:\\data", "C:\\data\\MoveMe"},
                       Case{"C:\\a\\b\\c\\d\\", "C:\\a\\b", "C:\\a\\b\\d"},
                       Case{"H:\\Projects\\Old", "H:\\", "H:\\Old"},
                       Case{"H:\\Old", "H:\\", "H:\\Old"}}) {
    const QString source = QString::fromLatin1(c.source);
    const QString start = StartFolderFor(source);
    EXPECT_EQ(start, QString::fromLatin1(c.start)) << c.source;
    EXPECT_EQ(ProposedTarget(start, source), QString::fromLatin1(c.proposed)) << c.source;
  }
  EXPECT_NE(GainListText(false), GainListText(true));
  EXPECT_TRUE(GainListText(false).startsWith(QStringLiteral("No other drive")));
}

}  // namespace
