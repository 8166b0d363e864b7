#include "config/Registry.h"

TRegistry::TRegistry(TRegRoot root) : root_(root), hive_(LoadHive(root)) {}

TRegistry::~TRegistry() {
  if (closed_) return;
  try {
    Close();
  } catch (const ERegistryException& e) {
    qWarning("%s", qPrintable(e.Message()));
  }
}

bool TRegistry::KeyExists(const QString& keyPath) const { return hive_.FindKey(keyPath) != nullptr; }

bool TRegistry::ValueExists(const QString& keyPath, const QString& name) const {
  const TRegKey* key = hive_.FindKey(keyPath);
  return key && key->FindValue(name);
}

std::optional<TRegValue> TRegistry::ReadValue(const QString& keyPath, const QString& name) const {
  const TRegKey* key = hive_.FindKey(keyPath);
  if (!key) return std::nullopt;
  const TRegValue* value = key->FindValue(name);
  if (!value) return std::nullopt;
  return *value;
}

QStringList TRegistry::ValueNames(const QString& keyPath) const {
  QStringList names;
  if (const TRegKey* key = hive_.FindKey(keyPath))
    for (const TRegNamedValue& v : key->Values()) names.append(v.Name);
  return names;
}

QStringList TRegistry::SubkeyNames(const QString& keyPath) const {
  QStringList names;
  if (const TRegKey* key = hive_.FindKey(keyPath))
    for (const auto& sub : key->Subkeys()) names.append(sub->Name());
  return names;
}

void TRegistry::Record(TRegChange change) {
  if (closed_) throw ERegistryException(QStringLiteral("The registry accessor is closed"));
  if (!SplitKeyPath(change.KeyPath))
    throw ERegistryException(QStringLiteral("Invalid registry key name \"%1\"").arg(change.KeyPath));
  ApplyChange(hive_, change);
  pending_.push_back(std::move(change));
}

void TRegistry::CreateKey(const QString& keyPath) {
  if (KeyExists(keyPath)) return;
  Record({TRegChange::CreateKey, keyPath, QString(), TRegValue()});
}

void TRegistry::WriteValue(const QString& keyPath, const QString& name, const TRegValue& value) {
  Record({TRegChange::SetValue, keyPath, name, value});
}

void TRegistry::DeleteValue(const QString& keyPath, const QString& name) {
  Record({TRegChange::DeleteValue, keyPath, name, TRegValue()});
}

void TRegistry::DeleteKey(const QString& keyPath) {
  const std::optional<QStringList> names = SplitKeyPath(keyPath);
  if (names && names->isEmpty())
    throw ERegistryException(QStringLiteral("The root key cannot be deleted"));
  Record({TRegChange::DeleteKey, keyPath, QString(), TRegValue()});
}

void TRegistry::Flush() {
  if (pending_.empty()) return;
  CommitChanges(root_, pending_);
  pending_.clear();
}

void TRegistry::Close() {
  if (closed_) return;
  closed_ = true;
  const std::vector<TRegChange> changes = std::move(pending_);
  pending_.clear();
  CommitChanges(root_, changes);
}
