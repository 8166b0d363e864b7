// trash, delete and move: filled in with the free-space operations.
#include "app/free/FreeCli.h"
#include "app/free/FreeCommands.h"

static int NotYet(const char* verb) {
  PrintError(QStringLiteral("%1 is not available in this build").arg(QLatin1String(verb)));
  return 1;
}

int RunTrash(const QStringList&) { return NotYet("trash"); }
int RunDelete(const QStringList&) { return NotYet("delete"); }
int RunMove(const QStringList&) { return NotYet("move"); }
