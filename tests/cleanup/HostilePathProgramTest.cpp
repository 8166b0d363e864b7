// korvane-free given hostile paths: names that are not UTF-8, links on the way to a protected
// folder, a HOME that is a link, and ".." after a link. Arguments go to the program as raw bytes.
#include "tests/cleanup/CleanupFixture.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

struct TRawRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

QByteArray ReadAll(const QByteArray& path) {
  QByteArray data;
  const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return data;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) data.append(buffer, n);
  ::close(fd);
  return data;
}

// Runs korvane-free with exactly these argument bytes and these variables on top of ours; its
// output goes through files in scratch.
TRawRun RunFreeRaw(const std::vector<QByteArray>& args, const std::vector<QByteArray>& vars, const QByteArray& scratch) {
  std::vector<std::string> storage{KORVANE_FREE_PROGRAM};
  for (const QByteArray& a : args) storage.emplace_back(a.constData(), static_cast<size_t>(a.size()));
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStorage;
  for (const QByteArray& v : vars) envStorage.emplace_back(v.constData());
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool overridden = false;
    for (const QByteArray& v : vars) overridden = overridden || v.startsWith(QByteArray(name.c_str()));
    if (!overridden) envStorage.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& s : envStorage) envp.push_back(s.data());
  envp.push_back(nullptr);

  const QByteArray outPath = scratch + "/out";
  const QByteArray errPath = scratch + "/err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  TRawRun run;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.out = ReadAll(outPath);
  run.err = ReadAll(errPath);
  return run;
}

class HostilePathProgram : public ::testing::Test {
protected:
  HostilePathProgram() {
    fx.Dir("drive");
    fx.Dir("home/share");
  }
  TRawRun Run(const std::vector<QByteArray>& args, const QByteArray& home = QByteArray()) {
    return RunFreeRaw(args,
                      {"KORVANE_DRIVES=T=" + fx.Path("drive"), "HOME=" + (home.isEmpty() ? fx.Path("home") : home),
                       "XDG_DATA_HOME=" + fx.Path("home/share")},
                      scratch.Root());
  }
  TFixtureTree fx;
  TFixtureTree scratch;  // the program's output, outside the tree compared before and after
};

TEST_F(HostilePathProgram, NamesThatAreNotUtf8ReachExactlyTheEntryGiven) {
  // Each name has a look-alike: what a lossy decoding (every stray byte to U+FFFD) would make of it.
  const struct {
    QByteArray name;
    QByteArray lookAlike;
  } cases[] = {
      {"x\xe9", "x\xef\xbf\xbd"},
      {"bad\xff\xfe", "bad\xef\xbf\xbd\xef\xbf\xbd"},
      {"\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},  // an overlong "/"
      {"s\xed\xa0\x80", "s\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},  // a surrogate in three bytes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.toHex().constData());
    for (const char* verb : {"delete", "trash"}) {
      SCOPED_TRACE(verb);
      const QByteArray target = fx.Path("drive/" + c.name);
      const QByteArray other = fx.Path("drive/" + c.lookAlike);
      WriteFile(target, "given");
      WriteFile(other, "look-alike");
      // delete by host path, trash by drive path.
      const std::vector<QByteArray> args = std::strcmp(verb, "delete") == 0
                                               ? std::vector<QByteArray>{verb, "--yes", target}
                                               : std::vector<QByteArray>{verb, "T:\\" + c.name};
      const TRawRun run = Run(args);
      EXPECT_EQ(run.exitCode, 0) << run.err.constData();
      EXPECT_FALSE(Exists(target));
      EXPECT_TRUE(Exists(other));
      EXPECT_EQ(ReadAll(other), "look-alike");
      ::unlink(other.constData());
    }
  }
  // The trashed entries are in the trash under their own names.
  EXPECT_TRUE(Exists(fx.Path("home/share/Trash/files/bad\xff\xfe")));
  EXPECT_TRUE(Exists(fx.Path("home/share/Trash/files/x\xe9")));
}

TEST_F(HostilePathProgram, ProtectedFoldersAreRecognisedThroughLinksAndAnyHomeSpelling) {
  fx.Dir("fh/home/sub");
  fx.Dir("realhome/kept");
  fx.Dir("d2");
  WriteFile(fx.Path("fh/home/x"), "in the home folder");
  WriteFile(fx.Path("d2/x"), "beside the link");
  WriteFile(fx.Path("drive/f"), "on the drive");
  fx.Symlink(fx.Path("fh"), "d2/L1");
  fx.Symlink(fx.Path("realhome"), "homelink");
  fx.Symlink(fx.Path("fh/home/sub"), "d2/lnksub");
  fx.Symlink(fx.Path("drive"), "d2/drivelink");
  fx.Symlink(fx.Path("home/share/Trash"), "d2/trashlink");
  fx.Dir("home/share/Trash/files");
  const auto before = Snapshot(fx.Root());
  const struct {
    std::vector<QByteArray> args;
    QByteArray home;
  } cases[] = {
      {{"delete", "--yes", fx.Path("d2/L1/home")}, fx.Path("fh/home")},  // home reached through a link
      {{"delete", "--yes", fx.Path("realhome")}, fx.Path("homelink")},   // HOME is a link
      {{"trash", fx.Path("realhome/")}, fx.Path("homelink")},
      {{"delete", "--yes", fx.Path("d2/drivelink")}, {}},  // a link to a drive root
      {{"delete", "--yes", fx.Path("d2/drivelink/")}, {}},
      {{"delete", "--yes", fx.Path("home/share/Trash")}, {}},  // the trash itself
      {{"trash", fx.Path("d2/trashlink/.")}, {}},
      {{"move", fx.Path("d2/L1/home"), fx.Path("elsewhere")}, fx.Path("fh/home")},
      // ".." after a link: the kernel goes up from where the link leads (fh/home), the text
      // from d2; neither d2/x nor fh/home/x may go.
      {{"delete", "--yes", fx.Path("d2/lnksub/../x")}, {}},
      {{"trash", fx.Path("d2/lnksub/../x")}, {}},
      {{"delete", "--yes", "T:\\missing\\..\\f"}, {}},
      {{"delete", "--yes", fx.Path("d2/x/../x")}, {}},  // ".." after a file
  };
  for (const auto& c : cases) {
    QByteArray shown;
    for (const QByteArray& a : c.args) shown += a + ' ';
    SCOPED_TRACE(shown.constData());
    const TRawRun run = Run(c.args, c.home);
    EXPECT_EQ(run.exitCode, 2) << run.out.constData() << run.err.constData();
    EXPECT_FALSE(run.err.isEmpty());
  }
  EXPECT_EQ(Snapshot(fx.Root()), before);

  // A ".." after a real folder is still fine.
  const TRawRun run = Run({"delete", "--yes", fx.Path("d2/../d2/x")});
  EXPECT_EQ(run.exitCode, 0) << run.err.constData();
  EXPECT_FALSE(Exists(fx.Path("d2/x")));
  EXPECT_TRUE(Exists(fx.Path("fh/home/x")));
}

}  // namespace
