#include "cleanup/ZipMaster.h"

#include "config/AtomicFile.h"
#include "platform/HiddenList.h"
#include "platform/HostNames.h"

#include <QFile>
#include <QHash>
#include <QRandomGenerator>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <map>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr int64_t BlockSize = 65536;
constexpr int64_t ProgressBlock = 32768;

// The writer sets the UTF-8 flag on a non-ASCII name when the calling thread's locale is UTF-8,
// and the reader converts flagged names into the thread's locale: a UTF-8 locale on this thread
// while a header is written or read keeps names as their bytes, and the plain C locale while a
// name that is not UTF-8 is written keeps the flag off for it.
class TThreadLocale {
public:
  explicit TThreadLocale(bool utf8) {
    static locale_t utf8Locale = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    locale_t use = utf8 ? utf8Locale : cLocale;
    if (use) saved_ = uselocale(use);
  }
  ~TThreadLocale() {
    if (saved_) uselocale(saved_);
  }
  TThreadLocale(const TThreadLocale&) = delete;
  TThreadLocale& operator=(const TThreadLocale&) = delete;

private:
  locale_t saved_ = nullptr;
};

bool IsValidUtf8(const QByteArray& bytes) {
  QString text = QString::fromUtf8(bytes);
  return text.toUtf8() == bytes;
}

QString Shown(const QByteArray& bytes) { return DecodeEscapedUtf8(bytes); }

QString ErrnoText(int error) { return SystemErrorText(error); }

QString ArchiveErrorText(archive* a) {
  const char* text = archive_error_string(a);
  return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
}

// Names listed in a folder's ".hidden" file.
QSet<QByteArray> HiddenList(const QByteArray& folder) {
  std::optional<QByteArray> data = ReadWholeFile(folder + "/.hidden");
  return data ? ParseHiddenList(*data) : QSet<QByteArray>();
}

QList<QByteArray> SplitMember(const QByteArray& name) {
  QList<QByteArray> parts;
  for (const QByteArray& part : name.split('/'))
    if (!part.isEmpty() && part != ".") parts << part;
  return parts;
}

bool AllZero(const char* data, size_t size) {
  static const char zeros[BlockSize] = {};
  while (size > 0) {
    size_t n = std::min<size_t>(size, sizeof zeros);
    if (std::memcmp(data, zeros, n) != 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

// Whether the entry at path is the root of a mount (a bind mount on the same file system too).
bool IsMountRoot(const QByteArray& path) {
  struct statx sx {};
  if (::statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &sx) != 0) return false;
  return (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

uint64_t Le(const char* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

// The members whose Unix mode, in the central directory's external attributes, says FIFO,
// device or socket: the ZIP reader hands such members out as regular files. Read from the open
// archive without moving its file offset; an archive whose directory cannot be found gives none
// (the reader then fails on it anyway).
std::map<QByteArray, mode_t> SpecialMembers(int fd) {
  std::map<QByteArray, mode_t> special;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < 22) return special;
  const int64_t size = st.st_size;
  auto readAt = [fd](int64_t at, int64_t length) {
    QByteArray data(static_cast<qsizetype>(length), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < data.size()) {
      const ssize_t n = ::pread(fd, data.data() + got, size_t(data.size() - got), at + got);
      if (n <= 0) break;
      got += n;
    }
    data.truncate(got);
    return data;
  };
  const int64_t tailSize = std::min<int64_t>(size, 22 + 65535);
  const QByteArray tail = readAt(size - tailSize, tailSize);
  const qsizetype end = tail.lastIndexOf(QByteArray("PK\x05\x06", 4));
  if (end < 0 || end + 22 > tail.size()) return special;
  uint64_t count = Le(tail.constData() + end + 10, 2);
  uint64_t dirSize = Le(tail.constData() + end + 12, 4);
  uint64_t dirOffset = Le(tail.constData() + end + 16, 4);
  if ((count == 0xffff || dirSize == 0xffffffffu || dirOffset == 0xffffffffu) && end >= 20 &&
      tail.mid(end - 20, 4) == QByteArray("PK\x06\x07", 4)) {
    const QByteArray record = readAt(static_cast<int64_t>(Le(tail.constData() + end - 20 + 8, 8)), 56);
    if (record.size() < 56 || !record.startsWith(QByteArray("PK\x06\x06", 4))) return special;
    count = Le(record.constData() + 32, 8);
    dirSize = Le(record.constData() + 40, 8);
    dirOffset = Le(record.constData() + 48, 8);
  }
  if (dirSize > (uint64_t(256) << 20) || dirOffset > uint64_t(size) || dirSize > uint64_t(size) - dirOffset)
    return special;
  const QByteArray dir = readAt(static_cast<int64_t>(dirOffset), static_cast<int64_t>(dirSize));
  qsizetype at = 0;
  for (uint64_t i = 0; i < count && at + 46 <= dir.size(); ++i) {
    const char* h = dir.constData() + at;
    if (QByteArray::fromRawData(h, 4) != QByteArray("PK\x01\x02", 4)) break;
    const int system = static_cast<int>(Le(h + 5, 1));
    const qsizetype nameLength = static_cast<qsizetype>(Le(h + 28, 2));
    const qsizetype skip = 46 + nameLength + static_cast<qsizetype>(Le(h + 30, 2) + Le(h + 32, 2));
    const mode_t type = static_cast<mode_t>((Le(h + 38, 4) >> 16) & S_IFMT);
    if (at + 46 + nameLength > dir.size()) break;
    if (system == 3 && type != 0 && type != S_IFREG && type != S_IFDIR && type != S_IFLNK)
      special[QByteArray(h + 46, nameLength)] = type;
    at += skip;
  }
  return special;
}

struct TArchiveReader {
  archive* a = archive_read_new();
  int fd = -1;
  bool damaged = false;  // the file opened but does not read as a ZIP archive
  ~TArchiveReader() {
    archive_read_free(a);
    if (fd >= 0) ::close(fd);
  }
};

// Opens an archive for reading: only a regular file (a FIFO or a device is never waited on, a
// link is not followed), then reads its central directory.
bool OpenReader(TArchiveReader& r, const QByteArray& path, const QByteArray& password,
                QString* error) {
  r.fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (r.fd < 0) {
    *error = errno == ELOOP ? QStringLiteral("it is a link, not an archive") : ErrnoText(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(r.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = QStringLiteral("it is no regular file");
    return false;
  }
  ::fcntl(r.fd, F_SETFL, ::fcntl(r.fd, F_GETFL) & ~O_NONBLOCK);
  archive_read_support_format_zip_seekable(r.a);
  if (!password.isEmpty()) archive_read_add_passphrase(r.a, password.constData());
  if (archive_read_open_fd(r.a, r.fd, BlockSize) != ARCHIVE_OK) {
    r.damaged = true;
    *error = QStringLiteral("it is damaged (cut short or overwritten) or no ZIP archive: %1").arg(ArchiveErrorText(r.a));
    return false;
  }
  return true;
}

}  // namespace

TZipMaster::TZipMaster() = default;
TZipMaster::~TZipMaster() = default;

void TZipMaster::Message(int code, const QString& text) {
  if (OnMessage) OnMessage(code, text);
}

void TZipMaster::Fail(int code, const QString& text) {
  if (errCode_ == ZipOk) errCode_ = code;
  errors_ << text;
  Message(code, text);
}

void TZipMaster::Tick(int64_t bytes) {
  tickBytes_ += bytes;
  while (tickBytes_ >= ProgressBlock) {
    tickBytes_ -= ProgressBlock;
    if (OnProgress) OnProgress(TZipProgrType::ProgressUpdate, QString(), ProgressBlock);
  }
}

int64_t TZipMaster::ContentsSize() const {
  int64_t total = 0;
  for (const TZipContentEntry& e : contents_) total += e.Size;
  return total;
}

bool TZipMaster::IsSafeMemberPath(const QByteArray& name) {
  if (name.isEmpty() || name.startsWith('/') || name.startsWith('\\')) return false;
  if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
    return false;
  for (const QByteArray& part : name.split('/'))
    for (const QByteArray& piece : part.split('\\'))
      if (piece == "..") return false;
  return true;
}

bool TZipMaster::ReadContents(const QByteArray& path, std::vector<TZipContentEntry>& out,
                              QString* error, bool* damaged) {
  out.clear();
  TArchiveReader r;
  if (damaged) *damaged = false;
  if (!OpenReader(r, path, QByteArray(), error)) {
    if (damaged) *damaged = r.damaged;
    return false;
  }
  TThreadLocale locale(true);
  archive_entry* e = nullptr;
  for (;;) {
    int rc = archive_read_next_header(r.a, &e);
    if (rc == ARCHIVE_EOF) break;
    if (rc < ARCHIVE_WARN) {
      *error = QStringLiteral("it is damaged: %1").arg(ArchiveErrorText(r.a));
      if (damaged) *damaged = true;
      return false;
    }
    TZipContentEntry entry;
    const char* name = archive_entry_pathname(e);
    entry.Name = name ? QByteArray(name) : QByteArray();
    entry.Type = archive_entry_filetype(e);
    entry.Mode = archive_entry_perm(e);
    entry.Size = archive_entry_size_is_set(e) ? archive_entry_size(e) : 0;
    entry.MTime = archive_entry_mtime(e);
    if (const char* target = archive_entry_symlink(e)) entry.LinkTarget = target;
    entry.Encrypted = archive_entry_is_encrypted(e);
    if (entry.Type != AE_IFREG) entry.Size = entry.Type == AE_IFLNK ? entry.LinkTarget.size() : 0;
    out.push_back(entry);
  }
  const std::map<QByteArray, mode_t> special = SpecialMembers(r.fd);
  for (TZipContentEntry& entry : out) {
    auto it = special.find(entry.Name);
    if (it != special.end()) {
      entry.Type = it->second;
      entry.Size = 0;
    }
  }
  return true;
}

void TZipMaster::SetZipFilename(const QByteArray& hostPath) {
  zipFilename_ = hostPath;
  contents_.clear();
  struct stat st {};
  if (::stat(hostPath.constData(), &st) != 0) return;
  QString error;
  if (!ReadContents(hostPath, contents_, &error))
    Message(ZipErrOpen, QStringLiteral("Cannot read the archive %1: %2").arg(Shown(hostPath), error));
}

// ---------------------------------------------------------------------------------------------
// Adding

bool TZipMaster::CollectSources(std::vector<TAdded>& out) {
  const QByteArray root = RootDir.isEmpty() ? QByteArray(".") : RootDir;
  const bool hidden = AddOptions & AddHiddenFiles;
  const bool recurse = AddOptions & AddRecurseDirs;
  const bool dirNames = AddOptions & AddDirNames;

  auto makeItem = [&](const QByteArray& host, const QByteArray& member, const struct stat& st) {
    TAdded item;
    item.HostPath = host;
    item.Name = dirNames ? member : member.mid(member.lastIndexOf('/') + 1);
    item.Type = st.st_mode & S_IFMT;
    item.Mode = st.st_mode & 07777;
    item.Size = S_ISREG(st.st_mode) ? st.st_size : 0;
    item.Dev = st.st_dev;
    item.Ino = st.st_ino;
    item.MTimeSec = st.st_mtim.tv_sec;
    item.MTimeNsec = st.st_mtim.tv_nsec;
    return item;
  };
  auto addLeaf = [&](const QByteArray& host, const QByteArray& member, const struct stat& st) {
    if (S_ISREG(st.st_mode)) {
      out.push_back(makeItem(host, member, st));
    } else if (S_ISLNK(st.st_mode)) {
      TAdded item = makeItem(host, member, st);
      QByteArray target(int(st.st_size) + 256, '\0');
      ssize_t n = ::readlink(host.constData(), target.data(), size_t(target.size()));
      if (n < 0) {
        Fail(ZipErrRead, QStringLiteral("Cannot read the link %1: %2").arg(Shown(host), ErrnoText(errno)));
        return false;
      }
      target.truncate(int(n));
      item.LinkTarget = target;
      item.Size = 0;
      out.push_back(item);
    } else {
      Message(0, QStringLiteral("%1 is a device, socket or pipe; a ZIP archive cannot hold it, so it "
                                "is left where it is").arg(Shown(host)));
    }
    return true;
  };

  std::function<bool(const QByteArray&, const QByteArray&, dev_t)> walk =
      [&](const QByteArray& host, const QByteArray& member, dev_t dev) -> bool {
    if (OnBusy) OnBusy();
    if (Cancelled()) return false;
    DIR* dir = ::opendir(host.constData());
    if (!dir) {
      Fail(ZipErrRead, QStringLiteral("Cannot read the folder %1: %2").arg(Shown(host), ErrnoText(errno)));
      return false;
    }
    std::vector<QByteArray> names;
    errno = 0;
    while (dirent* d = ::readdir(dir)) {
      if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
      names.emplace_back(d->d_name);
    }
    int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
      Fail(ZipErrRead, QStringLiteral("Cannot read the folder %1: %2").arg(Shown(host), ErrnoText(readError)));
      return false;
    }
    std::sort(names.begin(), names.end());
    const QSet<QByteArray> hiddenNames = hidden ? QSet<QByteArray>() : HiddenList(host);
    for (const QByteArray& name : names) {
      if (!hidden && (name.startsWith('.') || hiddenNames.contains(name))) continue;
      const QByteArray path = host + '/' + name;
      const QByteArray sub = member + '/' + name;
      struct stat st {};
      if (::lstat(path.constData(), &st) != 0) {
        Fail(ZipErrRead, QStringLiteral("Cannot read %1: %2").arg(Shown(path), ErrnoText(errno)));
        return false;
      }
      if ((S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)) && (st.st_dev != dev || IsMountRoot(path))) {
        if (S_ISDIR(st.st_mode) && !recurse) continue;
        mountsLeftOut_ << path;
        Message(0, QStringLiteral("%1 is another file system or a mount; it is left out").arg(Shown(path)));
        continue;
      }
      if (S_ISDIR(st.st_mode)) {
        if (!recurse) continue;
        if (std::find(ExcludeFolders.begin(), ExcludeFolders.end(),
                      std::make_pair(st.st_dev, st.st_ino)) != ExcludeFolders.end())
          continue;
        if (dirNames) out.push_back(makeItem(path, sub + '/', st));
        if (!walk(path, sub, dev)) return false;
      } else if (!addLeaf(path, sub, st)) {
        return false;
      }
    }
    return true;
  };

  for (const QString& spec : FSpecArgs) {
    QList<QByteArray> parts;
    QString s = spec;
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    for (const QString& part : s.split(QLatin1Char('/'), Qt::SkipEmptyParts))
      if (part != QLatin1String(".")) parts << EncodeHostName(part);
    if (!parts.isEmpty() && (parts.last() == "*.*" || parts.last() == "*")) parts.removeLast();
    if (parts.isEmpty()) {
      Fail(ZipErrRead, QStringLiteral("Nothing to add in \"%1\"").arg(spec));
      return false;
    }
    const QByteArray rel = parts.join('/');
    const QByteArray host = root + '/' + rel;
    struct stat st {};
    if (::lstat(host.constData(), &st) != 0) {
      Fail(ZipErrRead, QStringLiteral("Cannot read %1: %2").arg(Shown(host), ErrnoText(errno)));
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      if (dirNames) out.push_back(makeItem(host, rel + '/', st));
      if (!walk(host, rel, st.st_dev)) return false;
    } else if (!addLeaf(host, rel, st)) {
      return false;
    }
  }
  return !Cancelled();
}

bool TZipMaster::WriteArchive(const QByteArray& tempPath, const std::vector<TAdded>& items,
                              const QByteArray& password) {
  int fd = ::open(tempPath.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    Fail(ZipErrOpen, QStringLiteral("Cannot create %1: %2").arg(Shown(tempPath), ErrnoText(errno)));
    return false;
  }
  archive* a = archive_write_new();
  bool ok = true;
  auto archiveFail = [&](int code, const QString& what) {
    Fail(code, QStringLiteral("%1: %2").arg(what, ArchiveErrorText(a)));
    ok = false;
  };
  archive_write_set_format_zip(a);
  archive_write_set_bytes_per_block(a, BlockSize);
  archive_write_set_bytes_in_last_block(a, 1);
  const int level = std::clamp(AddCompLevel, 0, 9);
  if (level == 0) {
    if (archive_write_set_format_option(a, "zip", "compression", "store") != ARCHIVE_OK)
      archiveFail(ZipErrOpen, QStringLiteral("Cannot set the compression"));
  } else if (archive_write_set_format_option(a, "zip", "compression-level",
                                             QByteArray::number(level).constData()) != ARCHIVE_OK) {
    archiveFail(ZipErrOpen, QStringLiteral("Cannot set the compression level"));
  }
  if (ok && !password.isEmpty()) {
    if (archive_write_set_format_option(a, "zip", "encryption", "aes256") != ARCHIVE_OK ||
        archive_write_set_passphrase(a, password.constData()) != ARCHIVE_OK)
      archiveFail(ZipErrOpen, QStringLiteral("Cannot encrypt the archive"));
  }
  if (ok && archive_write_open_fd(a, fd) != ARCHIVE_OK)
    archiveFail(ZipErrOpen, QStringLiteral("Cannot create %1").arg(Shown(tempPath)));

  std::vector<char> buffer(BlockSize);
  static const char zeros[BlockSize] = {};
  for (const TAdded& item : items) {
    if (!ok) break;
    if (Cancelled()) {
      ok = false;
      break;
    }
    if (OnProgress) OnProgress(TZipProgrType::NewFile, Shown(item.Name), item.Size);
    archive_entry* e = archive_entry_new();
    archive_entry_copy_pathname(e, item.Name.constData());
    archive_entry_set_filetype(e, item.Type);
    archive_entry_set_perm(e, item.Mode);
    archive_entry_set_size(e, item.Size);
    archive_entry_set_mtime(e, item.MTimeSec, item.MTimeNsec);
    if (item.Type == S_IFLNK) archive_entry_copy_symlink(e, item.LinkTarget.constData());
    int rc;
    {
      TThreadLocale locale(IsValidUtf8(item.Name));
      rc = archive_write_header(a, e);
    }
    archive_entry_free(e);
    if (rc < ARCHIVE_WARN) {
      archiveFail(ZipErrWrite, QStringLiteral("Cannot add %1").arg(Shown(item.HostPath)));
      break;
    }
    if (item.Type != S_IFREG || item.Size == 0) {
      if (item.Type == S_IFREG) {  // an empty file: make sure it still is what was listed
        struct stat st {};
        if (::lstat(item.HostPath.constData(), &st) != 0 || st.st_size != 0) {
          Fail(ZipErrRead, QStringLiteral("%1 changed while it was archived").arg(Shown(item.HostPath)));
          ok = false;
        }
      }
      if (ok && archive_write_finish_entry(a) < ARCHIVE_WARN)
        archiveFail(ZipErrWrite, QStringLiteral("Cannot add %1").arg(Shown(item.HostPath)));
      continue;
    }
    int in = ::open(item.HostPath.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0 || st.st_ino != item.Ino || st.st_size != item.Size) {
      Fail(ZipErrRead, QStringLiteral("Cannot read %1: %2")
                           .arg(Shown(item.HostPath),
                                in < 0 ? ErrnoText(errno) : QStringLiteral("it changed while it was archived")));
      if (in >= 0) ::close(in);
      ok = false;
      break;
    }
    // Holes of a sparse file are fed as zeros without reading them.
    int64_t pos = 0;
    auto feed = [&](const char* data, int64_t n) {
      if (archive_write_data(a, data, size_t(n)) < 0) {
        archiveFail(ZipErrWrite, QStringLiteral("Cannot add %1").arg(Shown(item.HostPath)));
        return false;
      }
      Tick(n);
      if (Cancelled()) {
        ok = false;
        return false;
      }
      return true;
    };
    while (ok && pos < item.Size) {
      off_t data = ::lseek(in, pos, SEEK_DATA);
      if (data < 0) data = errno == ENXIO ? item.Size : pos;
      data = std::min<off_t>(data, item.Size);
      while (ok && pos < data) {
        int64_t n = std::min<int64_t>(BlockSize, data - pos);
        if (!feed(zeros, n)) break;
        pos += n;
      }
      if (!ok || pos >= item.Size) break;
      off_t hole = ::lseek(in, pos, SEEK_HOLE);
      if (hole < 0 || hole <= pos) hole = item.Size;
      hole = std::min<off_t>(hole, item.Size);
      while (ok && pos < hole) {
        ssize_t n = ::pread(in, buffer.data(), size_t(std::min<int64_t>(BlockSize, hole - pos)), pos);
        if (n <= 0) {
          Fail(ZipErrRead, QStringLiteral("Cannot read %1: %2")
                               .arg(Shown(item.HostPath),
                                    n < 0 ? ErrnoText(errno) : QStringLiteral("it became shorter")));
          ok = false;
          break;
        }
        if (!feed(buffer.data(), n)) break;
        pos += n;
      }
    }
    struct stat after {};
    if (ok && (::fstat(in, &after) != 0 || after.st_size != item.Size ||
               after.st_mtim.tv_sec != item.MTimeSec || after.st_mtim.tv_nsec != item.MTimeNsec)) {
      Fail(ZipErrRead, QStringLiteral("%1 changed while it was archived").arg(Shown(item.HostPath)));
      ok = false;
    }
    ::close(in);
    if (ok && archive_write_finish_entry(a) < ARCHIVE_WARN)
      archiveFail(ZipErrWrite, QStringLiteral("Cannot add %1").arg(Shown(item.HostPath)));
  }
  if (ok && archive_write_close(a) != ARCHIVE_OK)
    archiveFail(ZipErrWrite, QStringLiteral("Cannot finish %1").arg(Shown(tempPath)));
  archive_write_free(a);
  if (ok && ::fsync(fd) != 0) {
    Fail(ZipErrWrite, QStringLiteral("Cannot write %1: %2").arg(Shown(tempPath), ErrnoText(errno)));
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    Fail(ZipErrWrite, QStringLiteral("Cannot write %1: %2").arg(Shown(tempPath), ErrnoText(errno)));
    ok = false;
  }
  return ok;
}

bool TZipMaster::VerifyArchive(const QByteArray& path, const std::vector<TAdded>& items,
                               const QByteArray& password) {
  TArchiveReader r;
  QString error;
  if (!OpenReader(r, path, password, &error)) {
    Fail(ZipErrVerify, QStringLiteral("The archive written cannot be read back: %1").arg(error));
    return false;
  }
  TThreadLocale locale(true);
  archive_entry* e = nullptr;
  size_t index = 0;
  const void* block = nullptr;
  size_t size = 0;
  la_int64_t offset = 0;
  for (;;) {
    int rc = archive_read_next_header(r.a, &e);
    if (rc == ARCHIVE_EOF) break;
    if (rc < ARCHIVE_WARN || index >= items.size()) {
      Fail(ZipErrVerify, QStringLiteral("The archive written does not read back: %1").arg(ArchiveErrorText(r.a)));
      return false;
    }
    const TAdded& item = items[index++];
    const char* name = archive_entry_pathname(e);
    const char* link = archive_entry_symlink(e);
    if (!name || item.Name != name || archive_entry_filetype(e) != item.Type ||
        (item.Type == S_IFREG && archive_entry_size(e) != item.Size) ||
        (item.Type == S_IFLNK && (!link || item.LinkTarget != link))) {
      Fail(ZipErrVerify, QStringLiteral("The archive written does not hold %1 as it was added")
                             .arg(Shown(item.HostPath)));
      return false;
    }
    int64_t total = 0;
    for (;;) {
      if (OnBusy) OnBusy();
      if (Cancelled()) return false;
      rc = archive_read_data_block(r.a, &block, &size, &offset);
      if (rc == ARCHIVE_EOF) break;
      if (rc != ARCHIVE_OK) {
        Fail(ZipErrVerify, QStringLiteral("The archive written is wrong at %1: %2")
                               .arg(Shown(item.HostPath), ArchiveErrorText(r.a)));
        return false;
      }
      total += int64_t(size);
    }
    if (item.Type == S_IFREG && total != item.Size) {
      Fail(ZipErrVerify, QStringLiteral("The archive written holds %1 with a wrong size").arg(Shown(item.HostPath)));
      return false;
    }
  }
  if (index != items.size()) {
    Fail(ZipErrVerify, QStringLiteral("The archive written lacks members"));
    return false;
  }
  return true;
}

bool TZipMaster::Add() {
  errors_.clear();
  errCode_ = ZipOk;
  successCnt_ = 0;
  added_.clear();
  kept_.clear();
  mountsLeftOut_.clear();
  addedBytes_ = 0;
  tickBytes_ = 0;
  if (zipFilename_.isEmpty()) {
    Fail(ZipErrOpen, QStringLiteral("No archive name was given"));
    return false;
  }
  struct stat st {};
  if (::lstat(zipFilename_.constData(), &st) == 0) {
    Fail(ZipErrExists, QStringLiteral("%1 exists already").arg(Shown(zipFilename_)));
    return false;
  }
  std::vector<TAdded> items;
  if (!CollectSources(items)) {
    if (Cancelled()) Fail(ZipErrCancelled, QStringLiteral("Stopped"));
    return false;
  }
  QByteArray password;
  if (AddOptions & AddEncrypt) {
    std::optional<QByteArray> given = OnPassword ? OnPassword(TZipPasswordPurpose::Encrypt) : std::nullopt;
    if (!given || given->isEmpty()) {
      Fail(ZipErrPassword, QStringLiteral("No password was given"));
      return false;
    }
    password = *given;
  }
  int64_t total = 0;
  for (const TAdded& item : items) total += item.Size;
  if (OnProgress) {
    OnProgress(TZipProgrType::TotalFiles2Process, QString(), int64_t(items.size()));
    OnProgress(TZipProgrType::TotalSize2Process, QString(), total);
  }

  const QByteArray folder = FolderOf(zipFilename_);
  const QByteArray base = zipFilename_.mid(zipFilename_.lastIndexOf('/') + 1);
  const QByteArray temp = folder + "/." + base + ".part" +
                          QByteArray::number(QRandomGenerator::global()->generate(), 16);
  // The temporary file stays locked until it is renamed or removed, so that a later archive run
  // can tell the leftovers of a killed run (unlocked) from a run under way.
  const int lockFd = ::open(temp.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (lockFd < 0) {
    Fail(ZipErrOpen, QStringLiteral("Cannot create %1: %2").arg(Shown(temp), ErrnoText(errno)));
    return false;
  }
  ::flock(lockFd, LOCK_EX);
  struct TCloser {
    int fd;
    ~TCloser() { ::close(fd); }
  } closer{lockFd};
  bool ok = WriteArchive(temp, items, password) && !Cancelled() &&
            VerifyArchive(temp, items, password) && !Cancelled();
  if (ok && OnBeforeRename && !OnBeforeRename()) {
    Fail(ZipErrWrite, QStringLiteral("The archive %1 was not kept").arg(Shown(zipFilename_)));
    ok = false;
  }
  if (ok && ::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, zipFilename_.constData(),
                        RENAME_NOREPLACE) != 0) {
    Fail(errno == EEXIST ? ZipErrExists : ZipErrWrite,
         QStringLiteral("Cannot name the archive %1: %2").arg(Shown(zipFilename_), ErrnoText(errno)));
    ok = false;
  }
  if (!ok) {
    ::unlink(temp.constData());
    if (Cancelled()) Fail(ZipErrCancelled, QStringLiteral("Stopped"));
    return false;
  }
  int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  added_ = items;
  successCnt_ = int(items.size());
  addedBytes_ = total;
  if (OnProgress) OnProgress(TZipProgrType::EndOfBatch, QString(), 0);
  SetZipFilename(zipFilename_);
  if (AddOptions & AddMove) DeleteAddedSources();
  return true;
}

void TZipMaster::RemoveStaleParts(const QByteArray& folder) {
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return;
  std::vector<QByteArray> names;
  while (dirent* d = ::readdir(dir)) {
    const QByteArray name(d->d_name);
    if (name.startsWith('.') && name.contains(".part")) names.push_back(name);
  }
  ::closedir(dir);
  for (const QByteArray& name : names) {
    const QByteArray path = folder + '/' + name;
    int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlink(path.constData());
    ::close(fd);
  }
}

bool TZipMaster::DeleteAddedSources() {
  kept_.clear();
  bool all = true;
  int count = 0;
  for (auto it = added_.rbegin(); it != added_.rend(); ++it) {
    if (++count % 32 == 0 && OnBusy) OnBusy();
    if (Cancelled()) {
      // Stopped between entries: what is left is still in place (and in the archive too).
      Fail(ZipErrCancelled, QStringLiteral("Stopped; the files not deleted yet are kept"));
      return false;
    }
    const TAdded& item = *it;
    struct stat st {};
    if (::lstat(item.HostPath.constData(), &st) != 0) continue;  // gone already
    if (item.Type == S_IFDIR) {
      if (S_ISDIR(st.st_mode) && st.st_ino == item.Ino && ::rmdir(item.HostPath.constData()) != 0 &&
          errno != ENOTEMPTY && errno != EEXIST)
        Message(0, QStringLiteral("Cannot remove the folder %1: %2").arg(Shown(item.HostPath), ErrnoText(errno)));
      continue;
    }
    const bool same = (st.st_mode & S_IFMT) == item.Type && st.st_dev == item.Dev &&
                      st.st_ino == item.Ino && (item.Type != S_IFREG || st.st_size == item.Size) &&
                      st.st_mtim.tv_sec == item.MTimeSec && st.st_mtim.tv_nsec == item.MTimeNsec;
    if (!same) {
      kept_ << item.HostPath;
      Message(0, QStringLiteral("%1 changed after it was archived; it is kept").arg(Shown(item.HostPath)));
      all = false;
      continue;
    }
    if (::unlink(item.HostPath.constData()) != 0) {
      kept_ << item.HostPath;
      Fail(ZipErrWrite, QStringLiteral("Cannot delete %1: %2").arg(Shown(item.HostPath), ErrnoText(errno)));
      all = false;
    }
  }
  return all;
}

// ---------------------------------------------------------------------------------------------
// Extracting

std::optional<QByteArray> TZipMaster::FindPassword() {
  // The first encrypted member with data tells whether a password is right.
  auto works = [&](const QByteArray& password) {
    TArchiveReader r;
    QString error;
    if (!OpenReader(r, zipFilename_, password, &error)) return false;
    TThreadLocale locale(true);
    archive_entry* e = nullptr;
    while (archive_read_next_header(r.a, &e) >= ARCHIVE_WARN) {
      if (!archive_entry_is_encrypted(e) || archive_entry_size(e) == 0) continue;
      const void* block = nullptr;
      size_t size = 0;
      la_int64_t offset = 0;
      return archive_read_data_block(r.a, &block, &size, &offset) >= ARCHIVE_OK;
    }
    return true;
  };
  TZipPasswordPurpose purpose = TZipPasswordPurpose::Decrypt;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::optional<QByteArray> given = OnPassword ? OnPassword(purpose) : std::nullopt;
    if (!given) return std::nullopt;
    if (!given->isEmpty() && works(*given)) return given;
    purpose = TZipPasswordPurpose::Retry;
  }
  return std::nullopt;
}

namespace {

// Opens (creating when missing) the folders of parts[0, count) below baseFd, never following a
// link. Returns the descriptor of the last one, or -1 with errno set.
int OpenFolders(int baseFd, const QList<QByteArray>& parts, qsizetype count, bool create) {
  int fd = ::dup(baseFd);
  for (qsizetype i = 0; i < count && fd >= 0; ++i) {
    int next = ::openat(fd, parts[i].constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && errno == ENOENT && create) {
      if (::mkdirat(fd, parts[i].constData(), 0755) != 0 && errno != EEXIST) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
      }
      next = ::openat(fd, parts[i].constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    int saved = errno;
    ::close(fd);
    errno = saved;
    fd = next;
  }
  return fd;
}

// The folders, files and links an archive's members make, each name once: a node per path, found
// from its folder's node and its own name, so that a member is placed in time linear in its
// name's length, however deep.
class TMemberTree {
public:
  enum TKind : unsigned char { Implied, Dir, File, Link };  // Implied: a folder no member names

  // The node of name in the folder node parent, made when missing.
  int Child(int parent, const QByteArray& name) {
    QByteArray key = QByteArray::number(parent);
    key += '/';
    key += name;
    const auto found = children_.constFind(key);
    if (found != children_.cend()) return *found;
    const int node = int(parents_.size());
    children_.insert(key, node);
    parents_.push_back(parent);
    kinds_.push_back(Implied);
    return node;
  }
  TKind Kind(int node) const { return kinds_[size_t(node)]; }
  void SetKind(int node, TKind kind) { kinds_[size_t(node)] = kind; }
  // For each node: whether one of the folders above it is a link or a file. A node is made after
  // its parent, so one pass in order does.
  std::vector<bool> BelowLinkOrFile() const {
    std::vector<bool> below(parents_.size(), false);
    for (size_t node = 1; node < parents_.size(); ++node) {
      const size_t parent = size_t(parents_[node]);
      below[node] = below[parent] || kinds_[parent] == File || kinds_[parent] == Link;
    }
    return below;
  }

private:
  QHash<QByteArray, int> children_;
  std::vector<int> parents_{-1};  // node 0: the target folder
  std::vector<TKind> kinds_{Dir};
};

QByteArray TempName(const QByteArray& name) {
  return "." + name.left(200) + ".korvane-" +
         QByteArray::number(QRandomGenerator::global()->generate(), 16);
}

}  // namespace

bool TZipMaster::Extract() {
  errors_.clear();
  errCode_ = ZipOk;
  successCnt_ = 0;
  tickBytes_ = 0;
  QString error;
  bool damaged = false;
  if (!ReadContents(zipFilename_, contents_, &error, &damaged)) {
    Fail(damaged ? ZipErrCorrupt : ZipErrOpen,
         QStringLiteral("Cannot read the archive %1: %2").arg(Shown(zipFilename_), error));
    return false;
  }
  // Every member is checked before anything is written, each in one walk down its folders.
  TMemberTree tree;
  std::vector<std::pair<int, const TZipContentEntry*>> accepted;  // node, member
  for (const TZipContentEntry& e : contents_) {
    QString why;
    if (e.Name.size() > MaxMemberNameBytes) {
      why = QStringLiteral("its name is longer than %1 bytes").arg(MaxMemberNameBytes);
    } else if (!IsSafeMemberPath(e.Name)) {
      why = QStringLiteral("its path leaves the target folder");
    } else if (e.Type != AE_IFREG && e.Type != AE_IFDIR && e.Type != AE_IFLNK) {
      why = QStringLiteral("it is no file, folder or link");
    }
    const QList<QByteArray> parts = why.isEmpty() ? SplitMember(e.Name) : QList<QByteArray>();
    if (why.isEmpty() && parts.isEmpty() && e.Type != AE_IFDIR) why = QStringLiteral("it has no name");
    int node = 0;
    for (qsizetype i = 0; i < parts.size() && why.isEmpty(); ++i) {
      node = tree.Child(node, parts[i]);
      if (i + 1 == parts.size()) break;
      if (tree.Kind(node) == TMemberTree::Link) why = QStringLiteral("it would be written through a link");
      else if (tree.Kind(node) == TMemberTree::File) why = QStringLiteral("it would be written below a file");
    }
    if (why.isEmpty() && !parts.isEmpty()) {
      const TMemberTree::TKind kind = tree.Kind(node);
      if (e.Type == AE_IFDIR ? (kind == TMemberTree::File || kind == TMemberTree::Link) : kind != TMemberTree::Implied)
        why = QStringLiteral("another member has the same name");
    }
    if (!why.isEmpty()) {
      const bool tooLong = e.Name.size() > MaxMemberNameBytes;
      Fail(ZipErrUnsafe, QStringLiteral("Refused member \"%1\": %2")
                             .arg(tooLong ? Shown(e.Name.left(100)) + QStringLiteral("...") : Shown(e.Name), why));
      continue;
    }
    if (parts.isEmpty()) continue;  // "./": the target folder itself
    tree.SetKind(node, e.Type == AE_IFDIR ? TMemberTree::Dir : e.Type == AE_IFLNK ? TMemberTree::Link : TMemberTree::File);
    accepted.emplace_back(node, &e);
  }
  // A member that comes before the link or file it would lie below.
  const std::vector<bool> below = tree.BelowLinkOrFile();
  for (const auto& [node, e] : accepted)
    if (below[size_t(node)])
      Fail(ZipErrUnsafe, QStringLiteral("Refused member \"%1\": it would be written through a link or below a file")
                             .arg(Shown(e->Name)));
  if (errCode_ != ZipOk) return false;

  if (ExtrBaseDir.isEmpty()) {
    Fail(ZipErrOpen, QStringLiteral("No folder to restore into was given"));
    return false;
  }
  int64_t total = ContentsSize();
  QByteArray nearest = ExtrBaseDir;  // the deepest folder of the target that exists
  for (struct stat st {}; ::stat(nearest.constData(), &st) != 0 && nearest != "/" && nearest != ".";)
    nearest = FolderOf(nearest);
  struct statvfs vfs {};
  if (::statvfs(nearest.constData(), &vfs) == 0) {
    const uint64_t unit = std::max<uint64_t>(vfs.f_frsize, 1);
    const uint64_t freeBytes = vfs.f_bavail > UINT64_MAX / unit ? UINT64_MAX : vfs.f_bavail * unit;
    if (uint64_t(total) > freeBytes) {
      Fail(ZipErrSpace, QStringLiteral("The archive holds %1 bytes, more than the %2 bytes free in %3")
                            .arg(total).arg(freeBytes).arg(Shown(nearest)));
      return false;
    }
  }
  password_.clear();
  if (std::any_of(contents_.begin(), contents_.end(), [](const TZipContentEntry& e) { return e.Encrypted; })) {
    std::optional<QByteArray> password = FindPassword();
    if (!password) {
      Fail(ZipErrPassword, QStringLiteral("No right password was given for %1").arg(Shown(zipFilename_)));
      return false;
    }
    password_ = *password;
  }
  // Nothing in the target is replaced: every member's place is looked at before anything is
  // written (and each file is renamed into place only where nothing is).
  if (!ExtrReplace) {
    QList<QByteArray> inTheWay;
    for (const TZipContentEntry& e : contents_) {
      const QList<QByteArray> parts = SplitMember(e.Name);
      if (parts.isEmpty()) continue;
      const QByteArray path = ExtrBaseDir + '/' + parts.join('/');
      struct stat st {};
      if (::lstat(path.constData(), &st) != 0) continue;
      if (e.Type == AE_IFDIR && S_ISDIR(st.st_mode)) continue;  // folders are merged
      inTheWay << path;
    }
    for (qsizetype i = 0; i < inTheWay.size() && i < 10; ++i)
      Fail(ZipErrExists, QStringLiteral("%1 is in the way; it is not replaced").arg(Shown(inTheWay[i])));
    if (inTheWay.size() > 10)
      Fail(ZipErrExists, QStringLiteral("%1 more entries are in the way").arg(inTheWay.size() - 10));
    if (!inTheWay.isEmpty()) return false;
  }
  // Make the base folder (and its parents) when missing; a restore that writes nothing takes
  // them away again.
  std::vector<QByteArray> madeFolders;
  {
    QByteArray built;
    for (const QByteArray& part : ExtrBaseDir.split('/')) {
      if (part.isEmpty()) {
        if (built.isEmpty()) built = "/";
        continue;
      }
      built = built.endsWith('/') ? built + part : built + '/' + part;
      if (::mkdir(built.constData(), 0755) == 0) {
        madeFolders.push_back(built);
      } else if (errno != EEXIST) {
        Fail(ZipErrWrite, QStringLiteral("Cannot create the folder %1: %2").arg(Shown(built), ErrnoText(errno)));
        for (auto it = madeFolders.rbegin(); it != madeFolders.rend(); ++it) ::rmdir(it->constData());
        return false;
      }
    }
  }
  struct TUnmake {
    std::vector<QByteArray>& folders;
    const int& successes;
    ~TUnmake() {
      if (successes == 0)
        for (auto it = folders.rbegin(); it != folders.rend(); ++it) ::rmdir(it->constData());
    }
  } unmake{madeFolders, successCnt_};

  int baseFd = ::open(ExtrBaseDir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (baseFd < 0) {
    Fail(ZipErrOpen, QStringLiteral("Cannot open the folder %1: %2").arg(Shown(ExtrBaseDir), ErrnoText(errno)));
    return false;
  }
  TArchiveReader r;
  if (!OpenReader(r, zipFilename_, password_, &error)) {
    ::close(baseFd);
    Fail(ZipErrOpen, QStringLiteral("Cannot read the archive %1: %2").arg(Shown(zipFilename_), error));
    return false;
  }
  if (OnProgress) {
    OnProgress(TZipProgrType::TotalFiles2Process, QString(), int64_t(contents_.size()));
    OnProgress(TZipProgrType::TotalSize2Process, QString(), total);
  }
  struct TDirFix {
    QList<QByteArray> Parts;
    mode_t Mode;
    int64_t MTime;
  };
  std::vector<TDirFix> dirFixes;
  TThreadLocale locale(true);
  archive_entry* e = nullptr;
  size_t index = 0;
  for (;;) {
    if (Cancelled()) {
      Fail(ZipErrCancelled, QStringLiteral("Stopped"));
      break;
    }
    int rc = archive_read_next_header(r.a, &e);
    if (rc == ARCHIVE_EOF) break;
    if (rc < ARCHIVE_WARN || index >= contents_.size()) {
      Fail(ZipErrCorrupt, QStringLiteral("The archive %1 is damaged: %2").arg(Shown(zipFilename_), ArchiveErrorText(r.a)));
      break;
    }
    const TZipContentEntry& entry = contents_[index++];
    const char* name = archive_entry_pathname(e);
    if (!name || entry.Name != name) {
      Fail(ZipErrCorrupt, QStringLiteral("The archive %1 changed while it was read").arg(Shown(zipFilename_)));
      break;
    }
    if (OnProgress) OnProgress(TZipProgrType::NewFile, Shown(entry.Name), entry.Size);
    const QList<QByteArray> parts = SplitMember(entry.Name);
    if (parts.isEmpty()) {  // "./": the base folder itself
      ++successCnt_;
      continue;
    }
    const QByteArray leaf = parts.last();
    int dirFd = OpenFolders(baseFd, parts, parts.size() - 1, true);
    if (dirFd < 0) {
      Fail(ZipErrWrite, QStringLiteral("Cannot create the folder for %1: %2").arg(Shown(entry.Name), ErrnoText(errno)));
      continue;
    }
    struct stat existing {};
    const bool exists = ::fstatat(dirFd, leaf.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (entry.Type == AE_IFDIR) {
      if (exists && !S_ISDIR(existing.st_mode)) {
        Fail(ZipErrWrite, QStringLiteral("Cannot restore the folder %1: a file of that name is in the way").arg(Shown(entry.Name)));
      } else if (!exists && ::mkdirat(dirFd, leaf.constData(), 0755) != 0) {
        Fail(ZipErrWrite, QStringLiteral("Cannot create the folder %1: %2").arg(Shown(entry.Name), ErrnoText(errno)));
      } else {
        // A folder that was there keeps its own permissions and times.
        if (!exists || ExtrReplace) dirFixes.push_back({parts, entry.Mode, entry.MTime});
        ++successCnt_;
      }
      ::close(dirFd);
      continue;
    }
    if (exists && S_ISDIR(existing.st_mode)) {
      Fail(ZipErrWrite, QStringLiteral("Cannot restore %1: a folder of that name is in the way").arg(Shown(entry.Name)));
      ::close(dirFd);
      continue;
    }
    const QByteArray temp = TempName(leaf);
    bool ok = true;
    if (entry.Type == AE_IFLNK) {
      if (::symlinkat(entry.LinkTarget.constData(), dirFd, temp.constData()) != 0) {
        Fail(ZipErrWrite, QStringLiteral("Cannot restore the link %1: %2").arg(Shown(entry.Name), ErrnoText(errno)));
        ok = false;
      } else {
        struct timespec times[2] = {{0, UTIME_OMIT}, {entry.MTime, 0}};
        ::utimensat(dirFd, temp.constData(), times, AT_SYMLINK_NOFOLLOW);
      }
    } else {
      int out = ::openat(dirFd, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (out < 0) {
        Fail(ZipErrWrite, QStringLiteral("Cannot restore %1: %2").arg(Shown(entry.Name), ErrnoText(errno)));
        ::close(dirFd);
        continue;
      }
      const void* block = nullptr;
      size_t size = 0;
      la_int64_t offset = 0;
      int64_t end = 0;
      for (;;) {
        if (Cancelled()) {
          ok = false;
          break;
        }
        rc = archive_read_data_block(r.a, &block, &size, &offset);
        if (rc == ARCHIVE_EOF) break;
        if (rc != ARCHIVE_OK) {
          Fail(ZipErrCorrupt, QStringLiteral("Cannot restore %1: %2").arg(Shown(entry.Name), ArchiveErrorText(r.a)));
          ok = false;
          break;
        }
        if (offset < 0 || offset + int64_t(size) > entry.Size) {
          Fail(ZipErrCorrupt, QStringLiteral("Cannot restore %1: it holds more data than its size says").arg(Shown(entry.Name)));
          ok = false;
          break;
        }
        if (!AllZero(static_cast<const char*>(block), size)) {
          const char* p = static_cast<const char*>(block);
          size_t left = size;
          int64_t at = offset;
          while (left > 0) {
            ssize_t n = ::pwrite(out, p, left, at);
            if (n <= 0) break;
            p += n;
            left -= size_t(n);
            at += n;
          }
          if (left > 0) {
            Fail(ZipErrWrite, QStringLiteral("Cannot write %1: %2").arg(Shown(entry.Name), ErrnoText(errno)));
            ok = false;
            break;
          }
        }
        end = std::max<int64_t>(end, offset + int64_t(size));
        Tick(int64_t(size));
      }
      if (ok && end != entry.Size) {
        Fail(ZipErrCorrupt, QStringLiteral("Cannot restore %1: its data is shorter than its size").arg(Shown(entry.Name)));
        ok = false;
      }
      if (ok && ::ftruncate(out, entry.Size) != 0) {
        Fail(ZipErrWrite, QStringLiteral("Cannot write %1: %2").arg(Shown(entry.Name), ErrnoText(errno)));
        ok = false;
      }
      if (ok) {
        ::fchmod(out, entry.Mode & 0777);
        struct timespec times[2] = {{0, UTIME_OMIT}, {entry.MTime, 0}};
        ::futimens(out, times);
      }
      if (::close(out) != 0 && ok) {
        Fail(ZipErrWrite, QStringLiteral("Cannot write %1: %2").arg(Shown(entry.Name), ErrnoText(errno)));
        ok = false;
      }
    }
    if (ok && ::renameat2(dirFd, temp.constData(), dirFd, leaf.constData(), ExtrReplace ? 0 : RENAME_NOREPLACE) != 0) {
      Fail(errno == EEXIST ? ZipErrExists : ZipErrWrite,
           errno == EEXIST ? QStringLiteral("%1 appeared in the target meanwhile; it is not replaced").arg(Shown(entry.Name))
                           : QStringLiteral("Cannot restore %1: %2").arg(Shown(entry.Name), ErrnoText(errno)));
      ok = false;
    }
    if (!ok) ::unlinkat(dirFd, temp.constData(), 0);
    else ++successCnt_;
    ::close(dirFd);
    if (Cancelled()) {
      Fail(ZipErrCancelled, QStringLiteral("Stopped"));
      break;
    }
  }
  // Folder modes and times last: writing into a folder changes its time, and a read-only
  // folder would refuse its own contents.
  for (auto it = dirFixes.rbegin(); it != dirFixes.rend(); ++it) {
    int dirFd = OpenFolders(baseFd, it->Parts, it->Parts.size() - 1, false);
    if (dirFd < 0) continue;
    ::fchmodat(dirFd, it->Parts.last().constData(), it->Mode & 0777, 0);
    struct timespec times[2] = {{0, UTIME_OMIT}, {it->MTime, 0}};
    ::utimensat(dirFd, it->Parts.last().constData(), times, AT_SYMLINK_NOFOLLOW);
    ::close(dirFd);
  }
  ::close(baseFd);
  if (OnProgress) OnProgress(TZipProgrType::EndOfBatch, QString(), 0);
  return errCode_ == ZipOk && successCnt_ == int(contents_.size());
}
