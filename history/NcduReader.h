#pragma once
// Reads the JSON export of ncdu (format version 1, as ncdu 1.9 and later and gdu write it) into
// per-folder figures. Files are added into their folders' figures and not kept. The reader walks
// the bytes with an explicit stack (no recursion) and never trusts the input: a file that is cut
// short, nests deeper than the limit, holds numbers out of range or is not such an export keeps
// what was read before the fault, and Error says what is wrong and at which byte.

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct TNcduFolder {
  int32_t Parent = -1;
  QByteArray Name;           // the bytes of the name in the file; the root's is the scanned path
  // The folder's own files.
  int64_t FilesSize = 0;     // apparent sizes ("asize")
  int64_t FilesDiskSize = 0; // disk usage ("dsize")
  int64_t Files = 0;
  uint64_t FilesLatestChange = 0;  // FILETIME
  std::array<int64_t, 7> FilesSlackAt{};  // cluster slack at the standard sizes 512..65536
  // The whole subtree, the folder's own files included.
  int64_t Size = 0;
  int64_t DiskSize = 0;
  int64_t TotalFiles = 0;
  int64_t TotalFolders = 0;  // below the folder
  uint64_t LatestChange = 0;
  std::array<int64_t, 7> SlackAt{};
  int32_t SubFolders = 0;    // direct children
  bool ReadError = false;    // the exporting program could not read (all of) the folder
  bool Excluded = false;     // listed but not read (another file system, a pattern)
};

struct TNcduLimits {
  size_t MaxDepth = 1'000'000;
  size_t MaxFolders = 50'000'000;
  size_t MaxNameBytes = 1 << 16;
};

struct TNcduScan {
  int MinorVersion = 0;
  QString ProgramName;
  QString ProgramVersion;
  int64_t Timestamp = 0;     // seconds since 1970, 0 when absent
  // Depth-first: the root first, every folder after its parent.
  std::vector<TNcduFolder> Folders;
  bool Complete = false;     // the whole file was read
  QString Error;             // empty when complete
};

// Reads an export held in memory (any bytes).
TNcduScan ReadNcduExport(std::string_view bytes, const TNcduLimits& limits = {});
// Reads an export file; Error says when it cannot be opened.
TNcduScan ReadNcduFile(const QString& path, const TNcduLimits& limits = {});
