// The ZIP engine as a restore drives it on an archive someone planted in "Archives Bin": the
// listing of its members, the checks of every member path and the extraction into a folder. The
// target checks that nothing was written beside that folder: not into the folder next to it
// (which a link member could point at), not next to the archive.

#include "cleanup/ZipMaster.h"
#include "fuzz/FuzzSupport.h"

#include <sys/stat.h>
#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray& scratch = FuzzScratchFolder();
  const QByteArray archive = scratch + "/archive.zip";
  const QByteArray target = scratch + "/out";
  const QByteArray outside = scratch + "/outside";
  FuzzWriteFile(archive, FuzzBytes(data, size));
  FUZZ_CHECK(::mkdir(outside.constData(), 0755) == 0);

  TZipMaster zip;
  int asked = 0;
  zip.OnPassword = [&asked](TZipPasswordPurpose) -> std::optional<QByteArray> {
    if (asked++ > 0) return std::nullopt;
    return QByteArray("fuzz");
  };
  zip.SetZipFilename(archive);
  for (const TZipContentEntry& e : zip.Contents()) FUZZ_CHECK(e.Size >= 0);
  const bool safe = std::all_of(zip.Contents().begin(), zip.Contents().end(),
                                [](const TZipContentEntry& e) { return TZipMaster::IsSafeMemberPath(e.Name); });
  zip.ExtrBaseDir = target;
  const bool extracted = zip.Extract();
  FUZZ_CHECK(!extracted || safe);

  FUZZ_CHECK(FuzzFolderNames(outside).isEmpty());
  const QList<QByteArray> names = FuzzFolderNames(scratch);
  for (const QByteArray& name : names) FUZZ_CHECK(name == "archive.zip" || name == "out" || name == "outside");
  FuzzEmptyFolder(scratch);
  return 0;
}
