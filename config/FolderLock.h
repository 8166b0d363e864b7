#pragma once
// An exclusive advisory lock on the folder that holds a file, so that re-reading, changing and
// replacing the file is one step for every copy of the program that writes it. The file itself
// cannot carry the lock: each write replaces it with a new one.

#include <QByteArray>

class TFolderLock {
public:
  // Waits for the lock on the folder of filePath. When the folder cannot be opened (it does not
  // exist, or may not be read) no lock is held and the caller goes on without one.
  explicit TFolderLock(const QByteArray& filePath);
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

  bool Held() const { return fd_ >= 0; }

private:
  int fd_ = -1;
};
