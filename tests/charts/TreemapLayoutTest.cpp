#include "charts/TreemapLayout.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

namespace {

// Folder trees made in memory, each folder with its own files' bytes; totals add up as a scan
// adds them.
class TTreeBuilder {
public:
  TTreeNode* Root(int64_t ownBytes) {
    TTreeNode* n = tree.AddTop(u"T:");
    n->StateIndex = ('T' << 8) | 1;
    Attach(n, ownBytes);
    return n;
  }
  TTreeNode* Folder(TTreeNode* parent, const QString& name, int64_t ownBytes) {
    TTreeNode* n = tree.AddChild(parent, name);
    Attach(n, ownBytes);
    return n;
  }
  // A folder the scan has not finished: no record.
  TTreeNode* Unfinished(TTreeNode* parent, const QString& name) { return tree.AddChild(parent, name); }

  TFolderTree tree;

private:
  void Attach(TTreeNode* n, int64_t own) {
    auto rec = std::make_unique<TFolderSize>();
    rec->FilesSize = own;
    rec->TotalSize = own;
    rec->FilesWastedAt[1] = own / 10;
    rec->TotalWastedAt[1] = own / 10;
    tree.SetData(n, std::move(rec));
    for (TTreeNode* p = n->Parent(); p; p = p->Parent()) {
      p->Data()->TotalSize += own;
      p->Data()->TotalWastedAt[1] += own / 10;
    }
  }
};

double AreaOf(const QRectF& r) { return r.width() * r.height(); }

// What each divided tile's children must satisfy: inside the room of their parent, no two
// overlapping, and areas in proportion to the figures of everything the parent holds.
void CheckNesting(const TTreemap& map, const TTreemapSettings& s) {
  ASSERT_EQ(map.Areas.size(), map.Tiles.size());
  for (size_t i = 0; i < map.Tiles.size(); ++i) {
    const TTreemapTile& parent = map.Tiles[i];
    if (i > 0) {
      ASSERT_GE(parent.Parent, 0);
      ASSERT_LT(static_cast<size_t>(parent.Parent), i);
    }
    if (parent.ChildCount == 0) continue;
    const QRect content = map.Content(parent);
    EXPECT_TRUE(parent.Pixels.contains(content)) << i;
    int64_t whole = parent.Node->Data()->FilesSize + (s.IncludeWasted ? parent.Node->Data()->FilesWastedAt[1] : 0);
    for (int c = 0; c < parent.Node->Count(); ++c)
      if (const TFolderSize* rec = parent.Node->Child(c)->Data())
        whole += rec->TotalSize + (s.IncludeWasted ? rec->TotalWastedAt[1] : 0);
    const double room = static_cast<double>(content.width()) * content.height();
    for (int32_t a = parent.FirstChild; a < parent.FirstChild + parent.ChildCount; ++a) {
      const TTreemapTile& t = map.Tiles[static_cast<size_t>(a)];
      EXPECT_EQ(t.Parent, static_cast<int32_t>(i));
      EXPECT_EQ(t.Depth, parent.Depth + 1);
      EXPECT_TRUE(content.contains(t.Pixels)) << a;
      const double expected = room * static_cast<double>(t.Value) / static_cast<double>(whole);
      const QRectF& area = map.Areas[static_cast<size_t>(a)];
      EXPECT_NEAR(AreaOf(area), expected, expected * 1e-9 + 1e-9) << a;
      if (t.Pixels.width() >= 4 && t.Pixels.height() >= 4) {
        // Rounding moves each edge by at most half a pixel.
        const double pixels = static_cast<double>(t.Pixels.width()) * t.Pixels.height();
        EXPECT_LE(std::abs(pixels - expected), area.width() + area.height() + 1.0) << a;
      }
      for (int32_t b = a + 1; b < parent.FirstChild + parent.ChildCount; ++b)
        EXPECT_FALSE(t.Pixels.intersects(map.Tiles[static_cast<size_t>(b)].Pixels)) << a << " " << b;
    }
  }
}

TEST(TreemapLayout, SquarifiesThePapersExampleIntoItsRows) {
  // Sizes 6, 6, 4, 3, 2, 2, 1 in a 6 by 4 rectangle: the two 6s stand in a column on the left,
  // 4 and 3 in a row at the top of what is left, then 2, 2 and 1 side by side below them.
  const std::vector<QRectF> r = SquarifyRects({6, 6, 4, 3, 2, 2, 1}, QRectF(0, 0, 6, 4));
  ASSERT_EQ(r.size(), 7u);
  const QRectF expected[] = {
      {0, 0, 3, 2}, {0, 2, 3, 2}, {3, 0, 12.0 / 7, 7.0 / 3}, {3 + 12.0 / 7, 0, 9.0 / 7, 7.0 / 3},
      {3, 7.0 / 3, 1.2, 5.0 / 3}, {4.2, 7.0 / 3, 1.2, 5.0 / 3}, {5.4, 7.0 / 3, 0.6, 5.0 / 3}};
  const double aspect[] = {1.5, 1.5, 49.0 / 36, 49.0 / 27, 25.0 / 18, 25.0 / 18, 25.0 / 9};
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_NEAR(r[i].x(), expected[i].x(), 1e-9) << i;
    EXPECT_NEAR(r[i].y(), expected[i].y(), 1e-9) << i;
    EXPECT_NEAR(r[i].width(), expected[i].width(), 1e-9) << i;
    EXPECT_NEAR(r[i].height(), expected[i].height(), 1e-9) << i;
    const double ratio = std::max(r[i].width() / r[i].height(), r[i].height() / r[i].width());
    EXPECT_NEAR(ratio, aspect[i], 1e-9) << i;
  }
}

TEST(TreemapLayout, TilesNestWithoutOverlapAndAreasFollowSizesAtEverySize) {
  TTreeBuilder b;
  std::mt19937 random(25);
  TTreeNode* root = b.Root(123457);
  std::vector<TTreeNode*> folders{root};
  for (int i = 0; i < 400; ++i) {
    TTreeNode* parent = folders[random() % folders.size()];
    // Sizes spread over six orders of magnitude, some folders with no files of their own.
    const int64_t own = random() % 3 == 0 ? 0 : static_cast<int64_t>(std::pow(10.0, (random() % 600) / 100.0));
    folders.push_back(b.Folder(parent, QStringLiteral("f%1").arg(i), own));
  }
  b.Unfinished(root, QStringLiteral("being scanned"));
  const QSize sizes[] = {{600, 400}, {1600, 1000}, {37, 23}, {5, 300}, {1, 1}};
  for (const QSize size : sizes) {
    for (const bool wasted : {false, true}) {
      SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << (wasted ? " wasted" : ""));
      TTreemapSettings s;
      s.IncludeWasted = wasted;
      s.ClusterIndex = 1;
      s.HeaderHeight = 14;
      s.KeepAreas = true;
      const TTreemap map = BuildTreemap(*root, size, s);
      ASSERT_FALSE(map.Empty());
      EXPECT_EQ(map.Tiles[0].Pixels, QRect(QPoint(0, 0), size));
      EXPECT_LE(static_cast<int64_t>(map.Tiles.size()), static_cast<int64_t>(size.width()) * size.height());
      CheckNesting(map, s);
      // Every tile can be found again under its own pixels.
      for (size_t i = 0; i < map.Tiles.size(); ++i) {
        if (map.Tiles[i].ChildCount != 0) continue;
        EXPECT_EQ(map.TileAt(map.Tiles[i].Pixels.center()), static_cast<int>(i));
      }
    }
  }
}

TEST(TreemapLayout, TheFilesOfAFolderAreOneTileAndAFolderOfFilesAloneIsNotDivided) {
  TTreeBuilder b;
  TTreeNode* root = b.Root(3000);
  TTreeNode* a = b.Folder(root, QStringLiteral("a"), 5000);
  TTreeNode* c = b.Folder(root, QStringLiteral("c"), 2000);
  b.Folder(root, QStringLiteral("empty"), 0);
  const TTreemap map = BuildTreemap(*root, {400, 300});
  ASSERT_EQ(map.Tiles[0].ChildCount, 3);  // a, the files, c; not the empty folder
  std::vector<std::pair<QString, int64_t>> children;
  for (int32_t i = 1; i <= 3; ++i) children.emplace_back(TreemapTileName(map, map.Tiles[static_cast<size_t>(i)]), map.Tiles[static_cast<size_t>(i)].Bytes);
  const std::vector<std::pair<QString, int64_t>> expected = {
      {QStringLiteral("a"), 5000}, {QStringLiteral("Files in this folder"), 3000}, {QStringLiteral("c"), 2000}};
  EXPECT_EQ(children, expected);
  EXPECT_TRUE(map.Tiles[2].Files);
  EXPECT_EQ(map.Tiles[2].Node, root);
  EXPECT_EQ(TreemapTilePath(map, map.Tiles[2]), QStringLiteral("T:\\ (Files in this folder)"));
  EXPECT_EQ(map.Tiles[1].Node, a);
  EXPECT_EQ(TreemapTilePath(map, map.Tiles[1]), QStringLiteral("T:\\a"));
  // a and c hold files alone: leaves.
  EXPECT_EQ(map.Tiles[1].ChildCount, 0);
  EXPECT_EQ(map.Tiles[3].Node, c);
  EXPECT_EQ(map.Tiles[3].ChildCount, 0);
  EXPECT_EQ(map.Tiles.size(), 4u);
}

TEST(TreemapLayout, AMillionTinyItemsNeverMakeMoreTilesThanPixels) {
  TTreeBuilder b;
  TTreeNode* root = b.Root(1);
  for (int i = 0; i < 20000; ++i) b.Folder(root, QStringLiteral("d%1").arg(i), 1 + i % 7);
  // And a chain of folders, one inside the other, far deeper than the picture is wide.
  TTreeNode* deep = b.Folder(root, QStringLiteral("deep"), 0);
  for (int i = 0; i < 300; ++i) deep = b.Folder(deep, QStringLiteral("x"), 1000);
  for (const QSize size : {QSize(30, 20), QSize(3, 3), QSize(200, 7)}) {
    TTreemapSettings s;
    s.KeepAreas = true;
    const TTreemap map = BuildTreemap(*root, size, s);
    EXPECT_LE(static_cast<int64_t>(map.Tiles.size()), static_cast<int64_t>(size.width()) * size.height())
        << size.width() << "x" << size.height();
    CheckNesting(map, s);
  }
}

TEST(TreemapLayout, AnEmptyOrUnscannedFolderIsAnEmptyMapWithANote) {
  TTreeBuilder b;
  TTreeNode* root = b.Root(0);
  b.Folder(root, QStringLiteral("empty"), 0);
  TTreeNode* pending = b.Unfinished(root, QStringLiteral("pending"));

  const TTreemap empty = BuildTreemap(*root, {100, 100});
  EXPECT_TRUE(empty.Empty());
  EXPECT_EQ(empty.Note, QLatin1String(TreemapEmptyNote));
  EXPECT_EQ(empty.TileAt({50, 50}), -1);

  const TTreemap unscanned = BuildTreemap(*pending, {100, 100});
  EXPECT_TRUE(unscanned.Empty());
  EXPECT_EQ(unscanned.Note, QLatin1String(TreemapNotScannedNote));

  // A folder with bytes on a picture without pixels: nothing, and no note to explain.
  b.Folder(root, QStringLiteral("full"), 10);
  for (const QSize size : {QSize(0, 100), QSize(100, 0), QSize(-5, -5)}) {
    const TTreemap none = BuildTreemap(*root, size);
    EXPECT_TRUE(none.Empty());
    EXPECT_TRUE(none.Note.isEmpty());
  }
}

}  // namespace
