#pragma once
// The files of a folder for the treemap, read from the disk when a folder's tile is large enough
// to show its files one by one: the tree keeps nothing per file, so the listing is read on
// demand. A reader keeps the last few listings it read (least recently used goes first).

#include <QString>

#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
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
  // The files of folder, or null when they cannot be read.
  virtual std::shared_ptr<const TTreemapListing> Listing(const TTreeNode& folder) = 0;
};

// Reads the folder's own entries that are not folders (one lstat each, links not followed).
class TTreemapFileReader : public ITreemapFileSource {
public:
  // Keeps at most cached listings, each of at most maxFiles files.
  explicit TTreemapFileReader(size_t cached = 256, size_t maxFiles = 512) : cached_(cached), maxFiles_(maxFiles) {}

  std::shared_ptr<const TTreemapListing> Listing(const TTreeNode& folder) override;
  // Forgets every listing (the folders may have changed).
  void Clear();
  size_t CachedCount() const { return byFolder_.size(); }
  // Folders read from the disk so far (not taken from the cache).
  int64_t Reads() const { return reads_; }

private:
  using TEntry = std::pair<const TTreeNode*, std::shared_ptr<const TTreemapListing>>;
  size_t cached_;
  size_t maxFiles_;
  int64_t reads_ = 0;
  std::list<TEntry> recent_;  // most recently used first
  std::unordered_map<const TTreeNode*, std::list<TEntry>::iterator> byFolder_;
};

// Reads the listing of a host folder without any cache; null when it cannot be opened.
std::shared_ptr<const TTreemapListing> ReadTreemapListing(const QByteArray& hostFolder, size_t maxFiles);
