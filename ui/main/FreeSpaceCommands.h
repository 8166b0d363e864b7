#pragma once
// The commands of the "Free Some Space" page for the current folder: send it to the trash, delete
// it, move its contents elsewhere, archive it; then the tree follows what happened on disk. Also
// File > Restore Compressed Folders.

#include <QString>
#include <QStringList>

class IWindowServices;
class TCurrentFolder;
class TScanCommands;
class TScanQueue;
class TScanSession;
class TSettings;
class TTreeNode;

class TFreeSpaceCommands {
public:
  TFreeSpaceCommands(TScanSession& session, TScanQueue& scans, TCurrentFolder& current, TSettings& settings,
                     IWindowServices& window, TScanCommands& scanCommands);

  // Runs a command of the page (TCleanUpCommand) for the current folder; nothing for a drive root
  // or while a scan runs.
  void Run(int command);
  // The archive dialog on its restore page alone; restored folders that are on a drive follow in
  // the tree.
  void RestoreCompressedFolders();
  // Brings folders that changed on disk elsewhere into the tree: the nearest scanned folder of each
  // is read again; the folder shown stays shown.
  void RefreshFolders(const QStringList& drivePaths);

private:
  // movedTo: the target's drive path when it is on a drive (its figures follow in the tree).
  bool MoveFolder(const QString& path, TTreeNode* node, bool* changed, QString* movedTo);
  void ArchiveFolder(const QString& path, TTreeNode* node, bool* changed, QStringList* alsoChanged);
  void AfterOperation(const QString& path, TTreeNode* node, bool changed);

  TScanSession& session_;
  TScanQueue& scans_;
  TCurrentFolder& current_;
  TSettings& settings_;
  IWindowServices& window_;
  TScanCommands& scanCommands_;
};
