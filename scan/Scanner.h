#pragma once
// The folder scanner: walks a drive or folder into the folder tree, one node and one TFolderSize
// per folder, and keeps the ancestors' totals right when folders vanish or are rescanned.

#include "platform/MountTable.h"
#include "scan/ScanState.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <string_view>

class IScanHost;
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

  // What the last scan operation (a drive scan or a folder rescan) could not read: the folders
  // that could not be opened or read to their end (each counted as an empty folder), by drive
  // path, and why a folder was not read at all (a pseudo file system), or empty.
  int UnreadableFolders() const { return static_cast<int>(unreadable_.size()); }
  const QStringList& UnreadablePaths() const { return unreadable_; }
  const QString& Refusal() const { return refusal_; }

private:
  struct TWalk;
  TFolderSize* Walk(const QString& path, TTreeNode* node);
  TFolderTree& tree_;
  IScanHost& host_;
  int depth_ = 0;
  QStringList unreadable_;
  QString refusal_;
};

// Frees the records below node (and node's own when includeSelf); used before deleting nodes.
void FreeSubtreeRecords(TFolderTree& tree, TTreeNode* node, bool includeSelf);
