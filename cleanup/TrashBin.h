#pragma once
// What the freedesktop.org trash of a drive holds, and emptying it. Moving an item to the trash
// frees nothing: its space comes back only when the trash is emptied.
//
// A trash folder holds files/ (the items) and info/ (one NAME.trashinfo per item). An item is a
// name on either side: an entry of files/ without its .trashinfo, or a .trashinfo without its
// entry, is an orphan; it is counted, listed and emptied like the others. Emptying removes an
// item's entry from files/ first and its .trashinfo only once the entry is gone, so that
// whenever it stops (Stop, a failure, the process killed) every item left still has its
// .trashinfo and still shows in the trash. Nothing outside files/ and info/ is ever removed:
// names come from reading those two folders, links are removed as links and never followed, a
// folder with another file system mounted on it is left alone, and a trash folder that is a link
// is refused.

#include "cleanup/FreeOperation.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

struct TTrashFolder {
  QByteArray Path;  // the folder holding files/ and info/
  QString Refusal;  // why it is not used (a link, another user's); empty when it may be
};

// The trash folders that items from the file system of hostPath go to: the home trash
// ($XDG_DATA_HOME/Trash) when hostPath lies on the home trash's file system, else those of
// $topdir/.Trash/$uid and $topdir/.Trash-$uid that exist at the top of its file system.
std::vector<TTrashFolder> TrashFoldersFor(const QByteArray& hostPath);

struct TTrashContents {
  int64_t Items = 0;
  int64_t Bytes = 0;  // the sizes of the regular files in files/
  std::vector<QByteArray> Orphans;   // host paths of the entries of either side without the other
  std::vector<TOpFailure> Problems;  // trash folders refused or not readable
};

TTrashContents MeasureTrash(const std::vector<TTrashFolder>& folders, const TOpContext* context = nullptr);

// Empties the trash folders. Progress counts items; an item that cannot be removed whole keeps its
// .trashinfo and is reported. The "directorysizes" cache loses the lines of the folders removed.
// orphans, when given, receives the orphans that were emptied.
TOpResult EmptyTrash(const std::vector<TTrashFolder>& folders, TOpContext& context,
                     std::vector<QByteArray>* orphans = nullptr);
