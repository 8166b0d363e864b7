#include "platform/DirEnum.h"

#include "platform/HostNames.h"
#include "platform/DriveTable.h"
#include "platform/HiddenList.h"
#include "platform/HostPath.h"

#include <QSet>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t OwnBufferSize = 32 * 1024;
constexpr int64_t FileTimeEpochOffset = 11644473600LL;  // seconds from 1601 to 1970

// O_NOATIME keeps the scan from touching folder access times, but only the owner (or root) may
// ask for it; once refused it is not asked again.
bool noAtimeRefused = false;

int OpenFolder(int dirFd, const char* name, int flags) {
  if (!noAtimeRefused) {
    const int fd = ::openat(dirFd, name, flags | O_NOATIME);
    if (fd >= 0 || errno != EPERM) return fd;
    noAtimeRefused = true;
  }
  return ::openat(dirFd, name, flags);
}

uint64_t FileTimeOf(const struct statx_timestamp& t) { return UnixToFileTime(t.tv_sec, t.tv_nsec); }

// Names listed in a folder's ".hidden" file (the file managers' convention).
QSet<QByteArray> ReadHiddenList(int dirFd) {
  QSet<QByteArray> names;
  const int fd = ::openat(dirFd, ".hidden", O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return names;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= 1024 * 1024) {
    QByteArray text;
    char buf[8192];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, n);
    names = ParseHiddenList(text);
  }
  ::close(fd);
  return names;
}

}  // namespace

uint64_t UnixToFileTime(int64_t seconds, uint32_t nanoseconds) {
  if (seconds < -FileTimeEpochOffset) return 0;
  return static_cast<uint64_t>(seconds + FileTimeEpochOffset) * 10000000ULL + nanoseconds / 100;
}

unsigned EnumStatxMask() {
  return STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;
}

uint32_t AttributesFromStatx(const struct statx& st, bool hiddenByName) {
  uint32_t attr = 0;
  const mode_t mode = st.stx_mode;
  if (S_ISDIR(mode))
    attr |= FILE_ATTRIBUTE_DIRECTORY;
  else if (S_ISREG(mode))
    attr |= FILE_ATTRIBUTE_ARCHIVE;
  else if (S_ISLNK(mode))
    attr |= FILE_ATTRIBUTE_REPARSE_POINT;
  else
    attr |= FILE_ATTRIBUTE_SYSTEM;  // devices, sockets, FIFOs
  if (!S_ISLNK(mode) && (mode & 0222) == 0) attr |= FILE_ATTRIBUTE_READONLY;
  if (hiddenByName) attr |= FILE_ATTRIBUTE_HIDDEN;
  if ((st.stx_attributes_mask & STATX_ATTR_COMPRESSED) && (st.stx_attributes & STATX_ATTR_COMPRESSED))
    attr |= FILE_ATTRIBUTE_COMPRESSED;
  return attr;
}

void FillFindData(const struct statx& st, bool hiddenByName, TFindData& out) {
  out.Attributes = AttributesFromStatx(st, hiddenByName);
  // Folders have no size of their own, as Windows reports them.
  out.Size = S_ISDIR(st.stx_mode) ? 0 : static_cast<int64_t>(st.stx_size);
  out.LastAccessTime = FileTimeOf(st.stx_atime);
  out.LastWriteTime = FileTimeOf(st.stx_mtime);
  // Some file systems (overlays among them) report a birth time of exactly the epoch when they keep
  // none; that is no real creation date.
  const bool born = (st.stx_mask & STATX_BTIME) && (st.stx_btime.tv_sec != 0 || st.stx_btime.tv_nsec != 0);
  out.CreationTime = born ? FileTimeOf(st.stx_btime) : 0;
}

THostDir::~THostDir() { Close(); }

void THostDir::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = len_ = 0;
  eof_ = false;
}

void THostDir::UseBuffer(char* buffer, size_t size) {
  buf_ = buffer;
  bufSize_ = size;
}

bool THostDir::OpenPath(const QByteArray& hostPath) {
  Close();
  fd_ = OpenFolder(AT_FDCWD, hostPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd_ >= 0;
}

bool THostDir::OpenAt(int parentFd, const char* rawName) {
  Close();
  fd_ = OpenFolder(parentFd, rawName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  return fd_ >= 0;
}

bool THostDir::Next(std::string_view& name, unsigned char& type) {
  if (fd_ < 0) return false;
  if (!buf_) {
    ownBuf_ = std::make_unique<char[]>(OwnBufferSize);
    buf_ = ownBuf_.get();
    bufSize_ = OwnBufferSize;
  }
  for (;;) {
    if (pos_ >= len_) {
      if (eof_) return false;
      const ssize_t n = ::getdents64(fd_, buf_, bufSize_);
      if (n <= 0) {
        // End of the folder, or an error reading it: what was read so far is what it holds.
        eof_ = true;
        return false;
      }
      len_ = static_cast<size_t>(n);
      pos_ = 0;
    }
    const auto* e = reinterpret_cast<const struct dirent64*>(buf_ + pos_);
    pos_ += e->d_reclen;
    const char* n = e->d_name;
    if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
    name = std::string_view(n);
    type = e->d_type;
    return true;
  }
}

bool THostDir::Stat(const char* rawName, struct statx& st) const {
  return ::statx(fd_, rawName, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_SYNC_AS_STAT,
                 EnumStatxMask(), &st) == 0;
}

bool THostDir::StatSelf(struct statx& st) const {
  return ::statx(fd_, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, EnumStatxMask(), &st) == 0;
}

struct TFindFile::Impl {
  THostDir dir;
  QSet<QByteArray> hidden;
};

TFindFile::TFindFile() = default;
TFindFile::~TFindFile() = default;

bool TFindFile::Open(const QString& drivePath) {
  d_ = std::make_unique<Impl>();
  THostLocation loc;
  if (!LocateDrivePath(drivePath, loc)) return false;
  struct statx parentSt {};
  if (::statx(loc.DirFd, "", AT_EMPTY_PATH, STATX_TYPE, &parentSt) != 0) return false;
  if (!d_->dir.OpenAt(loc.DirFd, loc.Name.constData())) return false;
  struct statx self {};
  if (!d_->dir.StatSelf(self)) return false;
  // A folder on which another file system is mounted shows no entries; the drive root itself is
  // of course read.
  if (loc.Name != "." && IsOtherFileSystem(self, parentSt.stx_dev_major, parentSt.stx_dev_minor)) {
    d_->dir.Close();
    return true;
  }
  d_->hidden = ReadHiddenList(d_->dir.Fd());
  return true;
}

bool TFindFile::Next(TFindData& out) {
  if (!d_) return false;
  std::string_view name;
  unsigned char type;
  while (d_->dir.Next(name, type)) {
    struct statx st {};
    if (!d_->dir.Stat(name.data(), st)) continue;  // vanished since it was listed
    const QByteArray raw(name.data(), static_cast<qsizetype>(name.size()));
    FillFindData(st, name[0] == '.' || d_->hidden.contains(raw), out);
    out.Name = DecodeHostName(name);
    return true;
  }
  return false;
}

bool FindEntry(const QString& drivePath, TFindData& out) {
  THostLocation loc;
  if (!LocateDrivePath(drivePath, loc)) return false;
  struct statx st {};
  if (::statx(loc.DirFd, loc.Name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              EnumStatxMask(), &st) != 0)
    return false;
  const bool isRoot = loc.Name == ".";
  const bool hidden = !isRoot && (loc.Name.startsWith('.') || ReadHiddenList(loc.DirFd).contains(loc.Name));
  FillFindData(st, hidden, out);
  out.Name = isRoot ? QString() : DecodeHostName(std::string_view(loc.Name.constData(), static_cast<size_t>(loc.Name.size())));
  return true;
}

bool EntryIsGone(const QString& drivePath) {
  const std::optional<TDrivePathParts> parts = SplitDrivePath(drivePath);
  if (!parts || parts->Components.isEmpty()) return false;
  struct stat rootSt {};
  if (::stat(parts->Drive->HostRoot.constData(), &rootSt) != 0 || !S_ISDIR(rootSt.st_mode)) return false;
  THostLocation loc;
  errno = 0;
  if (!LocateDrivePath(drivePath, loc)) return errno == ENOENT || errno == ENOTDIR;
  struct statx st {};
  if (::statx(loc.DirFd, loc.Name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &st) == 0)
    return false;
  return errno == ENOENT || errno == ENOTDIR;
}
