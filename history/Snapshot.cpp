#include "history/Snapshot.h"

#include "scan/FolderSize.h"
#include "scan/FolderTree.h"

#include <QSysInfo>

#include <utility>

#ifndef KORVANE_VERSION
#define KORVANE_VERSION "0"
#endif

QString HistoryProgramVersion() { return QStringLiteral(KORVANE_VERSION); }

QString HistoryHostName() {
  const QString name = QSysInfo::machineHostName();
  return name.isEmpty() ? QStringLiteral("localhost") : name;
}

TSnapshot SnapshotOfTree(const TTreeNode* root, std::vector<const TTreeNode*>* nodes) {
  if (nodes) nodes->clear();
  TSnapshot snap;
  snap.Info.Time = QDateTime::currentDateTimeUtc();
  snap.Info.Host = HistoryHostName();
  snap.Info.ProgramVersion = HistoryProgramVersion();
  if (!root || !root->Data()) return snap;
  // Depth-first with an explicit stack: (node, index of its parent in Folders).
  std::vector<std::pair<const TTreeNode*, int32_t>> pending{{root, -1}};
  while (!pending.empty()) {
    const auto [node, parent] = pending.back();
    pending.pop_back();
    const TFolderSize* rec = node->Data();
    if (!rec) continue;
    TSnapshotFolder f;
    f.Parent = parent;
    if (parent >= 0) {
      const std::string_view text = node->TextBytes();
      f.Name = QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    }
    f.Size = rec->TotalSize;
    f.Allocated = rec->TotalSize + rec->TotalWasted;
    f.Files = rec->TotalFiles;
    f.Folders = rec->TotalFolders;
    f.LatestChange = rec->LastChange;
    const auto self = static_cast<int32_t>(snap.Folders.size());
    snap.Folders.push_back(std::move(f));
    if (nodes) nodes->push_back(node);
    // Children pushed in reverse so that they come out in the tree's order.
    for (int i = node->Count() - 1; i >= 0; --i) pending.emplace_back(node->Child(i), self);
  }
  snap.Info.Bytes = snap.Folders.front().Size;
  snap.Info.FolderCount = static_cast<int64_t>(snap.Folders.size());
  return snap;
}
