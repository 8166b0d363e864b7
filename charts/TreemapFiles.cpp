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

std::shared_ptr<const TTreemapListing> TTreemapFileReader::Listing(const TTreeNode& folder) {
  if (const auto found = byFolder_.find(&folder); found != byFolder_.end()) {
    recent_.splice(recent_.begin(), recent_, found->second);
    return found->second->second;
  }
  const std::optional<QByteArray> host = DriveToHost(NodePath(&folder));
  std::shared_ptr<const TTreemapListing> listing = host ? ReadTreemapListing(*host, maxFiles_) : nullptr;
  ++reads_;
  if (cached_ == 0) return listing;
  recent_.emplace_front(&folder, listing);
  byFolder_[&folder] = recent_.begin();
  while (recent_.size() > cached_) {
    byFolder_.erase(recent_.back().first);
    recent_.pop_back();
  }
  return listing;
}

void TTreemapFileReader::Clear() {
  recent_.clear();
  byFolder_.clear();
}
