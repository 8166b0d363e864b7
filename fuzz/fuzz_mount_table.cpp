// The mount-table reader (/proc/self/mountinfo) and what the drive table and the scan build on
// it. An entry written back in the table's own escaped form reads back the same; the mount that
// holds a mount point is one whose mount point is a prefix of it; the automatic drive table
// gives each letter once.

#include "fuzz/FuzzSupport.h"
#include "platform/DriveTable.h"
#include "platform/MountTable.h"

#include <set>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

QByteArray Escaped(const QByteArray& field) {
  QByteArray out;
  for (const char c : field) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || std::strchr("/._,=:+@", c)) {
      out += c;
    } else {
      char octal[5];
      std::snprintf(octal, sizeof octal, "\\%03o", u);
      out += octal;
    }
  }
  return out;
}

QByteArray Line(const TMountEntry& e) {
  return QByteArray::number(e.MountId) + ' ' + QByteArray::number(e.ParentId) + ' ' + QByteArray::number(e.Major) +
         ':' + QByteArray::number(e.Minor) + ' ' + Escaped(e.Root) + ' ' + Escaped(e.MountPoint) + ' ' + e.Options +
         " - " + e.FsType + ' ' + Escaped(e.Source) + " rw\n";
}

bool Same(const TMountEntry& a, const TMountEntry& b) {
  return a.MountId == b.MountId && a.ParentId == b.ParentId && a.Major == b.Major && a.Minor == b.Minor &&
         a.Root == b.Root && a.MountPoint == b.MountPoint && a.Options == b.Options && a.FsType == b.FsType &&
         a.Source == b.Source;
}

void Walk(const TMountsBelow::Node* node, int depth) {
  FUZZ_CHECK(depth < 100000);
  for (const auto& [name, child] : node->Children) {
    FUZZ_CHECK(!name.isEmpty() && !name.contains('/'));
    Walk(child.get(), depth + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<TMountEntry> table = ParseMountInfo(FuzzBytes(data, size));
  QByteArray written;
  for (const TMountEntry& e : table) written += Line(e);
  const std::vector<TMountEntry> reread = ParseMountInfo(written);
  FUZZ_CHECK(reread.size() == table.size());
  for (size_t i = 0; i < table.size(); ++i) FUZZ_CHECK(Same(table[i], reread[i]));

  for (size_t i = 0; i < std::min<size_t>(table.size(), 16); ++i) {
    const QByteArray& mp = table[i].MountPoint;
    if (const TMountEntry* holder = MountContaining(table, mp))
      FUZZ_CHECK(holder->MountPoint == "/" || mp.startsWith(holder->MountPoint));
  }
  const TMountsBelow below(table, "/");
  if (below.Root()) Walk(below.Root(), 0);

  std::set<char> letters;
  for (const TDriveMapping& d : AutomaticDrives(table, "/home/fuzz")) {
    FUZZ_CHECK(d.Letter >= 'C' && d.Letter <= 'Z');
    FUZZ_CHECK(letters.insert(d.Letter).second);
  }
  return 0;
}
