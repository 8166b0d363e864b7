#pragma once
// Pseudo file systems (proc, sysfs, cgroup, debugfs and the like) show the kernel's state as
// files whose sizes are made up: they hold nothing on a disk, so they are never scanned.

#include <QByteArray>
#include <QString>

// The kernel's name of the pseudo file system the open folder fd lies on; empty for a real one
// (or when it cannot be told).
QByteArray PseudoFileSystemOf(int fd);
// The same for a host folder.
QByteArray PseudoFileSystemAt(const QByteArray& hostPath);
// Why the folder at hostPath is not scanned, as a message for the user; empty when it may be.
QString PseudoFileSystemRefusal(const QByteArray& hostPath);
