#pragma once
// Writes a host folder tree as an ncdu JSON export (format 1.2, which ncdu 1.16 and later, ncdu 2
// and gdu read). The folder tree of a scan keeps no files, so this walks the folder again: never
// through a link, never into another file system (such a folder is listed as excluded).

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

class QIODevice;

struct TNcduExportStats {
  int64_t Folders = 0;  // below the root
  int64_t Files = 0;
  int64_t Bytes = 0;    // apparent sizes, each file with several names once
  std::vector<QByteArray> Unreadable;  // host paths of folders that could not be read
};

// False with *error when the root cannot be read, writing fails, the walk loses its place or
// cancel is set. Folders below the root that cannot be read are written with "read_error" and
// named in stats.
bool WriteNcduExport(const QByteArray& hostRoot, QIODevice& out, TNcduExportStats* stats, QString* error,
                     const std::atomic<bool>* cancel = nullptr);
