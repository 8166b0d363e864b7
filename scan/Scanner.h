#pragma once
// The folder scanner: walks a drive or folder into the folder tree, one node and one TFolderSize
// per folder, and keeps the ancestors' totals right when folders vanish or are rescanned.

#include "platform/MountTable.h"
#include "scan/ScanState.h"

#include <QString>

#include <memory>
#include <string_view>

class IScanHost;
class THostDir;
class TFolderSize;
class TFolderTree;
class TTreeNode;
struct TDriveRecInfo;

// Set by the abort command; cleared when a scan operation starts; left set after an aborted
// scan so that callers scanning several drives in a row stop too.
inline constexpr TScanStateField<bool, &TScanState::AbortScan> AbortScan{};

class TFolderScanner {
public:
  TFolderScanner(TFolderTree& tree, IScanHost& host);
  ~TFolderScanner();

  // path: the folder's drive path with a trailing backslash. Returns the completed record (also
  // attached to node), or null when the scan was aborted.
  TFolderSize* ScanFolder(const QString& path, TTreeNode* node);
  // Scans one whole drive into a new top-level node. driveText: the upper-case letter followed
  // by the drive's display name.
  void ScanDrive(const QString& driveText, TDriveRecInfo* driveRec);
  bool RemoveVanishedFolder(const QString& path, TTreeNode* node);
  // path without a trailing backslash, as NodePath gives it.
  void RescanFolder(const QString& path, TTreeNode* node);

  TFolderTree& Tree() { return tree_; }

private:
  struct Walk;
  TFolderSize* ReadFolder(Walk& walk, THostDir& dir, TTreeNode* node, int level,
                          const TMountsBelow::Node* mounts);
  void ScanChild(Walk& walk, THostDir& dir, std::string_view rawName, bool otherFileSystem,
                 TTreeNode* node, TFolderSize& rec, int level, const TMountsBelow::Node* mounts);
  TFolderTree& tree_;
  IScanHost& host_;
  int depth_ = 0;
};

// Frees the records below node (and node's own when includeSelf); used before deleting nodes.
void FreeSubtreeRecords(TFolderTree& tree, TTreeNode* node, bool includeSelf);
