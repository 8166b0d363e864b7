// korvane-free: the free-space operations without a window (trash, delete, move, archive,
// restore), for scripts and terminals.

#include "app/free/FreeCli.h"
#include "app/free/FreeCommands.h"
#include "platform/UserPath.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

const char UsageText[] =
    "usage: korvane-free VERB [OPTIONS] ARGUMENTS\n"
    "\n"
    "Paths are host paths (/home/me/old) or drive paths (T:\\old).\n"
    "\n"
    "  trash PATH...                     move entries to the trash\n"
    "  delete [--yes] PATH...            delete entries for good; asks on a terminal, and\n"
    "                                    without one refuses unless --yes is given\n"
    "  move [--replace] SOURCE TARGET    move every entry of SOURCE into TARGET (created when\n"
    "                                    missing), then remove SOURCE; an entry already in\n"
    "                                    TARGET is kept and reported unless --replace (files\n"
    "                                    only)\n"
    "  archive [--drive D:] [--description TEXT] [--level 0-9] [--no-subfolders]\n"
    "          [--no-hidden] [--move] [--password-stdin] FOLDER\n"
    "                                    archive FOLDER into the drive's \"Archives Bin\"\n"
    "  archives D:                       list the archives of drive D:\n"
    "  restore [--to FOLDER] [--delete-archive] [--password-stdin] D: ARCHIVE\n"
    "                                    restore an archive to where it came from, or FOLDER\n"
    "                                    (needed when the catalogue names no origin); an\n"
    "                                    entry already there is never replaced\n"
    "  delete-archive [--yes] D: ARCHIVE delete an archive and its catalogue entry\n"
    "\n"
    "A drive root, /, the home folder and the trash are refused, whatever path or link\n"
    "leads to them, and so is a \"..\" after a link. SIGINT and SIGTERM cancel cleanly.\n"
    "Exit status: 0 done; 1 failed, partly done or cancelled (each failed entry is named\n"
    "on standard error); 2 bad arguments.\n";

struct TVerb {
  const char* name;
  int (*run)(const QStringList&);
};

const TVerb Verbs[] = {
    {"trash", RunTrash},       {"delete", RunDelete},     {"move", RunMove},
    {"archive", RunArchive},   {"archives", RunArchives}, {"restore", RunRestore},
    {"delete-archive", RunDeleteArchive},
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fputs(UsageText, stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(UsageText, stdout);
    return 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("korvane-free %s\n", KORVANE_VERSION);
    return 0;
  }
  // Every byte of a path survives: a name that is not UTF-8 reaches the very entry it names.
  const QStringList args = DecodeArguments(argc, argv, 2);
  for (const TVerb& verb : Verbs)
    if (std::strcmp(argv[1], verb.name) == 0) {
      InstallCancelSignals();
      return verb.run(args);
    }
  std::fprintf(stderr, "korvane-free: unknown verb %s\n", argv[1]);
  std::fputs(UsageText, stderr);
  return 2;
}
