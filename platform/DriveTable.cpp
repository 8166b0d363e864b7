#include "platform/DriveTable.h"

#include "platform/HostNames.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsDirectoryHost(const QByteArray& path) {
  struct stat st {};
  return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QByteArray HomeFolder() {
  QByteArray home = qgetenv("HOME");
  if (home.isEmpty()) {
    if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
  }
  return home.isEmpty() ? QByteArray() : CleanHostPath(home);
}

// The working folder; empty when it cannot be told (removed, or deeper than PATH_MAX), so that
// a relative path is not silently taken as one below "/".
QByteArray WorkingFolder() {
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return QByteArray();
  QByteArray folder(cwd);
  std::free(cwd);
  return folder.startsWith('/') ? folder : QByteArray();
}

bool IsUnder(const QByteArray& path, const QByteArray& root) {
  if (root == "/") return path.startsWith('/');
  return path == root || (path.startsWith(root) && path.size() > root.size() && path[root.size()] == '/');
}

// "removable" flag of the block device behind a /dev/ source (or of its whole disk).
bool IsRemovableBlockDevice(const QByteArray& source) {
  if (!source.startsWith("/dev/")) return false;
  char real[PATH_MAX];
  if (!::realpath(source.constData(), real)) return false;
  const QByteArray name = QByteArray(real).mid(QByteArray(real).lastIndexOf('/') + 1);
  const QByteArray sys = "/sys/class/block/" + name;
  char sysReal[PATH_MAX];
  if (!::realpath(sys.constData(), sysReal)) return false;
  QByteArray dir(sysReal);
  if (QFile::exists(QString::fromLocal8Bit(dir + "/partition"))) dir = dir.left(dir.lastIndexOf('/'));
  QFile flag(QString::fromLocal8Bit(dir + "/removable"));
  return flag.open(QIODevice::ReadOnly) && flag.readAll().trimmed() == "1";
}

}  // namespace

QByteArray CleanHostPath(const QByteArray& path) {
  QList<QByteArray> parts;
  for (const QByteArray& c : path.split('/')) {
    if (c.isEmpty() || c == ".") continue;
    if (c == "..") {
      if (!parts.isEmpty()) parts.removeLast();
      continue;
    }
    parts.append(c);
  }
  QByteArray out;
  for (const QByteArray& c : parts) out += '/' + c;
  return out.isEmpty() ? QByteArray("/") : out;
}

std::vector<TDriveMapping> ParseDriveMappings(const QByteArray& mappings, QString* errors) {
  std::vector<TDriveMapping> table;
  auto complain = [&](const QString& text) {
    if (errors) *errors += text + QLatin1Char('\n');
  };
  for (const QByteArray& rawEntry : mappings.split(';')) {
    const QByteArray entry = rawEntry.trimmed();
    if (entry.isEmpty()) continue;
    const qsizetype eq = entry.indexOf('=');
    const QByteArray letterPart = eq >= 0 ? entry.left(eq).trimmed() : QByteArray();
    const QByteArray path = eq >= 0 ? entry.mid(eq + 1) : QByteArray();
    const char letter = letterPart.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(letterPart[0]))) : 0;
    if (letter < 'C' || letter > 'Z') {
      complain(QStringLiteral("Ignored drive \"%1\": expected a letter from C to Z, \"=\" and a folder")
                   .arg(QString::fromLocal8Bit(entry)));
      continue;
    }
    if (!path.startsWith('/')) {
      complain(QStringLiteral("Ignored drive %1: \"%2\" is not an absolute folder")
                   .arg(QLatin1Char(letter))
                   .arg(QString::fromLocal8Bit(path)));
      continue;
    }
    if (std::any_of(table.begin(), table.end(), [&](const TDriveMapping& m) { return m.Letter == letter; })) {
      complain(QStringLiteral("Ignored drive %1: the letter is given twice").arg(QLatin1Char(letter)));
      continue;
    }
    table.push_back({letter, CleanHostPath(path)});
  }
  std::sort(table.begin(), table.end(),
            [](const TDriveMapping& a, const TDriveMapping& b) { return a.Letter < b.Letter; });
  return table;
}

std::vector<TDriveMapping> AutomaticDrives(const std::vector<TMountEntry>& mounts,
                                           const QByteArray& homeFolder,
                                           const std::vector<TDriveMapping>& remembered,
                                           const std::vector<TDriveMapping>& mapped) {
  std::vector<TDriveMapping> table;
  table.push_back({'C', QByteArray("/")});
  const QByteArray home = homeFolder.isEmpty() ? QByteArray() : CleanHostPath(homeFolder);
  if (!home.isEmpty() && home != "/") table.push_back({'H', home});

  auto taken = [&](char letter) {
    return std::any_of(table.begin(), table.end(), [&](const TDriveMapping& m) { return m.Letter == letter; });
  };
  auto isMapped = [&](const QByteArray& root) {
    return std::any_of(table.begin(), table.end(), [&](const TDriveMapping& m) { return m.HostRoot == root; });
  };
  // The user's mapped folders keep their letters.
  for (const TDriveMapping& m : mapped) {
    if (m.Letter < 'C' || m.Letter > 'Z' || !m.HostRoot.startsWith('/') || taken(m.Letter)) continue;
    table.push_back({m.Letter, CleanHostPath(m.HostRoot)});
  }

  // A part of a file system that is also mounted whole elsewhere (a bind mount) is no drive of
  // its own. A part mounted alone, as btrfs subvolumes are (each with a device number of its
  // own), is.
  auto mountedWhole = [&](const TMountEntry& part) {
    return std::any_of(mounts.begin(), mounts.end(), [&](const TMountEntry& m) {
      return m.Major == part.Major && m.Minor == part.Minor && m.Root == "/";
    });
  };
  std::vector<QByteArray> fresh;
  for (const TMountEntry& e : mounts) {
    if (!HoldsUserData(e) || (e.Root != "/" && mountedWhole(e))) continue;
    const QByteArray mp = CleanHostPath(e.MountPoint);
    if (isMapped(mp) || std::find(fresh.begin(), fresh.end(), mp) != fresh.end() || !IsDirectoryHost(mp)) continue;
    // A mount point seen before gets its letter back when that is free.
    const auto before = std::find_if(remembered.begin(), remembered.end(), [&](const TDriveMapping& r) {
      return r.Letter >= 'D' && r.Letter <= 'Z' && CleanHostPath(r.HostRoot) == mp;
    });
    if (before != remembered.end() && !taken(before->Letter))
      table.push_back({before->Letter, mp});
    else
      fresh.push_back(mp);
  }
  // New mount points take the first free letter from D: on, passing over the letters of mount
  // points that are absent now while other letters are free.
  auto reserved = [&](char letter) {
    return std::any_of(remembered.begin(), remembered.end(), [&](const TDriveMapping& r) { return r.Letter == letter; });
  };
  for (const QByteArray& mp : fresh) {
    char pick = 0;
    for (char l = 'D'; l <= 'Z' && !pick; ++l)
      if (!taken(l) && !reserved(l)) pick = l;
    for (char l = 'D'; l <= 'Z' && !pick; ++l)
      if (!taken(l)) pick = l;
    if (!pick) break;
    table.push_back({pick, mp});
  }
  std::sort(table.begin(), table.end(),
            [](const TDriveMapping& a, const TDriveMapping& b) { return a.Letter < b.Letter; });
  return table;
}

TDriveTable& TDriveTable::Instance() {
  static TDriveTable table;
  return table;
}

TDriveTable::TDriveTable() { Reload(); }

void TDriveTable::Reload() {
  userMapped_.clear();
  if (qEnvironmentVariableIsSet("KORVANE_DRIVES")) {
    QString errors;
    mappings_ = ParseDriveMappings(qgetenv("KORVANE_DRIVES"), &errors);
    if (!errors.isEmpty()) qWarning("KORVANE_DRIVES: %s", qPrintable(errors.trimmed()));
    return;
  }
  std::vector<TDriveMapping> remembered;
  if (store_) {
    remembered = store_->Remembered();
    userMapped_ = store_->Mapped();
  }
  const QByteArray home = HomeFolder();
  mappings_ = AutomaticDrives(ReadMountTable(), home, remembered, userMapped_);
  // Keep the mapped folders that made it into the table, and remember the letters given to
  // mount points that are new or changed letter.
  auto inTable = [&](const TDriveMapping& m) {
    return std::any_of(mappings_.begin(), mappings_.end(), [&](const TDriveMapping& t) {
      return t.Letter == m.Letter && t.HostRoot == CleanHostPath(m.HostRoot);
    });
  };
  userMapped_.erase(std::remove_if(userMapped_.begin(), userMapped_.end(), [&](const TDriveMapping& m) { return !inTable(m); }),
                    userMapped_.end());
  if (!store_) return;
  std::vector<TDriveMapping> given;
  for (const TDriveMapping& m : mappings_) {
    if (m.Letter == 'C' || (m.Letter == 'H' && m.HostRoot == CleanHostPath(home))) continue;
    auto same = [&](const TDriveMapping& r) { return r.Letter == m.Letter && CleanHostPath(r.HostRoot) == m.HostRoot; };
    if (std::any_of(userMapped_.begin(), userMapped_.end(), same) || std::any_of(remembered.begin(), remembered.end(), same))
      continue;
    given.push_back(m);
  }
  if (!given.empty()) store_->Remember(given);
}

void TDriveTable::SetLetterStore(IDriveLetterStore* store) {
  store_ = store;
  Reload();
}

void TDriveTable::SetMappings(std::vector<TDriveMapping> mappings) {
  for (TDriveMapping& m : mappings) m.HostRoot = CleanHostPath(m.HostRoot);
  std::sort(mappings.begin(), mappings.end(),
            [](const TDriveMapping& a, const TDriveMapping& b) { return a.Letter < b.Letter; });
  mappings_ = std::move(mappings);
}

const TDriveMapping* TDriveTable::Find(QChar letter) const {
  const char16_t up = letter.toUpper().unicode();
  for (const TDriveMapping& m : mappings_)
    if (m.Letter == up) return &m;
  return nullptr;
}

QString TDriveTable::Letters() const {
  QString letters;
  for (const TDriveMapping& m : mappings_) letters += QLatin1Char(m.Letter);
  return letters;
}

bool MapDriveLetter(char letter, const QByteArray& hostFolder, QString* error) {
  auto fail = [&](const QString& text) {
    if (error) *error = text;
    return false;
  };
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (letter < 'C' || letter > 'Z') return fail(QStringLiteral("A drive letter must be one of C to Z"));
  TDriveTable& table = TDriveTable::Instance();
  if (table.Find(QLatin1Char(letter)))
    return fail(QStringLiteral("The drive letter %1: is already in use").arg(QLatin1Char(letter)));
  if (!hostFolder.startsWith('/') || !IsDirectoryHost(hostFolder))
    return fail(QStringLiteral("%1 is not a folder").arg(QString::fromLocal8Bit(hostFolder)));
  const QByteArray root = CleanHostPath(hostFolder);
  if (table.store_ && !table.store_->Map(letter, root, error)) return false;
  table.userMapped_.push_back({letter, root});
  std::vector<TDriveMapping> mappings = table.mappings_;
  mappings.push_back({letter, root});
  table.SetMappings(std::move(mappings));
  return true;
}

bool UnmapDriveLetter(char letter, QString* error) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  TDriveTable& table = TDriveTable::Instance();
  const auto mapped = std::find_if(table.userMapped_.begin(), table.userMapped_.end(),
                                   [&](const TDriveMapping& m) { return m.Letter == letter; });
  if (mapped == table.userMapped_.end()) {
    if (error) *error = QStringLiteral("%1: is not a mapped drive").arg(QLatin1Char(letter));
    return false;
  }
  if (table.store_ && !table.store_->Unmap(letter, error)) return false;
  table.userMapped_.erase(mapped);
  std::vector<TDriveMapping> mappings = table.mappings_;
  mappings.erase(std::remove_if(mappings.begin(), mappings.end(), [&](const TDriveMapping& m) { return m.Letter == letter; }),
                 mappings.end());
  table.SetMappings(std::move(mappings));
  return true;
}

std::optional<TDrivePathParts> SplitDrivePath(const QString& drivePath) {
  if (drivePath.size() < 2 || drivePath[1] != QLatin1Char(':')) return std::nullopt;
  // A NUL would end the host path early in every system call ("..\0" would be read as ".."),
  // so such a text reaches no entry at all.
  if (drivePath.contains(QChar(u'\0'))) return std::nullopt;
  TDrivePathParts parts;
  parts.Drive = TDriveTable::Instance().Find(drivePath[0]);
  if (!parts.Drive) return std::nullopt;
  const QStringView rest = QStringView(drivePath).mid(2);
  if (!rest.isEmpty() && rest[0] != QLatin1Char('\\') && rest[0] != QLatin1Char('/')) return std::nullopt;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= rest.size(); ++i) {
    if (i < rest.size() && rest[i] != QLatin1Char('\\') && rest[i] != QLatin1Char('/')) continue;
    const QStringView c = rest.mid(start, i - start);
    start = i + 1;
    if (c.isEmpty() || c == QLatin1String(".")) continue;
    if (c == QLatin1String("..")) {
      if (!parts.Components.isEmpty()) parts.Components.removeLast();
      continue;
    }
    parts.Components.append(EncodeHostName(c));
  }
  return parts;
}

std::optional<QByteArray> DriveToHost(const QString& drivePath) {
  const std::optional<TDrivePathParts> parts = SplitDrivePath(drivePath);
  if (!parts) return std::nullopt;
  QByteArray host = parts->Drive->HostRoot;
  for (const QByteArray& c : parts->Components) {
    if (!host.endsWith('/')) host += '/';
    host += c;
  }
  return host;
}

std::optional<QString> HostToDrive(const QByteArray& hostPath) {
  if (hostPath.isEmpty() || hostPath.contains('\0')) return std::nullopt;
  QByteArray absolute = hostPath;
  if (!hostPath.startsWith('/')) {
    const QByteArray cwd = WorkingFolder();
    if (cwd.isEmpty()) return std::nullopt;
    absolute = cwd + '/' + hostPath;
  }
  const QByteArray path = CleanHostPath(absolute);
  const TDriveMapping* best = nullptr;
  for (const TDriveMapping& m : TDriveTable::Instance().Mappings()) {
    if (!IsUnder(path, m.HostRoot)) continue;
    if (!best || m.HostRoot.size() > best->HostRoot.size()) best = &m;
  }
  if (!best) return std::nullopt;
  QString drive = QLatin1Char(best->Letter) + QStringLiteral(":\\");
  const QByteArray rest = best->HostRoot == "/" ? path.mid(1) : path.mid(best->HostRoot.size() + 1);
  if (rest.isEmpty()) return drive;
  bool first = true;
  for (const QByteArray& c : rest.split('/')) {
    if (!first) drive += QLatin1Char('\\');
    drive += DecodeHostName(std::string_view(c.constData(), static_cast<size_t>(c.size())));
    first = false;
  }
  return drive;
}

std::optional<TMountEntry> DriveMount(QChar letter) {
  const TDriveMapping* drive = TDriveTable::Instance().Find(letter);
  if (!drive) return std::nullopt;
  const std::vector<TMountEntry> mounts = ReadMountTable();
  char real[PATH_MAX];
  const QByteArray root = ::realpath(drive->HostRoot.constData(), real) ? QByteArray(real) : drive->HostRoot;
  const TMountEntry* m = MountContaining(mounts, root);
  if (!m) return std::nullopt;
  return *m;
}

TDriveType DriveTypeOf(QChar letter) {
  const TDriveMapping* drive = TDriveTable::Instance().Find(letter);
  if (!drive) return TDriveType::NoRootDir;
  const std::optional<TMountEntry> m = DriveMount(letter);
  if (!m) return TDriveType::Fixed;
  if (m->FsType == "iso9660" || m->FsType == "udf") return TDriveType::CdRom;
  if (IsNetworkFsType(m->FsType)) return TDriveType::Remote;
  if (m->FsType == "tmpfs" || m->FsType == "ramfs") return TDriveType::RamDisk;
  if (IsUnder(m->MountPoint, "/media") || IsUnder(m->MountPoint, "/run/media") ||
      IsRemovableBlockDevice(m->Source))
    return TDriveType::Removable;
  return TDriveType::Fixed;
}
