#pragma once
// The window's scan commands: scanning, rescanning and removing drives, rescanning the current
// folder, going to a folder, the drive dialogs. A command that needs a scan starts it in the
// session and goes on through the scan queue when the scan has ended; the window's controls follow
// the session's signals.

#include <QString>
#include <QStringList>

#include <functional>

class IWindowServices;
class TCurrentFolder;
class TScanQueue;
class TScanSession;
class TWindowScanHost;

class TScanCommands {
public:
  TScanCommands(TScanSession& session, TScanQueue& scans, TCurrentFolder& current, IWindowServices& window,
                TWindowScanHost& host);

  // Scans a drive given as the drive list shows it ("C" and its name), or scans it again when it
  // is in the tree.
  void ScanOrRescanDrive(const QString& driveText);
  // Scans the drives of letters again, one after the other, each back at the folder shown.
  void RescanDrives(const QString& letters);
  void RemoveDrive(QChar letter);
  // Selects the folder of a drive path, scanning its drive first when it is not in the tree; false
  // when the path is not a drive path or its drive is unknown.
  bool GoToFolder(const QString& path);
  // A folder from outside (dropped, given): a host path or a drive path.
  void OpenPath(const QString& path);
  void RescanCurrentFolder();
  void Abort();
  // File > Scan Drives: the drives dialog, then the checked drives one after the other.
  void ScanDrivesDialog();
  // Scans (or rescans) the drives one after the other until one is stopped; then done.
  void ScanDriveTexts(const QStringList& texts, std::function<void()> done = {});
  void MapNetworkDrive();
  void DisconnectNetworkDrive();
  // Asks to retry while the drive cannot be reached; false when the user gives up.
  bool CheckDriveAccessible(QChar letter);

private:
  bool StartDriveScan(const QString& driveText);
  // What the window does after a drive's scan, whether it completed, was aborted or failed.
  void AfterDriveScan();
  // Selects the folder of a drive path in the tree, bringing in a folder made since the scan.
  void ShowFolderAt(const QString& path);
  void ShowDoneText();

  TScanSession& session_;
  TScanQueue& scans_;
  TCurrentFolder& current_;
  IWindowServices& window_;
  TWindowScanHost& host_;
};
