#pragma once
// File > Open Scan File... and `korvane FILE.json`: an ncdu JSON export (from ncdu -o, gdu -o or
// korvane-scan --export-ncdu, maybe of another machine) opened as a drive of its own (A: or B:).
// It can be browsed, reported on, saved as a snapshot and compared, but no folder of this machine
// stands behind it: the window's file operations, rescans, opening and properties refuse it
// through RefuseOnLoadedScan. The file is read on a worker thread, so that a large export does
// not stop the window; its folders go into the tree once no scan runs.

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <deque>
#include <memory>

class QAction;
class QMenu;
class QWidget;
class TMainForm;
class TScanSession;
struct TNcduScan;

// True, after saying why in a message box, when drivePath (or the drive of node) lies in a drive
// loaded from a scan file; what names the command ("Deleting", "Rescanning"...).
bool RefuseOnLoadedScan(TScanSession& session, QWidget* parent, const QString& drivePath, const QString& what);

// A command-line argument that names a scan file to open rather than a folder to scan: an
// existing regular file whose name ends in ".json".
bool IsScanFileArgument(const QString& argument);

class TScanFileCommands : public QObject {
  Q_OBJECT

public:
  // Puts File > Open Scan File... before `before` in fileMenu (at the end when null); lives as
  // long as the form.
  TScanFileCommands(TMainForm& form, QMenu* fileMenu, QAction* before = nullptr);
  ~TScanFileCommands() override;

  QAction* OpenAction() const { return open_; }
  // Asks for a file and opens it.
  void OpenScanFileDialog();
  // Reads file (a host path) in the background and adds it as a drive, then selects it; a file
  // that cannot be read, or is damaged, is said in a message box.
  void OpenScanFile(const QString& file);
  // Files being read or waiting for the scans to end before they go into the tree.
  int Pending() const { return pending_; }

signals:
  // A file has been opened (its drive is in the tree) or given up; Pending() has dropped by one.
  void Done(bool opened);

private:
  void Finish(const QString& file, const std::shared_ptr<TNcduScan>& scan, qint64 readMs);
  void AddWhenIdle();
  void UpdateAction();

  TMainForm& form_;
  QAction* open_ = nullptr;
  QThreadPool pool_;
  struct TRead;
  // Read, waiting for the scans to end.
  std::deque<std::shared_ptr<TRead>> ready_;
  int pending_ = 0;
};
