#pragma once
// The window as the scanner's host: the walk's status text reaches the status line once per slice
// of the scan, not once per folder, and the page on show follows when the folder it shows has
// been read.

#include "scan/ScanHost.h"

#include <QObject>
#include <QString>

#include <functional>

class IWindowServices;
class TCurrentFolder;

class TWindowScanHost : public QObject, public IScanHost {
  Q_OBJECT

public:
  // refreshPage: shows the page on show again (the current folder's figures are complete).
  TWindowScanHost(IWindowServices& window, TCurrentFolder& current, std::function<void()> refreshPage);

  void SetStatusText(const QString& text) override;
  void SetBusy(bool) override {}
  void FolderCompleted(TTreeNode* node) override;

  // A status text waiting for the next turn of the event loop is dropped (a command's own text
  // follows).
  void DropPendingStatus() { pending_ = false; }

private:
  void Flush();

  IWindowServices& window_;
  TCurrentFolder& current_;
  std::function<void()> refreshPage_;
  QString text_;
  bool pending_ = false;
};
