#include "scan/PathFunctions.h"

#include "platform/DirEnum.h"
#include "scan/FolderTree.h"

#include <QStringList>

#include <algorithm>

#include <vector>

QString AddBackslash(const QString& path) {
  if (path.isEmpty() || path.endsWith(QLatin1Char('\\'))) return path;
  return path + QLatin1Char('\\');
}

QString RemoveBackslash(const QString& path) {
  return path.endsWith(QLatin1Char('\\')) ? path.left(path.size() - 1) : path;
}

bool IsDriveRoot(const QString& path) {
  const QString p = AddBackslash(path);
  return p.size() == 3 && p[1] == QLatin1Char(':');
}

QString ParentFolder(const QString& fileName) {
  const qsizetype cut = std::max(fileName.lastIndexOf(QLatin1Char('\\')), fileName.lastIndexOf(QLatin1Char(':')));
  const QString folder = fileName.left(cut + 1);
  return IsDriveRoot(folder) ? folder : RemoveBackslash(folder);
}

bool PathExists(const QString& path) {
  TFindData data;
  return FindEntry(path, data);
}

bool IsDirectory(const QString& path) {
  TFindData data;
  return FindEntry(path, data) && (data.Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t FileSizeLow(const QString& path) {
  TFindData data;
  return FindEntry(path, data) ? static_cast<uint32_t>(static_cast<uint64_t>(data.Size) & 0xFFFFFFFFu) : 0;
}

QChar NodeDriveLetter(const TTreeNode* node) {
  return node ? QChar(static_cast<char16_t>((node->StateIndex >> 8) & 0xFF)) : QChar();
}

QString NodePath(const TTreeNode* node) {
  if (!node) return {};
  std::vector<const TTreeNode*> chain;
  const TTreeNode* top = node;
  for (; top->Parent(); top = top->Parent()) chain.push_back(top);
  QString path = NodeDriveLetter(top) + QStringLiteral(":\\");
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += (*it)->Text();
    path += QLatin1Char('\\');
  }
  if (node->Parent()) path.chop(1);
  return path;
}

TTreeNode* RootNode(TTreeNode* node) {
  if (!node) return nullptr;
  while (node->Parent()) node = node->Parent();
  return node;
}

TTreeNode* FindChildNode(TTreeNode* node, const QString& name, bool caseSensitive) {
  if (!node) return nullptr;
  const QString wanted = caseSensitive ? name : name.toUpper();
  for (int i = 0; i < node->Count(); ++i) {
    TTreeNode* child = node->Child(i);
    const QString text = child->Text();
    if ((caseSensitive ? text : text.toUpper()) == wanted) return child;
  }
  return nullptr;
}

TTreeNode* FindNodeByPath(TTreeNode* root, const QString& relPath, bool caseSensitive) {
  TTreeNode* node = root;
  for (const QString& component : relPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
    node = FindChildNode(node, component, caseSensitive);
    if (!node) return nullptr;
  }
  return node;
}
