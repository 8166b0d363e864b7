#pragma once
// Deleting an item for good and moving it to the trash, for the item context menu, on the
// free-space operations' core. Both ask first, never follow links, never cross into another file
// system, and report failures through ShowError; a long delete or emptying of the trash shows the
// free-space operations' progress window with Cancel.

#include <QByteArray>
#include <QString>

class QWidget;

enum class TFileOpResult { Cancelled, Done, Failed };

// Asks whether drivePath (a file, link or folder; never a drive root) should be deleted for
// good; on Yes deletes it with everything below it. *changed (when given) says whether anything
// on disk changed, also when the result is a failure or a cancel part of the way.
TFileOpResult DeleteItem(const QString& drivePath, QWidget* parent = nullptr, bool* changed = nullptr);
// Asks whether drivePath should go to the trash (the freedesktop.org trash); on Yes moves it.
TFileOpResult TrashItem(const QString& drivePath, QWidget* parent = nullptr, bool* changed = nullptr);

// Asks whether the trash of drive letter (the trash its items go to) should be emptied; on Yes
// empties it with a progress window whose Cancel stops between items.
TFileOpResult EmptyDriveTrash(QChar letter, QWidget* parent = nullptr, bool* changed = nullptr);
