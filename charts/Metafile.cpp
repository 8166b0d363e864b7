#include "charts/Metafile.h"

#include "charts/BitmapCanvas.h"

#include <QFontMetrics>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <optional>

namespace {

// Little-endian record builder.
class TBytes {
public:
  void U8(unsigned v) { Data.append(static_cast<char>(v & 0xFF)); }
  void U16(unsigned v) {
    U8(v);
    U8(v >> 8);
  }
  void I16(int v) {
    v = std::clamp(v, -32768, 32767);
    U16(static_cast<unsigned>(v) & 0xFFFF);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F32(float v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    U32(bits);
  }
  void Append(const QByteArray& bytes) { Data.append(bytes); }
  void PadTo(qsizetype multiple) {
    while (Data.size() % multiple != 0) U8(0);
  }
  qsizetype Size() const { return Data.size(); }

  QByteArray Data;
};

// Raster operations of the copy modes; PATCOPY paints with the brush.
uint32_t RasterOp(TCopyMode mode) {
  switch (mode) {
    case TCopyMode::Blackness:
      return 0x00000042;
    case TCopyMode::SrcInvert:
      return 0x00660046;
    case TCopyMode::SrcCopy:
      break;
  }
  return 0x00CC0020;
}

constexpr uint32_t PsSolid = 0;
constexpr uint32_t PsNull = 5;
constexpr uint32_t BsSolid = 0;
constexpr uint32_t BsNull = 1;
constexpr int BkTransparent = 1;
constexpr int BkOpaque = 2;
constexpr unsigned EtoClipped = 0x0004;
constexpr unsigned FfSwissVariable = 0x22;

// Pen and brush as they are written: colours resolved, and nothing but the style for a clear one,
// so that equal-looking states share one object.
TPen WrittenPen(const TPen& pen) {
  if (pen.Style == TPenStyle::Clear) return TPen{clBlack, TPenStyle::Clear, 1};
  return TPen{ColorToRgb(pen.Color), TPenStyle::Solid, std::max(1, pen.Width)};
}

TBrush WrittenBrush(const TBrush& brush) {
  if (brush.Style == TBrushStyle::Clear) return TBrush{clBlack, TBrushStyle::Clear};
  return TBrush{ColorToRgb(brush.Color), TBrushStyle::Solid};
}

TFont WrittenFont(const TFont& font) {
  TFont written = font;
  written.Color = clBlack;  // the text colour is a state of its own
  return written;
}

// A character's advance: the growth of the text's width when it is added, so that the advances of
// a text add up to the width the canvas measured for it.
std::vector<int> Advances(const TFont& font, const QString& text, bool perCodeUnit) {
  const QFontMetrics metrics(font.ToQFont());
  std::vector<int> advances;
  int before = 0;
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype units = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const int after = metrics.horizontalAdvance(text.left(i + units));
    advances.push_back(after - before);
    if (perCodeUnit && units == 2) advances.push_back(0);
    before = after;
    i += units;
  }
  return advances;
}

// Windows-1252 for the 16-bit format's text: one byte per character, "?" for what it cannot hold.
QByteArray ToWindows1252(const QString& text) {
  static constexpr std::array<char16_t, 32> High = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  QByteArray bytes;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text.at(i).unicode();
    if (text.at(i).isHighSurrogate() && i + 1 < text.size()) {
      bytes.append('?');
      ++i;
      continue;
    }
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      bytes.append(static_cast<char>(c));
      continue;
    }
    const auto* hit = std::find(High.begin(), High.end(), c);
    bytes.append(c != 0 && hit != High.end() ? static_cast<char>(0x80 + (hit - High.begin())) : '?');
  }
  return bytes;
}

// A 24-bit bottom-up device-independent bitmap: its 40-byte header and its rows.
void AppendDib(TBytes& out, const QImage& image, qsizetype* headerSize, qsizetype* bitsSize) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  const int width = rgb.width();
  const int height = rgb.height();
  const int stride = (width * 3 + 3) / 4 * 4;
  out.U32(40);
  out.I32(width);
  out.I32(height);
  out.U16(1);
  out.U16(24);
  out.U32(0);  // no compression
  out.U32(static_cast<uint32_t>(stride * height));
  out.I32(3780);  // 96 pixels per inch
  out.I32(3780);
  out.U32(0);
  out.U32(0);
  *headerSize = 40;
  for (int y = height - 1; y >= 0; --y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < width; ++x) {
      out.U8(static_cast<unsigned>(qBlue(line[x])));
      out.U8(static_cast<unsigned>(qGreen(line[x])));
      out.U8(static_cast<unsigned>(qRed(line[x])));
    }
    for (int pad = width * 3; pad < stride; ++pad) out.U8(0);
  }
  *bitsSize = static_cast<qsizetype>(stride) * height;
}

// The objects a writer has selected into the playback device and the text state it has set.
// Objects are created when a record needs a state the device does not have, selected, and the
// object they replace is deleted; at the end the device state saved at the start is restored and
// the last objects are deleted.
template <typename TEmitter>
class TObjectState {
public:
  explicit TObjectState(TEmitter& emitter) : Emitter(emitter) {}

  void UsePen(const TPen& pen) {
    const TPen wanted = WrittenPen(pen);
    if (Pen && *Pen == wanted) return;
    Replace(PenSlot, Emitter.CreatePen(NewSlot(), wanted));
    Pen = wanted;
  }
  void UseBrush(const TBrush& brush) {
    const TBrush wanted = WrittenBrush(brush);
    if (Brush && *Brush == wanted) return;
    Replace(BrushSlot, Emitter.CreateBrush(NewSlot(), wanted));
    Brush = wanted;
  }
  void UseFont(const TFont& font) {
    const TFont wanted = WrittenFont(font);
    if (Font && *Font == wanted) return;
    Replace(FontSlot, Emitter.CreateFont(NewSlot(), wanted));
    Font = wanted;
  }
  // Text colour, and the background: a solid brush fills behind the text in its colour.
  void UseTextState(const TFont& font, const TBrush& brush) {
    const TColor color = ColorToRgb(font.Color);
    if (!TextColor || *TextColor != color) {
      Emitter.SetTextColor(color);
      TextColor = color;
    }
    const int mode = brush.Style == TBrushStyle::Solid ? BkOpaque : BkTransparent;
    if (BkMode != mode) {
      Emitter.SetBkMode(mode);
      BkMode = mode;
    }
    if (mode == BkOpaque) {
      const TColor back = ColorToRgb(brush.Color);
      if (!BkColor || *BkColor != back) {
        Emitter.SetBkColor(back);
        BkColor = back;
      }
    }
  }
  // Deletes the objects still alive; the caller has restored the device's own objects first.
  void DeleteAll() {
    for (int* slot : {&PenSlot, &BrushSlot, &FontSlot}) {
      if (*slot >= 0) Emitter.DeleteObject(*slot);
      *slot = -1;
    }
  }
  int TableSize() const { return static_cast<int>(Slots.size()); }

  void SetInitialBkMode(int mode) { BkMode = mode; }

private:
  // The lowest free entry of the playback object table, as players assign them.
  int NewSlot() {
    const auto free = std::find(Slots.begin(), Slots.end(), false);
    const int slot = static_cast<int>(free - Slots.begin());
    if (free == Slots.end()) {
      Slots.push_back(true);
    } else {
      *free = true;
    }
    return slot;
  }
  void Replace(int& slot, int created) {
    Emitter.SelectObject(created);
    if (slot >= 0) {
      Emitter.DeleteObject(slot);
      Slots[static_cast<size_t>(slot)] = false;
    }
    slot = created;
  }

  TEmitter& Emitter;
  std::vector<bool> Slots;
  int PenSlot = -1;
  int BrushSlot = -1;
  int FontSlot = -1;
  std::optional<TPen> Pen;
  std::optional<TBrush> Brush;
  std::optional<TFont> Font;
  std::optional<TColor> TextColor;
  int BkMode = 0;
  std::optional<TColor> BkColor;
};

// ---- Windows metafile (16-bit records) ----

class TWmfWriter {
public:
  explicit TWmfWriter(const TMetafile& metafile) : Metafile(metafile), State(*this) {}

  QByteArray Write();

  int CreatePen(int slot, const TPen& pen) {
    TBytes p;
    p.U16(pen.Style == TPenStyle::Clear ? PsNull : PsSolid);
    p.I16(pen.Width);
    p.I16(0);
    p.U32(pen.Color);
    Record(0x02FA, p);
    return slot;
  }
  int CreateBrush(int slot, const TBrush& brush) {
    TBytes p;
    p.U16(brush.Style == TBrushStyle::Clear ? BsNull : BsSolid);
    p.U32(brush.Color);
    p.U16(0);
    Record(0x02FC, p);
    return slot;
  }
  int CreateFont(int slot, const TFont& font) {
    TBytes p;
    p.I16(-font.PixelSize);
    p.I16(0);
    p.I16(0);
    p.I16(0);
    p.I16(font.Bold ? 700 : 400);
    p.U8(font.Italic ? 1 : 0);
    p.U8(0);
    p.U8(0);
    p.U8(0);  // ANSI character set: the text is written in Windows-1252
    p.U8(0);
    p.U8(0);
    p.U8(0);
    p.U8(FfSwissVariable);
    QByteArray face = ToWindows1252(font.Name).left(31);
    face.append(QByteArray(32 - face.size(), '\0'));
    p.Append(face);
    Record(0x02FB, p);
    return slot;
  }
  void SelectObject(int slot) { Record(0x012D, Words({slot})); }
  void DeleteObject(int slot) { Record(0x01F0, Words({slot})); }
  void SetTextColor(TColor color) {
    TBytes p;
    p.U32(color);
    Record(0x0209, p);
  }
  void SetBkColor(TColor color) {
    TBytes p;
    p.U32(color);
    Record(0x0201, p);
  }
  void SetBkMode(int mode) { Record(0x0102, Words({mode})); }

private:
  static TBytes Words(std::initializer_list<int> words) {
    TBytes p;
    for (int w : words) p.I16(w);
    return p;
  }
  void Record(unsigned function, const TBytes& params) {
    TBytes r;
    const uint32_t words = static_cast<uint32_t>(3 + (params.Size() + 1) / 2);
    r.U32(words);
    r.U16(function);
    r.Append(params.Data);
    r.PadTo(2);
    Body.append(r.Data);
    MaxRecord = std::max(MaxRecord, words);
  }
  void FillBox(const TRect& rect, const TBrush& brush);
  void Play(const TMetaRecord& record);

  const TMetafile& Metafile;
  TObjectState<TWmfWriter> State;
  QByteArray Body;
  uint32_t MaxRecord = 3;
};

// A filled rectangle: a rectangle outlined in the fill colour covers exactly its pixels, both
// where the outline lies inside the corners and where players take the corners as the edges.
void TWmfWriter::FillBox(const TRect& rect, const TBrush& brush) {
  State.UsePen(TPen{brush.Color, TPenStyle::Solid, 1});
  State.UseBrush(brush);
  Record(0x041B, Words({rect.Bottom, rect.Right, rect.Top, rect.Left}));
}

void TWmfWriter::Play(const TMetaRecord& record) {
  const TRect& r = record.Rect;
  switch (record.Op) {
    case TMetaOp::FillRect:
      FillBox(r, record.Brush);
      break;
    case TMetaOp::Ellipse:
      State.UsePen(record.Pen);
      State.UseBrush(record.Brush);
      Record(0x0418, Words({r.Bottom, r.Right, r.Top, r.Left}));
      break;
    case TMetaOp::Rectangle:
      State.UsePen(record.Pen);
      State.UseBrush(record.Brush);
      Record(0x041B, Words({r.Bottom, r.Right, r.Top, r.Left}));
      break;
    case TMetaOp::Pie:
      State.UsePen(record.Pen);
      State.UseBrush(record.Brush);
      Record(0x081A, Words({record.To.y(), record.To.x(), record.From.y(), record.From.x(), r.Bottom,
                            r.Right, r.Top, r.Left}));
      break;
    case TMetaOp::MoveTo:
      Record(0x0214, Words({record.To.y(), record.To.x()}));
      break;
    case TMetaOp::LineTo:
      State.UsePen(record.Pen);
      Record(0x0213, Words({record.To.y(), record.To.x()}));
      break;
    case TMetaOp::Text: {
      State.UseFont(record.Font);
      State.UseTextState(record.Font, record.Brush);
      const QByteArray text = ToWindows1252(record.Text);
      std::vector<int> advances = Advances(record.Font, record.Text, false);
      TBytes p;
      p.I16(record.From.y());
      p.I16(record.From.x());
      p.I16(static_cast<int>(text.size()));
      p.U16(record.Clipped ? EtoClipped : 0);
      if (record.Clipped) {
        p.I16(r.Left);
        p.I16(r.Top);
        p.I16(r.Right);
        p.I16(r.Bottom);
      }
      p.Append(text);
      p.PadTo(2);
      for (int advance : advances) p.I16(advance);
      Record(0x0A32, p);
      break;
    }
    case TMetaOp::Raster: {
      if (record.Mode == TCopyMode::Blackness) {
        FillBox(r, TBrush{clBlack, TBrushStyle::Solid});
        break;
      }
      TBytes p;
      p.U32(RasterOp(record.Mode));
      p.U16(0);  // colours are RGB values
      p.I16(record.Pixels.height());
      p.I16(record.Pixels.width());
      p.I16(0);
      p.I16(0);
      p.I16(r.Height());
      p.I16(r.Width());
      p.I16(r.Top);
      p.I16(r.Left);
      qsizetype headerSize = 0;
      qsizetype bitsSize = 0;
      AppendDib(p, record.Pixels, &headerSize, &bitsSize);
      Record(0x0F43, p);
      break;
    }
  }
}

QByteArray TWmfWriter::Write() {
  const int width = Metafile.Width();
  const int height = Metafile.Height();
  Record(0x020B, Words({0, 0}));           // window origin
  Record(0x020C, Words({height, width}));  // window extent
  Record(0x001E, TBytes());                // save the device state
  Record(0x0102, Words({BkTransparent}));
  State.SetInitialBkMode(BkTransparent);
  Record(0x012E, Words({0}));  // text aligned at its top-left corner, current position unused
  for (const TMetaRecord& record : Metafile.Records()) Play(record);
  Record(0x0127, Words({-1}));  // back to the saved state, which deselects our objects
  State.DeleteAll();
  Record(0x0000, TBytes());  // end of file

  TBytes header;
  header.U16(1);  // in memory
  header.U16(9);
  header.U16(0x0300);
  header.U32(static_cast<uint32_t>(9 + Body.size() / 2));
  header.U16(static_cast<unsigned>(std::max(1, State.TableSize())));
  header.U32(MaxRecord);
  header.U16(0);

  TBytes placeable;
  placeable.U32(0x9AC6CDD7);
  placeable.U16(0);
  placeable.I16(0);
  placeable.I16(0);
  placeable.I16(width);
  placeable.I16(height);
  placeable.U16(96);  // units per inch: one unit is one pixel
  placeable.U32(0);
  unsigned checksum = 0;
  for (qsizetype i = 0; i < placeable.Size(); i += 2) {
    checksum ^= static_cast<uint8_t>(placeable.Data[i]) |
                static_cast<unsigned>(static_cast<uint8_t>(placeable.Data[i + 1])) << 8;
  }
  placeable.U16(checksum);
  return placeable.Data + header.Data + Body;
}

// ---- Enhanced metafile (32-bit records) ----

class TEmfWriter {
public:
  explicit TEmfWriter(const TMetafile& metafile) : Metafile(metafile), State(*this) {}

  QByteArray Write();

  // Entry 0 of the enhanced object table is the metafile itself.
  int CreatePen(int slot, const TPen& pen) {
    TBytes p;
    p.U32(static_cast<uint32_t>(slot + 1));
    p.U32(pen.Style == TPenStyle::Clear ? PsNull : PsSolid);
    p.I32(pen.Width);
    p.I32(0);
    p.U32(pen.Color);
    Record(38, p);
    return slot;
  }
  int CreateBrush(int slot, const TBrush& brush) {
    TBytes p;
    p.U32(static_cast<uint32_t>(slot + 1));
    p.U32(brush.Style == TBrushStyle::Clear ? BsNull : BsSolid);
    p.U32(brush.Color);
    p.U32(0);
    Record(39, p);
    return slot;
  }
  int CreateFont(int slot, const TFont& font) {
    TBytes p;
    p.U32(static_cast<uint32_t>(slot + 1));
    p.I32(-font.PixelSize);
    p.I32(0);
    p.I32(0);
    p.I32(0);
    p.I32(font.Bold ? 700 : 400);
    p.U8(font.Italic ? 1 : 0);
    p.U8(0);
    p.U8(0);
    p.U8(1);  // default character set: the text is Unicode
    p.U8(0);
    p.U8(0);
    p.U8(0);
    p.U8(FfSwissVariable);
    const QString face = font.Name.left(31);
    for (int i = 0; i < 32; ++i) p.U16(i < face.size() ? face.at(i).unicode() : 0);
    Record(82, p);
    return slot;
  }
  void SelectObject(int slot) { Record(37, Dwords({slot + 1})); }
  void DeleteObject(int slot) { Record(40, Dwords({slot + 1})); }
  void SetTextColor(TColor color) { Record(24, Dwords({static_cast<int32_t>(color)})); }
  void SetBkColor(TColor color) { Record(25, Dwords({static_cast<int32_t>(color)})); }
  void SetBkMode(int mode) { Record(18, Dwords({mode})); }

private:
  static TBytes Dwords(std::initializer_list<int32_t> values) {
    TBytes p;
    for (int32_t v : values) p.I32(v);
    return p;
  }
  void Record(uint32_t type, const TBytes& params) {
    TBytes r;
    r.U32(type);
    r.U32(static_cast<uint32_t>(8 + (params.Size() + 3) / 4 * 4));
    r.Append(params.Data);
    r.PadTo(4);
    Body.append(r.Data);
    ++Records;
  }
  // Shape boxes are stored with their right and bottom edges inclusive.
  static void Box(TBytes& p, const TRect& r) {
    p.I32(r.Left);
    p.I32(r.Top);
    p.I32(r.Right - 1);
    p.I32(r.Bottom - 1);
  }
  void FillBox(const TRect& rect, const TBrush& brush);
  void Play(const TMetaRecord& record);

  const TMetafile& Metafile;
  TObjectState<TEmfWriter> State;
  QByteArray Body;
  uint32_t Records = 0;
};

void TEmfWriter::FillBox(const TRect& rect, const TBrush& brush) {
  State.UsePen(TPen{brush.Color, TPenStyle::Solid, 1});
  State.UseBrush(brush);
  TBytes p;
  Box(p, rect);
  Record(43, p);
}

void TEmfWriter::Play(const TMetaRecord& record) {
  const TRect& r = record.Rect;
  switch (record.Op) {
    case TMetaOp::FillRect:
      FillBox(r, record.Brush);
      break;
    case TMetaOp::Ellipse:
    case TMetaOp::Rectangle: {
      State.UsePen(record.Pen);
      State.UseBrush(record.Brush);
      TBytes p;
      Box(p, r);
      Record(record.Op == TMetaOp::Ellipse ? 42 : 43, p);
      break;
    }
    case TMetaOp::Pie: {
      State.UsePen(record.Pen);
      State.UseBrush(record.Brush);
      TBytes p;
      Box(p, r);
      p.I32(record.From.x());
      p.I32(record.From.y());
      p.I32(record.To.x());
      p.I32(record.To.y());
      Record(47, p);
      break;
    }
    case TMetaOp::MoveTo:
      Record(27, Dwords({record.To.x(), record.To.y()}));
      break;
    case TMetaOp::LineTo:
      State.UsePen(record.Pen);
      Record(54, Dwords({record.To.x(), record.To.y()}));
      break;
    case TMetaOp::Text: {
      State.UseFont(record.Font);
      State.UseTextState(record.Font, record.Brush);
      const QFontMetrics metrics(record.Font.ToQFont());
      const std::vector<int> advances = Advances(record.Font, record.Text, true);
      const auto chars = static_cast<uint32_t>(record.Text.size());
      const uint32_t offString = 76;
      const uint32_t stringBytes = (chars * 2 + 3) / 4 * 4;
      TBytes p;
      p.I32(record.From.x());
      p.I32(record.From.y());
      p.I32(record.From.x() + metrics.horizontalAdvance(record.Text));
      p.I32(record.From.y() + metrics.height());
      p.U32(1);                    // compatible graphics mode
      p.F32(2540.0f / 96.0f);      // hundredths of a millimetre per unit
      p.F32(2540.0f / 96.0f);
      p.I32(record.From.x());
      p.I32(record.From.y());
      p.U32(chars);
      p.U32(offString);
      p.U32(record.Clipped ? EtoClipped : 0);
      if (record.Clipped) {
        p.I32(r.Left);
        p.I32(r.Top);
        p.I32(r.Right);
        p.I32(r.Bottom);
      } else {
        for (int i = 0; i < 4; ++i) p.I32(0);
      }
      p.U32(offString + stringBytes);
      for (QChar c : record.Text) p.U16(c.unicode());
      p.PadTo(4);
      for (int advance : advances) p.I32(advance);
      Record(84, p);
      break;
    }
    case TMetaOp::Raster: {
      if (record.Mode == TCopyMode::Blackness) {
        FillBox(r, TBrush{clBlack, TBrushStyle::Solid});
        break;
      }
      TBytes dib;
      qsizetype headerSize = 0;
      qsizetype bitsSize = 0;
      AppendDib(dib, record.Pixels, &headerSize, &bitsSize);
      TBytes p;
      Box(p, r);
      p.I32(r.Left);
      p.I32(r.Top);
      p.I32(0);
      p.I32(0);
      p.I32(record.Pixels.width());
      p.I32(record.Pixels.height());
      p.U32(80);
      p.U32(static_cast<uint32_t>(headerSize));
      p.U32(static_cast<uint32_t>(80 + headerSize));
      p.U32(static_cast<uint32_t>(bitsSize));
      p.U32(0);  // colours are RGB values
      p.U32(RasterOp(record.Mode));
      p.I32(r.Width());
      p.I32(r.Height());
      p.Append(dib.Data);
      Record(81, p);
      break;
    }
  }
}

QByteArray TEmfWriter::Write() {
  const int width = Metafile.Width();
  const int height = Metafile.Height();
  Record(33, TBytes());  // save the device state
  Record(18, Dwords({BkTransparent}));
  State.SetInitialBkMode(BkTransparent);
  Record(22, Dwords({0}));  // text aligned at its top-left corner
  for (const TMetaRecord& record : Metafile.Records()) Play(record);
  Record(34, Dwords({-1}));  // back to the saved state, which deselects our objects
  State.DeleteAll();
  TBytes eof;
  eof.U32(0);   // no palette
  eof.U32(16);  // where a palette would start
  eof.U32(20);  // size of this record, repeated at its end
  Record(14, eof);

  constexpr uint32_t HeaderSize = 108;
  // A reference device of 96 pixels per inch.
  constexpr int DevicePixels = 960;
  constexpr int DeviceMillimetres = 254;
  TBytes h;
  h.U32(1);
  h.U32(HeaderSize);
  h.I32(0);
  h.I32(0);
  h.I32(std::max(0, width - 1));
  h.I32(std::max(0, height - 1));
  h.I32(0);
  h.I32(0);
  h.I32(static_cast<int32_t>(static_cast<int64_t>(width) * 2540 / 96));
  h.I32(static_cast<int32_t>(static_cast<int64_t>(height) * 2540 / 96));
  h.U32(0x464D4520);  // " EMF"
  h.U32(0x00010000);
  h.U32(static_cast<uint32_t>(HeaderSize + Body.size()));
  h.U32(Records + 1);
  h.U16(static_cast<unsigned>(State.TableSize() + 1));
  h.U16(0);
  h.U32(0);  // no description
  h.U32(0);
  h.U32(0);  // no palette
  h.I32(DevicePixels);
  h.I32(DevicePixels);
  h.I32(DeviceMillimetres);
  h.I32(DeviceMillimetres);
  h.U32(0);  // no pixel format
  h.U32(0);
  h.U32(0);  // no OpenGL records
  h.I32(DeviceMillimetres * 1000);
  h.I32(DeviceMillimetres * 1000);
  return h.Data + Body;
}

}  // namespace

QByteArray TMetafile::ToWmf() const { return TWmfWriter(*this).Write(); }

QByteArray TMetafile::ToEmf() const { return TEmfWriter(*this).Write(); }

bool TMetafile::SaveToFile(const QString& fileName, TMetafileFormat format, QString* error) const {
  QSaveFile file(fileName);
  const QByteArray data = format == TMetafileFormat::Emf ? ToEmf() : ToWmf();
  if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

TMetaRecord TMetafileCanvas::Record(TMetaOp op) const {
  TMetaRecord record;
  record.Op = op;
  record.Pen = Pen;
  record.Brush = Brush;
  record.Font = Font;
  record.Mode = CopyMode;
  return record;
}

void TMetafileCanvas::FillRect(const TRect& rect) {
  if (Brush.Style != TBrushStyle::Solid || rect.Width() <= 0 || rect.Height() <= 0) return;
  TMetaRecord record = Record(TMetaOp::FillRect);
  record.Rect = rect;
  metafile_.Add(std::move(record));
}

void TMetafileCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  TMetaRecord record = Record(TMetaOp::Ellipse);
  record.Rect = TRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  metafile_.Add(std::move(record));
}

void TMetafileCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  TMetaRecord record = Record(TMetaOp::Pie);
  record.Rect = TRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  record.From = QPoint(x3, y3);
  record.To = QPoint(x4, y4);
  metafile_.Add(std::move(record));
}

void TMetafileCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  TMetaRecord record = Record(TMetaOp::Rectangle);
  record.Rect = TRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  metafile_.Add(std::move(record));
}

void TMetafileCanvas::MoveTo(int x, int y) {
  TCanvas::MoveTo(x, y);
  TMetaRecord record = Record(TMetaOp::MoveTo);
  record.To = QPoint(x, y);
  metafile_.Add(std::move(record));
}

void TMetafileCanvas::LineTo(int x, int y) {
  TMetaRecord record = Record(TMetaOp::LineTo);
  record.From = penPos_;
  record.To = QPoint(x, y);
  penPos_ = QPoint(x, y);
  metafile_.Add(std::move(record));
}

void TMetafileCanvas::TextOut(int x, int y, const QString& text) {
  TMetaRecord record = Record(TMetaOp::Text);
  record.From = QPoint(x, y);
  record.Text = text;
  metafile_.Add(std::move(record));
}

void TMetafileCanvas::TextRect(const TRect& clip, int x, int y, const QString& text) {
  TMetaRecord record = Record(TMetaOp::Text);
  record.Rect = clip;
  record.Clipped = true;
  record.From = QPoint(x, y);
  record.Text = text;
  metafile_.Add(std::move(record));
}

void TMetafileCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) {
  if (dest.Width() <= 0 || dest.Height() <= 0) return;
  TMetaRecord record = Record(TMetaOp::Raster);
  record.Rect = dest;
  if (CopyMode != TCopyMode::Blackness) {
    std::optional<QImage> pixels = source.ReadPixels(sourceRect);
    if (!pixels || pixels->isNull()) return;
    record.Pixels = std::move(*pixels);
  }
  metafile_.Add(std::move(record));
}

void TMetafileCanvas::Draw(int x, int y, const TBitmap& picture) {
  if (picture.Image().isNull()) return;
  TMetaRecord record = Record(TMetaOp::Raster);
  record.Rect = TRect{x, y, x + picture.Width(), y + picture.Height()};
  if (CopyMode != TCopyMode::Blackness) record.Pixels = picture.Image();
  metafile_.Add(std::move(record));
}
