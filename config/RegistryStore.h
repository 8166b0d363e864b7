#pragma once
// The registry's hive files: one file per root key in the registry folder, read whole, changed
// under a lock and replaced atomically.
//
// Folder: $KORVANE_REGISTRY_DIR when set, else $XDG_CONFIG_HOME/korvane, else ~/.config/korvane.
// Files:  current-user.reg (HKEY_CURRENT_USER), classes-root.reg (HKEY_CLASSES_ROOT), each with a
//         lock file beside it (current-user.reg.lock) that every writer locks (flock) while it
//         re-reads the hive, applies its own changes and replaces the file.
// A hive that cannot be parsed is renamed to current-user.reg.corrupt-YYYYMMDD-HHMMSS (never
// overwritten) and the store carries on as if it were empty. A hive that cannot be read at all
// (no permission, an I/O error, no regular file: a FIFO or a device is never opened) reads as
// empty too, but is left as it is: nothing is written to it for the rest of the run, since the
// settings in it are not known. Each of these is said once (SettingsWarnings.h).
// A symbolic link in place of a hive file stays a link: the file it names is read and replaced.
// A person may edit a hive file (RegistryHive.h gives the format); the store keeps every key and
// value, but not comments or blank lines, when it next writes the file.

#include "config/RegistryChanges.h"
#include "config/RegistryHive.h"

#include <QByteArray>
#include <QString>

#include <optional>

enum class TRegRoot { CurrentUser, ClassesRoot };

// "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT".
QString RootKeyName(TRegRoot root);
// The registry folder, read from the environment each time.
QByteArray RegistryFolder();
// "current-user.reg", "classes-root.reg".
QByteArray HiveFileName(TRegRoot root);
QByteArray HivePath(TRegRoot root);

// What a hive file held when it was read or written last: missing, or bytes of that size and hash.
// When the file still holds the same at the next write, the accessor's copy is the file's content
// with its own changes made, and it is written as it stands, without a merge.
struct TRegFileState {
  bool Known = false;
  bool Missing = false;
  qsizetype Size = 0;
  size_t Hash = 0;

  static TRegFileState Of(const std::optional<QByteArray>& bytes);
  bool operator==(const TRegFileState& other) const = default;
};

// The hive as it is on disk. A missing or unreadable file reads as an empty hive (an unreadable
// one is marked so that no commit replaces it); a file that cannot be parsed is set aside first.
// Never throws.
// *state (when given) tells what the file held.
TRegHive LoadHive(TRegRoot root, TRegFileState* state = nullptr);

// Under the hive's lock: re-reads the hive file, applies the changes (RegistryChanges.h: each
// changed value as own holds it) and replaces the file (it is not touched when nothing changed).
// The changes of other writers since this process read the hive stay. A hive that could not be
// read in this run, at any load or now, is left as it is and the changes are dropped, with one
// warning per run. Throws ERegistryException when the folder or file cannot be written.
// *state: what the file held when own was read from it, or written from it, last; updated here.
void CommitChanges(TRegRoot root, const TRegChanges& changes, const TRegHive& own, TRegFileState* state = nullptr);
