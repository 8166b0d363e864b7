// Folder size record: cluster slack, the roll-up of files and subfolders, the figures shown for
// the selected cluster size, and the upkeep of the ancestors after removals and rescans.
#include "scan/FolderSize.h"

#include "scan/FolderTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Hand-built folder descriptions, a scan of them into a tree the way the scanner rolls records
// up, and the figures each folder should have, worked out independently of the code under test.

struct FileSpec {
  int64_t Size;
  uint32_t Attributes;
  uint64_t Access;
  uint64_t Write;
};

struct Dir {
  std::string Name;
  std::vector<FileSpec> Files;
  std::vector<Dir> Dirs;
};

int64_t RefSlack(int64_t cluster, int64_t size) {
  if (cluster <= 0) return 0;
  return (cluster - size % cluster) % cluster;
}

struct Figures {
  int64_t TotalSize = 0, FilesSize = 0, TotalWasted = 0, FilesWasted = 0;
  int32_t TotalFiles = 0, TotalFolders = 0, Files = 0, Folders = 0;
  uint64_t LastAccess = 0, LastChange = 0;
  uint32_t Attributes = 0;
  std::array<int64_t, StandardClusterCount + 1> TotalAt{}, FilesAt{};
};

Figures Reference(const Dir& d, int32_t driveCluster) {
  Figures f;
  for (const FileSpec& file : d.Files) {
    ++f.Files;
    f.FilesSize += file.Size;
    f.FilesWasted += RefSlack(driveCluster, file.Size);
    for (int i = 1; i <= StandardClusterCount; ++i)
      f.FilesAt[i] += RefSlack(StandardClusterSizes[i], file.Size);
    f.LastAccess = std::max(f.LastAccess, file.Access);
    f.LastChange = std::max(f.LastChange, file.Write);
    f.Attributes |= file.Attributes;
  }
  f.TotalSize = f.FilesSize;
  f.TotalWasted = f.FilesWasted;
  f.TotalFiles = f.Files;
  f.TotalAt = f.FilesAt;
  for (const Dir& sub : d.Dirs) {
    const Figures c = Reference(sub, driveCluster);
    ++f.Folders;
    f.TotalFolders += 1 + c.TotalFolders;
    f.TotalSize += c.TotalSize;
    f.TotalWasted += c.TotalWasted;
    f.TotalFiles += c.TotalFiles;
    for (int i = 1; i <= StandardClusterCount; ++i) f.TotalAt[i] += c.TotalAt[i];
    f.LastAccess = std::max(f.LastAccess, c.LastAccess);
    f.LastChange = std::max(f.LastChange, c.LastChange);
    f.Attributes |= c.Attributes;
  }
  return f;
}

void ExpectFigures(const TFolderSize& rec, const Figures& f) {
  EXPECT_EQ(rec.TotalSize, f.TotalSize);
  EXPECT_EQ(rec.FilesSize, f.FilesSize);
  EXPECT_EQ(rec.TotalWasted, f.TotalWasted);
  EXPECT_EQ(rec.FilesWasted, f.FilesWasted);
  EXPECT_EQ(rec.TotalFiles, f.TotalFiles);
  EXPECT_EQ(rec.TotalFolders, f.TotalFolders);
  EXPECT_EQ(rec.Files, f.Files);
  EXPECT_EQ(rec.Folders, f.Folders);
  EXPECT_EQ(rec.LastAccess, f.LastAccess);
  EXPECT_EQ(rec.LastChange, f.LastChange);
  EXPECT_EQ(rec.Attributes, f.Attributes);
  for (int i = 1; i <= StandardClusterCount; ++i) {
    EXPECT_EQ(rec.TotalWastedAt[i], f.TotalAt[i]) << "cluster index " << i;
    EXPECT_EQ(rec.FilesWastedAt[i], f.FilesAt[i]) << "cluster index " << i;
  }
}

// Every node of the subtree against its description (children in description order).
void ExpectTree(const TTreeNode* node, const Dir& d, int32_t driveCluster) {
  SCOPED_TRACE("folder " + d.Name);
  ASSERT_EQ(node->Text().toStdString(), d.Name);
  ASSERT_NE(node->Data(), nullptr);
  ExpectFigures(*node->Data(), Reference(d, driveCluster));
  ASSERT_EQ(node->Count(), static_cast<int>(d.Dirs.size()));
  for (size_t i = 0; i < d.Dirs.size(); ++i) ExpectTree(node->Child(static_cast<int>(i)), d.Dirs[i], driveCluster);
}

// Fills node's subtree from d in the scanner's order: count the subfolder, scan it, roll it up;
// add the files; close the folder; attach the record.
TFolderSize* Scan(TFolderTree& tree, TTreeNode* node, const Dir& d) {
  auto rec = std::make_unique<TFolderSize>();
  // Half the files before the subfolders and half after, as a directory listing mixes them.
  const size_t half = d.Files.size() / 2;
  for (size_t i = 0; i < half; ++i)
    AddFile(*rec, d.Files[i].Size, d.Files[i].Attributes, d.Files[i].Access, d.Files[i].Write);
  for (const Dir& sub : d.Dirs) {
    rec->TotalFolders += 1;
    rec->Folders += 1;
    TTreeNode* child = tree.AddChild(node, QString::fromStdString(sub.Name));
    AddChild(*rec, *Scan(tree, child, sub));
  }
  for (size_t i = half; i < d.Files.size(); ++i)
    AddFile(*rec, d.Files[i].Size, d.Files[i].Attributes, d.Files[i].Access, d.Files[i].Write);
  CloseFolder(*rec);
  TFolderSize* result = rec.get();
  tree.SetData(node, std::move(rec));
  return result;
}

TTreeNode* ScanTop(TFolderTree& tree, const Dir& d) {
  TTreeNode* top = tree.AddTop(QString::fromStdString(d.Name));
  Scan(tree, top, d);
  return top;
}

constexpr uint32_t RO = FILE_ATTRIBUTE_READONLY;
constexpr uint32_t HID = FILE_ATTRIBUTE_HIDDEN;
constexpr uint32_t SYS = FILE_ATTRIBUTE_SYSTEM;
constexpr uint32_t ARC = FILE_ATTRIBUTE_ARCHIVE;

// Drive C: with a root file, a folder P holding own files, a sibling S and the folder X of
// 10 files in 3 folders (X, X\a, X\b). X holds the latest times and the only hidden file.
Dir SampleDrive() {
  Dir x{"X",
        {{1, ARC, 900, 950}, {4096, ARC, 100, 100}, {4097, ARC, 100, 100}, {0, ARC, 100, 100}},
        {Dir{"a", {{10, HID, 100, 100}, {700, ARC, 100, 100}, {65537, ARC, 100, 100}}, {}},
         Dir{"b", {{3, ARC, 100, 100}, {5000, ARC, 100, 100}, {4294967296LL, ARC, 100, 100}}, {}}}};
  Dir s{"S", {{100, ARC, 300, 320}}, {}};
  Dir p{"P", {{2048, RO | ARC, 400, 410}, {513, ARC, 200, 210}}, {s, x}};
  return Dir{"C", {{12345, SYS | ARC, 50, 60}}, {p}};
}

class FolderSizeTest : public ::testing::Test {
protected:
  void SetUp() override {
    savedIndex_ = SelectedClusterIndex;
    savedCluster_ = ScanClusterSize;
    SelectedClusterIndex = 0;
    ScanClusterSize = 4096;
  }
  void TearDown() override {
    SelectedClusterIndex = savedIndex_;
    ScanClusterSize = savedCluster_;
  }

  TFolderTree tree_;

private:
  int32_t savedIndex_ = 0;
  int32_t savedCluster_ = -1;
};

// ---------------------------------------------------------------------------------------------

struct SlackCase {
  int32_t Cluster;
  int64_t Size;
  int32_t Slack;
};

TEST(ClusterSlackTest, Table) {
  const SlackCase cases[] = {
      {4096, 0, 0},
      {4096, 1, 4095},
      {4096, 4096, 0},
      {4096, 4097, 4095},
      {0, 1, 0},
      {-1, 1, 0},
      {-4096, 4097, 0},
      {1, 12345, 0},
      {65536, 1, 65535},
      {4096, 4294967296LL, 0},           // exactly 4 GiB
      {4096, 4294967297LL, 4095},
      {512, 0x700000000LL, 0},           // low 32 bits zero
      {1000, 4294967296LL, 704},         // not a power of two: 4294967296 mod 1000 = 296
      {3000, 0x500000000LL, 520},        // 21474836480 mod 3000 = 2480
      {3, 1, 2},
      {2147483647, 2147483648LL, 2147483646},
  };
  for (const SlackCase& c : cases)
    EXPECT_EQ(ClusterSlack(c.Cluster, c.Size), c.Slack) << "cluster " << c.Cluster << ", size " << c.Size;
}

TEST_F(FolderSizeTest, ZeroByteFileCountsWithoutBytesOrSlack) {
  TFolderSize rec;
  AddFile(rec, 0, ARC, 5, 6);
  EXPECT_EQ(rec.Files, 1);
  EXPECT_EQ(rec.TotalFiles, 1);
  EXPECT_EQ(rec.FilesSize, 0);
  EXPECT_EQ(rec.FilesWasted, 0);
  for (int i = 1; i <= StandardClusterCount; ++i) EXPECT_EQ(rec.FilesWastedAt[i], 0) << i;
  // Its times and attributes still count.
  EXPECT_EQ(rec.LastAccess, 5u);
  EXPECT_EQ(rec.LastChange, 6u);
  EXPECT_EQ(rec.Attributes, ARC);
}

// The file sizes and slack at the drive's size and at every standard size, summed over a set of
// awkward sizes, for drive clusters that are powers of two, that are not, and that are unknown.
TEST_F(FolderSizeTest, AddFileSumsSizesAndSlackAtEveryClusterSize) {
  const int64_t sizes[] = {1,    511,   512,         513,         2047,        4095,
                           4096, 65537, 4294967296LL, 4294967297LL, 0x700000000LL, (1LL << 40) + 12345};
  for (int32_t cluster : {4096, 512, 3000, 1000, 0, -1}) {
    SCOPED_TRACE("drive cluster " + std::to_string(cluster));
    ScanClusterSize = cluster;
    TFolderSize rec;
    Dir d{"F", {}, {}};
    for (int64_t s : sizes) {
      AddFile(rec, s, ARC, 1, 1);
      d.Files.push_back({s, ARC, 1, 1});
    }
    CloseFolder(rec);
    const Figures f = Reference(d, cluster);
    ExpectFigures(rec, f);
    if (cluster <= 0) {
      EXPECT_EQ(rec.FilesWasted, 0);
    }
    EXPECT_GT(rec.FilesWastedAt[7], 0);
  }
}

TEST_F(FolderSizeTest, FourGibFileAddsItsFullSize) {
  TFindData file;
  file.Size = 4294967296LL;
  file.Attributes = ARC | RO;
  file.LastAccessTime = 11;
  file.LastWriteTime = 22;
  TFolderSize rec;
  AddFile(rec, file);
  EXPECT_EQ(rec.FilesSize, 4294967296LL);
  EXPECT_EQ(rec.Files, 1);
  EXPECT_EQ(rec.Attributes, ARC | RO);
  EXPECT_EQ(rec.LastAccess, 11u);
  EXPECT_EQ(rec.LastChange, 22u);
}

TEST_F(FolderSizeTest, TimesKeepTheLatestAndAttributesAccumulate) {
  TFolderSize rec;
  AddFile(rec, 10, RO, 500, 700);
  AddFile(rec, 10, HID, 400, 800);  // older access, newer change
  AddFile(rec, 10, 0, 500, 700);    // ties with what is held
  EXPECT_EQ(rec.LastAccess, 500u);
  EXPECT_EQ(rec.LastChange, 800u);
  EXPECT_EQ(rec.Attributes, RO | HID);

  TFolderSize child;
  AddFile(child, 1, SYS, 600, 100);
  CloseFolder(child);
  AddChild(rec, child);
  EXPECT_EQ(rec.LastAccess, 600u);
  EXPECT_EQ(rec.LastChange, 800u);
  EXPECT_EQ(rec.Attributes, RO | HID | SYS);
}

TEST_F(FolderSizeTest, RollUpGivesEveryFolderItsSubtreeFigures) {
  Dir drive = SampleDrive();
  drive.Dirs.push_back(Dir{"Empty", {}, {}});
  const TTreeNode* top = ScanTop(tree_, drive);
  ExpectTree(top, drive, 4096);
  const TFolderSize& empty = *top->Child(1)->Data();
  EXPECT_EQ(empty.LastAccess, 0u);
  EXPECT_EQ(empty.LastChange, 0u);
  EXPECT_EQ(empty.Attributes, 0u);
  EXPECT_EQ(empty.TotalSize, 0);
}

// The drive's own figures are gathered whatever cluster size is selected for display.
TEST_F(FolderSizeTest, SelectionDoesNotChangeWhatIsGathered) {
  SelectedClusterIndex = 3;
  const TTreeNode* top = ScanTop(tree_, SampleDrive());
  SelectedClusterIndex = 0;
  ExpectTree(top, SampleDrive(), 4096);
}

TEST_F(FolderSizeTest, SelectedFiguresFollowTheClusterIndex) {
  TFolderSize rec;
  rec.TotalWasted = 7;
  rec.FilesWasted = 9;
  for (int i = 1; i <= StandardClusterCount; ++i) {
    rec.TotalWastedAt[i] = 100 + i;
    rec.FilesWastedAt[i] = 200 + i;
  }
  struct Case {
    int32_t Index;
    int64_t Total, FilesOnly;
  };
  const Case cases[] = {{0, 7, 9},     {1, 101, 201}, {3, 103, 203}, {7, 107, 207},
                        {8, 7, 9},     {-1, 7, 9},    {1000, 7, 9}};
  for (const Case& c : cases) {
    SelectedClusterIndex = c.Index;
    EXPECT_EQ(SelectedTotalWasted(rec), c.Total) << "index " << c.Index;
    EXPECT_EQ(SelectedFilesWasted(rec), c.FilesOnly) << "index " << c.Index;
  }
  for (int i : {-1, 0, 8, 100}) EXPECT_EQ(TotalWastedAt(rec, i), 0) << "index " << i;
  for (int i = 1; i <= StandardClusterCount; ++i) EXPECT_EQ(TotalWastedAt(rec, i), 100 + i) << i;
}

// ---------------------------------------------------------------------------------------------
// Removals and rescans.

TEST_F(FolderSizeTest, SubtractFolderFromAncestors) {
  Dir drive = SampleDrive();
  TTreeNode* top = ScanTop(tree_, drive);
  TTreeNode* p = top->Child(0);
  TTreeNode* x = p->Child(1);
  const TFolderSize before = *top->Data();
  const TFolderSize& xr = *x->Data();
  ASSERT_EQ(xr.TotalFiles, 10);
  ASSERT_EQ(xr.TotalFolders, 2);

  // As a vanished folder is removed: subtract while its node is still in the tree, then delete.
  SubtractFromAncestors(p, x, xr.TotalFolders + 1, xr.TotalFiles, xr.TotalWasted, xr.TotalSize);
  EXPECT_EQ(top->Data()->TotalFolders, before.TotalFolders - 3);
  EXPECT_EQ(top->Data()->TotalFiles, before.TotalFiles - 10);
  EXPECT_EQ(top->Data()->Folders, before.Folders);
  tree_.DeleteNode(x);

  // Every remaining folder now reads as if X had never been there: also the times and hidden
  // attribute that came from X only, while P's and C's own files keep theirs.
  drive.Dirs[0].Dirs.pop_back();
  ExpectTree(top, drive, 4096);
  EXPECT_EQ(p->Data()->LastChange, 410u);
  EXPECT_EQ(p->Data()->Attributes & HID, 0u);
}

TEST_F(FolderSizeTest, SubtractFileFromAncestors) {
  Dir drive = SampleDrive();
  TTreeNode* top = ScanTop(tree_, drive);
  TTreeNode* p = top->Child(0);
  // P's file of 513 bytes (not its latest) goes; its caller knows its slack on the drive.
  SubtractFromAncestors(p, nullptr, 0, 1, ClusterSlack(4096, 513), 513);
  drive.Dirs[0].Files.erase(drive.Dirs[0].Files.begin() + 1);
  ExpectTree(top, drive, 4096);
}

TEST_F(FolderSizeTest, SubtractStopsAtTheFirstAncestorWithoutRecord) {
  Dir drive = SampleDrive();
  Dir outer{"Outer", {{77, ARC, 1, 1}}, {drive}};
  TTreeNode* top = ScanTop(tree_, outer);
  TTreeNode* c = top->Child(0);
  TTreeNode* p = c->Child(0);
  TTreeNode* x = p->Child(1);
  const auto cRec = tree_.TakeData(c);  // C's scan counts as interrupted
  const TFolderSize& xr = *x->Data();
  const TFolderSize pBefore = *p->Data();

  SubtractFromAncestors(p, x, xr.TotalFolders + 1, xr.TotalFiles, xr.TotalWasted, xr.TotalSize);
  EXPECT_EQ(p->Data()->TotalSize, pBefore.TotalSize - xr.TotalSize);
  EXPECT_EQ(p->Data()->Folders, pBefore.Folders - 1);
  // Above the gap nothing changes.
  ExpectFigures(*top->Data(), Reference(outer, 4096));
}

TEST_F(FolderSizeTest, RecomputeTimesTakesOwnFilesAndChildRecords) {
  Dir drive = SampleDrive();
  TTreeNode* top = ScanTop(tree_, drive);
  TTreeNode* p = top->Child(0);
  TFolderSize& pr = *p->Data();
  // Stale figures are replaced, not merged.
  pr.LastAccess = pr.LastChange = 99999;
  pr.Attributes = 0xFFFF;
  // The children's records count, not what lies below them: X's record is set apart from the
  // files in X's subtree (later than P's own files, older than X's latest file, not hidden).
  TFolderSize& xr = *p->Child(1)->Data();
  xr.LastAccess = 450;
  xr.LastChange = 460;
  xr.Attributes = ARC;
  RecomputeTimes(p);
  EXPECT_EQ(pr.LastAccess, 450u);
  EXPECT_EQ(pr.LastChange, 460u);
  EXPECT_EQ(pr.Attributes, RO | ARC);  // RO from P's own file

  // Without X, P's own files give the times; a child without a record (interrupted) adds nothing.
  xr.LastAccess = xr.LastChange = 0;
  TTreeNode* s = p->Child(0);
  s->Data()->LastAccess = 5000;
  const auto sRec = tree_.TakeData(s);
  RecomputeTimes(p);
  EXPECT_EQ(pr.LastAccess, 400u);
  EXPECT_EQ(pr.LastChange, 410u);

  // A folder without files and children ends with zero times and attributes.
  TTreeNode* lone = tree_.AddChild(p, QStringLiteral("Lone"));
  auto loneRec = std::make_unique<TFolderSize>();
  loneRec->LastAccess = loneRec->LastChange = 42;
  loneRec->Attributes = HID;
  tree_.SetData(lone, std::move(loneRec));
  RecomputeTimes(lone);
  EXPECT_EQ(lone->Data()->LastAccess, 0u);
  EXPECT_EQ(lone->Data()->LastChange, 0u);
  EXPECT_EQ(lone->Data()->Attributes, 0u);
}

// Rescans folder node with the description now, the way the scanner does, and applies the delta.
void Rescan(TFolderTree& tree, TTreeNode* node, const Dir& now) {
  std::unique_ptr<TFolderSize> old = tree.TakeData(node);
  tree.DeleteChildren(node);
  Scan(tree, node, now);
  ApplyRescanDelta(node, std::move(old));
}

TEST_F(FolderSizeTest, RescanDeltaReachesEveryAncestor) {
  Dir drive = SampleDrive();
  TTreeNode* top = ScanTop(tree_, drive);
  TTreeNode* p = top->Child(0);
  TTreeNode* x = p->Child(1);
  const TFolderSize topBefore = *top->Data();
  const TFolderSize pBefore = *p->Data();
  const TFolderSize xBefore = *x->Data();

  // X grew by one 10-byte file, newer than anything on the drive.
  Dir& xd = drive.Dirs[0].Dirs[1];
  xd.Files.push_back({10, ARC | RO, 2000, 3000});
  Rescan(tree_, x, xd);

  for (const auto& [rec, was] : {std::pair{x->Data(), &xBefore}, std::pair{p->Data(), &pBefore},
                                 std::pair{top->Data(), &topBefore}}) {
    EXPECT_EQ(rec->TotalSize, was->TotalSize + 10);
    EXPECT_EQ(rec->TotalFiles, was->TotalFiles + 1);
  }
  EXPECT_EQ(p->Data()->Files, pBefore.Files);
  EXPECT_EQ(top->Data()->Files, topBefore.Files);
  ExpectTree(top, drive, 4096);
  EXPECT_EQ(top->Data()->LastChange, 3000u);

  // Then X shrinks: its subfolder a (with the hidden file) is gone and its latest file too.
  xd.Dirs.erase(xd.Dirs.begin());
  xd.Files.erase(xd.Files.begin());
  xd.Files.pop_back();
  Rescan(tree_, x, xd);
  ExpectTree(top, drive, 4096);
  EXPECT_EQ(top->Data()->Attributes & HID, 0u);
}

TEST_F(FolderSizeTest, RescanWithoutNewRecordTakesTheOldFiguresOut) {
  Dir drive = SampleDrive();
  TTreeNode* top = ScanTop(tree_, drive);
  TTreeNode* p = top->Child(0);
  TTreeNode* x = p->Child(1);
  std::unique_ptr<TFolderSize> old = tree_.TakeData(x);
  const TFolderSize xOld = *old;
  tree_.DeleteChildren(x);
  ApplyRescanDelta(x, std::move(old));  // the rescan was aborted: X has no record

  // The ancestors count X as one folder without contents.
  drive.Dirs[0].Dirs[1] = Dir{"X", {}, {}};
  const Figures expected = Reference(drive, 4096);
  ExpectFigures(*top->Data(), expected);
  ExpectFigures(*p->Data(), Reference(drive.Dirs[0], 4096));
  EXPECT_EQ(top->Data()->TotalFolders, Reference(SampleDrive(), 4096).TotalFolders - xOld.TotalFolders);
}

// ---------------------------------------------------------------------------------------------
// Record allocation.

TEST(FolderSizePoolTest, RecordsAreDistinctAndSurviveReuse) {
  constexpr int Count = 10000;  // more than one chunk
  std::vector<std::unique_ptr<TFolderSize>> recs;
  std::set<const void*> seen;
  for (int i = 0; i < Count; ++i) {
    recs.push_back(std::make_unique<TFolderSize>());
    ASSERT_EQ(recs.back()->TotalSize, 0);  // created zeroed, also when the block was used before
    recs.back()->TotalSize = i;
    recs.back()->FilesLastChange = static_cast<uint64_t>(i);
    recs.back()->FilesWastedAt[7] = -i;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(recs.back().get()) % alignof(TFolderSize), 0u);
    EXPECT_TRUE(seen.insert(recs.back().get()).second);
  }
  for (int i = 0; i < Count; i += 2) recs[i].reset();
  for (int i = 0; i < Count; i += 2) {
    recs[i] = std::make_unique<TFolderSize>();
    ASSERT_EQ(recs[i]->FilesWastedAt[7], 0);
    recs[i]->TotalSize = Count + i;
    recs[i]->FilesLastChange = static_cast<uint64_t>(Count + i);
    recs[i]->FilesWastedAt[7] = -(Count + i);
  }
  for (int i = 0; i < Count; ++i) {
    const int stamp = i % 2 == 0 ? Count + i : i;
    ASSERT_EQ(recs[i]->TotalSize, stamp) << i;
    ASSERT_EQ(recs[i]->FilesLastChange, static_cast<uint64_t>(stamp)) << i;
    ASSERT_EQ(recs[i]->FilesWastedAt[7], -stamp) << i;
  }
}

// A request of another size is not served from the pool's fixed-size blocks.
TEST(FolderSizePoolTest, LargerRequestGetsItsOwnBlock) {
  struct TLarger : TFolderSize {
    unsigned char Extra[512];
  };
  std::vector<std::unique_ptr<TFolderSize>> around;
  for (int i = 0; i < 8; ++i) around.push_back(std::make_unique<TFolderSize>());
  auto* larger = new TLarger;
  for (int i = 0; i < 8; ++i) around.push_back(std::make_unique<TFolderSize>());
  std::memset(larger->Extra, 0xFF, sizeof larger->Extra);
  larger->TotalSize = -1;
  for (const auto& rec : around) {
    EXPECT_EQ(rec->TotalSize, 0);
    EXPECT_EQ(rec->Attributes, 0u);
    EXPECT_EQ(rec->FilesLastChange, 0u);
  }
  delete larger;
  // The pool keeps working after the foreign block went back.
  auto again = std::make_unique<TFolderSize>();
  again->TotalSize = 5;
  for (const auto& rec : around) EXPECT_EQ(rec->TotalSize, 0);
}

}  // namespace
