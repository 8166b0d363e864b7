#pragma once
// The Options dialog: the 18 colours, four preferences, the three minimum pie angles as
// percentages, the drives scanned at start-up, the file-manager verb for folders and the scan
// history (its store, and whether a whole-drive scan saves a snapshot). Every value
// is checked before any is stored: a rejected value leaves all settings as they were.

#include "config/PieColors.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QCheckBox;
class QFrame;
class TSettings;
class QLineEdit;
class QListWidget;
class QPushButton;

class TOptionsBox : public QDialog {
  Q_OBJECT

public:
  // Edits settings (OK stores into them in one change). Centres itself over owner.
  TOptionsBox(TSettings& settings, QWidget* owner);

  // True once OK has stored the values.
  bool Accepted = false;
  TPieColorTable WorkColors{};

  // The program file the folder verb starts; the running program unless a test sets another.
  QString ProgramPath;

  // Test seam: asks for a colour instead of the system's colour picker (none: cancelled).
  using TColorPicker = std::function<std::optional<TColor>(TColor initial)>;
  static void SetColorPicker(TColorPicker picker);

  QListWidget* lbColors = nullptr;
  QFrame* TheColorButton = nullptr;
  QPushButton* Button1 = nullptr;
  QCheckBox* chkColorEachFolder = nullptr;
  QCheckBox* chkIncludeWasted = nullptr;
  QCheckBox* chkShowFileNames = nullptr;
  QCheckBox* chkAutoExpand = nullptr;
  QCheckBox* chkAutoCollapse = nullptr;
  QLineEdit* ediMinFileSection = nullptr;
  QLineEdit* ediMinFolderSection = nullptr;
  QLineEdit* ediMinTextSection = nullptr;
  QPushButton* cmdDefaultValues = nullptr;
  QListWidget* TheDrivesBox = nullptr;
  QCheckBox* chkExplorerMenu = nullptr;
  QCheckBox* chkSaveSnapshotAfterScan = nullptr;
  QLineEdit* ediHistoryStore = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdHelp = nullptr;

  void lbColorsClick();
  void TheColorButtonClick();
  void Button1Click();
  void cmdDefaultValuesClick();
  void cmdHelpClick();
  void cmdOKClick();

  // The letters of the listed drives and of the checked ones, in list order.
  QString ListedLetters() const;
  QString CheckedLetters() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  TSettings& settings_;
  void PaintColorButton();
  QLineEdit* AngleField(int index) const;
};
