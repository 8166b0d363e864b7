#include "charts/ui/TreemapView.h"

#include "scan/FolderTree.h"
#include "scan/Format.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDateTime>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// What an accessibility client reads of the treemap: the focused tile's name and size as the
// control's value.
class TTreemapAccessible : public QAccessibleWidget {
public:
  explicit TTreemapAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Chart) {}
  QString text(QAccessible::Text t) const override {
    const auto* view = static_cast<const TTreemapView*>(widget());
    if (t == QAccessible::Value) return view->FocusedText();
    if (t == QAccessible::Name && view->accessibleName().isEmpty()) return QStringLiteral("Treemap");
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* TreemapAccessibleFactory(const QString& key, QObject* object) {
  if (key == QLatin1String("TTreemapView") && object && object->isWidgetType())
    return new TTreemapAccessible(static_cast<QWidget*>(object));
  return nullptr;
}

}  // namespace

TTreemapView::TTreemapView(QWidget* parent) : QWidget(parent), coloring_(std::make_shared<TDepthColoring>()) {
  static const bool installed = [] {
    QAccessible::installFactory(TreemapAccessibleFactory);
    return true;
  }();
  (void)installed;
  setObjectName(QStringLiteral("TreemapView"));
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(40, 40);
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] {
    // A layout under way is finished first: started again at every request, a layout that
    // takes longer than the interval would never be done.
    if (builder_)
      timer_.start(RelayoutInterval / 4);
    else
      StartLayout();
  });
  slice_.setSingleShot(true);
  connect(&slice_, &QTimer::timeout, this, [this] { Slice(); });
}

TTreemapView::~TTreemapView() = default;

void TTreemapView::ShowFolder(TTreeNode* node, const TTreemapSettings& settings, bool force) {
  if (node != node_) {
    focused_ = -1;
    hovered_ = -1;
    focusNode_ = nullptr;
  }
  node_ = node;
  settings_ = settings;
  if (force)
    StartLayout();
  else
    ScheduleLayout();
}

void TTreemapView::Clear() {
  timer_.stop();
  slice_.stop();
  pending_ = false;
  builder_.reset();
  node_ = nullptr;
  focusNode_ = nullptr;
  picture_ = TTreemapPicture();
  baseValid_ = false;
  painted_ = 0;
  focused_ = hovered_ = -1;
  update();
}

void TTreemapView::SetColoring(std::shared_ptr<const ITreemapColoring> coloring) {
  if (!coloring) return;
  coloring_ = std::move(coloring);
  baseValid_ = false;
  update();
}

void TTreemapView::ScheduleLayout() {
  pending_ = true;
  if (timer_.isActive()) return;
  const qint64 since = QDateTime::currentMSecsSinceEpoch() - lastLayout_;
  timer_.start(static_cast<int>(std::clamp<qint64>(RelayoutInterval - since, 0, RelayoutInterval)));
}

void TTreemapView::StartLayout() {
  timer_.stop();
  pending_ = false;
  // The focused tile is found again by what it stands for: indexes change with every layout.
  if (focused_ >= 0 && focused_ < static_cast<int>(picture_.Map.Tiles.size())) {
    const TTreemapTile& before = picture_.Map.Tiles[static_cast<size_t>(focused_)];
    focusNode_ = before.Node;
    focusFiles_ = before.Files;
    focusFile_ = before.File;
    focusName_ = picture_.Map.FileName(before);
  }
  builder_.reset();
  layoutStart_ = lastLayout_ = QDateTime::currentMSecsSinceEpoch();
  // Laid out and drawn in device pixels: frames stay one pixel thin at any scaling, and the
  // painter needs no transformation.
  dpr_ = devicePixelRatioF();
  QFont font = TreemapFont();
  font.setPixelSize(std::max(1, qRound(font.pixelSize() * dpr_)));
  picture_ = TreemapPictureFrame(DeviceSize(), font);
  if (node_)
    builder_ = std::make_unique<TTreemapBuilder>(picture_.Map, *node_, picture_.MapRect.size(),
                                                 TreemapPictureSettings(picture_, settings_));
  focused_ = hovered_ = -1;
  baseValid_ = false;
  painted_ = 0;
  stale_ = QRegion();
  update();
  slice_.start(0);
}

void TTreemapView::LayOutNow() {
  QElapsedTimer clock;
  clock.start();
  if (pending_ || !builder_) StartLayout();
  if (builder_) builder_->Step(std::numeric_limits<int64_t>::max());
  FinishLayout();
  longestSliceMs_ = std::max(longestSliceMs_, static_cast<double>(clock.nsecsElapsed()) / 1e6);
}

void TTreemapView::FinishLayout() {
  if (!builder_ || !builder_->Done()) return;
  builder_.reset();
  const auto& tiles = picture_.Map.Tiles;
  for (size_t i = 0; focusNode_ && i < tiles.size(); ++i)
    if (tiles[i].Node == focusNode_ && tiles[i].Files == focusFiles_ && tiles[i].File == focusFile_ &&
        picture_.Map.FileName(tiles[i]) == focusName_)
      focused_ = static_cast<int>(i);
  if (focused_ < 0 && !tiles.empty()) focused_ = tiles[0].ChildCount > 0 ? tiles[0].FirstChild : 0;
  lastLayoutMs_ = static_cast<double>(QDateTime::currentMSecsSinceEpoch() - layoutStart_);
  ++layouts_;
  update();
}

bool TTreemapView::Busy() const { return pending_ || builder_ || (isVisible() && PaintingLeft()); }

bool TTreemapView::PaintingLeft() const { return !baseValid_ || painted_ < picture_.Map.Tiles.size() || !stale_.isEmpty(); }

double TTreemapView::TakeLongestSliceMs() {
  const double longest = longestSliceMs_;
  longestSliceMs_ = 0;
  return longest;
}

void TTreemapView::Slice() {
  QElapsedTimer clock;
  clock.start();
  if (builder_) {
    builder_->Step(LayoutSliceNs);
    FinishLayout();
  }
  bool painted = false;
  if (isVisible() && PaintingLeft()) {
    const uint64_t before = paints_;
    continuing_ = true;
    repaint();
    continuing_ = false;
    // Nothing is painted while the window is not on the screen (minimised, say): the window
    // asks for a paint of its own when it comes back, so there is nothing to go on with.
    painted = paints_ != before;
  }
  longestSliceMs_ = std::max(longestSliceMs_, static_cast<double>(clock.nsecsElapsed()) / 1e6);
  if (builder_ || (painted && PaintingLeft())) slice_.start(0);
}

QSize TTreemapView::DeviceSize() const { return (QSizeF(size()) * dpr_).toSize(); }

QRegion TTreemapView::OutlineRegion(int tile) const {
  if (tile < 0 || tile >= static_cast<int>(picture_.Map.Tiles.size())) return {};
  const QRect r = QTransform::fromScale(1 / dpr_, 1 / dpr_).mapRect(QRectF(picture_.Map.Tiles[static_cast<size_t>(tile)].Pixels)).toAlignedRect();
  // Two device pixels of outline, and one more for the rounding to the control's units.
  const int ring = std::max(2, static_cast<int>(std::ceil(2 / dpr_)) + 1);
  return QRegion(r).subtracted(QRegion(r.adjusted(ring, ring, -ring, -ring)));
}

void TTreemapView::UpdateOutline(int tile) {
  const QRegion ring = OutlineRegion(tile);
  if (ring.isEmpty()) return;
  stale_ += ring;
  update(ring);
}

void TTreemapView::paintEvent(QPaintEvent* e) {
  ++paints_;
  QPainter painter(this);
  const auto& tiles = picture_.Map.Tiles;
  if (picture_.Size != DeviceSize()) painter.fillRect(e->rect(), palette().window());
  painter.scale(1 / dpr_, 1 / dpr_);
  const size_t ready = builder_ ? builder_->Finished() : tiles.size();
  if (continuing_ && baseValid_) {
    // The next tiles over what is there, after the outlines that moved are made whole again.
    if (!stale_.isEmpty()) {
      const QRect device = QTransform::fromScale(dpr_, dpr_).mapRect(QRectF(stale_.boundingRect())).toAlignedRect();
      painter.save();
      painter.setClipRegion(QTransform::fromScale(dpr_, dpr_).map(stale_));
      PaintTreemapTiles(painter, picture_, *coloring_, 0, painted_, device);
      painter.restore();
    }
    painted_ = PaintTreemapTiles(painter, picture_, *coloring_, painted_, ready, QRect(), PaintSliceNs);
  } else {
    // What the window asked for, in full (a grab of the control takes this way too); started by
    // a slice, as far as the time allows, and the rest follows in the next slices.
    const QRect device = QTransform::fromScale(dpr_, dpr_).mapRect(QRectF(e->rect())).toAlignedRect();
    PaintTreemapBackground(painter, picture_);
    const size_t upTo = PaintTreemapTiles(painter, picture_, *coloring_, 0, ready, device,
                                          continuing_ ? PaintSliceNs : std::numeric_limits<int64_t>::max());
    if (QRegion(rect()).subtracted(e->region()).isEmpty()) {
      baseValid_ = true;
      painted_ = upTo;
    } else if (baseValid_) {
      painted_ = std::min(painted_, upTo);
    }
  }
  stale_ = QRegion();
  if (!builder_ && baseValid_ && painted_ == tiles.size()) PaintTreemapLegend(painter, picture_, *coloring_);
  if (hovered_ != focused_) PaintTreemapHighlight(painter, picture_.Map, hovered_);
  if (hasFocus()) PaintTreemapHighlight(painter, picture_.Map, focused_);
  if (PaintingLeft() && !slice_.isActive()) slice_.start(0);
}

void TTreemapView::resizeEvent(QResizeEvent*) {
  baseValid_ = false;
  if (!node_) return;
  ScheduleLayout();
}

void TTreemapView::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  // What the backing store held for this place was some other page.
  baseValid_ = false;
}

void TTreemapView::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  baseValid_ = false;
}

int TTreemapView::TileAt(QPoint p) const { return picture_.Map.TileAt((QPointF(p) * dpr_).toPoint()); }

void TTreemapView::mouseMoveEvent(QMouseEvent* e) {
  const int tile = TileAt(e->position().toPoint());
  if (tile == hovered_) return;
  UpdateOutline(hovered_);
  hovered_ = tile;
  UpdateOutline(hovered_);
  if (OnHover) OnHover(tile);
}

void TTreemapView::leaveEvent(QEvent*) {
  if (hovered_ < 0) return;
  UpdateOutline(hovered_);
  hovered_ = -1;
  if (OnHover) OnHover(-1);
}

void TTreemapView::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const int tile = TileAt(e->position().toPoint());
  if (tile < 0) return;
  SetFocusedTile(tile);
  if (OnClick) OnClick(tile);
}

void TTreemapView::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const int tile = TileAt(e->position().toPoint());
  if (tile >= 0 && OnActivate) OnActivate(tile);
}

void TTreemapView::contextMenuEvent(QContextMenuEvent* e) {
  int tile = -1;
  QPoint at = e->globalPos();
  if (e->reason() == QContextMenuEvent::Keyboard) {
    tile = focused_;
    if (tile >= 0) at = mapToGlobal((QPointF(picture_.Map.Tiles[static_cast<size_t>(tile)].Pixels.center()) / dpr_).toPoint());
  } else {
    tile = TileAt(e->pos());
  }
  if (tile >= 0 && OnContextMenu) OnContextMenu(tile, at);
}

void TTreemapView::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  UpdateOutline(focused_);
}

void TTreemapView::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  UpdateOutline(focused_);
}

void TTreemapView::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
      if (pending_ || builder_) LayOutNow();
      const int next = NeighbourTile(focused_, static_cast<Qt::Key>(e->key()));
      if (next >= 0) SetFocusedTile(next);
      return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (pending_ || builder_) LayOutNow();
      if (focused_ >= 0 && OnActivate) OnActivate(focused_);
      return;
    case Qt::Key_Backspace:
      if (OnUp) OnUp();
      return;
    default:
      QWidget::keyPressEvent(e);
  }
}

int TTreemapView::NeighbourTile(int i, Qt::Key direction) const {
  const auto& tiles = picture_.Map.Tiles;
  if (i < 0 || i >= static_cast<int>(tiles.size())) return -1;
  const TTreemapTile& from = tiles[static_cast<size_t>(i)];
  if (from.Parent < 0) return -1;
  const TTreemapTile& parent = tiles[static_cast<size_t>(from.Parent)];
  const QPointF c = QRectF(from.Pixels).center();
  int best = -1;
  double bestScore = std::numeric_limits<double>::max();
  for (int32_t k = parent.FirstChild; k < parent.FirstChild + parent.ChildCount; ++k) {
    if (k == i) continue;
    const QRect r = tiles[static_cast<size_t>(k)].Pixels;
    // Only tiles wholly on that side count: how far beyond our edge they begin (1 when they
    // touch it), and how far off to the side their middle is.
    const int fromRight = from.Pixels.x() + from.Pixels.width();
    const int fromBottom = from.Pixels.y() + from.Pixels.height();
    double ahead = 0;
    double aside = 0;
    switch (direction) {
      case Qt::Key_Right:
        ahead = r.x() - fromRight + 1;
        aside = std::abs(QRectF(r).center().y() - c.y());
        break;
      case Qt::Key_Left:
        ahead = from.Pixels.x() - (r.x() + r.width()) + 1;
        aside = std::abs(QRectF(r).center().y() - c.y());
        break;
      case Qt::Key_Down:
        ahead = r.y() - fromBottom + 1;
        aside = std::abs(QRectF(r).center().x() - c.x());
        break;
      case Qt::Key_Up:
        ahead = from.Pixels.y() - (r.y() + r.height()) + 1;
        aside = std::abs(QRectF(r).center().x() - c.x());
        break;
      default:
        return -1;
    }
    if (ahead <= 0) continue;
    const double score = ahead + 2 * aside;
    if (score < bestScore) {
      bestScore = score;
      best = k;
    }
  }
  return best;
}

void TTreemapView::SetFocusedTile(int i) {
  if (i < -1 || i >= static_cast<int>(picture_.Map.Tiles.size())) return;
  UpdateOutline(focused_);
  focused_ = i;
  UpdateOutline(focused_);
  if (QAccessible::isActive()) {
    QAccessibleValueChangeEvent event(this, FocusedText());
    QAccessible::updateAccessibility(&event);
  }
}

QString TTreemapView::FocusedText() const {
  if (focused_ < 0 || focused_ >= static_cast<int>(picture_.Map.Tiles.size())) return picture_.Map.Note;
  const TTreemapTile& t = picture_.Map.Tiles[static_cast<size_t>(focused_)];
  return TreemapTileName(picture_.Map, t) + QStringLiteral(", ") + FormatSize(t.Bytes);
}
