#pragma once
// Directory enumeration in the manner of find-first/find-next: entries in the order the file
// system returns them, with Windows-style attributes and FILETIME times. Links are never followed
// and another file system mounted inside a folder is never entered.

#include "platform/FileSystemBoundary.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <string_view>

struct statx;

constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
constexpr uint32_t FILE_ATTRIBUTE_COMPRESSED = 0x800;

// FILETIME: 100-ns intervals since 1601-01-01 UTC.
uint64_t UnixToFileTime(int64_t seconds, uint32_t nanoseconds);

struct TFindData {
  QString Name;
  uint32_t Attributes = 0;
  int64_t Size = 0;
  // The blocks it occupies on the disk, in bytes (st_blocks x 512); none for a folder.
  int64_t OnDisk = 0;
  uint64_t CreationTime = 0;  // zero when the file system does not know the birth time
  uint64_t LastAccessTime = 0;
  uint64_t LastWriteTime = 0;
};

// Attribute word of an entry from its statx data. hiddenByName is true for names that begin with
// "." or are listed in the folder's ".hidden" file.
uint32_t AttributesFromStatx(const struct statx& st, bool hiddenByName);
// Fills everything but the name.
void FillFindData(const struct statx& st, bool hiddenByName, TFindData& out);

// The bytes of the blocks an entry occupies (stx_blocks counts 512-byte units whatever the file
// system's block size); 0 when the file system did not say.
int64_t OnDiskBytes(const struct statx& st);

// statx mask the enumeration asks for.
unsigned EnumStatxMask();

// One open folder on the host, read with getdents64. The scanner uses it directly; TFindFile
// below adds names and attributes for everyone else.
class THostDir {
public:
  THostDir() = default;
  ~THostDir();
  THostDir(const THostDir&) = delete;
  THostDir& operator=(const THostDir&) = delete;

  // Opens an absolute host folder (following links in the path itself).
  bool OpenPath(const QByteArray& hostPath);
  // Opens the child folder rawName of parentFd without following a link and without mounting.
  bool OpenAt(int parentFd, const char* rawName);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  // Uses buffer (of size bytes) for reading entries instead of an own one; the buffer must
  // outlive the reading.
  void UseBuffer(char* buffer, size_t size);

  // The next entry other than "." and "..". The name stays valid until the next call.
  // type is the d_type hint (DT_UNKNOWN when the file system gives none).
  bool Next(std::string_view& name, unsigned char& type);

  // statx of an entry of this folder, not following links and not triggering automounts.
  bool Stat(const char* rawName, struct statx& st) const;
  // statx of the folder itself.
  bool StatSelf(struct statx& st) const;

private:
  int fd_ = -1;
  char* buf_ = nullptr;
  size_t bufSize_ = 0;
  std::unique_ptr<char[]> ownBuf_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool eof_ = false;
};

// Find-first/find-next over the entries of one folder given by drive path.
class TFindFile {
public:
  TFindFile();
  ~TFindFile();
  // Opens the folder drivePath (with or without a trailing backslash). False when it cannot be
  // opened.
  bool Open(const QString& drivePath);
  bool Next(TFindData& out);

private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// True only when the entry at drivePath is known to be gone: the lookup failed because it, or a
// folder on its way, does not exist. An unknown drive, a missing drive root or a refused access
// do not count as gone.
bool EntryIsGone(const QString& drivePath);

// Finds exactly the entry at drivePath (no wildcard), as a find-first of that path would.
bool FindEntry(const QString& drivePath, TFindData& out);
