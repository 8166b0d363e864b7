#include "charts/TreemapFiles.h"

#include "platform/DriveTable.h"
#include "platform/HostNames.h"
#include "scan/PathFunctions.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

std::shared_ptr<const TTreemapListing> ReadTreemapListing(const QByteArray& hostFolder, size_t maxFiles) {
  const int fd = ::open(hostFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return nullptr;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return nullptr;
  }
  struct TRaw {
    std::string Name;
    int64_t Bytes;
  };
  std::vector<TRaw> raw;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    if (e->d_type == DT_DIR) continue;
    struct stat st {};
    // Vanished meanwhile: left out.
    if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode)) continue;
    raw.push_back({e->d_name, static_cast<int64_t>(st.st_size)});
  }
  ::closedir(dir);
  std::sort(raw.begin(), raw.end(), [](const TRaw& a, const TRaw& b) { return a.Bytes != b.Bytes ? a.Bytes > b.Bytes : a.Name < b.Name; });
  auto listing = std::make_shared<TTreemapListing>();
  const size_t kept = std::min(raw.size(), maxFiles);
  listing->Files.reserve(kept);
  for (size_t i = 0; i < raw.size(); ++i) {
    if (i < kept) {
      listing->Files.push_back({DecodeHostName(raw[i].Name), raw[i].Bytes});
    } else {
      ++listing->MoreFiles;
      listing->MoreBytes += raw[i].Bytes;
    }
  }
  return listing;
}

TTreemapFileReader::TTreemapFileReader(size_t cached, size_t maxFiles)
    : cached_(cached), maxFiles_(maxFiles), home_(std::make_unique<QObject>()) {}

TTreemapFileReader::~TTreemapFileReader() {
  // The worker finishes its listing first; what it hands back afterwards goes nowhere (home_
  // is gone with the reader, and queued calls to a deleted object are dropped).
  if (pool_) pool_->waitForDone();
  pool_.reset();
}

void TTreemapFileReader::SetBackground(bool on) {
  background_ = on;
  if (on && !pool_) {
    pool_ = std::make_unique<QThreadPool>();
    pool_->setMaxThreadCount(1);
  }
}

void TTreemapFileReader::BeginMap() { ++map_; }

std::shared_ptr<const TTreemapListing> TTreemapFileReader::Listing(const TTreeNode& folder) {
  if (const auto found = byFolder_.find(&folder); found != byFolder_.end()) {
    recent_.splice(recent_.begin(), recent_, found->second);
    found->second->Map = map_;
    return found->second->Listing;
  }
  const std::optional<QByteArray> host = DriveToHost(NodePath(&folder));
  if (background_ && host) {
    if (waiting_.insert(&folder).second) {
      QObject* home = home_.get();
      const uint64_t generation = generation_;
      const size_t maxFiles = maxFiles_;
      const QByteArray path = *host;
      pool_->start([this, home, generation, folder = &folder, path, maxFiles] {
        std::shared_ptr<const TTreemapListing> listing = ReadTreemapListing(path, maxFiles);
        QMetaObject::invokeMethod(home, [this, generation, folder, listing] { Arrived(generation, folder, listing); },
                                  Qt::QueuedConnection);
      });
    }
    return nullptr;
  }
  std::shared_ptr<const TTreemapListing> listing = host ? ReadTreemapListing(*host, maxFiles_) : nullptr;
  ++reads_;
  Keep(folder, listing);
  return listing;
}

void TTreemapFileReader::Arrived(uint64_t generation, const TTreeNode* folder, std::shared_ptr<const TTreemapListing> listing) {
  // Read before the folders last changed: the folder may not even be there any more.
  if (generation != generation_) return;
  waiting_.erase(folder);
  ++reads_;
  Keep(*folder, std::move(listing));
  if (OnArrived) OnArrived();
}

void TTreemapFileReader::Keep(const TTreeNode& folder, std::shared_ptr<const TTreemapListing> listing) {
  if (cached_ == 0) return;
  if (const auto found = byFolder_.find(&folder); found != byFolder_.end()) {
    recent_.erase(found->second);
    byFolder_.erase(found);
  }
  recent_.push_front({&folder, std::move(listing), map_});
  byFolder_[&folder] = recent_.begin();
  // What the map being laid out asked for stays (once maps are counted), however many that is:
  // else the map would ask for them again at every layout.
  while (recent_.size() > cached_ && !(map_ > 0 && recent_.back().Map == map_)) {
    byFolder_.erase(recent_.back().Folder);
    recent_.pop_back();
  }
}

void TTreemapFileReader::Clear() {
  recent_.clear();
  byFolder_.clear();
  waiting_.clear();
  ++generation_;
}
