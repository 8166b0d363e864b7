// The scan history on the benchmark tree: saving a snapshot into SQLite and into a local
// PostgreSQL server (a throw-away one, started here), loading and comparing two snapshots, and
// what a folder takes in the SQLite file. Prints figures; the medians of RUNS runs.
// usage: korvane-history-bench TREE [RUNS]
#include "history/HistoryStore.h"
#include "history/SnapshotCompare.h"
#include "platform/DriveTable.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "scan/ScanHost.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "tests/support/PgServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of every PostgreSQL server process on the machine (the bench's own server is the
// only busy one), so that its share of a save can be told apart from the waiting.
double ServerCpuSeconds() {
  double total = 0;
  const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& pid : pids) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QByteArray stat = f.readAll();
    const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
    if (open < 0 || close < 0 || stat.mid(open + 1, close - open - 1) != "postgres") continue;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // After the name: state is field 3, utime field 14, stime field 15.
    if (fields.size() > 12) total += static_cast<double>(fields[11].toLongLong() + fields[12].toLongLong());
  }
  return total / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Wall seconds of work; its CPU seconds (of this process) are added to *cpu.
double Seconds(const std::function<bool()>& work, bool* ok, std::vector<double>* cpu = nullptr) {
  QElapsedTimer t;
  const double c0 = CpuSeconds();
  t.start();
  *ok = work() && *ok;
  if (cpu) cpu->push_back(CpuSeconds() - c0);
  return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

// Saves runs snapshots (one as the older, one as the newer), then loads and compares pairs.
bool Measure(const char* label, THistoryStore& store, const TSnapshot& older, const TSnapshot& newer, int runs,
             std::vector<int64_t>* ids = nullptr) {
  std::vector<double> save, load, compare, saveCpu, loadCpu, compareCpu, saveServer;
  bool ok = true;
  int64_t lastOld = 0, lastNew = 0;
  for (int i = 0; i < runs; ++i) {
    const double server0 = ServerCpuSeconds();
    save.push_back(Seconds([&] {
      const auto id = store.Save(i % 2 ? newer : older);
      if (id) (i % 2 ? lastNew : lastOld) = *id;
      if (id && ids) ids->push_back(*id);
      return id.has_value();
    }, &ok, &saveCpu));
    saveServer.push_back(ServerCpuSeconds() - server0);
  }
  if (!ok) {
    std::fprintf(stderr, "%s: %s\n", label, store.Error().toUtf8().constData());
    return false;
  }
  size_t changes = 0;
  for (int i = 0; i < runs; ++i) {
    std::optional<TSnapshot> a, b;
    load.push_back(Seconds([&] { return (a = store.Load(lastOld)) && (b = store.Load(lastNew)); }, &ok, &loadCpu));
    if (!ok) break;
    compare.push_back(Seconds([&] { changes = CompareSnapshots(*a, *b).Changes.size(); return true; }, &ok, &compareCpu));
  }
  if (!ok) {
    std::fprintf(stderr, "%s: %s\n", label, store.Error().toUtf8().constData());
    return false;
  }
  // Wall time, and the CPU time of this program (the server's own is not in it).
  std::printf("%s-save-seconds: %.3f (cpu %.3f, server cpu %.3f)\n", label, Median(save), Median(saveCpu),
              Median(saveServer));
  std::printf("%s-load-two-seconds: %.3f (cpu %.3f)\n", label, Median(load), Median(loadCpu));
  std::printf("compare-seconds: %.3f (cpu %.3f, %zu changes)\n", Median(compare), Median(compareCpu), changes);
  std::printf("%s-load-and-compare-seconds: %.3f\n", label, Median(load) + Median(compare));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fputs("usage: korvane-history-bench TREE [RUNS]\n", stderr);
    return 2;
  }
  const int runs = argc > 2 ? std::max(2, std::atoi(argv[2])) : 5;
  const QByteArray tree = CleanHostPath(QByteArray(argv[1]));
  TDriveTable::Instance().SetMappings({{'T', tree}});
  THeadlessHost host;
  TScanSession session(host);
  session.ScanDrive(QStringLiteral("T") + DriveDisplayName(QStringLiteral("T:\\")));
  const TDriveRecInfo* drive = session.Drive(QLatin1Char('T'));
  if (!drive || !drive->Node) {
    std::fprintf(stderr, "cannot scan %s\n", tree.constData());
    return 1;
  }
  TSnapshot older = SnapshotOfTree(drive->Node);
  older.Info.DrivePath = NodePath(drive->Node);
  older.Info.HostRoot = QString::fromLocal8Bit(tree);
  // The newer one: a tenth of the folders changed size, so that the comparison has work to do.
  TSnapshot newer = older;
  for (size_t i = 0; i < newer.Folders.size(); i += 10) newer.Folders[i].Size += static_cast<int64_t>(i);
  std::printf("folders: %zu\n", older.Folders.size());

  QTemporaryDir dir;
  TStoreLocation where;
  where.SqlitePath = dir.filePath(QStringLiteral("history.sqlite"));
  QString error;
  {
    std::unique_ptr<THistoryStore> store = THistoryStore::Open(where, &error);
    if (!store) {
      std::fprintf(stderr, "%s\n", error.toUtf8().constData());
      return 1;
    }
    const qint64 empty = QFileInfo(where.SqlitePath).size();
    std::vector<int64_t> ids;
    if (!Measure("sqlite", *store, older, newer, runs, &ids)) return 1;
    const qint64 full = QFileInfo(where.SqlitePath).size();
    std::printf("sqlite-bytes-per-folder: %.1f (%d snapshots, %lld bytes)\n",
                static_cast<double>(full - empty) / static_cast<double>(runs) / static_cast<double>(older.Folders.size()),
                runs, static_cast<long long>(full));
  }

  TPgServer pg;
  if (!pg.Running()) {
    std::printf("postgresql: not measured: %s\n", pg.Error().toUtf8().constData());
    return 0;
  }
  const QString url = pg.NewDatabase(QStringLiteral("bench"));
  const std::optional<TStoreLocation> pgWhere = ParseStoreLocation(url, &error);
  std::unique_ptr<THistoryStore> store = pgWhere ? THistoryStore::Open(*pgWhere, &error) : nullptr;
  if (!store) {
    std::fprintf(stderr, "%s\n", error.toUtf8().constData());
    return 1;
  }
  return Measure("postgresql", *store, older, newer, runs) ? 0 : 1;
}
