#pragma once
// The largest files and the file types of the current folder's subtree, in a tool window of its
// own. The figures come from a walk of the subtree's files (TakeFileCensus) on a thread of its
// own, with progress and Stop; nothing per file enters the folder tree. The result is kept until
// the tree changes (a rescan, a removal), and is then marked as out of date. Each file has the
// tree's item menu (open, explore, trash, delete, properties); choosing a type lists its largest
// files.

#include "scan/FileCensus.h"

#include <QWidget>

#include <atomic>
#include <memory>
#include <thread>

class IPageHost;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;

class TLargestFilesBox : public QWidget {
public:
  TLargestFilesBox(IPageHost& host, QWidget* window);
  ~TLargestFilesBox() override;

  // Walks the current folder (only the files of type extension among the largest, when given).
  void Find(const QString& extension = QString());
  void Stop();
  bool Busy() const { return worker_.joinable(); }

  QLabel* txtPath = nullptr;
  QLabel* txtStatus = nullptr;
  QSpinBox* edtCount = nullptr;
  QPushButton* btnFind = nullptr;
  QPushButton* btnStop = nullptr;
  QTabWidget* tabs = nullptr;
  QTreeWidget* lstFiles = nullptr;
  QTreeWidget* lstTypes = nullptr;

private:
  void Finished(std::shared_ptr<TFileCensus> census, const QString& extension);
  void ShowFiles(const TFileCensus& census);
  void ShowTypes(const TFileCensus& census);
  void FileMenu(QPoint pos);
  void Join();

  IPageHost& host_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::shared_ptr<TFileCensus> census_;
};

// Shows the box of window (made on first use) and walks the current folder when it shows nothing.
void ShowLargestFiles(IPageHost& host, QWidget* window);
