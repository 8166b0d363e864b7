#pragma once
// The treemap control: draws the treemap of one folder at its own size, finds the tile under the
// mouse, and moves a focused tile with the keyboard among the tiles of one level. What a hover,
// click or key means for the rest of the window is left to its owner (the callbacks).
// A large map is laid out and painted in slices of a few milliseconds on the event loop, the
// upper levels first, so that the window keeps answering; no picture is kept besides the
// window's own backing store (a repaint paints from the tiles).

#include "charts/TreemapPicture.h"

#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class TTreeNode;

class TTreemapView : public QWidget {
  Q_OBJECT

public:
  explicit TTreemapView(QWidget* parent = nullptr);
  ~TTreemapView() override;

  // Shows node's treemap; laid out again at once when forced, else at the next turn of the event
  // loop (and not more often than every RelayoutInterval ms, so that a flood of requests during
  // a scan costs one layout).
  void ShowFolder(TTreeNode* node, const TTreemapSettings& settings, bool force = false);
  // Forgets the folder and its tiles (the tree they point into may be about to change).
  void Clear();
  // Lays out now what is pending (the painting still follows in slices).
  void LayOutNow();
  // A layout or its painting is not finished yet.
  bool Busy() const;
  void SetColoring(std::shared_ptr<const ITreemapColoring> coloring);

  TTreeNode* Folder() const { return node_; }
  // Tiles are in device pixels (the control's pixels times its scaling).
  const TTreemapPicture& Picture() const { return picture_; }
  const ITreemapColoring& Coloring() const { return *coloring_; }
  int FocusedTile() const { return focused_; }
  int HoveredTile() const { return hovered_; }
  // Focuses tile i (the keyboard's tile), tells the accessibility clients and repaints.
  void SetFocusedTile(int i);
  // The tile in that direction among the siblings of tile i, or -1.
  int NeighbourTile(int i, Qt::Key direction) const;
  // Layouts made so far (for tests of the throttling).
  int LayoutCount() const { return layouts_; }
  // How long the last layout took from its start to its last tile (over several turns of the
  // event loop when it was laid out in slices).
  double LastLayoutMs() const { return lastLayoutMs_; }
  // The longest slice of layout or painting the event loop waited for since the last call.
  double TakeLongestSliceMs();
  // Wall time a slice of layout, and of painting, may take.
  static constexpr int64_t LayoutSliceNs = 8'000'000;
  static constexpr int64_t PaintSliceNs = 12'000'000;
  // The text an accessibility client reads for the focused tile: its name and size.
  QString FocusedText() const;

  static constexpr int RelayoutInterval = 200;

  std::function<void(int tile)> OnHover;
  std::function<void(int tile)> OnClick;
  // Double click or Enter on a tile.
  std::function<void(int tile)> OnActivate;
  // Backspace.
  std::function<void()> OnUp;
  std::function<void(int tile, QPoint globalPos)> OnContextMenu;

protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

private:
  void ScheduleLayout();
  // A new layout of node_ at the control's size, built in slices.
  void StartLayout();
  void FinishLayout();
  // One slice of layout and one of painting.
  void Slice();
  bool PaintingLeft() const;
  // The ring a tile's outline is drawn in, in the control's units; repainted when it changes.
  QRegion OutlineRegion(int tile) const;
  void UpdateOutline(int tile);
  int TileAt(QPoint p) const;
  // The control's size in device pixels, the picture's size.
  QSize DeviceSize() const;

  TTreeNode* node_ = nullptr;
  TTreemapSettings settings_;
  TTreemapPicture picture_;
  std::shared_ptr<const ITreemapColoring> coloring_;
  // Fills picture_.Map while a layout is under way.
  std::unique_ptr<TTreemapBuilder> builder_;
  qreal dpr_ = 1;
  QTimer timer_;
  QTimer slice_;
  bool pending_ = false;
  // The backing store holds the background and tiles [0, painted_) everywhere (baseValid_).
  bool baseValid_ = false;
  size_t painted_ = 0;
  // The paint event under way was asked for by Slice() to paint the next tiles.
  bool continuing_ = false;
  uint64_t paints_ = 0;
  // Outlines that changed: painted again in full at the next paint.
  QRegion stale_;
  qint64 layoutStart_ = 0;
  double longestSliceMs_ = 0;
  // The focused tile of the last layout, found again in the next one.
  const TTreeNode* focusNode_ = nullptr;
  bool focusFiles_ = false;
  bool focusFile_ = false;
  QString focusName_;
  qint64 lastLayout_ = 0;
  int layouts_ = 0;
  double lastLayoutMs_ = 0;
  int focused_ = -1;
  int hovered_ = -1;
};
