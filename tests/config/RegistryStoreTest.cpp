// The hive files: where they are, that writes are atomic and merge with other writers, and that a
// broken file is kept aside instead of being overwritten.

#include "config/AtomicFile.h"
#include "config/RegIniFile.h"
#include "config/Registry.h"
#include "config/RegHelpers.h"
#include "config/RegistryStore.h"
#include "config/SettingsWarnings.h"
#include "tests/config/FifoWatch.h"
#include "tests/config/RegistryScope.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Key = QStringLiteral("Software\\Morvell\\Korvane 3\\Options");

std::string Str(const QString& s) { return s.toStdString(); }

QString Read(const QString& name, TRegRoot root = TRegRoot::CurrentUser) {
  const std::optional<TRegValue> v = TRegistry(root).ReadValue(Key, name);
  return v && v->AsText() ? *v->AsText() : QStringLiteral("<none>");
}

void Write(const QString& name, const QString& value) {
  TRegistry reg;
  reg.WriteValue(Key, name, TRegValue::FromString(value));
  reg.Close();
}

// Restores an environment variable at the end of a test.
class TEnvScope {
public:
  explicit TEnvScope(const char* name) : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), saved_(qgetenv(name)) {}
  ~TEnvScope() {
    if (wasSet_)
      qputenv(name_, saved_);
    else
      qunsetenv(name_);
  }

private:
  const char* name_;
  bool wasSet_;
  QByteArray saved_;
};

TEST(RegistryStore, FolderAndFileNames) {
  const TEnvScope own("KORVANE_REGISTRY_DIR"), xdg("XDG_CONFIG_HOME"), home("HOME");
  qputenv("HOME", "/home/someone");
  qunsetenv("KORVANE_REGISTRY_DIR");
  qunsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(RegistryFolder(), "/home/someone/.config/korvane");
  qputenv("XDG_CONFIG_HOME", "relative/is/ignored");
  EXPECT_EQ(RegistryFolder(), "/home/someone/.config/korvane");
  qputenv("XDG_CONFIG_HOME", "/xdg");
  EXPECT_EQ(RegistryFolder(), "/xdg/korvane");
  qputenv("KORVANE_REGISTRY_DIR", "/tests/registry");
  EXPECT_EQ(RegistryFolder(), "/tests/registry");
  EXPECT_EQ(HivePath(TRegRoot::CurrentUser), "/tests/registry/current-user.reg");
  EXPECT_EQ(HivePath(TRegRoot::ClassesRoot), "/tests/registry/classes-root.reg");
}

TEST(RegistryStore, EachRootHasItsOwnFileAndReadingWritesNothing) {
  const TRegistryScope scope;
  {
    TRegistry reg;
    EXPECT_FALSE(reg.ReadValue(Key, "A").has_value());
    EXPECT_FALSE(reg.KeyExists(Key));
  }
  EXPECT_TRUE(scope.Entries().isEmpty()) << Str(scope.Entries().join(' '));

  Write("A", "user");
  {
    TRegistry classes(TRegRoot::ClassesRoot);
    classes.WriteValue("Folder\\shell\\Korvane 3\\Command", "", TRegValue::FromString("korvane %1"));
    classes.Close();
  }
  EXPECT_EQ(Read("A"), "user");
  EXPECT_EQ(Read("A", TRegRoot::ClassesRoot), "<none>");
  const QByteArray classesText = scope.HiveText(TRegRoot::ClassesRoot).value_or("");
  EXPECT_TRUE(classesText.contains("[HKEY_CLASSES_ROOT\\Folder\\shell\\Korvane 3\\Command]\n@=\"korvane %1\"\n"))
      << classesText.toStdString();
  EXPECT_TRUE(scope.HiveText()->contains("[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Options]\n\"A\"=\"user\"\n"));

  struct stat st {};
  ASSERT_EQ(::stat(scope.HivePath().constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "settings are private to the user";
}

TEST(RegistryStore, AnAccessorWritesTheFileOnceWhenClosed) {
  const TRegistryScope scope;
  int writes = 0;
  SetAtomicWriteTestHook([&](const QByteArray&) {
    ++writes;
    return true;
  });
  {
    TRegIniFile regIni(QStringLiteral("Software\\Morvell\\Korvane 3"));
    for (int i = 0; i < 20; ++i) regIni.WriteInteger("Options", QStringLiteral("V%1").arg(i), i);
    regIni.DeleteKey("Options", "V3");
    regIni.EraseSection("Gone");
    EXPECT_EQ(regIni.ReadInteger("Options", "V7", -1), 7) << "reads see the accessor's own writes";
    EXPECT_FALSE(scope.HiveText().has_value()) << "nothing is written before closing";
    regIni.Close();
  }
  EXPECT_EQ(writes, 1);
  const TRegIniFile check(QStringLiteral("Software\\Morvell\\Korvane 3"));
  EXPECT_EQ(check.ReadSection("Options").size(), 19);
  EXPECT_EQ(check.ReadInteger("Options", "V19", -1), 19);

  // Writing what is already there does not touch the file.
  {
    TRegIniFile regIni(QStringLiteral("Software\\Morvell\\Korvane 3"));
    regIni.WriteInteger("Options", "V1", 1);
    regIni.Close();
  }
  EXPECT_EQ(writes, 1);

  // An accessor that is not closed explicitly still writes when it goes.
  {
    TRegistry reg;
    reg.WriteValue(Key, "Late", TRegValue::FromString("yes"));
  }
  EXPECT_EQ(Read("Late"), "yes");
}

TEST(RegistryStore, AFailedWriteLeavesTheOldHiveWhole) {
  const TRegistryScope scope;
  {
    TRegistry reg;
    for (int i = 0; i < 50; ++i) reg.WriteValue(Key, QStringLiteral("Old%1").arg(i), TRegValue::FromString(QString(40, QChar('o'))));
    reg.Close();
  }
  const QByteArray before = *scope.HiveText();

  bool halfWritten = false;
  SetAtomicWriteTestHook([&](const QByteArray& path) {
    halfWritten = path.endsWith("current-user.reg");
    return false;  // the disk fails after half of the new hive is in the temporary file
  });
  TRegistry reg;
  reg.WriteValue(Key, "New", TRegValue::FromString("new"));
  reg.DeleteKey(QStringLiteral("Software\\Morvell"));
  EXPECT_THROW(reg.Close(), ERegistryException);
  SetAtomicWriteTestHook({});

  EXPECT_TRUE(halfWritten);
  EXPECT_EQ(*scope.HiveText(), before);
  EXPECT_EQ(Read("Old49"), QString(40, QChar('o')));
  EXPECT_EQ(Read("New"), "<none>");
  EXPECT_EQ(scope.Entries(), QStringList({"current-user.reg", "current-user.reg.lock"})) << "no temporary file stays";
}

TEST(RegistryStore, AProcessKilledWhileWritingLeavesTheOldHive) {
  const TRegistryScope scope;
  Write("Kept", "old");
  const QByteArray before = *scope.HiveText();

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SetAtomicWriteTestHook([](const QByteArray&) -> bool { ::_exit(0); });
    TRegistry reg;
    for (int i = 0; i < 200; ++i) reg.WriteValue(Key, QStringLiteral("Child%1").arg(i), TRegValue::FromString("x"));
    try {
      reg.Close();
    } catch (...) {
    }
    ::_exit(1);  // not reached: the hook ends the process in the middle of the write
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(*scope.HiveText(), before);
  EXPECT_EQ(Read("Kept"), "old");
  EXPECT_EQ(scope.Entries().size(), 3) << "the crashed write left its temporary file: " << Str(scope.Entries().join(' '));

  // The next write cleans up after the crash.
  Write("After", "crash");
  EXPECT_EQ(scope.Entries(), QStringList({"current-user.reg", "current-user.reg.lock"}));
  EXPECT_EQ(Read("Kept"), "old");
  EXPECT_EQ(Read("After"), "crash");
}

TEST(RegistryStore, TwoAccessorsWritingInTurnKeepEachOthersChanges) {
  const TRegistryScope scope;
  Write("Shared", "start");
  Write("DeletedByB", "x");
  TRegistry a, b;  // both opened on the same hive
  a.WriteValue(Key, "FromA", TRegValue::FromString("a"));
  a.WriteValue(QStringLiteral("Software\\Morvell\\Korvane 3\\Desktop"), "OnlyA", TRegValue::FromString("1"));
  b.WriteValue(Key, "FromB", TRegValue::FromString("b"));
  b.DeleteValue(Key, "DeletedByB");
  a.Close();
  b.Close();

  EXPECT_EQ(Read("Shared"), "start");
  EXPECT_EQ(Read("FromA"), "a");
  EXPECT_EQ(Read("FromB"), "b");
  EXPECT_EQ(Read("DeletedByB"), "<none>");
  EXPECT_TRUE(TRegistry().ValueExists(QStringLiteral("Software\\Morvell\\Korvane 3\\Desktop"), "OnlyA"));
}

TEST(RegistryStore, TwoProcessesWritingAtOnceKeepEachOthersValues) {
  const TRegistryScope scope;
  constexpr int Count = 40;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int failures = 0;
    for (int i = 0; i < Count; ++i) {
      try {
        TRegistry reg;
        reg.WriteValue(Key, QStringLiteral("Child%1").arg(i), TRegValue::FromDWord(static_cast<uint32_t>(i)));
        reg.Close();
      } catch (...) {
        ++failures;
      }
    }
    ::_exit(failures == 0 ? 0 : 1);
  }
  for (int i = 0; i < Count; ++i) {
    TRegistry reg;
    reg.WriteValue(Key, QStringLiteral("Parent%1").arg(i), TRegValue::FromDWord(static_cast<uint32_t>(i)));
    reg.Close();
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const TRegistry reg;
  for (int i = 0; i < Count; ++i) {
    EXPECT_EQ(reg.ReadValue(Key, QStringLiteral("Child%1").arg(i)).value_or(TRegValue()).AsDWord(), static_cast<uint32_t>(i));
    EXPECT_EQ(reg.ReadValue(Key, QStringLiteral("Parent%1").arg(i)).value_or(TRegValue()).AsDWord(), static_cast<uint32_t>(i));
  }
}

TEST(RegistryStore, ABrokenHiveIsKeptAsideAndTheDefaultsApply) {
  const TRegistryScope scope;
  const QByteArray broken = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Options]\n\"ShowFileNames\"=\"0\n";
  scope.WriteHive(broken);

  EXPECT_EQ(TRegIniFile(QStringLiteral("Software\\Morvell\\Korvane 3")).ReadBool("Options", "ShowFileNames", true), true);
  QStringList entries = scope.Entries();
  ASSERT_EQ(entries.size(), 2) << Str(entries.join(' '));
  EXPECT_TRUE(entries[0].startsWith("current-user.reg.corrupt-")) << Str(entries[0]);
  EXPECT_EQ(ReadWholeFile(scope.Path(entries[0].toLocal8Bit())), broken);

  // The next save starts a new hive beside the broken one.
  Write("ShowFileNames", "1");
  entries = scope.Entries();
  EXPECT_EQ(entries.size(), 3) << Str(entries.join(' '));
  EXPECT_EQ(Read("ShowFileNames"), "1");

  // A second broken file on the same second gets a name of its own.
  scope.WriteHive("garbage");
  Write("X", "1");
  scope.WriteHive("more garbage");
  (void)TRegistry();
  int aside = 0;
  for (const QString& e : scope.Entries()) aside += e.startsWith("current-user.reg.corrupt-");
  EXPECT_EQ(aside, 3) << Str(scope.Entries().join(' '));
}

TEST(RegistryStore, AHiveThatCannotBeReadIsNeitherReplacedNorSetAside) {
  const TRegistryScope scope;
  ASSERT_EQ(::mkdir(scope.HivePath().constData(), 0700), 0);  // reading it fails, and not as "missing"
  EXPECT_EQ(Read("A"), "<none>");
  TRegistry reg;
  reg.WriteValue(Key, "A", TRegValue::FromString("1"));
  EXPECT_NO_THROW(reg.Close());  // nothing is written, and a warning says so
  struct stat st {};
  ASSERT_EQ(::stat(scope.HivePath().constData(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(RegistryStore, AHiveThatIsNoRegularFileIsNeverOpenedAndLeftAloneWithOneWarningEach) {
  enum class TKind { Fifo, LinkToFifo, Device };
  struct Case {
    const char* What;
    TKind Kind;
  };
  const Case cases[] = {
      {"a FIFO", TKind::Fifo},
      {"a link to a FIFO", TKind::LinkToFifo},
      {"a character device", TKind::Device},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const TRegistryScope scope;
    const QByteArray hive = scope.HivePath();
    const QByteArray fifo = c.Kind == TKind::LinkToFifo ? scope.Path("elsewhere.fifo") : hive;
    if (c.Kind == TKind::Device) {
      // The numbers of /dev/null: reading it gives an empty file, so that only the type shows.
      if (::mknod(hive.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
        std::printf("[  SKIPPED ] %s: a device node cannot be made here (needs root)\n", c.What);
        continue;
      }
    } else {
      ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
      if (c.Kind == TKind::LinkToFifo) {
        ASSERT_EQ(::symlink(fifo.constData(), hive.constData()), 0);
      }
    }
    struct stat before {};
    ASSERT_EQ(::lstat(hive.constData(), &before), 0);
    const QStringList entries = scope.Entries();
    const qsizetype warned = SettingsWarnings().size();
    {
      const std::unique_ptr<TFifoWatch> watch(c.Kind == TKind::Device ? nullptr : new TFifoWatch(fifo));
      EXPECT_EQ(Read("ShowFileNames"), "<none>");
      EXPECT_EQ(RegReadInt(QStringLiteral("Software\\Morvell\\Korvane 3"), "Options", "ZIPCompressionLevel", 9), 9);
      EXPECT_NO_THROW(Write("ShowFileNames", "0"));
      EXPECT_NO_THROW(RegWriteInt(QStringLiteral("Software\\Morvell\\Korvane 3"), "Options", "ZIPCompressionLevel", 5));
      if (watch) {
        EXPECT_FALSE(watch->Opened());
      }
    }
    struct stat after {};
    ASSERT_EQ(::lstat(hive.constData(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(scope.Entries(), entries);

    const QStringList warnings = SettingsWarnings().mid(warned);
    ASSERT_EQ(warnings.size(), 2) << Str(warnings.join('\n'));
    EXPECT_TRUE(warnings[0].contains(QString::fromLocal8Bit(hive)) && warnings[0].contains("not a regular file"))
        << Str(warnings[0]);
    EXPECT_TRUE(warnings[1].contains("not saved")) << Str(warnings[1]);
  }
}

TEST(RegistryStore, AHandEditedHiveIsReadAndAHiveLinkStaysALink) {
  const TRegistryScope scope;
  const QByteArray dotfile = scope.Path("dotfiles-current-user.reg");
  ASSERT_TRUE(WriteFileAtomically(dotfile,
                                  "Windows Registry Editor Version 5.00\r\n\r\n"
                                  "; edited by hand\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Options]\r\n"
                                  "\"ZIPCompressionLevel\"=\"5\"\r\n",
                                  0600));
  ASSERT_EQ(::symlink(dotfile.constData(), scope.HivePath().constData()), 0);
  EXPECT_EQ(Read("ZIPCompressionLevel"), "5");
  Write("ShowFileNames", "0");

  struct stat st {};
  ASSERT_EQ(::lstat(scope.HivePath().constData(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_TRUE(ReadWholeFile(dotfile)->contains("\"ShowFileNames\"=\"0\""));
  EXPECT_EQ(Read("ZIPCompressionLevel"), "5");
}

TEST(RegistryStore, AHiveLinkStaysALinkAndItsTargetIsReplacedWhole) {
  // As dotfile managers set it up: the hive is a link, absolute or relative, perhaps through a
  // second link, to a file in a folder of their own.
  struct Case {
    const char* What;
    QByteArray Link;  // what the hive link holds; "@" stands for the fixture folder
    QByteArray Via;   // a second link in the chain, or empty
  };
  const Case cases[] = {
      {"an absolute link", "@/dotfiles/korvane.reg", ""},
      {"a relative link", "dotfiles/korvane.reg", ""},
      {"a chain of two links", "@/dotfiles/link.reg", "korvane.reg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const TRegistryScope scope;
    const QByteArray dotfiles = scope.Path("dotfiles");
    const QByteArray target = dotfiles + "/korvane.reg";
    ASSERT_EQ(::mkdir(dotfiles.constData(), 0700), 0);
    ASSERT_TRUE(WriteFileAtomically(target,
                                    "Windows Registry Editor Version 5.00\n\n"
                                    "[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Options]\n"
                                    "\"ZIPCompressionLevel\"=\"5\"\n",
                                    0600));
    ASSERT_EQ(::chmod(target.constData(), 0640), 0);
    if (!c.Via.isEmpty()) {
      ASSERT_EQ(::symlink(c.Via.constData(), (dotfiles + "/link.reg").constData()), 0);
    }
    const QByteArray link = QByteArray(c.Link).replace("@", scope.Folder());
    ASSERT_EQ(::symlink(link.constData(), scope.HivePath().constData()), 0);
    struct stat before {};
    ASSERT_EQ(::stat(target.constData(), &before), 0);

    Write("ShowFileNames", "0");

    char held[PATH_MAX] = {};
    ASSERT_GT(::readlink(scope.HivePath().constData(), held, sizeof held - 1), 0);
    EXPECT_EQ(QByteArray(held), link);
    struct stat after {};
    ASSERT_EQ(::lstat(target.constData(), &after), 0);
    EXPECT_TRUE(S_ISREG(after.st_mode));
    EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed into place, not rewritten
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    const QByteArray text = ReadWholeFile(target).value_or("<unreadable>");
    EXPECT_TRUE(text.contains("\"ShowFileNames\"=\"0\"")) << text.constData();
    EXPECT_TRUE(text.contains("\"ZIPCompressionLevel\"=\"5\"")) << text.constData();
    EXPECT_EQ(scope.Entries(), (QStringList{"current-user.reg", "current-user.reg.lock", "dotfiles"}));
    QDir folder(QString::fromLocal8Bit(dotfiles));
    const QStringList inDotfiles = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(inDotfiles, (c.Via.isEmpty() ? QStringList{"korvane.reg"} : QStringList{"korvane.reg", "link.reg"}));
  }
}

TEST(RegistryStore, KeyPathsTheStoreCannotHoldAreRefused) {
  const TRegistryScope scope;
  TRegistry reg;
  EXPECT_THROW(reg.WriteValue("Software\\\\Morvell", "a", TRegValue::FromString("1")), ERegistryException);
  EXPECT_THROW(reg.CreateKey("Line\nBreak"), ERegistryException);
  EXPECT_THROW(reg.DeleteKey(""), ERegistryException);
  reg.Close();
  EXPECT_THROW(reg.WriteValue(Key, "a", TRegValue::FromString("1")), ERegistryException);
  EXPECT_FALSE(scope.HiveText().has_value());
}

}  // namespace
