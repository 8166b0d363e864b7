#include "scan/LinkOwners.h"

#include <functional>

std::size_t TLinkOwners::THash::operator()(const TKey& k) const noexcept {
  uint64_t h = k.Inode * 0x9E3779B97F4A7C15ULL;
  h ^= k.Device + 0x632BE59BD9B4E019ULL + (h << 6) + (h >> 2);
  h ^= std::hash<const void*>()(k.Root) + (h << 6) + (h >> 2);
  return static_cast<std::size_t>(h);
}

bool TLinkOwners::Claim(const TTreeNode* root, uint64_t device, uint64_t inode, TTreeNode* owner) {
  const TKey key{root, device, inode};
  const auto [it, inserted] = owners_.try_emplace(key, owner);
  if (!inserted) return false;
  try {
    owned_[owner].push_back(key);
  } catch (...) {
    owners_.erase(it);
    throw;
  }
  return true;
}

void TLinkOwners::Release(const TTreeNode* owner) {
  const auto it = owned_.find(owner);
  if (it == owned_.end()) return;
  for (const TKey& key : it->second) {
    const auto o = owners_.find(key);
    if (o != owners_.end() && o->second == owner) owners_.erase(o);
  }
  owned_.erase(it);
}

const TTreeNode* TLinkOwners::Owner(const TTreeNode* root, uint64_t device, uint64_t inode) const {
  const auto it = owners_.find({root, device, inode});
  return it == owners_.end() ? nullptr : it->second;
}

void TLinkOwners::Forget(const TTreeNode* root, uint64_t device, uint64_t inode) {
  // The owner's list keeps the key; Release skips keys another folder has claimed since.
  owners_.erase({root, device, inode});
}

void TLinkOwners::Clear() {
  owners_.clear();
  owned_.clear();
}
