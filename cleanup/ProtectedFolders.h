#pragma once
// The folders no free-space operation deletes, trashes, moves or archives: "/", the home folder,
// the root of every drive and the home trash. They are compared as the file system sees them,
// by device and inode after following links, so that no other spelling of a path, no link on
// the way and no link named HOME lets an operation reach one.

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

#include <memory>

// What the entry st (as statx gave it) is, "the home folder" and the like; empty when it is none
// of the protected folders.
QString ProtectedFolderKind(const struct statx& st);

// The same for a host path: the entry it names and, when that is a link, what the link leads to
// (an operation given a link to the home folder is refused as well).
QString ProtectedFolderKind(const QByteArray& hostPath);

// While one lives, the protected folders are looked up once, when it is made, rather than for
// every question asked on its thread: for an operation that asks once per item of a long list
// (emptying a trash), within which HOME, the drive table and the trash do not change.
class TProtectedFoldersSnapshot {
public:
  TProtectedFoldersSnapshot();
  ~TProtectedFoldersSnapshot();
  TProtectedFoldersSnapshot(const TProtectedFoldersSnapshot&) = delete;
  TProtectedFoldersSnapshot& operator=(const TProtectedFoldersSnapshot&) = delete;

  struct TData;

private:
  std::unique_ptr<TData> data_;
  const TData* outer_;
};
