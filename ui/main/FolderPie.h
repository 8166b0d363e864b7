#pragma once
// The "Pie Chart" page: the current folder's space divided among its subfolders and its own files,
// the section header above the pie, and the pie's mouse handling.

#include "charts/BitmapCanvas.h"
#include "charts/FolderPieSections.h"
#include "charts/HPieChart.h"
#include "charts/ui/ChartAccessible.h"
#include "ui/main/PageHost.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QFrame;
class QLabel;
class TSimplePieGauge;
class TTreeNode;

// The item last under the mouse, as the context menu needs it.
struct TCurrentPieItem {
  QString Path;
  TTreeNode* Node = nullptr;
  int64_t Size = 0;
  int64_t Wasted = 0;
  const TSectionInfo* Info = nullptr;
};

// The paint box the pie is shown in. It keeps what the engine sends it (the whole picture after a
// rebuild, single label boxes while the mouse moves) and repaints just the reported rectangles.
// It also tells accessibility clients what the sections are, and lets the keyboard step through
// them: arrow keys move the focus section (marked in the palette's highlight colour), Home and
// End go to the first and last, Enter opens a folder's section as a click does.
class TFolderPieBox : public QWidget, public TPaintTarget, public IAccessibleItems {
  Q_OBJECT

public:
  explicit TFolderPieBox(QWidget* parent = nullptr);

  struct TItem {
    QString Name;
    QString Figure;
    // The label's box, or a mark inside the section when it has no label.
    QRect Box;
  };
  // The sections as last drawn; the focus stays on its index where it still exists.
  void SetItems(std::vector<TItem> items);
  const std::vector<TItem>& Items() const { return items_; }
  int FocusItem() const { return focus_; }
  void SetFocusItem(int item);

  int AccessibleItemCount() const override { return static_cast<int>(items_.size()); }
  QString AccessibleItemName(int item) const override;
  QString AccessibleItemFigure(int item) const override;
  QRect AccessibleItemRect(int item) const override;
  int AccessibleFocusItem() const override { return focus_; }

  std::function<void(int item)> OnFocusItem;
  std::function<void(int item)> OnOpenItem;

  TCanvas& Canvas() override { return screen_.Canvas(); }
  void Painted(const TRect& rect) override;
  const QImage& Screen() const { return screen_.Image(); }
  // Sized in pixels, held at the screen's device pixel ratio.
  void SetScreenSize(int width, int height) { screen_.SetSize(width, height, devicePixelRatioF()); }

  int32_t PieCursor() const { return cursor_; }
  // Switches to cursor slot k at once; nothing when it is already shown.
  void SetPieCursor(int32_t k);

  // Every rectangle the engine reported, oldest first; the page clears it at each rebuild.
  std::vector<TRect> PaintedRects;

  std::function<void(int x, int y)> OnMouseMove;
  std::function<void(Qt::MouseButton button, int x, int y)> OnMouseDown;
  std::function<void()> OnResize;

protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

private:
  TBitmap screen_;
  std::vector<TItem> items_;
  int focus_ = -1;
  int32_t cursor_ = PieCursorArrow;
};

class TPiePage : public QWidget, public IFolderPage {
  Q_OBJECT

public:
  // Fills page (the main window's pie tab) with the header and the paint box.
  TPiePage(IPageHost& host, QWidget* page);
  ~TPiePage() override;

  void FillFor(TTreeNode* node) override { ShowPiePage(node); }
  void Forget() override { shownPath_.clear(); }
  void LayOut() override { LayoutPie(); }
  // The path of the folder whose pie is built; empty after Forget.
  const QString& ShownPath() const { return shownPath_; }

  // The page filler: shows or hides the tool window, lays out, and rebuilds when the folder is
  // not the one on show.
  void ShowPiePage(TTreeNode* node);
  // Gives the engine and its picture the paint box's size and redraws from the sections as they are.
  void LayoutPie();
  void BuildFolderPie(TTreeNode* node);
  // Colours and the label threshold from the settings.
  void ApplyPieSettings();

  void FolderPieMouseMove(int x, int y);
  // Highlights section h (-1: none) and shows it in the header, as the mouse over it does.
  void HighlightSection(int h);
  // What a click on section h does: its folder is selected.
  void OpenSection(int h);
  // Hands the paint box the sections as drawn, for the keyboard and accessibility clients.
  void UpdatePieItems();
  void FolderPieMouseDown(Qt::MouseButton button, int x, int y);
  void ShowPieItem(const QString& caption, const QString& path, TSectionKind kind, int64_t wasted, int64_t size);
  void imgIconClick();
  // The header's drive texts: "of X:" and the drive's total size.
  void ShowDrive(QChar letter, const QString& totalText);

  THPieChart& Chart() { return *chart_; }
  const TBitmap& PieBitmap() const { return pieBitmap_; }

  std::vector<std::unique_ptr<TSectionInfo>> SectionInfos;
  int64_t OtherFoldersSize = 0;
  int64_t OtherFoldersWasted = 0;
  int64_t OtherFilesSize = 0;
  int64_t OtherFilesWasted = 0;
  int32_t PieHotSection = -1;
  TCurrentPieItem CurrentPieItem;

  QWidget* panPieSectionHeader = nullptr;
  QLabel* imgIcon = nullptr;
  QLabel* txtWebFolderType = nullptr;
  QLabel* txtWebFolderName = nullptr;
  QWidget* panPieSectionSize = nullptr;
  QLabel* txtWebFolderSize = nullptr;
  TSimplePieGauge* gaugeWebSection = nullptr;
  // Written when the shown drive changes: "of X:" and the drive's total size.
  QLabel* txtWebSectionDrive = nullptr;
  QLabel* txtWebSectionDriveSize = nullptr;
  QFrame* Shape1 = nullptr;
  TFolderPieBox* FolderPie = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void SetIcon(const QPixmap& icon);
  // Collapses node and every expanded folder below it in the tree view.
  void CollapseAll(TTreeNode* node);

  IPageHost& host_;
  TBitmap pieBitmap_;
  std::unique_ptr<THPieChart> chart_;
  QString shownPath_;
};
