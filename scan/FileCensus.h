#pragma once
// The largest files and the file types of a folder's subtree, from one walk of its files
// (TFileWalk): the top N files by size, and per type (the text after the last dot of the name,
// lower-cased) how many files, bytes and bytes on disk. Only the top N files are kept while the
// walk runs, so memory does not grow with the number of files.

#include "scan/FileWalk.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

inline constexpr int DefaultLargestFiles = 100;
inline constexpr int MaxLargestFiles = 10000;
// The type of names without an extension.
inline constexpr char NoExtensionText[] = "(none)";

struct TLargeFile {
  int64_t Size = 0;
  int64_t OnDisk = 0;
  uint64_t LastChange = 0;  // FILETIME
  uint32_t Attributes = 0;
  QByteArray Relative;  // raw path below the walked folder, "/"-separated
};

struct TFileType {
  QString Extension;  // lower-cased, or NoExtensionText
  int64_t Count = 0;  // names
  int64_t Bytes = 0;
  int64_t OnDisk = 0;
  double Share = 0;  // percent of the subtree's bytes
};

struct TFileCensus {
  // The walked folder.
  QString DrivePath;
  QByteArray HostPath;
  // Largest first; equal sizes by path. A file with several names is listed once, at the first
  // name the walk meets.
  std::vector<TLargeFile> Largest;
  // By bytes, largest first; equal bytes by extension.
  std::vector<TFileType> Types;
  int64_t Files = 0;  // names of files (every name counts)
  int64_t Bytes = 0;  // each file once
  int64_t OnDisk = 0;
  int64_t Folders = 0;  // the walked folder included
  QStringList UnreadableFolders;  // drive paths
  // Empty when the walk ran to its end; otherwise why it did not.
  QString Refusal;
  bool Cancelled = false;

  bool Complete() const { return Refusal.isEmpty() && !Cancelled; }
  QString DrivePathOf(const TLargeFile& file) const;
  QByteArray HostPathOf(const TLargeFile& file) const;
};

// The type of a raw file name: the text after its last dot, lower-cased; NoExtensionText when
// there is no dot, when the only dot begins the name, or when the name ends with its dot.
QString FileExtensionOf(std::string_view rawName);

struct TFileCensusRequest {
  QString DrivePath;
  int Largest = DefaultLargestFiles;  // clamped to 0..MaxLargestFiles
  bool Types = true;
  // Only files of this type (as in TFileType::Extension) are listed among the largest; empty
  // for every file. The types are counted in full either way.
  QString OnlyExtension;
  const std::atomic<bool>* Cancel = nullptr;
  TFileWalk::TProgress Progress;
  int Workers = -1;  // the read-ahead's default when negative
};

TFileCensus TakeFileCensus(const TFileCensusRequest& request);
