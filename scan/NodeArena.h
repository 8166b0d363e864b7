#pragma once
// Blocks for the folder tree's nodes. A scan keeps one node (with its name) per folder, millions
// on a large disk: a heap block each would add its header and round every node up to 16 bytes.
// The arena carves blocks of the exact size, rounded to 8 bytes, from large chunks, and keeps
// freed blocks on one free list per size for the next nodes of that size. Large blocks (long
// names) come from the heap. The chunks go back when the arena goes.

#include <cstddef>
#include <vector>

class TNodeArena {
public:
  TNodeArena() = default;
  ~TNodeArena();
  TNodeArena(const TNodeArena&) = delete;
  TNodeArena& operator=(const TNodeArena&) = delete;

  // A block of at least size bytes, aligned like any heap block.
  void* Allocate(std::size_t size);
  // Gives back a block of Allocate(size). A smaller size than was asked for is safe (the block
  // is then reused for that smaller size) as long as both are pooled or both are not; a larger
  // one is not.
  void Free(void* block, std::size_t size) noexcept;

  // Blocks up to this size come from the chunks, larger ones from the heap.
  static constexpr std::size_t LargestPooled = 512;

private:
  static constexpr std::size_t Grain = 8;
  static constexpr std::size_t ChunkBytes = 256 * 1024;

  struct TFree {
    TFree* Next;
  };
  // Unused in builds with AddressSanitizer, where every block comes from the heap.
  [[maybe_unused]] TFree* free_[LargestPooled / Grain + 1] = {};
  std::vector<char*> chunks_;
  [[maybe_unused]] char* unused_ = nullptr;  // the untouched rest of the newest chunk
  [[maybe_unused]] char* unusedEnd_ = nullptr;
};
