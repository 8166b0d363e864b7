// korvane-free's reading of path arguments: a host path (absolute or relative) or a drive path
// becomes a clean absolute host path or a reason; a drive path's host path lies on its drive;
// the protected folders stay protected however they are spelled.

#include "app/free/FreeCli.h"
#include "fuzz/FuzzSupport.h"
#include "platform/DriveTable.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <sys/stat.h>

namespace {

// The folders korvane-free must refuse: compared as the file system resolves them.
const char* const Protected[] = {"/", "/tmp/korvane-fuzz-t", "/tmp/korvane-fuzz-t/u", "/tmp/korvane-fuzz-home"};

bool SameEntry(const QByteArray& a, const char* b) {
  struct stat x {}, y {};
  return ::stat(a.constData(), &x) == 0 && ::stat(b, &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("KORVANE_DRIVES", "C=/;T=/tmp/korvane-fuzz-t;U=/tmp/korvane-fuzz-t/u", 1);
  ::setenv("HOME", "/tmp/korvane-fuzz-home", 1);
  // No trash in this home: the home trash is protected too, and must not exist to keep the list above whole.
  ::setenv("XDG_DATA_HOME", "/tmp/korvane-fuzz-home/no-data", 1);
  for (const char* folder : Protected) ::mkdir(folder, 0755);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const QString& arg : FuzzArguments(FuzzBytes(data, size))) {
    QString error;
    const std::optional<QByteArray> host = ResolveFreePath(arg, &error);
    if (!host) {
      FUZZ_CHECK(!error.isEmpty());
      continue;
    }
    FUZZ_CHECK(host->startsWith('/'));
    FUZZ_CHECK(CleanHostPath(*host) == *host);
    // "X:", "X:\..." and "X:/..." are drive paths.
    if (arg.size() >= 2 && arg[0].unicode() < 128 && arg[0].isLetter() && arg[1] == QLatin1Char(':') &&
        (arg.size() == 2 || arg[2] == QLatin1Char('\\') || arg[2] == QLatin1Char('/'))) {
      const TDriveMapping* drive = TDriveTable::Instance().Find(arg[0]);
      FUZZ_CHECK(drive && (drive->HostRoot == "/" || *host == drive->HostRoot || host->startsWith(drive->HostRoot + '/')));
    }
    bool protectedFolder = false;
    for (const char* folder : Protected) protectedFolder = protectedFolder || SameEntry(*host, folder);
    FUZZ_CHECK(IsProtectedFolder(*host) == protectedFolder);
  }
  return 0;
}
