#include "cleanup/ArchiveCatalogue.h"

#include "cleanup/ZipMaster.h"
#include "config/AtomicFile.h"
#include "config/IniFile.h"
#include "platform/DriveTable.h"
#include "platform/HiddenList.h"
#include "platform/HostNames.h"

#include <QDateTime>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const char ArchivesBinName[] = "Archives Bin";
const char ArchiveCatalogueName[] = "archives.ini";

namespace {

const QString Descriptions = QStringLiteral("Descriptions");
const QString FolderNames = QStringLiteral("FolderNames");
const QString OriginalPaths = QStringLiteral("OriginalPaths");

bool IsRegularFile(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString Shown(const QByteArray& host) { return DecodeEscapedUtf8(host); }

enum class TCatalogueState { Missing, Read, Unreadable, Damaged };

struct TLoadedCatalogue {
  TCatalogueState State = TCatalogueState::Missing;
  TIniDocument Doc;
  QByteArray Bytes;
  QString Why;  // why it cannot be used
};

// Binary bytes, or text without any of the catalogue's sections: something else than a
// catalogue, or one damaged beyond use. Blank files and comments are an empty catalogue.
bool LooksDamaged(const QByteArray& bytes, const TIniDocument& doc) {
  const bool utf16 = bytes.startsWith("\xFF\xFE");
  if (!utf16 && bytes.contains('\0')) return true;
  if (doc.HasSection(Descriptions) || doc.HasSection(FolderNames) || doc.HasSection(OriginalPaths)) return false;
  // Without a section of its own it is an empty catalogue only when it holds nothing but blank
  // lines and comments.
  const QString text = utf16 ? QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                                  (bytes.size() - 2) / 2)
                             : QString::fromUtf8(bytes);
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    QString t = line.trimmed();
    if (t.startsWith(QChar(0xFEFF))) t = t.mid(1).trimmed();
    if (!t.isEmpty() && !t.startsWith(QLatin1Char(';')) && !t.startsWith(QLatin1Char('#'))) return true;
  }
  return false;
}

// Reads the catalogue once; never opens anything but a regular file, never waits.
TLoadedCatalogue LoadCatalogue(const QByteArray& file) {
  TLoadedCatalogue out;
  bool missing = false;
  QString error;
  std::optional<QByteArray> bytes = ReadWholeFile(file, &missing, &error);
  if (!bytes) {
    out.State = missing ? TCatalogueState::Missing : TCatalogueState::Unreadable;
    out.Why = error;
    return out;
  }
  out.Bytes = *bytes;
  out.Doc = TIniDocument::Parse(*bytes);
  out.Doc.SetExactKeys(true);
  if (LooksDamaged(*bytes, out.Doc)) {
    out.State = TCatalogueState::Damaged;
    out.Why = QStringLiteral("it does not read as a catalogue");
  } else {
    out.State = TCatalogueState::Read;
  }
  return out;
}

// Renames a damaged catalogue to "archives.ini.damaged-YYYYMMDD-HHMMSS" (a number added when that
// is taken), provided it still holds the bytes that were judged.
bool SetAside(const QByteArray& file, const QByteArray& judged, QByteArray* aside, QString* error) {
  std::optional<QByteArray> now = ReadWholeFile(file, nullptr, error);
  if (!now || *now != judged) {
    if (now) *error = QStringLiteral("it changed while it was read");
    return false;
  }
  const QByteArray base =
      file + ".damaged-" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
  for (int n = 1; n < 1000; ++n) {
    const QByteArray name = n == 1 ? base : base + '-' + QByteArray::number(n);
    if (::renameat2(AT_FDCWD, file.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE) == 0) {
      *aside = name;
      return true;
    }
    if (errno != EEXIST) {
      *error = SystemErrorText(errno);
      return false;
    }
  }
  *error = QStringLiteral("no free name to set it aside under");
  return false;
}

// Before a write: a damaged catalogue is set aside (so that it is never rewritten), one that
// cannot be read stops the write.
void PrepareForWriting(const QByteArray& file) {
  const TLoadedCatalogue catalogue = LoadCatalogue(file);
  if (catalogue.State == TCatalogueState::Unreadable)
    throw EIniFileException(QStringLiteral("The catalogue %1 cannot be read (%2); it is left as it is")
                                .arg(Shown(file), catalogue.Why));
  if (catalogue.State != TCatalogueState::Damaged) return;
  QByteArray aside;
  QString error;
  if (!SetAside(file, catalogue.Bytes, &aside, &error))
    throw EIniFileException(QStringLiteral("The catalogue %1 is damaged and cannot be set aside (%2); it is left as it is")
                                .arg(Shown(file), error));
}

// The catalogue's values, read in one pass over the document: each key of a section once, with
// the value the first occurrence gives it (as TIniDocument::Value reads it). Keys compare exactly.
struct TCatalogueValues {
  std::vector<std::pair<QString, QString>> Descriptions;  // in catalogue order
  QHash<QString, QString> FolderNames;
  QHash<QString, QString> OriginalPaths;
};

QHash<QString, QString> ValuesOf(const TIniDocument& doc, const QString& section) {
  QHash<QString, QString> values;
  for (auto& [key, value] : doc.Entries(section)) values.insert(key, value);
  return values;
}

TCatalogueValues ValuesOf(const TIniDocument& doc) {
  return {doc.Entries(Descriptions), ValuesOf(doc, FolderNames), ValuesOf(doc, OriginalPaths)};
}

TArchiveRecord RecordFrom(const TCatalogueValues& values, const QString& key, const QString& description) {
  TArchiveRecord record;
  record.Key = key;
  record.Description = description;
  record.FolderName = values.FolderNames.value(key);
  const auto original = values.OriginalPaths.constFind(key);
  record.HasOriginalPath = original != values.OriginalPaths.cend() && !original->trimmed().isEmpty();
  record.OriginalPath = record.HasOriginalPath ? *original : ProgramDriveRoot();
  return record;
}

// An entry made from the archive itself: the folder all its members lie in; no original
// location. Nullopt when the file reads as no ZIP archive.
std::optional<TArchiveRecord> RecoverRecord(const QByteArray& path, const QString& key) {
  TZipMaster zip;
  zip.SetZipFilename(path);
  if (zip.Contents().empty()) return std::nullopt;
  QByteArray top;
  bool one = true;
  for (const TZipContentEntry& e : zip.Contents()) {
    QByteArray name = e.Name;
    while (name.startsWith("./")) name.remove(0, 2);
    const QByteArray first = name.left(name.indexOf('/'));
    const bool below = name.indexOf('/') > 0;
    if (first.isEmpty() || (!below && e.Type != S_IFDIR) || (!top.isEmpty() && first != top)) one = false;
    if (top.isEmpty()) top = first;
  }
  TArchiveRecord record;
  record.Key = key;
  record.FolderName = one ? DecodeHostName(std::string_view(top.constData(), size_t(top.size()))) : QString();
  record.Description = (record.FolderName.isEmpty() ? QStringLiteral("Archive") : record.FolderName + QStringLiteral(" Folder")) +
                       QStringLiteral(" (recovered from the archive)");
  record.OriginalPath = ProgramDriveRoot();
  record.HasOriginalPath = false;
  record.Recovered = true;
  return record;
}

// The archive-shaped file names in the folder, sorted.
std::vector<QString> ArchiveFilesIn(const QByteArray& folder) {
  std::vector<QString> names;
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return names;
  while (dirent* d = ::readdir(dir)) {
    const QString name = QString::fromLatin1(d->d_name);
    if (IsArchiveFileName(name)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// The archives an archive run is writing now: their temporary file (".KEY.part...") is locked.
std::set<QString> ArchivesBeingWritten(const QByteArray& folder) {
  std::set<QString> keys;
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return keys;
  std::vector<QByteArray> parts;
  while (dirent* d = ::readdir(dir)) {
    const QByteArray name(d->d_name);
    if (name.startsWith('.') && name.indexOf(".part") > 1) parts.push_back(name);
  }
  ::closedir(dir);
  for (const QByteArray& name : parts) {
    const int fd = ::open((folder + '/' + name).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK)
      keys.insert(QString::fromLatin1(name.mid(1, name.indexOf(".part") - 1)));
    ::close(fd);
  }
  return keys;
}

// Adds name to the ".hidden" file of folder (the file managers' hidden list) unless it is there.
bool HideInFolder(const QByteArray& folder, const QByteArray& name, QString* error) {
  const QByteArray path = (folder.endsWith('/') ? folder : folder + '/') + ".hidden";
  bool missing = false;
  std::optional<QByteArray> data = ReadWholeFile(path, &missing, error);
  if (!data && !missing) return false;
  QByteArray text = data.value_or(QByteArray());
  if (ParseHiddenList(text).contains(name)) return true;
  if (!text.isEmpty() && !text.endsWith('\n')) text += '\n';
  text += name + '\n';
  return WriteFileAtomically(path, text, 0644, error);
}

}  // namespace

std::optional<QByteArray> ArchivesFolderOf(QChar letter) {
  const TDriveMapping* drive = TDriveTable::Instance().Find(letter.toUpper());
  if (!drive) return std::nullopt;
  const QByteArray root = drive->HostRoot;
  return (root.endsWith('/') ? root : root + '/') + ArchivesBinName;
}

QString ArchivesFolderText(QChar letter) {
  return QString(letter.toUpper()) + QStringLiteral(":\\") + QLatin1String(ArchivesBinName);
}

bool EnsureArchivesFolder(QChar letter, QByteArray* folder, QString* error) {
  const QString failure = QStringLiteral("Could not create folder ") + ArchivesFolderText(letter);
  std::optional<QByteArray> path = ArchivesFolderOf(letter);
  if (!path) {
    *error = failure + QStringLiteral(" (no drive %1:)").arg(letter.toUpper());
    return false;
  }
  *folder = *path;
  struct stat st {};
  if (::lstat(path->constData(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    *error = failure + QStringLiteral(" (something else of that name is in the way)");
    return false;
  }
  if (::mkdir(path->constData(), 0755) != 0) {
    *error = failure + QStringLiteral(" (%1)").arg(SystemErrorText(errno));
    return false;
  }
  QString why;
  if (!HideInFolder(FolderOf(*path), ArchivesBinName, &why)) {
    // The folder works all the same; it is only shown.
  }
  return true;
}

QString NewArchiveName(QChar letter, const QByteArray& archivesFolder) {
  for (;;) {
    const quint32 number = QRandomGenerator::global()->bounded(2147483647u);
    const QString name = QString(letter.toUpper()) +
                         QStringLiteral("%1").arg(number, 7, 16, QLatin1Char('0')).toUpper() +
                         QStringLiteral(".ZIP");
    const QByteArray path = archivesFolder + '/' + name.toLatin1();
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 && errno == ENOENT) return name;
  }
}

bool IsArchiveFileName(const QString& name) {
  static const QRegularExpression shape(QStringLiteral("^[A-Z][0-9A-F]{7,8}\\.ZIP$"));
  return shape.match(name).hasMatch();
}

bool IsCatalogueKey(const QString& key) {
  if (key.isEmpty() || key.startsWith(QLatin1Char('.'))) return false;
  if (key.compare(QLatin1String(ArchiveCatalogueName), Qt::CaseInsensitive) == 0) return false;
  for (QChar c : key)
    if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
        c.unicode() < 0x20 || c.unicode() == HostBackslashChar || c.unicode() == HostColonChar)
      return false;
  return true;
}

QString ProgramDriveRoot() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n > 0) {
    if (std::optional<QString> drive = HostToDrive(QByteArray(buffer, int(n))))
      return drive->left(1).toUpper() + QStringLiteral(":\\");
  }
  return QStringLiteral("C:\\");
}

QByteArray TArchiveCatalogue::CatalogueFile() const { return folder_ + '/' + ArchiveCatalogueName; }

std::optional<QByteArray> TArchiveCatalogue::ArchivePath(const QString& key) const {
  if (!IsCatalogueKey(key)) return std::nullopt;
  return folder_ + '/' + EncodeEscapedUtf8(key);
}

std::vector<TArchiveRecord> TArchiveCatalogue::List(QStringList* notes, bool* unusable) {
  auto note = [notes](const QString& text) {
    if (notes) *notes << text;
  };
  const QByteArray file = CatalogueFile();
  TLoadedCatalogue catalogue = LoadCatalogue(file);
  bool explained = false;  // a note says already why archives are listed from their contents
  if (unusable)
    *unusable = catalogue.State == TCatalogueState::Damaged || catalogue.State == TCatalogueState::Unreadable;
  if (catalogue.State == TCatalogueState::Damaged) {
    QByteArray aside;
    QString error;
    if (SetAside(file, catalogue.Bytes, &aside, &error)) {
      note(QStringLiteral("The catalogue %1 is damaged (%2); it was set aside as %3, and the archives in the "
                          "folder are listed from their own contents.")
               .arg(Shown(file), catalogue.Why, Shown(aside)));
      catalogue = TLoadedCatalogue();
      explained = true;
    } else {
      catalogue.State = TCatalogueState::Unreadable;
      catalogue.Why += QStringLiteral(", and it cannot be set aside: ") + error;
    }
  }
  const bool writable = catalogue.State != TCatalogueState::Unreadable;
  explained = explained || !writable;
  if (!writable)
    note(QStringLiteral("The catalogue %1 cannot be read (%2); it is left as it is, and the archives in the "
                        "folder are listed from their own contents.")
             .arg(Shown(file), catalogue.Why));

  std::vector<TArchiveRecord> records;
  std::set<QString> listed;
  qsizetype keysLeft = 0;
  if (catalogue.State == TCatalogueState::Read) {
    const TCatalogueValues values = ValuesOf(catalogue.Doc);
    keysLeft = qsizetype(values.Descriptions.size());
    std::set<QString> beingWritten;
    bool looked = false;
    QStringList stale;
    for (const auto& [key, description] : values.Descriptions) {
      std::optional<QByteArray> path = ArchivePath(key);
      if (!path) continue;  // never a path to open or delete
      listed.insert(key);
      if (!IsRegularFile(*path)) {
        // An entry is written just before its archive gets its name: leave a run under way alone.
        if (!looked) beingWritten = ArchivesBeingWritten(folder_);
        looked = true;
        if (beingWritten.count(key)) continue;
        stale << key;
        continue;
      }
      records.push_back(RecordFrom(values, key, description));
    }
    if (!stale.isEmpty()) {
      TIniFile(file, true).DeleteKeys({Descriptions, FolderNames, OriginalPaths}, stale);
      keysLeft -= stale.size();
    }
  }
  QStringList recovered;
  for (const QString& key : ArchiveFilesIn(folder_)) {
    if (listed.count(key)) continue;
    const QByteArray path = *ArchivePath(key);
    if (!IsRegularFile(path)) continue;
    std::optional<TArchiveRecord> record = RecoverRecord(path, key);
    if (!record) continue;
    records.push_back(*record);
    recovered << key;
  }
  if (writable && !recovered.isEmpty()) {
    try {
      AddAll(std::vector<TArchiveRecord>(records.end() - recovered.size(), records.end()));
      keysLeft += recovered.size();
    } catch (const EIniFileException& e) {
      note(e.Message());
    }
  }
  if (!recovered.isEmpty() && !explained)
    note(QStringLiteral("The catalogue did not list %1; %2 listed from the archive's own contents, without the "
                        "folder it came from.")
             .arg(recovered.join(QStringLiteral(", ")),
                  recovered.size() == 1 ? QStringLiteral("it is") : QStringLiteral("they are")));
  if (writable && keysLeft == 0 && records.empty()) {
    struct stat st {};
    if (catalogue.State == TCatalogueState::Read && ::lstat(file.constData(), &st) == 0) ::unlink(file.constData());
    ::rmdir(folder_.constData());  // only when it holds nothing else
  }
  return records;
}

std::optional<TArchiveRecord> TArchiveCatalogue::Find(const QString& key) const {
  if (!IsCatalogueKey(key)) return std::nullopt;
  const TLoadedCatalogue catalogue = LoadCatalogue(CatalogueFile());
  // The key as spelled, else the only one that differs from it in case alone.
  auto pick = [&key](const QStringList& candidates) -> std::optional<QString> {
    if (candidates.contains(key)) return key;
    QStringList near;
    for (const QString& c : candidates)
      if (c.compare(key, Qt::CaseInsensitive) == 0) near << c;
    if (near.size() == 1) return near.first();
    return std::nullopt;
  };
  QSet<QString> keys;
  if (catalogue.State == TCatalogueState::Read) {
    const TCatalogueValues values = ValuesOf(catalogue.Doc);
    QStringList candidates;
    for (const auto& [k, description] : values.Descriptions)
      if (IsCatalogueKey(k)) {
        candidates << k;
        keys.insert(k);
      }
    if (std::optional<QString> found = pick(candidates)) {
      for (const auto& [k, description] : values.Descriptions)
        if (k == *found) return RecordFrom(values, k, description);
    }
  }
  QStringList files;
  for (const QString& name : ArchiveFilesIn(folder_))
    if (!keys.contains(name)) files << name;
  if (std::optional<QString> found = pick(files)) {
    const QByteArray path = *ArchivePath(*found);
    if (IsRegularFile(path)) return RecoverRecord(path, *found);
  }
  return std::nullopt;
}

void TArchiveCatalogue::Add(const TArchiveRecord& record) { AddAll({record}); }

void TArchiveCatalogue::AddAll(const std::vector<TArchiveRecord>& records) {
  PrepareForWriting(CatalogueFile());
  std::vector<std::pair<QString, QString>> descriptions, folderNames, originalPaths;
  for (const TArchiveRecord& record : records) {
    descriptions.emplace_back(record.Key, record.Description);
    folderNames.emplace_back(record.Key, record.FolderName);
    if (record.HasOriginalPath) originalPaths.emplace_back(record.Key, record.OriginalPath);
  }
  TIniFile(CatalogueFile(), true).Change([&](TIniDocument& doc) {
    bool changed = doc.SetValues(Descriptions, descriptions);
    changed = doc.SetValues(FolderNames, folderNames) || changed;
    if (!originalPaths.empty()) changed = doc.SetValues(OriginalPaths, originalPaths) || changed;
    return changed;
  });
}

void TArchiveCatalogue::SetDescription(const QString& key, const QString& description) {
  if (!IsCatalogueKey(key)) return;
  PrepareForWriting(CatalogueFile());
  TIniFile(CatalogueFile(), true).WriteString(Descriptions, key, description);
}

void TArchiveCatalogue::RemoveKeys(const QString& key) {
  TIniFile(CatalogueFile(), true).DeleteKeys({Descriptions, FolderNames, OriginalPaths}, {key});
}

bool TArchiveCatalogue::DeleteArchive(const QString& key, QString* error) {
  std::optional<QByteArray> path = ArchivePath(key);
  if (!path) {
    *error = QStringLiteral("\"%1\" is not the name of an archive").arg(key);
    return false;
  }
  const TLoadedCatalogue catalogue = LoadCatalogue(CatalogueFile());
  if (catalogue.State == TCatalogueState::Unreadable || catalogue.State == TCatalogueState::Damaged) {
    *error = QStringLiteral("Could not delete archive %1 (the catalogue cannot be read: %2)")
                 .arg(Shown(*path), catalogue.Why);
    return false;
  }
  if (::unlink(path->constData()) != 0) {
    *error = QStringLiteral("Could not delete archive ") + Shown(*path) +
             QStringLiteral(" (%1)").arg(SystemErrorText(errno));
    return false;
  }
  RemoveKeys(key);
  List();
  return true;
}
