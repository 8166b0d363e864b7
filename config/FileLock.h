#pragma once
// An exclusive advisory lock (flock) held for the life of the object, so that re-reading,
// changing and replacing a file is one step for every copy of the program that writes it.

#include <QByteArray>

class TFileLock {
public:
  // Opens path with flags (O_CLOEXEC is added; a file made by O_CREAT gets mode 0600) and waits
  // for the lock. When either fails no lock is held, and Error() gives the errno value.
  TFileLock(const QByteArray& path, int flags);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

  bool Held() const { return fd_ >= 0; }
  int Error() const { return error_; }

private:
  int fd_ = -1;
  int error_ = 0;
};
