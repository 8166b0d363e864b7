#include "tests/support/Fixture.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The first entry of the open folder fd other than "." and ".."; files found before it are
// removed on the way. Empty when only files were there.
std::string FirstSubfolder(int fd) {
  const int listFd = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return {};
  DIR* dir = ::fdopendir(listFd);
  std::string found;
  while (dirent* e = ::readdir(dir)) {
    if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
    struct stat st {};
    if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      found = e->d_name;
      break;
    }
    ::unlinkat(fd, e->d_name, 0);
  }
  ::closedir(dir);
  return found;
}

// Removes name in parentFd with everything below it. Iterative and with one folder open at a
// time, so that no depth of folders exhausts the stack or the descriptors.
void RemoveAt(int parentFd, const char* name) {
  struct stat st {};
  if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (!S_ISDIR(st.st_mode)) {
    ::unlinkat(parentFd, name, 0);
    return;
  }
  ::fchmodat(parentFd, name, 0700, 0);
  int current = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (current < 0) {
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
    return;
  }
  std::vector<std::string> names{name};
  while (!names.empty()) {
    const std::string sub = FirstSubfolder(current);
    if (!sub.empty()) {
      ::fchmodat(current, sub.c_str(), 0700, 0);
      const int next = ::openat(current, sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (next >= 0) {
        ::close(current);
        current = next;
        names.push_back(sub);
        continue;
      }
      if (::unlinkat(current, sub.c_str(), AT_REMOVEDIR) != 0) break;  // cannot go on
      continue;
    }
    // Empty now: up one level and remove it there.
    const int up = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(current);
    current = up;
    if (up < 0) return;
    ::unlinkat(up, names.back().c_str(), AT_REMOVEDIR);
    names.pop_back();
  }
  if (current >= 0) ::close(current);
}

int64_t Slack(int64_t cluster, int64_t size) {
  if (cluster <= 0) return 0;
  const int64_t r = size % cluster;
  return r ? cluster - r : 0;
}

uint64_t FileTime(const timespec& t) {
  return static_cast<uint64_t>(t.tv_sec + 11644473600LL) * 10000000ULL + static_cast<uint64_t>(t.tv_nsec) / 100;
}

// Files with several names seen so far: their bytes count at the first name only.
using TSeenLinks = std::set<std::pair<dev_t, ino_t>>;

void Walk(const QByteArray& path, dev_t device, int32_t cluster, TWalkTotals& totals, TSeenLinks& seen) {
  DIR* dir = ::opendir(path.constData());
  if (!dir) return;
  QSet<QByteArray> hiddenList;
  {
    QFile list(QString::fromLocal8Bit(path + "/.hidden"));
    if (list.open(QIODevice::ReadOnly))
      for (const QByteArray& line : list.readAll().split('\n'))
        if (!line.isEmpty()) hiddenList.insert(line);
  }
  static const int64_t standard[8] = {0, 512, 2048, 4096, 8192, 16384, 32768, 65536};
  while (dirent* e = ::readdir(dir)) {
    const QByteArray name(e->d_name);
    if (name == "." || name == "..") continue;
    const QByteArray child = path + '/' + name;
    struct stat st {};
    if (::lstat(child.constData(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      ++totals.Folders;
      if (st.st_dev == device) Walk(child, device, cluster, totals, seen);
      continue;
    }
    ++totals.Files;
    if (st.st_nlink < 2 || seen.insert({st.st_dev, st.st_ino}).second) {
      totals.Bytes += st.st_size;
      totals.Wasted += Slack(cluster, st.st_size);
      for (int i = 1; i <= 7; ++i) totals.WastedAt[i] += Slack(standard[i], st.st_size);
    }
    totals.LatestAccess = std::max(totals.LatestAccess, FileTime(st.st_atim));
    totals.LatestWrite = std::max(totals.LatestWrite, FileTime(st.st_mtim));
    uint32_t attr = S_ISREG(st.st_mode) ? 0x20 : S_ISLNK(st.st_mode) ? 0x400 : 0x04;
    if (!S_ISLNK(st.st_mode) && (st.st_mode & 0222) == 0) attr |= 0x01;
    if (name.startsWith('.') || hiddenList.contains(name)) attr |= 0x02;
    totals.Attributes |= attr;
  }
  ::closedir(dir);
}

}  // namespace

TFixtureTree::TFixtureTree() {
  QByteArray base = qgetenv("TMPDIR");
  if (base.isEmpty()) base = "/tmp";
  QByteArray templ = base + "/korvane-test-XXXXXX";
  if (!::mkdtemp(templ.data())) ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
  root_ = templ;
}

TFixtureTree::~TFixtureTree() { RemoveTree(root_); }

QByteArray TFixtureTree::Path(const QByteArray& rel) const { return rel.isEmpty() ? root_ : root_ + '/' + rel; }

void TFixtureTree::Dir(const QByteArray& rel) {
  // Creates the missing folders on the way, like mkdir -p.
  QByteArray sofar = root_;
  for (const QByteArray& c : rel.split('/')) {
    if (c.isEmpty()) continue;
    sofar += '/' + c;
    if (::mkdir(sofar.constData(), 0755) != 0 && errno != EEXIST)
      ADD_FAILURE() << "mkdir " << sofar.constData() << ": " << std::strerror(errno);
  }
}

void TFixtureTree::File(const QByteArray& rel, int64_t size, bool sparse) {
  const int slash = rel.lastIndexOf('/');
  if (slash > 0) Dir(rel.left(slash));
  const QByteArray path = Path(rel);
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path.constData() << ": " << std::strerror(errno);
  if (sparse) {
    EXPECT_EQ(::ftruncate(fd, size), 0);
  } else {
    const std::string data(static_cast<size_t>(size), 'k');
    EXPECT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(size));
  }
  ::close(fd);
}

void TFixtureTree::Symlink(const QByteArray& target, const QByteArray& rel) {
  EXPECT_EQ(::symlink(target.constData(), Path(rel).constData()), 0) << std::strerror(errno);
}

void TFixtureTree::SetTimes(const QByteArray& rel, int64_t accessSeconds, int64_t writeSeconds) {
  timespec times[2] = {{static_cast<time_t>(accessSeconds), 0}, {static_cast<time_t>(writeSeconds), 0}};
  EXPECT_EQ(::utimensat(AT_FDCWD, Path(rel).constData(), times, AT_SYMLINK_NOFOLLOW), 0) << std::strerror(errno);
}

void TFixtureTree::Remove(const QByteArray& rel) { RemoveTree(Path(rel)); }

void RemoveTree(const QByteArray& hostPath) {
  if (hostPath.isEmpty() || hostPath == "/") return;
  const int slash = hostPath.lastIndexOf('/');
  const QByteArray parent = slash > 0 ? hostPath.left(slash) : QByteArray("/");
  const int fd = ::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  RemoveAt(fd, hostPath.mid(slash + 1).constData());
  ::close(fd);
}

TDriveScope::TDriveScope(std::vector<TDriveMapping> mappings) : saved_(TDriveTable::Instance().Mappings()) {
  TDriveTable::Instance().SetMappings(std::move(mappings));
}

TDriveScope::~TDriveScope() { TDriveTable::Instance().SetMappings(std::move(saved_)); }

TWalkTotals IndependentWalk(const QByteArray& hostRoot, int32_t clusterSize) {
  TWalkTotals totals;
  struct stat st {};
  if (::stat(hostRoot.constData(), &st) != 0) return totals;
  TSeenLinks seen;
  Walk(hostRoot, st.st_dev, clusterSize, totals, seen);
  return totals;
}
