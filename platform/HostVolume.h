#pragma once
// Volume queries on the host: what stands in for the Windows volume information and free-space
// calls.

#include "platform/MountTable.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

struct THostVolume {
  QString Label;
  QString FileSystemName;  // Windows names for the Windows families, else the kernel's type
  uint32_t SerialNumber = 0;
  uint32_t MaxComponentLength = 0;
  uint32_t FileSystemFlags = 0;  // bit 0: case-sensitive names
};

// The name shown for a kernel file-system type: FAT32 for vfat, exFAT, NTFS, CDFS for iso9660
// and udf, otherwise the type as the mount table spells it.
QString WindowsFileSystemName(const QByteArray& kernelType);
// Whether names are case-sensitive on a file system of that (Windows-style) name.
bool IsCaseSensitiveFileSystem(const QString& fileSystemName);

// False when hostRoot cannot be queried (missing folder, no access).
bool QueryHostVolume(const QByteArray& hostRoot, const TMountEntry* mount, THostVolume& out);

struct THostSpace {
  int64_t ClusterSize = -1;  // fragment size
  int64_t FreeBytes = -1;    // available to the caller
  int64_t TotalBytes = -1;
};
bool QueryHostSpace(const QByteArray& hostRoot, THostSpace& out);

// The label of a block device (from /dev/disk/by-label); empty when it has none.
QString BlockDeviceLabel(const QByteArray& devicePath);
