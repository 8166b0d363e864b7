#pragma once
// Drive paths and folder-tree nodes. Paths are drive-letter paths with backslashes; a drive root
// is the letter, a colon and a backslash.

#include <QString>

#include <cstdint>

class TTreeNode;
class TFolderTree;

QString AddBackslash(const QString& path);
QString RemoveBackslash(const QString& path);
bool IsDriveRoot(const QString& path);
QString ParentFolder(const QString& fileName);

bool PathExists(const QString& path);
bool IsDirectory(const QString& path);
uint32_t FileSizeLow(const QString& path);

QString NodePath(const TTreeNode* node);
TTreeNode* RootNode(TTreeNode* node);
TTreeNode* FindChildNode(TTreeNode* node, const QString& name, bool caseSensitive);
TTreeNode* FindNodeByPath(TTreeNode* root, const QString& relPath, bool caseSensitive);

// The drive letter kept in a top-level node's state index (0 when there is none).
QChar NodeDriveLetter(const TTreeNode* node);
