#pragma once
// The "Treemap" page: the current folder's subtree as a treemap. The mouse and the keyboard move
// through it: a hover tells the tile's path and size in the status line, a click shows the folder
// in the tree, a double click or Enter goes into a folder, Backspace goes up, and the tree's
// context menu opens on a tile. File > Export Treemap saves it as PNG or SVG.

#include "ui/main/PageHost.h"

#include <QWidget>

#include <memory>

class TTreemapFileReader;
class TTreemapView;
struct TTreemapSettings;

class TTreemapPage : public QWidget, public IFolderPage {
  Q_OBJECT

public:
  // Fills page (the main window's treemap tab) with the treemap control.
  TTreemapPage(IPageHost& host, QWidget* page);
  ~TTreemapPage() override;

  void FillFor(TTreeNode* node) override;
  void Forget() override;
  void LayOut() override;

  TTreemapView* View() const { return view_; }
  // Listings kept besides those of the map shown.
  static constexpr size_t FilesCached = 64;
  // The listings of the folders whose files have tiles of their own (the last few read).
  const TTreemapFileReader& Files() const { return *files_; }
  // File > Export Treemap: the save dialog (PNG or SVG), then the picture of the current folder
  // at the page's size (1600 by 1000 while the page has never been shown). False when cancelled
  // or failed (the failure is shown).
  bool ExportToFile();
  // Writes the picture to fileName without asking; false with a message in *error.
  bool ExportTo(const QString& fileName, QString* error);

private:
  TTreemapSettings Settings() const;
  void Hover(int tile);
  void Click(int tile);
  void Activate(int tile);
  void ContextMenu(int tile, QPoint globalPos);

  IPageHost& host_;
  std::unique_ptr<TTreemapFileReader> files_;
  TTreemapView* view_ = nullptr;
  TTreeNode* shown_ = nullptr;
};
