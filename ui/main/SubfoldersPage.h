#pragma once
// The "Subfolders" page: the direct subfolders of the current folder with their figures, as the
// largest N, those above a threshold or all of them, sorted by any column.

#include "config/FoldersDisplay.h"
#include "reports/ReportView.h"
#include "reports/SubfolderRows.h"
#include "ui/main/PageHost.h"

#include <QWidget>

#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;
class TTreeComparison;
class TTreeNode;

class TSubfoldersPage : public QWidget, public IFolderPage {
  Q_OBJECT

public:
  // Builds the page inside page (which gets a layout holding it); levelUpIcon: the toolbar's Up
  // One Level picture.
  TSubfoldersPage(IPageHost& host, QWidget* page, const QIcon& levelUpIcon);

  void FillFor(TTreeNode* node) override { FillSubfolderList(node); }
  void Forget() override { listShownNode_ = nullptr; }
  void LayOut() override { LayoutPage(); }
  // The folder whose subfolders are listed; null after Forget.
  const TTreeNode* ShownNode() const { return listShownNode_; }
  // The five values saved with the settings: given once at start, read back at the end.
  void SetSavedValues(const TFoldersDisplaySettings& values);
  TFoldersDisplaySettings SavedValues() const;
  bool HasSavedValues() const { return valuesRead_; }
  // The list's filter and order as a report from the command line saves, changes and puts back
  // (IncludeWasted is the window's, not the page's: left as it is here).
  TSubfolderView View();
  void SetView(const TSubfolderView& view);

  // colChange is shown only while a comparison with a snapshot is (see SetComparison).
  enum { colName, colSize, colAllocated, colWasted, colShare, colObjects, colLastAccess, colLastChange, colOnDisk, colChange,
         ColumnCount };
  enum { dtTop, dtLargerThan, dtAll };

  // Fills the list for node unless it already is the one listed.
  void FillSubfolderList(TTreeNode* node);
  // The list's filter, threshold and order as the page's controls and the settings have them now.
  TSubfolderSettings CurrentSettings() const;
  // Smallest figure a subfolder needs to be listed: 0 unless the mode is "Folders Larger Than".
  int64_t Threshold() const;
  // Puts "-> " before the caption of column and takes it off every other.
  void SetSortMarker(int column);
  // Order of two rows for the signed column code (1 = name ... 8 = last change, negative for
  // descending): below 0, 0 or above 0.
  static int TheFilesListCompare(const QTreeWidgetItem* item1, const QTreeWidgetItem* item2, int code);
  void TheFilesListColumnClick(int column);
  // The comparison whose changes the Change column shows (null: the column is hidden). The
  // comparison must outlive its use here or be replaced first.
  void SetComparison(const TTreeComparison* comparison);
  // True when the list is sorted by the Change column.
  bool SortedByChange() const;
  void TheFilesListDblClick();
  void cbFoldersDisplayTypeChange();
  void ediFoldersLargerThanChange();
  void shapeWebUpOneLevelMouseUp();

  // The signed sort code, kept with the other four values the main window saves.
  int SubfolderSort() const;

  QLabel* txtWebFolderListPath = nullptr;
  QComboBox* cbFoldersDisplayType = nullptr;
  QLabel* txtFoldersTop = nullptr;
  QComboBox* cbFoldersTop = nullptr;
  QLineEdit* ediFoldersLargerThan = nullptr;
  QSpinBox* udFoldersLargerThan = nullptr;
  QComboBox* cbFoldersLargerThanBytes = nullptr;
  QWidget* panWebListLevelUp = nullptr;
  QLabel* imgWebUpOneLevel = nullptr;
  QTreeWidget* TheFilesList = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

private:
  // Puts the five saved values into the controls once they are known.
  void ApplySettings();
  // Takes the controls' values back into the five saved values.
  void StoreSettings();
  void SortRows();
  void LayoutPage();
  void ShowRowMenu(QPoint pos);

  IPageHost& host_;
  // Display type, Top count, threshold, threshold unit and the signed sort code.
  int32_t values_[5] = {};
  bool valuesRead_ = false;
  const TTreeNode* listShownNode_ = nullptr;
  bool settingsApplied_ = false;
  // Set while the controls are being set from the saved values: no refills then.
  bool applying_ = false;
  QString pathText_;
  const TTreeComparison* comparison_ = nullptr;
};
