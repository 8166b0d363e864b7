#pragma once
// Files with several names (hard links) count once per drive: at the first name a scan meets.
// This remembers, per drive, which folder counted each such file, so that a rescan elsewhere does
// not count it again and a rescan of that folder counts it anew.

#include <cstddef>
#include <cstdint>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

class TTreeNode;

// The device part of a file's key: the scan that claims and the removal that looks a file up
// must spell it the same way.
inline uint64_t LinkDevice(const struct statx& st) {
  return (static_cast<uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
}

class TLinkOwners {
public:
  // True when the file (device, inode) of the drive whose root node is root counts nowhere yet:
  // owner then counts it. False when a folder of that drive counts it already.
  bool Claim(const TTreeNode* root, uint64_t device, uint64_t inode, TTreeNode* owner);
  // The files owner counted count nowhere any more (its record is gone, or it is being rescanned).
  void Release(const TTreeNode* owner);
  // The folder that counts the file, or null.
  const TTreeNode* Owner(const TTreeNode* root, uint64_t device, uint64_t inode) const;
  // The file's name that counted it is gone: the file counts nowhere now, and the next scan of a
  // folder holding another of its names counts it there.
  void Forget(const TTreeNode* root, uint64_t device, uint64_t inode);
  void Clear();
  std::size_t Count() const { return owners_.size(); }

private:
  struct TKey {
    const TTreeNode* Root;
    uint64_t Device;
    uint64_t Inode;
    bool operator==(const TKey&) const = default;
  };
  struct THash {
    std::size_t operator()(const TKey& k) const noexcept;
  };
  std::unordered_map<TKey, const TTreeNode*, THash> owners_;
  std::unordered_map<const TTreeNode*, std::vector<TKey>> owned_;
};
