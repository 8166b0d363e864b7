#pragma once
// The trash of the current folder's drive on the Free Some Space page: what it holds (items and
// bytes; trashed folders keep their space until the trash is emptied) and an Empty Trash
// command. It follows the current folder and, after emptying, says which trash folders (drive
// paths) changed, so that the window reads them again where they lie in a scanned drive. The trash is measured on a thread of its own (a trash
// of many items takes a while to count) and the result comes back to the window's thread; a
// result about a drive no longer shown is dropped.

#include "cleanup/TrashBin.h"

#include <QChar>
#include <QStringList>
#include <QThreadPool>
#include <QWidget>

#include <functional>
#include <memory>

class IPageHost;
class QLabel;
class QPushButton;
class TOpContext;

class TTrashPanel : public QWidget {
  Q_OBJECT

public:
  TTrashPanel(IPageHost& host, QWidget* parent);
  ~TTrashPanel() override;

  // Starts measuring the trash of the current drive again (a measurement still running is
  // stopped and its result dropped).
  void Refresh();
  void EmptyTrashClick();
  // True while a measurement runs.
  bool Measuring() const { return running_ != nullptr; }

  // What measures a drive's trash, given the drive's host root; tests put in one they control.
  // Runs on a worker thread.
  using TMeasure = std::function<TTrashContents(const QByteArray& hostRoot, const TOpContext& context)>;
  static void SetMeasureForTests(TMeasure measure);

  QLabel* txtTrashContents = nullptr;
  QPushButton* btnEmptyTrash = nullptr;

signals:
  // A measurement's result has been shown.
  void Measured();
  // Emptying changed these trash folders (drive paths; on scanned drives or not).
  void FoldersChanged(const QStringList& drivePaths);

protected:
  void showEvent(QShowEvent* event) override;

private:
  void Show(const TTrashContents& contents);

  IPageHost& host_;
  QChar measured_;  // the drive whose trash the text is about
  // The measurement whose result is awaited; null when none.
  std::shared_ptr<TOpContext> running_;
  QThreadPool pool_;
};
