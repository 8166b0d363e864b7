#include "fuzz/FuzzSupport.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

void FuzzCheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
  std::abort();
}

namespace {

QByteArray scratch;

void RemoveScratch() {
  if (scratch.isEmpty()) return;
  FuzzEmptyFolder(scratch);
  ::rmdir(scratch.constData());
}

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW* ftw) {
  if (ftw->level == 0) return 0;
  if (type == FTW_DP)
    ::rmdir(path);
  else
    ::unlink(path);
  return 0;
}

}  // namespace

const QByteArray& FuzzScratchFolder() {
  if (scratch.isEmpty()) {
    const char* tmp = std::getenv("TMPDIR");
    QByteArray pattern = QByteArray(tmp && *tmp == '/' ? tmp : "/tmp") + "/korvane-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    scratch = pattern;
    std::atexit(RemoveScratch);
  }
  return scratch;
}

void FuzzEmptyFolder(const QByteArray& folder) {
  // Folders without search permission would stop the walk: give them back what it needs.
  ::nftw(
      folder.constData(),
      [](const char* path, const struct stat* st, int type, struct FTW*) {
        if (type == FTW_D || type == FTW_DNR) ::chmod(path, (st->st_mode & 07777) | 0700);
        return 0;
      },
      16, FTW_PHYS);
  ::nftw(folder.constData(), RemoveEntry, 16, FTW_PHYS | FTW_DEPTH);
}

QList<QByteArray> FuzzFolderNames(const QByteArray& folder) {
  QList<QByteArray> names;
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return names;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names << QByteArray(e->d_name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

void FuzzWriteFile(const QByteArray& path, const QByteArray& bytes) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  FUZZ_CHECK(fd >= 0);
  const char* p = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    FUZZ_CHECK(n > 0);
    p += n;
    left -= n;
  }
  ::close(fd);
}

QStringList FuzzArguments(const QByteArray& input) {
  QStringList arguments;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= input.size(); ++i) {
    if (i < input.size() && input[i] != '\0' && input[i] != '\n') continue;
    arguments << QFile::decodeName(input.mid(start, i - start));
    start = i + 1;
  }
  return arguments;
}
