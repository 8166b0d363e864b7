#include "scan/FolderTree.h"

#include "platform/HostNames.h"
#include "scan/FolderSize.h"

#include <QCollator>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr size_t TextHeader = sizeof(uint16_t);
constexpr size_t MaxTextBytes = 0xFFFF;

// Child slots allocated for count children while a folder fills.
uint32_t SlotsFor(uint32_t count) { return count <= 4 ? 4 : std::bit_ceil(count); }

uint16_t StoredLength(const char* text) {
  uint16_t len = 0;
  if (text) std::memcpy(&len, text, TextHeader);
  return len;
}

}  // namespace

static_assert(alignof(TTreeNode) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
// A scan keeps one node per folder: with its text it should fit a small block.
static_assert(sizeof(TTreeNode) <= 40);
static_assert(sizeof(TTreeNode) % alignof(char*) == 0);

namespace {

// The block of a node with a text of len bytes; always room for the pointer to an outside text.
size_t NodeBlockBytes(size_t len) { return sizeof(TTreeNode) + std::max(TextHeader + len, sizeof(char*)); }

char* TextRoom(TTreeNode* node) { return reinterpret_cast<char*>(node + 1); }

char* NewTextBlock(std::string_view wtf8Text) {
  char* text = static_cast<char*>(std::malloc(TextHeader + wtf8Text.size()));
  if (!text) throw std::bad_alloc();
  const uint16_t stored = static_cast<uint16_t>(wtf8Text.size());
  std::memcpy(text, &stored, TextHeader);
  std::memcpy(text + TextHeader, wtf8Text.data(), wtf8Text.size());
  return text;
}

char* OutsideText(const TTreeNode* node) {
  char* text;
  std::memcpy(&text, reinterpret_cast<const char*>(node + 1), sizeof text);
  return text;
}

}  // namespace

TTreeNode::~TTreeNode() {
  std::free(children_);
  delete data_;
}

const char* TTreeNode::TextBlock() const {
  return textOutside_ ? OutsideText(this) : reinterpret_cast<const char*>(this + 1);
}

std::string_view TTreeNode::TextBytes() const {
  const char* text = TextBlock();
  if (!text) return {};
  return std::string_view(text + TextHeader, StoredLength(text));
}

QString TTreeNode::Text() const { return DecodeWtf8(TextBytes()); }

TFolderTree::TFolderTree() = default;

TFolderTree::~TFolderTree() {
  observer_ = nullptr;  // an observer may be going away with the tree
  Clear();
}

TTreeNode* TFolderTree::NewNode(std::string_view wtf8Text) {
  // One block for the node and its text: a scan keeps one node per folder, so a second
  // allocation's overhead would count.
  const size_t len = std::min(wtf8Text.size(), MaxTextBytes);
  const size_t bytes = NodeBlockBytes(len);
  void* block = arena_.Allocate(bytes);
  auto* node = new (block) TTreeNode();
  node->largeBlock_ = bytes > TNodeArena::LargestPooled;
  const uint16_t stored = static_cast<uint16_t>(len);
  std::memcpy(TextRoom(node), &stored, TextHeader);
  if (len) std::memcpy(TextRoom(node) + TextHeader, wtf8Text.data(), len);
  return node;
}

void TFolderTree::FreeNode(TTreeNode* node) {
  // The text held now fits the block, so its size is at most the block's; a text that moved
  // out leaves at least the smallest block behind.
  size_t bytes = NodeBlockBytes(0);
  if (node->textOutside_)
    std::free(OutsideText(node));
  else
    bytes = NodeBlockBytes(StoredLength(TextRoom(node)));
  if (node->largeBlock_) bytes = std::max(bytes, TNodeArena::LargestPooled + 1);
  node->~TTreeNode();
  arena_.Free(node, bytes);
}

void TFolderTree::SetNodeText(TTreeNode* node, std::string_view wtf8Text) {
  const size_t len = std::min(wtf8Text.size(), MaxTextBytes);
  wtf8Text = wtf8Text.substr(0, len);
  if (!node->textOutside_ && len <= StoredLength(TextRoom(node))) {
    // Fits where the text is now.
    const uint16_t stored = static_cast<uint16_t>(len);
    std::memcpy(TextRoom(node), &stored, TextHeader);
    std::memcpy(TextRoom(node) + TextHeader, wtf8Text.data(), len);
    return;
  }
  char* text = len ? NewTextBlock(wtf8Text) : nullptr;
  if (node->textOutside_) std::free(OutsideText(node));
  node->textOutside_ = 1;
  std::memcpy(TextRoom(node), &text, sizeof text);
}

TTreeNode* TFolderTree::Append(TTreeNode* parent, std::string_view wtf8Text) {
  TTreeNode* holder = Holder(parent);
  const uint32_t count = holder->count_;
  if (count == 0 || holder->compacted_ || count == SlotsFor(count)) {
    void* grown = std::realloc(holder->children_, SlotsFor(count + 1) * sizeof(TTreeNode*));
    if (!grown) throw std::bad_alloc();
    holder->children_ = static_cast<TTreeNode**>(grown);
    holder->compacted_ = 0;
  }
  TTreeNode* node = NewNode(wtf8Text);
  node->parent_ = parent;
  node->row_ = static_cast<int32_t>(holder->count_);
  if (observer_) observer_->BeforeInsert(parent, node->row_);
  holder->children_[count] = node;
  holder->count_ = count + 1;
  if (observer_) observer_->AfterInsert();
  return node;
}

TTreeNode* TFolderTree::AddTop(QStringView text) { return Append(nullptr, EncodeWtf8(text)); }

TTreeNode* TFolderTree::AddChild(TTreeNode* parent, QStringView text) {
  return Append(parent, EncodeWtf8(text));
}

TTreeNode* TFolderTree::AddChildBytes(TTreeNode* parent, std::string_view wtf8Text) {
  return Append(parent, wtf8Text);
}

void TFolderTree::SetText(TTreeNode* node, QStringView text) {
  SetNodeText(node, EncodeWtf8(text));
  if (observer_) observer_->NodeChanged(node);
}

void TFolderTree::SetStateIndex(TTreeNode* node, int32_t state) {
  node->StateIndex = state;
  if (observer_) observer_->NodeChanged(node);
}

void TFolderTree::SetData(TTreeNode* node, std::unique_ptr<TFolderSize> rec) {
  if (node->data_) ReleaseLinks(node);
  delete node->data_;
  node->data_ = rec.release();
  if (observer_) observer_->NodeChanged(node);
}

std::unique_ptr<TFolderSize> TFolderTree::TakeData(TTreeNode* node) {
  std::unique_ptr<TFolderSize> rec(node->data_);
  if (rec) ReleaseLinks(node);
  node->data_ = nullptr;
  if (rec && observer_) observer_->NodeChanged(node);
  return rec;
}

void TFolderTree::Destroy(TTreeNode* node) {
  // Iterative, so that a very deep tree cannot exhaust the stack.
  std::vector<TTreeNode*> pending{node};
  while (!pending.empty()) {
    TTreeNode* n = pending.back();
    pending.pop_back();
    for (uint32_t i = 0; i < n->count_; ++i) pending.push_back(n->children_[i]);
    n->count_ = 0;
    ReleaseLinks(n);
    FreeNode(n);
  }
}

void TFolderTree::FreeSubtreeRecords(TTreeNode* node, bool includeSelf) {
  if (!node) return;
  if (includeSelf && node->data_) SetData(node, nullptr);
  // Iterative, so that a very deep tree cannot exhaust the stack.
  std::vector<TTreeNode*> pending(node->children_, node->children_ + node->count_);
  while (!pending.empty()) {
    TTreeNode* n = pending.back();
    pending.pop_back();
    if (n->data_) SetData(n, nullptr);
    pending.insert(pending.end(), n->children_, n->children_ + n->count_);
  }
}

void TFolderTree::DeleteNode(TTreeNode* node) {
  if (!node) return;
  TTreeNode* parent = node->parent_;
  TTreeNode* holder = Holder(parent);
  const int row = node->row_;
  if (observer_) observer_->BeforeRemove(parent, row, row);
  std::memmove(holder->children_ + row, holder->children_ + row + 1,
               (holder->count_ - row - 1) * sizeof(TTreeNode*));
  --holder->count_;
  for (uint32_t i = row; i < holder->count_; ++i) holder->children_[i]->row_ = static_cast<int32_t>(i);
  Destroy(node);
  if (observer_) observer_->AfterRemove();
}

void TFolderTree::DeleteChildren(TTreeNode* node) {
  TTreeNode* holder = Holder(node);
  if (holder->count_ == 0) return;
  if (observer_) observer_->BeforeRemove(node, 0, static_cast<int>(holder->count_) - 1);
  const uint32_t count = holder->count_;
  holder->count_ = 0;
  for (uint32_t i = 0; i < count; ++i) Destroy(holder->children_[i]);
  std::free(holder->children_);
  holder->children_ = nullptr;
  holder->compacted_ = 0;
  if (observer_) observer_->AfterRemove();
}

void TFolderTree::Clear() {
  DeleteChildren(nullptr);
  links_.Clear();
}

bool TFolderTree::ClaimLink(const TTreeNode* root, uint64_t device, uint64_t inode, TTreeNode* owner) {
  if (!links_.Claim(root, device, inode, owner)) return false;
  owner->ownsLinks_ = 1;
  return true;
}

void TFolderTree::ReleaseLinks(TTreeNode* node) {
  if (!node->ownsLinks_) return;
  node->ownsLinks_ = 0;
  links_.Release(node);
}

void TFolderTree::Compact(TTreeNode* node) {
  TTreeNode* holder = Holder(node);
  if (holder->compacted_) return;
  if (holder->count_ == 0) {
    std::free(holder->children_);
    holder->children_ = nullptr;
    return;
  }
  void* shrunk = std::realloc(holder->children_, holder->count_ * sizeof(TTreeNode*));
  if (!shrunk) return;  // keeping the larger block is harmless
  holder->children_ = static_cast<TTreeNode**>(shrunk);
  holder->compacted_ = 1;
}

int CompareFolderNames(const QString& a, const QString& b) {
  static const QCollator collator = [] {
    QCollator c;  // the user's locale
    // Alphabetical first, case only breaks ties, as the Windows string comparison sorts.
    c.setCaseSensitivity(Qt::CaseSensitive);
    c.setNumericMode(false);
    return c;
  }();
  const int r = collator.compare(a, b);
  if (r != 0) return r;
  // Names the collation holds equal still get a fixed order.
  return QString::compare(a, b, Qt::CaseSensitive);
}

void TFolderTree::SortChildren(TTreeNode* node) {
  TTreeNode* holder = Holder(node);
  if (holder->count_ < 2) return;
  struct Item {
    QString text;
    TTreeNode* node;
  };
  std::vector<Item> items;
  items.reserve(holder->count_);
  for (uint32_t i = 0; i < holder->count_; ++i)
    items.push_back({holder->children_[i]->Text(), holder->children_[i]});
  const bool sorted = std::is_sorted(items.begin(), items.end(), [](const Item& x, const Item& y) {
    return CompareFolderNames(x.text, y.text) < 0;
  });
  if (sorted) return;
  if (observer_) observer_->BeforeSort(node);
  std::stable_sort(items.begin(), items.end(), [](const Item& x, const Item& y) {
    return CompareFolderNames(x.text, y.text) < 0;
  });
  for (uint32_t i = 0; i < holder->count_; ++i) {
    holder->children_[i] = items[i].node;
    items[i].node->row_ = static_cast<int32_t>(i);
  }
  if (observer_) observer_->AfterSort(node);
}
