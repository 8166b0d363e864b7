#include "cleanup/ProtectedFolders.h"

#include "cleanup/Trash.h"
#include "platform/DriveTable.h"

#include <pwd.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <vector>

namespace {

struct TProtected {
  dev_t Dev;
  ino_t Ino;
  QString Kind;
};

// Read afresh for every question: HOME, the drive table and the trash may change between calls
// (tests change them), and a few stat calls cost nothing beside the operation asked about.
std::vector<TProtected> ProtectedFolders() {
  std::vector<TProtected> out;
  auto add = [&](const QByteArray& path, const QString& kind) {
    struct stat st {};
    if (!path.isEmpty() && ::stat(path.constData(), &st) == 0) out.push_back({st.st_dev, st.st_ino, kind});
  };
  add("/", QStringLiteral("the root folder /"));
  QByteArray home = qgetenv("HOME");
  if (!home.startsWith('/'))
    if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
  add(home, QStringLiteral("the home folder"));
  for (const TDriveMapping& m : TDriveTable::Instance().Mappings())
    add(m.HostRoot, QStringLiteral("the root of drive %1:").arg(QLatin1Char(m.Letter)));
  add(HomeTrashFolder(), QStringLiteral("the trash"));
  return out;
}

}  // namespace

struct TProtectedFoldersSnapshot::TData {
  std::vector<TProtected> Folders;
};

namespace {

thread_local const TProtectedFoldersSnapshot::TData* snapshot = nullptr;

QString KindOf(dev_t dev, ino_t ino) {
  const std::vector<TProtected> fresh = snapshot ? std::vector<TProtected>() : ProtectedFolders();
  for (const TProtected& p : snapshot ? snapshot->Folders : fresh)
    if (p.Dev == dev && p.Ino == ino) return p.Kind;
  return {};
}

}  // namespace

TProtectedFoldersSnapshot::TProtectedFoldersSnapshot()
    : data_(std::make_unique<TData>(TData{ProtectedFolders()})), outer_(snapshot) {
  snapshot = data_.get();
}

TProtectedFoldersSnapshot::~TProtectedFoldersSnapshot() { snapshot = outer_; }

QString ProtectedFolderKind(const struct statx& st) {
  if (!S_ISDIR(st.stx_mode)) return {};
  return KindOf(makedev(st.stx_dev_major, st.stx_dev_minor), st.stx_ino);
}

QString ProtectedFolderKind(const QByteArray& hostPath) {
  struct stat st {};
  if (::lstat(hostPath.constData(), &st) != 0) return {};
  if (S_ISLNK(st.st_mode) && ::stat(hostPath.constData(), &st) != 0) return {};
  if (!S_ISDIR(st.st_mode)) return {};
  return KindOf(st.st_dev, st.st_ino);
}
