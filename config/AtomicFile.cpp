#include "config/AtomicFile.h"


#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

QByteArray FolderOf(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0) return QByteArray(".");
  if (slash == 0) return QByteArray("/");
  return path.left(slash);
}

namespace {

TAtomicWriteHook& WriteHook() {
  static TAtomicWriteHook hook;
  return hook;
}

QByteArray NameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

// The file a write to path really replaces: the target of a symbolic link, so that a settings
// file kept elsewhere and linked into place stays linked.
QByteArray ResolveTarget(const QByteArray& path) {
  struct stat st {};
  if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char real[PATH_MAX];
  if (::realpath(path.constData(), real)) return QByteArray(real);
  // A dangling link: write to the place it names.
  char target[PATH_MAX];
  const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
  if (n <= 0) return path;
  const QByteArray link(target, n);
  return link.startsWith('/') ? link : FolderOf(path) + '/' + link;
}

bool WriteAll(int fd, const char* data, qsizetype size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= n;
  }
  return true;
}

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

void SyncFolder(const QByteArray& folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

QString SystemErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QByteArray AtomicTempPrefix(const QByteArray& path) {
  const QByteArray target = ResolveTarget(path);
  return FolderOf(target) + "/." + NameOf(target) + ".tmp-";
}

bool WriteFileAtomically(const QByteArray& path, const QByteArray& data, mode_t newFileMode,
                         QString* error, bool followLink) {
  const QByteArray target = followLink ? ResolveTarget(path) : path;
  auto fail = [&](const QString& what, int code) {
    if (error) *error = QStringLiteral("%1 %2: %3").arg(what, QString::fromLocal8Bit(target), SystemErrorText(code));
    return false;
  };

  QByteArray temp = FolderOf(target) + "/." + NameOf(target) + ".tmp-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return fail(QStringLiteral("Cannot create a temporary file beside"), errno);

  auto abandon = [&](const QString& what, int code) {
    ::close(fd);
    ::unlink(temp.constData());
    return fail(what, code);
  };

  struct stat old {};
  const int found = followLink ? ::stat(target.constData(), &old) : ::lstat(target.constData(), &old);
  const mode_t mode = found == 0 && !S_ISLNK(old.st_mode) ? (old.st_mode & 07777)
                                                           : (newFileMode & ~CurrentUmask() & 07777);
  if (::fchmod(fd, mode) != 0) return abandon(QStringLiteral("Cannot set the permissions for"), errno);

  const qsizetype half = data.size() / 2;
  if (!WriteAll(fd, data.constData(), half)) return abandon(QStringLiteral("Cannot write"), errno);
  if (const TAtomicWriteHook& hook = WriteHook()) {
    ::fdatasync(fd);
    if (!hook(target)) return abandon(QStringLiteral("Cannot write"), EIO);
  }
  if (!WriteAll(fd, data.constData() + half, data.size() - half))
    return abandon(QStringLiteral("Cannot write"), errno);
  if (::fsync(fd) != 0) return abandon(QStringLiteral("Cannot flush"), errno);
  if (::close(fd) != 0) {
    const int code = errno;
    ::unlink(temp.constData());
    return fail(QStringLiteral("Cannot write"), code);
  }
  if (::rename(temp.constData(), target.constData()) != 0) {
    const int code = errno;
    ::unlink(temp.constData());
    return fail(QStringLiteral("Cannot replace"), code);
  }
  SyncFolder(FolderOf(target));
  return true;
}

void RemoveStaleAtomicTemps(const QByteArray& path) {
  const QByteArray prefix = AtomicTempPrefix(path);
  const QByteArray folder = FolderOf(prefix);
  const QByteArray namePrefix = NameOf(prefix);
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return;
  std::vector<QByteArray> stale;
  while (const dirent* e = ::readdir(dir)) {
    const QByteArray name(e->d_name);
    if (name.size() == namePrefix.size() + 6 && name.startsWith(namePrefix)) stale.push_back(name);
  }
  ::closedir(dir);
  for (const QByteArray& name : stale) ::unlink((folder + '/' + name).constData());
}

std::optional<QByteArray> ReadWholeFile(const QByteArray& path, bool* missing, QString* error) {
  if (missing) *missing = false;
  auto notRegular = [&] {
    if (error) *error = QStringLiteral("%1 is not a regular file").arg(QString::fromLocal8Bit(path));
    return std::nullopt;
  };
  // Only regular files are opened: opening a FIFO for reading waits for a writer, and opening a
  // device may do something of its own. The check after opening (which never waits) catches a
  // file swapped in between; a symbolic link to a regular file is read as that file.
  struct stat st {};
  if (::stat(path.constData(), &st) == 0 && !S_ISREG(st.st_mode)) return notRegular();
  const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    const int code = errno;
    // A path with a file where a folder should be cannot hold the file either: it is missing too,
    // and a write there fails and says so.
    if (missing) *missing = code == ENOENT || code == ENOTDIR;
    if (error) *error = QStringLiteral("Cannot open %1: %2").arg(QString::fromLocal8Bit(path), SystemErrorText(code));
    return std::nullopt;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return notRegular();
  }
  QByteArray bytes;
  bytes.reserve(static_cast<qsizetype>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int code = errno;
      ::close(fd);
      if (error) *error = QStringLiteral("Cannot read %1: %2").arg(QString::fromLocal8Bit(path), SystemErrorText(code));
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.append(buffer, n);
  }
  ::close(fd);
  return bytes;
}

void SetAtomicWriteTestHook(TAtomicWriteHook hook) { WriteHook() = std::move(hook); }
