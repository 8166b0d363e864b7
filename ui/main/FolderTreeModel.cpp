#include "ui/main/FolderTreeModel.h"

#include "history/TreeComparison.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QStyle>

TFolderTreeModel::TFolderTreeModel(TFolderTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {
  QFileIconProvider icons;
  folderIcon_ = icons.icon(QFileIconProvider::Folder);
  openFolderIcon_ = folderIcon_;
  driveIcon_ = icons.icon(QFileIconProvider::Drive);
  // The style's own pictures, so that the marks follow the theme and its palette.
  QStyle* style = QApplication::style();
  grownIcon_ = style->standardIcon(QStyle::SP_ArrowUp);
  shrunkIcon_ = style->standardIcon(QStyle::SP_ArrowDown);
  newIcon_ = style->standardIcon(QStyle::SP_FileDialogNewFolder);
  tree_.SetObserver(this);
}

TFolderTreeModel::~TFolderTreeModel() { tree_.SetObserver(nullptr); }

TTreeNode* TFolderTreeModel::NodeOf(const QModelIndex& index) {
  return index.isValid() ? static_cast<TTreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TFolderTreeModel::IndexOf(const TTreeNode* node) const {
  if (!node) return {};
  return createIndex(node->Index(), 0, const_cast<TTreeNode*>(node));
}

QModelIndex TFolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const TTreeNode* p = NodeOf(parent);
  if (p) {
    if (row >= p->Count()) return {};
    return createIndex(row, 0, p->Child(row));
  }
  if (parent.isValid() || row >= tree_.TopCount()) return {};
  return createIndex(row, 0, tree_.Top(row));
}

QModelIndex TFolderTreeModel::parent(const QModelIndex& child) const {
  const TTreeNode* node = NodeOf(child);
  return node ? IndexOf(node->Parent()) : QModelIndex();
}

int TFolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  const TTreeNode* p = NodeOf(parent);
  return p ? p->Count() : tree_.TopCount();
}

int TFolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool TFolderTreeModel::hasChildren(const QModelIndex& parent) const {
  const TTreeNode* p = NodeOf(parent);
  return p ? p->HasChildren() : tree_.TopCount() > 0;
}

QVariant TFolderTreeModel::data(const QModelIndex& index, int role) const {
  const TTreeNode* node = NodeOf(index);
  if (!node) return {};
  const TNodeChange* change = comparison_ && role != Qt::DisplayRole ? comparison_->ChangeOf(node) : nullptr;
  switch (role) {
    case Qt::DisplayRole:
      return node->Text();
    case Qt::DecorationRole:
      if (change) switch (change->Mark) {
          case TChangeMark::Grown:
            return grownIcon_;
          case TChangeMark::Shrunk:
            return shrunkIcon_;
          case TChangeMark::New:
            return newIcon_;
          case TChangeMark::Same:
            break;
        }
      return node->Parent() ? folderIcon_ : driveIcon_;
    case Qt::ToolTipRole:
      if (!change) return {};
      if (change->Mark == TChangeMark::New) return QStringLiteral("New since the snapshot: %1").arg(SignedSizeText(change->Delta));
      if (change->Mark == TChangeMark::Same) return QStringLiteral("Unchanged since the snapshot");
      return QStringLiteral("%1 (%2) since the snapshot")
          .arg(SignedSizeText(change->Delta), ChangePercentText(change->Delta, change->OldSize));
    default:
      return {};
  }
}

Qt::ItemFlags TFolderTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void TFolderTreeModel::SetComparison(const TTreeComparison* comparison) {
  comparison_ = comparison;
  // The view asks again for what it draws when its viewport is updated (see THistoryCommands).
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole, Qt::ToolTipRole});
}

void TFolderTreeModel::BeforeInsert(TTreeNode* parent, int row) {
  beginInsertRows(IndexOf(parent), row, row);
}

void TFolderTreeModel::AfterInsert() { endInsertRows(); }

void TFolderTreeModel::BeforeRemove(TTreeNode* parent, int first, int last) {
  beginRemoveRows(IndexOf(parent), first, last);
}

void TFolderTreeModel::AfterRemove() { endRemoveRows(); }

void TFolderTreeModel::BeforeSort(TTreeNode* parent) {
  const QPersistentModelIndex parentIndex(IndexOf(parent));
  emit layoutAboutToBeChanged({parentIndex}, QAbstractItemModel::VerticalSortHint);
  sorting_.clear();
  for (const QModelIndex& index : persistentIndexList()) {
    TTreeNode* node = NodeOf(index);
    if (node && node->Parent() == parent) sorting_.append({QPersistentModelIndex(index), node});
  }
}

void TFolderTreeModel::AfterSort(TTreeNode* parent) {
  for (const auto& [index, node] : sorting_)
    if (index.isValid()) changePersistentIndex(index, IndexOf(node));
  sorting_.clear();
  emit layoutChanged({QPersistentModelIndex(IndexOf(parent))}, QAbstractItemModel::VerticalSortHint);
}

void TFolderTreeModel::NodeChanged(TTreeNode* node) {
  const QModelIndex index = IndexOf(node);
  if (index.isValid()) emit dataChanged(index, index, {Qt::DisplayRole});
}
