#pragma once
// Points the registry store at a temporary folder of its own for the life of the object, and
// removes any test hook on the way out.

#include "config/AtomicFile.h"
#include "config/RegistryStore.h"
#include "config/SettingsWarnings.h"
#include "tests/support/Fixture.h"

#include <QByteArray>
#include <QDir>
#include <QStringList>

#include <optional>

class TRegistryScope {
public:
  TRegistryScope() : wasSet_(qEnvironmentVariableIsSet("KORVANE_REGISTRY_DIR")), saved_(qgetenv("KORVANE_REGISTRY_DIR")) {
    qputenv("KORVANE_REGISTRY_DIR", tree_.Root());
    // Warnings about another test's settings folder are not this one's.
    TakeSettingsWarningMessage();
  }
  ~TRegistryScope() {
    SetAtomicWriteTestHook({});
    if (wasSet_)
      qputenv("KORVANE_REGISTRY_DIR", saved_);
    else
      qunsetenv("KORVANE_REGISTRY_DIR");
  }
  TRegistryScope(const TRegistryScope&) = delete;
  TRegistryScope& operator=(const TRegistryScope&) = delete;

  const QByteArray& Folder() const { return tree_.Root(); }
  QByteArray Path(const QByteArray& name) const { return tree_.Path(name); }
  QByteArray HivePath(TRegRoot root = TRegRoot::CurrentUser) const { return tree_.Path(HiveFileName(root)); }

  // The hive file's bytes; none when it does not exist.
  std::optional<QByteArray> HiveText(TRegRoot root = TRegRoot::CurrentUser) const { return ReadWholeFile(HivePath(root)); }
  void WriteHive(const QByteArray& text, TRegRoot root = TRegRoot::CurrentUser) const {
    QString error;
    if (!WriteFileAtomically(HivePath(root), text, 0600, &error)) qFatal("%s", qPrintable(error));
  }

  // The names in the registry folder, sorted.
  QStringList Entries() const {
    return QDir(QString::fromLocal8Bit(tree_.Root())).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  }

private:
  TFixtureTree tree_;
  bool wasSet_;
  QByteArray saved_;
};
