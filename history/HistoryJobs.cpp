#include "history/HistoryJobs.h"

#include <QThread>

#include <algorithm>

THistoryJobs::THistoryJobs(QObject* parent) : QObject(parent) {}

THistoryJobs::~THistoryJobs() {
  for (QThread* thread : threads_) {
    thread->disconnect(this);
    thread->wait();
    delete thread;
  }
}

void THistoryJobs::Run(const QString& storeName, TWork work, std::function<void()> done) {
  QThread* thread = QThread::create([storeName, work = std::move(work)] {
    QString error;
    QString notice;
    const std::optional<TStoreLocation> where = ParseStoreLocation(storeName, &error);
    std::unique_ptr<THistoryStore> store = where ? THistoryStore::Open(*where, &error, &notice) : nullptr;
    work(store.get(), error, notice);
  });
  threads_.push_back(thread);
  connect(thread, &QThread::finished, this, [this, thread, done = std::move(done)] {
    threads_.erase(std::find(threads_.begin(), threads_.end(), thread));
    thread->wait();
    delete thread;
    if (done) done();
  });
  thread->start();
}
