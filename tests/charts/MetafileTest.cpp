// The metafile writers: the files are read back with a small reader that follows the object table
// as a player does, so that the headers, the record sequence, the objects in force at each drawing
// record and their lifetimes are checked; a written pie is also converted by libwmf's wmf2svg.
#include "charts/BitmapCanvas.h"
#include "charts/HPieChart.h"
#include "charts/Metafile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

namespace {

constexpr TColor Red = RgbToColor(255, 0, 0);
constexpr TColor Green = RgbToColor(0, 255, 0);
constexpr TColor Blue = RgbToColor(0, 0, 255);
constexpr TColor Yellow = RgbToColor(255, 255, 0);
constexpr TColor Aqua = RgbToColor(0, 255, 255);

uint32_t U16(const QByteArray& d, qsizetype at) {
  return static_cast<uint8_t>(d[at]) | static_cast<uint32_t>(static_cast<uint8_t>(d[at + 1])) << 8;
}
int I16(const QByteArray& d, qsizetype at) { return static_cast<int16_t>(U16(d, at)); }
uint32_t U32(const QByteArray& d, qsizetype at) { return U16(d, at) | U16(d, at + 2) << 16; }
int32_t I32(const QByteArray& d, qsizetype at) { return static_cast<int32_t>(U32(d, at)); }

enum class Kind { Pen, Brush, Font };

struct GdiObject {
  Kind ObjectKind;
  uint32_t Style = 0;  // pen or brush style
  uint32_t Color = 0;
  int Height = 0;  // font
  QString Face;
};

// What was in force when a drawing record was played.
struct Drawn {
  uint32_t Function = 0;
  QByteArray Params;
  std::optional<GdiObject> Pen;
  std::optional<GdiObject> Brush;
  std::optional<GdiObject> Font;
  uint32_t TextColor = 0;
  int BkMode = 0;
};

// The object table of a player: objects take the lowest free entry; selecting needs a live object;
// deleting needs a live object that is not selected; whatever is alive at the end leaked.
class ObjectTable {
public:
  explicit ObjectTable(int firstIndex) : First(firstIndex) {}

  void Create(const GdiObject& object) {
    size_t slot = 0;
    while (slot < Objects.size() && Objects[slot]) ++slot;
    if (slot == Objects.size()) Objects.emplace_back();
    Objects[slot] = object;
    MaxIndex = std::max(MaxIndex, static_cast<int>(slot) + First);
  }
  void Select(int index) {
    const auto* object = Find(index);
    if (!object) {
      Errors.push_back("select of a dead object " + std::to_string(index));
      return;
    }
    Selected[object->ObjectKind] = index;
  }
  void Delete(int index) {
    const auto* object = Find(index);
    if (!object) {
      Errors.push_back("delete of a dead object " + std::to_string(index));
      return;
    }
    const auto selected = Selected.find(object->ObjectKind);
    if (selected != Selected.end() && selected->second == index)
      Errors.push_back("delete of a selected object " + std::to_string(index));
    Objects[static_cast<size_t>(index - First)].reset();
  }
  void Save() { Saved.push_back(Selected); }
  void Restore() {
    if (Saved.empty()) {
      Errors.push_back("restore without save");
      return;
    }
    Selected = Saved.back();
    Saved.pop_back();
  }
  std::optional<GdiObject> Current(Kind kind) const {
    const auto selected = Selected.find(kind);
    if (selected == Selected.end()) return std::nullopt;
    const auto* object = Find(selected->second);
    return object ? std::optional<GdiObject>(*object) : std::nullopt;
  }
  int Alive() const {
    int n = 0;
    for (const auto& o : Objects) n += o.has_value();
    return n;
  }

  int MaxIndex = -1;
  std::vector<std::string> Errors;

private:
  const GdiObject* Find(int index) const {
    const int slot = index - First;
    if (slot < 0 || slot >= static_cast<int>(Objects.size()) || !Objects[static_cast<size_t>(slot)])
      return nullptr;
    return &*Objects[static_cast<size_t>(slot)];
  }

  int First;
  std::vector<std::optional<GdiObject>> Objects;
  std::map<Kind, int> Selected;
  std::vector<std::map<Kind, int>> Saved;
};

// ---- Windows metafile reader ----

struct WmfFile {
  uint32_t Key = 0;
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  uint32_t Inch = 0;
  uint32_t Checksum = 0;
  uint32_t ComputedChecksum = 0;
  uint32_t Type = 0, HeaderWords = 0, Version = 0, SizeWords = 0, Objects = 0, MaxRecord = 0;
  std::vector<uint32_t> Functions;
  std::vector<Drawn> Drawing;
  uint32_t LargestRecord = 0;
  bool EndsWithEof = false;
  qsizetype FileBytes = 0;
  ObjectTable Table{0};
};

WmfFile ReadWmf(const QByteArray& d) {
  WmfFile f;
  f.FileBytes = d.size();
  f.Key = U32(d, 0);
  f.Left = I16(d, 6);
  f.Top = I16(d, 8);
  f.Right = I16(d, 10);
  f.Bottom = I16(d, 12);
  f.Inch = U16(d, 14);
  f.Checksum = U16(d, 20);
  for (int i = 0; i < 20; i += 2) f.ComputedChecksum ^= U16(d, i);
  const qsizetype h = 22;
  f.Type = U16(d, h);
  f.HeaderWords = U16(d, h + 2);
  f.Version = U16(d, h + 4);
  f.SizeWords = U32(d, h + 6);
  f.Objects = U16(d, h + 10);
  f.MaxRecord = U32(d, h + 12);
  uint32_t textColor = 0;
  int bkMode = 0;
  for (qsizetype at = h + 18; at + 6 <= d.size();) {
    const uint32_t words = U32(d, at);
    const uint32_t function = U16(d, at + 4);
    if (words < 3 || at + words * 2 > d.size()) break;
    const QByteArray p = d.mid(at + 6, words * 2 - 6);
    f.Functions.push_back(function);
    f.LargestRecord = std::max(f.LargestRecord, words);
    switch (function) {
      case 0x02FA:
        f.Table.Create({Kind::Pen, U16(p, 0), U32(p, 6), 0, {}});
        break;
      case 0x02FC:
        f.Table.Create({Kind::Brush, U16(p, 0), U32(p, 2), 0, {}});
        break;
      case 0x02FB:
        f.Table.Create({Kind::Font, 0, 0, I16(p, 0), QString::fromLatin1(p.mid(18).constData())});
        break;
      case 0x012D:
        f.Table.Select(I16(p, 0));
        break;
      case 0x01F0:
        f.Table.Delete(I16(p, 0));
        break;
      case 0x001E:
        f.Table.Save();
        break;
      case 0x0127:
        f.Table.Restore();
        break;
      case 0x0209:
        textColor = U32(p, 0);
        break;
      case 0x0102:
        bkMode = I16(p, 0);
        break;
      case 0x041B:
      case 0x0418:
      case 0x081A:
      case 0x0214:
      case 0x0213:
      case 0x0A32:
      case 0x0F43:
        f.Drawing.push_back({function, p, f.Table.Current(Kind::Pen), f.Table.Current(Kind::Brush),
                             f.Table.Current(Kind::Font), textColor, bkMode});
        break;
      default:
        break;
    }
    at += words * 2;
    if (function == 0 && words == 3) f.EndsWithEof = at == d.size();
  }
  return f;
}

// ---- Enhanced metafile reader ----

struct EmfFile {
  uint32_t Type = 0, HeaderSize = 0, Signature = 0, Version = 0, Bytes = 0, Records = 0;
  uint32_t Handles = 0;
  int32_t Bounds[4] = {};
  int32_t Frame[4] = {};
  std::vector<uint32_t> Types;
  std::vector<Drawn> Drawing;
  bool EndsWithEof = false;
  uint32_t EofSizeLast = 0;
  qsizetype FileBytes = 0;
  ObjectTable Table{1};
};

EmfFile ReadEmf(const QByteArray& d) {
  EmfFile f;
  f.FileBytes = d.size();
  f.Type = U32(d, 0);
  f.HeaderSize = U32(d, 4);
  for (int i = 0; i < 4; ++i) {
    f.Bounds[i] = I32(d, 8 + 4 * i);
    f.Frame[i] = I32(d, 24 + 4 * i);
  }
  f.Signature = U32(d, 40);
  f.Version = U32(d, 44);
  f.Bytes = U32(d, 48);
  f.Records = U32(d, 52);
  f.Handles = U16(d, 56);
  uint32_t textColor = 0;
  int bkMode = 0;
  f.Types.push_back(f.Type);
  for (qsizetype at = f.HeaderSize; at + 8 <= d.size();) {
    const uint32_t type = U32(d, at);
    const uint32_t size = U32(d, at + 4);
    if (size < 8 || size % 4 != 0 || at + size > d.size()) break;
    const QByteArray p = d.mid(at + 8, size - 8);
    f.Types.push_back(type);
    switch (type) {
      case 38:
        f.Table.Create({Kind::Pen, U32(p, 4), U32(p, 16), 0, {}});
        break;
      case 39:
        f.Table.Create({Kind::Brush, U32(p, 4), U32(p, 8), 0, {}});
        break;
      case 82: {
        QString face;
        for (int i = 0; i < 32 && U16(p, 32 + 2 * i) != 0; ++i)
          face.append(QChar(static_cast<char16_t>(U16(p, 32 + 2 * i))));
        f.Table.Create({Kind::Font, 0, 0, I32(p, 4), face});
        break;
      }
      case 37:
        f.Table.Select(I32(p, 0));
        break;
      case 40:
        f.Table.Delete(I32(p, 0));
        break;
      case 33:
        f.Table.Save();
        break;
      case 34:
        f.Table.Restore();
        break;
      case 24:
        textColor = U32(p, 0);
        break;
      case 18:
        bkMode = I32(p, 0);
        break;
      case 42:
      case 43:
      case 47:
      case 27:
      case 54:
      case 84:
      case 81:
        f.Drawing.push_back({type, p, f.Table.Current(Kind::Pen), f.Table.Current(Kind::Brush),
                             f.Table.Current(Kind::Font), textColor, bkMode});
        break;
      default:
        break;
    }
    at += size;
    if (type == 14) {
      f.EndsWithEof = at == d.size();
      f.EofSizeLast = U32(p, 8);
    }
  }
  return f;
}

std::vector<int> Shorts(const QByteArray& p, int count) {
  std::vector<int> v;
  for (int i = 0; i < count; ++i) v.push_back(I16(p, 2 * i));
  return v;
}

std::vector<int> Longs(const QByteArray& p, int offset, int count) {
  std::vector<int> v;
  for (int i = 0; i < count; ++i) v.push_back(I32(p, offset + 4 * i));
  return v;
}

// The same drawing for both formats: every operation the pie engine and the gauge use.
struct Sample {
  TMetafile Metafile{200, 100};
  TBitmap Source{4, 2};
  int TextWidth = 0;

  Sample() {
    Source.Canvas().Brush = TBrush{RgbToColor(10, 20, 30), TBrushStyle::Solid};
    Source.Canvas().FillRect(TRect{0, 0, 1, 2});
    TMetafileCanvas canvas(Metafile);
    canvas.Brush = TBrush{Red, TBrushStyle::Solid};
    canvas.FillRect(TRect{0, 0, 200, 100});
    canvas.Pen = TPen{Blue, TPenStyle::Solid, 1};
    canvas.Brush = TBrush{Green, TBrushStyle::Solid};
    canvas.Ellipse(10, 10, 90, 40);
    canvas.Pen.Color = Yellow;
    canvas.Brush.Color = Yellow;
    canvas.Pie(10, 10, 90, 40, 90, 25, 50, 10);
    canvas.Pen.Color = clBlack;
    canvas.MoveTo(50, 25);
    canvas.LineTo(90, 25);
    canvas.Brush = TBrush{clInfoBk, TBrushStyle::Solid};
    canvas.Rectangle(5, 5, 30, 20);
    canvas.Font.Color = Red;
    canvas.Brush.Style = TBrushStyle::Clear;
    canvas.TextOut(7, 6, QString::fromUtf8("Größe €"));
    TextWidth = canvas.TextWidth(QString::fromUtf8("Größe €"));
    canvas.CopyRect(TRect{100, 50, 104, 52}, Source.Canvas(), TRect{0, 0, 4, 2});
    canvas.CopyMode = TCopyMode::Blackness;
    canvas.CopyRect(TRect{150, 0, 160, 10}, canvas, TRect{150, 0, 160, 10});
  }
};

// ---- Windows metafile ----

TEST(WmfWriter, PlaceableHeaderAndMetafileHeader) {
  Sample sample;
  const QByteArray data = sample.Metafile.ToWmf();
  const WmfFile f = ReadWmf(data);
  EXPECT_EQ(f.Key, 0x9AC6CDD7u);
  EXPECT_EQ(f.Left, 0);
  EXPECT_EQ(f.Top, 0);
  EXPECT_EQ(f.Right, 200);
  EXPECT_EQ(f.Bottom, 100);
  EXPECT_EQ(f.Inch, 96u);
  EXPECT_EQ(f.Checksum, f.ComputedChecksum);
  EXPECT_EQ(f.Type, 1u);
  EXPECT_EQ(f.HeaderWords, 9u);
  EXPECT_EQ(f.Version, 0x0300u);
  EXPECT_EQ(f.SizeWords * 2, static_cast<uint32_t>(data.size() - 22));
  EXPECT_EQ(f.MaxRecord, f.LargestRecord);
  EXPECT_GE(static_cast<int>(f.Objects), f.Table.MaxIndex + 1);
  EXPECT_TRUE(f.EndsWithEof);
  // Window origin and extent come first.
  ASSERT_GE(f.Functions.size(), 2u);
  EXPECT_EQ(f.Functions[0], 0x020Bu);
  EXPECT_EQ(f.Functions[1], 0x020Cu);
}

TEST(WmfWriter, ObjectsAreCreatedSelectedAndDeletedProperly) {
  Sample sample;
  const WmfFile f = ReadWmf(sample.Metafile.ToWmf());
  EXPECT_TRUE(f.Table.Errors.empty()) << f.Table.Errors.front();
  EXPECT_EQ(f.Table.Alive(), 0);
  // Objects are replaced, not piled up: a pen, a brush and a font at most, plus the new one.
  EXPECT_LE(f.Table.MaxIndex, 3);
}

TEST(WmfWriter, RecordsCarryTheCanvasState) {
  Sample sample;
  const WmfFile f = ReadWmf(sample.Metafile.ToWmf());
  std::vector<uint32_t> functions;
  for (const Drawn& d : f.Drawing) functions.push_back(d.Function);
  const std::vector<uint32_t> expected = {0x041B, 0x0418, 0x081A, 0x0214, 0x0213,
                                          0x041B, 0x0A32, 0x0F43, 0x041B};
  ASSERT_EQ(functions, expected);

  // The fill: a rectangle outlined in its own colour.
  const Drawn& fill = f.Drawing[0];
  EXPECT_EQ(fill.Pen->Style, 0u);
  EXPECT_EQ(fill.Pen->Color, Red);
  EXPECT_EQ(fill.Brush->Color, Red);
  EXPECT_EQ(Shorts(fill.Params, 4), (std::vector<int>{100, 200, 0, 0}));

  const Drawn& ellipse = f.Drawing[1];
  EXPECT_EQ(ellipse.Pen->Style, 0u);
  EXPECT_EQ(ellipse.Pen->Color, Blue);
  EXPECT_EQ(ellipse.Brush->Color, Green);
  EXPECT_EQ(Shorts(ellipse.Params, 4), (std::vector<int>{40, 90, 10, 10}));

  const Drawn& pie = f.Drawing[2];
  EXPECT_EQ(pie.Pen->Color, Yellow);
  EXPECT_EQ(pie.Brush->Color, Yellow);
  // End point, start point, then the box, each y before x and the box from the bottom.
  EXPECT_EQ(Shorts(pie.Params, 8), (std::vector<int>{10, 50, 25, 90, 40, 90, 10, 10}));

  EXPECT_EQ(Shorts(f.Drawing[3].Params, 2), (std::vector<int>{25, 50}));
  EXPECT_EQ(f.Drawing[4].Pen->Color, clBlack);
  EXPECT_EQ(Shorts(f.Drawing[4].Params, 2), (std::vector<int>{25, 90}));

  // System colours are resolved: the tooltip background.
  EXPECT_EQ(f.Drawing[5].Brush->Color, RgbToColor(255, 255, 225));

  const Drawn& text = f.Drawing[6];
  EXPECT_EQ(text.TextColor, Red);
  EXPECT_EQ(text.BkMode, 1);  // transparent under a clear brush
  EXPECT_EQ(text.Font->Face, QString::fromLatin1(DefaultFontName));
  EXPECT_EQ(text.Font->Height, -DefaultFontPixelSize);
  EXPECT_EQ(I16(text.Params, 0), 6);
  EXPECT_EQ(I16(text.Params, 2), 7);
  const int length = I16(text.Params, 4);
  ASSERT_EQ(length, 7);
  EXPECT_EQ(text.Params.mid(8, length), QByteArray("Gr\xF6\xDF" "e \x80"));
  int advances = 0;
  for (int i = 0; i < length; ++i) advances += I16(text.Params, 8 + 8 + 2 * i);
  EXPECT_EQ(advances, sample.TextWidth);

  const Drawn& copy = f.Drawing[7];
  EXPECT_EQ(U32(copy.Params, 0), 0x00CC0020u);
  EXPECT_EQ(Shorts(copy.Params.mid(6), 8), (std::vector<int>{2, 4, 0, 0, 2, 4, 50, 100}));
  const QByteArray dib = copy.Params.mid(22);
  EXPECT_EQ(U32(dib, 0), 40u);
  EXPECT_EQ(I32(dib, 4), 4);
  EXPECT_EQ(I32(dib, 8), 2);
  EXPECT_EQ(U16(dib, 14), 24u);
  // Bottom row first, blue-green-red: the source's first pixel.
  EXPECT_EQ(dib.mid(40, 3), QByteArray("\x1E\x14\x0A", 3));
  EXPECT_EQ(dib.mid(43, 3), QByteArray("\xFF\xFF\xFF", 3));

  const Drawn& black = f.Drawing[8];
  EXPECT_EQ(black.Brush->Color, clBlack);
  EXPECT_EQ(black.Pen->Color, clBlack);
  EXPECT_EQ(Shorts(black.Params, 4), (std::vector<int>{10, 160, 0, 150}));
}

TEST(WmfWriter, ClearPenAndBrushBecomeNullObjects) {
  TMetafile metafile(50, 50);
  TMetafileCanvas canvas(metafile);
  canvas.Pen.Style = TPenStyle::Clear;
  canvas.Brush.Style = TBrushStyle::Clear;
  canvas.Ellipse(0, 0, 50, 50);
  const WmfFile w = ReadWmf(metafile.ToWmf());
  ASSERT_EQ(w.Drawing.size(), 1u);
  EXPECT_EQ(w.Drawing[0].Pen->Style, 5u);
  EXPECT_EQ(w.Drawing[0].Brush->Style, 1u);
  const EmfFile e = ReadEmf(metafile.ToEmf());
  ASSERT_EQ(e.Drawing.size(), 1u);
  EXPECT_EQ(e.Drawing[0].Pen->Style, 5u);
  EXPECT_EQ(e.Drawing[0].Brush->Style, 1u);
}

TEST(WmfWriter, SavedFileOpensInLibwmf) {
  const QString converter = QStandardPaths::findExecutable("wmf2svg");
  if (converter.isEmpty()) GTEST_SKIP() << "wmf2svg (Debian package libwmf-bin) is not installed";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());

  TMetafile metafile(500, 300);
  TMetafileCanvas canvas(metafile);
  THPieChart chart(&canvas, 500, 300);
  chart.BeginUpdate();
  chart.SetColors(clWhite, clBlack, RgbToColor(192, 192, 192));
  chart.SetLabelColors(clInfoBk, clBlack, clBlack, clYellow, clBlack, clRed);
  chart.AddSection("Windows", Green, 150);
  chart.AddSection("Users", Aqua, 120);
  chart.AddSection("Temp", Yellow, 90);
  chart.HotIndex = 1;
  chart.EndUpdate();
  const QString wmf = dir.filePath("pie.wmf");
  QString error;
  ASSERT_TRUE(metafile.SaveToFile(wmf, TMetafileFormat::Wmf, &error)) << error.toStdString();

  QProcess process;
  process.start(converter, {"-o", dir.filePath("pie.svg"), wmf});
  ASSERT_TRUE(process.waitForFinished(30000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  QFile svgFile(dir.filePath("pie.svg"));
  ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
  const QString svg = QString::fromUtf8(svgFile.readAll());

  // The disk twice (filled, then its outline on top), one sector per section in its colour.
  EXPECT_GE(svg.count("<ellipse"), 2);
  EXPECT_EQ(svg.count("<path"), 3);
  for (const char* fill : {"fill:lime", "fill:aqua", "fill:yellow"}) EXPECT_TRUE(svg.contains(fill)) << fill;
  // The label texts, which libwmf writes a character at a time.
  QString text;
  const QRegularExpression glyph(">([^<>]*)</text>");
  for (auto it = glyph.globalMatch(svg); it.hasNext();) text += it.next().captured(1);
  for (const char* caption : {"Windows", "Users", "Temp"})
    EXPECT_TRUE(text.contains(caption)) << caption << " in " << text.toStdString();
}

TEST(WmfWriter, SaveReportsFailure) {
  TMetafile metafile(10, 10);
  QString error;
  EXPECT_FALSE(metafile.SaveToFile("/nonexistent-folder/pie.wmf", TMetafileFormat::Wmf, &error));
  EXPECT_FALSE(error.isEmpty());
}

// ---- Enhanced metafile ----

TEST(EmfWriter, HeaderDescribesTheFile) {
  Sample sample;
  const QByteArray data = sample.Metafile.ToEmf();
  const EmfFile f = ReadEmf(data);
  EXPECT_EQ(f.Type, 1u);
  EXPECT_EQ(f.Signature, 0x464D4520u);
  EXPECT_EQ(f.Version, 0x00010000u);
  EXPECT_EQ(f.Bytes, static_cast<uint32_t>(data.size()));
  EXPECT_EQ(f.Records, static_cast<uint32_t>(f.Types.size()));
  EXPECT_GE(static_cast<int>(f.Handles), f.Table.MaxIndex + 1);
  EXPECT_EQ(std::vector<int>(f.Bounds, f.Bounds + 4), (std::vector<int>{0, 0, 199, 99}));
  // Hundredths of a millimetre at 96 pixels per inch.
  EXPECT_EQ(f.Frame[2], 200 * 2540 / 96);
  EXPECT_EQ(f.Frame[3], 100 * 2540 / 96);
  EXPECT_TRUE(f.EndsWithEof);
  EXPECT_EQ(f.EofSizeLast, 20u);
}

TEST(EmfWriter, ObjectsAreCreatedSelectedAndDeletedProperly) {
  Sample sample;
  const EmfFile f = ReadEmf(sample.Metafile.ToEmf());
  EXPECT_TRUE(f.Table.Errors.empty()) << f.Table.Errors.front();
  EXPECT_EQ(f.Table.Alive(), 0);
  EXPECT_LE(f.Table.MaxIndex, 4);
}

TEST(EmfWriter, RecordsCarryTheCanvasState) {
  Sample sample;
  const EmfFile f = ReadEmf(sample.Metafile.ToEmf());
  std::vector<uint32_t> types;
  for (const Drawn& d : f.Drawing) types.push_back(d.Function);
  ASSERT_EQ(types, (std::vector<uint32_t>{43, 42, 47, 27, 54, 43, 84, 81, 43}));

  // Boxes keep their right and bottom edges inside.
  EXPECT_EQ(f.Drawing[0].Pen->Color, Red);
  EXPECT_EQ(f.Drawing[0].Brush->Color, Red);
  EXPECT_EQ(Longs(f.Drawing[0].Params, 0, 4), (std::vector<int>{0, 0, 199, 99}));
  EXPECT_EQ(f.Drawing[1].Pen->Color, Blue);
  EXPECT_EQ(f.Drawing[1].Brush->Color, Green);
  EXPECT_EQ(Longs(f.Drawing[1].Params, 0, 4), (std::vector<int>{10, 10, 89, 39}));
  EXPECT_EQ(f.Drawing[2].Brush->Color, Yellow);
  EXPECT_EQ(Longs(f.Drawing[2].Params, 0, 8), (std::vector<int>{10, 10, 89, 39, 90, 25, 50, 10}));
  EXPECT_EQ(Longs(f.Drawing[3].Params, 0, 2), (std::vector<int>{50, 25}));
  EXPECT_EQ(Longs(f.Drawing[4].Params, 0, 2), (std::vector<int>{90, 25}));
  EXPECT_EQ(f.Drawing[5].Brush->Color, RgbToColor(255, 255, 225));

  const Drawn& text = f.Drawing[6];
  EXPECT_EQ(text.TextColor, Red);
  EXPECT_EQ(text.BkMode, 1);
  EXPECT_EQ(text.Font->Face, QString::fromLatin1(DefaultFontName));
  EXPECT_EQ(text.Font->Height, -DefaultFontPixelSize);
  const QByteArray& p = text.Params;  // offsets below are from the record start, less 8
  EXPECT_EQ(Longs(p, 28, 2), (std::vector<int>{7, 6}));
  const uint32_t chars = U32(p, 36);
  const uint32_t offString = U32(p, 40);
  const uint32_t offDx = U32(p, 64);
  ASSERT_EQ(chars, 7u);
  QString decoded;
  for (uint32_t i = 0; i < chars; ++i) decoded.append(QChar(static_cast<char16_t>(U16(p, offString - 8 + 2 * i))));
  EXPECT_EQ(decoded, QString::fromUtf8("Größe €"));
  int advances = 0;
  for (uint32_t i = 0; i < chars; ++i) advances += I32(p, offDx - 8 + 4 * i);
  EXPECT_EQ(advances, sample.TextWidth);

  const Drawn& copy = f.Drawing[7];
  EXPECT_EQ(Longs(copy.Params, 16, 6), (std::vector<int>{100, 50, 0, 0, 4, 2}));
  EXPECT_EQ(U32(copy.Params, 60), 0x00CC0020u);
  EXPECT_EQ(Longs(copy.Params, 64, 2), (std::vector<int>{4, 2}));
  const QByteArray dib = copy.Params.mid(U32(copy.Params, 40) - 8);
  EXPECT_EQ(I32(dib, 4), 4);
  EXPECT_EQ(I32(dib, 8), 2);
  EXPECT_EQ(dib.mid(40, 3), QByteArray("\x1E\x14\x0A", 3));

  EXPECT_EQ(f.Drawing[8].Brush->Color, clBlack);
  EXPECT_EQ(Longs(f.Drawing[8].Params, 0, 4), (std::vector<int>{150, 0, 159, 9}));
}

TEST(EmfWriter, TextOutsideLatin1KeepsItsCharacters) {
  TMetafile metafile(100, 20);
  TMetafileCanvas canvas(metafile);
  canvas.TextRect(TRect{0, 0, 50, 20}, 1, 2, QString::fromUtf8("日本 \xF0\x9F\x98\x80"));
  const EmfFile f = ReadEmf(metafile.ToEmf());
  ASSERT_EQ(f.Drawing.size(), 1u);
  const QByteArray& p = f.Drawing[0].Params;
  EXPECT_EQ(U32(p, 44) & 0x4u, 0x4u);  // clipped
  EXPECT_EQ(Longs(p, 48, 4), (std::vector<int>{0, 0, 50, 20}));
  const uint32_t chars = U32(p, 36);
  QString decoded;
  for (uint32_t i = 0; i < chars; ++i) decoded.append(QChar(static_cast<char16_t>(U16(p, U32(p, 40) - 8 + 2 * i))));
  EXPECT_EQ(decoded, QString::fromUtf8("日本 \xF0\x9F\x98\x80"));

  // The 16-bit format has one byte per character: what Windows-1252 cannot hold becomes "?".
  const WmfFile w = ReadWmf(metafile.ToWmf());
  ASSERT_EQ(w.Drawing.size(), 1u);
  EXPECT_EQ(I16(w.Drawing[0].Params, 4), 4);
  EXPECT_EQ(w.Drawing[0].Params.mid(16, 4), QByteArray("?? ?"));
}

}  // namespace
