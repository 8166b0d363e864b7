#pragma once
// The scan history's commands in the main window: File > Save Snapshot keeps the current drive's
// folder figures in the history; File > Compare With Snapshot sets the tree against a snapshot of
// the drive (the tree's marks, the subfolder list's Change column and the What Changed report
// follow it); File > Manage Snapshots deletes old ones; after every whole-drive scan a snapshot is
// saved when the settings ask for it. The store is read and written on worker threads, so the
// window goes on answering while a slow or absent server is waited for.

#include "history/HistoryJobs.h"
#include "history/Snapshot.h"
#include "history/TreeComparison.h"

#include <QObject>
#include <QString>

#include <memory>

class QAction;
class QMenu;
class TMainForm;

class THistoryCommands : public QObject {
  Q_OBJECT

public:
  // Adds its items to the end of fileMenu and the What Changed items to the reports and print
  // menus (when given); lives as long as the form.
  THistoryCommands(TMainForm& form, QMenu* fileMenu, QMenu* reportsMenu = nullptr, QMenu* printMenu = nullptr);
  ~THistoryCommands() override;

  QAction* SaveSnapshotAction() const { return save_; }
  int Running() const { return jobs_.Running(); }
  // The store the commands use: the settings' choice, else KORVANE_HISTORY, else the default file.
  QString StoreName() const;

  // The comparison shown, null when none.
  const TTreeComparison* Comparison() const { return comparison_.get(); }
  // Reads the snapshot and compares the tree's folder it stands for with it (in the background;
  // a failure shows a message).
  void CompareWith(const TSnapshotInfo& info);
  // Takes the comparison's marks and column away.
  void EndComparison();

private:
  void UpdateActions();
  void SaveSnapshot();
  // quiet: after a scan, on the status bar only unless it fails.
  void SaveDriveSnapshot(QChar letter, bool quiet);
  void CompareWithSnapshot();
  void ManageSnapshots();
  void ReportWhatChanged(bool print);
  void ScanStarted();
  void ScanFinished(bool aborted);
  // Compares again with the tree as it is now, or ends the comparison when its folder has gone.
  void RefreshComparison();
  // Shows the comparison (or none) in the tree and the subfolder list.
  void ShowComparison(const TTreeComparison* comparison);
  // The drive path the snapshot's host folder has now; empty when it is on no drive.
  QString RootPathOf(const TSnapshotInfo& info) const;

  TMainForm& form_;
  QAction* save_ = nullptr;
  QAction* compare_ = nullptr;
  QAction* endCompare_ = nullptr;
  QAction* manage_ = nullptr;
  QAction* reportChanged_ = nullptr;
  QAction* printChanged_ = nullptr;
  THistoryJobs jobs_;
  std::unique_ptr<TTreeComparison> comparison_;
  // Drives that were in the tree when the running scan began: a drive not among them that is
  // complete afterwards was scanned whole.
  QString drivesBeforeScan_;
  bool loading_ = false;
};
