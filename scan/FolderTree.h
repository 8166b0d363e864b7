#pragma once
// The folder tree: our own node tree that the scanner fills and the main window shows through a
// light item model. The tree owns its nodes and the TFolderSize records attached to them.

#include "scan/LinkOwners.h"
#include "scan/NodeArena.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <string_view>

class TFolderSize;
class TFolderTree;

// One folder node. Kept small: a scan of millions of folders holds one node and one record per
// folder and nothing per file. The text is stored as WTF-8 (UTF-8 that also carries the lone
// surrogates used for undecodable host bytes), so every QString round-trips.
class TTreeNode {
public:
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;

  QString Text() const;
  std::string_view TextBytes() const;

  // The folder's size record; null while the folder is being scanned or after an interrupted scan.
  TFolderSize* Data() const { return data_; }

  int32_t StateIndex = 0;
  // Indexes into the icon cache; small numbers, kept small so that a node stays small.
  int16_t ImageIndex = -1;
  int16_t SelectedImageIndex = -1;

  TTreeNode* Parent() const { return parent_; }
  int Count() const { return static_cast<int>(count_); }
  bool HasChildren() const { return count_ != 0; }
  TTreeNode* Child(int i) const { return children_[i]; }
  // Position among the parent's children (or among the top-level nodes).
  int Index() const { return row_; }

private:
  friend class TFolderTree;
  TTreeNode() = default;
  ~TTreeNode();

  // The text follows the node in the same block: a 2-byte length, then the WTF-8 bytes. A text
  // that outgrew that room lives in a heap block of the same form, and the node's block then
  // holds a pointer to it (null for no text) instead.
  const char* TextBlock() const;

  TTreeNode* parent_ = nullptr;
  TTreeNode** children_ = nullptr;
  TFolderSize* data_ = nullptr;
  // The child slots allocated follow from the count (a power of two, at least 4) until the
  // array is trimmed to the count once the folder is complete; compacted_ tells which.
  uint32_t count_ : 28 = 0;
  uint32_t compacted_ : 1 = 0;
  // The node counts files with several names (see TLinkOwners).
  uint32_t ownsLinks_ : 1 = 0;
  uint32_t textOutside_ : 1 = 0;
  // The node's block is larger than the arena pools (a long name).
  uint32_t largeBlock_ : 1 = 0;
  int32_t row_ = 0;
};

// Told of every structural change so that an item model can follow the tree.
class ITreeObserver {
public:
  virtual ~ITreeObserver() = default;
  // parent is null for top-level nodes.
  virtual void BeforeInsert(TTreeNode* parent, int row) = 0;
  virtual void AfterInsert() = 0;
  virtual void BeforeRemove(TTreeNode* parent, int first, int last) = 0;
  virtual void AfterRemove() = 0;
  virtual void BeforeSort(TTreeNode* parent) = 0;
  virtual void AfterSort(TTreeNode* parent) = 0;
  virtual void NodeChanged(TTreeNode* node) = 0;
};

class TFolderTree {
public:
  TFolderTree();
  ~TFolderTree();
  TFolderTree(const TFolderTree&) = delete;
  TFolderTree& operator=(const TFolderTree&) = delete;

  void SetObserver(ITreeObserver* observer) { observer_ = observer; }

  int TopCount() const { return top_.Count(); }
  TTreeNode* Top(int i) const { return top_.Child(i); }

  // Appends a node as the last top-level node or the last child of parent.
  TTreeNode* AddTop(QStringView text);
  TTreeNode* AddChild(TTreeNode* parent, QStringView text);
  // Same, with the text already in WTF-8 (the scanner's hot path).
  TTreeNode* AddChildBytes(TTreeNode* parent, std::string_view wtf8Text);

  void SetText(TTreeNode* node, QStringView text);
  void SetStateIndex(TTreeNode* node, int32_t state);

  // Attaches rec (the node takes ownership; a record it held before is freed).
  void SetData(TTreeNode* node, std::unique_ptr<TFolderSize> rec);
  // Detaches and returns the node's record; the data pointer is empty afterwards.
  std::unique_ptr<TFolderSize> TakeData(TTreeNode* node);

  // Frees the records of all descendants of node (and node's own when includeSelf) and empties
  // their data pointers.
  void FreeSubtreeRecords(TTreeNode* node, bool includeSelf);

  // Deletes the node with its subtree and every record attached in it.
  void DeleteNode(TTreeNode* node);
  void DeleteChildren(TTreeNode* node);
  void Clear();

  // Sorts the direct children of node by text (one level) with the locale-aware comparison.
  void SortChildren(TTreeNode* node);

  // Releases unused child slots once a folder's children are complete.
  void Compact(TTreeNode* node);

  // Files with several names, counted once per drive. A node's claims end when the node is
  // deleted or its record is detached or replaced, and with ReleaseLinks.
  bool ClaimLink(const TTreeNode* root, uint64_t device, uint64_t inode, TTreeNode* owner);
  void ReleaseLinks(TTreeNode* node);
  void ForgetLink(const TTreeNode* root, uint64_t device, uint64_t inode) { links_.Forget(root, device, inode); }
  const TLinkOwners& Links() const { return links_; }

private:
  TTreeNode* Append(TTreeNode* parent, std::string_view wtf8Text);
  TTreeNode* NewNode(std::string_view wtf8Text);
  void FreeNode(TTreeNode* node);
  static void SetNodeText(TTreeNode* node, std::string_view wtf8Text);
  void Destroy(TTreeNode* node);
  TTreeNode* Holder(TTreeNode* parent) { return parent ? parent : &top_; }

  // Declared first, so that it goes last, after every node in it.
  TNodeArena arena_;
  // Invisible holder of the top-level nodes; never exposed as a parent, and without a text (it
  // is not in a block of the arena).
  TTreeNode top_;
  ITreeObserver* observer_ = nullptr;
  TLinkOwners links_;
};

// Locale-aware comparison used for sorting folder names (the user's collation).
int CompareFolderNames(const QString& a, const QString& b);
