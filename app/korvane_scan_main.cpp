// korvane-scan HOSTFOLDER: scans one folder as a drive, without a window, and prints what the
// folder tree holds for it as "key: value" lines.

#include "app/InfoOptions.h"
#include "app/TreemapOption.h"
#include "app/scan/HistoryCli.h"
#include "app/ScanFileOptions.h"
#include "platform/DriveTable.h"
#include "platform/UserPath.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "scan/PseudoFs.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

constexpr int LargestShown = 10;

const char UsageText[] =
    "usage: korvane-scan [--largest N] [--types] [--] HOSTFOLDER\n"
    "Scans HOSTFOLDER as a drive and prints its totals, the wasted space at every\n"
    "cluster size and its ten largest subfolders.\n"
    "\n"
    "  -h, --help     show this text\n"
    "  --version      show the version\n"
    KORVANE_SCAN_FILE_OPTIONS_USAGE;

void Usage(FILE* out) {
  std::fputs(UsageText, out);
  std::fputs(HistoryUsageText, out);
  std::fputs(TreemapUsageText, out);
}

int64_t CurrentRssBytes() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long pages = 0, resident = 0;
  const int got = std::fscanf(f, "%ld %ld", &pages, &resident);
  std::fclose(f);
  return got == 2 ? static_cast<int64_t>(resident) * ::sysconf(_SC_PAGESIZE) : 0;
}

int64_t PeakRssBytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<int64_t>(usage.ru_maxrss) * 1024;
}

void Print(const char* key, const QString& value) { std::printf("%s: %s\n", key, value.toUtf8().constData()); }
void Print(const char* key, int64_t value) { std::printf("%s: %" PRId64 "\n", key, value); }

// The letter of a drive already rooted at folder, else the first free one from Z down.
char LetterFor(const QByteArray& folder) {
  const TDriveTable& table = TDriveTable::Instance();
  for (const TDriveMapping& m : table.Mappings())
    if (m.HostRoot == folder) return m.Letter;
  for (char c = 'Z'; c >= 'C'; --c)
    if (!table.Find(QLatin1Char(c))) return c;
  return 'Z';
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> answered =
          AnswerInfoOption(argc, argv, "korvane-scan",
                           (std::string(UsageText) + HistoryUsageText + TreemapUsageText).c_str()))
    return *answered;
  THistoryRequest history;
  if (const std::optional<int> done = RunHistoryOptions(argc, argv, history)) return *done;
  TScanFileOptions fileOptions;
  if (QString error; !TakeScanFileOptions(argc, argv, fileOptions, &error)) {
    std::fprintf(stderr, "korvane-scan: %s\n", error.toUtf8().constData());
    Usage(stderr);
    return 2;
  }
  TTreemapRequest treemap;
  if (const std::optional<int> bad = TakeTreemapOptions(argc, argv, treemap)) return *bad;
  // "--" ends the options: the folder after it may begin with "-".
  const bool endOfOptions = argc >= 2 && std::strcmp(argv[1], "--") == 0;
  const int first = endOfOptions ? 2 : 1;
  if (argc != first + 1 || argv[first][0] == '\0' || (!endOfOptions && argv[first][0] == '-')) {
    if (!endOfOptions && argc >= 2 && argv[1][0] == '-') std::fprintf(stderr, "korvane-scan: unknown option %s\n", argv[1]);
    Usage(stderr);
    return 2;
  }

  // The argument's bytes as they are: a name that is not UTF-8 is scanned all the same.
  const QByteArray given(argv[first]);
  QString error;
  const std::optional<QByteArray> cleaned = CleanGivenHostPath(given, QByteArray(), &error);
  if (!cleaned) {
    std::fprintf(stderr, "korvane-scan: %s: %s\n", given.constData(), HostPathBytes(error).constData());
    return 1;
  }
  const QByteArray folder = *cleaned;
  struct stat st {};
  if (::stat(folder.constData(), &st) != 0) {
    std::fprintf(stderr, "korvane-scan: %s: %s\n", given.constData(), std::strerror(errno));
    return 1;
  }
  if (!S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "korvane-scan: %s: not a folder\n", given.constData());
    return 1;
  }
  if (const QString refusal = PseudoFileSystemRefusal(folder); !refusal.isEmpty()) {
    std::fprintf(stderr, "korvane-scan: %s\n", refusal.toUtf8().constData());
    return 1;
  }

  if (const std::optional<int> bad = CheckTreemapTarget(treemap)) return *bad;

  // Map a drive to the folder, as KORVANE_DRIVES would.
  TDriveTable& table = TDriveTable::Instance();
  const char letter = LetterFor(folder);
  std::vector<TDriveMapping> mappings = table.Mappings();
  mappings.erase(std::remove_if(mappings.begin(), mappings.end(), [&](const TDriveMapping& m) { return m.Letter == letter; }),
                 mappings.end());
  mappings.push_back({letter, folder});
  table.SetMappings(std::move(mappings));

  const QString root = QLatin1Char(letter) + QStringLiteral(":\\");
  const int64_t startRss = CurrentRssBytes();
  THeadlessHost host;
  TScanSession session(host);
  QElapsedTimer timer;
  timer.start();
  session.ScanDrive(QLatin1Char(letter) + DriveDisplayName(root));
  const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  const TDriveRecInfo* drive = session.Drive(QLatin1Char(letter));

  const TFolderSize* rec = drive && drive->Node ? drive->Node->Data() : nullptr;
  if (!rec) {
    std::fprintf(stderr, "korvane-scan: the scan of %s did not complete\n", given.constData());
    return 1;
  }
  Print("path", NodePath(drive->Node));
  std::printf("host-path: %s\n", folder.constData());
  Print("file-system", FileSystemName(root));
  Print("cluster-size", drive->ClusterSize);
  Print("folders", rec->TotalFolders);
  Print("files", rec->TotalFiles);
  Print("bytes", rec->TotalSize);
  Print("on-disk", rec->TotalOnDisk);
  Print("wasted", rec->TotalWasted);
  for (int i = 1; i <= StandardClusterCount; ++i)
    std::printf("wasted-%d: %" PRId64 "\n", StandardClusterSizes[i], rec->TotalWastedAt[i]);
  Print("latest-access", static_cast<int64_t>(rec->LastAccess));
  Print("latest-change", static_cast<int64_t>(rec->LastChange));
  std::printf("attributes: 0x%X\n", rec->Attributes);
  // Folders that could not be read count as empty; each is named on stderr, as du does.
  Print("unreadable-folders", static_cast<int64_t>(session.Scanner().UnreadableFolders()));
  for (const QString& path : session.Scanner().UnreadablePaths()) {
    const std::optional<QByteArray> hostPath = DriveToHost(path);
    std::fprintf(stderr, "korvane-scan: cannot read folder %s\n",
                 hostPath ? hostPath->constData() : path.toUtf8().constData());
  }
  std::printf("seconds: %.3f\n", seconds);
  Print("start-rss-bytes", startRss);
  Print("peak-rss-bytes", PeakRssBytes());

  std::vector<TTreeNode*> children;
  for (int i = 0; i < drive->Node->Count(); ++i) children.push_back(drive->Node->Child(i));
  auto size = [](const TTreeNode* n) { return n->Data() ? n->Data()->TotalSize : -1; };
  std::stable_sort(children.begin(), children.end(),
                   [&](const TTreeNode* a, const TTreeNode* b) { return size(a) > size(b); });
  for (size_t i = 0; i < children.size() && i < LargestShown; ++i)
    std::printf("largest: %" PRId64 " %s\n", size(children[i]), NodePath(children[i]).toUtf8().constData());
  if (fileOptions.Wanted() && !PrintScanFiles(root, fileOptions, session.Scanner().UnreadablePaths())) return 1;
  if (treemap.Wanted())
    if (const int written = WriteTreemapRequest(treemap, *drive->Node); written != 0) return written;
  if (history.Save) return SaveScanSnapshot(history, drive->Node, NodePath(drive->Node), QFile::decodeName(folder), drive->ClusterSize);
  return 0;
}
