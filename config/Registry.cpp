#include "config/Registry.h"

TRegistry::TRegistry(TRegRoot root) : root_(root), hive_(LoadHive(root, &fileState_)) {}

TRegistry::~TRegistry() {
  if (closed_) return;
  try {
    Close();
  } catch (const ERegistryException& e) {
    qWarning("%s", qPrintable(e.Message()));
  }
}

void TRegistry::ForgetPath() const {
  cachedPath_.clear();
  cachedKey_ = nullptr;
  cachedChange_ = nullptr;
}

const TRegKey* TRegistry::Find(const QString& keyPath) const {
  if (cachedKey_ && keyPath == cachedPath_) return cachedKey_;
  const TRegKey* key = hive_.FindKey(keyPath);
  if (key) {
    cachedPath_ = keyPath;
    cachedKey_ = const_cast<TRegKey*>(key);
    cachedChange_ = nullptr;
  }
  return key;
}

void TRegistry::CheckOpen() const {
  if (closed_) throw ERegistryException(QStringLiteral("The registry accessor is closed"));
}

namespace {

TKeyNames SplitOrThrow(const QString& keyPath) {
  std::optional<TKeyNames> names = SplitKeyPathViews(keyPath);
  if (!names) throw ERegistryException(QStringLiteral("Invalid registry key name \"%1\"").arg(keyPath));
  return std::move(*names);
}

}  // namespace

std::pair<TRegKey*, TRegChanges::TKey*> TRegistry::Writable(const QString& keyPath) {
  if (cachedKey_ && cachedChange_ && keyPath == cachedPath_) return {cachedKey_, cachedChange_};
  const TKeyNames names = SplitOrThrow(keyPath);
  cachedKey_ = &hive_.CreateKey(names);
  cachedChange_ = changes_.Key(names);
  cachedPath_ = keyPath;
  return {cachedKey_, cachedChange_};
}

bool TRegistry::KeyExists(const QString& keyPath) const { return Find(keyPath) != nullptr; }

bool TRegistry::ValueExists(const QString& keyPath, const QString& name) const {
  const TRegKey* key = Find(keyPath);
  return key && key->FindValue(name);
}

std::optional<TRegValue> TRegistry::ReadValue(const QString& keyPath, const QString& name) const {
  const TRegKey* key = Find(keyPath);
  if (!key) return std::nullopt;
  const TRegValue* value = key->FindValue(name);
  if (!value) return std::nullopt;
  return *value;
}

QStringList TRegistry::ValueNames(const QString& keyPath) const {
  QStringList names;
  if (const TRegKey* key = Find(keyPath)) {
    names.reserve(static_cast<qsizetype>(key->Values().size()));
    for (const TRegNamedValue& v : key->Values()) names.append(v.Name);
  }
  return names;
}

QStringList TRegistry::SubkeyNames(const QString& keyPath) const {
  QStringList names;
  if (const TRegKey* key = Find(keyPath))
    for (const auto& sub : key->Subkeys()) names.append(sub->Name());
  return names;
}

void TRegistry::CreateKey(const QString& keyPath) {
  if (KeyExists(keyPath)) return;
  CheckOpen();
  const TKeyNames names = SplitOrThrow(keyPath);
  hive_.CreateKey(names);
  changes_.KeyCreated(changes_.Key(names));
}

void TRegistry::WriteValue(const QString& keyPath, const QString& name, const TRegValue& value) {
  CheckOpen();
  const auto [key, change] = Writable(keyPath);
  key->SetValue(name, value);
  changes_.ValueSet(change, name);
}

void TRegistry::DeleteValue(const QString& keyPath, const QString& name) {
  CheckOpen();
  if (Find(keyPath)) {
    const auto [own, change] = Writable(keyPath);
    own->RemoveValue(name);
    changes_.ValueDeleted(change, name);
    return;
  }
  // Not in the accessor's copy, but perhaps in the file by now: the deletion is kept all the same.
  const TKeyNames names = SplitOrThrow(keyPath);
  changes_.ValueDeleted(changes_.Key(names), name);
}

void TRegistry::DeleteKey(const QString& keyPath) {
  CheckOpen();
  const TKeyNames names = SplitOrThrow(keyPath);
  if (names.isEmpty()) throw ERegistryException(QStringLiteral("The root key cannot be deleted"));
  ForgetPath();
  hive_.DeleteKey(names);
  changes_.KeyDeleted(changes_.Key(names));
}

void TRegistry::Flush() {
  if (changes_.Empty()) return;
  CommitChanges(root_, changes_, hive_, &fileState_);
  ForgetPath();
  changes_.Clear();
}

void TRegistry::Close() {
  if (closed_) return;
  closed_ = true;
  struct TClearAfter {
    TRegistry& Registry;
    ~TClearAfter() {
      Registry.ForgetPath();
      Registry.changes_.Clear();
    }
  } clearAfter{*this};
  CommitChanges(root_, changes_, hive_, &fileState_);
}
