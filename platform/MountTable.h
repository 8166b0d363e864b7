#pragma once
// The host's mount table (/proc/self/mountinfo).

#include <QByteArray>

#include <cstdint>
#include <vector>

struct TMountEntry {
  int MountId = 0;
  int ParentId = 0;
  uint32_t Major = 0;
  uint32_t Minor = 0;
  QByteArray Root;        // the part of the file system mounted here ("/" for a whole one)
  QByteArray MountPoint;  // unescaped host path
  QByteArray Options;
  QByteArray FsType;
  QByteArray Source;
};

std::vector<TMountEntry> ParseMountInfo(const QByteArray& text);
// Reads /proc/self/mountinfo; empty when it cannot be read.
std::vector<TMountEntry> ReadMountTable();

// The mount that holds hostPath (an absolute, clean path): the longest mount point that is a
// prefix of it; the one mounted last wins when several share a mount point. Null when none.
const TMountEntry* MountContaining(const std::vector<TMountEntry>& table, const QByteArray& hostPath);

bool IsNetworkFsType(const QByteArray& fsType);
// Block-backed (a source under /dev/ other than loop devices) or a network file system.
bool HoldsUserData(const TMountEntry& entry);
