#pragma once
// What the scanner needs of its host: a status text, a busy switch, and word of each folder the
// walk starts and completes. The main window is one host; THeadlessHost serves
// tests, benchmarks and unattended runs.

#include <QString>

class TTreeNode;

class IScanHost {
public:
  virtual ~IScanHost() = default;
  virtual void SetStatusText(const QString& text) = 0;
  virtual void SetBusy(bool busy) = 0;
  // A folder's scan ended (with or without a record); the host refreshes its view when it is
  // showing that folder.
  virtual void FolderCompleted(TTreeNode* node) = 0;
  // The walk is about to read a folder (the last status text names it). The window has nothing
  // to do here (it runs the walk in slices); tests act at a given folder.
  virtual void FolderStarting() {}
};

class THeadlessHost : public IScanHost {
public:
  void SetStatusText(const QString& text) override { statusText_ = text; }
  void SetBusy(bool busy) override { busy_ = busy; }
  void FolderCompleted(TTreeNode*) override {}

  const QString& StatusText() const { return statusText_; }
  bool Busy() const { return busy_; }

private:
  QString statusText_;
  bool busy_ = false;
};
