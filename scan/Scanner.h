#pragma once
// The folder scanner: walks a drive or folder into the folder tree, one node and one TFolderSize
// per folder, and keeps the ancestors' totals right when folders vanish or are rescanned.

#include "platform/MountTable.h"
#include "scan/ScanState.h"

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <memory>
#include <string_view>

class IScanHost;
class TFolderSize;
struct TFolderListing;
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
  TFolderScanner(const TFolderScanner&) = delete;
  TFolderScanner& operator=(const TFolderScanner&) = delete;

  // Each operation runs either at once (ScanFolder, ScanDrive, RescanFolder) or in slices: the
  // Begin form starts it and Step runs it on until a deadline, so that a window can keep its own
  // event loop going between slices. One operation at a time; beginning another while one is
  // under way is a programming error (std::logic_error).

  // path: the folder's drive path with a trailing backslash. Returns the completed record (also
  // attached to node), or null when the scan was aborted.
  TFolderSize* ScanFolder(const QString& path, TTreeNode* node);
  void BeginScanFolder(const QString& path, TTreeNode* node);
  // Scans one whole drive into a new top-level node. driveText: the upper-case letter followed
  // by the drive's display name.
  void ScanDrive(const QString& driveText, TDriveRecInfo* driveRec);
  void BeginScanDrive(const QString& driveText, TDriveRecInfo* driveRec);
  bool RemoveVanishedFolder(const QString& path, TTreeNode* node);
  // path without a trailing backslash, as NodePath gives it. The ancestors' figures follow when
  // the rescan ends. BeginRescanFolder is false when there was nothing to walk (no node, or the
  // folder has gone and was taken out).
  void RescanFolder(const QString& path, TTreeNode* node);
  bool BeginRescanFolder(const QString& path, TTreeNode* node);

  // Runs the operation under way until it ends or the deadline passes (at least one folder's
  // step is taken). True when no operation is under way any more. An error ends the operation
  // (the open folders keep their partial figures) and is passed on.
  bool Step(const QDeadlineTimer& deadline);
  bool Busy() const;
  // The record the last operation's walk completed, or null when it was aborted.
  TFolderSize* LastResult() const { return result_; }

  TFolderTree& Tree() { return tree_; }

  // What the last scan operation (a drive scan or a folder rescan) could not read: the folders
  // that could not be opened or read to their end (each counted as an empty folder), by drive
  // path, and why a folder was not read at all (a pseudo file system), or empty.
  int UnreadableFolders() const { return static_cast<int>(unreadable_.size()); }
  const QStringList& UnreadablePaths() const { return unreadable_; }
  const QString& Refusal() const { return refusal_; }

private:
  struct TWalk;
  struct TOperation;
  void Begin(const QString& path, TTreeNode* node, std::unique_ptr<TOperation> operation);
  void EndOperation(bool completed);
  void RunToEnd();
  void StartWalk(const QString& path, TTreeNode* node);
  bool StepWalk(const QDeadlineTimer& deadline);
  void EnterFolder(TTreeNode* folder, TFolderListing* parent, uint32_t index, bool read, qsizetype mark);
  TFolderSize* FinishFolder(bool error);
  void CheckAbort();
  void Unwind();
  void SettleRescan(TTreeNode* node, std::shared_ptr<TFolderSize> oldRec);

  TFolderTree& tree_;
  IScanHost& host_;
  std::unique_ptr<TWalk> walk_;
  std::unique_ptr<TOperation> operation_;
  TFolderSize* result_ = nullptr;
  QStringList unreadable_;
  QString refusal_;
};

// Frees the records below node (and node's own when includeSelf); used before deleting nodes.
void FreeSubtreeRecords(TFolderTree& tree, TTreeNode* node, bool includeSelf);
