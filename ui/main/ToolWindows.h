#pragma once
// The two tool windows created beside the main window at start: "Wasted & Drive Info" and the
// tree bar chart.

#include "charts/ui/BarChartBox.h"

#include <QString>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class TSimplePieGauge;
class TCurrentFolder;
class TSettings;
class TTreeNode;

// What the "Wasted & Drive Info" window tells the window that owns it.
class ISectionBoxOwner {
public:
  virtual ~ISectionBoxOwner() = default;
  // The user closed the tool window (not the program's end).
  virtual void SectionBoxClosedByUser() = 0;
  // The owner is closing: the program ends.
  virtual bool ProgramEnding() const = 0;
  // The folder shown, whose drive's figures the window shows.
  virtual TCurrentFolder& Current() = 0;
  // The settings: the gauges' colours and whether the window is wanted.
  virtual TSettings& Settings() = 0;
};

// "Wasted & Drive Info": a small always-on-top window beside the pie page with two gauges, how
// much of the item's space is wasted and how much of its drive is free. Closing it only hides
// it; its placement is kept in "PopUpBox".
class TSectionSizeBox : public QWidget {
  Q_OBJECT

public:
  explicit TSectionSizeBox(QWidget* owner);
  ~TSectionSizeBox() override;

  // The designed size that "&Default Size" brings back.
  static constexpr int DefaultWidth = 98;
  static constexpr int DefaultHeight = 238;

  // The wasted share of the item (whole percent) and its wasted size as text.
  void ShowWasted(int share, const QString& text);
  // The wasted share and size of a folder's tree at the cluster size chosen in the selector;
  // nothing for a node without its figures.
  void ShowFolderWasted(const TTreeNode* node);
  // The drive's letter, its free share (whole percent), free size and capacity as texts.
  void ShowDrive(QChar letter, int freeShare, const QString& freeText, const QString& totalText);
  // Takes the gauges' colours from the pie colours ("Section Wasted", "Free space").
  void ApplyGaugeColors();
  // Hides the window and records that the user does not want it ("&Hide", the close box).
  void popSectionBoxHideClick() { close(); }
  void popSectionBoxDefaultSizeClick() { resize(DefaultWidth, DefaultHeight); }
  // Stores the placement in "PopUpBox"; throws when the settings cannot be written. The main
  // window calls it when the program ends.
  void SavePlacement();
  // The program is ending: a close from now on is not the user's.
  void SetProgramEnding() { programEnding_ = true; }

  QWidget* panWasted = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* txtWasted = nullptr;
  TSimplePieGauge* gaugeWasted = nullptr;
  QLabel* Label1 = nullptr;
  QWidget* panDrive = nullptr;
  QLabel* txtDrive = nullptr;
  QLabel* Label4 = nullptr;
  QWidget* panFreeSpace = nullptr;
  TSimplePieGauge* gaugeDriveFreeSpace = nullptr;
  QLabel* txtDriveFreeSpace = nullptr;
  QLabel* txtDriveCapacity = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* popSectionBoxHide = nullptr;
  QAction* popSectionBoxDefaultSize = nullptr;

protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  void CentreGauges();

  bool programEnding_ = false;
  // The owner's settings; none for a window without an owner.
  TSettings* settings_ = nullptr;
};

