#pragma once
// The changes an accessor made to its copy of a hive since it last wrote it, kept by key rather
// than as a log: which values of a key it set or deleted, which keys it created, and which keys it
// deleted (everything below such a key is then the accessor's own). Writing applies them to the
// hive as it is on disk by then, taking each changed value from the accessor's copy, so that
// another writer's changes to anything else survive; the result is the one a replay of every
// change in order would give, and it costs one step per changed name however often a name was
// written.

#include "config/RegistryHive.h"

#include <QString>

#include <memory>
#include <vector>

class TRegChanges {
public:
  TRegChanges();
  ~TRegChanges();
  TRegChanges(const TRegChanges&) = delete;
  TRegChanges& operator=(const TRegChanges&) = delete;

  bool Empty() const { return empty_; }
  void Clear();

  // One key's record, found once for a run of changes to the same key. Valid until the next
  // KeyDeleted or Clear.
  class TKey;
  TKey* Key(const TKeyNames& names);

  // Called after the change was made to the accessor's copy.
  void ValueSet(TKey* key, const QString& name);
  void ValueDeleted(TKey* key, const QString& name);
  void KeyCreated(TKey* key);
  void KeyDeleted(TKey* key);

  // Applies the changes to hive (the file's content now), taking every changed value and every
  // deleted-and-remade key from own (the accessor's copy with all its changes made).
  void ApplyTo(TRegHive& hive, const TRegHive& own) const;

private:
  std::unique_ptr<TKey> root_;
  bool empty_ = true;
};
