// An ncdu JSON export, as File > Open Scan File and korvane-scan --compare read it: whatever the
// bytes, the reader stops with a reason or reads the whole file, and what it kept is consistent
// (every folder after its parent, the subtree totals at least the folder's own files, no negative
// figure).

#include "fuzz/FuzzSupport.h"
#include "history/NcduReader.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TNcduLimits limits;
  limits.MaxFolders = 100'000;
  const TNcduScan scan = ReadNcduExport(std::string_view(reinterpret_cast<const char*>(data), size), limits);
  FUZZ_CHECK(scan.Complete == scan.Error.isEmpty());
  for (size_t i = 0; i < scan.Folders.size(); ++i) {
    const TNcduFolder& f = scan.Folders[i];
    FUZZ_CHECK(i == 0 ? f.Parent == -1 : (f.Parent >= 0 && static_cast<size_t>(f.Parent) < i));
    FUZZ_CHECK(f.Size >= f.FilesSize && f.FilesSize >= 0);
    FUZZ_CHECK(f.TotalFiles >= f.Files && f.Files >= 0);
    FUZZ_CHECK(f.TotalFolders >= f.SubFolders && f.SubFolders >= 0);
  }
  return 0;
}
