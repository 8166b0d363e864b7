#include "cleanup/ArchiveCatalogue.h"

#include "config/AtomicFile.h"
#include "config/IniFile.h"
#include "platform/DriveTable.h"
#include "platform/HiddenList.h"
#include "platform/HostNames.h"

#include <QHash>
#include <QRandomGenerator>

#include <cerrno>
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

std::vector<TArchiveRecord> TArchiveCatalogue::List() {
  TIniFile ini(CatalogueFile());
  // One read and one write at most, however many entries the catalogue holds.
  const TIniDocument doc = ini.ReadDocument();
  QHash<QString, QString> folderNames, originalPaths;
  for (const auto& [key, value] : doc.Entries(FolderNames)) folderNames.insert(IniNameKey(key), value);
  for (const auto& [key, value] : doc.Entries(OriginalPaths)) originalPaths.insert(IniNameKey(key), value);
  std::optional<QString> programRoot;
  std::vector<TArchiveRecord> records;
  QStringList gone;
  for (const auto& [key, description] : doc.Entries(Descriptions)) {
    std::optional<QByteArray> path = ArchivePath(key);
    if (!path) continue;  // never a path to open or delete
    if (!IsRegularFile(*path)) {
      gone << key;
      continue;
    }
    TArchiveRecord record;
    record.Key = key;
    record.Description = description;
    record.FolderName = folderNames.value(IniNameKey(key));
    const auto original = originalPaths.constFind(IniNameKey(key));
    if (original != originalPaths.cend()) {
      record.OriginalPath = *original;
    } else {
      if (!programRoot) programRoot = ProgramDriveRoot();
      record.OriginalPath = *programRoot;
    }
    records.push_back(record);
  }
  if (!gone.isEmpty()) ini.DeleteKeys({Descriptions, FolderNames, OriginalPaths}, gone);
  if (ini.ReadSection(Descriptions).isEmpty()) {
    struct stat st {};
    if (::lstat(CatalogueFile().constData(), &st) == 0) ::unlink(CatalogueFile().constData());
    ::rmdir(folder_.constData());  // only when it holds nothing else
  }
  return records;
}

std::optional<TArchiveRecord> TArchiveCatalogue::Find(const QString& key) const {
  if (!IsCatalogueKey(key)) return std::nullopt;
  TIniFile ini(CatalogueFile());
  for (const QString& listed : ini.ReadSection(Descriptions)) {
    if (listed.compare(key, Qt::CaseInsensitive) != 0) continue;
    TArchiveRecord record;
    record.Key = listed;
    record.Description = ini.ReadString(Descriptions, listed, QString());
    record.FolderName = ini.ReadString(FolderNames, listed, QString());
    record.OriginalPath = ini.ValueExists(OriginalPaths, listed)
                              ? ini.ReadString(OriginalPaths, listed, QString())
                              : ProgramDriveRoot();
    return record;
  }
  return std::nullopt;
}

void TArchiveCatalogue::Add(const TArchiveRecord& record) {
  TIniFile ini(CatalogueFile());
  ini.WriteString(Descriptions, record.Key, record.Description);
  ini.WriteString(FolderNames, record.Key, record.FolderName);
  ini.WriteString(OriginalPaths, record.Key, record.OriginalPath);
}

void TArchiveCatalogue::SetDescription(const QString& key, const QString& description) {
  if (!IsCatalogueKey(key)) return;
  TIniFile(CatalogueFile()).WriteString(Descriptions, key, description);
}

void TArchiveCatalogue::RemoveKeys(const QString& key) {
  TIniFile ini(CatalogueFile());
  ini.DeleteKey(Descriptions, key);
  ini.DeleteKey(FolderNames, key);
  ini.DeleteKey(OriginalPaths, key);
}

bool TArchiveCatalogue::DeleteArchive(const QString& key, QString* error) {
  std::optional<QByteArray> path = ArchivePath(key);
  if (!path) {
    *error = QStringLiteral("\"%1\" is not the name of an archive").arg(key);
    return false;
  }
  if (::unlink(path->constData()) != 0) {
    *error = QStringLiteral("Could not delete archive ") + DecodeEscapedUtf8(*path) +
             QStringLiteral(" (%1)").arg(SystemErrorText(errno));
    return false;
  }
  RemoveKeys(key);
  List();
  return true;
}
