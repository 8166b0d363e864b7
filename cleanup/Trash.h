#pragma once
// The freedesktop.org trash. An item goes to the home trash ($XDG_DATA_HOME/Trash, created when
// missing) when it lies on the home trash's file system, otherwise to the trash at the top of its
// own file system ($topdir/.Trash/$uid when an administrator made a sticky .Trash there, else
// $topdir/.Trash-$uid). The .trashinfo file is written first under a name no one else holds, then
// the item itself (a link as the link) is renamed into files/. Nothing is ever copied or deleted:
// an item that cannot be renamed into a trash stays where it is and is reported. A folder with a
// file system mounted on it or inside it is refused, as emptying the trash would delete what lies
// on that file system.

#include "cleanup/FreeOperation.h"

#include <QByteArray>
#include <QDateTime>

#include <vector>

#include <sys/types.h>

// Moves every host path (absolute) to the trash.
TOpResult TrashEntries(const std::vector<QByteArray>& hostPaths, TOpContext& context);

// The same for the entry name of the folder dirFd (which may be an O_PATH descriptor); hostPath is
// the entry's host path, written into its .trashinfo.
TOpResult TrashEntryAt(int dirFd, const QByteArray& name, const QByteArray& hostPath, TOpContext& context);

// The home trash folder: $XDG_DATA_HOME/Trash, or ~/.local/share/Trash when that is unset or not
// absolute.
QByteArray HomeTrashFolder();

// A path percent-encoded for the Path= key: every byte other than letters, digits, "-._~" and "/"
// is written as %XX.
QByteArray TrashPathEncode(const QByteArray& path);

// The whole text of a .trashinfo file.
QByteArray TrashInfoText(const QByteArray& path, const QDateTime& deletedAt);

// The device of path or of the nearest folder above it that exists (where an entry made there
// would live). False when not even "/" can be looked at.
bool DeviceOfNearest(QByteArray path, dev_t& dev);
