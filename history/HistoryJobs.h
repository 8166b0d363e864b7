#pragma once
// Runs work on the scan history away from the calling thread, so that a window never waits on a
// store (a server that does not answer holds a job up to the store's timeouts, never the window).
// Each job opens the store on its worker thread (a QtSql connection belongs to the thread that
// made it) and its completion runs on the thread of this object's owner.

#include "history/HistoryStore.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QThread;

class THistoryJobs : public QObject {
  Q_OBJECT

public:
  // Runs on the worker: store is null when it could not be opened, and error says why; notice
  // is set when a damaged file was set aside.
  using TWork = std::function<void(THistoryStore* store, const QString& error, const QString& notice)>;

  explicit THistoryJobs(QObject* parent = nullptr);
  // Waits for the jobs still running (each bounded by the store's timeouts); their completions
  // are not run.
  ~THistoryJobs() override;

  // Starts work on a worker thread with the store named by storeName (see ParseStoreLocation);
  // done runs afterwards on this object's thread.
  void Run(const QString& storeName, TWork work, std::function<void()> done);
  int Running() const { return static_cast<int>(threads_.size()); }

private:
  std::vector<QThread*> threads_;
};
