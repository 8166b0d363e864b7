#include "shell/PropertiesDialog.h"

#include "platform/DirEnum.h"
#include "platform/HostNames.h"
#include "platform/HostPath.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/VolumeInfo.h"
#include "platform/FolderWalk.h"
#include "shell/MessageBoxes.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QMimeDatabase>
#include <QVBoxLayout>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>


namespace {

constexpr unsigned StatMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_SIZE | STATX_BLOCKS |
                              STATX_ATIME | STATX_MTIME | STATX_BTIME;

uint64_t FileTimeOf(const struct statx_timestamp& t) { return UnixToFileTime(t.tv_sec, t.tv_nsec); }

QString PermissionsText(uint32_t mode) {
  static const char letters[] = "rwxrwxrwx";
  QString text;
  for (int i = 0; i < 9; ++i) text += (mode & (0400u >> i)) ? QLatin1Char(letters[i]) : QLatin1Char('-');
  return text + QStringLiteral(" (%1)").arg(mode & 07777, 3, 8, QLatin1Char('0'));
}

QString OwnerText(uint32_t uid, uint32_t gid) {
  const passwd* user = ::getpwuid(uid);
  const QString userName = user ? QString::fromLocal8Bit(user->pw_name) : QString::number(uid);
  const group* grp = ::getgrgid(gid);
  const QString groupName = grp ? QString::fromLocal8Bit(grp->gr_name) : QString::number(gid);
  return userName + QStringLiteral(" (") + groupName + QLatin1Char(')');
}

QString TypeText(const struct statx& st, const QString& name, bool root) {
  if (root) return QStringLiteral("Drive");
  if (S_ISDIR(st.stx_mode)) return QStringLiteral("Folder");
  if (S_ISLNK(st.stx_mode)) return QStringLiteral("Link");
  if (!S_ISREG(st.stx_mode)) return QStringLiteral("Special file");
  const QMimeType mime = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
  if (mime.isValid() && !mime.isDefault() && !mime.comment().isEmpty()) return mime.comment();
  return QStringLiteral("File");
}

// Adds up the folder name of dirFd the way a scan counts it: every entry that is not a folder is
// a file of its own size (links included, never followed); folders on another file system count
// as folders but are not entered; what cannot be read counts as empty.
void Walk(int dirFd, const QByteArray& name, uint32_t devMajor, uint32_t devMinor, int32_t cluster,
          TItemProperties& p) {
  TWalkStack stack;
  if (!stack.Enter(dirFd, name, QByteArray())) return;
  while (!stack.Empty()) {
    TWalkFrame& frame = stack.Top();
    if (frame.Next >= frame.Names.size()) {
      if (!stack.Leave()) return;
      continue;
    }
    const QByteArray entry = frame.Names[frame.Next++];
    struct statx st {};
    if (::statx(frame.Fd, entry.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_SIZE, &st) != 0)
      continue;
    if (S_ISDIR(st.stx_mode)) {
      ++p.Folders;
      if (!IsOtherFileSystem(st, devMajor, devMinor)) stack.Enter(frame.Fd, entry, QByteArray());
      continue;
    }
    const int64_t size = static_cast<int64_t>(st.stx_size);
    ++p.Files;
    p.Size += size;
    p.SizeOnDisk += size + ClusterSlack(cluster, size);
  }
}

std::function<void(TItemPropertiesDialog&)>& PropertiesRunner() {
  static std::function<void(TItemPropertiesDialog&)> runner;
  return runner;
}

}  // namespace

void SetItemPropertiesRunner(std::function<void(TItemPropertiesDialog&)> runner) {
  PropertiesRunner() = std::move(runner);
}

TItemProperties ReadItemProperties(const QString& drivePath, const TFolderSize* known) {
  TItemProperties p;
  THostLocation location;
  if (!LocateDrivePath(drivePath, location)) return p;
  struct statx st {};
  if (::statx(location.DirFd, location.Name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, StatMask, &st) != 0)
    return p;
  p.Found = true;
  p.HostPath = QFile::decodeName(location.HostPath);
  p.IsFolder = S_ISDIR(st.stx_mode);
  const QString root = drivePath.left(2) + QLatin1Char('\\');
  p.IsDriveRoot = location.Name == ".";
  if (p.IsDriveRoot) {
    p.Name = DriveDisplayName(root);
    p.Location = root;
  } else {
    p.Name = DecodeHostName(std::string_view(location.Name.constData(), static_cast<size_t>(location.Name.size())));
    p.Location = ParentFolder(RemoveBackslash(drivePath));
  }
  p.Type = TypeText(st, p.Name, p.IsDriveRoot);
  p.Created = (st.stx_mask & STATX_BTIME) ? FileTimeOf(st.stx_btime) : 0;
  p.Modified = FileTimeOf(st.stx_mtime);
  p.Accessed = FileTimeOf(st.stx_atime);
  p.Permissions = PermissionsText(st.stx_mode);
  p.Owner = OwnerText(st.stx_uid, st.stx_gid);

  const int32_t cluster = ClusterSizeOf(root);
  if (!p.IsFolder) {
    p.Size = static_cast<int64_t>(st.stx_size);
    p.SizeOnDisk = p.Size + ClusterSlack(cluster, p.Size);
  } else if (known) {
    p.Size = known->TotalSize;
    p.SizeOnDisk = known->TotalSize + known->TotalWasted;
    p.Files = known->TotalFiles;
    p.Folders = known->TotalFolders;
  } else {
    Walk(location.DirFd, location.Name, st.stx_dev_major, st.stx_dev_minor, cluster, p);
  }
  return p;
}

TItemPropertiesDialog::TItemPropertiesDialog(const TItemProperties& p, QWidget* parent) : QDialog(parent) {
  setWindowTitle(p.Name + QStringLiteral(" Properties"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  layout->addLayout(form);
  AddLine(QStringLiteral("Name:"), p.Name);
  AddLine(QStringLiteral("Type:"), p.Type);
  AddLine(QStringLiteral("Location:"), p.Location);
  auto sizeText = [](int64_t v) { return FormatSize(v) + QStringLiteral(" (") + FormatBytes(v) + QLatin1Char(')'); };
  AddLine(QStringLiteral("Size:"), sizeText(p.Size));
  AddLine(QStringLiteral("Size on disk:"), sizeText(p.SizeOnDisk));
  if (p.IsFolder)
    AddLine(QStringLiteral("Contains:"),
            FormatCount(p.Files) + QStringLiteral(" Files, ") + FormatCount(p.Folders) + QStringLiteral(" Folders"));
  AddLine(QStringLiteral("Created:"), IsZeroFileTime(p.Created) ? QStringLiteral("Unknown") : FormatFileTime(p.Created));
  AddLine(QStringLiteral("Modified:"), FormatFileTime(p.Modified));
  AddLine(QStringLiteral("Accessed:"), FormatFileTime(p.Accessed));
  AddLine(QStringLiteral("Permissions:"), p.Permissions);
  AddLine(QStringLiteral("Owner:"), p.Owner);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

void TItemPropertiesDialog::AddLine(const QString& caption, const QString& value) {
  auto* form = static_cast<QFormLayout*>(layout()->itemAt(0)->layout());
  auto* label = new QLabel(value, this);
  label->setObjectName(caption);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(caption, label);
}

QString TItemPropertiesDialog::Value(const QString& caption) const {
  for (const QLabel* label : findChildren<QLabel*>())
    if (label->objectName() == caption) return label->text();
  return QString();
}

bool ShowItemProperties(const QString& drivePath, QWidget* parent, const TFolderSize* known) {
  const TItemProperties p = ReadItemProperties(drivePath, known);
  if (!p.Found) {
    ShowError(QStringLiteral("\"%1\" cannot be found. It may have been moved or deleted.").arg(drivePath), ekProgram,
              parent);
    return false;
  }
  TItemPropertiesDialog dialog(p, parent);
  if (PropertiesRunner())
    PropertiesRunner()(dialog);
  else
    dialog.exec();
  return true;
}
