#pragma once
// Runs a free-space operation on a thread of its own, so that the window that started it keeps
// its event loop (and its Stop button) going without pumping events from inside the work. What
// the operation reports comes back to the runner's thread: progress (at most about 30 times a
// second, the latest report), questions (the worker waits for the answer) and any other call
// the operation needs made there (OnOwnerThread: a password box, a message).

#include "cleanup/FreeOperation.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

class TOperationRunner : public QObject {
  Q_OBJECT

public:
  explicit TOperationRunner(QObject* parent = nullptr);
  // Stops and waits for an operation still under way (its questions are answered "Cancel").
  ~TOperationRunner() override;
  TOperationRunner(const TOperationRunner&) = delete;
  TOperationRunner& operator=(const TOperationRunner&) = delete;

  // Questions are answered on the runner's thread by ask; without it, the safe answer (No).
  void SetAsk(std::function<TOpAnswer(const TOpQuestion&)> ask) { ask_ = std::move(ask); }
  // One operation at a time: false when one is under way.
  bool Start(std::function<void(TOpContext&)> operation);
  // Asks the operation to stop between entries; it ends as it would when cancelled.
  void Cancel();
  bool Running() const { return running_; }
  // The operation ended by throwing (what it had done stays done).
  bool Failed() const { return failed_; }
  QString FailureText() const { return failureText_; }
  // Waits up to ms for the operation to end without handling events; returns early (false) when
  // the operation waits for something to be done on the runner's thread. True when it ended;
  // Finished has then been emitted.
  bool WaitForEnd(int ms);
  // Runs call on the runner's thread and waits for it (at once when called there).
  void OnOwnerThread(const std::function<void()>& call);

signals:
  void Progress(const TOpProgress& progress);
  // The operation has ended (failed: it threw).
  void Finished(bool failed);

private:
  void Settle();

  std::function<TOpAnswer(const TOpQuestion&)> ask_;
  std::unique_ptr<TOpContext> context_;
  QThread* thread_ = nullptr;
  bool running_ = false;
  bool failed_ = false;
  QString failureText_;
  int generation_ = 0;     // the operations started, so that a late word of an old one is dropped

  std::mutex mutex_;
  std::condition_variable changed_;
  bool ended_ = false;         // the worker has returned (guarded by mutex_)
  bool callWaiting_ = false;   // the worker waits for a call on the owner's thread (mutex_)
  TOpProgress lastProgress_;   // (mutex_)
  bool progressPosted_ = false;
  bool stopping_ = false;      // the runner is going: no more calls to its thread (mutex_)
};
