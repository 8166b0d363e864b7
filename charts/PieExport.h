#pragma once
// The pie chart as a picture: drawn afresh by the pie engine onto a new bitmap, metafile or SVG
// picture of the chart's size (labels and the highlighted label included), then saved to a file
// or put on the clipboard. The chart is back on its own canvas afterwards, also after an error.

#include <QByteArray>
#include <QString>
#include <QStringList>

class QMimeData;
class THPieChart;

enum class TPieExportFormat { Bitmap, Wmf, Emf, Png, Svg };

// The save dialog's filters, in the order of their indexes (from 1): bitmap, Windows metafile,
// enhanced metafile, PNG, SVG.
extern const QStringList PieExportFilters;
// The extension of a filter index: ".BMP", ".WMF", ".EMF", ".png", ".svg"; the first for any
// other index.
QString PieExportExtension(int filterIndex);
// The file that is written for a chosen name and filter: its extension replaced by the filter's
// (a name without one gets it). Ask about replacing an existing file with this name, not with the
// one typed.
QString PieExportFileName(const QString& chosen, int filterIndex);
// The picture kind of a file name, by its extension (any case): .BMP, .EMF, .PNG, .SVG, and a
// Windows metafile for anything else.
TPieExportFormat PieExportFormatOf(const QString& fileName);

// The chart drawn as a picture of that kind; empty with a message in *error when the chart has no
// size (a pie box of zero width or height) or the picture could not be made.
QByteArray PieExportData(THPieChart& chart, TPieExportFormat format, QString* error = nullptr);
// Writes the picture in the kind fileName's extension says, in one step (a temporary file renamed
// over the name): a failure leaves no partial file and an existing file as it was.
bool ExportPieToFile(THPieChart& chart, const QString& fileName, QString* error = nullptr);

// MIME types under which the metafile copy is offered: our EMF and WMF bytes, and SVG and PNG,
// which other Linux programs paste.
inline constexpr char EmfMimeType[] = "image/x-emf";
inline constexpr char WmfMimeType[] = "image/x-wmf";
// The clipboard data of a metafile copy (every kind above) or of a bitmap copy (the image); none
// with a message in *error when the chart has no size. The caller owns the result.
QMimeData* PieClipboardData(THPieChart& chart, bool asMetafile, QString* error = nullptr);
// Puts that data on the application's clipboard (needs a QGuiApplication).
bool CopyPieToClipboard(THPieChart& chart, bool asMetafile, QString* error = nullptr);
