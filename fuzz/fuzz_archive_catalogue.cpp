// A drive's archive catalogue (archives.ini in "Archives Bin"), as korvane-free archives and the
// restore dialog read it: every listed entry is a plain file name inside the archives folder,
// can be found again, and nothing is created outside that folder. Half of the entries get an
// archive file, so that listing also removes the entries whose file is gone.

#include "cleanup/ArchiveCatalogue.h"
#include "config/IniFile.h"
#include "fuzz/FuzzSupport.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("KORVANE_DRIVES", "C=/", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray& scratch = FuzzScratchFolder();
  const QByteArray folder = scratch + "/Archives Bin";
  FUZZ_CHECK(::mkdir(folder.constData(), 0755) == 0);
  TArchiveCatalogue catalogue(folder);
  FuzzWriteFile(catalogue.CatalogueFile(), FuzzBytes(data, size));

  const QStringList keys = TIniFile(catalogue.CatalogueFile()).ReadSection(QStringLiteral("Descriptions"));
  for (qsizetype i = 0; i < std::min<qsizetype>(keys.size(), 32); i += 2) {
    const std::optional<QByteArray> path = catalogue.ArchivePath(keys[i]);
    if (!path) continue;
    FUZZ_CHECK(path->startsWith(folder + '/') && !path->mid(folder.size() + 1).contains('/'));
    // A key longer than a file name may be names no file that could exist: nothing to make.
    if (path->size() - folder.size() - 1 > NAME_MAX) continue;
    struct stat st {};
    if (::lstat(path->constData(), &st) != 0) FuzzWriteFile(*path, "PK");
  }

  try {
    for (const TArchiveRecord& r : catalogue.List()) {
      FUZZ_CHECK(IsCatalogueKey(r.Key));
      const std::optional<QByteArray> path = catalogue.ArchivePath(r.Key);
      FUZZ_CHECK(path && path->startsWith(folder + '/') && !path->mid(folder.size() + 1).contains('/'));
      const std::optional<TArchiveRecord> found = catalogue.Find(r.Key);
      FUZZ_CHECK(found && found->Key.compare(r.Key, Qt::CaseInsensitive) == 0);
    }
  } catch (const EIniFileException&) {
    // A catalogue that cannot be rewritten is reported to the user; nothing to check here.
  }
  const QList<QByteArray> outside = FuzzFolderNames(scratch);
  FUZZ_CHECK(outside.isEmpty() || outside == QList<QByteArray>{"Archives Bin"});
  FuzzEmptyFolder(scratch);
  return 0;
}
