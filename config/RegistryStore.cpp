#include "config/RegistryStore.h"

#include "config/AtomicFile.h"
#include "config/FileLock.h"

#include <QDateTime>

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray HomeFolder() {
  QByteArray home = qgetenv("HOME");
  if (home.isEmpty()) {
    if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
  }
  return home;
}

// Creates a folder and its missing parents, private to the user.
bool MakeFolders(const QByteArray& folder, QString* error) {
  for (qsizetype i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/') continue;
    const QByteArray prefix = folder.left(i);
    if (::mkdir(prefix.constData(), 0700) != 0 && errno != EEXIST) {
      if (error)
        *error = QStringLiteral("Cannot create the registry folder %1: %2")
                     .arg(QString::fromLocal8Bit(prefix), SystemErrorText(errno));
      return false;
    }
  }
  struct stat st {};
  if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (error) *error = QStringLiteral("The registry folder %1 is not a folder").arg(QString::fromLocal8Bit(folder));
    return false;
  }
  return true;
}

// Renames a hive that cannot be parsed out of the way, to a name no other file has.
void SetAside(const QByteArray& path, const QString& reason) {
  const QByteArray stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
  QByteArray aside = path + ".corrupt-" + stamp;
  struct stat st {};
  for (int n = 2; ::lstat(aside.constData(), &st) == 0; ++n) aside = path + ".corrupt-" + stamp + '-' + QByteArray::number(n);
  if (::rename(path.constData(), aside.constData()) == 0) {
    qWarning("The registry file %s cannot be read (%s); it was renamed to %s and the defaults apply.",
             path.constData(), qPrintable(reason), aside.constData());
  } else {
    qWarning("The registry file %s cannot be read (%s) and cannot be renamed: %s", path.constData(),
             qPrintable(reason), qPrintable(SystemErrorText(errno)));
  }
}

// The lock file beside a hive, held for the life of the object. Every writer takes it, so that
// reading, changing and replacing the hive is one step for all running copies of the program.
TFileLock LockHive(const QByteArray& hivePath) { return TFileLock(hivePath + ".lock", O_RDWR | O_CREAT); }

}  // namespace

QString RootKeyName(TRegRoot root) {
  return root == TRegRoot::ClassesRoot ? QStringLiteral("HKEY_CLASSES_ROOT") : QStringLiteral("HKEY_CURRENT_USER");
}

QByteArray RegistryFolder() {
  const QByteArray own = qgetenv("KORVANE_REGISTRY_DIR");
  if (!own.isEmpty()) return own;
  const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
  if (xdg.startsWith('/')) return xdg + "/korvane";
  return HomeFolder() + "/.config/korvane";
}

QByteArray HiveFileName(TRegRoot root) {
  return root == TRegRoot::ClassesRoot ? QByteArray("classes-root.reg") : QByteArray("current-user.reg");
}

QByteArray HivePath(TRegRoot root) { return RegistryFolder() + '/' + HiveFileName(root); }

TRegHive LoadHive(TRegRoot root) {
  const QByteArray path = HivePath(root);
  const QString rootName = RootKeyName(root);
  std::optional<QByteArray> bytes = ReadWholeFile(path);
  if (!bytes) return TRegHive(rootName);
  if (std::optional<TRegHive> hive = TRegHive::Parse(*bytes, rootName)) return std::move(*hive);

  // Look again under the lock: another copy of the program may have just replaced the file, or
  // may already have set it aside.
  const TFileLock lock = LockHive(path);
  bytes = ReadWholeFile(path);
  if (!bytes) return TRegHive(rootName);
  QString reason;
  if (std::optional<TRegHive> hive = TRegHive::Parse(*bytes, rootName, &reason)) return std::move(*hive);
  if (lock.Held()) SetAside(path, reason);
  return TRegHive(rootName);
}

void ApplyChange(TRegHive& hive, const TRegChange& change) {
  switch (change.Kind) {
    case TRegChange::SetValue:
      hive.CreateKey(change.KeyPath).SetValue(change.Name, change.Value);
      break;
    case TRegChange::DeleteValue:
      if (TRegKey* key = hive.FindKey(change.KeyPath)) key->RemoveValue(change.Name);
      break;
    case TRegChange::CreateKey:
      hive.CreateKey(change.KeyPath);
      break;
    case TRegChange::DeleteKey:
      hive.DeleteKey(change.KeyPath);
      break;
  }
}

void CommitChanges(TRegRoot root, const std::vector<TRegChange>& changes) {
  if (changes.empty()) return;
  const QByteArray folder = RegistryFolder();
  const QByteArray path = folder + '/' + HiveFileName(root);
  const QString rootName = RootKeyName(root);
  QString error;
  if (!MakeFolders(folder, &error)) throw ERegistryException(error);

  const TFileLock lock = LockHive(path);
  if (!lock.Held())
    throw ERegistryException(QStringLiteral("Cannot lock the registry file %1: %2")
                                 .arg(QString::fromLocal8Bit(path), SystemErrorText(lock.Error())));
  // Holding the lock, no other write is under way: a temporary file now is a crash's leftover.
  RemoveStaleAtomicTemps(path);

  bool missing = false;
  std::optional<QByteArray> bytes = ReadWholeFile(path, &missing, &error);
  if (!bytes && !missing) throw ERegistryException(error);
  TRegHive hive(rootName);
  if (bytes) {
    QString reason;
    if (std::optional<TRegHive> parsed = TRegHive::Parse(*bytes, rootName, &reason)) {
      hive = std::move(*parsed);
    } else {
      SetAside(path, reason);
      bytes.reset();
    }
  }
  for (const TRegChange& change : changes) ApplyChange(hive, change);

  if (!bytes && hive.Root().Values().empty() && hive.Root().Subkeys().empty()) return;
  const QByteArray text = hive.ToText();
  if (bytes && text == *bytes) return;
  if (!WriteFileAtomically(path, text, 0600, &error)) throw ERegistryException(error);
}
