#pragma once
// The pieces of a depth-first walk over a host folder tree with descriptors, shared by the
// delete and the properties walks: folders are opened relative to their parent and never through
// a link, and a deep tree keeps only the innermost folders open (the others are opened again
// through ".." on the way back up and recognised by their inode).

#include <QByteArray>

#include <cstdint>
#include <vector>

struct TWalkFrame {
  int Fd = -1;          // -1 while closed to save descriptors
  QByteArray Name;      // in the folder above
  QByteArray HostPath;  // for messages
  std::vector<QByteArray> Names;  // the entries, read when the folder was entered
  size_t Next = 0;                // the next entry to visit
  uint64_t Inode = 0;
  bool Kept = false;              // something inside stays (for walks that remove)
};

class TWalkStack {
public:
  TWalkStack() = default;
  ~TWalkStack() { Clear(); }
  TWalkStack(const TWalkStack&) = delete;
  TWalkStack& operator=(const TWalkStack&) = delete;

  bool Empty() const { return frames_.empty(); }
  TWalkFrame& Top() { return frames_.back(); }
  // The descriptor of the folder above the innermost one (outer for the first folder).
  int ParentFd(int outer) const { return frames_.size() >= 2 ? frames_[frames_.size() - 2].Fd : outer; }

  // Opens the folder entry of parentFd (never through a link), reads its names and makes it the
  // innermost folder. False with errno on failure.
  bool Enter(int parentFd, const QByteArray& entry, const QByteArray& entryPath);
  // Closes the innermost folder. Before that, the folder above it is opened again when it was
  // closed; false with errno (ESTALE when it is no longer the same folder) when that fails, and
  // then nothing changes.
  bool Leave();
  // Closes everything.
  void Clear();

private:
  std::vector<TWalkFrame> frames_;
};
