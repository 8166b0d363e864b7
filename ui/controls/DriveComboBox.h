#pragma once
// The toolbar's drive box: one item per drive in alphabetical order, each with the drive's icon
// and display name. An item's text is the drive letter followed by the display name; the letter
// is the item's key and is never drawn.

#include <QChar>
#include <QComboBox>

class TShExDriveComboBox : public QComboBox {
  Q_OBJECT
public:
  explicit TShExDriveComboBox(QWidget* parent = nullptr);

  // The letter of the selected drive, or 0 when nothing is selected.
  QChar Drive() const;
  // Selects the drive of letter (either case) and fires Change. Nothing happens when it is the
  // selected drive already; a letter without a drive keeps the selection but still fires Change.
  void SetDrive(QChar letter);

  // Builds the list again from the drive table. The selected drive stays selected when it is
  // still there; Change is not fired.
  void RebuildDrives();

  // Icon size and item height in use (the small-icon metric, and the larger of the font's height
  // and the icon height).
  int IconSize() const { return iconSize_; }
  int ItemHeight() const { return itemHeight_; }

signals:
  // The control's change event: fired by SetDrive and when the user picks an item.
  void Change();

protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void UpdateMetrics();

  int iconSize_ = 16;
  int itemHeight_ = 16;
};
