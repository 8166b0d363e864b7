#pragma once
// What every free-space operation (delete, trash, move, archive, restore) shares: progress in
// entries and bytes, a cancel flag checked between entries and inside long copies, questions
// asked through a callback (a window shows a box, the command line answers from its flags), and
// a result that says done, cancelled, failed or partly done and names every entry that failed.

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

struct TOpProgress {
  int64_t entriesDone = 0;
  int64_t entriesTotal = 0;  // 0 while unknown
  int64_t bytesDone = 0;
  int64_t bytesTotal = 0;    // 0 while unknown
  QString currentPath;       // the entry being worked on (host path)
};

enum class TOpQuestionKind {
  ReplaceExisting,  // an entry of that name is in the target already
  Other,
};

struct TOpQuestion {
  TOpQuestionKind kind = TOpQuestionKind::Other;
  QString path;  // the entry the question is about (host path)
  QString text;  // the whole question, as a window would show it
};

enum class TOpAnswer { Yes, YesToAll, No, NoToAll, Cancel };

struct TOpFailure {
  QString path;    // host path of the entry that failed
  QString reason;  // why, as the user reads it
  int error = 0;   // errno's value where there was one
};

enum class TOpStatus { Done, Cancelled, Failed, PartlyDone };

struct TOpResult {
  TOpStatus status = TOpStatus::Done;
  std::vector<TOpFailure> failures;
  int64_t entriesDone = 0;
  int64_t bytesDone = 0;
  // True when the operation changed anything on disk (so that the caller rescans what is left).
  bool changed = false;
};

// Passed to an operation by whoever runs it. Every member may be left empty; an operation without
// a question callback takes the safe answer (No).
class TOpContext {
public:
  std::function<void(const TOpProgress&)> onProgress;
  std::function<TOpAnswer(const TOpQuestion&)> ask;
  // Called now and then during long work that has no progress to report (a window pumps its
  // events there so that it keeps answering).
  std::function<void()> onBusy;

  // May be set from another thread or a signal handler.
  void Cancel() { cancel_.store(true, std::memory_order_relaxed); }
  bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }

  TOpAnswer Ask(const TOpQuestion& question) const { return ask ? ask(question) : TOpAnswer::No; }
  void Progress(const TOpProgress& progress) const {
    if (onProgress) onProgress(progress);
  }
  void Busy() const {
    if (onBusy) onBusy();
  }

private:
  std::atomic<bool> cancel_{false};
};

// The status a finished operation reports: cancelled when cancelled (whatever was done before),
// otherwise done without failures, failed when nothing was done, partly done in between.
TOpStatus FinalStatus(bool cancelled, bool anythingDone, bool anyFailure);

// "done", "cancelled", "failed", "partly done".
QString StatusText(TOpStatus status);

// The first five failures of a result, one "path: reason" line each, and how many more there
// are, for a message to the user.
QString FailureLines(const TOpResult& result);
