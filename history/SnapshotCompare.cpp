#include "history/SnapshotCompare.h"

#include "platform/HostNames.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {

struct TChildKey {
  int32_t Parent;
  std::string_view Name;
  bool operator==(const TChildKey&) const = default;
};

struct TChildKeyHash {
  size_t operator()(const TChildKey& k) const noexcept {
    return std::hash<std::string_view>()(k.Name) * 31u + static_cast<size_t>(k.Parent);
  }
};

std::string_view View(const QByteArray& b) { return {b.constData(), static_cast<size_t>(b.size())}; }

// The drive path of folder i, from its name and its parents' (paths are made only for the folders
// reported, so that a deep tree does not cost the square of its depth).
QString PathOf(const std::vector<TSnapshotFolder>& folders, size_t i, QString root) {
  while (root.size() > 3 && root.endsWith(QLatin1Char('\\'))) root.chop(1);
  std::vector<size_t> chain;
  for (size_t k = i; folders[k].Parent >= 0; k = static_cast<size_t>(folders[k].Parent)) chain.push_back(k);
  QString path = root;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.endsWith(QLatin1Char('\\'))) path += QLatin1Char('\\');
    path += DecodeWtf8(View(folders[*it].Name));
  }
  return path;
}

}  // namespace

QString SignedBytes(int64_t delta) {
  return delta < 0 ? QString::number(delta) : QLatin1Char('+') + QString::number(delta);
}

TSnapshotComparison CompareSnapshots(const TSnapshot& older, const TSnapshot& newer) {
  TSnapshotComparison out;
  if (older.Folders.empty() || newer.Folders.empty()) return out;
  out.TotalChange = newer.Folders.front().Size - older.Folders.front().Size;

  std::unordered_map<TChildKey, int32_t, TChildKeyHash> olderByKey;
  olderByKey.reserve(older.Folders.size());
  for (size_t i = 1; i < older.Folders.size(); ++i)
    olderByKey.emplace(TChildKey{older.Folders[i].Parent, View(older.Folders[i].Name)}, static_cast<int32_t>(i));

  // match[i]: the older folder that newer folder i stands for, -1 for none.
  std::vector<int32_t> match(newer.Folders.size(), -1);
  std::vector<char> matchedOld(older.Folders.size(), 0);
  match[0] = 0;
  matchedOld[0] = 1;
  for (size_t i = 1; i < newer.Folders.size(); ++i) {
    const int32_t parent = match[static_cast<size_t>(newer.Folders[i].Parent)];
    if (parent < 0) continue;
    const auto it = olderByKey.find(TChildKey{parent, View(newer.Folders[i].Name)});
    if (it == olderByKey.end()) continue;
    match[i] = it->second;
    matchedOld[static_cast<size_t>(it->second)] = 1;
  }

  for (size_t i = 0; i < newer.Folders.size(); ++i) {
    const int64_t size = newer.Folders[i].Size;
    if (match[i] < 0) {
      out.Changes.push_back({TFolderChange::New, size, 0, size, PathOf(newer.Folders, i, newer.Info.DrivePath),
                             static_cast<int32_t>(i)});
      continue;
    }
    const int64_t before = older.Folders[static_cast<size_t>(match[i])].Size;
    if (before != size) out.Changes.push_back(
          {TFolderChange::Changed, size - before, before, size, PathOf(newer.Folders, i, newer.Info.DrivePath),
           static_cast<int32_t>(i)});
  }
  // Gone folders are named under the newer root's drive path, like the others.
  for (size_t i = 0; i < older.Folders.size(); ++i)
    if (!matchedOld[i]) {
      const int64_t size = older.Folders[i].Size;
      out.Changes.push_back({TFolderChange::Gone, -size, size, 0, PathOf(older.Folders, i, newer.Info.DrivePath)});
    }
  std::sort(out.Changes.begin(), out.Changes.end(), [](const TFolderChange& a, const TFolderChange& b) {
    const uint64_t x = a.Delta < 0 ? 0 - static_cast<uint64_t>(a.Delta) : static_cast<uint64_t>(a.Delta);
    const uint64_t y = b.Delta < 0 ? 0 - static_cast<uint64_t>(b.Delta) : static_cast<uint64_t>(b.Delta);
    if (x != y) return x > y;
    return a.Path < b.Path;
  });
  return out;
}
