#include "platform/DriveTable.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "scan/ScanHost.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A host that records what the scanner tells it and can act when a given folder starts.
class TRecordingHost : public IScanHost {
public:
  void SetStatusText(const QString& text) override {
    status = text;
    statusTexts.push_back(text);
  }
  void SetBusy(bool busy) override { busyChanges.push_back(busy); }
  void FolderCompleted(TTreeNode* node) override { completed.push_back({node, node->Data() != nullptr}); }
  void FolderStarting() override {
    if (onFolder) onFolder(status);
  }

  QString status;
  std::vector<QString> statusTexts;
  std::vector<bool> busyChanges;
  std::vector<std::pair<TTreeNode*, bool>> completed;
  std::function<void(const QString&)> onFolder;
};

// Every completed folder's record agrees with its own files and its children's records.
void ExpectRollUpInvariants(const TTreeNode* node) {
  const TFolderSize* rec = node->Data();
  ASSERT_NE(rec, nullptr) << NodePath(node).toStdString();
  int64_t size = rec->FilesSize, wasted = rec->FilesWasted;
  int32_t files = rec->Files, folders = rec->Folders;
  TClusterFigures at = rec->FilesWastedAt;
  for (int i = 0; i < node->Count(); ++i) {
    const TTreeNode* child = node->Child(i);
    ExpectRollUpInvariants(child);
    const TFolderSize* c = child->Data();
    if (!c) return;
    size += c->TotalSize;
    wasted += c->TotalWasted;
    files += c->TotalFiles;
    folders += c->TotalFolders;
    for (int k = 1; k <= 7; ++k) at[k] += c->TotalWastedAt[k];
  }
  EXPECT_EQ(rec->Folders, node->Count()) << NodePath(node).toStdString();
  EXPECT_EQ(rec->TotalSize, size) << NodePath(node).toStdString();
  EXPECT_EQ(rec->TotalWasted, wasted) << NodePath(node).toStdString();
  EXPECT_EQ(rec->TotalFiles, files) << NodePath(node).toStdString();
  EXPECT_EQ(rec->TotalFolders, folders) << NodePath(node).toStdString();
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(rec->TotalWastedAt[k], at[k]) << NodePath(node).toStdString();
}

void ExpectMatchesWalk(const TFolderSize& rec, const TWalkTotals& walk) {
  EXPECT_EQ(rec.TotalSize, walk.Bytes);
  EXPECT_EQ(rec.TotalFiles, walk.Files);
  EXPECT_EQ(rec.TotalFolders, walk.Folders);
  EXPECT_EQ(rec.TotalWasted, walk.Wasted);
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(rec.TotalWastedAt[i], walk.WastedAt[i]) << "cluster index " << i;
  EXPECT_EQ(rec.LastAccess, walk.LatestAccess);
  EXPECT_EQ(rec.LastChange, walk.LatestWrite);
  EXPECT_EQ(rec.Attributes, walk.Attributes);
}

class ScannerTest : public ::testing::Test {
protected:
  void TearDown() override {
    ClearDriveList();
    AbortScan = false;
  }

  TTreeNode* ScanT() {
    drive = AddDrive('T');
    scanner.ScanDrive(QStringLiteral("T") + DriveDisplayName(QStringLiteral("T:\\")), drive);
    return drive->Node;
  }

  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Root()}}};
  TFolderTree tree;
  TRecordingHost host;
  TFolderScanner scanner{tree, host};
  TDriveRecInfo* drive = nullptr;
};

TEST_F(ScannerTest, TotalsMatchAnIndependentWalk) {
  fx.File("zero.bin", 0);
  fx.File("sizes/one", 1);
  fx.File("sizes/page", 4096);
  fx.File("sizes/page-and-one", 4097, false);
  fx.File("big/four-gib.bin", 4294967296LL);
  for (int i = 0; i < 40; ++i) fx.File("a/b/c" + QByteArray::number(i % 4) + "/f" + QByteArray::number(i), i * 977 + 13);
  fx.File("a/.hidden-file", 5);
  fx.File("a/readonly", 7);
  ASSERT_EQ(::chmod(fx.Path("a/readonly").constData(), 0444), 0);
  ASSERT_EQ(::mkfifo(fx.Path("a/fifo").constData(), 0644), 0);
  fx.Dir("empty");
  fx.Symlink("a", "link-to-folder");
  fx.Symlink(".", "a/loop");
  fx.Symlink("nowhere", "dangling");
  fx.SetTimes("sizes/one", 1'700'000'000, 1'600'000'000);
  fx.SetTimes("sizes/page", 1'650'000'000, 1'550'000'000);
  fx.SetTimes("sizes/page-and-one", 1'650'000'000, 1'600'000'000);  // a tie keeps the time held
  fx.SetTimes("zero.bin", 1'500'000'000, 1'800'000'000);

  TTreeNode* root = ScanT();
  ASSERT_NE(root->Data(), nullptr);
  EXPECT_EQ(root->StateIndex, ('T' << 8) | 1);
  EXPECT_EQ(drive->ClusterSize, ClusterSizeOf(QStringLiteral("T:\\")));
  ExpectMatchesWalk(*root->Data(), IndependentWalk(fx.Root(), drive->ClusterSize));
  ExpectRollUpInvariants(root);

  // Links are entries of their own, never folders to descend into.
  EXPECT_EQ(FindChildNode(root, QStringLiteral("link-to-folder"), true), nullptr);
  EXPECT_TRUE(root->Data()->Attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(root->Data()->LastChange, UnixToFileTime(1'800'000'000, 0));
  EXPECT_EQ(root->Data()->TotalFolders, 9);  // sizes big a a\b a\b\c0..c3 empty

  const TFolderSize* sizes = FindChildNode(root, QStringLiteral("sizes"), true)->Data();
  EXPECT_EQ(sizes->Files, 3);
  EXPECT_EQ(sizes->FilesSize, 1 + 4096 + 4097);
  EXPECT_EQ(sizes->FilesWastedAt[3], 4095 + 0 + 4095);  // 4096-byte clusters
  EXPECT_EQ(sizes->FilesWastedAt[1], 511 + 0 + 511);    // 512-byte clusters
  EXPECT_EQ(sizes->LastAccess, UnixToFileTime(1'700'000'000, 0));
  EXPECT_EQ(sizes->LastChange, UnixToFileTime(1'600'000'000, 0));
  EXPECT_EQ(FindChildNode(root, QStringLiteral("big"), true)->Data()->FilesSize, 4294967296LL);

  const TFolderSize* empty = FindChildNode(root, QStringLiteral("empty"), true)->Data();
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->TotalSize, 0);
  EXPECT_EQ(empty->LastAccess, 0u);
  EXPECT_EQ(empty->LastChange, 0u);
  EXPECT_EQ(empty->Attributes, 0u);
}

TEST_F(ScannerTest, UndeterminedClusterSizeLeavesOnlyTheDriveSlackEmpty) {
  fx.File("x/one", 1);
  fx.File("x/big", 70000);
  TTreeNode* root = tree.AddTop(u"fixture");
  tree.SetStateIndex(root, 'T' << 8);
  ScanClusterSize = -1;
  ASSERT_NE(scanner.ScanFolder(QStringLiteral("T:\\"), root), nullptr);
  const TFolderSize& rec = *root->Data();
  EXPECT_EQ(rec.TotalWasted, 0);
  EXPECT_EQ(rec.FilesWasted, 0);
  const TWalkTotals walk = IndependentWalk(fx.Root(), -1);
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(rec.TotalWastedAt[i], walk.WastedAt[i]);
  EXPECT_EQ(rec.TotalWastedAt[7], (65536 - 1) + (131072 - 70000));
}

TEST_F(ScannerTest, EmptyDriveGivesOneCompletedRoot) {
  TTreeNode* root = ScanT();
  ASSERT_EQ(tree.TopCount(), 1);
  ASSERT_NE(root->Data(), nullptr);
  const TFolderSize& rec = *root->Data();
  EXPECT_EQ(rec.TotalSize, 0);
  EXPECT_EQ(rec.TotalFiles, 0);
  EXPECT_EQ(rec.TotalFolders, 0);
  EXPECT_EQ(rec.LastAccess, 0u);
  EXPECT_EQ(root->StateIndex & 0xFF, 1);
  EXPECT_EQ(NodePath(root), QStringLiteral("T:\\"));
  EXPECT_EQ(drive->Node, root);
  EXPECT_EQ(root->Text(), drive->Name.mid(1));
  EXPECT_EQ(host.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(host.statusTexts, (std::vector<QString>{QStringLiteral("T:\\")}));
}

TEST_F(ScannerTest, ChildrenAreSortedAlphabetically) {
  for (const char* name : {"beta", "Alpha", "gamma", "alpha2", "10"}) fx.Dir(name);
  TTreeNode* root = ScanT();
  QStringList names;
  for (int i = 0; i < root->Count(); ++i) names << root->Child(i)->Text();
  EXPECT_EQ(names, (QStringList{"10", "Alpha", "alpha2", "beta", "gamma"}));
  for (int i = 0; i < root->Count(); ++i) EXPECT_EQ(root->Child(i)->Index(), i);
}

TEST_F(ScannerTest, AbortKeepsCompletedFoldersAndClearsTheInterruptedPath) {
  // Three branches of the same shape: whatever order the file system returns them in, the abort
  // comes when the second branch reaches its third level, after the first branch completed.
  for (const char* f : {"s1/a/b/f", "s1/a/g", "s2/a/b/f", "s2/a/g", "s3/a/b/f", "s3/a/g", "top"}) fx.File(f, 100);
  size_t completedBeforeAbort = 0;
  QString abortAt;
  host.onFolder = [&](const QString& path) {
    if (!abortAt.isEmpty() || path.count(QLatin1Char('\\')) != 4 || host.completed.empty()) return;
    AbortScan = true;
    abortAt = path;
    completedBeforeAbort = host.completed.size();
  };
  TTreeNode* root = ScanT();
  EXPECT_TRUE(AbortScan);  // left set so that loops over several drives stop too
  EXPECT_EQ(root->Data(), nullptr);
  EXPECT_EQ(root->StateIndex, 'T' << 8);

  ASSERT_FALSE(abortAt.isEmpty());
  TTreeNode* y = FindNodeByPath(root, abortAt.mid(3), true);
  ASSERT_NE(y, nullptr);
  for (TTreeNode* n = y; n; n = n->Parent()) {
    EXPECT_EQ(n->Data(), nullptr) << NodePath(n).toStdString();
    EXPECT_EQ(n->StateIndex & 0xFF, 0) << NodePath(n).toStdString();
  }
  // Everything completed before the abort keeps its record; what ended after it has none.
  ASSERT_GT(completedBeforeAbort, 0u);
  ASSERT_GT(host.completed.size(), completedBeforeAbort);
  for (size_t i = 0; i < host.completed.size(); ++i) {
    const auto& [node, hadRecord] = host.completed[i];
    EXPECT_EQ(hadRecord, i < completedBeforeAbort) << NodePath(node).toStdString();
    EXPECT_EQ(node->Data() != nullptr, i < completedBeforeAbort) << NodePath(node).toStdString();
  }

  // The next scan starts afresh.
  host.onFolder = nullptr;
  scanner.RescanFolder(QStringLiteral("T:\\"), root);
  EXPECT_FALSE(AbortScan);
  ASSERT_NE(root->Data(), nullptr);
  ExpectMatchesWalk(*root->Data(), IndependentWalk(fx.Root(), drive->ClusterSize));
}

TEST_F(ScannerTest, RescanAddsTheDeltaToEveryAncestor) {
  fx.File("a/b/old", 300);
  fx.File("a/own", 5);
  fx.File("top", 9);
  TTreeNode* root = ScanT();
  TTreeNode* a = FindNodeByPath(root, QStringLiteral("a"), true);
  TTreeNode* b = FindNodeByPath(root, QStringLiteral("a\\b"), true);
  const TFolderSize rootBefore = *root->Data(), aBefore = *a->Data();

  fx.File("a/b/new", 10);
  scanner.RescanFolder(NodePath(b), b);

  ASSERT_NE(b->Data(), nullptr);
  EXPECT_EQ(b->Data()->TotalSize, 310);
  for (const auto& [node, before] : {std::pair{a, aBefore}, std::pair{root, rootBefore}}) {
    EXPECT_EQ(node->Data()->TotalSize, before.TotalSize + 10);
    EXPECT_EQ(node->Data()->TotalFiles, before.TotalFiles + 1);
    EXPECT_EQ(node->Data()->Files, before.Files);
    EXPECT_EQ(node->Data()->FilesSize, before.FilesSize);
    EXPECT_EQ(node->Data()->TotalFolders, before.TotalFolders);
  }
  ExpectRollUpInvariants(root);
  TWalkTotals walk = IndependentWalk(fx.Root(), drive->ClusterSize);
  EXPECT_EQ(root->Data()->TotalSize, walk.Bytes);
  EXPECT_EQ(root->Data()->TotalWasted, walk.Wasted);
}

TEST_F(ScannerTest, AbortedRescanTakesTheOldFiguresOutUntilTheNextRescan) {
  fx.File("a/b/f", 1000);
  fx.File("a/b/c/g", 2000);
  fx.File("a/h", 7);
  TTreeNode* root = ScanT();
  TTreeNode* b = FindNodeByPath(root, QStringLiteral("a\\b"), true);

  host.onFolder = [&](const QString& path) {
    if (path.endsWith(QStringLiteral("\\b\\"))) AbortScan = true;
  };
  scanner.RescanFolder(NodePath(b), b);
  EXPECT_EQ(b->Data(), nullptr);
  EXPECT_EQ(root->Data()->TotalSize, 7);
  EXPECT_EQ(root->Data()->TotalFolders, 2);  // a and b stay counted as folders

  host.onFolder = nullptr;
  scanner.RescanFolder(NodePath(b), b);
  ASSERT_NE(b->Data(), nullptr);
  ExpectRollUpInvariants(root);
  ExpectMatchesWalk(*root->Data(), IndependentWalk(fx.Root(), drive->ClusterSize));
}

TEST_F(ScannerTest, FolderDeletedOutsideLeavesTheTreeWithItsFigures) {
  // b holds 10 files in 3 folders (b itself, b\c1, b\c2).
  for (int i = 0; i < 10; ++i) fx.File("a/b/" + QByteArray(i < 4 ? "c1/" : i < 7 ? "c2/" : "") + "f" + QByteArray::number(i), 100 + i);
  fx.File("a/keep", 1);
  TTreeNode* root = ScanT();
  TTreeNode* a = FindNodeByPath(root, QStringLiteral("a"), true);
  TTreeNode* b = FindNodeByPath(root, QStringLiteral("a\\b"), true);
  ASSERT_EQ(b->Data()->TotalFolders, 2);
  const TFolderSize rootBefore = *root->Data(), aBefore = *a->Data();

  EXPECT_FALSE(scanner.RemoveVanishedFolder(NodePath(b), b));  // still there
  EXPECT_FALSE(scanner.RemoveVanishedFolder(QStringLiteral("T:\\"), root));
  fx.Remove("a/b");
  EXPECT_FALSE(scanner.RemoveVanishedFolder(QStringLiteral("T:\\"), root));  // never a drive root
  ASSERT_TRUE(scanner.RemoveVanishedFolder(NodePath(b), b));

  EXPECT_EQ(a->Count(), 0);
  EXPECT_EQ(a->Data()->Folders, aBefore.Folders - 1);
  EXPECT_EQ(root->Data()->TotalFolders, rootBefore.TotalFolders - 3);
  EXPECT_EQ(root->Data()->TotalFiles, rootBefore.TotalFiles - 10);
  ExpectMatchesWalk(*root->Data(), IndependentWalk(fx.Root(), drive->ClusterSize));

  // A rescan of a folder that is gone removes it the same way.
  fx.Dir("a/gone");
  scanner.RescanFolder(NodePath(a), a);
  TTreeNode* gone = FindChildNode(a, QStringLiteral("gone"), true);
  ASSERT_NE(gone, nullptr);
  fx.Remove("a/gone");
  scanner.RescanFolder(NodePath(gone), gone);
  EXPECT_EQ(FindChildNode(a, QStringLiteral("gone"), true), nullptr);
  ExpectMatchesWalk(*root->Data(), IndependentWalk(fx.Root(), drive->ClusterSize));
}

TEST_F(ScannerTest, MissingDriveRootRescansAsAnEmptyRoot) {
  fx.File("a/f", 10);
  TTreeNode* root = ScanT();
  fx.Remove("");
  scanner.RescanFolder(QStringLiteral("T:\\"), root);
  ASSERT_EQ(tree.TopCount(), 1);
  ASSERT_NE(root->Data(), nullptr);
  EXPECT_EQ(root->Data()->TotalSize, 0);
  EXPECT_EQ(root->Count(), 0);
  EXPECT_EQ(root->StateIndex, ('T' << 8) | 1);
  // A folder of a drive that is not there is not "vanished": its node stays.
  TTreeNode* child = tree.AddChild(root, u"a");
  EXPECT_FALSE(scanner.RemoveVanishedFolder(QStringLiteral("T:\\a"), child));
}

TEST_F(ScannerTest, UnusualNamesReachTheVeryEntryTheyCameFrom) {
  const QByteArray names[] = {"bad\xff\xfe", "back\\slash", "co:lon", "caf\xc3\xa9", "\xef\x81\x9cliteral", "ov\xc0\xaf"};
  int64_t size = 11;
  for (const QByteArray& name : names) fx.File(name + "/f", size++);
  TTreeNode* root = ScanT();
  ASSERT_EQ(root->Count(), static_cast<int>(std::size(names)));
  size = 11;
  for (const QByteArray& name : names) {
    TTreeNode* node = nullptr;
    for (int i = 0; i < root->Count() && !node; ++i)
      if (DriveToHost(NodePath(root->Child(i))) == fx.Path(name)) node = root->Child(i);
    ASSERT_NE(node, nullptr) << name.toHex().toStdString();
    EXPECT_FALSE(node->Text().contains(QLatin1Char('\\')));
    EXPECT_FALSE(node->Text().contains(QLatin1Char(':')));
    const QString path = NodePath(node);
    EXPECT_TRUE(IsDirectory(path));
    EXPECT_EQ(FileSizeLow(path + QStringLiteral("\\f")), static_cast<uint32_t>(size));
    EXPECT_EQ(HostToDrive(fx.Path(name)), path);
    scanner.RescanFolder(path, node);  // must find the folder, not drop it as vanished
    ASSERT_NE(node->Data(), nullptr);
    EXPECT_EQ(node->Data()->TotalSize, size);
    ++size;
  }
}

// Creates a chain of folders deeper than the host's path limit, relative to each other.
int MakeDeepChain(const QByteArray& root, int depth, const char* name) {
  int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < depth && fd >= 0; ++i) {
    ::mkdirat(fd, name, 0755);
    const int next = ::openat(fd, name, O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
  }
  return fd;
}

TEST_F(ScannerTest, TreesDeeperThanThePathLimitAreScannedWhole) {
  constexpr int Depth = 700;  // 700 x 11 bytes: far past the 4096-byte path limit
  const int bottom = MakeDeepChain(fx.Root(), Depth, "level-name");
  ASSERT_GE(bottom, 0);
  auto makeFile = [](int dirFd, const char* name, off_t size) {
    const int fd = ::openat(dirFd, name, O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
  };
  makeFile(bottom, "f", 123);
  ASSERT_EQ(::mkdirat(bottom, "sub", 0755), 0);
  const int sub = ::openat(bottom, "sub", O_RDONLY | O_DIRECTORY);
  makeFile(sub, "h", 4);
  ::close(sub);

  TTreeNode* root = ScanT();
  ASSERT_NE(root->Data(), nullptr);
  EXPECT_EQ(root->Data()->TotalFolders, Depth + 1);
  EXPECT_EQ(root->Data()->TotalSize, 127);
  TTreeNode* deepest = root;
  while (deepest->HasChildren()) deepest = deepest->Child(0);
  TTreeNode* bottomNode = deepest->Parent();
  const QString path = NodePath(bottomNode);
  EXPECT_GT(path.size(), 4096);
  EXPECT_TRUE(IsDirectory(path));
  EXPECT_EQ(FileSizeLow(path + QStringLiteral("\\f")), 123u);

  // A rescan that starts below the path limit, where the host cannot name the folder.
  makeFile(bottom, "g", 10);
  ::close(bottom);
  scanner.RescanFolder(path, bottomNode);
  EXPECT_EQ(root->Data()->TotalSize, 137);
  EXPECT_EQ(root->Data()->TotalFiles, 3);
  EXPECT_EQ(root->Data()->TotalFolders, Depth + 1);
  ASSERT_EQ(bottomNode->Count(), 1);
  ASSERT_NE(bottomNode->Child(0)->Data(), nullptr);
  EXPECT_EQ(bottomNode->Child(0)->Data()->TotalSize, 4);
}

TEST_F(ScannerTest, ErrorInTheWalkStillClosesFoldersAndEndsBusy) {
  fx.File("a/b/f", 10);
  fx.File("a/g", 20);
  host.onFolder = [](const QString& path) {
    if (path == QStringLiteral("T:\\a\\b\\")) throw std::runtime_error("out of memory");
  };
  EXPECT_THROW(ScanT(), std::runtime_error);
  EXPECT_EQ(host.busyChanges, (std::vector<bool>{true, false}));
  ASSERT_EQ(tree.TopCount(), 1);
  TTreeNode* a = FindNodeByPath(tree.Top(0), QStringLiteral("a"), true);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(tree.Top(0)->Data(), nullptr);  // partial figures on the folders the error passed
  EXPECT_EQ(FindNodeByPath(a, QStringLiteral("b"), true)->Data(), nullptr);
}

TEST_F(ScannerTest, AnotherFileSystemInsideIsNotEntered) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
  fx.Dir("mnt");
  fx.File("outside", 40);
  if (::mount("korvane-test", fx.Path("mnt").constData(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  struct Unmount {
    QByteArray path;
    ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
  } unmount{fx.Path("mnt")};
  fx.File("mnt/inside", 5000);
  fx.Dir("mnt/sub");

  TTreeNode* root = ScanT();
  TTreeNode* mnt = FindChildNode(root, QStringLiteral("mnt"), true);
  ASSERT_NE(mnt, nullptr);
  ASSERT_NE(mnt->Data(), nullptr);
  EXPECT_EQ(mnt->Data()->TotalSize, 0);
  EXPECT_EQ(mnt->Count(), 0);
  EXPECT_EQ(root->Data()->TotalSize, 40);
  ExpectMatchesWalk(*root->Data(), IndependentWalk(fx.Root(), drive->ClusterSize));
}

}  // namespace
