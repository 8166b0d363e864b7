#pragma once
// The host's mount table (/proc/self/mountinfo).

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
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

// The mount points below one folder as a tree of names, so that a walk can tell whether a
// subfolder has another file system mounted on it without asking the kernel for every folder.
class TMountsBelow {
public:
  struct Node {
    bool MountPoint = false;
    std::vector<std::pair<QByteArray, std::unique_ptr<Node>>> Children;
    const Node* Find(std::string_view name) const;
  };

  // folder: the real (link-free) host path of the folder walked.
  TMountsBelow(const std::vector<TMountEntry>& table, const QByteArray& folder);
  ~TMountsBelow();
  TMountsBelow(TMountsBelow&&) = default;
  TMountsBelow& operator=(TMountsBelow&&) = default;
  // The names below the folder walked; null when no mount point lies below it.
  const Node* Root() const { return root_.Children.empty() ? nullptr : &root_; }

private:
  Node root_;
};
