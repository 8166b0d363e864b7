#pragma once
// A snapshot: the per-folder figures of one scanned drive or folder at one moment, with where and
// when it was taken. Folders are kept in depth-first order as (parent, name): the first is the
// root (parent -1, empty name), every other names the index of its parent, which comes before it.
// Files are not kept.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

class TTreeNode;

struct TSnapshotFolder {
  int32_t Parent = -1;
  QByteArray Name;         // WTF-8 text of the folder's name (see platform/HostNames.h)
  int64_t Size = 0;        // bytes of the files in the subtree
  int64_t Allocated = 0;   // Size plus the cluster slack, at the drive's cluster size
  int64_t OnDisk = -1;     // bytes the file system reports as used; -1 when unknown
  int64_t Files = 0;       // in the subtree
  int64_t Folders = 0;     // in the subtree, the folder itself not counted
  uint64_t LatestChange = 0;  // FILETIME, 0 when unknown
};

struct TSnapshotInfo {
  int64_t Id = 0;
  QDateTime Time;          // UTC
  QString Host;            // the machine's host name
  QString HostRoot;        // the host folder the snapshot's root stands for
  QString DrivePath;       // the root's drive path ("C:\" or "C:\usr")
  int32_t ClusterSize = -1;
  QString ProgramVersion;
  int64_t Bytes = 0;       // the root's size
  int64_t FolderCount = 0;
};

struct TSnapshot {
  TSnapshotInfo Info;
  std::vector<TSnapshotFolder> Folders;
};

// The snapshot of a scanned subtree (root's record and those below it). Folders without a record
// (an interrupted scan) are left out with their subtrees. Info.Time is now, Info.Host this
// machine's name; the caller sets HostRoot, DrivePath and ClusterSize. nodes, when given,
// receives the tree node of every folder, in the order of Folders.
TSnapshot SnapshotOfTree(const TTreeNode* root, std::vector<const TTreeNode*>* nodes = nullptr);

// The program version written into new snapshots.
QString HistoryProgramVersion();
// This machine's host name as snapshots record it.
QString HistoryHostName();
