#pragma once
// What the verbs of korvane-free share: reading paths given as host or drive paths, refusing the
// folders no verb may touch, cancelling on SIGINT and SIGTERM, a progress line on a terminal,
// and reporting a result.

#include "cleanup/FreeOperation.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A host path (absolute or relative to the working folder) or a drive path ("T:\a\b") as a
// cleaned absolute host path, its bytes as given; nullopt with *error set when it names no place
// or has a ".." the kernel would not take as text (see CleanGivenHostPath).
std::optional<QByteArray> ResolveFreePath(const QString& arg, QString* error);

// "/", the home folder itself, the root of any drive and the trash, or a link to one of them (by
// device and inode, see ProtectedFolderKind): no verb removes or moves these.
bool IsProtectedFolder(const QByteArray& hostPath);

// The context of this run; SIGINT and SIGTERM cancel it once InstallCancelSignals was called.
TOpContext& RunContext();
void InstallCancelSignals();

// When standard error is a terminal, shows entries, bytes and percent on one line there.
void AttachTerminalProgress(TOpContext& context);
// Ends the progress line, if one is shown.
void EndTerminalProgress();

// Asks a yes/no question on the terminal; false when there is no terminal or the answer is not
// yes.
bool AskOnTerminal(const QString& question);

// Prints every failed entry to stderr and returns the exit code of the result.
int ReportResult(const char* verb, const TOpResult& result);

void PrintError(const QString& message);
