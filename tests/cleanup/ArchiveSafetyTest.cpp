// Archive and restore against hostile catalogues, hostile archives, mounts inside the folder, a
// stop while the archived files are deleted and a kill the moment an archive gets its name.
#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/ArchiveFolder.h"
#include "cleanup/RestoreArchive.h"
#include "config/AtomicFile.h"
#include "config/IniFile.h"

#include "tests/cleanup/ZipTestSupport.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/mount.h>
#include <sys/wait.h>

namespace {

TZipMember File(const QByteArray& name, const QByteArray& data = "from the archive") {
  return {name, S_IFREG, data, {}};
}
TZipMember Dir(const QByteArray& name) { return {name, S_IFDIR, {}, {}}; }

bool Exists(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0;
}

// A drive T at the fixture's root with its archives folder.
struct TStore {
  TFixtureTree tree;
  TDriveScope drives{{{'T', tree.Root()}}};
  QByteArray archives;
  TStore() {
    QString error;
    EXPECT_TRUE(EnsureArchivesFolder('T', &archives, &error)) << error.toStdString();
  }
  // An archive of these members with a catalogue entry naming folder and original location.
  void Put(const QString& key, const std::vector<TZipMember>& members, const QString& folder,
           const QByteArray& original) {
    ASSERT_TRUE(WriteZip(archives + '/' + key.toLatin1(), members));
    TArchiveRecord record;
    record.Key = key;
    record.Description = QStringLiteral("hostile");
    record.FolderName = folder;
    record.OriginalPath = QString::fromLocal8Bit(original);
    record.HasOriginalPath = !original.isEmpty();
    TArchiveCatalogue(archives).Add(record);
  }
  // The name of a finished archive in the folder (an archive run's temporary file starts with a dot).
  QString FinishedArchive() const {
    for (const auto& [path, info] : Snapshot(archives))
      if (path.endsWith(".ZIP") && !path.startsWith("/.")) return QString::fromLatin1(path.mid(1));
    return QString();
  }
};

// Marks a member, in the central directory, as a FIFO stored by a Unix system.
bool MakeMemberAFifo(const QByteArray& zipPath, const QByteArray& name) {
  std::optional<QByteArray> data = ReadWholeFile(zipPath);
  if (!data) return false;
  for (qsizetype at = data->indexOf("PK\x01\x02"); at >= 0; at = data->indexOf("PK\x01\x02", at + 4)) {
    const int length = uchar(data->at(at + 28)) | uchar(data->at(at + 29)) << 8;
    if (data->mid(at + 46, length) != name) continue;
    (*data)[at + 5] = 3;
    const uint32_t attributes = uint32_t(S_IFIFO | 0644) << 16;
    for (int i = 0; i < 4; ++i) (*data)[at + 38 + i] = char((attributes >> (8 * i)) & 0xff);
    WriteBytes(zipPath, *data);
    return true;
  }
  return false;
}

TRestoreOutcome Restore(const QString& key, const QByteArray& target = QByteArray()) {
  TOpContext context;
  TRestoreRequest request;
  request.Drive = 'T';
  request.Key = key;
  request.Target = target;
  return RestoreArchive(request, context);
}

QString Reasons(const TOpResult& result) {
  QString text;
  for (const TOpFailure& f : result.failures) text += f.reason + QLatin1Char('\n');
  return text;
}

}  // namespace

TEST(ArchiveSafety, RestoreWritesOnlyInsideTheNamedFolderAndReplacesNothing) {
  const std::vector<TZipMember> outside = {File(".bashrc"), Dir("victimfolder/"), File("victimfolder/keep")};
  const std::vector<TZipMember> photos = {Dir("photos/"), File("photos/new.txt")};
  const std::vector<TZipMember> clashing = {Dir("photos/"), File("photos/new.txt"), File("photos/a.txt")};
  struct Case {
    const char* what;
    std::vector<TZipMember> members;
    bool original;     // the entry has an original location (else none)
    bool to;           // a folder to restore into is given
    const char* made;  // the one file the restore may add, from the fixture's root; null: none
  };
  const Case cases[] = {
      {"members outside the folder", outside, true, false, nullptr},
      {"members outside the folder, into another folder", outside, true, true, nullptr},
      {"a member whose file is there", clashing, true, false, nullptr},
      {"no original location", photos, false, false, nullptr},
      {"no original location, into another folder", photos, false, true, "/to/photos/new.txt"},
      {"into the folder that is there", photos, true, false, "/esc/orig/photos/new.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TStore store;
    store.tree.Dir("esc/orig/victimfolder");
    store.tree.Dir("esc/orig/photos");
    ::chmod(store.tree.Path("esc/orig/photos").constData(), 0700);
    for (const char* mine : {"esc/orig/.bashrc", "esc/orig/victimfolder/keep", "esc/orig/photos/a.txt"})
      WriteBytes(store.tree.Path(mine), "the user's own");
    store.Put(QStringLiteral("T0000001.ZIP"), c.members, QStringLiteral("photos"),
              c.original ? store.tree.Path("esc/orig") : QByteArray());
    auto state = [&] {
      TSnapshot all = Snapshot(store.tree.Root());
      std::erase_if(all, [](const auto& entry) { return entry.first.startsWith("/Archives Bin"); });
      return all;
    };
    TSnapshot before = state();
    const TRestoreOutcome outcome = Restore(QStringLiteral("T0000001.ZIP"), c.to ? store.tree.Path("to") : QByteArray());
    TSnapshot after = state();
    if (c.made) {
      EXPECT_EQ(outcome.Result.status, TOpStatus::Done) << outcome.Message.toStdString() << Reasons(outcome.Result).toStdString();
      EXPECT_EQ(ReadWholeFile(store.tree.Root() + c.made), QByteArray("from the archive"));
      // Only the file and the folders on its way are new; a folder that was there keeps its
      // permissions (its time changes with its new entry).
      const QByteArray made = c.made;
      std::erase_if(after, [&](const auto& e) { return !before.count(e.first) && made.startsWith(e.first); });
      for (auto& [path, info] : after)
        if (made.startsWith(path + '/')) info.MTime = before[path].MTime;
    } else {
      EXPECT_EQ(outcome.Result.status, TOpStatus::Failed);
      EXPECT_FALSE(outcome.Result.failures.empty());
      EXPECT_TRUE(outcome.Message.contains(QStringLiteral("will not be deleted")) ||
                  outcome.Message.contains(QStringLiteral("name a folder")))
          << outcome.Message.toStdString();
    }
    EXPECT_EQ(after, before);
    EXPECT_TRUE(Exists(store.archives + "/T0000001.ZIP"));
  }
}

TEST(ArchiveSafety, ArchivesThatAreNoRegularFileOrAreDamagedFailAtOnceAndSaySo) {
  struct Case {
    const char* what;
    const char* said;
  };
  const Case cases[] = {{"a FIFO", "no regular file"}, {"cut short", "damaged"}, {"a FIFO member", "no file, folder or link"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TStore store;
    const QByteArray path = store.archives + "/T0000001.ZIP";
    store.Put(QStringLiteral("T0000001.ZIP"), {Dir("photos/"), File("photos/a.txt", QByteArray(20000, 'x'))},
              QStringLiteral("photos"), store.tree.Path("orig"));
    if (QByteArray(c.what) == "a FIFO") {
      ASSERT_EQ(::unlink(path.constData()), 0);
      ASSERT_EQ(::mkfifo(path.constData(), 0644), 0);
    } else if (QByteArray(c.what) == "a FIFO member") {
      ASSERT_TRUE(MakeMemberAFifo(path, "photos/a.txt"));
    } else {
      struct stat st {};
      ASSERT_EQ(::stat(path.constData(), &st), 0);
      ASSERT_EQ(::truncate(path.constData(), st.st_size / 2), 0);
    }
    ::alarm(60);  // a restore that waits on the FIFO ends the test run
    const TRestoreOutcome outcome = Restore(QStringLiteral("T0000001.ZIP"), store.tree.Path("to"));
    ::alarm(0);
    EXPECT_EQ(outcome.Result.status, TOpStatus::Failed);
    EXPECT_TRUE(Reasons(outcome.Result).contains(QLatin1String(c.said))) << Reasons(outcome.Result).toStdString();
    EXPECT_FALSE(Exists(store.tree.Path("to")));
  }
}

TEST(ArchiveSafety, MoveToTheArchiveRefusesAFolderWithAMountInsideAndAPlainArchiveLeavesItOut) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  for (const bool bind : {true, false}) {
    SCOPED_TRACE(bind ? "a bind mount of the same file system" : "a tmpfs");
    TFixtureTree tree;
    tree.Dir("bindsrc/deep");
    tree.Dir("drive/abind/bm");
    WriteBytes(tree.Path("bindsrc/p1"), "p1");
    WriteBytes(tree.Path("bindsrc/deep/p2"), "p2");
    WriteBytes(tree.Path("drive/abind/own.txt"), "own");
    TDriveScope drives({{'T', tree.Path("drive")}});
    const QByteArray mountPoint = tree.Path("drive/abind/bm");
    ASSERT_EQ(bind ? ::mount(tree.Path("bindsrc").constData(), mountPoint.constData(), nullptr, MS_BIND, nullptr)
                   : ::mount("none", mountPoint.constData(), "tmpfs", 0, "size=1m"),
              0);
    struct TUnmount {
      QByteArray at;
      ~TUnmount() { ::umount2(at.constData(), MNT_DETACH); }
    } unmount{mountPoint};
    if (!bind) WriteBytes(mountPoint + "/on-the-mount", "stays");
    const TSnapshot before = Snapshot(tree.Path("drive/abind"));
    const TSnapshot sourceBefore = Snapshot(tree.Path("bindsrc"));

    TOpContext context;
    TArchiveRequest request;
    request.Folder = tree.Path("drive/abind");
    request.Move = true;
    const TArchiveOutcome moved = ArchiveFolder(request, context);
    EXPECT_EQ(moved.Result.status, TOpStatus::Failed);
    EXPECT_TRUE(Reasons(moved.Result).contains(QStringLiteral("mounted"))) << Reasons(moved.Result).toStdString();
    EXPECT_TRUE(moved.Key.isEmpty());
    EXPECT_EQ(Snapshot(tree.Path("drive/abind")), before);
    EXPECT_EQ(Snapshot(tree.Path("bindsrc")), sourceBefore);

    request.Move = false;
    const TArchiveOutcome archived = ArchiveFolder(request, context);
    ASSERT_EQ(archived.Result.status, TOpStatus::Done) << archived.Message.toStdString();
    TZipMaster zip;
    zip.SetZipFilename(archived.ArchivePath);
    ASSERT_FALSE(zip.Contents().empty());
    for (const TZipContentEntry& e : zip.Contents()) EXPECT_FALSE(e.Name.startsWith("abind/bm")) << e.Name.constData();
  }
}

TEST(ArchiveSafety, StopWhileTheArchivedFilesAreDeletedKeepsTheRest) {
  TStore store;
  for (int d = 0; d < 4; ++d) {
    store.tree.Dir("work/data/d" + QByteArray::number(d));
    for (int f = 0; f < 50; ++f)
      WriteBytes(store.tree.Path("work/data/d" + QByteArray::number(d) + "/f" + QByteArray::number(f)),
                 QByteArray::number(d * 1000 + f).repeated(50));
  }
  const TSnapshot before = Snapshot(store.tree.Path("work/data"));
  TOpContext context;
  // Stop as soon as the archive has its name: from then on only the sources are being deleted.
  context.onBusy = [&] {
    if (!store.FinishedArchive().isEmpty()) context.Cancel();
  };
  TArchiveRequest request;
  request.Folder = store.tree.Path("work/data");
  request.Move = true;
  const TArchiveOutcome outcome = ArchiveFolder(request, context);
  EXPECT_EQ(outcome.Result.status, TOpStatus::PartlyDone);
  EXPECT_TRUE(Reasons(outcome.Result).contains(QStringLiteral("stopped"))) << Reasons(outcome.Result).toStdString();
  ASSERT_FALSE(outcome.Key.isEmpty());
  const TSnapshot now = Snapshot(store.tree.Path("work/data"));
  int files = 0;
  for (const auto& [path, info] : now) {
    if (info.Type != S_IFREG) continue;
    ++files;
    ASSERT_TRUE(before.count(path)) << path.constData();
    EXPECT_EQ(info.Hash, before.at(path).Hash) << path.constData();
  }
  EXPECT_GT(files, 100);  // stopped near the start of the deletion, not after it

  // Everything is in the archive, which the catalogue lists.
  ASSERT_EQ(TArchiveCatalogue(store.archives).List().size(), 1u);
  TZipMaster zip;
  zip.SetZipFilename(outcome.ArchivePath);
  zip.ExtrBaseDir = store.tree.Path("check");
  ASSERT_TRUE(zip.Extract());
  TSnapshot restored = Snapshot(store.tree.Path("check/data"));
  TSnapshot want = before;
  for (TSnapshot* s : {&restored, &want})
    for (auto& [path, info] : *s) info.Mode = info.Type == S_IFDIR ? 0 : info.Mode;
  EXPECT_EQ(restored, want);
}

TEST(ArchiveSafety, AnArchiveIsInTheCatalogueFromTheMomentItHasItsName) {
  TStore store;
  store.tree.Dir("work/data");
  for (int f = 0; f < 20; ++f) WriteBytes(store.tree.Path("work/data/f" + QByteArray::number(f)), QByteArray(5000, char('a' + f)));
  const TSnapshot before = Snapshot(store.tree.Path("work/data"));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TOpContext context;
    // Killed the first moment anything is reported after the archive got its name.
    context.onProgress = [&](const TOpProgress&) {
      if (!store.FinishedArchive().isEmpty()) ::_exit(3);
    };
    TArchiveRequest request;
    request.Folder = store.tree.Path("work/data");
    request.Move = true;
    ArchiveFolder(request, context);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
  const QString key = store.FinishedArchive();
  ASSERT_FALSE(key.isEmpty());
  // The catalogue as it is on disk, before any listing could repair it.
  EXPECT_TRUE(TIniFile(store.archives + "/archives.ini").ReadSection(QStringLiteral("Descriptions")).contains(key));
  EXPECT_EQ(Snapshot(store.tree.Path("work/data")), before);
}

TEST(ArchiveSafety, ArchivesTheCatalogueDoesNotListAreRecoveredAndNeedAFolderToRestoreInto) {
  TStore store;
  store.tree.Dir("work/data/sub");
  WriteBytes(store.tree.Path("work/data/sub/a.txt"), "a");
  const TSnapshot before = Snapshot(store.tree.Path("work/data"));
  TOpContext context;
  TArchiveRequest request;
  request.Folder = store.tree.Path("work/data");
  request.Move = true;
  const TArchiveOutcome archived = ArchiveFolder(request, context);
  ASSERT_EQ(archived.Result.status, TOpStatus::Done);
  ASSERT_EQ(::unlink((store.archives + "/archives.ini").constData()), 0);

  QStringList notes;
  const std::vector<TArchiveRecord> listed = TArchiveCatalogue(store.archives).List(&notes);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].Key, archived.Key);
  EXPECT_EQ(listed[0].FolderName, QStringLiteral("data"));
  EXPECT_TRUE(listed[0].Recovered);
  EXPECT_FALSE(listed[0].HasOriginalPath);
  ASSERT_EQ(notes.size(), 1);
  EXPECT_TRUE(notes[0].contains(archived.Key));
  EXPECT_TRUE(TIniFile(store.archives + "/archives.ini", true).ReadSection(QStringLiteral("Descriptions")).contains(archived.Key));

  const TRestoreOutcome nowhere = Restore(archived.Key);
  EXPECT_EQ(nowhere.Result.status, TOpStatus::Failed);
  EXPECT_TRUE(nowhere.Message.contains(QStringLiteral("name a folder"))) << nowhere.Message.toStdString();
  const TRestoreOutcome restored = Restore(archived.Key, store.tree.Path("back"));
  ASSERT_EQ(restored.Result.status, TOpStatus::Done) << restored.Message.toStdString();
  EXPECT_EQ(Snapshot(store.tree.Path("back/data")), before);
}

TEST(ArchiveSafety, ArchivesCutAnywhereOrWithFlippedBytesNeverRestoreAnythingWrong) {
  TFixtureTree tree;
  const QByteArray zipPath = tree.Path("a.zip");
  ASSERT_TRUE(WriteZip(zipPath, {Dir("photos/"), File("photos/a.txt", QByteArray(3000, 'a')), File("photos/b.txt", "b")}));
  const QByteArray whole = *ReadWholeFile(zipPath);
  std::mt19937 random(5);
  for (int round = 0; round < 300; ++round) {
    QByteArray bytes = whole;
    if (round < 150) {
      bytes.truncate(qsizetype(random() % uint32_t(whole.size())));
    } else {  // flips in the central directory and the end record, where the reader looks first
      for (int i = 0; i < 4; ++i) bytes[whole.size() - 1 - qsizetype(random() % 200)] = char(random());
    }
    WriteBytes(zipPath, bytes);
    RemoveTree(tree.Path("out"));
    TZipMaster zip;
    zip.SetZipFilename(zipPath);
    zip.ExtrBaseDir = tree.Path("out/target");
    const bool extracted = zip.Extract();
    if (round < 150) {
      EXPECT_FALSE(extracted) << "cut at " << bytes.size();
    }
    // Whatever came out lies in the target.
    for (const auto& [path, info] : Snapshot(tree.Path("out")))
      EXPECT_TRUE(path == "/target" || path.startsWith("/target/")) << path.constData();
  }
}
