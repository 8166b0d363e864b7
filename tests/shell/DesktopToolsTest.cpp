// Desktop tools for the Tools menu: Exec lines split as the desktop entry format says, entries
// that are not shown, the System-category list with its precedence and order, and the search tool.
#include "shell/core/DesktopTools.h"

#include "tests/support/Fixture.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QString NothingFound(const QString&) { return {}; }
QString FoundInBin(const QString& name) { return QStringLiteral("/bin/") + name; }

void WriteEntry(TFixtureTree& tree, const QByteArray& rel, const QByteArray& text) {
  QFile file(QString::fromLocal8Bit(tree.Path(rel)));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
}

}  // namespace

TEST(DesktopTools, ExecLinesSplit) {
  struct TCase {
    const char* Exec;
    std::optional<QStringList> Arguments;
  } cases[] = {
      {"gparted %f", QStringList{"gparted"}},
      {"\"/opt/my tool/run\" --x %U", QStringList{"/opt/my tool/run", "--x"}},
      {"tool \"a \\\"quoted\\\" \\$word\"", QStringList{"tool", "a \"quoted\" $word"}},
      {"tool --file=%f 100%%", QStringList{"tool", "--file=", "100%"}},
      {"  tool   -a  ", QStringList{"tool", "-a"}},
      {"tool \"\"", QStringList{"tool", ""}},
      {"tool \"unclosed", std::nullopt},
  };
  for (const TCase& c : cases) EXPECT_EQ(SplitExecLine(QString::fromUtf8(c.Exec)), c.Arguments) << c.Exec;
}

TEST(DesktopTools, EntriesNotShownAreLeftOut) {
  struct TCase {
    const char* What;
    const char* Text;
    bool Shown;
  } cases[] = {
      {"plain", "[Desktop Entry]\nType=Application\nName=Disks\nExec=disks\nCategories=GTK;System;\n", true},
      {"no display", "[Desktop Entry]\nType=Application\nName=D\nExec=d\nNoDisplay=true\n", false},
      {"hidden", "[Desktop Entry]\nType=Application\nName=D\nExec=d\nHidden=true\n", false},
      {"link", "[Desktop Entry]\nType=Link\nName=D\nURL=https://example.org\n", false},
      {"no exec", "[Desktop Entry]\nType=Application\nName=D\n", false},
      {"try exec missing", "[Desktop Entry]\nType=Application\nName=D\nExec=d\nTryExec=not-installed\n", false},
      {"keys of an action", "[Desktop Entry]\nType=Application\nName=D\n[Desktop Action new]\nExec=d --new\n", false},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(ParseDesktopEntry(c.Text, QStringLiteral("x.desktop"), NothingFound).has_value(), c.Shown) << c.What;
  const std::optional<TDesktopApp> app = ParseDesktopEntry(
      "[Desktop Entry]\nName=Disk\\sUsage\nType=Application\nExec=tool %F\nTryExec=tool\n", QStringLiteral("t.desktop"), FoundInBin);
  ASSERT_TRUE(app);
  EXPECT_EQ(app->Name, QStringLiteral("Disk Usage"));
  EXPECT_EQ(app->Command, QStringList{QStringLiteral("tool")});
}

TEST(DesktopTools, SystemToolsComeFromTheFirstFolderSortedByName) {
  TFixtureTree home, system;
  home.Dir("applications");
  system.Dir("applications");
  system.Dir("applications/kde");
  WriteEntry(system, "applications/zeta.desktop", "[Desktop Entry]\nType=Application\nName=zeta\nExec=z\nCategories=System;\n");
  WriteEntry(system, "applications/kde/alpha.desktop", "[Desktop Entry]\nType=Application\nName=Alpha\nExec=a\nCategories=System;Monitor;\n");
  WriteEntry(system, "applications/game.desktop", "[Desktop Entry]\nType=Application\nName=Game\nExec=g\nCategories=Game;\n");
  WriteEntry(system, "applications/mid.desktop", "[Desktop Entry]\nType=Application\nName=Mid\nExec=m\nCategories=System;\n");
  // The user's own copy hides the system's one.
  WriteEntry(home, "applications/mid.desktop", "[Desktop Entry]\nType=Application\nName=Mid\nExec=m\nNoDisplay=true\n");
  WriteEntry(system, "applications/org.morvell.Korvane.desktop", "[Desktop Entry]\nType=Application\nName=Korvane\nExec=korvane\nCategories=System;\n");

  const std::vector<TDesktopApp> apps =
      SystemToolEntries({QString::fromLocal8Bit(home.Root()), QString::fromLocal8Bit(system.Root())}, NothingFound);
  QStringList names;
  for (const TDesktopApp& app : apps) names << app.Name;
  EXPECT_EQ(names, (QStringList{"Alpha", "zeta"}));
  ASSERT_FALSE(apps.empty());
  EXPECT_EQ(apps[0].Id, QStringLiteral("kde-alpha.desktop"));
}

TEST(DesktopTools, SearchToolGetsTheFolder) {
  const std::optional<TSearchTool> none = FindSearchTool(QStringLiteral("/data/my files"), NothingFound);
  EXPECT_FALSE(none);
  const auto onlyKfind = [](const QString& name) { return name == QLatin1String("kfind") ? QStringLiteral("/usr/bin/kfind") : QString(); };
  const std::optional<TSearchTool> kfind = FindSearchTool(QStringLiteral("/data/my files"), onlyKfind);
  ASSERT_TRUE(kfind);
  EXPECT_EQ(kfind->Program, QStringLiteral("/usr/bin/kfind"));
  EXPECT_EQ(kfind->Arguments, QStringList{QStringLiteral("/data/my files")});
  const std::optional<TSearchTool> first = FindSearchTool(QStringLiteral("/d"), FoundInBin);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->Arguments, QStringList{QStringLiteral("--path=/d")});
}
