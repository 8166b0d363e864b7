// The Move Folder dialog and the operations' progress window on fixture drives.
#include "cleanup/ui/MoveFolderBox.h"
#include "cleanup/ui/OperationProgressBox.h"

#include "tests/cleanup/CleanupFixture.h"
#include "tests/shell/MessageAnswers.h"
#include "tests/support/Fixture.h"
#include "ui/controls/DriveComboBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

TFolderWaste Waste() {
  TFolderWaste waste;
  waste.shown = 80000;
  waste.at = {0, 1000, 5000, 12000, 30000, 50000, 70000, 80000};
  return waste;
}

TEST(MoveFolderBox, RowsDrivesFoldersAndTheTargetRules) {
  TTmpfsMount tmpfs;
  TFixtureTree fx;
  fx.Dir("c/Data/Photos");
  fx.Dir("d/Archive");
  fx.Dir("d/Other");
  std::vector<TDriveMapping> drives = {{'C', fx.Path("c")}, {'D', fx.Path("d")}};
  if (tmpfs.Ok()) drives.push_back({'R', tmpfs.Path()});
  TDriveScope scope(drives);
  const auto before = Snapshot(fx.Root());

  TCleanUpMoveFolderBox box;
  for (int i = 0; i < box.cbDrives->count(); ++i)
    EXPECT_NE(box.cbDrives->itemText(i).at(0), QLatin1Char('R')) << "a RAM disk is offered";
  const std::vector<TDriveCandidate> candidates = {{'C', TDriveType::Fixed, 65536, QStringLiteral("c (C:)")},
                                                   {'D', TDriveType::Fixed, 4096, QStringLiteral("d (D:)")},
                                                   {'R', TDriveType::RamDisk, 4096, QStringLiteral("r (R:)")}};
  box.Prepare(QStringLiteral("C:\\Data\\Photos"), Waste(), 65536, candidates);
  EXPECT_EQ(box.ediFolderSource->text(), QStringLiteral("C:\\Data\\Photos"));
  ASSERT_EQ(box.lvWasting->topLevelItemCount(), 1);
  EXPECT_EQ(box.lvWasting->topLevelItem(0)->text(0), QStringLiteral("d (D:)"));
  // The first proposal is on the folder's own drive, beside its parent.
  EXPECT_EQ(box.cbDrives->Drive(), QLatin1Char('C'));
  EXPECT_EQ(box.ListedFolder(), QStringLiteral("C:\\"));
  EXPECT_EQ(box.Target(), QStringLiteral("C:\\Photos"));

  // Picking the row switches the drive box and the folder list, and proposes root + own name.
  box.lvWasting->topLevelItem(0)->setSelected(true);
  EXPECT_EQ(box.cbDrives->Drive(), QLatin1Char('D'));
  EXPECT_EQ(box.ListedFolder(), QStringLiteral("D:\\"));
  EXPECT_EQ(box.Target(), QStringLiteral("D:\\Photos"));
  EXPECT_TRUE(box.cmdOK->isEnabled());
  QStringList listed;
  for (int i = 0; i < box.lbFolders->count(); ++i) listed << box.lbFolders->item(i)->text().trimmed();
  EXPECT_EQ(listed, (QStringList{QStringLiteral("D:\\"), QStringLiteral("Archive"), QStringLiteral("Other")}));

  // Entering a folder of the list proposes it.
  box.lbFolders->setCurrentRow(1);
  emit box.lbFolders->itemActivated(box.lbFolders->item(1));
  EXPECT_EQ(box.Target(), QStringLiteral("D:\\Archive\\Photos"));

  struct Case {
    const char* text;
    bool ok;
  };
  for (const Case c : {Case{"C:\\Data\\Photos", false}, Case{"C:\\data\\Photos", true}, Case{"", false},
                       Case{"D:\\x", true}}) {
    box.ediFolderTarget->setText(QString::fromLatin1(c.text));
    EXPECT_EQ(box.cmdOK->isEnabled(), c.ok) << c.text;
  }
  box.ediFolderTarget->clear();
  box.cmdOK->click();
  EXPECT_EQ(box.result(), QDialog::Rejected) << "OK with an empty target closed the dialog";
  box.cmdCancel->click();
  EXPECT_EQ(Snapshot(fx.Root()), before) << "the dialog touched the disk";
}

TEST(MoveFolderBox, NoSmallerClusterSaysSoAndProposesBesideTheParent) {
  TFixtureTree fx;
  fx.Dir("c/data/Scratch/MoveMe");
  fx.Dir("c/data/Target");
  TDriveScope scope({{'C', fx.Path("c")}});
  TCleanUpMoveFolderBox box;
  box.Prepare(QStringLiteral("C:\\data\\Scratch\\MoveMe"), Waste(), 4096,
              {{'C', TDriveType::Fixed, 4096, QStringLiteral("c (C:)")}});
  EXPECT_EQ(box.lvWasting->topLevelItemCount(), 0);
  auto* text = box.findChild<QLabel*>(QStringLiteral("lblDrives"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text(), GainListText(false));
  EXPECT_EQ(box.ListedFolder(), QStringLiteral("C:\\data"));
  EXPECT_EQ(box.Target(), QStringLiteral("C:\\data\\MoveMe"));
  EXPECT_TRUE(box.cmdOK->isEnabled());
}

TEST(MoveFolderBox, AnUnreadableDriveKeepsThePreviousOneWithAMessage) {
  TFixtureTree fx;
  fx.Dir("c/Data");
  TDriveScope scope({{'C', fx.Path("c")}, {'M', fx.Path("missing")}});
  TCleanUpMoveFolderBox box;
  box.Prepare(QStringLiteral("C:\\Data"), Waste(), 4096, {});
  box.cbDrives->SetDrive(QLatin1Char('C'));
  EXPECT_EQ(box.ListedFolder(), QStringLiteral("C:\\"));
  TMessageAnswers answers;
  box.cbDrives->SetDrive(QLatin1Char('M'));
  ASSERT_EQ(answers.Errors(), 1);
  EXPECT_TRUE(answers.Asked[0].Text.startsWith(QStringLiteral("M: is not accessible.")));
  EXPECT_EQ(box.cbDrives->Drive(), QLatin1Char('C'));
  EXPECT_EQ(box.ListedFolder(), QStringLiteral("C:\\"));
}

TEST(OperationProgressBox, ShowsEntriesBytesAndPercentAndCancelStopsTheOperation) {
  TOpProgress p;
  p.entriesDone = 3;
  p.entriesTotal = 12;
  p.bytesDone = 512;
  p.bytesTotal = 2048;
  EXPECT_EQ(TOperationProgressBox::Percent(p), 25);
  EXPECT_TRUE(TOperationProgressBox::CountsText(p).startsWith(QStringLiteral("3 of 12 entries")));
  EXPECT_TRUE(TOperationProgressBox::CountsText(p).endsWith(QStringLiteral("(25%)")));
  p.bytesTotal = 0;
  EXPECT_EQ(TOperationProgressBox::Percent(p), 25) << "without bytes the entries give the percentage";

  TOperationProgressBox box(QStringLiteral("Korvane"), QStringLiteral("Deleting"));
  box.SetShowDelay(0);
  int steps = 0;
  const TOpResult result = box.Run([&](TOpContext& context) {
    TOpResult r;
    for (; steps < 1000 && !context.Cancelled(); ++steps) {
      TOpProgress progress;
      progress.entriesDone = steps;
      progress.entriesTotal = 1000;
      context.Progress(progress);
      if (steps == 5) QMetaObject::invokeMethod(&box, [&box] { box.reject(); }, Qt::QueuedConnection);
      QThread::msleep(5);
    }
    r.status = FinalStatus(context.Cancelled(), steps > 0, false);
    return r;
  });
  EXPECT_EQ(result.status, TOpStatus::Cancelled);
  EXPECT_LT(steps, 1000);
  EXPECT_FALSE(box.isVisible());
}

}  // namespace
