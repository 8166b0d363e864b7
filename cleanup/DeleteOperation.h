#pragma once
// Deleting files, links and folders for good. A link is removed, never followed; a folder on
// which another file system is mounted is neither entered nor removed; an entry that cannot be
// removed is reported and the rest goes on. Cancel is checked between entries.

#include "cleanup/FreeOperation.h"

#include <QByteArray>

#include <vector>

// Deletes every host path (absolute) with everything below it.
TOpResult DeleteEntries(const std::vector<QByteArray>& hostPaths, TOpContext& context);

// The same for the entry name of the folder dirFd (which may be an O_PATH descriptor); hostPath
// is the entry's host path, for progress and failures.
// countFirst: the tree is counted first, for the progress totals; a caller whose progress counts
// something else (the items of a trash) saves that walk.
TOpResult DeleteEntryAt(int dirFd, const QByteArray& name, const QByteArray& hostPath, TOpContext& context,
                        bool countFirst = true);
