#include "scan/FileCensus.h"

#include "platform/HostNames.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace {

// Ranks a before b: larger first, equal sizes by path.
bool RanksBefore(const TLargeFile& a, const TLargeFile& b) {
  if (a.Size != b.Size) return a.Size > b.Size;
  return a.Relative < b.Relative;
}

std::string_view RawExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
  return name.substr(dot + 1);
}

struct TTypeCounts {
  int64_t Count = 0;
  int64_t Bytes = 0;
  int64_t OnDisk = 0;
};

struct TStringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>()(s); }
};

}  // namespace

QString FileExtensionOf(std::string_view rawName) {
  const std::string_view raw = RawExtension(rawName);
  return raw.empty() ? QString::fromLatin1(NoExtensionText) : DecodeHostName(raw).toLower();
}

QString TFileCensus::DrivePathOf(const TLargeFile& file) const {
  QString path = DrivePath;
  for (const QByteArray& name : file.Relative.split('/')) {
    if (!path.endsWith(QLatin1Char('\\'))) path += QLatin1Char('\\');
    path += DecodeHostName(std::string_view(name.constData(), static_cast<size_t>(name.size())));
  }
  return path;
}

QByteArray TFileCensus::HostPathOf(const TLargeFile& file) const {
  return HostPath.endsWith('/') ? HostPath + file.Relative : HostPath + '/' + file.Relative;
}

TFileCensus TakeFileCensus(const TFileCensusRequest& request) {
  TFileCensus census;
  const size_t wanted = static_cast<size_t>(std::clamp(request.Largest, 0, MaxLargestFiles));
  std::vector<TLargeFile> heap;  // the worst of the best so far on top
  heap.reserve(std::min<size_t>(wanted, 1024));
  std::unordered_map<std::string, TTypeCounts, TStringHash, std::equal_to<>> types;
  TLargeFile candidate;
  std::string_view lastType;
  TTypeCounts* lastCounts = nullptr;

  TFileWalk walk(request.Cancel);
  walk.SetWorkers(request.Workers);
  auto visit = [&](std::string_view folder, const TWalkedFile& file) {
    const TLinkedFile& f = file.Figures;
    ++census.Files;
    const int64_t size = file.Counted ? f.Size : 0;
    const int64_t onDisk = file.Counted ? f.OnDisk : 0;
    census.Bytes += size;
    census.OnDisk += onDisk;
    if (request.Types) {
      // Names in a row often share their type: the last type's counts are at hand without a
      // lookup (elements of the map stay where they are when it grows).
      const std::string_view ext = RawExtension(file.Name);
      if (!lastCounts || ext != lastType) {
        auto it = types.find(ext);
        if (it == types.end()) it = types.emplace(std::string(ext), TTypeCounts{}).first;
        lastType = it->first;
        lastCounts = &it->second;
      }
      ++lastCounts->Count;
      lastCounts->Bytes += size;
      lastCounts->OnDisk += onDisk;
    }
    if (!file.Counted || wanted == 0) return;
    if (heap.size() == wanted && f.Size < heap.front().Size) return;
    if (!request.OnlyExtension.isEmpty() && FileExtensionOf(file.Name) != request.OnlyExtension) return;
    candidate.Size = f.Size;
    candidate.OnDisk = f.OnDisk;
    candidate.LastChange = f.LastWrite;
    candidate.Attributes = f.Attributes;
    candidate.Relative.clear();
    if (!folder.empty()) {
      candidate.Relative.append(folder.data(), static_cast<qsizetype>(folder.size()));
      candidate.Relative.append('/');
    }
    candidate.Relative.append(file.Name.data(), static_cast<qsizetype>(file.Name.size()));
    if (heap.size() < wanted) {
      heap.push_back(std::move(candidate));
      std::push_heap(heap.begin(), heap.end(), RanksBefore);
    } else if (RanksBefore(candidate, heap.front())) {
      std::pop_heap(heap.begin(), heap.end(), RanksBefore);
      std::swap(heap.back(), candidate);
      std::push_heap(heap.begin(), heap.end(), RanksBefore);
    }
    candidate = TLargeFile();
  };
  walk.Run(request.DrivePath, visit, request.Progress);

  census.DrivePath = walk.DrivePath();
  census.HostPath = walk.HostPath();
  census.Folders = walk.Folders();
  census.UnreadableFolders = walk.UnreadablePaths();
  census.Refusal = walk.Refusal();
  census.Cancelled = walk.Cancelled();
  std::sort_heap(heap.begin(), heap.end(), RanksBefore);
  census.Largest = std::move(heap);

  // Extensions that differ only in case are one type.
  std::unordered_map<QString, TTypeCounts> merged;
  for (const auto& [raw, counts] : types) {
    const QString ext = raw.empty() ? QString::fromLatin1(NoExtensionText) : DecodeHostName(raw).toLower();
    TTypeCounts& m = merged[ext];
    m.Count += counts.Count;
    m.Bytes += counts.Bytes;
    m.OnDisk += counts.OnDisk;
  }
  census.Types.reserve(merged.size());
  for (const auto& [ext, counts] : merged) {
    const double share = census.Bytes > 0 ? static_cast<double>(counts.Bytes) * 100.0 / static_cast<double>(census.Bytes) : 0.0;
    census.Types.push_back({ext, counts.Count, counts.Bytes, counts.OnDisk, share});
  }
  std::sort(census.Types.begin(), census.Types.end(), [](const TFileType& a, const TFileType& b) {
    if (a.Bytes != b.Bytes) return a.Bytes > b.Bytes;
    return a.Extension < b.Extension;
  });
  return census;
}
