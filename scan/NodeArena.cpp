#include "scan/NodeArena.h"

#include <new>

// Under AddressSanitizer every block is a heap block of its own, so that a node used after it
// was freed is still caught.
#if defined(__SANITIZE_ADDRESS__)
#define KORVANE_NODE_ARENA 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVANE_NODE_ARENA 0
#endif
#endif
#ifndef KORVANE_NODE_ARENA
#define KORVANE_NODE_ARENA 1
#endif

namespace {
[[maybe_unused]] constexpr std::size_t RoundUp(std::size_t size, std::size_t grain) { return (size + grain - 1) / grain * grain; }
}  // namespace

TNodeArena::~TNodeArena() {
  for (char* chunk : chunks_) ::operator delete(chunk);
}

void* TNodeArena::Allocate(std::size_t size) {
#if KORVANE_NODE_ARENA
  const std::size_t bytes = RoundUp(size < sizeof(TFree) ? sizeof(TFree) : size, Grain);
  if (bytes > LargestPooled) return ::operator new(bytes);
  TFree*& list = free_[bytes / Grain];
  if (list) {
    TFree* block = list;
    list = block->Next;
    return block;
  }
  if (static_cast<std::size_t>(unusedEnd_ - unused_) < bytes) {
    // What is left of the old chunk is too small for this size; it stays unused.
    chunks_.reserve(chunks_.size() + 1);
    char* chunk = static_cast<char*>(::operator new(ChunkBytes));
    chunks_.push_back(chunk);
    unused_ = chunk;
    unusedEnd_ = chunk + ChunkBytes;
  }
  void* block = unused_;
  unused_ += bytes;
  return block;
#else
  return ::operator new(size);
#endif
}

void TNodeArena::Free(void* block, std::size_t size) noexcept {
  if (!block) return;
#if KORVANE_NODE_ARENA
  const std::size_t bytes = RoundUp(size < sizeof(TFree) ? sizeof(TFree) : size, Grain);
  if (bytes > LargestPooled) {
    ::operator delete(block);
    return;
  }
  auto* entry = static_cast<TFree*>(block);
  entry->Next = free_[bytes / Grain];
  free_[bytes / Grain] = entry;
#else
  (void)size;
  ::operator delete(block);
#endif
}
