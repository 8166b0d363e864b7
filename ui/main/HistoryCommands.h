#pragma once
// The scan history's commands in the main window: File > Save Snapshot keeps the current drive's
// folder figures in the history (KORVANE_HISTORY, else the default file). The store is written
// on a worker thread, so the window goes on answering while a slow or absent server is waited for.

#include "history/HistoryJobs.h"

#include <QObject>

class QAction;
class QMenu;
class TMainForm;

class THistoryCommands : public QObject {
  Q_OBJECT

public:
  // Adds its items to the end of fileMenu; lives as long as the form.
  THistoryCommands(TMainForm& form, QMenu* fileMenu);

  QAction* SaveSnapshotAction() const { return save_; }
  int Running() const { return jobs_.Running(); }

private:
  void UpdateActions();
  void SaveSnapshot();

  TMainForm& form_;
  QAction* save_ = nullptr;
  THistoryJobs jobs_;
};
