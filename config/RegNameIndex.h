#pragma once
// The positions of names in a list, found by name (RegName.h: case-insensitive) in constant time.
// The index keeps only each name's hash and position; the names stay in the caller's list and
// are read back through a function when hashes collide. Open addressing with linear probing:
// eight bytes a slot, no allocation per name.

#include "config/RegName.h"

#include <QStringView>

#include <cstdint>
#include <vector>

class TRegNameIndex {
public:
  // The position of the name, or -1. nameAt(position) gives the name at a position.
  template <class TNameAt>
  qsizetype Find(QStringView name, uint32_t hash, const TNameAt& nameAt) const {
    if (slots_.empty()) return -1;
    const size_t mask = slots_.size() - 1;
    for (size_t s = hash & mask;; s = (s + 1) & mask) {
      const TSlot& slot = slots_[s];
      if (slot.Position == 0) return -1;
      if (slot.Hash == hash && SameRegName(nameAt(slot.Position - 1), name)) return slot.Position - 1;
    }
  }

  // Adds a name that is not in the index yet.
  void Insert(uint32_t hash, qsizetype position);
  // Removes the entry of that hash and position; the positions after it move down by one, as they
  // do in the list when its entry is erased.
  void Remove(uint32_t hash, qsizetype position);
  void Clear() { slots_.clear(); count_ = 0; }
  void Reserve(qsizetype count);

private:
  struct TSlot {
    uint32_t Hash = 0;
    uint32_t Position = 0;  // position + 1; 0 marks a free slot
  };
  void Rehash(size_t slotCount);

  std::vector<TSlot> slots_;
  qsizetype count_ = 0;
};
