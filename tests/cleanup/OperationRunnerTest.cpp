// Free-space operations run on a thread of their own: what they report and ask reaches the
// owner's thread, Cancel stops them, a failure is kept, and the runner never hangs when it goes.

#include "cleanup/OperationRunner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace {

void PumpUntil(const std::function<bool()>& done) {
  QDeadlineTimer deadline(20000);
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(OperationRunner, ReportsAsksAndEndsOnTheOwnersThread) {
  TOperationRunner runner;
  QThread* owner = QThread::currentThread();
  std::atomic<QThread*> workThread{nullptr};
  QThread* askedOn = nullptr;
  runner.SetAsk([&](const TOpQuestion& q) {
    askedOn = QThread::currentThread();
    return q.path == QStringLiteral("keep") ? TOpAnswer::No : TOpAnswer::Yes;
  });
  std::vector<int64_t> seen;
  QObject::connect(&runner, &TOperationRunner::Progress, [&](const TOpProgress& p) {
    EXPECT_EQ(QThread::currentThread(), owner);
    seen.push_back(p.entriesDone);
  });
  int finished = 0;
  bool failedFlag = true;
  QObject::connect(&runner, &TOperationRunner::Finished, [&](bool failed) {
    ++finished;
    failedFlag = failed;
  });
  TOpAnswer first = TOpAnswer::Cancel, second = TOpAnswer::Cancel;
  ASSERT_TRUE(runner.Start([&](TOpContext& context) {
    workThread = QThread::currentThread();
    for (int i = 1; i <= 200; ++i) {
      TOpProgress p;
      p.entriesDone = i;
      p.entriesTotal = 200;
      context.Progress(p);
      QThread::usleep(200);
    }
    TOpQuestion q;
    q.path = QStringLiteral("keep");
    first = context.Ask(q);
    q.path = QStringLiteral("replace");
    second = context.Ask(q);
  }));
  EXPECT_TRUE(runner.Running());
  EXPECT_FALSE(runner.Start([](TOpContext&) {})) << "one operation at a time";
  PumpUntil([&] { return finished > 0; });
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(failedFlag);
  EXPECT_FALSE(runner.Running());
  EXPECT_NE(workThread.load(), owner) << "the work ran off the owner's thread";
  EXPECT_EQ(askedOn, owner) << "questions are answered on the owner's thread";
  EXPECT_EQ(first, TOpAnswer::No);
  EXPECT_EQ(second, TOpAnswer::Yes);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 200) << "the last report always arrives";
  EXPECT_LT(seen.size(), 200u) << "reports are thinned out, not one per entry";
}

TEST(OperationRunner, CancelFailureAndGoingWhileTheWorkWaitsForAnAnswer) {
  // Cancel stops the work between entries.
  {
    TOperationRunner runner;
    std::atomic<int> steps{0};
    runner.Start([&](TOpContext& context) {
      while (!context.Cancelled() && steps < 100000) {
        ++steps;
        QThread::usleep(100);
      }
    });
    QThread::msleep(20);
    runner.Cancel();
    EXPECT_TRUE(runner.WaitForEnd(20000));
    EXPECT_LT(steps.load(), 100000);
    EXPECT_FALSE(runner.Failed());
  }
  // A failure is kept with its text; what was done stays done.
  {
    TOperationRunner runner;
    runner.Start([](TOpContext&) { throw std::runtime_error("disk full"); });
    EXPECT_TRUE(runner.WaitForEnd(20000));
    EXPECT_TRUE(runner.Failed());
    EXPECT_EQ(runner.FailureText(), QStringLiteral("disk full"));
  }
  // WaitForEnd comes back when the work waits for an answer, and a runner that goes while the
  // work waits gives it "Cancel" instead of hanging.
  TOpAnswer answer = TOpAnswer::Yes;
  {
    TOperationRunner runner;
    runner.SetAsk([](const TOpQuestion&) { return TOpAnswer::Yes; });
    runner.Start([&answer](TOpContext& context) { answer = context.Ask(TOpQuestion{}); });
    EXPECT_FALSE(runner.WaitForEnd(20000));
    EXPECT_TRUE(runner.Running());
  }
  EXPECT_EQ(answer, TOpAnswer::Cancel);
}

}  // namespace
