#pragma once
// The folder the main window shows: its node, its drive path, its drive's letter and the drive's
// figures. The window sets them; the pages and tool windows read them and follow Changed, which
// says that another folder is shown or that the drive's figures were read again. Widget-free.

#include <QChar>
#include <QObject>
#include <QString>

#include <cstdint>

class TTreeNode;

class TCurrentFolder : public QObject {
  Q_OBJECT

public:
  // Null while no folder is shown.
  TTreeNode* Node() const { return node_; }
  // The drive path of the folder last shown (kept while Node is null).
  const QString& Path() const { return path_; }
  // Null until a drive's figures were read.
  QChar Drive() const { return drive_; }
  int32_t DriveClusterSize() const { return driveClusterSize_; }
  int64_t DriveTotal() const { return driveTotal_; }
  int64_t DriveFree() const { return driveFree_; }

  // Makes node the folder shown (null: none), with its path when one is given.
  void SetNode(TTreeNode* node);
  void SetFolder(TTreeNode* node, const QString& path);
  // The shown folder's drive and its figures, just read; observers hear of it even when nothing
  // differs. A null letter forgets the drive.
  void SetDrive(QChar letter, int32_t clusterSize, int64_t total, int64_t free);

signals:
  void Changed();

private:
  TTreeNode* node_ = nullptr;
  QString path_;
  QChar drive_;
  int32_t driveClusterSize_ = 0;
  int64_t driveTotal_ = 0;
  int64_t driveFree_ = 0;
};
