#pragma once
// korvane-scan's options for the scan history and the ncdu export:
//   --save [--store URL] HOSTFOLDER        the usual scan, then "snapshot: ID"
//   --history [--store URL] [HOSTFOLDER]   the snapshots, newest first
//   --compare ID [ID2 | HOSTFOLDER] [--store URL]
//   --export-ncdu FILE HOSTFOLDER

#include <QString>

#include <cstdint>
#include <optional>

class TTreeNode;

extern const char HistoryUsageText[];

struct THistoryRequest {
  bool Save = false;
  QString Store;
};

// Runs --history, --compare and --export-ncdu and returns the exit status. For --save it takes
// --save and --store out of argv (the usual scan runs on what is left), fills request and returns
// nothing; so it does when none of these options is given.
std::optional<int> RunHistoryOptions(int& argc, char** argv, THistoryRequest& request);

// After the usual scan output: saves the scan of root as a snapshot and prints "snapshot: ID".
// The exit status.
int SaveScanSnapshot(const THistoryRequest& request, const TTreeNode* root, const QString& drivePath,
                     const QString& hostRoot, int32_t clusterSize);
