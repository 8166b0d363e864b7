// Reading ncdu JSON exports that are well formed, odd, cut short or hostile.

#include "history/NcduDrive.h"
#include "history/NcduReader.h"
#include "platform/HostNames.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TNcduScan Read(const std::string& text, const TNcduLimits& limits = {}) { return ReadNcduExport(text, limits); }

const std::string Sample =
    "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1700000000,\"extra\":[{\"x\":[1,{}]},null]},\n"
    "[{\"name\":\"/srv/data\",\"asize\":4096,\"dsize\":4096,\"dev\":64768},\n"
    " {\"name\":\"top.txt\",\"asize\":1000,\"dsize\":4096,\"mtime\":1600000000},\n"
    " [{\"name\":\"sub\",\"asize\":4096,\"dsize\":4096,\"future_field\":{\"a\":[true,false]}},\n"
    "  {\"name\":\"a\",\"asize\":10,\"dsize\":4096,\"ino\":7,\"hlnkc\":true,\"nlink\":2,\"mtime\":1650000000},\n"
    "  {\"name\":\"b\",\"asize\":10,\"dsize\":4096,\"ino\":7,\"hlnkc\":true,\"nlink\":2},\n"
    "  {\"name\":\"link\",\"asize\":3,\"notreg\":true},\n"
    "  {\"name\":\"skipped\",\"excluded\":\"pattern\"}],\n"
    " [{\"name\":\"mnt\",\"excluded\":\"otherfs\"}],\n"
    " [{\"name\":\"secret\",\"read_error\":true}],\n"
    " [{\"name\":\"q\\\"\\\\\\u00e9\\ud83d\\ude00\\u0001\"}]]]\n";

TEST(NcduReaderTest, AddsFilesIntoTheirFolders) {
  const TNcduScan scan = Read(Sample);
  ASSERT_TRUE(scan.Complete) << scan.Error.toStdString();
  EXPECT_EQ(scan.ProgramName, QStringLiteral("ncdu"));
  EXPECT_EQ(scan.ProgramVersion, QStringLiteral("1.18"));
  EXPECT_EQ(scan.Timestamp, 1700000000);
  EXPECT_EQ(scan.MinorVersion, 2);
  ASSERT_EQ(scan.Folders.size(), 5u);
  const TNcduFolder& root = scan.Folders[0];
  const TNcduFolder& sub = scan.Folders[1];
  EXPECT_EQ(root.Name, "/srv/data");
  EXPECT_EQ(sub.Name, "sub");
  EXPECT_EQ(sub.Parent, 0);
  // Both names of the linked file count as files; its bytes count once. Excluded entries count not.
  EXPECT_EQ(sub.Files, 3);
  EXPECT_EQ(sub.FilesSize, 13);
  EXPECT_EQ(sub.FilesDiskSize, 4096);
  EXPECT_EQ(sub.LatestChange, (1650000000ULL + 11644473600ULL) * 10000000ULL);
  EXPECT_EQ(root.Files, 1);
  EXPECT_EQ(root.Size, 1013);
  EXPECT_EQ(root.DiskSize, 8192);
  EXPECT_EQ(root.TotalFiles, 4);
  EXPECT_EQ(root.TotalFolders, 4);
  EXPECT_EQ(root.SubFolders, 4);
  EXPECT_EQ(root.LatestChange, sub.LatestChange);
  EXPECT_EQ(root.SlackAt[0], ClusterSlack(512, 1000) + ClusterSlack(512, 10) + ClusterSlack(512, 3));
  EXPECT_TRUE(scan.Folders[2].Excluded);
  EXPECT_TRUE(scan.Folders[3].ReadError);
  EXPECT_EQ(scan.Folders[4].Name, QByteArray("q\"\\\xc3\xa9\xf0\x9f\x98\x80\x01"));

  // As folder-tree nodes, with the names as the program shows host names.
  TFolderTree tree;
  TTreeNode* top = AddNcduScanToTree(tree, scan, QStringLiteral("server (N:)"));
  ASSERT_TRUE(top);
  EXPECT_EQ(top->Text(), QStringLiteral("server (N:)"));
  ASSERT_EQ(top->Count(), 4);
  EXPECT_EQ(top->Child(3)->Text(), DecodeHostName(std::string_view("q\"\\\xc3\xa9\xf0\x9f\x98\x80\x01")));
  EXPECT_EQ(top->Data()->TotalSize, 1013);
  EXPECT_EQ(top->Data()->TotalWasted, 8192 - 1013);
  EXPECT_EQ(top->Data()->TotalFiles, 4);
  EXPECT_EQ(top->Data()->TotalFolders, 4);
  EXPECT_EQ(top->Child(0)->Data()->Files, 3);
  EXPECT_EQ(top->Data()->TotalWastedAt[1], root.SlackAt[0]);

  const TSnapshot snap = SnapshotOfNcduScan(scan, QStringLiteral("N:\\"));
  EXPECT_EQ(snap.Info.HostRoot, QStringLiteral("/srv/data"));
  EXPECT_EQ(snap.Info.Time.toSecsSinceEpoch(), 1700000000);
  ASSERT_EQ(snap.Folders.size(), 5u);
  EXPECT_EQ(snap.Folders[0].Size, 1013);
  EXPECT_EQ(snap.Folders[1].OnDisk, 4096);
}

TEST(NcduReaderTest, NamesOfAnyBytes) {
  // Every byte a JSON string may hold raw (all but the quote, the backslash and controls), as
  // exporters write undecodable names, and the controls as escapes.
  std::string raw;
  std::string written;
  for (int b = 1; b < 256; ++b) {
    if (b == '/') continue;
    raw += static_cast<char>(b);
    if (b == '"' || b == '\\') written += std::string("\\") + static_cast<char>(b);
    else if (b < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", b);
      written += esc;
    } else {
      written += static_cast<char>(b);
    }
  }
  const TNcduScan scan = Read("[1,0,{},[{\"name\":\"/\"},[{\"name\":\"" + written + "\"}],{\"name\":\"\xff\xfe\"}]]");
  ASSERT_TRUE(scan.Complete) << scan.Error.toStdString();
  ASSERT_EQ(scan.Folders.size(), 2u);
  EXPECT_EQ(scan.Folders[1].Name, QByteArray(raw.data(), static_cast<qsizetype>(raw.size())));
  EXPECT_EQ(scan.Folders[0].Files, 1);
  // Shown and encoded back to the same bytes.
  EXPECT_EQ(EncodeHostName(DecodeHostName(raw)), QByteArray(raw.data(), static_cast<qsizetype>(raw.size())));
}

TEST(NcduReaderTest, FaultsKeepWhatCameBeforeAndSayWhere) {
  struct TCase {
    std::string Text;
    const char* Says;
    size_t Folders;  // read before the fault
  };
  const std::string head = "[1,2,{},[{\"name\":\"/r\"},";
  const TCase cases[] = {
      {"", "ends too early", 0},
      {"{}", "does not begin", 0},
      {"[2,0,{},[{\"name\":\"/r\"}]]", "major version", 0},
      {head + "{\"name\":\"f\",\"asize\":99999999999999999999}]]", "too large", 1},
      {head + "{\"name\":\"f\",\"asize\":-5}]]", "negative", 1},
      {head + "{\"name\":\"f\",\"asize\":1.5}]]", "whole number", 1},
      {head + "{\"name\":\"f\",\"mtime\":9223372036854775807}]]", "time out of range", 1},
      {head + "[{\"name\":\"a/b\"}]]]", "cannot be a name", 1},
      {head + "[{\"name\":\"..\"}]]]", "cannot be a name", 1},
      {head + "[{\"name\":\"a\\u0000b\"}]]]", "cannot be a name", 1},
      {head + "[{\"asize\":1}]]]", "without a name", 1},
      {head + "[{\"name\":\"x\"},{\"name\":\"f\",\"asize\":1}", "ends too early", 2},
      {head + "{\"name\":\"f\"}]]trailing", "more data", 1},
      {head + "{\"name\":\"f\" \"asize\":1}]]", "comma", 1},
      {head + "{\"name\":\"f\",\"asize\":tru}]]", "number", 1},
      {head + "{\"name\":\"bad \\x\"}]]", "unknown escape", 1},
      {head + "{\"name\":\"ctl \x01\"}]]", "control character", 1},
      {head + "{\"name\":\"\\ud83\"}]]", "hexadecimal", 1},
      {"[1,2,{\"a\":[1,2}],[{\"name\":\"/r\"}]]", "closing bracket", 0},
  };
  for (const TCase& c : cases) {
    const TNcduScan scan = Read(c.Text);
    EXPECT_FALSE(scan.Complete) << c.Text;
    EXPECT_TRUE(scan.Error.contains(QLatin1String(c.Says))) << c.Text << " -> " << scan.Error.toStdString();
    EXPECT_TRUE(scan.Error.startsWith(QStringLiteral("byte "))) << scan.Error.toStdString();
    EXPECT_EQ(scan.Folders.size(), c.Folders) << c.Text;
  }
}

TEST(NcduReaderTest, EveryTruncationOfAnExportLoadsAPrefix) {
  const TNcduScan whole = Read(Sample);
  ASSERT_TRUE(whole.Complete);
  for (size_t n = 0; n < Sample.size(); ++n) {
    const TNcduScan part = Read(Sample.substr(0, n));
    // The closing brackets and the final newline may be all that is missing.
    if (part.Complete) {
      EXPECT_GE(n, Sample.rfind(']'));
      continue;
    }
    EXPECT_FALSE(part.Error.isEmpty()) << n;
    ASSERT_LE(part.Folders.size(), whole.Folders.size()) << n;
    for (size_t i = 0; i < part.Folders.size(); ++i) {
      EXPECT_EQ(part.Folders[i].Parent, whole.Folders[i].Parent) << n;
      EXPECT_LE(part.Folders[i].Size, whole.Folders[i].Size) << n;
    }
    // The folders read keep consistent totals: the root holds what its children hold.
    if (!part.Folders.empty()) {
      int64_t childSum = part.Folders[0].FilesSize;
      for (const TNcduFolder& f : part.Folders)
        if (f.Parent == 0) childSum += f.Size;
      EXPECT_EQ(part.Folders[0].Size, childSum) << n;
    }
  }
}

TEST(NcduReaderTest, DeepNestingHugeSumsAndLimits) {
  // 100,000 nested folders, each with one file: read without recursion.
  constexpr int Depth = 100000;
  std::string deep = "[1,2,{},";
  for (int i = 0; i < Depth; ++i) deep += i == 0 ? "[{\"name\":\"/d\"},{\"name\":\"f\",\"asize\":3}" : ",[{\"name\":\"d\"},{\"name\":\"f\",\"asize\":3}";
  deep += std::string(Depth, ']') + "]";
  TNcduScan scan = Read(deep);
  ASSERT_TRUE(scan.Complete) << scan.Error.toStdString();
  ASSERT_EQ(scan.Folders.size(), static_cast<size_t>(Depth));
  EXPECT_EQ(scan.Folders[0].Size, 3LL * Depth);
  EXPECT_EQ(scan.Folders[0].TotalFolders, Depth - 1);
  EXPECT_EQ(scan.Folders.back().Parent, Depth - 2);
  // The same nesting in an unknown field, and the limits.
  TNcduLimits limits;
  limits.MaxDepth = 1000;
  scan = Read(deep, limits);
  EXPECT_FALSE(scan.Complete);
  EXPECT_TRUE(scan.Error.contains(QStringLiteral("nested too deeply"))) << scan.Error.toStdString();
  EXPECT_EQ(scan.Folders.size(), 1000u);
  const std::string deepValue = "[1,2,{\"x\":" + std::string(Depth, '[') + std::string(Depth, ']') + "},[{\"name\":\"/r\"}]]";
  EXPECT_TRUE(Read(deepValue).Complete);
  EXPECT_TRUE(Read(deepValue, limits).Error.contains(QStringLiteral("nested too deeply")));
  limits = TNcduLimits();
  limits.MaxFolders = 10;
  scan = Read(deep, limits);
  EXPECT_TRUE(scan.Error.contains(QStringLiteral("too many folders")));
  EXPECT_EQ(scan.Folders.size(), 10u);
  limits = TNcduLimits();
  limits.MaxNameBytes = 8;
  EXPECT_TRUE(Read("[1,2,{},[{\"name\":\"/a-long-path\"}]]", limits).Error.contains(QStringLiteral("too long")));

  // Sizes near the 64-bit limit add up without wrapping around.
  const std::string big = "[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":9223372036854775807},"
                          "[{\"name\":\"s\"},{\"name\":\"b\",\"asize\":9223372036854775807,\"dsize\":9223372036854775807}]]]";
  scan = Read(big);
  ASSERT_TRUE(scan.Complete) << scan.Error.toStdString();
  EXPECT_EQ(scan.Folders[0].Size, std::numeric_limits<int64_t>::max());
  EXPECT_EQ(scan.Folders[1].DiskSize, std::numeric_limits<int64_t>::max());
}

}  // namespace
