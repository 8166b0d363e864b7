#pragma once
// What the archive tests share: a snapshot of a tree to compare before and after, archives built
// member by member (also hostile ones), and running the other ZIP programs.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

struct TNodeInfo {
  mode_t Type = 0;
  mode_t Mode = 0;
  int64_t Size = 0;
  int64_t MTime = 0;
  uint64_t Hash = 0;  // of the content (files) or the target (links)
  bool operator==(const TNodeInfo&) const = default;
};
using TSnapshot = std::map<QByteArray, TNodeInfo>;

inline uint64_t HashBytes(uint64_t h, const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) h = (h ^ static_cast<unsigned char>(data[i])) * 1099511628211ULL;
  return h;
}

// Hashes a file's bytes with every run of zeros (read or a hole) folded into its length, so that
// a file restored with other holes hashes as it was, and big sparse files hash fast.
inline uint64_t HashFile(const QByteArray& path) {
  uint64_t h = 1469598103934665603ULL;
  uint64_t zeros = 0;
  auto flushZeros = [&] {
    if (zeros == 0) return;
    h = HashBytes(h, reinterpret_cast<const char*>(&zeros), sizeof zeros);
    zeros = 0;
  };
  int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  std::vector<char> buffer(1 << 20);
  off_t pos = 0;
  struct stat st {};
  ::fstat(fd, &st);
  while (pos < st.st_size) {
    off_t data = ::lseek(fd, pos, SEEK_DATA);
    if (data < 0) data = st.st_size;
    zeros += uint64_t(data - pos);
    pos = data;
    if (pos >= st.st_size) break;
    off_t hole = ::lseek(fd, pos, SEEK_HOLE);
    if (hole < 0) hole = st.st_size;
    while (pos < hole) {
      ssize_t n = ::pread(fd, buffer.data(), std::min<size_t>(buffer.size(), size_t(hole - pos)), pos);
      if (n <= 0) break;
      for (ssize_t i = 0; i < n; ++i) {
        if (buffer[size_t(i)] == 0) {
          ++zeros;
        } else {
          flushZeros();
          h = HashBytes(h, &buffer[size_t(i)], 1);
        }
      }
      pos += n;
    }
  }
  flushZeros();
  ::close(fd);
  return h;
}

inline void SnapshotInto(const QByteArray& root, const QByteArray& rel, TSnapshot& out) {
  DIR* dir = ::opendir((root + rel).constData());
  if (!dir) return;
  std::vector<QByteArray> names;
  while (dirent* e = ::readdir(dir))
    if (QByteArray(e->d_name) != "." && QByteArray(e->d_name) != "..") names.emplace_back(e->d_name);
  ::closedir(dir);
  for (const QByteArray& name : names) {
    const QByteArray sub = rel + '/' + name;
    struct stat st {};
    if (::lstat((root + sub).constData(), &st) != 0) continue;
    TNodeInfo info;
    info.Type = st.st_mode & S_IFMT;
    info.Mode = S_ISLNK(st.st_mode) ? 0 : (st.st_mode & 0777);
    info.Size = S_ISDIR(st.st_mode) ? 0 : st.st_size;
    info.MTime = st.st_mtim.tv_sec;
    if (S_ISREG(st.st_mode)) info.Hash = HashFile(root + sub);
    if (S_ISLNK(st.st_mode)) {
      char target[4096];
      ssize_t n = ::readlink((root + sub).constData(), target, sizeof target);
      info.Hash = HashBytes(0, target, size_t(std::max<ssize_t>(n, 0)));
    }
    out[sub] = info;
    if (S_ISDIR(st.st_mode)) SnapshotInto(root, sub, out);
  }
}

// Every entry below root (root itself not included), by path relative to root ("/a/b").
inline TSnapshot Snapshot(const QByteArray& root) {
  TSnapshot out;
  SnapshotInto(root, QByteArray(), out);
  return out;
}

inline void WriteBytes(const QByteArray& path, const QByteArray& data, mode_t mode = 0644) {
  int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return;
  if (::write(fd, data.constData(), size_t(data.size())) != data.size()) {}
  ::close(fd);
  ::chmod(path.constData(), mode);
}

struct TZipMember {
  QByteArray Name;
  mode_t Type = S_IFREG;
  QByteArray Data;
  QByteArray Link;
};

// Writes members exactly as given (names are not checked), AES-256 when a password is given.
inline bool WriteZip(const QByteArray& path, const std::vector<TZipMember>& members,
                     const QByteArray& password = QByteArray()) {
  archive* a = archive_write_new();
  archive_write_set_format_zip(a);
  if (!password.isEmpty()) {
    archive_write_set_format_option(a, "zip", "encryption", "aes256");
    archive_write_set_passphrase(a, password.constData());
  }
  bool ok = archive_write_open_filename(a, path.constData()) == ARCHIVE_OK;
  for (const TZipMember& m : members) {
    if (!ok) break;
    archive_entry* e = archive_entry_new();
    archive_entry_copy_pathname(e, m.Name.constData());
    archive_entry_set_filetype(e, m.Type);
    archive_entry_set_perm(e, m.Type == S_IFDIR ? 0755 : 0644);
    archive_entry_set_size(e, m.Type == S_IFREG ? m.Data.size() : 0);
    if (m.Type == S_IFLNK) archive_entry_copy_symlink(e, m.Link.constData());
    ok = archive_write_header(a, e) == ARCHIVE_OK;
    if (ok && !m.Data.isEmpty()) ok = archive_write_data(a, m.Data.constData(), size_t(m.Data.size())) == m.Data.size();
    archive_entry_free(e);
  }
  ok = archive_write_close(a) == ARCHIVE_OK && ok;
  archive_write_free(a);
  return ok;
}

// Runs a program; its exit code (-1 when it did not run) and, in *output, what it printed.
inline int RunProgram(const QString& program, const QStringList& args, QByteArray* output = nullptr,
                      const QByteArray& input = QByteArray(),
                      const QStringList& extraEnv = QStringList()) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  if (!extraEnv.isEmpty()) {
    QStringList env = QProcess::systemEnvironment();
    env << extraEnv;
    process.setEnvironment(env);
  }
  process.start(program, args);
  if (!process.waitForStarted(10000)) return -1;
  if (!input.isEmpty()) process.write(input);
  process.closeWriteChannel();
  process.waitForFinished(600000);
  if (output) *output = process.readAll();
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

inline bool HaveProgram(const char* name) {
  return RunProgram(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("command -v %1").arg(QLatin1String(name))}) == 0;
}
