#include "charts/TreemapExport.h"
#include "charts/TreemapPicture.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "tests/support/Fixture.h"

#include <QFile>
#include <QImage>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

struct TSvgRect {
  QRect Rect;
  QString Fill;
  QString Title;
};

// The rects of the tiles group, each with its title, read by a strict XML reader.
std::vector<TSvgRect> TileRects(const QByteArray& svg, QString* error) {
  std::vector<TSvgRect> rects;
  QXmlStreamReader xml(svg);
  bool inTiles = false;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("g"))
      inTiles = xml.attributes().value(QLatin1String("id")) == QLatin1String("tiles");
    if (inTiles && xml.isStartElement() && xml.name() == QLatin1String("rect")) {
      const QXmlStreamAttributes a = xml.attributes();
      TSvgRect r;
      r.Rect = QRect(a.value(QLatin1String("x")).toInt(), a.value(QLatin1String("y")).toInt(),
                     a.value(QLatin1String("width")).toInt(), a.value(QLatin1String("height")).toInt());
      r.Fill = a.value(QLatin1String("fill")).toString();
      rects.push_back(r);
    }
    if (inTiles && xml.isStartElement() && xml.name() == QLatin1String("title") && !rects.empty())
      rects.back().Title = xml.readElementText();
  }
  if (xml.hasError()) *error = xml.errorString();
  return rects;
}

class TreemapPictureTest : public ::testing::Test {
protected:
  TreemapPictureTest() {
    root = tree.AddTop(u"T:");
    root->StateIndex = ('T' << 8) | 1;
    Attach(root, 1000);
    // Names that need escaping, or cannot be written in XML at all (a control character, an
    // undecodable host byte).
    Attach(tree.AddChild(root, QStringLiteral("a <b> & \"c\"")), 40000);
    Attach(tree.AddChild(root, QStringLiteral("bell\x07") + QChar(0xDCFF)), 20000);
    TTreeNode* plain = tree.AddChild(root, QStringLiteral("plain"));
    Attach(plain, 5000);
    Attach(tree.AddChild(plain, QStringLiteral("inner")), 30000);
  }
  void Attach(TTreeNode* n, int64_t own) {
    auto rec = std::make_unique<TFolderSize>();
    rec->FilesSize = rec->TotalSize = own;
    tree.SetData(n, std::move(rec));
    for (TTreeNode* p = n->Parent(); p; p = p->Parent()) p->Data()->TotalSize += own;
  }

  TFolderTree tree;
  TTreeNode* root = nullptr;
  TDepthColoring coloring;
};

TEST_F(TreemapPictureTest, EveryTileIsOneRectWithItsPathAndBytesAndNamesAreEscaped) {
  const TTreemapPicture picture = MakeTreemapPicture(*root, {800, 500});
  ASSERT_FALSE(picture.LegendRect.isEmpty());
  EXPECT_EQ(picture.MapRect.bottom() + 1, picture.LegendRect.top());
  const QByteArray svg = TreemapSvg(picture, coloring);
  QString error;
  const std::vector<TSvgRect> rects = TileRects(svg, &error);
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  ASSERT_EQ(rects.size(), picture.Map.Tiles.size());
  std::map<QString, int64_t> bytesByPath;
  for (size_t i = 0; i < rects.size(); ++i) {
    const TTreemapTile& t = picture.Map.Tiles[i];
    EXPECT_EQ(rects[i].Rect, t.Pixels) << i;
    const QStringList lines = rects[i].Title.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << rects[i].Title.toStdString();
    bytesByPath[lines[0]] = lines[1].section(QLatin1Char(' '), 0, 0).toLongLong();
  }
  const std::map<QString, int64_t> expected = {
      {QStringLiteral("T:\\"), 96000},
      {QStringLiteral("T:\\ (Files in this folder)"), 1000},
      {QStringLiteral("T:\\a <b> & \"c\""), 40000},
      {QStringLiteral("T:\\bell") + QChar(QChar::ReplacementCharacter) + QChar(QChar::ReplacementCharacter), 20000},
      {QStringLiteral("T:\\plain"), 35000},
      {QStringLiteral("T:\\plain (Files in this folder)"), 5000},
      {QStringLiteral("T:\\plain\\inner"), 30000}};
  EXPECT_EQ(bytesByPath, expected);
  EXPECT_TRUE(svg.contains("a &lt;b&gt; &amp; &quot;c&quot;")) << svg.constData();
}

TEST_F(TreemapPictureTest, ThePngShowsEachLeafInItsColourAndTheEmptyMapItsNote) {
  const TTreemapPicture picture = MakeTreemapPicture(*root, {400, 300});
  const QImage image = TreemapImage(picture, coloring);
  ASSERT_EQ(image.size(), QSize(400, 300));
  for (const TTreemapTile& t : picture.Map.Tiles) {
    if (t.ChildCount > 0 || t.Pixels.width() < 20 || t.Pixels.height() < 40) continue;
    // The middle of a leaf, below its name, within the shading's reach of the tile's colour.
    const QColor got = image.pixelColor(t.Pixels.center().x(), t.Pixels.bottom() - 8);
    const QColor want = coloring.TileColor(picture.Map, t);
    EXPECT_NEAR(got.red(), want.red(), 40) << TreemapTileName(picture.Map, t).toStdString();
    EXPECT_NEAR(got.green(), want.green(), 40) << TreemapTileName(picture.Map, t).toStdString();
    EXPECT_NEAR(got.blue(), want.blue(), 40) << TreemapTileName(picture.Map, t).toStdString();
  }

  TFolderTree other;
  TTreeNode* empty = other.AddTop(u"E:");
  other.SetData(empty, std::make_unique<TFolderSize>());
  const TTreemapPicture nothing = MakeTreemapPicture(*empty, {400, 300});
  EXPECT_TRUE(nothing.Map.Empty());
  const QImage blank = TreemapImage(nothing, coloring);
  // The note is written in the middle of the empty map.
  int dark = 0;
  for (int x = 0; x < 400; ++x)
    for (int y = 100; y < 200; ++y) dark += qGray(blank.pixel(x, y)) < 128;
  EXPECT_GT(dark, 20);
  EXPECT_TRUE(TreemapSvg(nothing, coloring).contains(TreemapEmptyNote));
}

TEST_F(TreemapPictureTest, ExportWritesByTheExtensionAndRefusesWhatItCannotWrite) {
  TFixtureTree fx;
  const TTreemapPicture picture = MakeTreemapPicture(*root, {320, 200});
  QString error;
  const QString png = QFile::decodeName(fx.Path("map.PNG"));
  ASSERT_TRUE(ExportTreemapToFile(picture, png, coloring, &error)) << error.toStdString();
  EXPECT_EQ(QImage(png).size(), QSize(320, 200));
  const QString svg = QFile::decodeName(fx.Path("map.svg"));
  ASSERT_TRUE(ExportTreemapToFile(picture, svg, coloring, &error)) << error.toStdString();
  QFile svgFile(svg);
  ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
  EXPECT_TRUE(svgFile.readAll().startsWith("<?xml"));

  struct TCase {
    QString Name;
    QSize Size;
  } const refused[] = {
      {QFile::decodeName(fx.Path("missing/map.png")), {320, 200}},
      {QFile::decodeName(fx.Path("map.gif")), {320, 200}},
      {QFile::decodeName(fx.Path("flat.png")), {0, 200}},
  };
  for (const TCase& c : refused) {
    error.clear();
    const TTreemapPicture p = MakeTreemapPicture(*root, c.Size);
    EXPECT_FALSE(ExportTreemapToFile(p, c.Name, coloring, &error)) << c.Name.toStdString();
    EXPECT_FALSE(error.isEmpty()) << c.Name.toStdString();
    EXPECT_FALSE(QFile::exists(c.Name)) << c.Name.toStdString();
  }
  EXPECT_EQ(TreemapExportFileName(QStringLiteral("/x/map.png"), 2), QStringLiteral("/x/map.svg"));
  EXPECT_EQ(TreemapExportFileName(QStringLiteral("/x/map"), 1), QStringLiteral("/x/map.png"));
}

}  // namespace
