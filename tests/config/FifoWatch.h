#pragma once
// Watches a FIFO for a reader: whenever something opens it for reading, the watch opens it for
// writing and closes it again at once, so that the reader meets the end of the file instead of
// waiting for ever, and the watch remembers it. Code that must never open such a file is then
// tested without hanging the test when it does.

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

class TFifoWatch {
public:
  explicit TFifoWatch(QByteArray fifoPath) : path_(std::move(fifoPath)), thread_([this] { Run(); }) {}
  ~TFifoWatch() {
    stop_ = true;
    thread_.join();
  }
  TFifoWatch(const TFifoWatch&) = delete;
  TFifoWatch& operator=(const TFifoWatch&) = delete;

  // Whether anything opened the FIFO for reading since the watch began.
  bool Opened() const { return opened_; }

private:
  void Run() {
    while (!stop_) {
      // Without a reader this fails (ENXIO) and never waits.
      const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        opened_ = true;
        ::close(fd);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  QByteArray path_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> opened_{false};
  std::thread thread_;  // last: it starts once the members above exist
};
