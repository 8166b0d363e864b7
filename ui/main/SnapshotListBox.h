#pragma once
// The list of snapshots in the scan history, for File > Compare With Snapshot (pick one of the
// current drive's) and File > Manage Snapshots (delete old ones). The history is read and changed
// on a worker thread: the dialog says what it is waiting for and shows a store's failure in its
// own error line, and the window goes on answering meanwhile.

#include "history/HistoryJobs.h"
#include "history/Snapshot.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

class TSnapshotListBox : public QDialog {
  Q_OBJECT

public:
  enum TMode { Pick, Manage };
  // keep: which snapshots are listed (all when null). jobs: runs the store work; storeName: the
  // store (see ParseStoreLocation).
  TSnapshotListBox(TMode mode, THistoryJobs& jobs, const QString& storeName, QWidget* owner,
                   std::function<bool(const TSnapshotInfo&)> keep = {});

  // Reads the list again.
  void Refresh();
  // Deletes the selected snapshots after asking (Manage).
  void DeleteSelected();
  // True while the store is being read or changed.
  bool Busy() const { return busy_; }
  // The snapshot picked (Pick, after OK).
  std::optional<TSnapshotInfo> Picked() const;
  const std::vector<TSnapshotInfo>& Listed() const { return listed_; }

  enum { colTime, colHost, colFolder, colBytes, ColumnCount };

  QTreeWidget* lstSnapshots = nullptr;
  QLabel* txtStatus = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdDelete = nullptr;
  QPushButton* cmdClose = nullptr;

signals:
  // The list was read (or reading it failed); error is empty on success.
  void Listed_(const QString& error);

private:
  void Fill(const std::vector<TSnapshotInfo>& list);
  void ShowError(const QString& text);
  void UpdateButtons();

  TMode mode_;
  THistoryJobs& jobs_;
  QString storeName_;
  std::function<bool(const TSnapshotInfo&)> keep_;
  std::vector<TSnapshotInfo> listed_;
  bool busy_ = false;
};
