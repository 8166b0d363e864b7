#pragma once
// A light item model over the folder tree: one column, the node pointers are the internal
// pointers of the indexes. It follows the tree through ITreeObserver, so the view fills while a
// scan walks.

#include "scan/FolderTree.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <QPersistentModelIndex>

#include <utility>

class TTreeComparison;

class TFolderTreeModel : public QAbstractItemModel, public ITreeObserver {
public:
  explicit TFolderTreeModel(TFolderTree& tree, QObject* parent = nullptr);
  ~TFolderTreeModel() override;

  TFolderTree& Tree() { return tree_; }
  // Marks grown, shrunk and new folders of a comparison with the style's arrows (null: none). The
  // comparison must outlive its use here or be replaced first.
  void SetComparison(const TTreeComparison* comparison);

  QModelIndex IndexOf(const TTreeNode* node) const;
  static TTreeNode* NodeOf(const QModelIndex& index);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // ITreeObserver
  void BeforeInsert(TTreeNode* parent, int row) override;
  void AfterInsert() override;
  void BeforeRemove(TTreeNode* parent, int first, int last) override;
  void AfterRemove() override;
  void BeforeSort(TTreeNode* parent) override;
  void AfterSort(TTreeNode* parent) override;
  void NodeChanged(TTreeNode* node) override;

private:
  TFolderTree& tree_;
  QIcon folderIcon_;
  QIcon openFolderIcon_;
  QIcon driveIcon_;
  QIcon grownIcon_;
  QIcon shrunkIcon_;
  QIcon newIcon_;
  const TTreeComparison* comparison_ = nullptr;
  // The persistent indexes among the children of the level being sorted, with their nodes.
  QList<std::pair<QPersistentModelIndex, TTreeNode*>> sorting_;
};
