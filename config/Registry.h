#pragma once
// An open view of one registry root: reads come from the hive as it was when the accessor was
// opened, plus the accessor's own changes; the changes reach the hive file together when the
// accessor is closed (one file rewrite for any number of writes).

#include "config/RegistryStore.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

class TRegistry {
public:
  explicit TRegistry(TRegRoot root = TRegRoot::CurrentUser);
  // Closes the accessor; a failure to write is only reported as a warning here, so callers that
  // must know call Close first.
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  TRegRoot Root() const { return root_; }

  // Key paths are relative to the root ("Software\Morvell\Korvane 3\Options"); names compare
  // case-insensitively.
  bool KeyExists(const QString& keyPath) const;
  bool ValueExists(const QString& keyPath, const QString& name) const;
  std::optional<TRegValue> ReadValue(const QString& keyPath, const QString& name) const;
  QStringList ValueNames(const QString& keyPath) const;
  QStringList SubkeyNames(const QString& keyPath) const;

  // The writes throw ERegistryException for a key path the store cannot hold.
  void CreateKey(const QString& keyPath);
  void WriteValue(const QString& keyPath, const QString& name, const TRegValue& value);
  void DeleteValue(const QString& keyPath, const QString& name);
  // Deletes a key with all its subkeys and values.
  void DeleteKey(const QString& keyPath);

  // Writes the pending changes to the hive file (CommitChanges) and keeps the accessor open.
  void Flush();
  // Flush, then no more changes are taken. Throws ERegistryException when the write fails.
  void Close();

private:
  void CheckOpen() const;
  // The key a path names in the accessor's copy; none when it does not exist.
  const TRegKey* Find(const QString& keyPath) const;
  // The key a path names, created when missing, and the record of its changes. Throws for a path
  // the store cannot hold.
  std::pair<TRegKey*, TRegChanges::TKey*> Writable(const QString& keyPath);
  void ForgetPath() const;

  TRegRoot root_;
  TRegFileState fileState_;  // set by loading the hive, so declared before it
  TRegHive hive_;
  TRegChanges changes_;
  bool closed_ = false;
  // The last path looked up, with its key (and the record of its changes, once written): settings
  // are read and written a key at a time, so most calls name the same key as the one before.
  mutable QString cachedPath_;
  mutable TRegKey* cachedKey_ = nullptr;
  mutable TRegChanges::TKey* cachedChange_ = nullptr;
};
