#pragma once
// An ncdu export as folder-tree nodes and as a snapshot, so that it can be browsed, reported on
// and compared like a scanned drive.

#include "history/NcduReader.h"
#include "history/Snapshot.h"

#include <QString>

class TFolderTree;
class TScanSession;
class TTreeNode;
struct TDriveRecInfo;
struct TLoadedScanInfo;

// Adds the export's folders as a new top-level node of tree with text topText, each folder with
// its size record (the wasted figure at the drive's own size is disk usage above the apparent
// size). Null when the export holds no folder.
TTreeNode* AddNcduScanToTree(TFolderTree& tree, const TNcduScan& scan, const QString& topText);

// The export as a snapshot; drivePath is the root's drive path. HostRoot is the scanned path the
// export names, Time its timestamp (now when it has none).
TSnapshot SnapshotOfNcduScan(const TNcduScan& scan, const QString& drivePath);

// What an export says about itself, read from file: the folder it names, its time, the program.
TLoadedScanInfo LoadedScanInfoOf(const TNcduScan& scan, const QString& file);
// Adds the export to the session as a drive loaded from file (see TScanSession::AddLoadedDrive):
// it can be browsed and compared, never rescanned or changed. Null when refused (a scan runs, no
// letter is free, the export holds no folder).
TDriveRecInfo* AddNcduDrive(TScanSession& session, const TNcduScan& scan, const QString& file);
