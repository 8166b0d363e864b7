#pragma once
// The tree bar chart window: the current folder and every folder below it, one row each, with a
// bar whose length shows the folder's size against the chart's root. A model with uniform rows
// and a delegate that draws them keep a tree of many thousands of folders smooth.

#include "charts/BarChartRows.h"
#include "config/PieColors.h"

#include <QAbstractListModel>
#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QHeaderView;
class QLabel;
class QListView;
class QStatusBar;
class TTreeNode;

// The rows of the chart for a list view: one row per folder, nothing else; the delegate asks the
// window what to draw.
class TBarChartModel : public QAbstractListModel {
  Q_OBJECT
public:
  using QAbstractListModel::QAbstractListModel;
  void SetRows(std::vector<TBarChartRow> rows);
  const TBarChartRow* Row(int row) const;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // The figure a row's bar stands for, as an accessibility client reads it beside the path.
  std::function<QString(int row)> Figure;

private:
  std::vector<TBarChartRow> rows_;
};

class TSettings;

class TBarChartBox : public QDialog {
  Q_OBJECT

public:
  // The bars' colour and the wasted-space choice come from settings (their defaults without).
  explicit TBarChartBox(QWidget* owner, const TSettings* settings = nullptr);
  ~TBarChartBox() override;
  // Writes the placement, the "Graph" width and the two check boxes to "BarChartBox" (the main
  // window calls it as the program ends; a failure to write is thrown).
  void SaveSettings();

  static constexpr int RowHeight = 24;

  // Fills the window for a folder: its rows, the reference value, the caption, and row 0
  // selected with the status bar describing it. A null node gives an empty chart.
  void ShowFor(TTreeNode* node);
  // ShowFor, then the window modally; the path chosen by double click or Enter, empty otherwise.
  QString Choose(TTreeNode* node);

  // The figure a row stands for (with or without subfolders and wasted space, as the window is
  // set); none for a folder without a record.
  std::optional<int64_t> RowValue(int row) const;
  // Pixels of the row's bar in the current "Graph" width; 0 for a folder without a record.
  int32_t RowBarLength(int row) const;
  // The colour of the bars.
  TColor BarColor() const;
  // The row's text as drawn: the shortened full path or the indented name.
  QString RowText(int row) const;
  int32_t GraphWidth() const;
  int RowCount() const { return model_->rowCount(); }

  TTreeNode* ChartRoot = nullptr;
  int64_t ChartMax = 0;
  QString ChosenPath;

  QWidget* Panel1 = nullptr;
  QWidget* Panel2 = nullptr;
  QCheckBox* chkIncludeSubfolders = nullptr;
  QCheckBox* chkShowFullPath = nullptr;
  QLabel* Label1 = nullptr;
  QHeaderView* TheHeader = nullptr;
  QListView* BarList = nullptr;
  QStatusBar* TheStatusBar = nullptr;
  QLabel* txtStatusSize = nullptr;  // status panel 0
  QLabel* txtStatusPath = nullptr;  // status panel 1

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void done(int result) override;

private:
  const TSettings* settings_ = nullptr;
  void BarListClick();
  void ChooseCurrent();
  void FitFolderSection();
  bool IncludeWasted() const;

  TBarChartModel* model_ = nullptr;
};
