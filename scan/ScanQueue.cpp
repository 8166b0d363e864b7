#include "scan/ScanQueue.h"

#include "scan/ScanSession.h"

#include <exception>

struct TScanQueue::TSequence {
  int Count = 0;
  std::function<void(int)> Body;
  std::function<bool()> Proceed;
  std::function<void()> Done;
};

TScanQueue::TScanQueue(TScanSession& session, QObject* parent) : QObject(parent), session_(session) {
  // Queued: the continuations run after everything else that hears of the scan's end (the
  // window's own state first), on a turn of the event loop of their own.
  connect(&session_, &TScanSession::ScanFinished, this, [this] { Pump(); }, Qt::QueuedConnection);
}

bool TScanQueue::Idle() const { return !running_ && pending_.empty() && !session_.Scanning(); }

void TScanQueue::Clear() {
  pending_.clear();
  insertAt_ = 0;
}

void TScanQueue::RunGuarded(const std::function<void()>& step) {
  running_ = true;
  insertAt_ = 0;
  try {
    step();
  } catch (const std::exception& e) {
    if (onError_) onError_(QString::fromUtf8(e.what()));
  } catch (...) {
    if (onError_) onError_(QStringLiteral("The command failed."));
  }
  running_ = false;
}

bool TScanQueue::Run(const std::function<void()>& step) {
  if (running_) {
    // Part of the step under way: its continuations go where the caller's would.
    step();
    return true;
  }
  if (!pending_.empty() || session_.Scanning()) return false;
  RunGuarded(step);
  Pump();
  return true;
}

void TScanQueue::Then(std::function<void()> then) {
  if (!running_) insertAt_ = 0;
  pending_.insert(pending_.begin() + static_cast<std::ptrdiff_t>(insertAt_), std::move(then));
  ++insertAt_;
}

void TScanQueue::Pump() {
  if (running_) return;
  while (!session_.Scanning() && !pending_.empty()) {
    std::function<void()> next = std::move(pending_.front());
    pending_.pop_front();
    RunGuarded(next);
  }
  if (Idle()) emit BecameIdle();
}

void TScanQueue::Sequence(int count, std::function<void(int)> body, std::function<bool()> proceed,
                          std::function<void()> done) {
  auto sequence = std::make_shared<TSequence>();
  sequence->Count = count;
  sequence->Body = std::move(body);
  sequence->Proceed = std::move(proceed);
  sequence->Done = std::move(done);
  Run([this, sequence] { SequenceFrom(0, sequence); });
}

void TScanQueue::SequenceFrom(int index, const std::shared_ptr<TSequence>& sequence) {
  if (index >= sequence->Count) {
    if (sequence->Done) sequence->Done();
    return;
  }
  sequence->Body(index);
  Then([this, index, sequence] {
    if (sequence->Proceed && !sequence->Proceed()) {
      if (sequence->Done) sequence->Done();
      return;
    }
    SequenceFrom(index + 1, sequence);
  });
}
