#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/ArchiveFolder.h"
#include "cleanup/RestoreArchive.h"
#include "config/AtomicFile.h"
#include "config/IniFile.h"

#include "tests/cleanup/ZipTestSupport.h"
#include "tests/support/Fixture.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>

namespace {

constexpr int64_t BigSize = (int64_t(4) << 30) + 12345;  // over 4 GiB: needs ZIP64

void PutAt(const QByteArray& path, int64_t offset, const QByteArray& data) {
  int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, data.constData(), size_t(data.size()), offset), data.size());
  ::close(fd);
}

void MakeTrickyFolder(TFixtureTree& tree, const QByteArray& top, bool big) {
  tree.Dir(top + "/empty");
  tree.Dir(top + "/sub/deeper");
  WriteBytes(tree.Path(top + "/plain.txt"), "hello, archive\n");
  WriteBytes(tree.Path(top + "/.dotfile"), "hidden by its dot\n");
  WriteBytes(tree.Path(top + "/listed.txt"), "hidden by the list\n");
  WriteBytes(tree.Path(top + "/.hidden"), "listed.txt\n");
  WriteBytes(tree.Path(top + "/run.sh"), "#!/bin/sh\necho hi\n", 0755);
  WriteBytes(tree.Path(top + "/private"), "mine\n", 0600);
  WriteBytes(tree.Path(top + "/caf\xe9.txt"), "latin-1 name\n");
  WriteBytes(tree.Path(top + "/sub/deeper/gr\xc3\xbc\xc3\x9f" "e.txt"), QByteArray(70000, 'g'));
  tree.Symlink("../plain.txt", top + "/sub/link");
  tree.Symlink("/usr/share", top + "/absolute-link");
  if (big) {
    tree.File(top + "/big.bin", BigSize, true);
    PutAt(tree.Path(top + "/big.bin"), 0, "start");
    PutAt(tree.Path(top + "/big.bin"), BigSize - 3, "end");
  }
  tree.SetTimes(top + "/plain.txt", 1600000000, 1500000000);
  tree.SetTimes(top + "/sub/deeper", 1600000000, 1400000000);
  tree.SetTimes(top + "/empty", 1600000000, 1300000000);
}

bool Exists(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0;
}

}  // namespace

TEST(ArchiveRestore, TrickyFolderMovedToTheArchiveComesBackByteForByte) {
  TFixtureTree tree;
  tree.Dir("drive/home");
  TDriveScope drives({{'T', tree.Path("drive")}});
  MakeTrickyFolder(tree, "drive/home/data", true);
  const TSnapshot before = Snapshot(tree.Path("drive/home/data"));

  TOpContext context;
  int64_t lastBytes = -1;
  bool monotonic = true;
  context.onProgress = [&](const TOpProgress& p) {
    monotonic = monotonic && p.bytesDone >= lastBytes && p.bytesDone <= p.bytesTotal;
    lastBytes = p.bytesDone;
  };
  TArchiveRequest request;
  request.Folder = tree.Path("drive/home/data");
  request.Move = true;
  request.Level = 1;
  const TArchiveOutcome archived = ArchiveFolder(request, context);
  ASSERT_EQ(archived.Result.status, TOpStatus::Done) << archived.Message.toStdString();
  EXPECT_TRUE(monotonic);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^T[0-9A-F]{7,8}\\.ZIP$")).match(archived.Key).hasMatch())
      << archived.Key.toStdString();
  EXPECT_FALSE(Exists(tree.Path("drive/home/data")));
  EXPECT_GT(archived.FolderBytes, BigSize);
  EXPECT_GT(archived.ArchiveBytes, 0);
  std::optional<QByteArray> hidden = ReadWholeFile(tree.Path("drive/.hidden"));
  EXPECT_TRUE(hidden && hidden->contains("Archives Bin\n"));

  TArchiveCatalogue catalogue(*ArchivesFolderOf('T'));
  const std::vector<TArchiveRecord> listed = catalogue.List();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].Key, archived.Key);
  EXPECT_EQ(listed[0].FolderName, QStringLiteral("data"));
  EXPECT_EQ(listed[0].OriginalPath, QStringLiteral("T:\\home"));
  EXPECT_EQ(listed[0].Description, QStringLiteral("data Folder"));

  if (HaveProgram("python3")) {
    QByteArray out;
    EXPECT_EQ(RunProgram("python3", {"-c",
                                     "import sys, zipfile\n"
                                     "i = zipfile.ZipFile(sys.argv[1]).getinfo('data/big.bin')\n"
                                     "assert i.file_size == int(sys.argv[2]), i.file_size\n",
                                     QString::fromLocal8Bit(archived.ArchivePath), QString::number(BigSize)},
                         &out), 0)
        << out.constData();
  }

  TRestoreRequest restore;
  restore.Drive = 'T';
  restore.Key = archived.Key;
  restore.DeleteArchive = true;
  const TRestoreOutcome restored = RestoreArchive(restore, context);
  ASSERT_EQ(restored.Result.status, TOpStatus::Done) << restored.Message.toStdString();
  EXPECT_EQ(restored.RestoredFolder, tree.Path("drive/home/data"));
  EXPECT_EQ(Snapshot(tree.Path("drive/home/data")), before);
  EXPECT_TRUE(restored.ArchiveDeleted);
  EXPECT_FALSE(Exists(archived.ArchivePath));
  EXPECT_FALSE(Exists(tree.Path("drive/Archives Bin")));  // the last archive took its folder along
}

TEST(ArchiveRestore, FailedRestoreKeepsTheArchiveAndItsEntry) {
  TFixtureTree tree;
  tree.Dir("drive/home/data");
  TDriveScope drives({{'T', tree.Path("drive")}});
  WriteBytes(tree.Path("drive/home/data/a.txt"), QByteArray(50000, 'a'));
  WriteBytes(tree.Path("drive/home/data/b.txt"), "b");
  TOpContext context;
  TArchiveRequest request;
  request.Folder = tree.Path("drive/home/data");
  request.Move = true;
  request.Encrypt = true;
  request.Password = [](TZipPasswordPurpose) { return std::optional<QByteArray>("right"); };
  const TArchiveOutcome archived = ArchiveFolder(request, context);
  ASSERT_EQ(archived.Result.status, TOpStatus::Done) << archived.Message.toStdString();

  // A wrong password, then a damaged archive: each fails, nothing is deleted.
  for (int round = 0; round < 2; ++round) {
    if (round == 1) {
      QFile f(QString::fromLocal8Bit(archived.ArchivePath));
      ASSERT_TRUE(f.open(QIODevice::ReadWrite));
      f.seek(150);
      f.putChar('\x5a');
      f.putChar('\xa5');
    }
    TRestoreRequest restore;
    restore.Drive = 'T';
    restore.Key = archived.Key;
    restore.DeleteArchive = true;
    restore.Target = tree.Path("elsewhere");
    restore.Password = [round](TZipPasswordPurpose) -> std::optional<QByteArray> {
      return QByteArray(round == 0 ? "wrong" : "right");
    };
    const TRestoreOutcome outcome = RestoreArchive(restore, context);
    EXPECT_EQ(outcome.Result.status, TOpStatus::Failed) << round;
    EXPECT_FALSE(outcome.ArchiveDeleted);
    EXPECT_TRUE(outcome.Message.contains(QStringLiteral("will not be deleted"))) << round;
    EXPECT_TRUE(Exists(archived.ArchivePath)) << round;
    if (round == 0) {
      EXPECT_FALSE(Exists(tree.Path("elsewhere")));  // a wrong password makes no folder
    }
    ASSERT_EQ(TArchiveCatalogue(*ArchivesFolderOf('T')).List().size(), 1u) << round;
  }
}

TEST(ArchiveRestore, FailuresAndStopLeaveTheFolderAndWriteNoEntry) {
  struct Case {
    const char* what;
    TOpStatus status;
  };
  const Case cases[] = {{"stop", TOpStatus::Cancelled}, {"file changes", TOpStatus::Failed},
                        {"no password", TOpStatus::Failed}, {"drive root", TOpStatus::Failed},
                        {"archives folder", TOpStatus::Failed}};
  for (const Case& c : cases) {
    TFixtureTree tree;
    tree.Dir("drive/home/data/sub");
    TDriveScope drives({{'T', tree.Path("drive")}});
    for (int i = 0; i < 10; ++i)
      WriteBytes(tree.Path("drive/home/data/sub/f" + QByteArray::number(i)), QByteArray(100000, char('a' + i)));
    TOpContext context;
    TArchiveRequest request;
    const QByteArray what = c.what;
    request.Folder = tree.Path(what == "drive root" ? "drive" : "drive/home/data");
    request.Move = true;
    if (what == "archives folder") {
      tree.Dir("drive/Archives Bin");
      WriteBytes(tree.Path("drive/Archives Bin/T1234567.ZIP"), "an archive");
      request.Folder = tree.Path("drive/Archives Bin");
    }
    context.onProgress = [&](const TOpProgress& p) {
      if (what == "stop" && p.entriesDone == 5) context.Cancel();
      if (what == "file changes" && p.currentPath.endsWith(QLatin1String("f7")))
        WriteBytes(tree.Path("drive/home/data/sub/f7"), "shorter now");
    };
    if (what == "no password") {
      request.Encrypt = true;
      request.Password = [](TZipPasswordPurpose) { return std::optional<QByteArray>(); };
    }
    const TSnapshot before = Snapshot(tree.Path("drive"));
    const TArchiveOutcome outcome = ArchiveFolder(request, context);
    EXPECT_EQ(outcome.Result.status, c.status) << c.what;
    EXPECT_TRUE(outcome.Key.isEmpty()) << c.what;
    EXPECT_TRUE(outcome.Message.contains(QStringLiteral("was not archived"))) << c.what;
    TSnapshot after = Snapshot(tree.Path("drive"));
    TSnapshot want = before;
    // Only the archives folder and its line in .hidden may have appeared.
    for (TSnapshot* s : {&after, &want}) {
      s->erase("/Archives Bin");
      s->erase("/.hidden");
    }
    if (what == "file changes") {  // the file the test itself changed
      after.erase("/home/data/sub/f7");
      want.erase("/home/data/sub/f7");
    }
    EXPECT_EQ(after, want) << c.what;
    if (what != "archives folder" && Exists(tree.Path("drive/Archives Bin"))) {
      EXPECT_TRUE(Snapshot(tree.Path("drive/Archives Bin")).empty()) << c.what;
    }
  }
}

TEST(ArchiveRestore, ArchivesFolderInsideTheFolderIsLeftOut) {
  TFixtureTree tree;
  tree.Dir("outer/inner");
  // Drive U's root lies inside the folder being archived, so its archives folder does too.
  TDriveScope drives({{'T', tree.Root()}, {'U', tree.Path("outer/inner")}});
  WriteBytes(tree.Path("outer/a.txt"), "a");
  TOpContext context;
  TArchiveRequest request;
  request.Folder = tree.Path("outer");
  request.Drive = 'U';
  const TArchiveOutcome outcome = ArchiveFolder(request, context);
  ASSERT_EQ(outcome.Result.status, TOpStatus::Done) << outcome.Message.toStdString();
  TZipMaster zip;
  zip.SetZipFilename(outcome.ArchivePath);
  for (const TZipContentEntry& e : zip.Contents())
    EXPECT_FALSE(e.Name.contains("Archives Bin")) << e.Name.constData();
  EXPECT_EQ(zip.Contents().size(), 4u);  // outer/, outer/a.txt, outer/inner/, outer/inner/.hidden
}

// A child archives with "move to archive" and is killed at some moment; whatever the moment, every
// file is either still in place, unchanged, or in an archive the catalogue lists.
TEST(ArchiveRestore, KilledWhileMovingToTheArchiveLosesNothing) {
  auto makeTree = [](TFixtureTree& tree) {
    std::mt19937 random(7);
    for (int d = 0; d < 4; ++d) {
      tree.Dir("drive/work/data/d" + QByteArray::number(d));
      for (int f = 0; f < 40; ++f) {
        QByteArray content(20000 + int(random() % 20000), '\0');
        for (char& ch : content) ch = char('a' + random() % 3);
        WriteBytes(tree.Path("drive/work/data/d" + QByteArray::number(d) + "/f" + QByteArray::number(f)), content);
      }
    }
  };
  auto runChild = [](const QByteArray& folder) {
    pid_t pid = ::fork();
    if (pid == 0) {
      TOpContext context;
      TArchiveRequest request;
      request.Folder = folder;
      request.Move = true;
      request.Level = 6;
      const TArchiveOutcome outcome = ArchiveFolder(request, context);
      ::_exit(outcome.Result.status == TOpStatus::Done ? 0 : 1);
    }
    return pid;
  };
  // How long one whole run takes, to spread the kills over it.
  int64_t wholeRunMicros = 0;
  {
    TFixtureTree tree;
    makeTree(tree);
    TDriveScope drives({{'T', tree.Path("drive")}});
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = runChild(tree.Path("drive/work/data"));
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    wholeRunMicros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
  }
  std::mt19937 random(std::random_device{}());
  for (int round = 0; round < 8; ++round) {
    TFixtureTree tree;
    makeTree(tree);
    TDriveScope drives({{'T', tree.Path("drive")}});
    const TSnapshot before = Snapshot(tree.Path("drive/work/data"));
    const int64_t delay = wholeRunMicros * round / 7 + int64_t(random() % 2000);
    pid_t pid = runChild(tree.Path("drive/work/data"));
    ::usleep(useconds_t(delay));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    // Every archive that got its name is in the catalogue as it is on disk, before a listing
    // could recover it.
    {
      const QStringList keys = TIniFile(tree.Path("drive/Archives Bin/archives.ini"), true).ReadSection(QStringLiteral("Descriptions"));
      for (const auto& [path, info] : Snapshot(tree.Path("drive/Archives Bin")))
        if (path.endsWith(".ZIP") && !path.startsWith("/.")) {
          EXPECT_TRUE(keys.contains(QString::fromLatin1(path.mid(1)))) << "round " << round << ": no entry for " << path.constData();
        }
    }
    // Restore every archive the catalogue lists into a folder of its own, then look for each file.
    std::vector<TSnapshot> archived;
    const std::vector<TArchiveRecord> listed = TArchiveCatalogue(*ArchivesFolderOf('T')).List();
    for (const TArchiveRecord& r : listed) {
      TZipMaster zip;
      zip.SetZipFilename(*TArchiveCatalogue(*ArchivesFolderOf('T')).ArchivePath(r.Key));
      zip.ExtrBaseDir = tree.Path("check/" + r.Key.toLatin1());
      ASSERT_TRUE(zip.Extract()) << "round " << round << ": a catalogued archive is broken";
      archived.push_back(Snapshot(tree.Path("check/" + r.Key.toLatin1() + "/data")));
    }
    const TSnapshot now = Snapshot(tree.Path("drive/work/data"));
    for (const auto& [path, info] : before) {
      if (info.Type != S_IFREG) continue;
      auto here = now.find(path);
      bool safe = here != now.end() && here->second.Hash == info.Hash;
      for (const TSnapshot& s : archived) {
        auto there = s.find(path);
        safe = safe || (there != s.end() && there->second.Hash == info.Hash);
      }
      EXPECT_TRUE(safe) << "round " << round << " (killed after " << delay << " us): lost "
                        << path.constData();
    }
    // The next archive run clears what the killed one left in the archives folder.
    tree.Dir("drive/other");
    TOpContext context;
    TArchiveRequest next;
    next.Folder = tree.Path("drive/other");
    ASSERT_EQ(ArchiveFolder(next, context).Result.status, TOpStatus::Done);
    for (const auto& [path, info] : Snapshot(tree.Path("drive/Archives Bin")))
      EXPECT_FALSE(path.startsWith("/.")) << "round " << round << ": left over " << path.constData();
  }
}
