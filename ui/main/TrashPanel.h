#pragma once
// The trash of the current folder's drive on the Free Some Space page: what it holds (items and
// bytes; trashed folders keep their space until the trash is emptied) and an Empty Trash
// command. Self-contained: it follows the current folder and, after emptying, rescans the trash
// folder where it lies in a scanned drive.

#include <QChar>
#include <QWidget>

class IPageHost;
class QLabel;
class QPushButton;

class TTrashPanel : public QWidget {
public:
  TTrashPanel(IPageHost& host, QWidget* parent);

  // Measures the trash of the current drive again.
  void Refresh();
  void EmptyTrashClick();

  QLabel* txtTrashContents = nullptr;
  QPushButton* btnEmptyTrash = nullptr;

protected:
  void showEvent(QShowEvent* event) override;

private:
  IPageHost& host_;
  QChar measured_;  // the drive whose trash the text is about
};
