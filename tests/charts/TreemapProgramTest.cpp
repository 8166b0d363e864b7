#include "tests/support/Fixture.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>

namespace {

struct TRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

TRun RunScan(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(KORVANE_SCAN_PROGRAM), args);
  TRun run;
  if (!p.waitForFinished(120000)) return run;
  run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  run.out = p.readAllStandardOutput();
  run.err = p.readAllStandardError();
  return run;
}

// Title (path, then "N bytes ...") and rectangle of every tile in the SVG.
struct TTile {
  int64_t Bytes = 0;
  QRect Rect;
};

std::map<QString, TTile> SvgTiles(const QByteArray& svg) {
  std::map<QString, TTile> tiles;
  QXmlStreamReader xml(svg);
  bool inTiles = false;
  QRect rect;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("g")) inTiles = xml.attributes().value(QLatin1String("id")) == QLatin1String("tiles");
    if (!inTiles) continue;
    if (xml.name() == QLatin1String("rect")) {
      const QXmlStreamAttributes a = xml.attributes();
      rect = QRect(a.value(QLatin1String("x")).toInt(), a.value(QLatin1String("y")).toInt(),
                   a.value(QLatin1String("width")).toInt(), a.value(QLatin1String("height")).toInt());
    } else if (xml.name() == QLatin1String("title")) {
      const QStringList lines = xml.readElementText().split(QLatin1Char('\n'));
      if (lines.size() == 2) tiles[lines[0]] = {lines[1].section(QLatin1Char(' '), 0, 0).toLongLong(), rect};
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  return tiles;
}

TEST(TreemapProgram, TheSvgAgreesWithTheScansFigures) {
  TFixtureTree fx;
  for (int i = 0; i < 6; ++i) fx.File("d" + QByteArray::number(i) + "/f", 100000 * (i + 1));
  fx.File("d5/deeper/g", 250000);
  fx.File("own", 70000);
  const QString out = QFile::decodeName(fx.Path("map.svg"));
  const TRun run = RunScan({QStringLiteral("--treemap"), out, QStringLiteral("--size"), QStringLiteral("800x500"),
                            QFile::decodeName(fx.Root())});
  ASSERT_EQ(run.exitCode, 0) << run.err.constData();
  QString drive;
  int64_t total = -1;
  std::map<QString, int64_t> largest;
  for (const QByteArray& line : run.out.split('\n')) {
    if (line.startsWith("path: ")) drive = QString::fromUtf8(line.mid(6));
    if (line.startsWith("bytes: ")) total = line.mid(7).toLongLong();
    if (line.startsWith("largest: ")) {
      const QByteArray rest = line.mid(9);
      largest[QString::fromUtf8(rest.mid(rest.indexOf(' ') + 1))] = rest.left(rest.indexOf(' ')).toLongLong();
    }
  }
  EXPECT_TRUE(run.out.contains("treemap-tiles: ")) << run.out.constData();
  ASSERT_EQ(largest.size(), 6u);

  QFile file(out);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const std::map<QString, TTile> tiles = SvgTiles(file.readAll());
  ASSERT_TRUE(tiles.count(drive)) << drive.toStdString();
  EXPECT_EQ(tiles.at(drive).Bytes, total);
  // Every subfolder's tile holds the scan's bytes for it, and its share of the room inside the
  // root's frame and name strip follows those bytes.
  const QRect whole = tiles.at(drive).Rect;
  ASSERT_TRUE(whole.width() > 0 && whole.height() > 0);
  double room = 0;
  for (const auto& [path, bytes] : largest) room += tiles.count(path) ? tiles.at(path).Rect.width() * tiles.at(path).Rect.height() : 0;
  const QString files = drive + QStringLiteral(" (Files in this folder)");
  ASSERT_TRUE(tiles.count(files));
  EXPECT_EQ(tiles.at(files).Bytes, 70000);
  room += tiles.at(files).Rect.width() * tiles.at(files).Rect.height();
  for (const auto& [path, bytes] : largest) {
    ASSERT_TRUE(tiles.count(path)) << path.toStdString();
    EXPECT_EQ(tiles.at(path).Bytes, bytes) << path.toStdString();
    const QRect r = tiles.at(path).Rect;
    EXPECT_NEAR(r.width() * r.height() / room, static_cast<double>(bytes) / static_cast<double>(total), 0.01)
        << path.toStdString();
  }
  EXPECT_EQ(tiles.at(drive + QStringLiteral("d5\\deeper")).Bytes, 250000);
}

TEST(TreemapProgram, WritesAPngOfTheSizeAskedAndRefusesBadArguments) {
  TFixtureTree fx;
  fx.File("a/b", 5000);
  const QString root = QFile::decodeName(fx.Root());
  const QString png = QFile::decodeName(fx.Path("map.png"));
  TRun run = RunScan({QStringLiteral("--treemap"), png, root});
  ASSERT_EQ(run.exitCode, 0) << run.err.constData();
  EXPECT_EQ(QImage(png).size(), QSize(1600, 1000));

  struct TCase {
    QStringList Args;
    int Exit;
  } const cases[] = {
      {{QStringLiteral("--treemap"), QFile::decodeName(fx.Path("no/such/folder/map.png")), root}, 1},
      {{QStringLiteral("--treemap"), QFile::decodeName(fx.Path("map.bmp")), root}, 2},
      {{QStringLiteral("--treemap"), png, QStringLiteral("--size"), QStringLiteral("0x10"), root}, 2},
      {{QStringLiteral("--treemap"), png, QStringLiteral("--size"), QStringLiteral("800"), root}, 2},
      {{QStringLiteral("--treemap"), png, QStringLiteral("--size"), QStringLiteral("axb"), root}, 2},
      {{QStringLiteral("--treemap"), png, QStringLiteral("--size"), QStringLiteral("90000x90000"), root}, 2},
      {{QStringLiteral("--treemap"), png, QStringLiteral("--size")}, 2},
      {{QStringLiteral("--size"), QStringLiteral("80x80"), root}, 2},
      {{QStringLiteral("--treemap")}, 2},
  };
  for (const TCase& c : cases) {
    run = RunScan(c.Args);
    EXPECT_EQ(run.exitCode, c.Exit) << c.Args.join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(run.err.isEmpty()) << c.Args.join(QLatin1Char(' ')).toStdString();
  }
  // The refused runs left the earlier picture alone.
  EXPECT_EQ(QImage(png).size(), QSize(1600, 1000));
}

TEST(TreemapProgram, AFileThatCannotBeReplacedIsAnError) {
  // A folder in the file's place: refused even to root, who writes into read-only folders.
  TFixtureTree fx;
  fx.File("a/b", 5000);
  fx.Dir("taken.svg");
  const TRun run = RunScan({QStringLiteral("--treemap"), QFile::decodeName(fx.Path("taken.svg")), QFile::decodeName(fx.Root())});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.err.contains("cannot write")) << run.err.constData();
}

}  // namespace
