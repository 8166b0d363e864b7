// Pie export: the file written is the one whose name the user is asked about, every kind opens in
// another reader, the on-screen picture is left as it was, and nothing empty is ever written.
#include "charts/BitmapCanvas.h"
#include "charts/HPieChart.h"
#include "charts/PieExport.h"
#include "config/AtomicFile.h"

#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr TColor Green = RgbToColor(0, 255, 0);
constexpr TColor Yellow = RgbToColor(255, 255, 0);
constexpr TColor Aqua = RgbToColor(0, 255, 255);

// A pie as the pie page holds it: drawn on its picture, shown on a screen.
struct TShownPie {
  explicit TShownPie(int width = 320, int height = 200) : Picture(width, height), Screen(width, height),
                                                           Chart(&Picture.Canvas(), width, height) {
    Chart.Picture = &Picture;
    Chart.PaintTarget = &Screen;
    Chart.BeginUpdate();
    Chart.SetColors(clWhite, clBlack, RgbToColor(192, 192, 192));
    Chart.SetLabelColors(clInfoBk, clBlack, clBlack, clYellow, clBlack, clRed);
    Chart.AddSection("Music", Green, 150);
    Chart.AddSection("Photos", Aqua, 120);
    Chart.AddSection("Temp", Yellow, 90);
    Chart.HotIndex = 1;
    Chart.EndUpdate();
  }
  TBitmap Picture;
  TBitmapPaintTarget Screen;
  THPieChart Chart;
};

TEST(PieExport, TheWrittenNameTakesTheFiltersExtension) {
  const struct {
    const char* chosen;
    int filter;
    const char* written;
  } cases[] = {
      {"pie.emf", 2, "pie.WMF"},          {"pie", 1, "pie.BMP"},
      {"/d/my.pie.png", 3, "/d/my.pie.EMF"}, {"/d.x/pie", 5, "/d.x/pie.svg"},
      {"/tmp/pie.BMP", 4, "/tmp/pie.png"}, {"pie.wmf", 9, "pie.BMP"},
  };
  for (const auto& c : cases) EXPECT_EQ(PieExportFileName(QLatin1String(c.chosen), c.filter), QLatin1String(c.written)) << c.chosen;

  const struct {
    const char* name;
    TPieExportFormat format;
  } kinds[] = {{"a.BMP", TPieExportFormat::Bitmap}, {"a.bmp", TPieExportFormat::Bitmap}, {"a.Emf", TPieExportFormat::Emf},
               {"a.WMF", TPieExportFormat::Wmf},    {"a.png", TPieExportFormat::Png},    {"a.svg", TPieExportFormat::Svg},
               {"a.xyz", TPieExportFormat::Wmf}};
  for (const auto& k : kinds) EXPECT_EQ(PieExportFormatOf(QLatin1String(k.name)), k.format) << k.name;
}

TEST(PieExport, EveryKindOpensElsewhereAndTheScreenStaysAsItWas) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TShownPie pie;
  const QImage picture = pie.Picture.Image().copy();
  const QImage screen = pie.Screen.Image().copy();

  for (int filter = 1; filter <= 5; ++filter) {
    const QString file = PieExportFileName(dir.filePath("pie"), filter);
    QString error;
    ASSERT_TRUE(ExportPieToFile(pie.Chart, file, &error)) << file.toStdString() << ": " << error.toStdString();
    EXPECT_EQ(pie.Picture.Image(), picture) << filter;
    EXPECT_EQ(pie.Screen.Image(), screen) << filter;
    EXPECT_EQ(pie.Chart.Canvas(), &pie.Picture.Canvas());
    EXPECT_EQ(pie.Chart.PaintTarget, &pie.Screen);
  }
  // Bitmaps read back as the very picture on the screen.
  for (const char* name : {"pie.BMP", "pie.png"}) {
    const QImage read(dir.filePath(QLatin1String(name)));
    ASSERT_FALSE(read.isNull()) << name;
    EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32), picture.convertToFormat(QImage::Format_RGB32)) << name;
  }
  QSvgRenderer svg(dir.filePath("pie.svg"));
  EXPECT_TRUE(svg.isValid());
  EXPECT_EQ(svg.viewBox(), QRect(0, 0, 320, 200));

  QFile emf(dir.filePath("pie.EMF"));
  ASSERT_TRUE(emf.open(QIODevice::ReadOnly));
  const QByteArray emfBytes = emf.readAll();
  ASSERT_GT(emfBytes.size(), 100);
  EXPECT_EQ(emfBytes.mid(40, 4), QByteArray(" EMF"));

  const QString converter = QStandardPaths::findExecutable("wmf2svg");
  if (converter.isEmpty()) GTEST_SKIP() << "wmf2svg (Debian package libwmf-bin) is not installed";
  QProcess process;
  process.start(converter, {"-o", dir.filePath("wmf.svg"), dir.filePath("pie.WMF")});
  ASSERT_TRUE(process.waitForFinished(30000));
  ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  QFile converted(dir.filePath("wmf.svg"));
  ASSERT_TRUE(converted.open(QIODevice::ReadOnly));
  const QByteArray text = converted.readAll();
  for (const char* fill : {"fill:lime", "fill:aqua", "fill:yellow"}) EXPECT_TRUE(text.contains(fill)) << fill;
}

TEST(PieExport, OnlyTheFileActuallyWrittenIsTouched) {
  QTemporaryDir dir;
  TShownPie pie;
  // The user types pie.emf with the metafile filter: pie.WMF is written, pie.emf stays.
  QFile typed(dir.filePath("pie.emf"));
  ASSERT_TRUE(typed.open(QIODevice::WriteOnly));
  typed.write("keep me");
  typed.close();
  const QString written = PieExportFileName(dir.filePath("pie.emf"), 2);
  EXPECT_EQ(written, dir.filePath("pie.WMF"));
  ASSERT_TRUE(ExportPieToFile(pie.Chart, written));
  EXPECT_EQ(ReadWholeFile(QFile::encodeName(dir.filePath("pie.emf"))).value_or(""), QByteArray("keep me"));
  // A placeable metafile begins with its magic number.
  EXPECT_EQ(ReadWholeFile(QFile::encodeName(written)).value_or("").left(4), QByteArray("\xD7\xCD\xC6\x9A"));

  // A write that fails half-way leaves the earlier file as it was.
  const QByteArray before = ReadWholeFile(QFile::encodeName(written)).value_or("");
  SetAtomicWriteTestHook([](const QByteArray&) { return false; });
  QString error;
  EXPECT_FALSE(ExportPieToFile(pie.Chart, written, &error));
  SetAtomicWriteTestHook({});
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(ReadWholeFile(QFile::encodeName(written)).value_or(""), before);
}

TEST(PieExport, APieWithoutSizeGivesAMessageAndNoFile) {
  QTemporaryDir dir;
  for (const auto& size : {QSize(0, 200), QSize(320, 0)}) {
    TShownPie pie(size.width(), size.height());
    for (int filter = 1; filter <= 5; ++filter) {
      const QString file = PieExportFileName(dir.filePath("empty"), filter);
      QString error;
      EXPECT_FALSE(ExportPieToFile(pie.Chart, file, &error)) << filter;
      EXPECT_FALSE(error.isEmpty());
      EXPECT_FALSE(QFile::exists(file)) << file.toStdString();
    }
    QString error;
    EXPECT_EQ(PieClipboardData(pie.Chart, true, &error), nullptr);
    EXPECT_EQ(PieClipboardData(pie.Chart, false, &error), nullptr);
  }
}

TEST(PieExport, ClipboardOffersMetafilesWithSvgAndPngOrTheBitmap) {
  TShownPie pie;
  std::unique_ptr<QMimeData> meta(PieClipboardData(pie.Chart, true));
  ASSERT_TRUE(meta);
  EXPECT_EQ(meta->data(EmfMimeType).mid(40, 4), QByteArray(" EMF"));
  EXPECT_EQ(meta->data(WmfMimeType).left(4), QByteArray("\xD7\xCD\xC6\x9A"));
  EXPECT_TRUE(QSvgRenderer(meta->data("image/svg+xml")).isValid());
  EXPECT_EQ(QImage::fromData(meta->data("image/png")).size(), QSize(320, 200));

  std::unique_ptr<QMimeData> bitmap(PieClipboardData(pie.Chart, false));
  ASSERT_TRUE(bitmap && bitmap->hasImage());
  EXPECT_EQ(qvariant_cast<QImage>(bitmap->imageData()).convertToFormat(QImage::Format_RGB32),
            pie.Picture.Image().convertToFormat(QImage::Format_RGB32));
}

}  // namespace
