#pragma once
// What the free-space operation tests share: a tmpfs mounted for one test (another file system
// to move to and from), and a snapshot of a tree (every entry's type, permissions, times and
// contents or link target) to compare before and after.

#include <QByteArray>
#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <ostream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

// A tmpfs mounted on a fresh folder for the lifetime of the object. Ok() is false (and Why()
// says why) when it could not be mounted, typically without root.
class TTmpfsMount {
public:
  TTmpfsMount() {
    QByteArray base = qgetenv("TMPDIR");
    if (base.isEmpty()) base = "/tmp";
    QByteArray templ = base + "/korvane-tmpfs-XXXXXX";
    if (!::mkdtemp(templ.data())) {
      why_ = std::strerror(errno);
      return;
    }
    path_ = templ;
    if (::geteuid() != 0) {
      why_ = "mounting a tmpfs needs root";
      return;
    }
    if (::mount("none", path_.constData(), "tmpfs", 0, "size=512m") != 0) {
      why_ = QByteArray("mount tmpfs: ") + std::strerror(errno);
      return;
    }
    mounted_ = true;
  }
  ~TTmpfsMount() {
    if (mounted_) ::umount2(path_.constData(), MNT_DETACH);
    if (!path_.isEmpty()) ::rmdir(path_.constData());
  }
  TTmpfsMount(const TTmpfsMount&) = delete;
  TTmpfsMount& operator=(const TTmpfsMount&) = delete;

  bool Ok() const { return mounted_; }
  const QByteArray& Why() const { return why_; }
  const QByteArray& Path() const { return path_; }

private:
  QByteArray path_;
  QByteArray why_;
  bool mounted_ = false;
};

#define KORVANE_NEED_TMPFS(mount) \
  if (!(mount).Ok()) GTEST_SKIP() << "no tmpfs to work across file systems: " << (mount).Why().constData()

struct TSnapEntry {
  mode_t mode = 0;  // type and permissions
  int64_t mtime = 0;
  int64_t size = 0;
  QByteArray data;  // a link's target, or a hash of a file's contents
  bool operator==(const TSnapEntry& o) const {
    return mode == o.mode && mtime == o.mtime && size == o.size && data == o.data;
  }
};

inline void PrintTo(const TSnapEntry& e, std::ostream* os) {
  *os << "{mode " << std::oct << e.mode << std::dec << ", mtime " << e.mtime << ", size " << e.size << ", "
      << e.data.toHex().left(16).constData() << "}";
}

inline QByteArray FileHash(const QByteArray& path) {
  QCryptographicHash hash(QCryptographicHash::Sha1);
  const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return "unreadable";
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) hash.addData(QByteArrayView(buffer, n));
  ::close(fd);
  return hash.result().toHex();
}

// Every entry below root by its path relative to root, not following links and not entering
// other file systems.
inline void SnapshotInto(const QByteArray& root, const QByteArray& rel, std::map<QByteArray, TSnapEntry>& out,
                         bool withTimes) {
  const QByteArray dirPath = rel.isEmpty() ? root : root + '/' + rel;
  DIR* dir = ::opendir(dirPath.constData());
  if (!dir) return;
  struct stat dirSt {};
  ::lstat(dirPath.constData(), &dirSt);
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    const QByteArray childRel = rel.isEmpty() ? QByteArray(e->d_name) : rel + '/' + e->d_name;
    const QByteArray path = root + '/' + childRel;
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) continue;
    TSnapEntry entry;
    entry.mode = st.st_mode;
    entry.mtime = withTimes && !S_ISDIR(st.st_mode) ? static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : 0;
    if (S_ISREG(st.st_mode)) {
      entry.size = st.st_size;
      entry.data = FileHash(path);
    } else if (S_ISLNK(st.st_mode)) {
      char target[4096];
      const ssize_t n = ::readlink(path.constData(), target, sizeof target);
      entry.data = QByteArray(target, n > 0 ? n : 0);
    }
    out[childRel] = entry;
    if (S_ISDIR(st.st_mode) && st.st_dev == dirSt.st_dev) SnapshotInto(root, childRel, out, withTimes);
  }
  ::closedir(dir);
}

inline std::map<QByteArray, TSnapEntry> Snapshot(const QByteArray& root, bool withTimes = true) {
  std::map<QByteArray, TSnapEntry> out;
  SnapshotInto(root, {}, out, withTimes);
  return out;
}

// Writes a file, making the folders above it when they are missing.
inline void WriteFile(const QByteArray& path, const QByteArray& data, mode_t mode = 0644) {
  for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
    ::mkdir(path.left(slash).constData(), 0755);
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  ASSERT_GE(fd, 0) << path.constData() << ": " << std::strerror(errno);
  ASSERT_EQ(::write(fd, data.constData(), static_cast<size_t>(data.size())), data.size());
  ::close(fd);
  ::chmod(path.constData(), mode);
}

inline bool Exists(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0;
}
