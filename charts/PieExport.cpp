#include "charts/PieExport.h"

#include "charts/BitmapCanvas.h"
#include "charts/HPieChart.h"
#include "charts/Metafile.h"
#include "config/AtomicFile.h"

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>

const QStringList PieExportFilters = {
    QStringLiteral("Bitmap (*.bmp)"), QStringLiteral("Metafile (*.wmf)"), QStringLiteral("Enhanced Metafile (*.emf)"),
    QStringLiteral("PNG image (*.png)"), QStringLiteral("SVG image (*.svg)")};

namespace {

// Draws the chart on canvas, then puts it back on its own canvas (which redraws the on-screen
// picture) whatever happens. Labels are not copied to the screen meanwhile.
void DrawPieOn(THPieChart& chart, TCanvas& canvas) {
  struct TRestore {
    THPieChart& chart;
    TCanvas* canvas;
    TPaintTarget* target;
    const TBitmap* picture;
    ~TRestore() {
      chart.PaintTarget = target;
      chart.Picture = picture;
      chart.SetCanvas(canvas);
    }
  } restore{chart, chart.Canvas(), chart.PaintTarget, chart.Picture};
  chart.PaintTarget = nullptr;
  chart.Picture = nullptr;
  chart.SetCanvas(&canvas);
}

QByteArray ImageBytes(const QImage& image, const char* format, QString* error) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (!writer.write(image)) {
    if (error) *error = writer.errorString();
    return {};
  }
  return data;
}

}  // namespace

QString PieExportExtension(int filterIndex) {
  static const char* const Extensions[] = {".BMP", ".WMF", ".EMF", ".png", ".svg"};
  const int i = filterIndex >= 1 && filterIndex <= 5 ? filterIndex - 1 : 0;
  return QLatin1String(Extensions[i]);
}

QString PieExportFileName(const QString& chosen, int filterIndex) {
  if (chosen.isEmpty()) return chosen;
  const QFileInfo info(chosen);
  const QString name = info.fileName();
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString base = dot > 0 ? name.left(dot) : name;
  const QString folder = chosen.left(chosen.size() - name.size());
  return folder + base + PieExportExtension(filterIndex);
}

TPieExportFormat PieExportFormatOf(const QString& fileName) {
  const QString ext = QFileInfo(fileName).suffix().toUpper();
  if (ext == QLatin1String("BMP")) return TPieExportFormat::Bitmap;
  if (ext == QLatin1String("EMF")) return TPieExportFormat::Emf;
  if (ext == QLatin1String("PNG")) return TPieExportFormat::Png;
  if (ext == QLatin1String("SVG")) return TPieExportFormat::Svg;
  return TPieExportFormat::Wmf;
}

QByteArray PieExportData(THPieChart& chart, TPieExportFormat format, QString* error) {
  const int width = chart.Width();
  const int height = chart.Height();
  if (width <= 0 || height <= 0) {
    if (error) *error = QStringLiteral("The pie chart has no size to export. Make the pie larger and try again.");
    return {};
  }
  switch (format) {
    case TPieExportFormat::Bitmap:
    case TPieExportFormat::Png: {
      TBitmap bitmap(width, height);
      DrawPieOn(chart, bitmap.Canvas());
      return ImageBytes(bitmap.Image(), format == TPieExportFormat::Png ? "png" : "bmp", error);
    }
    case TPieExportFormat::Wmf:
    case TPieExportFormat::Emf: {
      TMetafile metafile(width, height);
      {
        TMetafileCanvas canvas(metafile);
        DrawPieOn(chart, canvas);
      }
      return format == TPieExportFormat::Emf ? metafile.ToEmf() : metafile.ToWmf();
    }
    case TPieExportFormat::Svg: {
      QByteArray data;
      QBuffer buffer(&data);
      buffer.open(QIODevice::WriteOnly);
      {
        TSvgCanvas canvas(&buffer, width, height);
        DrawPieOn(chart, canvas);
        canvas.Finish();
      }
      if (data.isEmpty() && error) *error = QStringLiteral("The SVG picture could not be made.");
      return data;
    }
  }
  return {};
}

bool ExportPieToFile(THPieChart& chart, const QString& fileName, QString* error) {
  const QByteArray data = PieExportData(chart, PieExportFormatOf(fileName), error);
  if (data.isEmpty()) return false;
  return WriteFileAtomically(QFile::encodeName(fileName), data, 0666, error);
}

QMimeData* PieClipboardData(THPieChart& chart, bool asMetafile, QString* error) {
  if (!asMetafile) {
    if (chart.Width() <= 0 || chart.Height() <= 0) {
      PieExportData(chart, TPieExportFormat::Bitmap, error);
      return nullptr;
    }
    TBitmap bitmap(chart.Width(), chart.Height());
    DrawPieOn(chart, bitmap.Canvas());
    auto* mime = new QMimeData;
    mime->setImageData(bitmap.Image());
    return mime;
  }
  const QByteArray emf = PieExportData(chart, TPieExportFormat::Emf, error);
  if (emf.isEmpty()) return nullptr;
  auto* mime = new QMimeData;
  mime->setData(QLatin1String(EmfMimeType), emf);
  mime->setData(QLatin1String(WmfMimeType), PieExportData(chart, TPieExportFormat::Wmf, error));
  mime->setData(QStringLiteral("image/svg+xml"), PieExportData(chart, TPieExportFormat::Svg, error));
  mime->setData(QStringLiteral("image/png"), PieExportData(chart, TPieExportFormat::Png, error));
  return mime;
}

bool CopyPieToClipboard(THPieChart& chart, bool asMetafile, QString* error) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) {
    if (error) *error = QStringLiteral("There is no clipboard.");
    return false;
  }
  QMimeData* mime = PieClipboardData(chart, asMetafile, error);
  if (!mime) return false;
  clipboard->setMimeData(mime);
  return true;
}
