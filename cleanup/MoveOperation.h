#pragma once
// Moving a folder's contents to another place. On one file system entries are renamed. Across
// file systems every file is copied under a temporary name in its target folder, flushed to disk,
// given its permissions, owner (when we may) and times, renamed to its final name, and only once
// the target folder is flushed too is the source file removed: a process stopped at any moment
// leaves every file whole in the source or in the target, and never a half-written file under its
// final name. A temporary file left by a stopped move is removed by the next move into that
// folder, and a file that a stopped move had already copied (the target holds the same bytes
// with the same size, times, permissions and owner) only has its source removed. Links stay
// links; folders are merged; another existing file is replaced only when the question callback
// says so, and a folder never replaces a file or the reverse.

#include "cleanup/FreeOperation.h"

#include <QByteArray>
#include <QString>

// The prefix of the temporary names of files being copied.
inline constexpr char MovePartPrefix[] = ".korvane-part-";

// Why a move from sourceHost into targetHost may not start (the target is the source or lies
// inside it, judged by device and inode after following every link; the source is no folder or
// is a protected folder (ProtectedFolderKind); a file system is mounted inside the source; the
// target is a file); empty when it may.
QString CheckMove(const QByteArray& sourceHost, const QByteArray& targetHost);

// Moves every entry of the folder sourceHost into the folder targetHost (created when missing),
// then removes sourceHost when it is empty. Both are absolute host paths.
TOpResult MoveFolderContents(const QByteArray& sourceHost, const QByteArray& targetHost, TOpContext& context);
