#pragma once
// The Scan Drives dialog with its drive check list, and the dialogs that map a drive letter to a
// folder and take such a mapping away.

#include <QDialog>
#include <QListWidget>

class QComboBox;
class QLineEdit;

// A check list of the drives: one item per drive letter, its text the upper-case letter followed
// by the drive's display name, with the drive's icon.
class TShExDriveCheckListBox : public QListWidget {
  Q_OBJECT
public:
  explicit TShExDriveCheckListBox(QWidget* parent = nullptr);
  void Rebuild();
  // The letters of the checked items, in list order.
  QString CheckedLetters() const;
  void CheckAll(bool checked);
  void SetChecked(QChar letter, bool checked);
};

class TDrivesSelectBox : public QDialog {
  Q_OBJECT
public:
  explicit TDrivesSelectBox(QWidget* owner);
  TShExDriveCheckListBox* TheDrivesBox = nullptr;
  // The checked drives, each as its letter followed by its name, in list order.
  QStringList CheckedTexts() const;

protected:
  void showEvent(QShowEvent* e) override;

private:
  void NetworkDialog(bool map);
};

// "Map Network Drive": a free letter and a host folder.
class TMapDriveBox : public QDialog {
  Q_OBJECT
public:
  explicit TMapDriveBox(QWidget* owner);
  QComboBox* cbLetter = nullptr;
  QLineEdit* ediFolder = nullptr;
  void accept() override;
};

// "Disconnect Network Drive": one of the letters the user mapped.
class TDisconnectDriveBox : public QDialog {
  Q_OBJECT
public:
  explicit TDisconnectDriveBox(QWidget* owner);
  QListWidget* lbDrives = nullptr;
  void accept() override;
};

// The drive letter of the program's own file (0 when it is on no drive).
QChar ProgramDrive();
// Runs the map or disconnect dialog; true when a mapping changed.
bool RunNetworkDriveDialog(QWidget* owner, bool map);
