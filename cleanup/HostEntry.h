#pragma once
// The small pieces the delete, trash and move operations share: reaching an entry of a host path
// through its folder's descriptor (the entry itself never through a link), counting a tree for
// progress, finding mount points inside a folder, and error texts.

#include "cleanup/FreeOperation.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <sys/stat.h>

// A descriptor that closes itself.
class TFd {
public:
  TFd() = default;
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() { Reset(); }
  TFd(TFd&& other) noexcept : fd_(other.Release()) {}
  TFd& operator=(TFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1);

private:
  int fd_ = -1;
};

// An entry given by host path: its folder opened (links on the way to the folder are followed as
// the path says), the entry's raw name in it, and its own statx (not following a link).
struct THostEntry {
  TFd Dir;
  QByteArray Name;
  QByteArray Path;  // the clean absolute host path
  struct statx St {};
};

// Opens hostPath's folder and stats the entry. False with errno set when the folder or the entry
// cannot be reached; EINVAL for "/" and for a ".." after a link or a missing entry (see
// CleanGivenHostPath).
bool OpenHostEntry(const QByteArray& hostPath, THostEntry& out);

// statx of name in dirFd without following a link or triggering an automount, with the type,
// mode, size, times, owner and the mount-root attribute.
bool StatAt(int dirFd, const char* name, struct statx& st);

inline bool IsDirSt(const struct statx& st) { return S_ISDIR(st.stx_mode); }
inline bool IsRegSt(const struct statx& st) { return S_ISREG(st.stx_mode); }
inline bool IsLinkSt(const struct statx& st) { return S_ISLNK(st.stx_mode); }
inline bool SameDev(const struct statx& a, const struct statx& b) {
  return a.stx_dev_major == b.stx_dev_major && a.stx_dev_minor == b.stx_dev_minor;
}
inline bool SameEntry(const struct statx& a, const struct statx& b) { return SameDev(a, b) && a.stx_ino == b.stx_ino; }

// A folder entry that is the root of a mount, or on another device than its folder (dirSt).
bool IsMountHere(const struct statx& st, const struct statx& dirSt);

struct TTreeCount {
  int64_t entries = 0;  // the entry itself and everything below it
  int64_t bytes = 0;    // sizes of the regular files
  bool mountInside = false;      // a folder below is a mount point (it is not entered)
  QByteArray mountPath;          // the first such folder
};

// Counts the entry name of dirFd and, for a folder, everything below it on the same file system,
// never following links; stops early on cancel. Folders that cannot be read count as empty.
TTreeCount CountTree(int dirFd, const QByteArray& name, const QByteArray& hostPath, const TOpContext* context = nullptr);

// The first mount point at (unless strictlyBelow) or below the real (link-free) host folder
// path, from the mount table; empty when there is none.
QByteArray MountPointBelow(const QByteArray& realFolderPath, bool strictlyBelow = false);

// The real host path of a folder descriptor (through /proc/self/fd); empty when unknown.
QByteArray RealPathOf(int fd);

// The text of an errno value for the user.
QString ErrorText(int error);

// A failure record for a host path.
TOpFailure Failure(const QByteArray& hostPath, const QString& reason, int error = 0);
TOpFailure ErrnoFailure(const QByteArray& hostPath, int error);

// A host path as the user reads it.
QString ShownPath(const QByteArray& hostPath);
