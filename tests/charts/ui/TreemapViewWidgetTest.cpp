// The treemap control lays a large map out and paints it in slices on the event loop: what ends
// up on the screen must be the very picture the export paints in one go.

#include "charts/TreemapPicture.h"
#include "charts/ui/TreemapView.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A tree of nested folders in memory, large enough that its map takes many slices.
class TBigTree {
public:
  TBigTree() {
    root = tree.AddTop(u"T:");
    root->StateIndex = ('T' << 8) | 1;
    Attach(root, 5000);
    for (int a = 0; a < 40; ++a) {
      TTreeNode* top = Add(root, QStringLiteral("top%1").arg(a), 1000 + 37 * a);
      for (int b = 0; b < 30; ++b) {
        TTreeNode* mid = Add(top, QStringLiteral("mid%1").arg(b), 100 + 13 * b);
        for (int c = 0; c < 12; ++c) Add(mid, QStringLiteral("leaf%1").arg(c), 50 + 7 * c + a);
      }
    }
  }

  TFolderTree tree;
  TTreeNode* root = nullptr;

private:
  TTreeNode* Add(TTreeNode* parent, const QString& name, int64_t own) {
    TTreeNode* n = tree.AddChild(parent, name);
    Attach(n, own);
    return n;
  }
  void Attach(TTreeNode* n, int64_t own) {
    auto rec = std::make_unique<TFolderSize>();
    rec->FilesSize = own;
    rec->TotalSize = own;
    tree.SetData(n, std::move(rec));
    for (TTreeNode* p = n->Parent(); p; p = p->Parent()) p->Data()->TotalSize += own;
  }
};

void WaitIdle(const TTreemapView& view) {
  QElapsedTimer wait;
  wait.start();
  while (view.Busy() && wait.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// What the window shows: its backing store as the slices left it (not painted afresh, as
// QWidget::grab would). The offscreen platform's window grab takes the window's size in device
// pixels at any scaling: at 200% that is the top-left quarter, which is what gets compared.
QImage OnScreen(QWidget& window) {
  return window.screen()->grabWindow(window.winId(), 0, 0, window.width(), window.height()).toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TEST(TreemapViewWidget, ALargeMapIsBuiltAndPaintedInSlicesIntoThePictureTheExportPaints) {
  TBigTree big;
  QWidget window;
  window.resize(700, 500);
  auto* view = new TTreemapView(&window);
  view->setGeometry(0, 0, 700, 500);
  window.show();
  QApplication::processEvents();

  view->ShowFolder(big.root, TTreemapSettings{}, true);
  // Going in lays out nothing at once: the slices follow on the event loop.
  EXPECT_TRUE(view->Busy());
  EXPECT_LT(view->Picture().Map.Tiles.size(), 10u);
  WaitIdle(*view);
  ASSERT_FALSE(view->Busy());
  EXPECT_EQ(view->LayoutCount(), 1);

  // The same tiles as a layout in one go, and the same pixels as the export's painting.
  const TTreemapPicture& picture = view->Picture();
  const TTreemap whole = BuildTreemap(*big.root, picture.MapRect.size(), TreemapPictureSettings(picture, {}));
  ASSERT_GT(whole.Tiles.size(), 5000u);
  ASSERT_EQ(picture.Map.Tiles.size(), whole.Tiles.size());
  for (size_t i = 0; i < whole.Tiles.size(); ++i) ASSERT_EQ(picture.Map.Tiles[i].Pixels, whole.Tiles[i].Pixels) << i;

  // The hover outline drawn on top and taken away again leaves the picture as it was.
  const QPoint center = picture.Map.Tiles[static_cast<size_t>(picture.Map.Tiles[0].FirstChild)].Pixels.center();
  const int tile = picture.Map.TileAt(center);
  ASSERT_GT(tile, 0);
  const QPoint at = (QPointF(center) / view->devicePixelRatioF()).toPoint();
  QMouseEvent move(QEvent::MouseMove, QPointF(at), view->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view, &move);
  EXPECT_EQ(view->HoveredTile(), tile);
  WaitIdle(*view);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(view, &leave);
  WaitIdle(*view);

  // The export's painting, with the focused tile's outline when the control has the focus.
  QImage expected(picture.Size, QImage::Format_RGB32);
  QPainter painter(&expected);
  PaintTreemap(painter, picture, view->Coloring(), view->hasFocus() ? view->FocusedTile() : -1);
  painter.end();
  const QImage shown = OnScreen(window);
  const QRect compared = QRect(QPoint(0, 0), window.size()).intersected(QRect(QPoint(0, 0), expected.size()));
  ASSERT_EQ(compared.size(), window.size());
  int64_t differing = 0;
  for (int y = 0; y < compared.height(); ++y)
    for (int x = 0; x < compared.width(); ++x)
      if (shown.pixel(x, y) != expected.pixel(x, y)) ++differing;
  EXPECT_EQ(differing, 0);
  if (differing) {
    shown.save("/tmp/s3-25-shown.png");
    expected.save("/tmp/s3-25-expected.png");
  }
}
