#pragma once
// Metafiles: a canvas that records what is drawn on it, and writers that turn the recording into a
// placeable Windows metafile (.wmf) or an enhanced metafile (.emf) that other programs can open.
// One unit of the picture is one pixel at 96 pixels per inch.

#include "charts/Canvas.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QString>

#include <vector>

enum class TMetaOp { FillRect, Ellipse, Pie, Rectangle, MoveTo, LineTo, Text, Raster };

// One drawing operation with the canvas state it was drawn in.
struct TMetaRecord {
  TMetaOp Op = TMetaOp::FillRect;
  // Shape box, filled rectangle, raster destination, or the clip rectangle of clipped text.
  TRect Rect;
  // Pie: the start and end rays' points. MoveTo, LineTo: the target. Text: the position.
  QPoint From;
  QPoint To;
  TPen Pen;
  TBrush Brush;
  TFont Font;
  QString Text;
  bool Clipped = false;
  TCopyMode Mode = TCopyMode::SrcCopy;
  // The source pixels of a raster copy; null for blackness.
  QImage Pixels;
};

enum class TMetafileFormat { Wmf, Emf };

class TMetafile {
public:
  TMetafile(int width, int height) : width_(width), height_(height) {}

  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::vector<TMetaRecord>& Records() const { return records_; }
  void Add(TMetaRecord record) { records_.push_back(std::move(record)); }

  // A placeable Windows metafile: the 22-byte placeable header, then the metafile proper.
  QByteArray ToWmf() const;
  QByteArray ToEmf() const;
  // Writes the file in the given format; on failure returns false with the reason in *error.
  bool SaveToFile(const QString& fileName, TMetafileFormat format, QString* error = nullptr) const;

private:
  int width_;
  int height_;
  std::vector<TMetaRecord> records_;
};

// Records every operation into a metafile. Text is measured with the canvas font as on a bitmap,
// so that a pie laid out here matches the one on screen. A metafile cannot be read back, so it
// gives no pixels as the source of a raster copy.
class TMetafileCanvas : public TCanvas {
public:
  explicit TMetafileCanvas(TMetafile& metafile) : metafile_(metafile) {}

  void FillRect(const TRect& rect) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void TextOut(int x, int y, const QString& text) override;
  void TextRect(const TRect& clip, int x, int y, const QString& text) override;
  void CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) override;
  void Draw(int x, int y, const TBitmap& picture) override;

private:
  TMetaRecord Record(TMetaOp op) const;

  TMetafile& metafile_;
};
