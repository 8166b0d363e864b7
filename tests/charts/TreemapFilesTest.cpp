// Files with tiles of their own: read from the disk on demand when a folder's rectangle is large
// enough, laid out in proportion to their bytes inside their folder's room, coloured by type; the
// tree gains nothing per file.

#include "charts/TreemapColors.h"
#include "charts/TreemapFiles.h"
#include "charts/TreemapLayout.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "tests/support/Fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

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
  TFolderTree tree;

private:
  void Attach(TTreeNode* n, int64_t own) {
    auto rec = std::make_unique<TFolderSize>();
    rec->FilesSize = own;
    rec->TotalSize = own;
    tree.SetData(n, std::move(rec));
    for (TTreeNode* p = n->Parent(); p; p = p->Parent()) p->Data()->TotalSize += own;
  }
};

// Listings given by the test, with the folders asked for.
class TGivenFiles : public ITreemapFileSource {
public:
  std::shared_ptr<const TTreemapListing> Listing(const TTreeNode& folder) override {
    asked.push_back(&folder);
    const auto found = listings.find(&folder);
    return found == listings.end() ? nullptr : found->second;
  }
  std::map<const TTreeNode*, std::shared_ptr<TTreemapListing>> listings;
  std::vector<const TTreeNode*> asked;
};

int CountNodes(TTreeNode* n) {
  int count = 1;
  for (int i = 0; i < n->Count(); ++i) count += CountNodes(n->Child(i));
  return count;
}

}  // namespace

TEST(TreemapFiles, FilesGetTilesInProportionToTheirBytesWhereTheFolderIsLargeEnough) {
  TTreeBuilder b;
  TTreeNode* root = b.Root(300000);
  TTreeNode* big = b.Folder(root, QStringLiteral("big"), 900000);  // files alone
  TTreeNode* tiny = b.Folder(root, QStringLiteral("tiny"), 30);    // too small a rectangle
  TGivenFiles files;
  files.listings[root] = std::make_shared<TTreemapListing>(TTreemapListing{{{"a.txt", 150000}, {"b.jpg", 100000}, {"c", 50000}}, 0, 0});
  auto many = std::make_shared<TTreemapListing>();
  for (int i = 0; i < 40; ++i) many->Files.push_back({QStringLiteral("f%1.bin").arg(i), 1000 * (40 - i)});
  many->MoreFiles = 12;
  many->MoreBytes = 80000;
  files.listings[big] = many;
  files.listings[tiny] = std::make_shared<TTreemapListing>(TTreemapListing{{{"x", 30}}, 0, 0});
  const int nodes = CountNodes(root);

  TTreemapSettings s;
  s.FileSource = &files;
  s.HeaderHeight = 12;
  s.KeepAreas = true;
  const TTreemap map = BuildTreemap(*root, {800, 600}, s);
  ASSERT_EQ(map.Areas.size(), map.Tiles.size());
  // The tree keeps nothing of it.
  EXPECT_EQ(CountNodes(root), nodes);
  // A rectangle too small for its files is not read at all.
  EXPECT_EQ(std::count(files.asked.begin(), files.asked.end(), tiny), 0);

  int fileTiles = 0;
  std::map<const TTreeNode*, std::vector<QString>> shown;
  for (size_t i = 0; i < map.Tiles.size(); ++i) {
    const TTreemapTile& parent = map.Tiles[i];
    if (parent.ChildCount == 0 || !map.Tiles[static_cast<size_t>(parent.FirstChild)].File) continue;
    // Every child of a divided files tile (or folder of files alone) is a file, inside the
    // parent's room, not overlapping, with an area in proportion to its bytes.
    const TTreemapListing& listing = *files.listings.at(parent.Node);
    double total = static_cast<double>(listing.MoreBytes);
    for (const TTreemapFile& f : listing.Files) total += static_cast<double>(f.Bytes);
    const QRect content = map.Content(parent);
    const double room = static_cast<double>(content.width()) * content.height();
    for (int32_t a = parent.FirstChild; a < parent.FirstChild + parent.ChildCount; ++a) {
      const TTreemapTile& t = map.Tiles[static_cast<size_t>(a)];
      ASSERT_TRUE(t.File);
      EXPECT_EQ(t.Node, parent.Node);
      EXPECT_TRUE(content.contains(t.Pixels)) << a;
      const double expected = room * static_cast<double>(t.Bytes) / total;
      const QRectF& area = map.Areas[static_cast<size_t>(a)];
      EXPECT_NEAR(area.width() * area.height(), expected, expected * 1e-3 + 1e-6) << a;
      for (int32_t c = a + 1; c < parent.FirstChild + parent.ChildCount; ++c)
        EXPECT_FALSE(t.Pixels.intersects(map.Tiles[static_cast<size_t>(c)].Pixels)) << a << " " << c;
      EXPECT_EQ(map.TileAt(t.Pixels.center()), a);
      shown[parent.Node].push_back(TreemapTileName(map, t));
      ++fileTiles;
    }
  }
  EXPECT_GE(fileTiles, 40);
  // The root's files tile holds the root's three files; big (files alone) is divided into its
  // files, the ones a listing left out in one tile.
  EXPECT_EQ(shown[root], (std::vector<QString>{"a.txt", "b.jpg", "c"}));
  ASSERT_FALSE(shown[big].empty());
  EXPECT_EQ(shown[big].front(), QStringLiteral("(12 more files)"));
  for (const TTreemapTile& t : map.Tiles) {
    if (t.File && map.FileName(t) == QLatin1String("a.txt")) {
      EXPECT_EQ(TreemapTilePath(map, t), QStringLiteral("T:\\a.txt"));
      EXPECT_EQ(t.Bytes, 150000);
    }
    if (t.File && map.FileName(t) == QLatin1String("f0.bin")) {
      EXPECT_EQ(TreemapTilePath(map, t), QStringLiteral("T:\\big\\f0.bin"));
    }
  }
  // Without a file source (or with a tiny picture) the files are one tile as before.
  const TTreemap plain = BuildTreemap(*root, {800, 600});
  for (const TTreemapTile& t : plain.Tiles) EXPECT_FALSE(t.File);
  files.asked.clear();
  const TTreemap small = BuildTreemap(*root, {20, 15}, s);
  for (const TTreemapTile& t : small.Tiles) EXPECT_FALSE(t.File);
  EXPECT_TRUE(files.asked.empty());
}

TEST(TreemapFiles, TheReaderListsAFoldersOwnFilesLargestFirstAndKeepsTheLastFew) {
  TFixtureTree fx;
  fx.File("one/big.iso", 70000);
  fx.File("one/mid.txt", 5000);
  fx.File("one/same-b", 100);
  fx.File("one/same-a", 100);
  fx.File("one/sub/deep.bin", 999999);  // in a subfolder: not one of one's files
  fx.File("two/x", 1);
  fx.File("three/y", 2);
  TDriveScope drives({{'T', fx.Root()}});
  TTreeBuilder b;
  TTreeNode* root = b.Root(0);
  TTreeNode* one = b.Folder(root, QStringLiteral("one"), 75200);
  TTreeNode* two = b.Folder(root, QStringLiteral("two"), 1);
  TTreeNode* three = b.Folder(root, QStringLiteral("three"), 2);
  TTreeNode* gone = b.Folder(root, QStringLiteral("gone"), 5);

  TTreemapFileReader reader(2, 3);
  const auto listing = reader.Listing(*one);
  ASSERT_TRUE(listing);
  std::vector<std::pair<QString, int64_t>> got;
  for (const TTreemapFile& f : listing->Files) got.emplace_back(f.Name, f.Bytes);
  EXPECT_EQ(got, (std::vector<std::pair<QString, int64_t>>{{"big.iso", 70000}, {"mid.txt", 5000}, {"same-a", 100}}));
  EXPECT_EQ(listing->MoreFiles, 1);
  EXPECT_EQ(listing->MoreBytes, 100);
  EXPECT_EQ(reader.Listing(*gone), nullptr);  // no such folder on the disk

  // The last two listings are kept; the least recently used goes first.
  EXPECT_EQ(reader.CachedCount(), 2u);
  const int64_t reads = reader.Reads();
  EXPECT_EQ(reader.Listing(*one), listing);
  EXPECT_EQ(reader.Reads(), reads);
  reader.Listing(*two);    // gone (least recently used) goes
  reader.Listing(*one);    // from the cache
  reader.Listing(*three);  // two goes
  EXPECT_EQ(reader.Reads(), reads + 2);
  EXPECT_EQ(reader.CachedCount(), 2u);
  reader.Listing(*one);
  EXPECT_EQ(reader.Reads(), reads + 2);
  reader.Listing(*two);
  EXPECT_EQ(reader.Reads(), reads + 3);
  reader.Clear();
  EXPECT_EQ(reader.CachedCount(), 0u);
  reader.Listing(*one);
  EXPECT_EQ(reader.Reads(), reads + 4);
}

// In the window the listings are read on a worker thread: the map asks, gets nothing at first,
// and is told when the listing is at hand; a listing read before the folders changed is dropped.
// What the map being laid out asked for stays, however small the cache.
TEST(TreemapFiles, TheBackgroundReaderHandsListingsBackAndKeepsWhatTheMapUses) {
  TFixtureTree fx;
  fx.File("one/big.iso", 70000);
  fx.File("two/x", 1);
  fx.File("three/y", 2);
  TDriveScope drives({{'T', fx.Root()}});
  TTreeBuilder b;
  TTreeNode* root = b.Root(0);
  TTreeNode* one = b.Folder(root, QStringLiteral("one"), 70000);
  TTreeNode* two = b.Folder(root, QStringLiteral("two"), 1);
  TTreeNode* three = b.Folder(root, QStringLiteral("three"), 2);

  TTreemapFileReader reader(1, 10);
  reader.SetBackground(true);
  int arrived = 0;
  reader.OnArrived = [&] { ++arrived; };
  const auto waitFor = [&](int count) {
    QElapsedTimer wait;
    wait.start();
    while (arrived < count && wait.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  };
  reader.BeginMap();
  EXPECT_EQ(reader.Listing(*one), nullptr);
  EXPECT_EQ(reader.Listing(*one), nullptr);  // asked twice, read once
  EXPECT_EQ(reader.Waiting(), 1u);
  waitFor(1);
  ASSERT_EQ(arrived, 1);
  EXPECT_EQ(reader.Waiting(), 0u);
  const auto listing = reader.Listing(*one);
  ASSERT_TRUE(listing);
  ASSERT_EQ(listing->Files.size(), 1u);
  EXPECT_EQ(listing->Files[0].Name, QStringLiteral("big.iso"));
  EXPECT_EQ(reader.Reads(), 1);

  // The same map asks for two more: all three stay although the cache holds one.
  reader.Listing(*two);
  reader.Listing(*three);
  waitFor(3);
  EXPECT_EQ(reader.CachedCount(), 3u);
  EXPECT_TRUE(reader.Listing(*one) && reader.Listing(*two) && reader.Listing(*three));
  // The next map asks for one only: the others go as soon as something new comes in.
  reader.BeginMap();
  reader.Listing(*one);
  EXPECT_EQ(reader.CachedCount(), 3u);

  // Cleared while a listing is read (the tree changed): it is dropped when it comes.
  reader.Clear();
  EXPECT_EQ(reader.Listing(*two), nullptr);
  reader.Clear();
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(arrived, 3);
  EXPECT_EQ(reader.CachedCount(), 0u);

  // Read at once again (what an export does).
  reader.SetBackground(false);
  EXPECT_TRUE(reader.Listing(*three));
  EXPECT_EQ(reader.CachedCount(), 1u);
}

TEST(TreemapFiles, FileTilesAreColouredByTypeAndTheLegendNamesTheLargestTypes) {
  EXPECT_EQ(TDepthColoring::FileType(QStringLiteral("Photo.JPG")), QStringLiteral("jpg"));
  EXPECT_EQ(TDepthColoring::FileType(QStringLiteral(".bashrc")), QStringLiteral("(none)"));
  EXPECT_EQ(TDepthColoring::TypeColor(QStringLiteral("jpg")), TDepthColoring::TypeColor(QStringLiteral("jpg")));
  EXPECT_NE(TDepthColoring::TypeColor(QStringLiteral("jpg")), TDepthColoring::TypeColor(QStringLiteral("txt")));

  TTreeBuilder b;
  TTreeNode* root = b.Root(100000);
  TGivenFiles files;
  auto listing = std::make_shared<TTreemapListing>();
  // Eleven types: the legend names the eight with the largest area, then how many others.
  const char* types[] = {"iso", "mkv", "jpg", "txt", "png", "pdf", "zip", "tar", "c", "h", "md"};
  for (int i = 0; i < 11; ++i) listing->Files.push_back({QStringLiteral("file%1.%2").arg(i).arg(QLatin1String(types[i])), 20000 - 1000 * i});
  listing->Files.push_back({QStringLiteral("other.ISO"), 500});
  files.listings[root] = listing;
  TTreemapSettings s;
  s.FileSource = &files;
  const TTreemap map = BuildTreemap(*root, {600, 400}, s);
  const TDepthColoring coloring;
  for (const TTreemapTile& t : map.Tiles)
    if (t.File) {
      EXPECT_EQ(coloring.TileColor(map, t), TDepthColoring::TypeColor(TDepthColoring::FileType(map.FileName(t))));
    }
  const std::vector<TTreemapLegendEntry> legend = coloring.Legend(map);
  std::vector<QString> texts;
  for (const TTreemapLegendEntry& e : legend) texts.push_back(e.Text);
  // The root is divided into its files only: no folder level, no files tile, the types.
  const std::vector<QString> expected = {"iso", "mkv", "jpg", "txt", "png", "pdf", "zip", "tar",
                                         "3 other types"};
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(legend[0].Color, TDepthColoring::TypeColor(QStringLiteral("iso")));
}
