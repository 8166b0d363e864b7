#include "scan/PseudoFs.h"

#include <QFile>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

struct TPseudoKind {
  unsigned long Magic;
  const char* Name;
};

// Told by the file system's magic number, which no mount option or bind mount changes.
constexpr TPseudoKind PseudoKinds[] = {
    {PROC_SUPER_MAGIC, "proc"},
    {SYSFS_MAGIC, "sysfs"},
    {CGROUP_SUPER_MAGIC, "cgroup"},
    {CGROUP2_SUPER_MAGIC, "cgroup2"},
    {DEBUGFS_MAGIC, "debugfs"},
    {TRACEFS_MAGIC, "tracefs"},
    {SECURITYFS_MAGIC, "securityfs"},
    {PSTOREFS_MAGIC, "pstore"},
    {BPF_FS_MAGIC, "bpf"},
    {0x62656570UL, "configfs"},
    {DEVPTS_SUPER_MAGIC, "devpts"},
    {0x19800202UL, "mqueue"},
    {0x65735543UL, "fusectl"},
    {BINFMTFS_MAGIC, "binfmt_misc"},
    {EFIVARFS_MAGIC, "efivarfs"},
    {SELINUX_MAGIC, "selinuxfs"},
    {SMACK_MAGIC, "smackfs"},
    {NSFS_MAGIC, "nsfs"},
    {0x07655821UL, "resctrl"},
};

QByteArray KindOf(const struct statfs& st) {
  const auto magic = static_cast<unsigned long>(st.f_type) & 0xFFFFFFFFUL;
  for (const TPseudoKind& k : PseudoKinds)
    if (k.Magic == magic) return k.Name;
  return {};
}

}  // namespace

QByteArray PseudoFileSystemOf(int fd) {
  struct statfs st {};
  if (fd < 0 || ::fstatfs(fd, &st) != 0) return {};
  return KindOf(st);
}

QByteArray PseudoFileSystemAt(const QByteArray& hostPath) {
  struct statfs st {};
  if (::statfs(hostPath.constData(), &st) != 0) return {};
  return KindOf(st);
}

QString PseudoFileSystemRefusal(const QByteArray& hostPath) {
  const QByteArray kind = PseudoFileSystemAt(hostPath);
  if (kind.isEmpty()) return {};
  return QStringLiteral("%1 is on %2, a pseudo file system: its files are the kernel's figures, "
                        "not data on a disk, so it is not scanned.")
      .arg(QFile::decodeName(hostPath), QString::fromLatin1(kind));
}
