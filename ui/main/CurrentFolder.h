#pragma once
// The folder the main window shows: its node, its drive path, its drive's letter and the drive's
// figures. The pages and tool windows read it; Changed tells them that another folder is shown
// or that the drive's figures were read again. Widget-free.

#include <QChar>
#include <QObject>
#include <QString>

#include <cstdint>

class TTreeNode;

class TCurrentFolder : public QObject {
  Q_OBJECT

public:
  // Null while no folder is shown.
  TTreeNode* Node = nullptr;
  QString Path;
  QChar Drive;
  int32_t DriveClusterSize = 0;
  int64_t DriveTotal = 0;
  int64_t DriveFree = 0;

  // Tells every observer that what is shown changed.
  void NotifyChanged() { emit Changed(); }

signals:
  void Changed();
};
