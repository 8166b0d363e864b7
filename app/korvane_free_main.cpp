// korvane-free: the free-space operations without a window (trash, delete, move, archive,
// restore), for scripts and terminals.

#include "app/free/FreeCli.h"
#include "app/free/FreeCommands.h"

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
    "  delete-archive [--yes] D: ARCHIVE delete an archive and its catalogue entry\n"
    "  trash-size D:                     what the trash of drive D: holds (items, bytes);\n"
    "                                    trashed items keep their space until it is emptied\n"
    "  empty-trash [--yes] D:            empty the trash of drive D: for good; asks on a\n"
    "                                    terminal, and without one refuses unless --yes\n"
    "\n"
    "A drive root, / and the home folder itself are refused. SIGINT and SIGTERM cancel\n"
    "cleanly. Exit status: 0 done; 1 failed, partly done or cancelled (each failed entry is\n"
    "named on standard error); 2 bad arguments.\n";

struct TVerb {
  const char* name;
  int (*run)(const QStringList&);
};

const TVerb Verbs[] = {
    {"trash", RunTrash},       {"delete", RunDelete},     {"move", RunMove},
    {"archive", RunArchive},   {"archives", RunArchives}, {"restore", RunRestore},
    {"delete-archive", RunDeleteArchive},
    {"trash-size", RunTrashSize},       {"empty-trash", RunEmptyTrash},
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
  QStringList args;
  for (int i = 2; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  for (const TVerb& verb : Verbs)
    if (std::strcmp(argv[1], verb.name) == 0) {
      InstallCancelSignals();
      return verb.run(args);
    }
  std::fprintf(stderr, "korvane-free: unknown verb %s\n", argv[1]);
  std::fputs(UsageText, stderr);
  return 2;
}
