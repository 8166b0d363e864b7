#include "cleanup/OperationRunner.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <exception>

TOperationRunner::TOperationRunner(QObject* parent) : QObject(parent) {
  qRegisterMetaType<TOpProgress>("TOpProgress");
}

TOperationRunner::~TOperationRunner() {
  if (!thread_) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (context_) context_->Cancel();
  // The worker may be waiting for a call on this thread, which will not come any more: calls
  // made from now on are skipped (stopping_), and one already posted is dropped with this object.
  thread_->wait();
  delete thread_;
  thread_ = nullptr;
}

bool TOperationRunner::Start(std::function<void(TOpContext&)> operation) {
  if (running_) return false;
  running_ = true;
  const int generation = ++generation_;
  failed_ = false;
  failureText_.clear();
  {
    std::lock_guard lock(mutex_);
    ended_ = false;
    callWaiting_ = false;
    progressPosted_ = false;
  }
  context_ = std::make_unique<TOpContext>();
  TOpContext& context = *context_;
  auto sinceReport = std::make_shared<QElapsedTimer>();
  context.onProgress = [this, sinceReport](const TOpProgress& p) {
    {
      std::lock_guard lock(mutex_);
      lastProgress_ = p;
      // Repainting per entry would cost more than small entries take: about 30 times a second.
      if (progressPosted_ || (sinceReport->isValid() && sinceReport->elapsed() < 33)) return;
      progressPosted_ = true;
    }
    sinceReport->start();
    QMetaObject::invokeMethod(
        this,
        [this] {
          TOpProgress latest;
          {
            std::lock_guard lock(mutex_);
            latest = lastProgress_;
            progressPosted_ = false;
          }
          emit Progress(latest);
        },
        Qt::QueuedConnection);
  };
  context.ask = [this](const TOpQuestion& q) {
    TOpAnswer answer = TOpAnswer::Cancel;
    OnOwnerThread([&] { answer = ask_ ? ask_(q) : TOpAnswer::No; });
    return answer;
  };
  thread_ = QThread::create([this, operation = std::move(operation), &context, generation] {
    try {
      operation(context);
    } catch (const std::exception& e) {
      failed_ = true;
      failureText_ = QString::fromUtf8(e.what());
    } catch (...) {
      failed_ = true;
    }
    {
      std::lock_guard lock(mutex_);
      ended_ = true;
    }
    changed_.notify_all();
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
          if (generation == generation_) Settle();
        },
        Qt::QueuedConnection);
  });
  thread_->start();
  return true;
}

void TOperationRunner::Cancel() {
  if (context_) context_->Cancel();
}

void TOperationRunner::Settle() {
  if (!thread_) return;
  thread_->wait();
  delete thread_;
  thread_ = nullptr;
  TOpProgress latest;
  {
    std::lock_guard lock(mutex_);
    latest = lastProgress_;
  }
  running_ = false;
  emit Progress(latest);
  emit Finished(failed_);
}

bool TOperationRunner::WaitForEnd(int ms) {
  if (!thread_) return !running_;
  {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ended_ || callWaiting_; });
    if (!ended_) return false;
  }
  Settle();
  return true;
}

void TOperationRunner::OnOwnerThread(const std::function<void()>& call) {
  if (QThread::currentThread() == thread()) {
    call();
    return;
  }
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    callWaiting_ = true;
  }
  changed_.notify_all();
  bool done = false;
  QMetaObject::invokeMethod(
      this,
      [&] {
        call();
        std::lock_guard lock(mutex_);
        done = true;
        callWaiting_ = false;
        changed_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  // Also gives up when the runner goes before the call was made.
  changed_.wait(lock, [&] { return done || stopping_; });
}
