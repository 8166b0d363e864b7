#include "charts/TreemapExport.h"

#include "config/AtomicFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

const QStringList TreemapExportFilters = {QStringLiteral("PNG image (*.png)"), QStringLiteral("SVG image (*.svg)")};

TTreemapFormat TreemapFormatOf(const QString& fileName) {
  const QString ext = QFileInfo(fileName).suffix().toLower();
  if (ext == QLatin1String("png")) return TTreemapFormat::Png;
  if (ext == QLatin1String("svg")) return TTreemapFormat::Svg;
  return TTreemapFormat::Unknown;
}

QString TreemapExportFileName(const QString& chosen, int filterIndex) {
  if (chosen.isEmpty()) return chosen;
  const QString name = QFileInfo(chosen).fileName();
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString base = dot > 0 ? name.left(dot) : name;
  const QString folder = chosen.left(chosen.size() - name.size());
  return folder + base + (filterIndex == 2 ? QStringLiteral(".svg") : QStringLiteral(".png"));
}

QByteArray TreemapPictureData(const TTreemapPicture& picture, TTreemapFormat format, const ITreemapColoring& coloring,
                              QString* error) {
  if (picture.Size.width() <= 0 || picture.Size.height() <= 0) {
    if (error) *error = QStringLiteral("The treemap has no size to export. Make it larger and try again.");
    return {};
  }
  switch (format) {
    case TTreemapFormat::Png: {
      const QImage image = TreemapImage(picture, coloring);
      QByteArray data;
      QBuffer buffer(&data);
      buffer.open(QIODevice::WriteOnly);
      QImageWriter writer(&buffer, "png");
      if (image.isNull() || !writer.write(image)) {
        if (error)
          *error = image.isNull() ? QStringLiteral("There is not enough memory for a picture of %1 by %2 pixels.")
                                        .arg(picture.Size.width())
                                        .arg(picture.Size.height())
                                  : writer.errorString();
        return {};
      }
      return data;
    }
    case TTreemapFormat::Svg:
      return TreemapSvg(picture, coloring);
    case TTreemapFormat::Unknown:
      break;
  }
  if (error) *error = QStringLiteral("A treemap is saved as a PNG (.png) or SVG (.svg) file.");
  return {};
}

bool ExportTreemapToFile(const TTreemapPicture& picture, const QString& fileName, const ITreemapColoring& coloring,
                         QString* error) {
  const QByteArray data = TreemapPictureData(picture, TreemapFormatOf(fileName), coloring, error);
  if (data.isEmpty()) return false;
  return WriteFileAtomically(QFile::encodeName(fileName), data, 0666, error);
}
