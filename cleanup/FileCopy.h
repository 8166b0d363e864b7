#pragma once
// Copying one entry that is not a folder (a file, a link, a FIFO or a device node) into another
// folder, as the move across file systems needs it: written under a temporary name, flushed,
// given the source's permissions, owner (when we may) and times, and only then renamed to its
// final name (or left under the temporary name for the caller to flush and rename). The source
// is left alone.

#include "cleanup/FreeOperation.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <sys/stat.h>

struct TCopyRequest {
  int srcDir = -1;
  QByteArray name;        // in srcDir, and the final name in dstDir
  struct statx st {};     // the source entry, not following a link
  int dstDir = -1;
  QByteArray tempName;    // a name no one else uses in dstDir
  bool replace = false;   // an existing file of that name may be replaced
  // False: the copy is left complete under its temporary name, not yet flushed, for the caller
  // to flush many copies at once and then rename them with FinishCopy.
  bool finish = true;
  const TOpContext* context = nullptr;     // cancel, checked between chunks
  std::function<void(int64_t)> onBytes;   // bytes copied since the last call
};

struct TCopyOutcome {
  bool ok = false;
  bool cancelled = false;
  int error = 0;
  QString reason;
};

TCopyOutcome CopyEntry(const TCopyRequest& request);

// Renames a copy left under tempName (and flushed by the caller) to name; on failure removes it.
TCopyOutcome FinishCopy(int dstDir, const QByteArray& tempName, const QByteArray& name, bool replace);

// Copies the data of the open file in to the open file out (at the same offsets), skipping holes
// where the file system shows them; false with errno, or with *cancelled set.
bool CopyFileData(int in, int out, int64_t size, const TOpContext* context,
                  const std::function<void(int64_t)>& onBytes, bool* cancelled);
