#include "charts/TreemapPicture.h"

#include "charts/Canvas.h"
#include "scan/Format.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QXmlStreamWriter>

#include <algorithm>

namespace {

const QColor Background(qRgb(250, 250, 250));
const QColor TextColor(qRgb(20, 20, 20));

int LegendHeight(const QFontMetrics& fm) { return fm.height() + 8; }
int SwatchSize(const QFontMetrics& fm) { return std::max(6, fm.ascent() - 1); }

QString ColorName(const QColor& c) { return c.name(QColor::HexRgb); }

// Host names may hold what XML 1.0 cannot carry at all (control characters, the lone surrogates
// that stand for undecodable bytes): each such character becomes U+FFFD. Markup characters are
// escaped by the writer.
QString XmlSafe(const QString& s) {
  QString out = s;
  for (qsizetype i = 0; i < out.size(); ++i) {
    const char16_t c = out.at(i).unicode();
    bool ok;
    if (QChar::isHighSurrogate(c)) {
      ok = i + 1 < out.size() && out.at(i + 1).isLowSurrogate();
      if (ok) {
        ++i;
        continue;
      }
    } else {
      ok = !QChar::isLowSurrogate(c) && (c >= 0x20 || c == 0x09 || c == 0x0A || c == 0x0D) && c != 0xFFFE &&
           c != 0xFFFF;
    }
    if (!ok) out[i] = QChar(QChar::ReplacementCharacter);
  }
  return out;
}

// A leaf tile shaded from a lighter top-left to a darker bottom-right corner, so that the
// nesting reads even where neighbours share a colour.
QBrush LeafBrush(const QRect& r, const QColor& fill) {
  if (r.width() < 12 || r.height() < 12) return QBrush(fill);
  QLinearGradient gradient(r.topLeft(), r.bottomRight());
  gradient.setColorAt(0, fill.lighter(118));
  gradient.setColorAt(1, fill.darker(112));
  return QBrush(gradient);
}

// The legend's entries with where each swatch and text go; stops when the strip is full.
struct TLegendItem {
  QRect Swatch;
  QPoint BaseLine;
  QString Text;
  QColor Color;
};

std::vector<TLegendItem> LegendItems(const TTreemapPicture& p, const ITreemapColoring& coloring) {
  std::vector<TLegendItem> items;
  if (p.LegendRect.isEmpty()) return items;
  const QFontMetrics fm(p.Font);
  const int swatch = SwatchSize(fm);
  const int baseLine = p.LegendRect.top() + (p.LegendRect.height() + fm.ascent() - fm.descent()) / 2;
  int x = p.LegendRect.left() + 6;
  for (const TTreemapLegendEntry& entry : coloring.Legend(p.Map)) {
    const int width = swatch + 4 + fm.horizontalAdvance(entry.Text);
    if (x + width > p.LegendRect.right()) break;
    TLegendItem item;
    item.Swatch = QRect(x, baseLine - fm.ascent() + (fm.ascent() - swatch) / 2 + 1, swatch, swatch);
    item.BaseLine = QPoint(x + swatch + 4, baseLine);
    item.Text = entry.Text;
    item.Color = entry.Color;
    items.push_back(std::move(item));
    x += width + 14;
  }
  return items;
}

}  // namespace

QFont TreemapFont() {
  QFont font(QString::fromLatin1(DefaultFontName));
  font.setPixelSize(DefaultFontPixelSize);
  return font;
}

TTreemapPicture TreemapPictureFrame(QSize size, const QFont& font) {
  TTreemapPicture p;
  p.Size = size;
  p.Font = font;
  const QFontMetrics fm(font);
  const int legend = LegendHeight(fm);
  const bool withLegend = size.height() >= 6 * legend && size.width() >= 200;
  p.MapRect = QRect(0, 0, std::max(size.width(), 0), std::max(size.height() - (withLegend ? legend : 0), 0));
  if (withLegend) p.LegendRect = QRect(0, p.MapRect.bottom() + 1, size.width(), legend);
  p.Map.Size = p.MapRect.size();
  return p;
}

TTreemapSettings TreemapPictureSettings(const TTreemapPicture& picture, const TTreemapSettings& settings) {
  TTreemapSettings s = settings;
  s.HeaderHeight = QFontMetrics(picture.Font).height() + 1;
  return s;
}

TTreemapPicture MakeTreemapPicture(TTreeNode& node, QSize size, const TTreemapSettings& settings, const QFont& font) {
  TTreemapPicture p = TreemapPictureFrame(size, font);
  p.Map = BuildTreemap(node, p.MapRect.size(), TreemapPictureSettings(p, settings));
  return p;
}

std::optional<TTreemapLabel> TreemapLabel(const TTreemapPicture& picture, const QFontMetrics& fm, int i) {
  const TTreemapTile& t = picture.Map.Tiles[static_cast<size_t>(i)];
  const bool divided = t.ChildCount > 0;
  if (divided && !t.HasHeader) return std::nullopt;
  if (!divided && (t.Pixels.height() < fm.height() + 4 || t.Pixels.width() < fm.averageCharWidth() * 4)) return std::nullopt;
  const int room = t.Pixels.width() - 6;
  // The mapped folder is named by its path: a drive's own name may be empty.
  const QString name = t.Parent < 0 ? TreemapTilePath(picture.Map, t) : TreemapTileName(picture.Map, t);
  const QString text = fm.elidedText(name, Qt::ElideRight, room);
  if (text.isEmpty() || text == QStringLiteral("…")) return std::nullopt;
  return TTreemapLabel{QPoint(t.Pixels.left() + 3, t.Pixels.top() + 1 + fm.ascent()), text, i};
}

std::vector<TTreemapLabel> TreemapLabels(const TTreemapPicture& picture) {
  std::vector<TTreemapLabel> labels;
  const QFontMetrics fm(picture.Font);
  for (size_t i = 0; i < picture.Map.Tiles.size(); ++i)
    if (std::optional<TTreemapLabel> label = TreemapLabel(picture, fm, static_cast<int>(i))) labels.push_back(std::move(*label));
  return labels;
}

QColor TreemapFrameColor(const QColor& fill) { return fill.darker(135); }

QString TreemapTileTitle(const TTreemap& map, const TTreemapTile& tile) {
  return TreemapTilePath(map, tile) + QLatin1Char('\n') + QString::number(tile.Bytes) + QStringLiteral(" bytes (") +
         FormatSize(tile.Bytes) + QLatin1Char(')');
}

void PaintTreemapBackground(QPainter& painter, const TTreemapPicture& p) {
  painter.save();
  painter.fillRect(QRect(QPoint(0, 0), p.Size), Background);
  if (p.Map.Empty()) {
    painter.setFont(p.Font);
    painter.setPen(TextColor);
    painter.drawText(p.MapRect, Qt::AlignCenter | Qt::TextWordWrap, p.Map.Note);
  }
  painter.restore();
}

size_t PaintTreemapTiles(QPainter& painter, const TTreemapPicture& p, const ITreemapColoring& coloring, size_t from,
                         size_t to, const QRect& clip, int64_t budgetNs) {
  const TTreemap& map = p.Map;
  to = std::min(to, map.Tiles.size());
  if (from >= to) return to;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setFont(p.Font);
  const QFontMetrics fm(p.Font);
  QElapsedTimer clock;
  clock.start();
  size_t i = from;
  for (int since = 0; i < to; ++i, ++since) {
    if (since >= 16) {
      since = 0;
      if (clock.nsecsElapsed() >= budgetNs) break;
    }
    const TTreemapTile& t = map.Tiles[i];
    if (!clip.isNull() && !clip.intersects(t.Pixels)) continue;
    const QColor fill = coloring.TileColor(map, t);
    const QColor frame = TreemapFrameColor(fill);
    if (t.ChildCount > 0) {
      // A divided folder shows as its frame and name strip around its children.
      painter.fillRect(t.Pixels, frame);
    } else {
      painter.fillRect(t.Pixels, LeafBrush(t.Pixels, fill));
      if (t.Pixels.width() > 2 && t.Pixels.height() > 2) {
        painter.setPen(frame);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(t.Pixels.adjusted(0, 0, -1, -1));
      }
    }
    // The name goes on at once: a folder's strip and a leaf's own pixels are never painted over
    // by the tiles that follow.
    if (const std::optional<TTreemapLabel> label = TreemapLabel(p, fm, static_cast<int>(i))) {
      painter.setPen(t.ChildCount > 0 ? QColor(Qt::white) : TextColor);
      painter.drawText(label->BaseLine, label->Text);
    }
  }
  painter.restore();
  return i;
}

void PaintTreemapLegend(QPainter& painter, const TTreemapPicture& p, const ITreemapColoring& coloring) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setFont(p.Font);
  for (const TLegendItem& item : LegendItems(p, coloring)) {
    painter.fillRect(item.Swatch, item.Color);
    painter.setPen(TreemapFrameColor(item.Color));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(item.Swatch.adjusted(0, 0, -1, -1));
    painter.setPen(TextColor);
    painter.drawText(item.BaseLine, item.Text);
  }
  painter.restore();
}

void PaintTreemapHighlight(QPainter& painter, const TTreemap& map, int tile) {
  if (tile < 0 || tile >= static_cast<int>(map.Tiles.size())) return;
  const QRect r = map.Tiles[static_cast<size_t>(tile)].Pixels;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::black, 1));
  painter.drawRect(r.adjusted(0, 0, -1, -1));
  if (r.width() > 4 && r.height() > 4) {
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(r.adjusted(1, 1, -2, -2));
  }
  painter.restore();
}

void PaintTreemap(QPainter& painter, const TTreemapPicture& p, const ITreemapColoring& coloring, int highlight) {
  PaintTreemapBackground(painter, p);
  PaintTreemapTiles(painter, p, coloring, 0, p.Map.Tiles.size());
  PaintTreemapHighlight(painter, p.Map, highlight);
  PaintTreemapLegend(painter, p, coloring);
}

QImage TreemapImage(const TTreemapPicture& picture, const ITreemapColoring& coloring) {
  if (picture.Size.isEmpty()) return {};
  QImage image(picture.Size, QImage::Format_RGB32);
  if (image.isNull()) return image;
  QPainter painter(&image);
  PaintTreemap(painter, picture, coloring);
  return image;
}

QByteArray TreemapSvg(const TTreemapPicture& p, const ITreemapColoring& coloring) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  QXmlStreamWriter xml(&buffer);
  xml.setAutoFormatting(true);
  xml.setAutoFormattingIndent(1);
  xml.writeStartDocument();
  xml.writeStartElement(QStringLiteral("svg"));
  xml.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
  const QString w = QString::number(p.Size.width());
  const QString h = QString::number(p.Size.height());
  xml.writeAttribute(QStringLiteral("width"), w);
  xml.writeAttribute(QStringLiteral("height"), h);
  xml.writeAttribute(QStringLiteral("viewBox"), QStringLiteral("0 0 %1 %2").arg(w, h));
  const QString fontFamily = p.Font.family();
  const QString fontSize = QString::number(p.Font.pixelSize() > 0 ? p.Font.pixelSize() : p.Font.pointSize());
  xml.writeAttribute(QStringLiteral("font-family"), fontFamily);
  xml.writeAttribute(QStringLiteral("font-size"), fontSize);
  const TTreemap& map = p.Map;
  if (!map.Empty()) xml.writeTextElement(QStringLiteral("title"), XmlSafe(QStringLiteral("Treemap of ") + TreemapTilePath(map, map.Tiles[0])));

  const auto rect = [&](const QRect& r, const QColor& fill, const QColor* stroke) {
    xml.writeStartElement(QStringLiteral("rect"));
    xml.writeAttribute(QStringLiteral("x"), QString::number(r.x()));
    xml.writeAttribute(QStringLiteral("y"), QString::number(r.y()));
    xml.writeAttribute(QStringLiteral("width"), QString::number(r.width()));
    xml.writeAttribute(QStringLiteral("height"), QString::number(r.height()));
    xml.writeAttribute(QStringLiteral("fill"), ColorName(fill));
    if (stroke) {
      xml.writeAttribute(QStringLiteral("stroke"), ColorName(*stroke));
      xml.writeAttribute(QStringLiteral("stroke-width"), QStringLiteral("1"));
    }
  };
  const auto text = [&](QPoint at, const QString& s, const QColor& color) {
    xml.writeStartElement(QStringLiteral("text"));
    xml.writeAttribute(QStringLiteral("x"), QString::number(at.x()));
    xml.writeAttribute(QStringLiteral("y"), QString::number(at.y()));
    xml.writeAttribute(QStringLiteral("fill"), ColorName(color));
    xml.writeCharacters(XmlSafe(s));
    xml.writeEndElement();
  };

  xml.writeStartElement(QStringLiteral("g"));
  xml.writeAttribute(QStringLiteral("id"), QStringLiteral("background"));
  rect(QRect(QPoint(0, 0), p.Size), Background, nullptr);
  xml.writeEndElement();  // rect
  if (map.Empty()) {
    text(QPoint(p.MapRect.center().x() - QFontMetrics(p.Font).horizontalAdvance(map.Note) / 2, p.MapRect.center().y()),
         map.Note, TextColor);
  }
  xml.writeEndElement();  // g

  xml.writeStartElement(QStringLiteral("g"));
  xml.writeAttribute(QStringLiteral("id"), QStringLiteral("tiles"));
  for (const TTreemapTile& t : map.Tiles) {
    const QColor fill = coloring.TileColor(map, t);
    const QColor frame = TreemapFrameColor(fill);
    if (t.ChildCount > 0)
      rect(t.Pixels, frame, nullptr);
    else
      rect(t.Pixels, fill, &frame);
    xml.writeTextElement(QStringLiteral("title"), XmlSafe(TreemapTileTitle(map, t)));
    xml.writeEndElement();  // rect
  }
  xml.writeEndElement();  // g

  xml.writeStartElement(QStringLiteral("g"));
  xml.writeAttribute(QStringLiteral("id"), QStringLiteral("names"));
  for (const TTreemapLabel& label : TreemapLabels(p))
    text(label.BaseLine, label.Text, map.Tiles[static_cast<size_t>(label.Tile)].ChildCount > 0 ? QColor(Qt::white) : TextColor);
  xml.writeEndElement();  // g

  xml.writeStartElement(QStringLiteral("g"));
  xml.writeAttribute(QStringLiteral("id"), QStringLiteral("legend"));
  for (const TLegendItem& item : LegendItems(p, coloring)) {
    const QColor frame = TreemapFrameColor(item.Color);
    rect(item.Swatch, item.Color, &frame);
    xml.writeEndElement();  // rect
    text(item.BaseLine, item.Text, TextColor);
  }
  xml.writeEndElement();  // g

  xml.writeEndElement();  // svg
  xml.writeEndDocument();
  return data;
}
