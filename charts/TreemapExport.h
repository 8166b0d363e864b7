#pragma once
// The treemap saved as a PNG or SVG file, chosen by the file name's extension, written in one step
// (a temporary file renamed over the name): a failure leaves no partial file and an existing file
// as it was.

#include "charts/TreemapPicture.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

enum class TTreemapFormat { Png, Svg, Unknown };

// The save dialog's filters: PNG, then SVG.
extern const QStringList TreemapExportFilters;
// By the extension, in any case; Unknown for any other.
TTreemapFormat TreemapFormatOf(const QString& fileName);
// The name written for a chosen name and filter (1 PNG, 2 SVG): its extension replaced by the
// filter's (a name without one gets it).
QString TreemapExportFileName(const QString& chosen, int filterIndex);

// The picture as file data; empty with a message in *error when it has no size or cannot be made.
QByteArray TreemapPictureData(const TTreemapPicture& picture, TTreemapFormat format, const ITreemapColoring& coloring,
                              QString* error = nullptr);
bool ExportTreemapToFile(const TTreemapPicture& picture, const QString& fileName, const ITreemapColoring& coloring,
                         QString* error = nullptr);
