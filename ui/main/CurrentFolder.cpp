#include "ui/main/CurrentFolder.h"

void TCurrentFolder::SetNode(TTreeNode* node) {
  if (node == node_) return;
  node_ = node;
  emit Changed();
}

void TCurrentFolder::SetFolder(TTreeNode* node, const QString& path) {
  if (node == node_ && path == path_) return;
  node_ = node;
  path_ = path;
  emit Changed();
}

void TCurrentFolder::SetDrive(QChar letter, int32_t clusterSize, int64_t total, int64_t free) {
  drive_ = letter;
  driveClusterSize_ = clusterSize;
  driveTotal_ = total;
  driveFree_ = free;
  emit Changed();
}
