// Drive paths and host paths. The input's first line is a drive table as KORVANE_DRIVES gives it;
// each further line is a path. A host path, cleaned, goes to a drive path and back to itself;
// a drive path goes to a host path that goes to a drive path giving that host path again; host
// names and escaped bytes decode and encode back to the same bytes.

#include "fuzz/FuzzSupport.h"
#include "platform/DriveTable.h"
#include "platform/HostNames.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("KORVANE_DRIVES", "C=/", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray input = FuzzBytes(data, size);
  const qsizetype nl = input.indexOf('\n');
  // An environment variable holds no NUL.
  QByteArray table = nl < 0 ? input : input.left(nl);
  table.replace('\0', "");
  const std::vector<TDriveMapping> mappings = ParseDriveMappings(table);
  for (const TDriveMapping& m : mappings) FUZZ_CHECK(m.HostRoot == CleanHostPath(m.HostRoot));
  TDriveTable::Instance().SetMappings(mappings);

  const QList<QByteArray> lines = nl < 0 ? QList<QByteArray>() : input.mid(nl + 1).split('\n');
  for (qsizetype i = 0; i < std::min<qsizetype>(lines.size(), 16); ++i) {
    const QByteArray& raw = lines[i];
    FUZZ_CHECK(EncodeEscapedUtf8(DecodeEscapedUtf8(raw)) == raw);
    const QString name = DecodeHostName(std::string_view(raw.constData(), static_cast<size_t>(raw.size())));
    FUZZ_CHECK(EncodeHostName(name) == raw);
    FUZZ_CHECK(DecodeWtf8(EncodeWtf8(name)) == name);

    if (raw.startsWith('/') && !raw.contains('\0')) {
      const QByteArray host = CleanHostPath(raw);
      FUZZ_CHECK(CleanHostPath(host) == host);
      if (const std::optional<QString> drive = HostToDrive(host)) FUZZ_CHECK(DriveToHost(*drive) == host);
    }
    if (const std::optional<QByteArray> host = DriveToHost(name)) {
      FUZZ_CHECK(!host->contains('\0'));
      const std::optional<QString> drive = HostToDrive(*host);
      FUZZ_CHECK(drive.has_value());
      FUZZ_CHECK(DriveToHost(*drive) == *host);
    }
  }
  return 0;
}
