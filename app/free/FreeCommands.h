#pragma once
// The verbs of korvane-free. Each takes the arguments after the verb and returns the exit code:
// 0 done, 1 failed, partly done or cancelled, 2 bad arguments.

#include <QStringList>

// Files and folders (FileCommands.cpp).
int RunTrash(const QStringList& args);
int RunDelete(const QStringList& args);
int RunMove(const QStringList& args);

// Archives (ArchiveCommands.cpp).
int RunArchive(const QStringList& args);
int RunArchives(const QStringList& args);
int RunRestore(const QStringList& args);
int RunDeleteArchive(const QStringList& args);

// The trash of a drive (TrashBinCommands.cpp).
int RunTrashSize(const QStringList& args);
int RunEmptyTrash(const QStringList& args);
