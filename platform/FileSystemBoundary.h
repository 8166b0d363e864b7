#pragma once
// Where one file system ends and another begins, as the walks over the drives tell it.

#include <cstdint>

struct statx;

// True when a folder entry with statx data st lies on another file system than the folder's
// device (dev) or is a mount root: such a folder is shown but never read.
bool IsOtherFileSystem(const struct statx& st, uint32_t devMajor, uint32_t devMinor);
