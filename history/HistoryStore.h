#pragma once
// The scan history in a database through QtSql: SQLite or PostgreSQL with one schema, versioned
// and brought up to date when opened. Every statement takes its values as bound parameters.
// A store belongs to the thread that opened it.

#include "history/Snapshot.h"
#include "history/StoreLocation.h"

#include <QSqlDatabase>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class THistoryStore {
public:
  // The schema version this program writes; a store of a later one is refused.
  static constexpr int SchemaVersion = 1;

  // Opens (and creates or upgrades) the store. Nothing, with *error set, when it cannot be reached
  // (after a bounded wait), is of a newer schema, or cannot be created. A damaged SQLite file is
  // renamed aside and a new one started; *notice then says so.
  static std::unique_ptr<THistoryStore> Open(const TStoreLocation& where, QString* error, QString* notice = nullptr);
  ~THistoryStore();
  THistoryStore(const THistoryStore&) = delete;
  THistoryStore& operator=(const THistoryStore&) = delete;

  // The new snapshot's id; nothing on failure (see Error), and then nothing of it is kept.
  std::optional<int64_t> Save(const TSnapshot& snap);
  // Snapshots, newest first; host and hostRoot filter when not empty.
  std::optional<std::vector<TSnapshotInfo>> List(const QString& host = {}, const QString& hostRoot = {});
  // One snapshot with its folders; nothing when it does not exist (Error says so) or cannot be read.
  std::optional<TSnapshot> Load(int64_t id);
  // False when it does not exist or cannot be removed.
  bool Remove(int64_t id);

  const QString& Error() const { return error_; }
  const TStoreLocation& Location() const { return where_; }

private:
  THistoryStore(TStoreLocation where, QString connection);
  bool Connect(QString* notice);
  bool Prepare();
  bool Fail(const QString& what, const QString& detail);
  bool Exec(const QString& sql);
  bool SaveFoldersSqlite(const TSnapshot& snap, qint64 id);
  bool SaveFoldersPostgres(const TSnapshot& snap, qint64 id);
  std::optional<int> ReadVersion();

  TStoreLocation where_;
  QString connection_;
  QSqlDatabase db_;
  QString error_;
};
