#include "platform/FileSystemBoundary.h"

#include <fcntl.h>
#include <sys/stat.h>

bool IsOtherFileSystem(const struct statx& st, uint32_t devMajor, uint32_t devMinor) {
  if ((st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (st.stx_attributes & STATX_ATTR_MOUNT_ROOT))
    return true;
  return st.stx_dev_major != devMajor || st.stx_dev_minor != devMinor;
}
