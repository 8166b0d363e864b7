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

#include <algorithm>
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
  connect(&timer_, &QTimer::timeout, this, [this] { LayOutNow(); });
}

TTreemapView::~TTreemapView() = default;

void TTreemapView::ShowFolder(TTreeNode* node, const TTreemapSettings& settings, bool force) {
  if (node != node_) {
    focused_ = -1;
    hovered_ = -1;
  }
  node_ = node;
  settings_ = settings;
  if (force)
    LayOutNow();
  else
    ScheduleLayout();
}

void TTreemapView::Clear() {
  timer_.stop();
  pending_ = false;
  node_ = nullptr;
  picture_ = TTreemapPicture();
  image_ = QImage();
  focused_ = hovered_ = -1;
  update();
}

void TTreemapView::SetColoring(std::shared_ptr<const ITreemapColoring> coloring) {
  if (!coloring) return;
  coloring_ = std::move(coloring);
  Render();
  update();
}

void TTreemapView::ScheduleLayout() {
  pending_ = true;
  if (timer_.isActive()) return;
  const qint64 since = QDateTime::currentMSecsSinceEpoch() - lastLayout_;
  timer_.start(static_cast<int>(std::clamp<qint64>(RelayoutInterval - since, 0, RelayoutInterval)));
}

void TTreemapView::LayOutNow() {
  QElapsedTimer clock;
  clock.start();
  timer_.stop();
  pending_ = false;
  // The focused tile is found again by what it stands for: indexes change with every layout.
  const TTreemapTile* before = focused_ >= 0 && focused_ < static_cast<int>(picture_.Map.Tiles.size())
                                   ? &picture_.Map.Tiles[static_cast<size_t>(focused_)]
                                   : nullptr;
  const TTreeNode* focusNode = before ? before->Node : nullptr;
  const bool focusFiles = before && before->Files;
  const bool focusFile = before && before->File;
  const QString focusName = before ? before->FileName : QString();
  // Laid out and drawn in device pixels: frames stay one pixel thin at any scaling, and the
  // painter needs no transformation.
  dpr_ = devicePixelRatioF();
  QFont font = TreemapFont();
  font.setPixelSize(std::max(1, qRound(font.pixelSize() * dpr_)));
  picture_ = node_ ? MakeTreemapPicture(*node_, DeviceSize(), settings_, font) : TTreemapPicture();
  focused_ = hovered_ = -1;
  const auto& tiles = picture_.Map.Tiles;
  for (size_t i = 0; focusNode && i < tiles.size(); ++i)
    if (tiles[i].Node == focusNode && tiles[i].Files == focusFiles && tiles[i].File == focusFile &&
        tiles[i].FileName == focusName)
      focused_ = static_cast<int>(i);
  if (focused_ < 0 && !tiles.empty()) focused_ = tiles[0].ChildCount > 0 ? tiles[0].FirstChild : 0;
  lastLayout_ = QDateTime::currentMSecsSinceEpoch();
  ++layouts_;
  Render();
  update();
  lastLayoutMs_ = static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void TTreemapView::Render() {
  if (picture_.Size.isEmpty()) {
    image_ = QImage();
    return;
  }
  image_ = QImage(picture_.Size, QImage::Format_RGB32);
  QPainter painter(&image_);
  PaintTreemap(painter, picture_, *coloring_);
  painter.end();
  image_.setDevicePixelRatio(dpr_);
}

QSize TTreemapView::DeviceSize() const { return (QSizeF(size()) * dpr_).toSize(); }

void TTreemapView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (image_.isNull() || picture_.Size != DeviceSize()) {
    painter.fillRect(rect(), palette().window());
    if (!image_.isNull()) painter.drawImage(QPoint(0, 0), image_);
  } else {
    painter.drawImage(QPoint(0, 0), image_);
  }
  const auto& tiles = picture_.Map.Tiles;
  painter.scale(1 / dpr_, 1 / dpr_);
  const auto outline = [&](int i, const QColor& outer, const QColor& inner) {
    if (i < 0 || i >= static_cast<int>(tiles.size())) return;
    const QRect r = tiles[static_cast<size_t>(i)].Pixels;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(outer);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    if (r.width() > 4 && r.height() > 4) {
      painter.setPen(inner);
      painter.drawRect(r.adjusted(1, 1, -2, -2));
    }
  };
  if (hovered_ != focused_) outline(hovered_, QColor(40, 40, 40), QColor(255, 255, 255, 160));
  if (hasFocus()) outline(focused_, Qt::black, Qt::white);
}

void TTreemapView::resizeEvent(QResizeEvent*) {
  if (!node_) return;
  ScheduleLayout();
}

int TTreemapView::TileAt(QPoint p) const { return picture_.Map.TileAt((QPointF(p) * dpr_).toPoint()); }

void TTreemapView::mouseMoveEvent(QMouseEvent* e) {
  const int tile = TileAt(e->position().toPoint());
  if (tile == hovered_) return;
  hovered_ = tile;
  update();
  if (OnHover) OnHover(tile);
}

void TTreemapView::leaveEvent(QEvent*) {
  if (hovered_ < 0) return;
  hovered_ = -1;
  update();
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
  update();
}

void TTreemapView::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
      if (pending_) LayOutNow();
      const int next = NeighbourTile(focused_, static_cast<Qt::Key>(e->key()));
      if (next >= 0) SetFocusedTile(next);
      return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
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
  focused_ = i;
  update();
  if (QAccessible::isActive()) {
    QAccessibleValueChangeEvent event(this, FocusedText());
    QAccessible::updateAccessibility(&event);
  }
}

QString TTreemapView::FocusedText() const {
  if (focused_ < 0 || focused_ >= static_cast<int>(picture_.Map.Tiles.size())) return picture_.Map.Note;
  const TTreemapTile& t = picture_.Map.Tiles[static_cast<size_t>(focused_)];
  return TreemapTileName(t) + QStringLiteral(", ") + FormatSize(t.Bytes);
}
