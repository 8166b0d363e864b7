// Store work away from the calling thread: the caller's event loop keeps running meanwhile.

#include "history/HistoryJobs.h"
#include "tests/history/SnapshotBuilder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Runs the event loop until done() or the time runs out; counts the ticks of a 20 ms timer.
int RunLoopUntil(const std::function<bool()>& done, int ms) {
  QEventLoop loop;
  QTimer tick;
  int ticks = 0;
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    ++ticks;
    if (done()) loop.quit();
  });
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  tick.start(20);
  loop.exec();
  return ticks;
}

TEST(HistoryJobsTest, SavesOnAWorkerAndCompletesOnTheCallersThread) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("h.sqlite"));
  THistoryJobs jobs;
  std::optional<int64_t> id;
  QThread* workThread = nullptr;
  QThread* doneThread = nullptr;
  bool finished = false;
  jobs.Run(
      file,
      [&](THistoryStore* store, const QString& error, const QString&) {
        workThread = QThread::currentThread();
        ASSERT_TRUE(store) << error.toStdString();
        id = store->Save(MakeSnapshot({{"", 1}, {"a", 1}}));
      },
      [&] {
        doneThread = QThread::currentThread();
        finished = true;
      });
  EXPECT_EQ(jobs.Running(), 1);
  RunLoopUntil([&] { return finished; }, 30000);
  ASSERT_TRUE(finished);
  EXPECT_TRUE(id.has_value());
  EXPECT_NE(workThread, QThread::currentThread());
  EXPECT_EQ(doneThread, QThread::currentThread());
  EXPECT_EQ(jobs.Running(), 0);
}

TEST(HistoryJobsTest, AServerThatNeverAnswersDoesNotHoldTheCaller) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  socklen_t len = sizeof addr;
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);

  THistoryJobs jobs;
  QString error;
  bool finished = false;
  QElapsedTimer timer;
  timer.start();
  jobs.Run(QStringLiteral("postgresql://k@127.0.0.1:%1/db?connect_timeout=2").arg(ntohs(addr.sin_port)),
           [&](THistoryStore* store, const QString& e, const QString&) {
             EXPECT_FALSE(store);
             error = e;
           },
           [&] { finished = true; });
  // The caller's loop went on while the job waited for the server.
  const int ticks = RunLoopUntil([&] { return finished; }, 30000);
  ASSERT_TRUE(finished);
  EXPECT_GE(timer.elapsed(), 1500);
  EXPECT_GE(ticks, 20);
  EXPECT_TRUE(error.contains(QStringLiteral("cannot reach"))) << error.toStdString();
  ::close(listener);
}

}  // namespace
