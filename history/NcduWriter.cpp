#include "history/NcduWriter.h"

#include "platform/FileSystemBoundary.h"
#include "platform/FolderWalk.h"

#include <QDateTime>
#include <QIODevice>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unordered_set>

#ifndef KORVANE_VERSION
#define KORVANE_VERSION "0"
#endif

namespace {

class TJsonOut {
public:
  explicit TJsonOut(QIODevice& out) : out_(out) { buf_.reserve(1 << 17); }
  void Raw(const char* s) { buf_ += s; }
  void Number(uint64_t v) { buf_ += std::to_string(v); }
  void String(const QByteArray& bytes) {
    buf_ += '"';
    for (const char ch : bytes) {
      const auto c = static_cast<unsigned char>(ch);
      if (c == '"' || c == '\\') {
        buf_ += '\\';
        buf_ += static_cast<char>(c);
      } else if (c < 0x20) {
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\u%04x", c);
        buf_ += esc;
      } else {
        // Other bytes go out as they are: names are bytes, and readers take them back unchanged.
        buf_ += static_cast<char>(c);
      }
    }
    buf_ += '"';
  }
  bool Flush(bool force) {
    if (!force && buf_.size() < (1 << 16)) return true;
    const qint64 want = static_cast<qint64>(buf_.size());
    const bool ok = out_.write(buf_.data(), want) == want;
    buf_.clear();
    return ok;
  }

private:
  QIODevice& out_;
  std::string buf_;
};

struct TLinkKey {
  uint64_t Dev;
  uint64_t Ino;
  bool operator==(const TLinkKey&) const = default;
};
struct TLinkKeyHash {
  size_t operator()(const TLinkKey& k) const noexcept { return std::hash<uint64_t>()(k.Ino * 1000003u ^ k.Dev); }
};

// The fields of one entry, without the closing brace.
void Entry(TJsonOut& j, const QByteArray& name, const struct statx& st) {
  j.Raw("{\"name\":");
  j.String(name);
  j.Raw(",\"asize\":");
  j.Number(st.stx_size);
  j.Raw(",\"dsize\":");
  j.Number(st.stx_blocks * 512);
  const bool dir = S_ISDIR(st.stx_mode);
  if (!dir && st.stx_nlink > 1) {
    j.Raw(",\"ino\":");
    j.Number(st.stx_ino);
    j.Raw(",\"hlnkc\":true,\"nlink\":");
    j.Number(st.stx_nlink);
  }
  if (!dir && !S_ISREG(st.stx_mode)) j.Raw(",\"notreg\":true");
  if (st.stx_mtime.tv_sec > 0) {
    j.Raw(",\"mtime\":");
    j.Number(static_cast<uint64_t>(st.stx_mtime.tv_sec));
  }
}

}  // namespace

bool WriteNcduExport(const QByteArray& hostRoot, QIODevice& out, TNcduExportStats* stats, QString* error,
                     const std::atomic<bool>* cancel) {
  TNcduExportStats local;
  TNcduExportStats& s = stats ? *stats : local;
  const unsigned basic = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_SIZE | STATX_BLOCKS | STATX_MTIME;
  struct statx rootSt {};
  if (::statx(AT_FDCWD, hostRoot.constData(), AT_SYMLINK_NOFOLLOW, basic, &rootSt) != 0) {
    *error = QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(hostRoot), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
  }
  if (!S_ISDIR(rootSt.stx_mode)) {
    *error = QStringLiteral("%1: not a folder").arg(QString::fromLocal8Bit(hostRoot));
    return false;
  }
  TWalkStack walk;
  if (!walk.Enter(AT_FDCWD, hostRoot, hostRoot)) {
    *error = QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(hostRoot), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
  }
  TJsonOut j(out);
  j.Raw("[1,2,{\"progname\":\"korvane\",\"progver\":\"" KORVANE_VERSION "\",\"timestamp\":");
  j.Number(static_cast<uint64_t>(QDateTime::currentSecsSinceEpoch()));
  j.Raw("},\n[");
  Entry(j, hostRoot, rootSt);
  j.Raw(",\"dev\":");
  j.Number(makedev(rootSt.stx_dev_major, rootSt.stx_dev_minor));
  j.Raw("}");
  std::unordered_set<TLinkKey, TLinkKeyHash> links;
  while (!walk.Empty()) {
    if (cancel && cancel->load(std::memory_order_relaxed)) {
      *error = QStringLiteral("stopped");
      return false;
    }
    TWalkFrame& top = walk.Top();
    if (top.Next >= top.Names.size()) {
      j.Raw("]");
      if (!walk.Leave()) {
        *error = QStringLiteral("lost the way back to the folder above %1 (it was moved or replaced during the walk)")
                     .arg(QString::fromLocal8Bit(top.HostPath));
        return false;
      }
      if (!j.Flush(false)) break;
      continue;
    }
    const QByteArray name = top.Names[top.Next++];
    const QByteArray path = top.HostPath + (top.HostPath.endsWith('/') ? "" : "/") + name;
    struct statx st {};
    if (::statx(top.Fd, name.constData(), AT_SYMLINK_NOFOLLOW, basic, &st) != 0) continue;  // gone meanwhile
    j.Raw(",\n");
    if (!S_ISDIR(st.stx_mode)) {
      ++s.Files;
      if (st.stx_nlink < 2 || links.insert({makedev(st.stx_dev_major, st.stx_dev_minor), st.stx_ino}).second)
        s.Bytes += static_cast<int64_t>(st.stx_size);
      Entry(j, name, st);
      j.Raw("}");
      if (!j.Flush(false)) break;
      continue;
    }
    ++s.Folders;
    j.Raw("[");
    Entry(j, name, st);
    if (IsOtherFileSystem(st, rootSt.stx_dev_major, rootSt.stx_dev_minor)) {
      j.Raw(",\"excluded\":\"otherfs\"}]");
    } else if (!walk.Enter(top.Fd, name, path)) {
      s.Unreadable.push_back(path);
      j.Raw(",\"read_error\":true}]");
    } else {
      j.Raw("}");
    }
    if (!j.Flush(false)) break;
  }
  j.Raw("]\n");
  if (!j.Flush(true) || !walk.Empty()) {
    *error = QStringLiteral("cannot write the export: %1").arg(out.errorString());
    return false;
  }
  return true;
}
