#pragma once
// A walk over every file of a folder's subtree, for the views that need files one by one (the
// largest files, the file types). It runs on the scan's read-ahead and its workers, so it reads
// as fast as a scan does, but builds no tree and keeps nothing per file: each file is handed to
// a visitor and forgotten. It stays on the folder's file system, never follows links, names the
// folders it could not read and skips entries that vanish while it runs.
//
// Nothing here touches the folder tree: a walk may run on any thread.

#include "scan/ReadAhead.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

struct TWalkedFile {
  std::string_view Name;  // the raw name
  const TLinkedFile& Figures;
  // Its bytes count at this name: false for a further name of a file met before in this walk.
  bool Counted = true;
};

struct TFileWalkProgress {
  int64_t Folders = 0;  // folders read so far
  int64_t Files = 0;    // names of files met so far
  QString Folder;       // the folder being read (drive path)
};

class TFileWalk {
public:
  // Told of every file; folder is the raw path of its folder relative to the walked one ("" for
  // that one itself, "a/b" below it).
  using TVisitor = std::function<void(std::string_view folder, const TWalkedFile& file)>;
  // Told now and then (at most every 100 ms of work, and at the end).
  using TProgress = std::function<void(const TFileWalkProgress&)>;

  // cancel, when given, stops the walk as soon as it is set (from any thread).
  explicit TFileWalk(const std::atomic<bool>* cancel = nullptr) : cancel_(cancel) {}

  // Walks the folder at drivePath (with or without a trailing backslash). False when it was
  // refused (a pseudo file system: Refusal() says why) or cancelled; the files visited so far
  // were visited all the same.
  bool Run(const QString& drivePath, const TVisitor& visitor, const TProgress& progress = {});

  bool Cancelled() const { return cancelled_; }
  const QString& Refusal() const { return refusal_; }
  // The walked folder's drive path, without a trailing backslash for anything but a drive root.
  const QString& DrivePath() const { return drivePath_; }
  // The walked folder's host path.
  const QByteArray& HostPath() const { return hostPath_; }
  int64_t Folders() const { return folders_; }
  // Folders that could not be opened or read to their end, as drive paths.
  const QStringList& UnreadablePaths() const { return unreadable_; }

  // A path relative to the walked folder (raw, "/"-separated) as a drive path and as a host path.
  QString DrivePathOf(std::string_view relative) const;
  QByteArray HostPathOf(std::string_view relative) const;

  // Workers the read-ahead uses; TReadAhead::DefaultWorkers() unless set.
  void SetWorkers(int workers) { workers_ = workers; }

private:
  bool Stopping() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }

  const std::atomic<bool>* cancel_;
  int workers_ = -1;
  bool cancelled_ = false;
  QString refusal_;
  QString drivePath_;
  QByteArray hostPath_;
  int64_t folders_ = 0;
  QStringList unreadable_;
};
