#pragma once
// Snapshots written down as lists of folders for the history tests.

#include "history/Snapshot.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

struct TFolderLine {
  QByteArray Path;  // "" for the root, "a/b" below it; parents listed before children
  int64_t Size;
};

inline TSnapshot MakeSnapshot(const std::vector<TFolderLine>& lines, const QString& drivePath = QStringLiteral("T:\\")) {
  TSnapshot snap;
  snap.Info.Time = QDateTime::currentDateTimeUtc();
  snap.Info.Host = QStringLiteral("testhost");
  snap.Info.HostRoot = QStringLiteral("/srv/data");
  snap.Info.DrivePath = drivePath;
  snap.Info.ClusterSize = 4096;
  snap.Info.ProgramVersion = QStringLiteral("1.2.3");
  std::vector<QByteArray> paths;
  for (const TFolderLine& line : lines) {
    TSnapshotFolder f;
    if (!line.Path.isEmpty()) {
      const qsizetype slash = line.Path.lastIndexOf('/');
      const QByteArray parent = slash < 0 ? QByteArray() : line.Path.left(slash);
      f.Name = line.Path.mid(slash + 1);
      f.Parent = -1;
      for (size_t i = 0; i < paths.size(); ++i)
        if (paths[i] == parent) f.Parent = static_cast<int32_t>(i);
      if (f.Parent < 0) throw std::logic_error("parent listed after child");
    }
    f.Size = line.Size;
    f.Allocated = line.Size + 100;
    f.Files = line.Size / 10;
    f.Folders = 0;
    f.LatestChange = 133000000000000000ULL + static_cast<uint64_t>(line.Size);
    paths.push_back(line.Path);
    snap.Folders.push_back(f);
  }
  snap.Info.Bytes = snap.Folders.empty() ? 0 : snap.Folders.front().Size;
  snap.Info.FolderCount = static_cast<int64_t>(snap.Folders.size());
  return snap;
}
