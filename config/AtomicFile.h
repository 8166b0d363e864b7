#pragma once
// Replacing a file so that a crash at any moment leaves either the old or the new content.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <sys/types.h>

// The folder that holds path ("." for a bare name).
QByteArray FolderOf(const QByteArray& path);

// Writes data to a temporary file in the same folder as path, flushes it to disk, renames it over
// path and flushes the folder, so that the rename itself survives a power loss. A symbolic link at
// path is followed (the file it names is replaced, the link stays) unless followLink is false:
// then the rename replaces the name path itself, whatever is there by then, and never writes
// through a link. An existing file keeps its permission bits; a new one gets newFileMode less the
// umask. On failure returns false, describes the failure in *error (when given) and leaves no
// temporary file behind.
bool WriteFileAtomically(const QByteArray& path, const QByteArray& data, mode_t newFileMode,
                         QString* error = nullptr, bool followLink = true);

// The temporary files of a write to path are named by this prefix and six random characters
// (".name.tmp-" in the same folder).
QByteArray AtomicTempPrefix(const QByteArray& path);
// Removes temporary files left behind by a write to path that was cut short by a crash. Only for
// callers that know no other write to path is under way (they hold a lock that all writers take).
void RemoveStaleAtomicTemps(const QByteArray& path);

// Reads a whole regular file (a symbolic link to one is followed). None when it cannot be read or
// is no regular file (a FIFO, a device, a folder: these are never opened, so reading never
// waits); *missing tells whether it does not exist.
std::optional<QByteArray> ReadWholeFile(const QByteArray& path, bool* missing = nullptr,
                                        QString* error = nullptr);

// Test seam: called once half of the data is in the temporary file (and flushed). Returning false
// makes the write fail at that point as an I/O error would. An empty function removes the hook.
using TAtomicWriteHook = std::function<bool(const QByteArray& path)>;
void SetAtomicWriteTestHook(TAtomicWriteHook hook);

// The text of an errno value, for messages.
QString SystemErrorText(int error);
