#pragma once
// The files of a folder for the treemap, read from the disk when a folder's tile is large enough
// to show its files one by one: the tree keeps nothing per file, so the listing is read on
// demand. A reader keeps the listings the map being laid out asked for, and a few more (least
// recently used goes first). In the background mode the window uses, a listing not at hand is
// read on a worker thread: the map shows that folder's files as one tile meanwhile and is laid
// out again when the listing arrives.

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TTreeNode;

struct TTreemapFile {
  QString Name;
  int64_t Bytes = 0;
};

struct TTreemapListing {
  // The folder's own files (not its subfolders), largest first, equal sizes by name; at most
  // the reader's limit of them.
  std::vector<TTreemapFile> Files;
  // Files left out by the limit, and their bytes.
  int64_t MoreFiles = 0;
  int64_t MoreBytes = 0;
};

class ITreemapFileSource {
public:
  virtual ~ITreemapFileSource() = default;
  // The files of folder, or null when they cannot be read (or are not read yet).
  virtual std::shared_ptr<const TTreemapListing> Listing(const TTreeNode& folder) = 0;
  // A new map is being laid out: what it asks for is kept while it is shown.
  virtual void BeginMap() {}
};

// Reads the folder's own entries that are not folders (one lstat each, links not followed).
class TTreemapFileReader : public ITreemapFileSource {
public:
  // Keeps at most cached listings besides those of the map being laid out, each of at most
  // maxFiles files.
  explicit TTreemapFileReader(size_t cached = 256, size_t maxFiles = 512);
  ~TTreemapFileReader() override;

  std::shared_ptr<const TTreemapListing> Listing(const TTreeNode& folder) override;
  void BeginMap() override;
  // Forgets every listing, and drops those being read (the folders may have changed).
  void Clear();
  size_t CachedCount() const { return byFolder_.size(); }
  // Folders read from the disk so far (not taken from the cache).
  int64_t Reads() const { return reads_; }

  // Reads what is not at hand on a worker thread (the reader's thread must run an event loop):
  // Listing answers null meanwhile, and OnArrived is called on the reader's thread when a
  // listing is at hand. Off: Listing reads at once.
  void SetBackground(bool on);
  std::function<void()> OnArrived;
  bool Background() const { return background_; }
  // Listings being read on the worker thread.
  size_t Waiting() const { return waiting_.size(); }

private:
  struct TEntry {
    const TTreeNode* Folder;
    std::shared_ptr<const TTreemapListing> Listing;
    // The map that last asked for it.
    uint64_t Map;
  };
  void Keep(const TTreeNode& folder, std::shared_ptr<const TTreemapListing> listing);
  void Arrived(uint64_t generation, const TTreeNode* folder, std::shared_ptr<const TTreemapListing> listing);

  size_t cached_;
  size_t maxFiles_;
  int64_t reads_ = 0;
  uint64_t map_ = 0;
  // Counts Clear() calls: a listing read before the last one is dropped.
  uint64_t generation_ = 0;
  std::list<TEntry> recent_;  // most recently used first
  std::unordered_map<const TTreeNode*, std::list<TEntry>::iterator> byFolder_;
  bool background_ = false;
  std::unordered_set<const TTreeNode*> waiting_;
  // Where the worker's results are handed back (on the reader's thread), and the worker.
  std::unique_ptr<QObject> home_;
  std::unique_ptr<QThreadPool> pool_;
};

// Reads the listing of a host folder without any cache; null when it cannot be opened.
std::shared_ptr<const TTreemapListing> ReadTreemapListing(const QByteArray& hostFolder, size_t maxFiles);
