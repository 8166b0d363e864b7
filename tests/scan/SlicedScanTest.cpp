// Scans run in slices on the event loop (as the window runs them) and the queue of scan commands.

#include "scan/FolderSize.h"
#include "scan/PathFunctions.h"
#include "scan/ScanHost.h"
#include "scan/ScanQueue.h"
#include "scan/ScanSession.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"
#include "tests/support/Fixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class TActingHost : public IScanHost {
public:
  void SetStatusText(const QString& text) override { status = text; }
  void SetBusy(bool busy) override { busyChanges.push_back(busy); }
  void FolderCompleted(TTreeNode*) override {}
  void FolderStarting() override {
    if (onFolder) onFolder(status);
  }
  QString status;
  std::vector<bool> busyChanges;
  std::function<void(const QString&)> onFolder;
};

QString DriveTextOf(char letter) {
  return QLatin1Char(letter) + DriveDisplayName(QLatin1Char(letter) + QStringLiteral(":\\"));
}

// Runs the event loop until the session's scans and the queue's continuations have ended.
// Returns the number of turns of the loop that came between slices.
int RunUntilIdle(TScanSession& session, TScanQueue* queue = nullptr) {
  int turns = 0;
  QDeadlineTimer deadline(30000);
  while ((session.Scanning() || (queue && !queue->Idle())) && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    ++turns;
  }
  QCoreApplication::processEvents();
  return turns;
}

// Every folder's figures in one tree equal those of the other's.
void ExpectSameFigures(const TTreeNode* a, const TTreeNode* b, const std::string& where = "\\") {
  ASSERT_EQ(a->Count(), b->Count()) << where;
  ASSERT_EQ(a->Data() != nullptr, b->Data() != nullptr) << where;
  if (a->Data()) {
    EXPECT_EQ(a->Data()->TotalSize, b->Data()->TotalSize) << where;
    EXPECT_EQ(a->Data()->TotalFiles, b->Data()->TotalFiles) << where;
    EXPECT_EQ(a->Data()->TotalFolders, b->Data()->TotalFolders) << where;
    EXPECT_EQ(a->Data()->TotalWasted, b->Data()->TotalWasted) << where;
    EXPECT_EQ(a->Data()->TotalOnDisk, b->Data()->TotalOnDisk) << where;
  }
  for (int i = 0; i < a->Count(); ++i) {
    ASSERT_EQ(a->Child(i)->Text(), b->Child(i)->Text()) << where;
    ExpectSameFigures(a->Child(i), b->Child(i), where + a->Child(i)->Text().toStdString() + "\\");
  }
}

class SlicedScanTest : public ::testing::Test {
protected:
  SlicedScanTest() {
    for (int i = 0; i < 40; ++i) {
      const std::string d = "d" + std::to_string(i);
      fx.File(QByteArray::fromStdString(d + "/f"), 100 + i);
      fx.File(QByteArray::fromStdString(d + "/sub/g"), 5000 + i);
      fx.File(QByteArray::fromStdString(d + "/sub/deeper/h"), 7 * i);
    }
    fx.File("top", 3);
    QObject::connect(&session, &TScanSession::ScanFinished,
                     [this](bool aborted) { events.push_back(aborted ? "aborted" : "finished"); });
    QObject::connect(&session, &TScanSession::ScanFailed,
                     [this](const QString& m) { events.push_back("failed: " + m.toStdString()); });
  }

  TFixtureTree fx;
  // The same folder as two drives: one scanned at once, the other in slices.
  TDriveScope drives{{{'T', fx.Root()}, {'U', fx.Root()}}};
  TActingHost host;
  TScanSession session{host};
  std::vector<std::string> events;
};

TEST_F(SlicedScanTest, ASlicedScanGivesTheFiguresOfAWholeOneAndLetsTheLoopRunBetweenSlices) {
  ASSERT_TRUE(session.ScanDrive(DriveTextOf('T')));
  session.SetSliceMs(0);  // one folder's step per slice
  int timerFires = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++timerFires; });
  ticker.start(0);
  ASSERT_TRUE(session.StartScanDrive(DriveTextOf('U')));
  EXPECT_TRUE(session.Scanning()) << "the call returns while the scan is under way";
  EXPECT_FALSE(session.ScanDrive(DriveTextOf('V'))) << "one scan at a time";
  RunUntilIdle(session);
  ticker.stop();
  EXPECT_FALSE(session.Scanning());
  EXPECT_EQ(events, (std::vector<std::string>{"finished", "finished"}));
  EXPECT_GT(timerFires, 40) << "other events ran between the slices";
  ExpectSameFigures(session.Drive('T')->Node, session.Drive('U')->Node);
  EXPECT_EQ(host.busyChanges, (std::vector<bool>{true, false, true, false}));

  // A sliced rescan of a folder after a change settles the ancestors as a whole one would.
  fx.File("d3/sub/new", 12345);
  TTreeNode* t = session.FindFolder(QStringLiteral("T:\\d3\\sub"));
  TTreeNode* u = session.FindFolder(QStringLiteral("U:\\d3\\sub"));
  ASSERT_TRUE(session.RescanFolder(t));
  ASSERT_TRUE(session.StartRescanFolder(u));
  RunUntilIdle(session);
  ExpectSameFigures(session.Drive('T')->Node, session.Drive('U')->Node);
  EXPECT_EQ(session.Drive('U')->Node->Data()->TotalFiles, 122);
}

TEST_F(SlicedScanTest, StopAndErrorsEndASlicedScanAsTheyEndAWholeOne) {
  session.SetSliceMs(0);
  // Stopped in a folder: the folders completed before keep their figures, the drive has none.
  host.onFolder = [&](const QString& path) {
    if (path.endsWith(QStringLiteral("\\d20\\"))) session.Abort();
  };
  ASSERT_TRUE(session.StartScanDrive(DriveTextOf('U')));
  RunUntilIdle(session);
  EXPECT_EQ(events, (std::vector<std::string>{"aborted"}));
  EXPECT_EQ(session.Drive('U')->Node->Data(), nullptr);
  int completed = 0;
  for (int i = 0; i < 40; ++i) {
    const TTreeNode* sub = session.FindFolder(QStringLiteral("U:\\d%1\\sub").arg(i));
    if (!sub || !sub->Data()) continue;
    ++completed;
    EXPECT_EQ(sub->Data()->TotalSize, 5000 + i + 7 * i) << i;
  }
  EXPECT_GT(completed, 0) << "folders completed before the stop keep their figures";

  // An error in the walk ends the scan with word of it; the open folders keep partial figures.
  events.clear();
  host.busyChanges.clear();
  host.onFolder = [](const QString& path) {
    if (path.endsWith(QStringLiteral("\\d5\\sub\\"))) throw std::runtime_error("out of memory");
  };
  ASSERT_TRUE(session.RemoveDriveNode('U'));
  ASSERT_TRUE(session.StartScanDrive(DriveTextOf('U')));
  RunUntilIdle(session);
  EXPECT_EQ(events, (std::vector<std::string>{"failed: out of memory", "aborted"}));
  EXPECT_FALSE(session.Scanning());
  EXPECT_FALSE(host.busyChanges.empty());
  EXPECT_FALSE(host.busyChanges.back()) << "busy is switched off however the scan ends";
  ASSERT_NE(session.Drive('U')->Node->Data(), nullptr) << "partial figures on the folders the error passed";
}

TEST_F(SlicedScanTest, TheQueueRunsContinuationsAfterTheirScansInCallOrderAndStopsAtAnAbort) {
  TScanQueue queue(session);
  std::vector<std::string> order;
  QObject::connect(&session, &TScanSession::ScanStarted, [&] { order.push_back("scan"); });
  // A command that scans two drives, each followed by its own continuation, then a last step.
  const bool ran = queue.Run([&] {
    queue.Sequence(
        2,
        [&](int i) {
          const char letter = i == 0 ? 'T' : 'U';
          order.push_back(std::string("start ") + letter);
          ASSERT_TRUE(session.StartScanDrive(DriveTextOf(letter)));
          queue.Then([&, letter] {
            EXPECT_FALSE(session.Scanning());
            order.push_back(std::string("after ") + letter);
          });
        },
        [&] { return !session.Aborted(); }, [&] { order.push_back("done"); });
    queue.Then([&] { order.push_back("last"); });
  });
  ASSERT_TRUE(ran);
  EXPECT_FALSE(queue.Idle());
  EXPECT_FALSE(queue.Run([&] { order.push_back("refused"); })) << "one command at a time";
  RunUntilIdle(session, &queue);
  EXPECT_TRUE(queue.Idle());
  EXPECT_EQ(order, (std::vector<std::string>{"start T", "scan", "after T", "start U", "scan", "after U", "done",
                                             "last"}));

  // A stop during the first of two scans ends the sequence after it: its continuation and done
  // still run, the second scan never starts.
  order.clear();
  ASSERT_TRUE(session.RemoveDriveNode('T'));
  ASSERT_TRUE(session.RemoveDriveNode('U'));
  host.onFolder = [&](const QString& path) {
    if (path.endsWith(QStringLiteral("\\d2\\"))) session.Abort();
  };
  ASSERT_TRUE(queue.Run([&] {
    queue.Sequence(
        2,
        [&](int i) {
          const char letter = i == 0 ? 'T' : 'U';
          ASSERT_TRUE(session.StartScanDrive(DriveTextOf(letter)));
          queue.Then([&, letter] { order.push_back(std::string("after ") + letter); });
        },
        [&] { return !session.Aborted(); }, [&] { order.push_back("done"); });
  }));
  RunUntilIdle(session, &queue);
  EXPECT_EQ(order, (std::vector<std::string>{"scan", "after T", "done"}));
  EXPECT_EQ(session.Drive('U')->Node, nullptr);

  // An error thrown by a step goes to the handler, and the queue goes on.
  QString error;
  queue.SetErrorHandler([&](const QString& m) { error = m; });
  EXPECT_TRUE(queue.Run([] { throw std::runtime_error("no such folder"); }));
  EXPECT_EQ(error, QStringLiteral("no such folder"));
  EXPECT_TRUE(queue.Idle());
}

}  // namespace
