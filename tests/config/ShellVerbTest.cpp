// The folder verb: both keys in the classes-root hive with the specified values, the desktop
// entry in $XDG_DATA_HOME/applications (a valid Exec line for awkward program paths), removal of
// everything when unchecked, and mimeapps.list left alone.
#include "config/ShellVerb.h"

#include "config/AtomicFile.h"
#include "config/Registry.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

// Points XDG_DATA_HOME at a temporary folder for the life of the object.
class TDataHomeScope {
public:
  TDataHomeScope() : wasSet_(qEnvironmentVariableIsSet("XDG_DATA_HOME")), saved_(qgetenv("XDG_DATA_HOME")) {
    qputenv("XDG_DATA_HOME", tree_.Root());
  }
  ~TDataHomeScope() {
    if (wasSet_)
      qputenv("XDG_DATA_HOME", saved_);
    else
      qunsetenv("XDG_DATA_HOME");
  }
  TFixtureTree& Tree() { return tree_; }

private:
  TFixtureTree tree_;
  bool wasSet_;
  QByteArray saved_;
};

std::optional<QString> DefaultValue(const QString& key) {
  TRegistry classes(TRegRoot::ClassesRoot);
  const std::optional<TRegValue> value = classes.ReadValue(key, QString());
  if (!value) return std::nullopt;
  return value->AsText();
}

}  // namespace

TEST(ShellVerb, RegisterWritesBothKeysAndTheDesktopEntry) {
  TRegistryScope registry;
  TDataHomeScope data;
  const QString program = QStringLiteral("/opt/My Apps/korvane");
  EXPECT_EQ(ShellVerbRegistered(), false);
  RegisterShellVerb(program);
  EXPECT_EQ(ShellVerbRegistered(), true);
  EXPECT_EQ(DefaultValue(ShellVerbKey), QStringLiteral("Analyze with Korvane"));
  EXPECT_EQ(DefaultValue(ShellVerbCommandKey), QStringLiteral("\"/opt/My Apps/korvane\" \"%1\""));

  EXPECT_EQ(ShellVerbDesktopPath(), data.Tree().Path("applications/korvane-open-folder.desktop"));
  const std::optional<QByteArray> entry = ReadWholeFile(ShellVerbDesktopPath());
  ASSERT_TRUE(entry);
  EXPECT_TRUE(entry->contains("\nMimeType=inode/directory;\n"));
  EXPECT_TRUE(entry->contains("\nExec=\"/opt/My Apps/korvane\" %f\n"));
  EXPECT_TRUE(entry->startsWith("[Desktop Entry]\n"));

  // Checking the box again with another program path rewrites the command.
  RegisterShellVerb(QStringLiteral("/usr/bin/korvane"));
  EXPECT_EQ(DefaultValue(ShellVerbCommandKey), QStringLiteral("\"/usr/bin/korvane\" \"%1\""));
  EXPECT_TRUE(ReadWholeFile(ShellVerbDesktopPath())->contains("\nExec=/usr/bin/korvane %f\n"));
}

TEST(ShellVerb, ExecLineEscapesReservedCharacters) {
  struct TCase {
    const char* Program;
    const char* Exec;
  } cases[] = {
      {"/usr/bin/korvane", "Exec=/usr/bin/korvane %f"},
      {"/a b/k", "Exec=\"/a b/k\" %f"},
      {"/a\"b/k", "Exec=\"/a\\\\\"b/k\" %f"},        // quote: \" inside quotes, backslash doubled for the file
      {"/a$b/k", "Exec=\"/a\\\\$b/k\" %f"},
      {"/a\\b/k", "Exec=\"/a\\\\\\\\b/k\" %f"},
      {"/100%/k", "Exec=/100%%/k %f"},
  };
  for (const TCase& c : cases) {
    const QByteArray entry = ShellVerbDesktopEntry(QString::fromUtf8(c.Program));
    EXPECT_TRUE(entry.contains(QByteArray("\n") + c.Exec + "\n")) << c.Program << "\n" << entry.constData();
  }
}

TEST(ShellVerb, UnregisterRemovesEverythingAndLeavesMimeAppsAlone) {
  TRegistryScope registry;
  TDataHomeScope data;
  data.Tree().Dir("applications");
  const QByteArray mimeApps = "[Default Applications]\ninode/directory=org.example.Files.desktop\n";
  QString error;
  ASSERT_TRUE(WriteFileAtomically(data.Tree().Path("applications/mimeapps.list"), mimeApps, 0644, &error));

  RegisterShellVerb(QStringLiteral("/usr/bin/korvane"));
  UnregisterShellVerb();
  EXPECT_EQ(ShellVerbRegistered(), false);
  TRegistry classes(TRegRoot::ClassesRoot);
  EXPECT_FALSE(classes.KeyExists(ShellVerbCommandKey));
  EXPECT_FALSE(classes.KeyExists(ShellVerbKey));
  EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(ShellVerbDesktopPath())));
  EXPECT_EQ(ReadWholeFile(data.Tree().Path("applications/mimeapps.list")), mimeApps);
  // Removing what is not there is no error.
  UnregisterShellVerb();
}

TEST(ShellVerb, UnwritableRegistryGivesTheSpecifiedError) {
  TRegistryScope registry;
  TDataHomeScope data;
  // A file where the hive's folder should be makes every write fail.
  TFixtureTree blocker;
  blocker.File("not-a-folder", 1);
  qputenv("KORVANE_REGISTRY_DIR", blocker.Path("not-a-folder"));
  try {
    RegisterShellVerb(QStringLiteral("/usr/bin/korvane"));
    FAIL() << "no error";
  } catch (const EShellVerbError& e) {
    EXPECT_EQ(e.Message(), QStringLiteral("Error creating system registry entry"));
  }
  EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(ShellVerbDesktopPath())));
}
