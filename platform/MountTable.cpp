#include "platform/MountTable.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <map>

namespace {

// Mount points in mountinfo escape blanks, tabs, newlines and backslashes as \ooo.
QByteArray UnescapeOctal(const QByteArray& field) {
  QByteArray out;
  out.reserve(field.size());
  for (qsizetype i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const QByteArray digits = field.mid(i + 1, 3);
      bool ok = digits.size() == 3;
      for (char c : digits) ok = ok && c >= '0' && c <= '7';
      if (ok) {
        out.push_back(static_cast<char>(digits.toInt(nullptr, 8)));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

}  // namespace

std::vector<TMountEntry> ParseMountInfo(const QByteArray& text) {
  std::vector<TMountEntry> table;
  for (const QByteArray& line : text.split('\n')) {
    const QList<QByteArray> f = line.split(' ');
    // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
    const qsizetype dash = f.indexOf("-");
    if (f.size() < 6 || dash < 6 || dash + 2 >= f.size()) continue;
    TMountEntry e;
    bool ok1 = false, ok2 = false;
    e.MountId = f[0].toInt(&ok1);
    e.ParentId = f[1].toInt(&ok2);
    const QList<QByteArray> dev = f[2].split(':');
    if (!ok1 || !ok2 || dev.size() != 2) continue;
    e.Major = dev[0].toUInt();
    e.Minor = dev[1].toUInt();
    e.Root = UnescapeOctal(f[3]);
    e.MountPoint = UnescapeOctal(f[4]);
    e.Options = f[5];
    e.FsType = f[dash + 1];
    e.Source = UnescapeOctal(f[dash + 2]);
    table.push_back(std::move(e));
  }
  return table;
}

std::vector<TMountEntry> ReadMountTable() {
  QFile file(QStringLiteral("/proc/self/mountinfo"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  // A proc file reports no size: read until the end.
  return ParseMountInfo(file.readAll());
}

const TMountEntry* MountContaining(const std::vector<TMountEntry>& table, const QByteArray& hostPath) {
  const TMountEntry* best = nullptr;
  for (const TMountEntry& e : table) {
    const QByteArray& mp = e.MountPoint;
    const bool holds = mp == "/" || hostPath == mp ||
                       (hostPath.startsWith(mp) && hostPath.size() > mp.size() && hostPath[mp.size()] == '/');
    if (!holds) continue;
    // Longer mount points win; of equal ones, the later mount covers the earlier.
    if (!best || mp.size() >= best->MountPoint.size()) best = &e;
  }
  return best;
}

bool IsNetworkFsType(const QByteArray& fsType) {
  static const QByteArray types[] = {"nfs",  "nfs4",      "cifs",   "smb3",    "smbfs", "sshfs",
                                     "fuse.sshfs", "9p", "afs",    "ceph",    "glusterfs",
                                     "fuse.glusterfs", "davfs", "fuse.davfs2", "fuse.rclone", "ncpfs"};
  for (const QByteArray& t : types)
    if (fsType == t) return true;
  return false;
}

bool HoldsUserData(const TMountEntry& entry) {
  if (IsNetworkFsType(entry.FsType)) return true;
  if (!entry.Source.startsWith("/dev/")) return false;
  // Loop devices carry packaged images (snaps and the like), not user data.
  if (entry.Source.startsWith("/dev/loop")) return false;
  if (entry.FsType == "squashfs") return false;
  return true;
}

namespace {

std::string_view View(const QByteArray& bytes) { return {bytes.constData(), static_cast<size_t>(bytes.size())}; }

using TChild = std::pair<QByteArray, std::unique_ptr<TMountsBelow::Node>>;

// Sorts every node's children by name, so that Find can search them by halves. Without recursion:
// a mount point may lie thousands of folders deep.
void SortChildren(TMountsBelow::Node& root) {
  std::vector<TMountsBelow::Node*> pending{&root};
  while (!pending.empty()) {
    TMountsBelow::Node* node = pending.back();
    pending.pop_back();
    std::sort(node->Children.begin(), node->Children.end(),
              [](const TChild& a, const TChild& b) { return View(a.first) < View(b.first); });
    for (TChild& child : node->Children) pending.push_back(child.second.get());
  }
}

}  // namespace

// Children are sorted by name (see SortChildren): a folder with many mount points below it is
// looked up in logarithmic time.
const TMountsBelow::Node* TMountsBelow::Node::Find(std::string_view name) const {
  const auto at = std::lower_bound(Children.begin(), Children.end(), name,
                                   [](const TChild& child, std::string_view n) { return View(child.first) < n; });
  return at != Children.end() && View(at->first) == name ? at->second.get() : nullptr;
}

// Takes the tree apart level by level, so that no node's destructor destroys a deep chain of them.
TMountsBelow::~TMountsBelow() {
  std::vector<std::unique_ptr<Node>> nodes;
  for (TChild& child : root_.Children) nodes.push_back(std::move(child.second));
  root_.Children.clear();
  while (!nodes.empty()) {
    std::unique_ptr<Node> node = std::move(nodes.back());
    nodes.pop_back();
    for (TChild& child : node->Children) nodes.push_back(std::move(child.second));
    node->Children.clear();
  }
}

TMountsBelow::TMountsBelow(const std::vector<TMountEntry>& table, const QByteArray& folder) {
  const QByteArray prefix = folder.endsWith('/') ? folder : folder + '/';
  // While the tree grows, each node's children are found through one index of all of them.
  std::map<std::pair<const Node*, std::string_view>, Node*> index;
  for (const TMountEntry& e : table) {
    if (!e.MountPoint.startsWith(prefix) || e.MountPoint.size() == prefix.size()) continue;
    Node* node = &root_;
    for (const QByteArray& name : e.MountPoint.mid(prefix.size()).split('/')) {
      if (name.isEmpty()) continue;
      auto [at, added] = index.try_emplace({node, View(name)}, nullptr);
      if (added) {
        node->Children.emplace_back(name, std::make_unique<Node>());
        at->second = node->Children.back().second.get();
        // The key must view bytes that live as long as the index: the child's own name.
        const QByteArray& kept = node->Children.back().first;
        auto handle = index.extract(at);
        handle.key().second = View(kept);
        at = index.insert(std::move(handle)).position;
      }
      node = at->second;
    }
    node->MountPoint = true;
  }
  SortChildren(root_);
}
