// The folder tree view: its model and guarded selection, what a change of folder does, the
// context menu, Up One Level, Explore, Select Folder, and folders dropped on the window.

#include "ui/main/MainForm.h"

#include "scan/ScanSession.h"

#include "config/Options.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/Scanner.h"
#include "cleanup/ui/ItemMenu.h"
#include "shell/Launch.h"
#include "shell/MessageBoxes.h"
#include "shell/ShBrowse.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/MainFormInternal.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/ScanFileCommands.h"
#include "ui/main/SubfoldersPage.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <functional>
#include <utility>
#include <vector>


namespace {

// True when node is below (or is) one of the rows first..last of parent.
bool IsWithinRows(const TTreeNode* node, const TTreeNode* parent, int first, int last) {
  for (const TTreeNode* n = node; n; n = n->Parent())
    if (n->Parent() == parent && n->Index() >= first && n->Index() <= last) return true;
  return false;
}

// The tree's selection model: asks the main window before the selection moves to another node,
// and keeps the selection where it is when the main window refuses.
class TGuardedSelectionModel : public QItemSelectionModel {
public:
  TGuardedSelectionModel(QAbstractItemModel* model, std::function<bool(TTreeNode*)> allow)
      : QItemSelectionModel(model), allow_(std::move(allow)) {}

  using QItemSelectionModel::select;
  void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
    if (!Allowed(index)) return;
    QItemSelectionModel::setCurrentIndex(index, command);
  }
  void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override {
    if (!selection.isEmpty() && !selection.indexes().isEmpty() && !Allowed(selection.indexes().first())) return;
    QItemSelectionModel::select(selection, command);
  }

private:
  bool Allowed(const QModelIndex& index) {
    if (!index.isValid() || index == currentIndex()) return true;
    // One user action asks twice (current, then selection): ask the user once.
    if (asked_.isValid() && asked_ == index) return answer_;
    asked_ = index;
    answer_ = allow_(TFolderTreeModel::NodeOf(index));
    QTimer::singleShot(0, this, [this] { asked_ = QPersistentModelIndex(); });
    return answer_;
  }

  std::function<bool(TTreeNode*)> allow_;
  QPersistentModelIndex asked_;
  bool answer_ = true;
};

}  // namespace

// The tree control, its model and its guarded selection model; called while the layout is built.
void TMainForm::BuildFolderTree() {
  FolderTree = new QTreeView(TheLeftPanel);
  FolderTree->setObjectName(QStringLiteral("FolderTree"));
  FolderTree->setAccessibleName(QStringLiteral("Folder tree"));
  FolderTree->setHeaderHidden(true);
  FolderTree->setIndentation(19);
  FolderTree->setUniformRowHeights(true);
  FolderTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FolderTree->setSelectionMode(QAbstractItemView::SingleSelection);
  model_ = new TFolderTreeModel(session_->Tree());
  // Before the view connects: removals that take the current folder away are seen first.
  connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex& parent, int first, int last) {
    ++removing_;
    const TTreeNode* p = TFolderTreeModel::NodeOf(parent);
    if (current_.Node() && IsWithinRows(current_.Node(), p, first, last)) {
      current_.SetNode(nullptr);
      selectionMoved_ = true;
    }
    const TTreeNode* listed = SubfoldersPage ? SubfoldersPage->ShownNode() : nullptr;
    if (listed && IsWithinRows(listed, p, first, last)) SubfoldersPage->Forget();
  });
  connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] {
    if (--removing_ > 0 || !selectionMoved_) return;
    selectionMoved_ = false;
    FolderTreeChange(SelectedNode());
  });
  FolderTree->setModel(model_);
  auto* guarded = new TGuardedSelectionModel(model_, [this](TTreeNode* node) { return FolderTreeChanging(node); });
  QItemSelectionModel* old = FolderTree->selectionModel();
  FolderTree->setSelectionModel(guarded);
  delete old;
  connect(guarded, &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
    if (removing_ > 0) {
      selectionMoved_ = true;
      return;
    }
    FolderTreeChange(TFolderTreeModel::NodeOf(current));
  });
  FolderTree->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FolderTree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex index = FolderTree->indexAt(pos);
    if (index.isValid() && index != FolderTree->currentIndex()) FolderTree->setCurrentIndex(index);
    TTreeNode* node = SelectedNode();
    if (!node) return;
    if (!node->Data()) {
      ShowError(QStringLiteral("The context menu of the selected folder cannot be displayed because Korvane has not "
                               "finished scanning the folder"),
                2, this);
      return;
    }
    Guarded([&] {
      ShowItemContextMenu(NodePath(node), node, node->Data()->TotalSize, pos, FolderTree->viewport());
    });
  });
}

void TMainForm::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e) {
  const QList<QUrl> urls = e->mimeData()->urls();
  activateWindow();
  raise();
  if (!urls.isEmpty() && urls.first().isLocalFile()) {
    e->acceptProposedAction();
    const QString path = HostPathText(LocalFileBytes(urls.first()));
    QTimer::singleShot(0, this, [this, path] { OpenDroppedPath(path); });
  }
}

TTreeNode* TMainForm::SelectedNode() const {
  return FolderTree ? TFolderTreeModel::NodeOf(FolderTree->selectionModel()->currentIndex()) : nullptr;
}

bool TMainForm::SelectNode(TTreeNode* node) {
  const QModelIndex index = model_->IndexOf(node);
  FolderTree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  if (FolderTree->selectionModel()->currentIndex() != index) return false;
  FolderTree->scrollTo(index);
  return true;
}

bool TMainForm::FolderTreeChanging(TTreeNode* node) {
  if (!node || session_->LoadedScanOf(node)) return true;
  QChar letter;
  if (!node->Parent())
    letter = NodeDriveLetter(node);
  else {
    const QString path = NodePath(node);
    if (path.at(0) == current_.Drive()) return true;
    letter = path.at(0);
  }
  return scanCommands_->CheckDriveAccessible(letter);
}

void TMainForm::FolderTreeChange(TTreeNode* node) {
  if (!node) {
    current_.SetNode(nullptr);
    PreparePages(nullptr);
    toolLevelUp->setEnabled(false);
    toolExplore->setEnabled(false);
    return;
  }
  current_.SetFolder(node, NodePath(node));
  // While a scan runs its walk holds nodes of the tree, so nothing is taken out of it then; a
  // vanished folder is noticed again when it is selected after the scan.
  if (node->Parent() && !Scanning() && !session_->LoadedScanOf(node) && !IsDirectory(current_.Path())) {
    PreparePages(nullptr);
    session_->RemoveFolder(node, node->Data() ? node->Data()->TotalSize : 0);
    InvalidateAll(true);
    return;
  }
  setWindowTitle(ProgramName + QStringLiteral(" - ") + current_.Path());
  SetStatusText(0, current_.Path());
  toolLevelUp->setEnabled(node->Parent() != nullptr);
  toolExplore->setEnabled(true);
  if (!Scanning()) toolRescanDir->setEnabled(true);
  if (!node->Parent() || current_.Path().at(0) != current_.Drive()) UpdateDriveInfo();
  if (PreparePages(node)) {
    if (!node->Parent() && currentPage_ == 4) SelectPage(0);
    ShowSectionSizeWindow(settings_->PieSectionSizeWindow);
    FillPage(currentPage_, node);
  }
}

void TMainForm::ExpandNode(TTreeNode* node) { FolderTree->expand(model_->IndexOf(node)); }

void TMainForm::CollapseNode(TTreeNode* node) { FolderTree->collapse(model_->IndexOf(node)); }

bool TMainForm::NodeExpanded(TTreeNode* node) const { return FolderTree->isExpanded(model_->IndexOf(node)); }

void TMainForm::toolLevelUpClick() {
  if (!current_.Node() || !current_.Node()->Parent()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct TRestore {
    ~TRestore() { QApplication::restoreOverrideCursor(); }
  } restore;
  TTreeNode* parent = current_.Node()->Parent();
  FolderTree->collapse(model_->IndexOf(current_.Node()));
  // Collapse every expanded descendant too.
  std::vector<TTreeNode*> pending{current_.Node()};
  while (!pending.empty()) {
    TTreeNode* n = pending.back();
    pending.pop_back();
    for (int i = 0; i < n->Count(); ++i) {
      const QModelIndex idx = model_->IndexOf(n->Child(i));
      if (FolderTree->isExpanded(idx)) {
        FolderTree->collapse(idx);
        pending.push_back(n->Child(i));
      }
    }
  }
  SelectNode(parent);
}

void TMainForm::toolExploreClick() {
  if (current_.Path().isEmpty() || RefuseOnLoadedScan(*session_, this, current_.Path(), QStringLiteral("Opening a folder"))) return;
  OpenItem(current_.Path(), this);
}

void TMainForm::cmdFileSelectFolderClick() {
  TFolderBrowse browse;
  browse.Parent = this;
  browse.AllowDriveRoots = true;
  browse.Title = QStringLiteral("Select the folder you want to analyze. If the folder has not been scanned, ") + ProgramName +
                 QStringLiteral(" will scan it now.");
  browse.Folder = current_.Path();
  if (browse.Execute()) scanCommands_->GoToFolder(browse.Folder);
}

void TMainForm::OpenDroppedPath(const QString& path) {
  Guarded([&] { scanCommands_->OpenPath(path); });
}

void TMainForm::RevealNode(TTreeNode* node) {
  SelectNode(node);
  FolderTree->expand(model_->IndexOf(node));
  FolderTree->setFocus();
}

void TMainForm::ShowSelectionAgain() { FolderTreeChange(SelectedNode()); }

void TMainForm::ShowItemContextMenu(const QString& path, TTreeNode* node, int64_t size, QPoint pos, QWidget* control) {
  if (RefuseOnLoadedScan(*session_, this, path, QStringLiteral("The menu of a folder (open, properties, delete)"))) return;
  const QPoint global = control ? control->mapToGlobal(pos) : pos;
  if (IsDriveRoot(path)) {
    ShowShellContextMenu(this, global, AddBackslash(path), node ? node->Data() : nullptr);
    return;
  }
  TTreeNode* parent = node ? node->Parent() : SelectedNode();
  // Looked at before the menu can delete it: what the scan counted of it.
  const TScanSession::TCountedFile counted = node ? TScanSession::TCountedFile{} : session_->CountedFile(parent, path, size);
  ShowShellContextMenu(this, global, path, node ? node->Data() : nullptr);
  if (PathExists(path) || !parent || Scanning()) return;
  if (node) {
    PreparePages(nullptr);
    session_->RemoveFolder(node, size);
    SelectNode(parent);
  } else {
    session_->RemoveFile(parent, path.at(0), counted);
  }
  InvalidateAll(true);
}
