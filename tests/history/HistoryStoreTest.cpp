// The history store against SQLite and against a PostgreSQL server the test starts itself.

#include "history/HistoryStore.h"
#include "tests/history/SnapshotBuilder.h"
#include "tests/support/PgServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<int> DatabaseCounter{0};

class HistoryStoreTest : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    if (IsPostgres()) {
      TPgServer& pg = TPgServer::Shared();
      if (!pg.Running()) GTEST_SKIP() << "no PostgreSQL server could be started: " << pg.Error().toStdString();
      url_ = pg.NewDatabase(QStringLiteral("t%1_%2").arg(::getpid()).arg(DatabaseCounter++));
      ASSERT_FALSE(url_.isEmpty()) << pg.Error().toStdString();
    } else {
      url_ = dir_.filePath(QStringLiteral("sub/history.sqlite"));
    }
  }
  bool IsPostgres() const { return std::string(GetParam()) == "postgresql"; }

  std::unique_ptr<THistoryStore> Open(QString* error = nullptr) {
    QString err;
    const std::optional<TStoreLocation> where = ParseStoreLocation(url_, &err);
    EXPECT_TRUE(where) << err.toStdString();
    if (!where) return nullptr;
    std::unique_ptr<THistoryStore> store = THistoryStore::Open(*where, &err);
    if (error) *error = err;
    return store;
  }

  // Runs one statement straight on the store's database, beside the store.
  void RawExec(const QString& sql) {
    QString err;
    const TStoreLocation where = *ParseStoreLocation(url_, &err);
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(where.Kind == TStoreLocation::Postgres ? "QPSQL" : "QSQLITE", "raw");
      if (where.Kind == TStoreLocation::Postgres) {
        db.setHostName(where.Host);
        db.setUserName(where.User);
        db.setDatabaseName(where.Database);
      } else {
        db.setDatabaseName(where.SqlitePath);
      }
      ASSERT_TRUE(db.open());
      QSqlQuery q(db);
      ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
    }
    QSqlDatabase::removeDatabase("raw");
  }

  QTemporaryDir dir_;
  QString url_;
};

void ExpectSameSnapshot(const TSnapshot& a, const TSnapshot& b) {
  EXPECT_EQ(a.Info.Host, b.Info.Host);
  EXPECT_EQ(a.Info.HostRoot, b.Info.HostRoot);
  EXPECT_EQ(a.Info.DrivePath, b.Info.DrivePath);
  EXPECT_EQ(a.Info.ClusterSize, b.Info.ClusterSize);
  EXPECT_EQ(a.Info.ProgramVersion, b.Info.ProgramVersion);
  EXPECT_EQ(a.Info.Time.toMSecsSinceEpoch(), b.Info.Time.toMSecsSinceEpoch());
  ASSERT_EQ(a.Folders.size(), b.Folders.size());
  for (size_t i = 0; i < a.Folders.size(); ++i) {
    const TSnapshotFolder& x = a.Folders[i];
    const TSnapshotFolder& y = b.Folders[i];
    ASSERT_EQ(x.Parent, y.Parent) << i;
    ASSERT_EQ(x.Name, y.Name) << i;
    ASSERT_EQ(x.Size, y.Size) << i;
    ASSERT_EQ(x.Allocated, y.Allocated) << i;
    ASSERT_EQ(x.OnDisk, y.OnDisk) << i;
    ASSERT_EQ(x.Files, y.Files) << i;
    ASSERT_EQ(x.Folders, y.Folders) << i;
    ASSERT_EQ(x.LatestChange, y.LatestChange) << i;
  }
}

// A snapshot of many folders (more than one insert statement's worth) with awkward names and
// figures at the edges of their ranges.
TSnapshot AwkwardSnapshot() {
  std::vector<TFolderLine> lines{{"", std::numeric_limits<int64_t>::max()}};
  const QByteArray odd[] = {"it's", "a\"b", "x'); DROP TABLE korvane_snapshots; --", "back\\slash",
                            QByteArray("\xed\xb2\x80raw", 6) /* a lone surrogate from an undecodable byte */,
                            "\xe6\x97\xa5\xe6\x9c\xac", "?", "$1", "%s", QByteArray(255, 'n')};
  for (const QByteArray& name : odd) lines.push_back({name, 7});
  for (int i = 0; i < 1200; ++i) lines.push_back({QByteArray("?/") + QByteArray::number(i), i});
  TSnapshot snap = MakeSnapshot(lines);
  snap.Folders[1].OnDisk = 0;
  snap.Folders[2].OnDisk = std::numeric_limits<int64_t>::max();
  snap.Folders[3].LatestChange = std::numeric_limits<uint64_t>::max() / 2;
  snap.Info.HostRoot = QStringLiteral("/home/o'brien/\"x\"");
  return snap;
}

TEST_P(HistoryStoreTest, SavesListsLoadsAndRemovesSnapshotsExactly) {
  std::unique_ptr<THistoryStore> store = Open();
  ASSERT_TRUE(store);
  TSnapshot first = AwkwardSnapshot();
  first.Info.Time = QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC);
  TSnapshot second = MakeSnapshot({{"", 5}, {"a", 5}});
  second.Info.Time = first.Info.Time.addSecs(3600);
  second.Info.Host = QStringLiteral("otherhost");
  TSnapshot third = MakeSnapshot({{"", 9}});
  third.Info.Time = first.Info.Time.addSecs(60);

  const std::optional<int64_t> id1 = store->Save(first);
  const std::optional<int64_t> id2 = store->Save(second);
  const std::optional<int64_t> id3 = store->Save(third);
  ASSERT_TRUE(id1 && id2 && id3) << store->Error().toStdString();
  EXPECT_EQ(std::set<int64_t>({*id1, *id2, *id3}).size(), 3u);

  std::optional<TSnapshot> back = store->Load(*id1);
  ASSERT_TRUE(back) << store->Error().toStdString();
  ExpectSameSnapshot(first, *back);
  EXPECT_EQ(back->Info.Bytes, std::numeric_limits<int64_t>::max());
  EXPECT_EQ(back->Info.FolderCount, 1211);

  // Newest first; filtered by host and host root.
  const auto all = store->List();
  ASSERT_TRUE(all);
  ASSERT_EQ(all->size(), 3u);
  EXPECT_EQ((*all)[0].Id, *id2);
  EXPECT_EQ((*all)[1].Id, *id3);
  EXPECT_EQ((*all)[2].Id, *id1);
  const auto mine = store->List(QStringLiteral("testhost"), QStringLiteral("/srv/data"));
  ASSERT_TRUE(mine);
  ASSERT_EQ(mine->size(), 1u);
  EXPECT_EQ((*mine)[0].Id, *id3);
  const auto quoted = store->List({}, first.Info.HostRoot);
  ASSERT_TRUE(quoted);
  ASSERT_EQ(quoted->size(), 1u);
  EXPECT_EQ((*quoted)[0].Id, *id1);

  // Reopened, everything is still there.
  store.reset();
  store = Open();
  ASSERT_TRUE(store);
  ASSERT_TRUE(store->Load(*id1));
  ASSERT_TRUE(store->Remove(*id1)) << store->Error().toStdString();
  EXPECT_FALSE(store->Load(*id1));
  EXPECT_TRUE(store->Error().contains(QStringLiteral("no snapshot"))) << store->Error().toStdString();
  EXPECT_FALSE(store->Remove(*id1));
  EXPECT_EQ(store->List()->size(), 2u);
  // Ids are not handed out again after a removal.
  const std::optional<int64_t> id4 = store->Save(third);
  ASSERT_TRUE(id4);
  EXPECT_GT(*id4, *id3);
}

TEST_P(HistoryStoreTest, RefusesStoreOfNewerSchemaAndLeavesItAlone) {
  {
    std::unique_ptr<THistoryStore> store = Open();
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->Save(MakeSnapshot({{"", 1}})));
  }
  RawExec(QStringLiteral("UPDATE korvane_schema SET version = 99"));
  QString error;
  EXPECT_FALSE(Open(&error));
  EXPECT_TRUE(error.contains(QStringLiteral("newer"))) << error.toStdString();
  EXPECT_TRUE(error.contains(QStringLiteral("99"))) << error.toStdString();
  // Untouched: once set back, the snapshot is still there.
  RawExec(QStringLiteral("UPDATE korvane_schema SET version = %1").arg(THistoryStore::SchemaVersion));
  std::unique_ptr<THistoryStore> store = Open();
  ASSERT_TRUE(store);
  EXPECT_EQ(store->List()->size(), 1u);
}

TEST_P(HistoryStoreTest, TwoWritersAtOnceIntoANewStore) {
  // Both open a store that does not exist yet (both may create the schema) and save at once.
  constexpr int PerWriter = 6;
  std::vector<int64_t> ids[2];
  QString errors[2];
  auto writer = [&](int w) {
    std::unique_ptr<THistoryStore> store = Open(&errors[w]);
    if (!store) return;
    for (int i = 0; i < PerWriter; ++i) {
      TSnapshot snap = AwkwardSnapshot();
      snap.Info.Host = QStringLiteral("writer%1").arg(w);
      snap.Folders[1].Size = w * 1000 + i;
      const std::optional<int64_t> id = store->Save(snap);
      if (!id) {
        errors[w] = store->Error();
        return;
      }
      ids[w].push_back(*id);
    }
  };
  std::thread a(writer, 0);
  std::thread b(writer, 1);
  a.join();
  b.join();
  ASSERT_EQ(ids[0].size(), static_cast<size_t>(PerWriter)) << errors[0].toStdString();
  ASSERT_EQ(ids[1].size(), static_cast<size_t>(PerWriter)) << errors[1].toStdString();
  std::unique_ptr<THistoryStore> store = Open();
  ASSERT_TRUE(store);
  EXPECT_EQ(store->List()->size(), 2u * PerWriter);
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < PerWriter; ++i) {
      std::optional<TSnapshot> snap = store->Load(ids[w][static_cast<size_t>(i)]);
      ASSERT_TRUE(snap) << store->Error().toStdString();
      EXPECT_EQ(snap->Info.Host, QStringLiteral("writer%1").arg(w));
      EXPECT_EQ(snap->Folders[1].Size, w * 1000 + i);
      EXPECT_EQ(snap->Folders.size(), 1211u);
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, HistoryStoreTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& param) { return std::string(param.param); });

TEST(HistoryStoreSqliteTest, DamagedFileIsSetAsideAndKept) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("history.sqlite"));
  const QByteArray garbage = QByteArray("this is no database, but somebody's file\n").repeated(200);
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(garbage);
  }
  TStoreLocation where;
  where.SqlitePath = path;
  QString error;
  QString notice;
  std::unique_ptr<THistoryStore> store = THistoryStore::Open(where, &error, &notice);
  ASSERT_TRUE(store) << error.toStdString();
  EXPECT_TRUE(notice.contains(QStringLiteral("damaged"))) << notice.toStdString();
  const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("history.sqlite.damaged-*")});
  ASSERT_EQ(aside.size(), 1);
  QFile kept(dir.filePath(aside.first()));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), garbage);
  EXPECT_TRUE(notice.contains(aside.first()));
  // The new store works.
  ASSERT_TRUE(store->Save(MakeSnapshot({{"", 3}})));
  EXPECT_EQ(store->List()->size(), 1u);
}

TEST(HistoryStoreSqliteTest, FileDamagedBehindItsFirstPageIsSetAsideToo) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("history.sqlite"));
  TStoreLocation where;
  where.SqlitePath = path;
  QString error;
  {
    std::unique_ptr<THistoryStore> store = THistoryStore::Open(where, &error);
    ASSERT_TRUE(store) << error.toStdString();
    ASSERT_TRUE(store->Save(MakeSnapshot({{"", 3}, {"a", 3}})));
  }
  // The header and the schema stay; every page after the first is overwritten.
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  const qint64 size = f.size();
  ASSERT_GT(size, 8192);
  ASSERT_TRUE(f.seek(4096));
  f.write(QByteArray(static_cast<qsizetype>(size - 4096), '\x5a'));
  f.close();
  QFile damaged(path);
  ASSERT_TRUE(damaged.open(QIODevice::ReadOnly));
  const QByteArray before = damaged.readAll();
  damaged.close();

  QString notice;
  std::unique_ptr<THistoryStore> store = THistoryStore::Open(where, &error, &notice);
  ASSERT_TRUE(store) << error.toStdString();
  EXPECT_TRUE(notice.contains(QStringLiteral("damaged"))) << notice.toStdString();
  const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("history.sqlite.damaged-*")});
  ASSERT_EQ(aside.size(), 1);
  QFile kept(dir.filePath(aside.first()));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), before);
  EXPECT_EQ(store->List()->size(), 0u);
}

TEST(HistoryStoreSqliteTest, UnwritablePlaceIsAClearMessage) {
  TStoreLocation where;
  where.SqlitePath = QStringLiteral("/proc/korvane/history.sqlite");
  QString error;
  EXPECT_FALSE(THistoryStore::Open(where, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("/proc/korvane"))) << error.toStdString();
}

TEST(HistoryStorePostgresTest, UnreachableServerIsAMessageWithinTheTimeout) {
  // No server behind the socket folder: refused at once.
  QTemporaryDir dir;
  QString error;
  std::optional<TStoreLocation> where = ParseStoreLocation(
      QStringLiteral("postgresql://korvane@%1/none").arg(QString::fromUtf8(QUrl::toPercentEncoding(dir.path()))), &error);
  ASSERT_TRUE(where);
  EXPECT_FALSE(THistoryStore::Open(*where, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("cannot reach"))) << error.toStdString();

  // A server that takes the connection and never answers: given up after the timeout.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  socklen_t len = sizeof addr;
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  where = ParseStoreLocation(
      QStringLiteral("postgresql://korvane@127.0.0.1:%1/none?connect_timeout=2").arg(ntohs(addr.sin_port)), &error);
  ASSERT_TRUE(where);
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(THistoryStore::Open(*where, &error));
  EXPECT_LT(timer.elapsed(), 20000);
  EXPECT_TRUE(error.contains(QStringLiteral("cannot reach"))) << error.toStdString();
  ::close(listener);
}

}  // namespace
