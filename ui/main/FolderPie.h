#pragma once
// The "Pie Chart" page: the current folder's space divided among its subfolders and its own files,
// the section header above the pie, and the pie's mouse handling.

#include "charts/BitmapCanvas.h"
#include "charts/HPieChart.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QFrame;
class QLabel;
class TMainForm;
class TSimplePieGauge;
class TTreeNode;

enum class TSectionKind { File, Folder, Summary };

// What the header shows for one pie section (or, at index 0, for the current folder itself).
struct TSectionInfo {
  TTreeNode* Node = nullptr;
  int64_t Size = 0;
  int64_t Wasted = 0;
  int32_t Cursor = 0;
  QString Name;
  QString Path;
  TSectionKind Kind = TSectionKind::File;
};

// The item last under the mouse, as the context menu needs it.
struct TCurrentPieItem {
  QString Path;
  TTreeNode* Node = nullptr;
  int64_t Size = 0;
  int64_t Wasted = 0;
  const TSectionInfo* Info = nullptr;
};

// Cursor slots of the pie: the arrow, "open this subfolder", "go to the parent".
inline constexpr int32_t PieCursorArrow = 0;
inline constexpr int32_t PieCursorZoomIn = 5;
inline constexpr int32_t PieCursorZoomOut = 6;

inline constexpr char FilesInThisFolderText[] = "Files in this folder";
inline constexpr char OtherSmallerFoldersText[] = "Other smaller folders";
inline constexpr char OtherSmallerFilesText[] = "Other smaller files";
inline constexpr char EmptyFolderText[] = "This folder (0 bytes)";

// The paint box the pie is shown in. It keeps what the engine sends it (the whole picture after a
// rebuild, single label boxes while the mouse moves) and repaints just the reported rectangles.
class TFolderPieBox : public QWidget, public TPaintTarget {
  Q_OBJECT

public:
  explicit TFolderPieBox(QWidget* parent = nullptr);

  TCanvas& Canvas() override { return Screen_.Canvas(); }
  void Painted(const TRect& rect) override;
  const QImage& Screen() const { return Screen_.Image(); }
  void SetScreenSize(int width, int height) { Screen_.SetSize(width, height); }

  int32_t PieCursor() const { return Cursor_; }
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

private:
  TBitmap Screen_;
  int32_t Cursor_ = PieCursorArrow;
};

class TPiePage : public QWidget {
  Q_OBJECT

public:
  // Fills page (the main window's pie tab) with the header and the paint box.
  TPiePage(TMainForm& form, QWidget* page);
  ~TPiePage() override;

  // The page filler: shows or hides the tool window, lays out, and rebuilds when the folder is
  // not the one on show.
  void ShowPiePage(TTreeNode* node);
  // Gives the engine and its picture the paint box's size and redraws from the sections as they are.
  void LayoutPie();
  void BuildFolderPie(TTreeNode* node);
  // Colours and the label threshold from the settings.
  void ApplyPieSettings();

  void FolderPieMouseMove(int x, int y);
  void FolderPieMouseDown(Qt::MouseButton button, int x, int y);
  void ShowPieItem(const QString& caption, const QString& path, TSectionKind kind, int64_t wasted, int64_t size);
  void imgIconClick();
  // The header's drive texts: "of X:" and the drive's total size.
  void ShowDrive(QChar letter, const QString& totalText);

  THPieChart& Chart() { return *Chart_; }
  const TBitmap& PieBitmap() const { return PieBitmap_; }

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
  void AddFileSections(const QString& path, int64_t total);
  enum class TAccumulate { None, Folders, Files };
  void AddPieItem(const QString& name, const QString& parentPath, int colorIndex, TSectionKind kind,
                  TAccumulate accumulate, TTreeNode* node, double minimum, int64_t wasted, int64_t size,
                  int64_t total);
  void AddLabelledSection(const QString& name, int colorIndex, TTreeNode* node, int64_t size, int64_t wasted,
                          double angle);
  void SetIcon(const QPixmap& icon);
  // Collapses node and every expanded folder below it in the tree view.
  void CollapseAll(TTreeNode* node);

  TMainForm& Form_;
  TBitmap PieBitmap_;
  std::unique_ptr<THPieChart> Chart_;
};
