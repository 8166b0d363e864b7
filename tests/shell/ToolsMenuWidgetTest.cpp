// The Tools menu: fixed items, user items read again at every opening, the separator hidden
// without user items, lines that make no item shown greyed, a command receiving the current
// folder's host path as one argument in its own folder, errors for commands that cannot start,
// and "Customize" creating the commented template before opening it.
#include "shell/ToolsMenu.h"

#include "config/AtomicFile.h"
#include "shell/Launch.h"
#include "shell/core/ToolsFile.h"
#include "tests/config/RegistryScope.h"
#include "tests/shell/MessageAnswers.h"
#include "tests/support/Fixture.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QFile>
#include <QMenu>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

void WriteTools(const QByteArray& text) {
  QString error;
  ASSERT_TRUE(WriteFileAtomically(ToolsFilePath(), text, 0644, &error)) << qPrintable(error);
}

QStringList Captions(const QMenu& menu) {
  QStringList captions;
  for (QAction* action : menu.actions()) captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
  return captions;
}

std::optional<QByteArray> WaitForFile(const QByteArray& path) {
  QDeadlineTimer deadline(10000);
  while (!deadline.hasExpired()) {
    if (const std::optional<QByteArray> bytes = ReadWholeFile(path); bytes && bytes->endsWith("END\n")) return bytes;
    QThread::msleep(20);
  }
  return std::nullopt;
}

}  // namespace

TEST(ToolsMenuWidget, UserItemsFollowTheFile) {
  TRegistryScope registry;
  QMenu menu;
  TToolsMenu tools(&menu, [] { return QString(); }, nullptr);
  const QStringList fixed = {"File &Manager", "&Find Files or Folders...", "&System Tools", "-",
                             "&Customize the Tools menu...", "-"};
  EXPECT_EQ(Captions(menu), fixed);
  EXPECT_FALSE(tools.LT1->isVisible());

  WriteTools("# only comments\n\n#\n");
  tools.mnuToolsClick();
  EXPECT_EQ(Captions(menu), fixed);
  EXPECT_FALSE(tools.LT1->isVisible());

  WriteTools("\"&Disk report\",\"Writes a report\",/bin/true\nsecond,hint,/bin/false\nbroken line\n");
  tools.mnuToolsClick();
  QStringList expected = fixed;
  expected << "&Disk report" << "second" << "TOOLS.INI: Line 3: a caption, a hint and a command are needed: broken line";
  EXPECT_EQ(Captions(menu), expected);
  EXPECT_TRUE(tools.LT1->isVisible());
  EXPECT_EQ(menu.actions()[6]->statusTip(), QStringLiteral("Writes a report"));
  EXPECT_FALSE(menu.actions()[8]->isEnabled());
  EXPECT_EQ(tools.ToolCommands, (QStringList{"/bin/true", "/bin/false"}));

  // The file is read again at every opening: removed entries go.
  WriteTools("second,hint,/bin/false\n");
  emit menu.aboutToShow();
  expected = fixed;
  expected << "second";
  EXPECT_EQ(Captions(menu), expected);
  EXPECT_EQ(tools.ToolCommands, QStringList{"/bin/false"});
}

TEST(ToolsMenuWidget, CommandGetsTheFolderAsOneArgument) {
  TRegistryScope registry;
  TFixtureTree tree;
  tree.Dir("my data");
  TDriveScope drives({{'T', tree.Root()}});
  // A program of the program folder, named without a folder in the file.
  const QByteArray out = tree.Path("out.txt");
  const QByteArray script = "#!/bin/sh\n{ echo \"$#\"; echo \"$1\"; pwd; echo END; } > '" + out + "'\n";
  QString error;
  ASSERT_TRUE(WriteFileAtomically(tree.Path("report-tool"), script, 0755, &error));
  WriteTools("\"&Report\",hint,report-tool\n");

  QMenu menu;
  TToolsMenu tools(&menu, [] { return QStringLiteral("T:\\my data"); }, nullptr);
  tools.ProgramFolder = QString::fromLocal8Bit(tree.Root());
  tools.mnuToolsClick();
  TMessageAnswers answers;
  tools.RunToolCommand(0);
  const std::optional<QByteArray> written = WaitForFile(out);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, "1\n" + tree.Path("my data") + "\n" + tree.Root() + "\nEND\n");
  EXPECT_TRUE(answers.Asked.empty());
}

TEST(ToolsMenuWidget, CommandThatCannotStartIsReported) {
  TRegistryScope registry;
  TFixtureTree tree;
  QString error;
  ASSERT_TRUE(WriteFileAtomically(tree.Path("not-a-program"), "#!/no/such/interpreter\n", 0755, &error));
  WriteTools("a,h,/no/such/program\nb,h,\"" + tree.Path("not-a-program") + "\"\n");
  QMenu menu;
  TToolsMenu tools(&menu, [] { return QString(); }, nullptr);
  tools.mnuToolsClick();
  TMessageAnswers answers;
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    answers.Asked.clear();
    tools.RunToolCommand(i);
    ASSERT_EQ(answers.Asked.size(), 1u);
    EXPECT_TRUE(answers.Asked[0].Text.startsWith(QStringLiteral("Error running the selected option:\r\n")));
    EXPECT_GT(answers.Asked[0].Text.size(), 36);
    EXPECT_EQ(answers.Asked[0].Icon, TMessageIcon::Error);
  }
}

TEST(ToolsMenuWidget, FileManagerAndFindFilesSayWhenNothingCouldOpen) {
  TRegistryScope registry;
  int asked = 0;
  SetUrlOpener([&](const QUrl&) {
    ++asked;
    return false;  // no handler installed for folders
  });
  QMenu menu;
  TToolsMenu tools(&menu, [] { return QString(); }, nullptr);
  TMessageAnswers answers;
  tools.cmdToolsFileManagerClick();
  ASSERT_EQ(answers.Asked.size(), 1u);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(answers.Asked[0].Text.startsWith(QStringLiteral("Error running the selected option:\r\nNo file manager")));
  EXPECT_EQ(answers.Asked[0].Icon, TMessageIcon::Error);
  // Find Files falls back on the file manager when no search tool is installed (as here).
  answers.Asked.clear();
  tools.cmdToolsFindFilesClick();
  if (asked == 2) {
    ASSERT_EQ(answers.Asked.size(), 1u);
    EXPECT_TRUE(answers.Asked[0].Text.contains(QStringLiteral("No search tool or file manager")));
  }
  SetUrlOpener(nullptr);
}

TEST(ToolsMenuWidget, CustomizeCreatesTheTemplateThenOpensIt) {
  TRegistryScope registry;
  QList<QUrl> opened;
  SetUrlOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  QMenu menu;
  TToolsMenu tools(&menu, [] { return QString(); }, nullptr);
  tools.cmdToolsCustomizeClick();
  SetUrlOpener(nullptr);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromLocal8Bit(ToolsFilePath())));
  EXPECT_EQ(ReadWholeFile(ToolsFilePath()), ToolsFileTemplate());
}

TEST(ToolsMenuWidget, TheFileIsReadWhenTheMenuOpensAndABigOneSaysWhatWasLeftOut) {
  TRegistryScope registry;
  QByteArray text;
  for (int i = 0; i < 20000; ++i) text += "\"Tool " + QByteArray::number(i) + "\",hint,/bin/true\n";
  WriteTools(text);
  QMenu menu;
  TToolsMenu tools(&menu, [] { return QString(); }, nullptr);
  // Making the menu (at the window's start) reads nothing.
  EXPECT_EQ(menu.actions().size(), 6);
  EXPECT_TRUE(tools.ToolCommands.isEmpty());
  EXPECT_FALSE(tools.LT1->isVisible());

  emit menu.aboutToShow();
  EXPECT_EQ(tools.ToolCommands.size(), ToolsFileItemCap);
  const QList<QAction*> actions = menu.actions();
  ASSERT_EQ(actions.size(), 6 + ToolsFileItemCap + 1);
  EXPECT_TRUE(actions.last()->text().startsWith(QStringLiteral("TOOLS.INI: Only the first 100 commands")))
      << qPrintable(actions.last()->text());
  EXPECT_FALSE(actions.last()->isEnabled());
}
