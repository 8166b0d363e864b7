// The treemap page headless: following the current folder, the mouse, the keyboard, what an
// accessibility client reads, throttled layouts and export.

#include "charts/TreemapExport.h"
#include "charts/TreemapFiles.h"
#include "config/Settings.h"
#include "scan/FolderSize.h"
#include "scan/ScanSession.h"
#include "charts/ui/TreemapView.h"
#include "scan/FolderTree.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/MainForm.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/TreemapPage.h"

#include <QAccessible>
#include <QApplication>
#include <QtMath>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

class TTreemapEnv {
public:
  TTreemapEnv() {
    t.File("a/x", 60000);
    t.File("b/y", 30000);
    t.File("b/c/z", 20000);
    t.File("own", 10000);
    t.Dir("empty");
    drives = std::make_unique<TDriveScope>(std::vector<TDriveMapping>{{'T', t.Root()}});
  }

  // Shows path on the treemap page of a window of a fixed size, laid out and drawn with the
  // files of the folders that have room for them (read on the page's worker thread).
  static TTreemapView* Show(TMainForm& form, const QString& path) {
    EXPECT_TRUE(form.ScanCommands().GoToFolder(path));
    form.SelectPage(pgTreemap);
    QApplication::processEvents();
    TTreemapPage* page = Child<TTreemapPage>(form);
    TTreemapView* view = page->View();
    view->LayOutNow();
    QElapsedTimer wait;
    wait.start();
    while ((view->Busy() || page->Files().Waiting() > 0) && wait.elapsed() < 5000)
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(view->Busy());
    return view;
  }

  TAnsweredDialogs answered;
  TRegistryScope registry;
  TFixtureTree t;
  std::unique_ptr<TDriveScope> drives;
};

int TileNamed(const TTreemapView& view, const QString& name) {
  const auto& tiles = view.Picture().Map.Tiles;
  for (size_t i = 1; i < tiles.size(); ++i)
    if (tiles[i].Parent == 0 && TreemapTileName(view.Picture().Map, tiles[i]) == name) return static_cast<int>(i);
  return -1;
}

// The picture is laid out in the screen's pixels; events come in the widget's own units.
QSize DevicePixels(const TTreemapView& view) { return (QSizeF(view.size()) * view.devicePixelRatioF()).toSize(); }
QPoint ToWidget(const TTreemapView& view, QPoint devicePoint) {
  return (QPointF(devicePoint) / view.devicePixelRatioF()).toPoint();
}

QPoint Middle(const TTreemapView& view, int tile) {
  const QRect r = view.Picture().Map.Tiles[static_cast<size_t>(tile)].Pixels;
  return ToWidget(view, QPoint(r.left() + r.width() / 2, r.bottom() - 4));
}

// A point of the tile itself: its name strip when it is divided (its files or subfolders have
// tiles of their own), else its middle.
QPoint OwnPoint(const TTreemapView& view, int tile) {
  const TTreemapTile& t = view.Picture().Map.Tiles[static_cast<size_t>(tile)];
  if (t.ChildCount == 0) return Middle(view, tile);
  EXPECT_TRUE(t.HasHeader);
  return ToWidget(view, QPoint(t.Pixels.center().x(), t.Pixels.top() + 2));
}

void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
  QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), type == QEvent::MouseMove ? Qt::NoButton : button,
                type == QEvent::MouseMove ? Qt::NoButton : button, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

void Key(QWidget* w, int key) {
  QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

}  // namespace

TEST(TreemapPageWidget, MouseAndKeysMoveThroughTheTilesAndTheFolders) {
  TTreemapEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  form.resize(1000, 700);
  TTreemapView* view = TTreemapEnv::Show(form, QStringLiteral("T:\\"));
  ASSERT_TRUE(view->isVisible());
  ASSERT_EQ(view->Picture().Size, DevicePixels(*view));
  const int a = TileNamed(*view, QStringLiteral("a"));
  const int b = TileNamed(*view, QStringLiteral("b"));
  const int files = TileNamed(*view, QStringLiteral("Files in this folder"));
  ASSERT_TRUE(a > 0 && b > 0 && files > 0);

  // Hover: the tile's path and size in the status line (b's own frame, outside its children).
  const QRect bRect = view->Picture().Map.Tiles[static_cast<size_t>(b)].Pixels;
  // A point in widget units on b's own pixels (its frame is a device pixel or two wide).
  const qreal dpr = view->devicePixelRatioF();
  QPoint onB(-1, -1);
  for (int x = qFloor(bRect.left() / dpr); x <= qCeil(bRect.right() / dpr) && onB.x() < 0; ++x)
    if (view->Picture().Map.TileAt((QPointF(x, qRound(bRect.center().y() / dpr)) * dpr).toPoint()) == b) onB = QPoint(x, qRound(bRect.center().y() / dpr));
  ASSERT_GE(onB.x(), 0) << "b shows none of its own pixels";
  Mouse(view, QEvent::MouseMove, onB);
  EXPECT_TRUE(Child<QLabel>(form, "StatusPanel0")->text().startsWith(QStringLiteral("T:\\b  —  "))) << Child<QLabel>(form, "StatusPanel0")->text().toStdString();
  // A click focuses the tile and leaves the page on its folder.
  Mouse(view, QEvent::MouseButtonPress, OwnPoint(*view, a));
  EXPECT_EQ(view->FocusedTile(), a);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\"));

  // The arrows go round the tiles of one level; an accessibility client reads each one.
  view->setFocus();
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(view);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->text(QAccessible::Value), view->FocusedText());
  EXPECT_TRUE(view->FocusedText().startsWith(QStringLiteral("a, "))) << view->FocusedText().toStdString();
  std::set<int> reached{a};
  for (const int key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down}) {
    Key(view, key);
    const int now = view->FocusedTile();
    ASSERT_GE(now, 1);
    EXPECT_EQ(view->Picture().Map.Tiles[static_cast<size_t>(now)].Parent, 0);
    reached.insert(now);
    EXPECT_EQ(accessible->text(QAccessible::Value), view->FocusedText());
  }
  EXPECT_EQ(reached, (std::set<int>{a, b, files}));

  // Enter goes into the focused folder, Backspace back up; a double click goes in as well.
  view->SetFocusedTile(b);
  Key(view, Qt::Key_Return);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\b"));
  view = TTreemapEnv::Show(form, QStringLiteral("T:\\b"));
  EXPECT_EQ(view->Folder(), form.Current().Node());
  EXPECT_GT(TileNamed(*view, QStringLiteral("c")), 0);
  Key(view, Qt::Key_Backspace);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\"));
  view->LayOutNow();
  Mouse(view, QEvent::MouseButtonDblClick, Middle(*view, TileNamed(*view, QStringLiteral("a"))));
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\a"));
  // Double clicking the files of a folder stays where it is.
  TTreemapEnv::Show(form, QStringLiteral("T:\\"));
  Mouse(view, QEvent::MouseButtonDblClick, Middle(*view, TileNamed(*view, QStringLiteral("Files in this folder"))));
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\"));

  // An empty folder is an empty map with its note, read out as well.
  view = TTreemapEnv::Show(form, QStringLiteral("T:\\empty"));
  EXPECT_TRUE(view->Picture().Map.Empty());
  EXPECT_EQ(view->FocusedText(), QLatin1String(TreemapEmptyNote));
}

// Where a folder's rectangle is large enough its files have tiles of their own, read from the
// disk when needed and kept for a few folders only; the hover names the file.
TEST(TreemapPageWidget, FilesHaveTilesOfTheirOwnWhereThereIsRoom) {
  TTreemapEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  form.resize(1000, 700);
  TTreemapView* view = TTreemapEnv::Show(form, QStringLiteral("T:\\"));
  const auto& tiles = view->Picture().Map.Tiles;
  int x = -1;
  for (size_t i = 0; i < tiles.size(); ++i)
    if (tiles[i].File && view->Picture().Map.FileName(tiles[i]) == QLatin1String("x")) x = static_cast<int>(i);
  ASSERT_GT(x, 0);
  EXPECT_EQ(tiles[static_cast<size_t>(tiles[static_cast<size_t>(x)].Parent)].Node->Text(), QStringLiteral("a"));
  EXPECT_EQ(tiles[static_cast<size_t>(x)].Bytes, 60000);
  Mouse(view, QEvent::MouseMove, Middle(*view, x));
  EXPECT_TRUE(Child<QLabel>(form, "StatusPanel0")->text().startsWith(QStringLiteral("T:\\a\\x  —  ")))
      << Child<QLabel>(form, "StatusPanel0")->text().toStdString();
  const TTreemapFileReader& files = Child<TTreemapPage>(form)->Files();
  EXPECT_GT(files.CachedCount(), 0u);
  // Laid out again (a resize, the same folder again): the listings come from the page's cache.
  const int64_t reads = files.Reads();
  form.resize(1001, 700);
  view->LayOutNow();
  EXPECT_EQ(files.Reads(), reads);
  // A double click on a file goes into the folder that holds it.
  Mouse(view, QEvent::MouseButtonDblClick, Middle(*view, x));
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\a"));
}

// The areas follow the wasted-space setting as soon as it changes, whoever changes it.
TEST(TreemapPageWidget, FollowsTheWastedSpaceSetting) {
  TTreemapEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  form.resize(1000, 700);
  form.Settings().Change([](TSettingValues& v) { v.IncludeWastedInformation = false; });
  TTreemapView* view = TTreemapEnv::Show(form, QStringLiteral("T:\\"));
  const TTreeNode* root = form.Current().Node();
  ASSERT_EQ(view->Picture().Map.Tiles[0].Value, root->Data()->TotalSize);
  form.Settings().Change([](TSettingValues& v) { v.IncludeWastedInformation = true; });
  view->LayOutNow();
  EXPECT_EQ(view->Picture().Map.Tiles[0].Value,
            root->Data()->TotalSize + TotalWastedAtIndex(*root->Data(), form.Session().SelectedClusterIndex()));
  EXPECT_GT(view->Picture().Map.Tiles[0].Value, root->Data()->TotalSize);
}

TEST(TreemapPageWidget, RequestsDuringAScanAreThrottledAndAResizeLaysOutAgain) {
  TTreemapEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  form.resize(900, 600);
  TTreemapView* view = TTreemapEnv::Show(form, QStringLiteral("T:\\"));
  const int before = view->LayoutCount();
  // The same folder asked for over and over, as completed folders report it.
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < 200; ++i) {
    form.SelectPage(pgTreemap);
    QApplication::processEvents();
  }
  const qint64 elapsed = timer.elapsed();
  EXPECT_LE(view->LayoutCount() - before, 1 + elapsed / TTreemapView::RelayoutInterval);

  form.resize(700, 500);
  QApplication::processEvents();
  QElapsedTimer wait;
  wait.start();
  while (view->Picture().Size != DevicePixels(*view) && wait.elapsed() < 3000)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(view->Picture().Size, DevicePixels(*view));
}

TEST(TreemapPageWidget, ExportWritesThePictureOfTheCurrentFolder) {
  TTreemapEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  form.resize(900, 600);
  TTreemapView* view = TTreemapEnv::Show(form, QStringLiteral("T:\\b"));
  const QString file = QFile::decodeName(env.t.Path("map.svg"));
  QString error;
  ASSERT_TRUE(Child<TTreemapPage>(form)->ExportTo(file, &error)) << error.toStdString();
  QFile svg(file);
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  const QByteArray text = svg.readAll();
  EXPECT_TRUE(text.contains(QStringLiteral("width=\"%1\"").arg(view->width()).toUtf8()));
  EXPECT_TRUE(text.contains("<title>T:\\b\\c\n20000 bytes")) << text.left(2000).constData();
  EXPECT_EQ(text.count("<rect"), static_cast<qsizetype>(view->Picture().Map.Tiles.size()) + 1 +
                                     static_cast<qsizetype>(view->Coloring().Legend(view->Picture().Map).size()));

  // The menu command asks for a file name first: a cancelled dialog writes nothing.
  ASSERT_NE(Child<QAction>(form, "cmdFileExportTreemap"), nullptr);
  QFile::remove(file);
  Child<QAction>(form, "cmdFileExportTreemap")->trigger();
  EXPECT_FALSE(QFile::exists(file));
}
