#include "ui/main/TreemapPage.h"

#include "charts/TreemapExport.h"
#include "charts/TreemapFiles.h"
#include "charts/ui/TreemapView.h"
#include "config/Options.h"
#include "config/Settings.h"
#include "reports/print/ReportCommands.h"
#include "scan/FolderTree.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
#include "cleanup/ui/ItemMenu.h"
#include "shell/MessageBoxes.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/ScanFileCommands.h"

#include <QVBoxLayout>

TTreemapPage::TTreemapPage(IPageHost& host, QWidget* page)
    : QWidget(page), host_(host), files_(std::make_unique<TTreemapFileReader>(FilesCached)) {
  setObjectName(QStringLiteral("TreemapPage"));
  auto* outer = new QVBoxLayout(page);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new TTreemapView(this);
  view_->setAccessibleName(QStringLiteral("Treemap"));
  layout->addWidget(view_);
  view_->OnHover = [this](int tile) { Hover(tile); };
  view_->OnClick = [this](int tile) { Click(tile); };
  view_->OnActivate = [this](int tile) { Activate(tile); };
  view_->OnUp = [this] {
    if (shown_ && shown_->Parent()) host_.GoUpOneLevel();
  };
  view_->OnContextMenu = [this](int tile, QPoint at) { ContextMenu(tile, at); };
  // The folders' files are read off the window's thread; the map is laid out again once all it
  // asked for are at hand (which folders need their files does not depend on the files).
  files_->SetBackground(true);
  files_->OnArrived = [this] {
    if (files_->Waiting() == 0 && shown_ && view_->isVisible()) view_->ShowFolder(shown_, Settings());
  };
  // The areas are the pie's figure: with the wasted space or without, as the setting says.
  connect(&host_.Settings(), &TSettings::Changed, this, [this](TSettingGroups groups) {
    if (!(groups & sgWasted)) return;
    Forget();
    host_.RefillIfCurrent(pgTreemap);
  });
}

TTreemapPage::~TTreemapPage() = default;

TTreemapSettings TTreemapPage::Settings() const {
  TTreemapSettings s;
  s.IncludeWasted = host_.Settings()->IncludeWastedInformation;
  s.ClusterIndex = host_.Session().SelectedClusterIndex();
  s.FileSource = files_.get();
  return s;
}

void TTreemapPage::FillFor(TTreeNode* node) {
  // Going into another folder draws at once; the same folder again (a scan reporting progress,
  // a settings change) is laid out at most every few tenths of a second.
  const bool other = node != shown_ || view_->Folder() != node;
  shown_ = node;
  view_->setAccessibleDescription(node ? QStringLiteral("Treemap of ") + host_.Current().Path() : QString());
  view_->ShowFolder(node, Settings(), other);
}

void TTreemapPage::Forget() {
  // The tiles point into the tree, which may be about to change: nothing of them is kept.
  shown_ = nullptr;
  view_->Clear();
  // The folders' files may have changed too.
  files_->Clear();
}

void TTreemapPage::LayOut() {
  if (shown_) view_->ShowFolder(shown_, Settings());
}

void TTreemapPage::Hover(int tile) {
  const auto& tiles = view_->Picture().Map.Tiles;
  if (tile < 0 || tile >= static_cast<int>(tiles.size())) {
    host_.SetStatusText(0, QString());
    return;
  }
  const TTreemapTile& t = tiles[static_cast<size_t>(tile)];
  host_.SetStatusText(0, TreemapTilePath(view_->Picture().Map, t) + QStringLiteral("  —  ") + FormatSize(t.Bytes) + QStringLiteral(" (") +
                             FormatBytes(t.Bytes) + QLatin1Char(')'));
}

void TTreemapPage::Click(int tile) {
  // The folder comes into sight in the tree (its parents opened); the page stays on the folder
  // it shows, so that a click never moves the map under the mouse. A copy: what the tree does
  // meanwhile may lay the map out again.
  const TTreemapTile t = view_->Picture().Map.Tiles[static_cast<size_t>(tile)];
  for (TTreeNode* p = t.Files ? nullptr : t.Node->Parent(); p && p != shown_; p = p->Parent())
    if (!host_.NodeExpanded(p)) host_.ExpandNode(p);
  if (shown_ && !t.Files && t.Node != shown_ && !host_.NodeExpanded(shown_)) host_.ExpandNode(shown_);
  Hover(tile);
}

void TTreemapPage::Activate(int tile) {
  const TTreemapTile t = view_->Picture().Map.Tiles[static_cast<size_t>(tile)];
  // A file goes into the folder that holds it (when that is not the one shown).
  if (t.Files || t.Node == shown_ || !t.Node) return;
  host_.SelectNode(t.Node);
}

void TTreemapPage::ContextMenu(int tile, QPoint globalPos) {
  const TTreemapTile t = view_->Picture().Map.Tiles[static_cast<size_t>(tile)];
  const QString path = TreemapTilePath(view_->Picture().Map, t);
  const QString name = view_->Picture().Map.FileName(t);
  TTreeNode* node = t.Node;
  if (!node) return;
  if (!t.File) {
    host_.ShowItemContextMenu(NodePath(node), node, t.Bytes, view_->mapFromGlobal(globalPos), view_);
    return;
  }
  if (name.startsWith(QLatin1Char('(')) && !PathExists(path)) return;  // "(N more files)"
  if (node == host_.SelectedNode()) {
    // A file of the folder shown: the window's own item menu, which keeps the tree right.
    host_.ShowItemContextMenu(path, nullptr, t.Bytes, view_->mapFromGlobal(globalPos), view_);
    return;
  }
  TScanSession& session = host_.Session();
  if (RefuseOnLoadedScan(session, host_.Window(), path, QStringLiteral("The menu of a file (open, properties, delete)"))) return;
  const TScanSession::TCountedFile counted = session.CountedFile(node, path, t.Bytes);
  ShowShellContextMenu(host_.Window(), globalPos, path, nullptr);
  // Gone: out of its folder's figures, and that folder is shown, as after any removal.
  if (!PathExists(path) && session.RemoveFile(node, path.at(0), counted)) host_.SelectNode(node);
}

bool TTreemapPage::ExportTo(const QString& fileName, QString* error) {
  TTreeNode* node = host_.Current().Node();
  if (!node || !node->Data()) {
    if (error) *error = QString::fromLatin1(TreemapNotScannedNote);
    return false;
  }
  const QSize size = view_->width() > 1 && view_->height() > 1 && view_->isVisible() ? view_->size() : QSize(1600, 1000);
  // The files are read at once: the file holds the whole picture, as korvane-scan writes it.
  files_->SetBackground(false);
  const TTreemapPicture picture = MakeTreemapPicture(*node, size, Settings());
  files_->SetBackground(true);
  return ExportTreemapToFile(picture, fileName, view_->Coloring(), error);
}

bool TTreemapPage::ExportToFile() {
  const QString file = AskSaveFileName(host_.Window(), QStringLiteral("Export Treemap"), TreemapExportFilters, TreemapExportFileName);
  if (file.isEmpty()) return false;
  QString error;
  if (ExportTo(file, &error)) return true;
  TMessageRequest request;
  request.Parent = host_.Window();
  request.Text = error;
  request.Caption = ProgramName;
  request.Icon = TMessageIcon::Error;
  ShowMessage(request);
  return false;
}
