// Delete and Move to Trash of the item context menu on fixture drives: the question first, links
// never followed, failures reported and never taken for success; and the menu's other commands.
#include "cleanup/ui/ItemMenu.h"
#include "shell/Launch.h"

#include "tests/shell/MessageAnswers.h"
#include "tests/support/Fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0;
}

// Drive T: on fixture folder "drive", with a folder Data holding files, a subfolder and a link
// to a folder outside Data whose file must survive everything done to Data.
struct ItemOperations : ::testing::Test {
  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Path("drive")}}};
  ItemOperations() {
    fx.File("drive/Data/a.txt", 10);
    fx.File("drive/Data/Sub/b.bin", 5000);
    fx.Dir("drive/Data/Sub/Deeper/Deepest");
    fx.File("outside/keep.txt", 7);
    fx.Symlink(fx.Path("outside"), "drive/Data/Sub/link-to-outside");
    fx.Symlink(fx.Path("outside/keep.txt"), "drive/Data/file-link");
  }
};

TEST_F(ItemOperations, AnsweredNoChangesNothing) {
  for (auto op : {&DeleteItem, &TrashItem}) {
    TMessageAnswers answers({mbNo});
    bool changed = true;
    EXPECT_EQ(op(QStringLiteral("T:\\Data"), nullptr, &changed), TFileOpResult::Cancelled);
    EXPECT_FALSE(changed);
    ASSERT_EQ(answers.Asked.size(), 1u);
    EXPECT_EQ(answers.Asked[0].Buttons, mbYes | mbNo);
    EXPECT_TRUE(answers.Asked[0].Text.contains(QStringLiteral("T:\\Data")));
    EXPECT_TRUE(Exists(fx.Path("drive/Data/Sub/b.bin")));
  }
}

TEST_F(ItemOperations, DeleteRemovesTheFolderWithoutFollowingLinks) {
  TMessageAnswers answers({mbYes});
  EXPECT_EQ(DeleteItem(QStringLiteral("T:\\Data")), TFileOpResult::Done);
  EXPECT_EQ(answers.Errors(), 0);
  EXPECT_EQ(answers.Asked.size(), 1u);
  EXPECT_FALSE(Exists(fx.Path("drive/Data")));
  EXPECT_TRUE(Exists(fx.Path("outside/keep.txt")));
  EXPECT_TRUE(Exists(fx.Path("drive")));
}

TEST_F(ItemOperations, DeleteOfALinkRemovesTheLinkOnly) {
  TMessageAnswers answers({mbYes});
  EXPECT_EQ(DeleteItem(QStringLiteral("T:\\Data\\Sub\\link-to-outside")), TFileOpResult::Done);
  EXPECT_FALSE(Exists(fx.Path("drive/Data/Sub/link-to-outside")));
  EXPECT_TRUE(Exists(fx.Path("outside/keep.txt")));
  EXPECT_EQ(answers.Errors(), 0);
}

TEST_F(ItemOperations, DeleteThroughALinkOnTheWayIsRefused) {
  // T:\Data\Sub\link-to-outside\keep.txt would reach the outside file through the link.
  TMessageAnswers answers({mbYes});
  EXPECT_EQ(DeleteItem(QStringLiteral("T:\\Data\\Sub\\link-to-outside\\keep.txt")), TFileOpResult::Failed);
  EXPECT_EQ(answers.Errors(), 1);
  EXPECT_TRUE(Exists(fx.Path("outside/keep.txt")));
}

TEST_F(ItemOperations, DriveRootsAndMissingItemsAreRefusedWithAMessage) {
  for (const char* path : {"T:\\", "T:", "T:\\..", "T:\\Data\\..\\..", "T:\\Missing"}) {
    SCOPED_TRACE(path);
    for (auto op : {&DeleteItem, &TrashItem}) {
      TMessageAnswers answers({mbYes});
      EXPECT_EQ(op(QString::fromLatin1(path), nullptr, nullptr), TFileOpResult::Failed);
      ASSERT_EQ(answers.Asked.size(), 1u);  // the error, no question
      EXPECT_EQ(answers.Errors(), 1);
    }
  }
  EXPECT_TRUE(Exists(fx.Path("drive/Data/Sub/b.bin")));
}

TEST_F(ItemOperations, DeleteOfATreeDeeperThanTheDescriptorLimit) {
  // 1,500 nested folders with a file at the bottom, deleted with at most 256 descriptors.
  int fd = ::open(fx.Path("drive/Data").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < 1500; ++i) {
    ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
    const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  const int file = ::openat(fd, "bottom.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(file, 0);
  ::close(file);
  ::close(fd);

  rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 256);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  TMessageAnswers answers({mbYes});
  const TFileOpResult result = DeleteItem(QStringLiteral("T:\\Data"));
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(result, TFileOpResult::Done);
  EXPECT_EQ(answers.Errors(), 0);
  EXPECT_FALSE(Exists(fx.Path("drive/Data")));
  EXPECT_TRUE(Exists(fx.Path("outside/keep.txt")));
}

// A file that cannot be removed: immutable when running as root (who may remove anything from
// a read-only folder), else in a read-only folder.
class TUndeletable {
public:
  TUndeletable(TFixtureTree& fx, const QByteArray& file) : file_(fx.Path(file)), folder_(file_.left(file_.lastIndexOf('/'))) {
    if (::geteuid() == 0) {
      const int fd = ::open(file_.constData(), O_RDONLY | O_CLOEXEC);
      int flags = 0;
      ok_ = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && ((flags |= FS_IMMUTABLE_FL), true) &&
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
      immutable_ = ok_;
      if (fd >= 0) ::close(fd);
    } else {
      ok_ = ::chmod(folder_.constData(), 0555) == 0;
    }
  }
  ~TUndeletable() {
    if (immutable_) {
      const int fd = ::open(file_.constData(), O_RDONLY | O_CLOEXEC);
      int flags = 0;
      if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
      }
      if (fd >= 0) ::close(fd);
    } else {
      ::chmod(folder_.constData(), 0755);
    }
  }
  bool Ok() const { return ok_; }

private:
  QByteArray file_;
  QByteArray folder_;
  bool ok_ = false;
  bool immutable_ = false;
};

TEST_F(ItemOperations, AFailureIsReportedAndNotTakenForSuccess) {
  TUndeletable locked(fx, "drive/Data/Sub/b.bin");
  if (!locked.Ok()) GTEST_SKIP() << "this file system cannot lock a file";
  TMessageAnswers answers({mbYes});
  EXPECT_EQ(DeleteItem(QStringLiteral("T:\\Data")), TFileOpResult::Failed);
  ASSERT_EQ(answers.Errors(), 1);
  const QString text = answers.Asked.back().Text;
  EXPECT_TRUE(text.contains(QStringLiteral("T:\\Data"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QFile::decodeName(fx.Path("drive/Data/Sub/b.bin")))) << text.toStdString();
  EXPECT_TRUE(Exists(fx.Path("drive/Data/Sub/b.bin")));
  EXPECT_TRUE(Exists(fx.Path("outside/keep.txt")));

  // The same through the menu: Failed, never Deleted.
  TMessageAnswers again({mbYes});
  SetShellMenuChooser([](const QList<TShellCommand>&) { return TShellCommand::Delete; });
  EXPECT_EQ(ShowShellContextMenu(nullptr, QPoint(), QStringLiteral("T:\\Data")), TShellMenuResult::Failed);
  SetShellMenuChooser(nullptr);
  EXPECT_EQ(again.Errors(), 1);
}

// Sets an environment variable for the life of the object.
class TEnvScope {
public:
  TEnvScope(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), saved_(qgetenv(name)) {
    qputenv(name, value);
  }
  ~TEnvScope() {
    if (had_) qputenv(name_, saved_);
    else qunsetenv(name_);
  }
  TEnvScope(const TEnvScope&) = delete;
  TEnvScope& operator=(const TEnvScope&) = delete;

private:
  const char* name_;
  bool had_;
  QByteArray saved_;
};

TEST_F(ItemOperations, TrashMovesTheFolderIntoTheTrashWithItsLinksIntact) {
  // The test's trash is its own: the home folder and the data folder lie in the fixture, so the
  // trash is the home trash in the data folder, on the same file system as the drive.
  fx.Dir("home");
  fx.Dir("share");
  TEnvScope home("HOME", fx.Path("home"));
  TEnvScope dataHome("XDG_DATA_HOME", fx.Path("share"));
  TMessageAnswers answers({mbYes});
  EXPECT_EQ(TrashItem(QStringLiteral("T:\\Data")), TFileOpResult::Done);
  EXPECT_EQ(answers.Errors(), 0);
  ASSERT_FALSE(answers.Asked.empty());
  EXPECT_TRUE(answers.Asked[0].Text.contains(QStringLiteral("space comes back only when the trash is emptied")))
      << answers.Asked[0].Text.toStdString();
  EXPECT_FALSE(Exists(fx.Path("drive/Data")));
  EXPECT_TRUE(Exists(fx.Path("share/Trash/files/Data/Sub/b.bin")));
  EXPECT_TRUE(Exists(fx.Path("share/Trash/info/Data.trashinfo")));
  EXPECT_TRUE(Exists(fx.Path("outside/keep.txt")));
}

TEST_F(ItemOperations, MenuOffersRunsAndReportsTheCommands) {
  QList<QUrl> opened;
  SetUrlOpener([&](const QUrl& url) {
    opened.append(url);
    return true;
  });
  QList<TShellCommand> offered;
  TShellCommand choice = TShellCommand::None;
  SetShellMenuChooser([&](const QList<TShellCommand>& enabled) {
    offered = enabled;
    return choice;
  });
  TMessageAnswers answers({mbYes});
  const QString data = QStringLiteral("T:\\Data");

  EXPECT_EQ(ShowShellContextMenu(nullptr, QPoint(), data), TShellMenuResult::Nothing);
  EXPECT_EQ(offered.size(), 6);

  choice = TShellCommand::Open;
  EXPECT_EQ(ShowShellContextMenu(nullptr, QPoint(), data), TShellMenuResult::Opened);
  choice = TShellCommand::OpenContainingFolder;
  EXPECT_EQ(ShowShellContextMenu(nullptr, QPoint(), data), TShellMenuResult::Opened);
  ASSERT_EQ(opened.size(), 2);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(QFile::decodeName(fx.Path("drive/Data"))));
  EXPECT_EQ(opened[1], QUrl::fromLocalFile(QFile::decodeName(fx.Path("drive"))));

  choice = TShellCommand::CopyPath;
  EXPECT_EQ(ShowShellContextMenu(nullptr, QPoint(), QStringLiteral("T:\\Data\\a.txt")), TShellMenuResult::Nothing);
  EXPECT_EQ(QApplication::clipboard()->text(), QFile::decodeName(fx.Path("drive/Data/a.txt")));

  // A drive root: no Trash or Delete; a command not offered is not run.
  choice = TShellCommand::Delete;
  EXPECT_EQ(ShowShellContextMenu(nullptr, QPoint(), QStringLiteral("T:\\")), TShellMenuResult::Nothing);
  EXPECT_FALSE(offered.contains(TShellCommand::Delete));
  EXPECT_FALSE(offered.contains(TShellCommand::MoveToTrash));
  EXPECT_TRUE(offered.contains(TShellCommand::Properties));
  EXPECT_TRUE(Exists(fx.Path("drive/Data")));
  EXPECT_TRUE(answers.Asked.empty());

  EXPECT_EQ(ShowShellContextMenu(nullptr, QPoint(), data), TShellMenuResult::Deleted);
  EXPECT_FALSE(Exists(fx.Path("drive/Data")));

  // Gone now: the menu is not shown, the user is told.
  offered.clear();
  EXPECT_EQ(ShowShellContextMenu(nullptr, QPoint(), data), TShellMenuResult::Failed);
  EXPECT_TRUE(offered.isEmpty());
  EXPECT_EQ(answers.Errors(), 1);

  // A handler that refuses the address is a failure, reported.
  SetUrlOpener([](const QUrl&) { return false; });
  choice = TShellCommand::Open;
  EXPECT_EQ(ShowShellContextMenu(nullptr, QPoint(), QStringLiteral("T:\\")), TShellMenuResult::Failed);
  EXPECT_EQ(answers.Errors(), 2);

  SetShellMenuChooser(nullptr);
  SetUrlOpener(nullptr);
}

}  // namespace
