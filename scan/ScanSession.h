#pragma once
// One scan session: the folder tree, the drives scanned into it, the scanner, the cluster size the
// wasted figures are shown at and the scanning state. The windows and the command-line programs
// run their scans through it; it refuses to change the tree while a scan runs, because the walk
// holds nodes of it then.

#include "scan/FolderTree.h"
#include "scan/ScanState.h"

#include <QObject>
#include <QTimer>
#include <QString>

#include <functional>
#include <memory>

class IScanHost;
struct TLoadedScanInfo;
class TFolderScanner;
struct TDriveRecInfo;

class TScanSession : public QObject {
  Q_OBJECT

public:
  // The session becomes the active one (see ScanState.h) until it goes.
  explicit TScanSession(IScanHost& host, QObject* parent = nullptr);
  ~TScanSession() override;
  TScanSession(const TScanSession&) = delete;
  TScanSession& operator=(const TScanSession&) = delete;

  TFolderTree& Tree() { return tree_; }
  const TFolderTree& Tree() const { return tree_; }
  TFolderScanner& Scanner() { return *scanner_; }
  TScanState& State() { return state_; }

  bool Scanning() const { return scanning_; }
  // Asks the running scan to stop; a scan of several drives stops after the current one.
  void Abort() { state_.AbortScan = true; }
  bool Aborted() const { return state_.AbortScan; }

  int32_t SelectedClusterIndex() const { return state_.SelectedClusterIndex; }
  void SetSelectedClusterIndex(int32_t index) { state_.SelectedClusterIndex = index; }

  // Letters of the drives in the tree, in the order their current scan began.
  const QString& ScannedDrives() const { return scannedDrives_; }
  bool IsScanned(QChar letter) const { return scannedDrives_.contains(letter.toUpper()); }
  // The drive's record: null when it was never scanned (or was removed).
  TDriveRecInfo* Drive(QChar letter) const;

  // Scans a drive into a new top-level node. driveText: the letter followed by the drive's display
  // name. A record a cancelled rescan left without a node is used again rather than doubled.
  // False when refused (a scan runs, no text).
  bool ScanDrive(const QString& driveText);
  // The same in short slices on the event loop, so that a window keeps answering: the scan has
  // begun when this returns true, and ScanFinished says when it ended (ScanFailed before it when
  // an error ended it).
  bool StartScanDrive(const QString& driveText);
  // Adds a drive loaded from a scan file under the first free letter of LoadedScanLetters (see
  // LoadedScan.h): build makes its top node in the tree with the text it is given. No host folder
  // stands behind such a drive: every rescan and change of its folders below is refused, and
  // taking its node out forgets it. Null when refused (a scan runs, no letter is free, build made
  // no node).
  TDriveRecInfo* AddLoadedDrive(std::shared_ptr<const TLoadedScanInfo> info,
                                const std::function<TTreeNode*(TFolderTree&, const QString&)>& build);
  // The letter AddLoadedDrive would take; null when none is free.
  QChar FreeLoadedLetter() const;
  // The scan file the drive was loaded from; null for a scanned drive or an unknown letter.
  const TLoadedScanInfo* LoadedScan(QChar letter) const;
  // The same for the drive a node is in, and for the drive of a drive path.
  const TLoadedScanInfo* LoadedScanOf(const TTreeNode* node) const;
  const TLoadedScanInfo* LoadedScanAt(const QString& drivePath) const;
  // Takes the drive's node out of the tree; its record stays, so that ScanDrive can bring it back
  // (a loaded drive's record goes too). False when refused or the drive is not in the tree.
  bool RemoveDriveNode(QChar letter);
  // Takes the drive's node out of the tree and scans the drive again. False when refused or the
  // drive is not in the tree.
  bool RescanDrive(QChar letter);
  // Takes the drive out of the tree and forgets its record. False when refused or unknown.
  bool RemoveDrive(QChar letter);
  // Scans the folder of node again (or takes it out when it has gone). False when refused.
  bool RescanFolder(TTreeNode* node);
  // The same in slices on the event loop (see StartScanDrive).
  bool StartRescanFolder(TTreeNode* node);
  // How long one slice of a scan runs before the event loop has its turn (10 ms by default).
  void SetSliceMs(int ms) { sliceMs_ = ms; }
  // Takes a folder that has gone from the disk out of the tree, and its figures out of its
  // ancestors'. size: the figure to take off (the folder's total size). False when refused.
  bool RemoveFolder(TTreeNode* node, int64_t size);
  // What the scan counted of a file, looked at while the file is still there: a file with several
  // names adds its bytes in one folder only (see TLinkOwners), in the others just the name.
  struct TCountedFile {
    int64_t Size = 0;  // the bytes counted in this folder
    int64_t OnDisk = 0;  // the blocks counted in this folder, in bytes
    bool OwnsLink = false;  // this folder counted the bytes of a file with several names
    uint64_t Device = 0;
    uint64_t Inode = 0;
  };
  // path: the file's drive path; size: its size as listed.
  TCountedFile CountedFile(TTreeNode* parent, const QString& path, int64_t size) const;
  // Takes a file of parent that has gone from the disk out of its ancestors' figures.
  bool RemoveFile(TTreeNode* parent, QChar letter, const TCountedFile& file);
  // The node of a drive path ("C:\a\b") in the tree; null when its drive is not in the tree or the
  // folder was not found in it.
  TTreeNode* FindFolder(const QString& path) const;
  // The node of path, or else of its nearest ancestor in the tree (the drive's node at worst):
  // where a folder that appeared or changed on disk since the scan comes in by a rescan. Null when
  // the drive is not in the tree.
  TTreeNode* NearestFolder(const QString& path) const;
  // Frees every drive record and node.
  void Clear();

signals:
  // Nodes were added or taken out outside a scan (a scan reports its own progress to its host).
  void TreeChanged();
  void ScanStarted();
  // aborted: the scan was stopped before it completed.
  void ScanFinished(bool aborted);
  // A scan run in slices ended with an error (ScanFinished follows, as aborted).
  void ScanFailed(const QString& message);

private:
  // Runs one scan with the scanning state set and the signals sent, even when the walk throws.
  template <typename F>
  void RunScan(F&& scan);
  template <typename F>
  void StartScan(F&& begin);
  void StepScan();
  void EndSlicedScan(const QString& error);
  TDriveRecInfo* PrepareDriveScan(QChar letter);
  void DeleteDriveNode(TDriveRecInfo* rec);

  TScanState state_;
  TActiveScanState active_;
  TFolderTree tree_;
  std::unique_ptr<TFolderScanner> scanner_;
  QString scannedDrives_;
  bool scanning_ = false;
  QTimer stepTimer_;
  int sliceMs_ = 10;
};
