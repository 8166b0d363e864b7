#include "app/TreemapOption.h"

#include "charts/TreemapExport.h"
#include "charts/TreemapFiles.h"
#include "config/AtomicFile.h"

#include <QFile>
#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

// The largest side and picture korvane-scan draws: beyond this a picture is no use to anyone
// and its memory (4 bytes a pixel) becomes a danger.
constexpr int MaxSide = 30000;
constexpr int64_t MaxPixels = 100'000'000;

std::optional<QSize> ParseSize(const char* text) {
  const QByteArray s(text);
  const qsizetype x = s.indexOf('x');
  if (x <= 0 || x == s.size() - 1) return std::nullopt;
  bool okW = false, okH = false;
  const int w = s.left(x).toInt(&okW);
  const int h = s.mid(x + 1).toInt(&okH);
  if (!okW || !okH || s.left(x).startsWith('+') || s.mid(x + 1).startsWith('+')) return std::nullopt;
  if (w < 1 || h < 1 || w > MaxSide || h > MaxSide || static_cast<int64_t>(w) * h > MaxPixels) return std::nullopt;
  return QSize(w, h);
}

}  // namespace

const char TreemapUsageText[] =
    "\n"
    "Treemap:\n"
    "  korvane-scan --treemap OUTFILE [--size WIDTHxHEIGHT] HOSTFOLDER\n"
    "the usual scan, then the treemap of HOSTFOLDER written to OUTFILE, a PNG or SVG picture by\n"
    "its extension, WIDTHxHEIGHT pixels (default 1600x1000).\n";

std::optional<int> TakeTreemapOptions(int& argc, char** argv, TTreemapRequest& request) {
  int out = 1;
  bool sizeGiven = false;
  int i = 1;
  for (; i < argc; ++i) {
    const char* arg = argv[i];
    const bool treemap = std::strcmp(arg, "--treemap") == 0;
    const bool size = std::strcmp(arg, "--size") == 0;
    if (!treemap && !size) break;
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
      std::fprintf(stderr, "korvane-scan: %s needs a value\n", arg);
      return 2;
    }
    const char* value = argv[++i];
    if (treemap) {
      request.OutFile = value;
      // Relative to the folder the program was started in, whatever the scan does meanwhile.
      char cwd[4096];
      if (!request.OutFile.startsWith('/') && ::getcwd(cwd, sizeof cwd))
        request.OutFile = QByteArray(cwd) + '/' + request.OutFile;
      if (TreemapFormatOf(QFile::decodeName(request.OutFile)) == TTreemapFormat::Unknown) {
        std::fprintf(stderr, "korvane-scan: %s: the treemap is written as .png or .svg\n", value);
        return 2;
      }
    } else {
      const std::optional<QSize> parsed = ParseSize(value);
      if (!parsed) {
        std::fprintf(stderr, "korvane-scan: bad size %s (WIDTHxHEIGHT, 1 to %d pixels a side)\n", value, MaxSide);
        return 2;
      }
      request.Size = *parsed;
      sizeGiven = true;
    }
  }
  if (sizeGiven && !request.Wanted()) {
    std::fputs("korvane-scan: --size goes with --treemap\n", stderr);
    return 2;
  }
  for (; i < argc; ++i) argv[out++] = argv[i];
  argv[out] = nullptr;
  argc = out;
  return std::nullopt;
}

std::optional<int> CheckTreemapTarget(const TTreemapRequest& request) {
  if (!request.Wanted()) return std::nullopt;
  const QByteArray folder = FolderOf(request.OutFile);
  if (::access(folder.constData(), W_OK | X_OK) != 0) {
    std::fprintf(stderr, "korvane-scan: cannot write %s: %s\n", request.OutFile.constData(), std::strerror(errno));
    return 1;
  }
  return std::nullopt;
}

int WriteTreemapRequest(const TTreemapRequest& request, TTreeNode& node) {
  // Names are measured and drawn with the fonts of the offscreen platform: no display is needed.
  static int appArgc = 3;
  static char arg0[] = "korvane-scan";
  static char arg1[] = "-platform";
  static char arg2[] = "offscreen";
  static char* appArgv[] = {arg0, arg1, arg2, nullptr};
  std::unique_ptr<QGuiApplication> app;
  if (!QGuiApplication::instance()) app = std::make_unique<QGuiApplication>(appArgc, appArgv);

  // The files of a folder get tiles of their own where there is room, as on the page (each
  // folder is read once: nothing to keep).
  TTreemapFileReader files(0);
  TTreemapSettings settings;
  settings.FileSource = &files;
  const TTreemapPicture picture = MakeTreemapPicture(node, request.Size, settings);
  TDepthColoring coloring;
  QString error;
  if (!ExportTreemapToFile(picture, QFile::decodeName(request.OutFile), coloring, &error)) {
    std::fprintf(stderr, "korvane-scan: cannot write %s: %s\n", request.OutFile.constData(), error.toUtf8().constData());
    return 1;
  }
  std::printf("treemap: %s\n", request.OutFile.constData());
  std::printf("treemap-tiles: %zu\n", picture.Map.Tiles.size());
  return 0;
}
