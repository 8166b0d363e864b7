#pragma once
// A snapshot from the history set against the folder tree as it is now: every folder of the
// compared subtree gets its change (grown, shrunk, new or the same), the full list of changes
// (gone folders too) is kept for the report, and the comparison can be made again from the
// tree after it changed. Built on the thread that owns the tree; no widgets.

#include "history/Snapshot.h"
#include "history/SnapshotCompare.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <unordered_map>

class TTreeNode;

enum class TChangeMark { Same, Grown, Shrunk, New };

struct TNodeChange {
  TChangeMark Mark = TChangeMark::Same;
  int64_t Delta = 0;    // bytes now minus bytes then
  int64_t OldSize = 0;  // 0 for a new folder
  int64_t NewSize = 0;
};

class TTreeComparison {
public:
  // older: a snapshot read from the history; root: the folder of the tree it stands for, whose
  // drive path is rootPath (the snapshot's own drive path may name another letter).
  TTreeComparison(TSnapshot older, const TTreeNode* root, const QString& rootPath);

  // Compares again with the tree below root as it is now (after a rescan or a removal).
  void Rebuild(const TTreeNode* root);

  const TSnapshotInfo& Older() const { return older_.Info; }
  // The compared folder's drive path now.
  const QString& RootPath() const { return rootPath_; }
  const TTreeNode* Root() const { return root_; }
  // When the tree's side was taken (UTC).
  const QDateTime& Time() const { return time_; }
  // Every change, largest absolute change first (see CompareSnapshots).
  const TSnapshotComparison& Result() const { return result_; }
  int64_t OlderBytes() const { return older_.Folders.empty() ? 0 : older_.Folders.front().Size; }
  int64_t NewerBytes() const { return OlderBytes() + result_.TotalChange; }

  // The change of a folder of the compared subtree; nothing for others (outside the subtree, or
  // without figures).
  const TNodeChange* ChangeOf(const TTreeNode* node) const;
  // How many changes of each kind: grown, shrunk, new, gone.
  struct TCounts {
    int64_t Grown = 0, Shrunk = 0, New = 0, Gone = 0;
  };
  TCounts Counts() const;

private:
  TSnapshot older_;
  QString rootPath_;
  const TTreeNode* root_ = nullptr;
  QDateTime time_;
  TSnapshotComparison result_;
  std::unordered_map<const TTreeNode*, TNodeChange> nodes_;
};

// "+1.5 MB" / "-200 bytes" / "0 bytes": a change in the program's size format with its sign.
QString SignedSizeText(int64_t delta);
// The change as a share of the size before: "+12.5%", "-3.0%", "0.0%"; "new" when there was
// nothing before; "gone" for a folder that went.
QString ChangePercentText(int64_t delta, int64_t oldSize, bool gone = false);
