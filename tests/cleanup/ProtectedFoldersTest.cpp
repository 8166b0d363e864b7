// The delete, trash and move operations themselves (as the window runs them) refuse the
// protected folders however the path reaches them.
#include "cleanup/DeleteOperation.h"
#include "cleanup/MoveOperation.h"
#include "cleanup/ProtectedFolders.h"
#include "cleanup/Trash.h"

#include "tests/cleanup/CleanupFixture.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

namespace {

// Sets an environment variable for the lifetime of the object.
class TEnvScope {
public:
  TEnvScope(const char* name, const QByteArray& value) : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    qputenv(name, value);
  }
  ~TEnvScope() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }

private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

TEST(ProtectedFolders, DeleteTrashAndMoveRefuseThemByWhatTheyAreNotHowTheyAreSpelt) {
  TFixtureTree fx;
  fx.Dir("realhome/docs");
  fx.Dir("drive/sub");
  fx.Dir("data/share/Trash/files");
  fx.Dir("d2");
  fx.Dir("free/inner");
  fx.Symlink(fx.Path("realhome"), "homelink");
  fx.Symlink(fx.Path("."), "d2/up");
  TEnvScope home("HOME", fx.Path("homelink"));
  TEnvScope data("XDG_DATA_HOME", fx.Path("data/share"));
  TDriveScope drives({{'T', fx.Path("drive")}});

  const struct {
    QByteArray path;
    const char* kind;
  } cases[] = {
      {fx.Path("realhome"), "the home folder"},
      {fx.Path("d2/up/realhome"), "the home folder"},
      {fx.Path("drive"), "the root of drive T:"},
      {fx.Path("d2/up/drive"), "the root of drive T:"},
      {fx.Path("data/share/Trash"), "the trash"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.constData());
    EXPECT_EQ(ProtectedFolderKind(c.path), QString::fromLatin1(c.kind));
    const auto before = Snapshot(fx.Root());
    TOpContext context;
    const TOpResult deleted = DeleteEntries({c.path}, context);
    EXPECT_EQ(deleted.status, TOpStatus::Failed);
    ASSERT_EQ(deleted.failures.size(), 1u);
    EXPECT_TRUE(deleted.failures[0].reason.contains(QString::fromLatin1(c.kind))) << deleted.failures[0].reason.toStdString();
    const TOpResult trashed = TrashEntries({c.path}, context);
    EXPECT_EQ(trashed.status, TOpStatus::Failed);
    EXPECT_TRUE(CheckMove(c.path, fx.Path("elsewhere")).contains(QString::fromLatin1(c.kind)));
    EXPECT_EQ(MoveFolderContents(c.path, fx.Path("elsewhere"), context).status, TOpStatus::Failed);
    EXPECT_EQ(Snapshot(fx.Root()), before);
  }

  // Folders beside them are no such thing, whichever way they are reached.
  EXPECT_TRUE(ProtectedFolderKind(fx.Path("free")).isEmpty());
  TOpContext context;
  EXPECT_EQ(DeleteEntries({fx.Path("d2/up/free")}, context).status, TOpStatus::Done);
  EXPECT_FALSE(Exists(fx.Path("free")));
  EXPECT_EQ(TrashEntries({fx.Path("drive/sub")}, context).status, TOpStatus::Done);
  EXPECT_FALSE(Exists(fx.Path("drive/sub")));
}

}  // namespace
