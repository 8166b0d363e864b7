#include "config/RegistryChanges.h"

#include "config/RegNameIndex.h"

#include <algorithm>
#include <limits>
#include <utility>

class TRegChanges::TKey {
public:
  TKey(QString name, TKey* parent) : Name(std::move(name)), Parent(parent) {}

  QString Name;
  TKey* Parent;
  // Deleted at some time: the accessor's copy of this key, or its absence, replaces the file's,
  // and changes below it need no record of their own.
  bool Replaced = false;
  // Made to exist: created, or a value set in it or below it. Its parents are made to exist too.
  bool Ensured = false;
  // Names of the values set or deleted here, in the order they were first changed.
  std::vector<QString> Values;
  TRegNameIndex ValueIndex;
  std::vector<std::unique_ptr<TKey>> Subkeys;
  TRegNameIndex SubkeyIndex;

  TKey* Subkey(QStringView name) {
    const uint32_t hash = RegNameHash(name);
    const qsizetype p = SubkeyIndex.Find(name, hash, [this](qsizetype i) { return QStringView(Subkeys[static_cast<size_t>(i)]->Name); });
    if (p >= 0) return Subkeys[static_cast<size_t>(p)].get();
    SubkeyIndex.Insert(hash, static_cast<qsizetype>(Subkeys.size()));
    Subkeys.push_back(std::make_unique<TKey>(name.toString(), this));
    return Subkeys.back().get();
  }

  void AddValue(const QString& name) {
    const uint32_t hash = RegNameHash(name);
    if (ValueIndex.Find(name, hash, [this](qsizetype i) { return QStringView(Values[static_cast<size_t>(i)]); }) >= 0) return;
    ValueIndex.Insert(hash, static_cast<qsizetype>(Values.size()));
    Values.push_back(name);
  }
};

namespace {

using TKey = TRegChanges::TKey;

// Positions in the accessor's copy of the changed names (-1: not there), in that order: so that
// names new to the file are added in the order the accessor's copy holds them. Names not in the
// copy come last, in the order they were changed.
template <class TNames, class TPositionOf>
std::vector<std::pair<qsizetype, size_t>> InOwnOrder(const TNames& names, const TPositionOf& positionOf) {
  std::vector<std::pair<qsizetype, size_t>> order;
  order.reserve(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    const qsizetype p = positionOf(i);
    order.emplace_back(p < 0 ? std::numeric_limits<qsizetype>::max() : p, i);
  }
  std::sort(order.begin(), order.end());
  return order;
}

// change: the record of one key; own: the accessor's copy of that key (none when it has none);
// parent and key: the file's parent key and key (none when missing); root: the hive's root key.
void ApplyKey(const TKey& change, const TRegKey* own, TRegKey* parent, TRegKey* key, bool root) {
  if (change.Replaced) {
    if (root) {
      key->Clear();
      key->MergeFrom(*own);
      return;
    }
    if (!parent) return;
    if (key) parent->RemoveSubkey(change.Name);
    if (own) parent->SubkeyOrNew(own->Name()).MergeFrom(*own);
    return;
  }
  if (!key) {
    // Missing in the file: made again only when the accessor made it; deletions below it have
    // nothing to delete.
    if (!change.Ensured || !own || !parent) return;
    key = &parent->SubkeyOrNew(own->Name());
  }

  const auto values = InOwnOrder(change.Values, [&](size_t i) { return own ? own->ValuePosition(change.Values[i]) : qsizetype(-1); });
  for (const auto& [position, i] : values) {
    if (position == std::numeric_limits<qsizetype>::max()) {
      key->RemoveValue(change.Values[i]);
    } else {
      const TRegNamedValue& v = own->Values()[static_cast<size_t>(position)];
      key->SetValue(v.Name, v.Value);
    }
  }

  const auto subkeys = InOwnOrder(change.Subkeys, [&](size_t i) { return own ? own->SubkeyPosition(change.Subkeys[i]->Name) : qsizetype(-1); });
  for (const auto& [position, i] : subkeys) {
    const TKey& sub = *change.Subkeys[i];
    const TRegKey* ownSub = position == std::numeric_limits<qsizetype>::max() ? nullptr : own->Subkeys()[static_cast<size_t>(position)].get();
    ApplyKey(sub, ownSub, key, key->FindSubkey(sub.Name), false);
  }
}

}  // namespace

TRegChanges::TRegChanges() : root_(std::make_unique<TKey>(QString(), nullptr)) {}

TRegChanges::~TRegChanges() = default;

void TRegChanges::Clear() {
  root_ = std::make_unique<TKey>(QString(), nullptr);
  empty_ = true;
}

TRegChanges::TKey* TRegChanges::Key(const TKeyNames& names) {
  TKey* key = root_.get();
  for (QStringView name : names) {
    if (key->Replaced) break;
    key = key->Subkey(name);
  }
  return key;
}

namespace {

void Ensure(TKey* key) {
  for (; key && !key->Ensured; key = key->Parent) key->Ensured = true;
}

}  // namespace

void TRegChanges::ValueSet(TKey* key, const QString& name) {
  empty_ = false;
  Ensure(key);
  if (!key->Replaced) key->AddValue(name);
}

void TRegChanges::ValueDeleted(TKey* key, const QString& name) {
  empty_ = false;
  if (!key->Replaced) key->AddValue(name);
}

void TRegChanges::KeyCreated(TKey* key) {
  empty_ = false;
  Ensure(key);
}

void TRegChanges::KeyDeleted(TKey* key) {
  empty_ = false;
  if (key->Replaced) return;
  key->Replaced = true;
  key->Values.clear();
  key->ValueIndex.Clear();
  key->Subkeys.clear();
  key->SubkeyIndex.Clear();
}

void TRegChanges::ApplyTo(TRegHive& hive, const TRegHive& own) const {
  if (empty_) return;
  ApplyKey(*root_, &own.Root(), nullptr, &hive.Root(), true);
}
