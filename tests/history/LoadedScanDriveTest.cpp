// An ncdu export loaded into a scan session as a drive: browsable and comparable, and every
// rescan and change of it refused, also when the folder it names exists on this machine.

#include "history/NcduDrive.h"
#include "history/NcduReader.h"
#include "platform/DriveTable.h"
#include "scan/FolderSize.h"
#include "scan/LoadedScan.h"
#include "scan/PathFunctions.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// An export naming rootPath: 1000 bytes at the top, "Sub" with 300 bytes, "sub" (another folder
// where case counts) with 5 bytes.
std::string ExportOf(const QByteArray& rootPath) {
  return "[1,2,{\"progname\":\"ncdu\",\"progver\":\"2.3\",\"timestamp\":1700000000},\n"
         "[{\"name\":\"" + rootPath.toStdString() + "\",\"asize\":4096,\"dsize\":4096},\n"
         " {\"name\":\"top.txt\",\"asize\":1000,\"dsize\":4096},\n"
         " [{\"name\":\"Sub\"},{\"name\":\"f\",\"asize\":300,\"dsize\":4096}],\n"
         " [{\"name\":\"sub\"},{\"name\":\"g\",\"asize\":5,\"dsize\":4096}]]]\n";
}

TEST(LoadedScanDriveTest, LoadsAsADriveWithoutHostAndRefusesEveryChange) {
  // The export names a real folder that is also a scanned drive: nothing of the loaded drive may
  // reach it.
  TFixtureTree fx;
  fx.File("Sub/f", 300);
  fx.File("keep", 7);
  TDriveScope drives({{'T', fx.Root()}});
  THeadlessHost host;
  TScanSession session(host);
  ASSERT_TRUE(session.ScanDrive(QStringLiteral("Tfixture")));

  const TNcduScan scan = ReadNcduExport(ExportOf(fx.Root()));
  ASSERT_TRUE(scan.Complete) << scan.Error.toStdString();
  int treeChanges = 0;
  QObject::connect(&session, &TScanSession::TreeChanged, [&] { ++treeChanges; });
  TDriveRecInfo* a = AddNcduDrive(session, scan, QStringLiteral("/tmp/exports/server.json"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(treeChanges, 1);
  EXPECT_EQ(a->Letter, 'A');
  EXPECT_EQ(session.ScannedDrives(), QStringLiteral("TA"));
  ASSERT_NE(a->Loaded, nullptr);
  EXPECT_EQ(a->Loaded->HostRoot, QString::fromLocal8Bit(fx.Root()));
  EXPECT_EQ(a->Loaded->Program, QStringLiteral("ncdu 2.3"));
  EXPECT_EQ(a->Loaded->Time.toSecsSinceEpoch(), 1700000000);
  // The tree says what it is: the file, the folder it names and when.
  EXPECT_EQ(a->Node->Text(), QStringLiteral("Scan file server.json (%1, 2023-11-14 22:13 UTC)").arg(a->Loaded->HostRoot));
  EXPECT_EQ(NodePath(a->Node), QStringLiteral("A:\\"));
  ASSERT_NE(a->Node->Data(), nullptr);
  EXPECT_EQ(a->Node->Data()->TotalSize, 1305);

  // Names are matched as on the machine the export comes from: case counts.
  TTreeNode* upper = session.FindFolder(QStringLiteral("A:\\Sub"));
  TTreeNode* lower = session.FindFolder(QStringLiteral("A:\\sub"));
  ASSERT_TRUE(upper && lower);
  EXPECT_NE(upper, lower);
  EXPECT_EQ(upper->Data()->TotalSize, 300);

  // Which drive is loaded, asked by letter, node and path.
  EXPECT_EQ(session.LoadedScan(QLatin1Char('a')), a->Loaded.get());
  EXPECT_EQ(session.LoadedScanOf(upper), a->Loaded.get());
  EXPECT_EQ(session.LoadedScanAt(QStringLiteral("A:\\Sub")), a->Loaded.get());
  TTreeNode* liveSub = session.FindFolder(QStringLiteral("T:\\Sub"));
  ASSERT_NE(liveSub, nullptr);
  EXPECT_EQ(session.LoadedScanOf(liveSub), nullptr);
  EXPECT_EQ(session.LoadedScanAt(QStringLiteral("T:\\Sub")), nullptr);
  EXPECT_EQ(session.LoadedScan(QChar()), nullptr);
  // No path of the drive leads to a host folder.
  EXPECT_FALSE(DriveToHost(QStringLiteral("A:\\Sub")));
  EXPECT_TRUE(ParseDriveMappings("A=/tmp;B=/tmp").empty());

  // Every rescan and change is refused and leaves the tree as it was.
  treeChanges = 0;
  EXPECT_FALSE(session.RescanDrive(QLatin1Char('A')));
  EXPECT_FALSE(session.RescanFolder(upper));
  EXPECT_FALSE(session.StartRescanFolder(upper));
  EXPECT_FALSE(session.RemoveFolder(upper, 300));
  const TScanSession::TCountedFile counted = session.CountedFile(upper, QStringLiteral("A:\\Sub\\f"), 300);
  EXPECT_EQ(counted.OnDisk, 0);
  EXPECT_FALSE(session.RemoveFile(upper, QLatin1Char('A'), counted));
  EXPECT_FALSE(session.ScanDrive(QStringLiteral("Aagain")));
  EXPECT_FALSE(session.StartScanDrive(QStringLiteral("Aagain")));
  EXPECT_EQ(treeChanges, 0);
  EXPECT_EQ(session.FindFolder(QStringLiteral("A:\\Sub")), upper);
  EXPECT_EQ(a->Node->Data()->TotalSize, 1305);
  EXPECT_EQ(session.Tree().TopCount(), 2);
  // The live drive is still its own: a rescan of it works.
  EXPECT_TRUE(session.RescanFolder(session.FindFolder(QStringLiteral("T:\\Sub"))));

  // A second file takes B:, a third finds no letter.
  TDriveRecInfo* b = AddNcduDrive(session, scan, QStringLiteral("again.json"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Letter, 'B');
  EXPECT_TRUE(session.FreeLoadedLetter().isNull());
  EXPECT_EQ(AddNcduDrive(session, scan, QStringLiteral("third.json")), nullptr);
  // An empty export (nothing read) adds nothing.
  EXPECT_EQ(AddNcduDrive(session, TNcduScan{}, QStringLiteral("empty.json")), nullptr);

  // Taking its node out forgets it (only the file brings it back), and frees its letter.
  EXPECT_TRUE(session.RemoveDriveNode(QLatin1Char('A')));
  EXPECT_EQ(session.Drive(QLatin1Char('A')), nullptr);
  EXPECT_EQ(session.FreeLoadedLetter(), QLatin1Char('A'));
  EXPECT_EQ(session.ScannedDrives(), QStringLiteral("TB"));
  EXPECT_TRUE(session.RemoveDrive(QLatin1Char('B')));

  // The fixture the export named is as it was.
  EXPECT_EQ(IndependentWalk(fx.Root(), 4096).Bytes, 307);
}

TEST(LoadedScanDriveTest, ADamagedExportLoadsWhatCameBeforeAndSaysSo) {
  THeadlessHost host;
  TScanSession session(host);
  std::string text = ExportOf("/srv/x");
  text.resize(text.find("[{\"name\":\"sub\""));  // cut short inside the root
  const TNcduScan scan = ReadNcduExport(text);
  ASSERT_FALSE(scan.Complete);
  TDriveRecInfo* a = AddNcduDrive(session, scan, QStringLiteral("cut.json"));
  ASSERT_NE(a, nullptr);
  EXPECT_FALSE(a->Loaded->Complete);
  EXPECT_TRUE(a->Node->Text().startsWith(QStringLiteral("Scan file cut.json [incomplete] (/srv/x, 2023-11-14 22:13 UTC)")))
      << a->Node->Text().toStdString();
  ASSERT_NE(session.FindFolder(QStringLiteral("A:\\Sub")), nullptr);
  EXPECT_EQ(session.FindFolder(QStringLiteral("A:\\sub")), nullptr);
  EXPECT_EQ(a->Node->Data()->TotalSize, 1300);
  // A refusal names the command, the drive and the file.
  const QString refusal = LoadedScanRefusal(QLatin1Char('A'), *a->Loaded, QStringLiteral("Deleting"));
  EXPECT_TRUE(refusal.startsWith(QStringLiteral("Deleting is not possible here: drive A: is the scan file cut.json (/srv/x, ")))
      << refusal.toStdString();
}

}  // namespace
