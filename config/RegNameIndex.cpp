#include "config/RegNameIndex.h"

namespace {

// At most half of the slots are used, so that probe runs stay short.
size_t SlotsFor(qsizetype count) {
  size_t slotCount = 8;
  while (slotCount < static_cast<size_t>(count) * 2) slotCount *= 2;
  return slotCount;
}

}  // namespace

void TRegNameIndex::Rehash(size_t slotCount) {
  std::vector<TSlot> old = std::move(slots_);
  slots_.assign(slotCount, TSlot());
  const size_t mask = slotCount - 1;
  for (const TSlot& slot : old) {
    if (slot.Position == 0) continue;
    size_t s = slot.Hash & mask;
    while (slots_[s].Position != 0) s = (s + 1) & mask;
    slots_[s] = slot;
  }
}

void TRegNameIndex::Reserve(qsizetype count) {
  const size_t wanted = SlotsFor(count);
  if (wanted > slots_.size()) Rehash(wanted);
}

void TRegNameIndex::Insert(uint32_t hash, qsizetype position) {
  if (static_cast<size_t>(count_ + 1) * 2 > slots_.size()) Rehash(SlotsFor(count_ + 1));
  const size_t mask = slots_.size() - 1;
  size_t s = hash & mask;
  while (slots_[s].Position != 0) s = (s + 1) & mask;
  slots_[s] = {hash, static_cast<uint32_t>(position + 1)};
  ++count_;
}

void TRegNameIndex::Remove(uint32_t hash, qsizetype position) {
  if (slots_.empty()) return;
  const size_t mask = slots_.size() - 1;
  const auto stored = static_cast<uint32_t>(position + 1);
  size_t hole = hash & mask;
  while (slots_[hole].Position != stored) {
    if (slots_[hole].Position == 0) return;
    hole = (hole + 1) & mask;
  }
  // Backward-shift deletion: later entries of the probe run move into the hole when their home
  // slot allows it, so that no run is broken and no tombstones pile up.
  for (size_t s = (hole + 1) & mask; slots_[s].Position != 0; s = (s + 1) & mask) {
    const size_t home = slots_[s].Hash & mask;
    // The entry may fill the hole when the hole lies cyclically between its home and its slot.
    const bool movable = hole <= s ? (home <= hole || home > s) : (home <= hole && home > s);
    if (movable) {
      slots_[hole] = slots_[s];
      hole = s;
    }
  }
  slots_[hole] = TSlot();
  --count_;
  for (TSlot& slot : slots_)
    if (slot.Position > stored) --slot.Position;
}
