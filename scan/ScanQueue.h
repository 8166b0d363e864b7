#pragma once
// Runs a window's scan commands one after another on the event loop, with no nested loop: a
// command that needs a scan starts it on the session (in slices) and leaves what comes after it
// as a continuation (Then), which runs once that scan has ended. Commands compose like calls: a
// command run from inside another runs at once, and its continuations come before those its
// caller adds after it.

#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

class TScanSession;

class TScanQueue : public QObject {
  Q_OBJECT

public:
  explicit TScanQueue(TScanSession& session, QObject* parent = nullptr);

  // Runs step now: inline when called from a step or continuation, else when nothing is under
  // way. False (step not run) while a scan or a continuation is still pending: one command at a
  // time.
  bool Run(const std::function<void()>& step);
  // From a step or continuation only: then runs when the scans started so far have ended, before
  // the continuations added by the caller's caller.
  void Then(std::function<void()> then);
  // Runs body(0), body(1), ... body(count - 1), each when the scans the one before started have
  // ended, while proceed() allows (checked after each); then done, however it ended.
  void Sequence(int count, std::function<void(int)> body, std::function<bool()> proceed,
                std::function<void()> done = {});
  // No scan under way and nothing pending.
  bool Idle() const;
  // Drops what is pending (the window is closing).
  void Clear();
  // Where an error thrown by a step goes (the window shows it); without one it is dropped.
  void SetErrorHandler(std::function<void(const QString&)> handler) { onError_ = std::move(handler); }

signals:
  // The last pending continuation has run and no scan is under way.
  void BecameIdle();

private:
  struct TSequence;
  void SequenceFrom(int index, const std::shared_ptr<TSequence>& sequence);
  void RunGuarded(const std::function<void()>& step);
  void Pump();

  TScanSession& session_;
  std::deque<std::function<void()>> pending_;
  size_t insertAt_ = 0;
  bool running_ = false;
  std::function<void(const QString&)> onError_;
};
