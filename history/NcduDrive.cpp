#include "history/NcduDrive.h"

#include "platform/HostNames.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/LoadedScan.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace {

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, std::numeric_limits<int32_t>::max()));
}

std::string_view View(const QByteArray& b) { return {b.constData(), static_cast<size_t>(b.size())}; }

}  // namespace

TTreeNode* AddNcduScanToTree(TFolderTree& tree, const TNcduScan& scan, const QString& topText) {
  if (scan.Folders.empty()) return nullptr;
  std::vector<TTreeNode*> nodes(scan.Folders.size(), nullptr);
  for (size_t i = 0; i < scan.Folders.size(); ++i) {
    const TNcduFolder& f = scan.Folders[i];
    TTreeNode* node = f.Parent < 0 ? tree.AddTop(topText)
                                   : tree.AddChild(nodes[static_cast<size_t>(f.Parent)], DecodeHostName(View(f.Name)));
    nodes[i] = node;
    auto rec = std::make_unique<TFolderSize>();
    rec->TotalSize = f.Size;
    rec->FilesSize = f.FilesSize;
    rec->TotalWasted = std::max<int64_t>(0, f.DiskSize - f.Size);
    rec->FilesWasted = std::max<int64_t>(0, f.FilesDiskSize - f.FilesSize);
    rec->TotalFiles = Clamp32(f.TotalFiles);
    rec->TotalFolders = Clamp32(f.TotalFolders);
    rec->Files = Clamp32(f.Files);
    rec->Folders = f.SubFolders;
    rec->LastChange = f.LatestChange;
    rec->FilesLastChange = f.FilesLatestChange;
    rec->Attributes = 0x10;
    for (int k = 1; k <= StandardClusterCount; ++k) {
      rec->TotalWastedAt[k] = f.SlackAt[static_cast<size_t>(k - 1)];
      rec->FilesWastedAt[k] = f.FilesSlackAt[static_cast<size_t>(k - 1)];
    }
    tree.SetData(node, std::move(rec));
  }
  for (TTreeNode* node : nodes) tree.Compact(node);
  return nodes.front();
}

TSnapshot SnapshotOfNcduScan(const TNcduScan& scan, const QString& drivePath) {
  TSnapshot snap;
  snap.Info.Time = scan.Timestamp > 0 ? QDateTime::fromSecsSinceEpoch(scan.Timestamp, Qt::UTC)
                                      : QDateTime::currentDateTimeUtc();
  snap.Info.Host = HistoryHostName();
  snap.Info.DrivePath = drivePath;
  snap.Info.ProgramVersion = HistoryProgramVersion();
  if (scan.Folders.empty()) return snap;
  snap.Info.HostRoot = DecodeEscapedUtf8(scan.Folders.front().Name);
  snap.Folders.reserve(scan.Folders.size());
  for (const TNcduFolder& f : scan.Folders) {
    TSnapshotFolder s;
    s.Parent = f.Parent;
    if (f.Parent >= 0) {
      const std::string name = EncodeWtf8(DecodeHostName(View(f.Name)));
      s.Name = QByteArray(name.data(), static_cast<qsizetype>(name.size()));
    }
    s.Size = f.Size;
    s.Allocated = std::max(f.Size, f.DiskSize);
    s.OnDisk = f.DiskSize;
    s.Files = f.TotalFiles;
    s.Folders = f.TotalFolders;
    s.LatestChange = f.LatestChange;
    snap.Folders.push_back(std::move(s));
  }
  snap.Info.Bytes = snap.Folders.front().Size;
  snap.Info.FolderCount = static_cast<int64_t>(snap.Folders.size());
  return snap;
}

TLoadedScanInfo LoadedScanInfoOf(const TNcduScan& scan, const QString& file) {
  TLoadedScanInfo info;
  info.File = file;
  if (!scan.Folders.empty()) info.HostRoot = DecodeEscapedUtf8(scan.Folders.front().Name);
  if (scan.Timestamp > 0) info.Time = QDateTime::fromSecsSinceEpoch(scan.Timestamp, Qt::UTC);
  info.Program = (scan.ProgramName + QLatin1Char(' ') + scan.ProgramVersion).trimmed();
  info.Complete = scan.Complete;
  return info;
}

TDriveRecInfo* AddNcduDrive(TScanSession& session, const TNcduScan& scan, const QString& file) {
  if (scan.Folders.empty()) return nullptr;
  return session.AddLoadedDrive(std::make_shared<const TLoadedScanInfo>(LoadedScanInfoOf(scan, file)),
                                [&scan](TFolderTree& tree, const QString& text) { return AddNcduScanToTree(tree, scan, text); });
}
