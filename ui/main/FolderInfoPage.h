#pragma once
// The "Folder Info" page: the figures of the current folder's tree beside those of the folder
// alone, and a grid of its names, dates and attributes.

#include "reports/FolderInfoRows.h"
#include "ui/main/PageHost.h"

#include <QWidget>

class QLabel;
class QTableWidget;
class TTreeNode;

class TFolderInfoPage : public QWidget, public IFolderPage {
  Q_OBJECT

public:
  // Builds the page inside page (which gets a layout holding it).
  TFolderInfoPage(IPageHost& host, QWidget* page);

  void FillFor(TTreeNode* node) override { FillFolderInfo(node); }
  void Forget() override { shownPath_.clear(); }
  void LayOut() override { LayoutPage(); }
  // The path of the folder shown; empty after Forget.
  const QString& ShownPath() const { return shownPath_; }

  // Fills the page for node; does nothing when it already shows the current path.
  void FillFolderInfo(TTreeNode* node);

  // Row labels of the grid.
  enum { rowLongName = int(fiLongName), rowShortName, rowLastAccess, rowLastChange, rowCreation, rowAttributes, rowBlank,
         rowReadOnly, rowHidden, rowSystem, rowCompressed, RowCount };
  static_assert(int(RowCount) == int(FolderInfoRowCount));

  QWidget* panWebFolderInfoPath = nullptr;
  QLabel* imgWebFolderInfo = nullptr;
  QLabel* txtWebFolderInfoType = nullptr;
  QLabel* txtWebFolderInfoPath = nullptr;
  QLabel* imgTreeBarChart = nullptr;
  QWidget* panWebFolderInfoSizeSupport = nullptr;
  QWidget* panWebFolderInfoSizeSupport2 = nullptr;
  QLabel* txtWebTreeInfoSize = nullptr;
  QLabel* txtWebTreeInfoAllocated = nullptr;
  QLabel* txtWebTreeInfoWasted = nullptr;
  QLabel* txtWebTreeInfoObjects = nullptr;
  QLabel* txtWebFolderInfoSize = nullptr;
  QLabel* txtWebFolderInfoAllocated = nullptr;
  QLabel* txtWebFolderInfoWasted = nullptr;
  QLabel* txtWebFolderInfoObjects = nullptr;
  // "On disk": the blocks the files occupy (of the tree, of the folder alone).
  QLabel* txtWebTreeInfoOnDisk = nullptr;
  QLabel* txtWebFolderInfoOnDisk = nullptr;
  QTableWidget* gridFolderInfo = nullptr;

  // The grid's value in a row.
  QString Value(int row) const;

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

private:
  void LayoutPage();
  void imgWebFolderInfoClick();

  IPageHost& host_;
  QString shownPath_;
  // The header's full path text, shortened to the label's width by LayoutPage.
  QString pathText_;
};
