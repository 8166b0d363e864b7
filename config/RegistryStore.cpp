#include "config/RegistryStore.h"

#include "config/AtomicFile.h"
#include "config/FileLock.h"
#include "config/SettingsWarnings.h"

#include <QDateTime>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

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
      const int code = errno;
      if (error)
        *error = QStringLiteral("Cannot create the registry folder %1: %2")
                     .arg(QString::fromLocal8Bit(prefix), SystemErrorText(code));
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

// Hives that could not be read in this run, by path. What they hold is not in memory (the
// defaults stand in for it), so writing to them would replace the user's settings with the
// defaults: nothing is written to them until the program ends.
struct TUnreadableHives {
  QMutex Lock;
  QSet<QByteArray> Paths;
};

TUnreadableHives& UnreadableHives() {
  static TUnreadableHives hives;
  return hives;
}

bool IsUnreadable(const QByteArray& path) {
  TUnreadableHives& hives = UnreadableHives();
  const QMutexLocker locker(&hives.Lock);
  return hives.Paths.contains(path);
}

// what: the failure as a sentence without its full stop ("Cannot open ...: Permission denied").
void MarkUnreadable(const QByteArray& path, const QString& what) {
  {
    TUnreadableHives& hives = UnreadableHives();
    const QMutexLocker locker(&hives.Lock);
    hives.Paths.insert(path);
  }
  AddSettingsWarning(what + QStringLiteral(". The default settings apply, and the settings file is left as it is: "
                                           "no setting is saved to it while the program runs."),
                     "unreadable:" + path);
}

void SayNotSaved(const QByteArray& path) {
  AddSettingsWarning(QStringLiteral("The settings were not saved to %1: it could not be read, and it is left as it is.")
                         .arg(QString::fromLocal8Bit(path)),
                     "not saved:" + path);
}

// Renames a hive that cannot be parsed out of the way, to a name no other file has. When it
// cannot be renamed, it counts as unreadable, so that it is not overwritten either.
void SetAside(const QByteArray& path, const QString& reason) {
  const QByteArray stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
  QByteArray aside = path + ".corrupt-" + stamp;
  struct stat st {};
  for (int n = 2; ::lstat(aside.constData(), &st) == 0; ++n) aside = path + ".corrupt-" + stamp + '-' + QByteArray::number(n);
  if (::rename(path.constData(), aside.constData()) == 0) {
    AddSettingsWarning(QStringLiteral("The settings file %1 cannot be read (%2); it was renamed to %3 and the "
                                      "default settings apply.")
                           .arg(QString::fromLocal8Bit(path), reason, QString::fromLocal8Bit(aside)));
  } else {
    const int code = errno;
    MarkUnreadable(path, QStringLiteral("The settings file %1 cannot be read (%2) nor renamed (%3)")
                             .arg(QString::fromLocal8Bit(path), reason, SystemErrorText(code)));
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

TRegFileState TRegFileState::Of(const std::optional<QByteArray>& bytes) {
  TRegFileState state;
  state.Known = true;
  state.Missing = !bytes;
  if (bytes) {
    state.Size = bytes->size();
    state.Hash = qHash(QByteArrayView(*bytes));
  }
  return state;
}

TRegHive LoadHive(TRegRoot root, TRegFileState* state) {
  const QByteArray path = HivePath(root);
  const QString rootName = RootKeyName(root);
  if (state) *state = TRegFileState();
  bool missing = false;
  QString error;
  std::optional<QByteArray> bytes = ReadWholeFile(path, &missing, &error);
  if (!bytes) {
    if (!missing) {
      MarkUnreadable(path, error);
    } else if (state) {
      *state = TRegFileState::Of(std::nullopt);
    }
    return TRegHive(rootName);
  }
  if (std::optional<TRegHive> hive = TRegHive::Parse(*bytes, rootName)) {
    if (state) *state = TRegFileState::Of(bytes);
    return std::move(*hive);
  }

  // Look again under the lock: another copy of the program may have just replaced the file, or
  // may already have set it aside.
  const TFileLock lock = LockHive(path);
  bytes = ReadWholeFile(path, &missing, &error);
  if (!bytes) {
    if (!missing) MarkUnreadable(path, error);
    return TRegHive(rootName);
  }
  QString reason;
  if (std::optional<TRegHive> hive = TRegHive::Parse(*bytes, rootName, &reason)) {
    if (state) *state = TRegFileState::Of(bytes);
    return std::move(*hive);
  }
  if (lock.Held())
    SetAside(path, reason);
  else
    MarkUnreadable(path, QStringLiteral("The settings file %1 cannot be read (%2) nor locked to be set aside (%3)")
                             .arg(QString::fromLocal8Bit(path), reason, SystemErrorText(lock.Error())));
  return TRegHive(rootName);
}

void CommitChanges(TRegRoot root, const TRegChanges& changes, const TRegHive& own, TRegFileState* state) {
  if (changes.Empty()) return;
  const QByteArray folder = RegistryFolder();
  const QByteArray path = folder + '/' + HiveFileName(root);
  const QString rootName = RootKeyName(root);
  if (IsUnreadable(path)) {
    SayNotSaved(path);
    return;
  }
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
  if (!bytes && !missing) {
    MarkUnreadable(path, error);
    SayNotSaved(path);
    return;
  }

  // Nobody wrote the file since the accessor read it: its copy is the result.
  const bool unchanged = state && state->Known && *state == TRegFileState::Of(bytes);
  if (state) *state = TRegFileState();
  TRegHive merged(rootName);
  const TRegHive* result = &own;
  if (!unchanged) {
    if (bytes) {
      QString reason;
      if (std::optional<TRegHive> parsed = TRegHive::Parse(*bytes, rootName, &reason)) {
        merged = std::move(*parsed);
      } else {
        SetAside(path, reason);
        if (IsUnreadable(path)) {
          SayNotSaved(path);
          return;
        }
        bytes.reset();
      }
    }
    changes.ApplyTo(merged, own);
    result = &merged;
  }

  if (!bytes && result->Root().Values().empty() && result->Root().Subkeys().empty()) {
    if (unchanged) *state = TRegFileState::Of(bytes);
    return;
  }
  const QByteArray text = result->ToText();
  if (bytes && text == *bytes) {
    if (unchanged) *state = TRegFileState::Of(bytes);
    return;
  }
  if (!WriteFileAtomically(path, text, 0600, &error)) throw ERegistryException(error);
  // The accessor's copy is what the file holds now only when it was written as it stands.
  if (unchanged) *state = TRegFileState::Of(text);
}
