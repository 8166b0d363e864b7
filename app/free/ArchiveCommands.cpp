// archive, archives, restore and delete-archive: filled in with the ZIP engine.
#include "app/free/FreeCli.h"
#include "app/free/FreeCommands.h"

static int NotYet(const char* verb) {
  PrintError(QStringLiteral("%1 is not available in this build").arg(QLatin1String(verb)));
  return 1;
}

int RunArchive(const QStringList&) { return NotYet("archive"); }
int RunArchives(const QStringList&) { return NotYet("archives"); }
int RunRestore(const QStringList&) { return NotYet("restore"); }
int RunDeleteArchive(const QStringList&) { return NotYet("delete-archive"); }
