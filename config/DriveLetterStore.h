#pragma once
// The drive table's memory in the current user's hive:
//
//   [HKEY_CURRENT_USER\Software\Morvell\Korvane 3\Drives]
//   "D"="/media/usb-stick"          one value per letter: the mount point it was last given to
//
//   [HKEY_CURRENT_USER\Network\Z]
//   "RemotePath"="/mnt/share"       a folder the user mapped, as Windows keeps mapped drives
//
// Host paths are bytes; they are stored as text that gives back the same bytes (DecodeEscapedUtf8 in platform/HostNames.h).

#include "platform/DriveTable.h"

#include <QLatin1String>

inline constexpr QLatin1String DriveLettersKeyPath("Software\\Morvell\\Korvane 3\\Drives");
inline constexpr QLatin1String NetworkKeyPath("Network");
inline constexpr QLatin1String RemotePathName("RemotePath");

class TRegistryDriveLetterStore : public IDriveLetterStore {
public:
  // Reading never fails (a broken value is skipped); a failure to remember letters is reported
  // as a warning only, since the drives work all the same.
  std::vector<TDriveMapping> Remembered() override;
  void Remember(const std::vector<TDriveMapping>& given) override;
  std::vector<TDriveMapping> Mapped() override;
  bool Map(char letter, const QByteArray& hostFolder, QString* error) override;
  bool Unmap(char letter, QString* error) override;
};
