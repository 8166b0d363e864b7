#pragma once
// The ZIP engine's progress events as a free-space operation's progress.

#include "cleanup/FreeOperation.h"

#include <QString>

class TZipMaster;

// Sets zip's progress handler: entries and bytes done of the totals the engine announces, the
// entry at hand shown below baseShown, each step reported to context, the engine's busy calls to
// context's; a cancel of context is passed on to the engine.
void ReportZipProgress(TZipMaster& zip, TOpContext& context, const QString& baseShown);
