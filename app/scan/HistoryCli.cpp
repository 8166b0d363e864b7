#include "app/scan/HistoryCli.h"

#include "history/HistoryStore.h"
#include "history/NcduDrive.h"
#include "history/NcduWriter.h"
#include "history/Snapshot.h"
#include "history/SnapshotCompare.h"
#include "history/StoreLocation.h"
#include "platform/DriveTable.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "scan/PseudoFs.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"

#include <QFile>
#include <QStringDecoder>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

const char HistoryUsageText[] =
    "\n"
    "Scan history and ncdu export:\n"
    "  korvane-scan --save [--store URL] HOSTFOLDER\n"
    "  korvane-scan --history [--store URL] [HOSTFOLDER]\n"
    "  korvane-scan --compare ID [ID2 | HOSTFOLDER] [--store URL]\n"
    "  korvane-scan --export-ncdu FILE HOSTFOLDER\n"
    "--save adds the scan to the history as a snapshot and prints its id; --history lists the\n"
    "snapshots (of HOSTFOLDER on this machine), newest first; --compare shows what changed from\n"
    "snapshot ID to ID2, to a new scan of HOSTFOLDER, to an ncdu export FILE.json, or to a new\n"
    "scan of the snapshot's folder.\n"
    "The history is $XDG_DATA_HOME/korvane/history.sqlite unless --store or KORVANE_HISTORY\n"
    "names another file or a PostgreSQL database (postgresql://user@host/dbname; the password\n"
    "comes from ~/.pgpass or PGPASSWORD). --export-ncdu writes HOSTFOLDER with its files as an\n"
    "ncdu export (FILE - for standard output).\n";

namespace {

void Err(const QString& text) { std::fprintf(stderr, "korvane-scan: %s\n", text.toUtf8().constData()); }

int BadArguments(const char* what) {
  std::fprintf(stderr, "korvane-scan: %s\n", what);
  std::fprintf(stderr, "usage: korvane-scan [--] HOSTFOLDER\n%s", HistoryUsageText + 1);
  return 2;
}

QByteArray AbsoluteHostPath(const QByteArray& given) {
  char cwd[4096];
  return CleanHostPath(given.startsWith('/') ? given : QByteArray(::getcwd(cwd, sizeof cwd) ? cwd : "/") + '/' + given);
}

// A folder that can be scanned, as an absolute host path; empty with a message otherwise.
QByteArray CheckedFolder(const QByteArray& given) {
  const QByteArray folder = AbsoluteHostPath(given);
  struct stat st {};
  if (::stat(folder.constData(), &st) != 0) {
    std::fprintf(stderr, "korvane-scan: %s: %s\n", given.constData(), std::strerror(errno));
    return {};
  }
  if (!S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "korvane-scan: %s: not a folder\n", given.constData());
    return {};
  }
  if (const QString refusal = PseudoFileSystemRefusal(folder); !refusal.isEmpty()) {
    Err(refusal);
    return {};
  }
  return folder;
}

std::unique_ptr<THistoryStore> OpenStore(const QString& store) {
  QString error;
  const std::optional<TStoreLocation> where = ParseStoreLocation(store, &error);
  if (!where) {
    Err(error);
    return nullptr;
  }
  QString notice;
  std::unique_ptr<THistoryStore> opened = THistoryStore::Open(*where, &error, &notice);
  if (!notice.isEmpty()) Err(notice);
  if (!opened) Err(error);
  return opened;
}

// Scans folder (an absolute host path) as a drive and takes its snapshot.
std::optional<TSnapshot> ScanSnapshot(const QByteArray& folder) {
  TDriveTable& table = TDriveTable::Instance();
  char letter = 0;
  for (const TDriveMapping& m : table.Mappings())
    if (m.HostRoot == folder) letter = m.Letter;
  for (char c = 'Z'; !letter && c >= 'C'; --c)
    if (!table.Find(QLatin1Char(c))) letter = c;
  if (!letter) letter = 'Z';
  std::vector<TDriveMapping> mappings = table.Mappings();
  std::erase_if(mappings, [&](const TDriveMapping& m) { return m.Letter == letter; });
  mappings.push_back({letter, folder});
  table.SetMappings(std::move(mappings));
  const QString root = QLatin1Char(letter) + QStringLiteral(":\\");
  THeadlessHost host;
  TScanSession session(host);
  session.ScanDrive(QLatin1Char(letter) + DriveDisplayName(root));
  const TDriveRecInfo* drive = session.Drive(QLatin1Char(letter));
  if (!drive || !drive->Node || !drive->Node->Data()) {
    std::fprintf(stderr, "korvane-scan: the scan of %s did not complete\n", folder.constData());
    return std::nullopt;
  }
  TSnapshot snap = SnapshotOfTree(drive->Node);
  snap.Info.DrivePath = NodePath(drive->Node);
  snap.Info.HostRoot = QFile::decodeName(folder);
  snap.Info.ClusterSize = drive->ClusterSize;
  return snap;
}

bool IsId(const char* text, int64_t* id) {
  if (!*text || std::strlen(text) > 18) return false;
  for (const char* p = text; *p; ++p)
    if (*p < '0' || *p > '9') return false;
  *id = std::strtoll(text, nullptr, 10);
  return true;
}

int History(const QString& store, const char* folderArg) {
  std::unique_ptr<THistoryStore> db = OpenStore(store);
  if (!db) return 1;
  const QString root = folderArg ? QFile::decodeName(AbsoluteHostPath(folderArg)) : QString();
  const auto list = db->List(folderArg ? HistoryHostName() : QString(), root);
  if (!list) {
    Err(db->Error());
    return 1;
  }
  for (const TSnapshotInfo& s : *list)
    std::printf("%" PRId64 "\t%s\t%s\t%s\t%" PRId64 "\n", s.Id, s.Time.toString(Qt::ISODate).toUtf8().constData(),
                s.Host.toUtf8().constData(), s.HostRoot.toUtf8().constData(), s.Bytes);
  return 0;
}

int Compare(const QString& store, int64_t id, const char* second) {
  std::unique_ptr<THistoryStore> db = OpenStore(store);
  if (!db) return 1;
  std::optional<TSnapshot> older = db->Load(id);
  if (!older) {
    Err(db->Error());
    return 1;
  }
  std::optional<TSnapshot> newer;
  int64_t id2 = 0;
  if (second && IsId(second, &id2)) {
    newer = db->Load(id2);
    if (!newer) {
      Err(db->Error());
      return 1;
    }
  } else if (struct stat st {}; second && ::stat(second, &st) == 0 && S_ISREG(st.st_mode)) {
    // An ncdu export (of this or another machine) stands for the newer side.
    const TNcduScan scan = ReadNcduFile(QFile::decodeName(second));
    if (!scan.Complete) {
      std::fprintf(stderr, "korvane-scan: %s: %s\n", second, scan.Error.toUtf8().constData());
      return 1;
    }
    newer = SnapshotOfNcduScan(scan, older->Info.DrivePath);
  } else {
    QByteArray folder;
    if (second) {
      folder = CheckedFolder(second);
    } else if (older->Info.Host != HistoryHostName()) {
      Err(QStringLiteral("snapshot %1 was taken on %2; name a second snapshot or a folder of this machine")
              .arg(id)
              .arg(older->Info.Host));
      return 1;
    } else {
      folder = CheckedFolder(QFile::encodeName(older->Info.HostRoot));
    }
    if (folder.isEmpty()) return 1;
    db.reset();  // no connection is held open during the scan
    newer = ScanSnapshot(folder);
    if (!newer) return 1;
  }
  const TSnapshotComparison diff = CompareSnapshots(*older, *newer);
  for (const TFolderChange& c : diff.Changes) {
    const char* kind = c.Kind == TFolderChange::New ? "new" : c.Kind == TFolderChange::Gone ? "gone" : "change";
    std::printf("%s: %s %s\n", kind, SignedBytes(c.Delta).toUtf8().constData(), c.Path.toUtf8().constData());
  }
  std::printf("total-change: %s\n", SignedBytes(diff.TotalChange).toUtf8().constData());
  return 0;
}

int ExportNcdu(const char* fileArg, const char* folderArg) {
  const QByteArray folder = CheckedFolder(folderArg);
  if (folder.isEmpty()) return 1;
  const bool toStdout = std::strcmp(fileArg, "-") == 0;
  TNcduExportStats stats;
  QString error;
  bool ok;
  if (toStdout) {
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly)) {
      Err(QStringLiteral("cannot write to standard output"));
      return 1;
    }
    ok = WriteNcduExport(folder, out, &stats, &error);
    out.flush();
  } else {
    // The file appears whole or not at all; an old one stays until the new one is complete.
    QSaveFile out(QFile::decodeName(fileArg));
    if (!out.open(QIODevice::WriteOnly)) {
      Err(QStringLiteral("%1: %2").arg(QFile::decodeName(fileArg), out.errorString()));
      return 1;
    }
    ok = WriteNcduExport(folder, out, &stats, &error);
    if (ok && !out.commit()) {
      ok = false;
      error = QStringLiteral("%1: %2").arg(QFile::decodeName(fileArg), out.errorString());
    }
  }
  for (const QByteArray& path : stats.Unreadable) std::fprintf(stderr, "korvane-scan: cannot read folder %s\n", path.constData());
  if (!ok) {
    Err(error);
    return 1;
  }
  if (!toStdout)
    std::printf("export: %s\nfolders: %" PRId64 "\nfiles: %" PRId64 "\nbytes: %" PRId64 "\nunreadable-folders: %zu\n", fileArg,
                stats.Folders, stats.Files, stats.Bytes, stats.Unreadable.size());
  return 0;
}

}  // namespace

std::optional<int> RunHistoryOptions(int& argc, char** argv, THistoryRequest& request) {
  enum { None, Save, List, Diff, Export } command = None;
  bool storeGiven = false;
  bool endOfOptions = false;
  std::vector<char*> rest;       // what the usual scan gets (for --save)
  std::vector<const char*> args; // positional arguments
  rest.push_back(argv[0]);
  auto setCommand = [&](decltype(command) c) {
    if (command != None) return false;
    command = c;
    return true;
  };
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!endOfOptions && std::strcmp(a, "--") == 0) {
      endOfOptions = true;
      rest.push_back(argv[i]);
      continue;
    }
    if (!endOfOptions && a[0] == '-' && a[1] == '-') {
      if (std::strcmp(a, "--save") == 0 || std::strcmp(a, "--history") == 0 || std::strcmp(a, "--compare") == 0 ||
          std::strcmp(a, "--export-ncdu") == 0) {
        const auto c = a[2] == 's' ? Save : a[2] == 'h' ? List : a[2] == 'c' ? Diff : Export;
        if (!setCommand(c)) return BadArguments("only one of --save, --history, --compare and --export-ncdu at a time");
        continue;
      }
      if (std::strcmp(a, "--store") == 0 || std::strncmp(a, "--store=", 8) == 0) {
        if (storeGiven) return BadArguments("--store given twice");
        const char* store = a[7] == '=' ? a + 8 : nullptr;
        if (!store) {
          if (i + 1 >= argc) return BadArguments("--store needs a URL or a file");
          store = argv[++i];
        }
        // The database driver takes the file's name as text: a name that is not UTF-8 could only
        // reach another file.
        QStringDecoder utf8(QStringDecoder::Utf8);
        request.Store = utf8(QByteArrayView(store));
        if (utf8.hasError()) return BadArguments("--store needs a URL or a file name in UTF-8");
        if (request.Store.isEmpty()) return BadArguments("--store needs a URL or a file");
        storeGiven = true;
        continue;
      }
    }
    rest.push_back(argv[i]);
    args.push_back(a);
  }
  if (command == None) {
    if (storeGiven) return BadArguments("--store goes with --save, --history or --compare");
    return std::nullopt;
  }
  switch (command) {
    case Save:
      request.Save = true;
      for (size_t i = 0; i < rest.size(); ++i) argv[i] = rest[i];
      argc = static_cast<int>(rest.size());
      argv[argc] = nullptr;
      return std::nullopt;
    case List:
      if (args.size() > 1) return BadArguments("--history takes at most one folder");
      return History(request.Store, args.empty() ? nullptr : args[0]);
    case Diff: {
      int64_t id = 0;
      if (args.empty() || args.size() > 2 || !IsId(args[0], &id))
        return BadArguments("--compare needs a snapshot id, then optionally a second id or a folder");
      return Compare(request.Store, id, args.size() == 2 ? args[1] : nullptr);
    }
    case Export:
      if (storeGiven) return BadArguments("--export-ncdu writes a file, not into the history store");
      if (args.size() != 2) return BadArguments("--export-ncdu needs a file and a folder");
      return ExportNcdu(args[0], args[1]);
    case None:
      break;
  }
  return std::nullopt;
}

int SaveScanSnapshot(const THistoryRequest& request, const TTreeNode* root, const QString& drivePath,
                     const QString& hostRoot, int32_t clusterSize) {
  TSnapshot snap = SnapshotOfTree(root);
  snap.Info.DrivePath = drivePath;
  snap.Info.HostRoot = hostRoot;
  snap.Info.ClusterSize = clusterSize;
  std::unique_ptr<THistoryStore> db = OpenStore(request.Store);
  if (!db) return 1;
  const std::optional<int64_t> id = db->Save(snap);
  if (!id) {
    Err(db->Error());
    return 1;
  }
  std::printf("snapshot: %" PRId64 "\n", *id);
  return 0;
}
