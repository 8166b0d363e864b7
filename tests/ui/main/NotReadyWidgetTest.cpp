// The main window's not-ready page and its help: the memo that hands the focus on and follows its
// half of the panel, the Help Topics command and the menus' help contexts.

#include "shell/Help.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

// A form over one fixture drive that nobody scans: the first-start dialog is declined, so the
// pages stay in the not-ready state. Help requests are caught instead of opening a window.
class TNotReadyEnv {
public:
  TNotReadyEnv() : drives({{'C', c.Root()}}) {
    c.Dir("Users");
    SetHelpSink([this](int context, const QString& topic) { help.push_back({context, topic}); });
  }
  ~TNotReadyEnv() {
    SetHelpSink(nullptr);
  }

  struct TRequest {
    int Context;
    QString Topic;
  };

  TAnsweredDialogs answered;
  TRegistryScope registry;
  TFixtureTree c;
  TDriveScope drives;
  std::vector<TRequest> help;
};

void WaitUntil(const std::function<bool()>& done) {
  QDeadlineTimer deadline(5000);
  while (!done() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

TEST(NotReadyWidget, MemoFollowsTheRightHalfOfThePanel) {
  TNotReadyEnv env;
  TMainForm form;
  StartMainForm(form);
  ASSERT_TRUE(form.NotReady());
  ASSERT_EQ(Child<QTabWidget>(form, "ThePages")->currentWidget(), Child<QWidget>(form, "pageNotScanned"));

  // Narrow windows give a memo narrower than 200; wide ones stop it at 200.
  const QSize sizes[] = {{420, 300}, {545, 376}, {1200, 800}, {700, 260}};
  bool sawNarrow = false;
  bool sawCapped = false;
  for (const QSize& size : sizes) {
    SCOPED_TRACE(size.width());
    form.resize(size);
    QApplication::processEvents();
    const QWidget* right = Child<QWidget>(form, "panNotReadyRight");
    ASSERT_EQ(Child<QPlainTextEdit>(form, "txtNotReady")->parentWidget(), right);
    // The right half really is the right half of the panel.
    EXPECT_GE(right->x(), Child<QWidget>(form, "panNotReady")->width() / 2 - right->width() / 4);
    EXPECT_EQ(right->x() + right->width(), Child<QWidget>(form, "panNotReady")->width());
    const int width = std::min(right->width() - 4, 200);
    EXPECT_EQ(Child<QPlainTextEdit>(form, "txtNotReady")->width(), width);
    EXPECT_EQ(Child<QPlainTextEdit>(form, "txtNotReady")->y(), TMainForm::NotReadyTextTop);
    EXPECT_EQ(Child<QPlainTextEdit>(form, "txtNotReady")->height(), right->height() - TMainForm::NotReadyTextTop - 4);
    sawNarrow = sawNarrow || width < 200;
    sawCapped = sawCapped || right->width() - 4 > 200;
    EXPECT_TRUE(Child<QPlainTextEdit>(form, "txtNotReady")->toPlainText().startsWith(QStringLiteral("No drives have been scanned.")));
  }
  EXPECT_TRUE(sawNarrow);
  EXPECT_TRUE(sawCapped);
}

TEST(NotReadyWidget, MemoHandsTheFocusToItsPage) {
  TNotReadyEnv env;
  TMainForm form;
  StartMainForm(form);
  ASSERT_TRUE(form.NotReady());
  form.activateWindow();
  WaitUntil([&] { return QApplication::activeWindow() == &form; });
  ASSERT_EQ(QApplication::activeWindow(), &form);

  Child<QTreeView>(form, "FolderTree")->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(Child<QTreeView>(form, "FolderTree")->hasFocus());
  Child<QPlainTextEdit>(form, "txtNotReady")->setFocus(Qt::MouseFocusReason);
  QApplication::processEvents();
  EXPECT_FALSE(Child<QPlainTextEdit>(form, "txtNotReady")->hasFocus());
  EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>(form, "pageNotScanned"));

  // Tab never stops on the memo.
  EXPECT_FALSE(Child<QPlainTextEdit>(form, "txtNotReady")->focusPolicy() & Qt::TabFocus);
}

TEST(MainFormHelpWidget, HelpTopicsAsksForTheContents) {
  TNotReadyEnv env;
  TMainForm form;
  StartMainForm(form);
  ASSERT_NE(Child<QAction>(form, "cmdHelpTopics"), nullptr);
  EXPECT_EQ(Child<QAction>(form, "cmdHelpTopics")->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_TRUE(Child<QMenu>(form, "mnuHelp")->actions().contains(Child<QAction>(form, "cmdHelpTopics")));
  Child<QAction>(form, "cmdHelpTopics")->trigger();
  ASSERT_EQ(env.help.size(), 1u);
  EXPECT_EQ(env.help[0].Context, HelpContext::Contents);
  EXPECT_EQ(env.help[0].Topic, HelpContentsTopic());
}

TEST(MainFormHelpWidget, F1InAnOpenMenuShowsThatMenusTopic) {
  TNotReadyEnv env;
  TMainForm form;
  StartMainForm(form);
  struct TCase {
    QMenu* Menu;
    int Context;
  };
  // The File menu's Rescan submenu belongs to the File menu's topic.
  const TCase cases[] = {{Child<QMenu>(form, "mnuFile"), 4001},
                         {Child<QMenu>(form, "mnuView"), 4010},
                         {Child<QMenu>(form, "mnuTools"), 4020},
                         {Child<QMenu>(form, "mnuHelp"), 4030},
                         {Child<QMenu>(form, "cmdFileRescan"), 4001}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Context);
    EXPECT_EQ(c.Menu->property(HelpContextProperty).toInt(), c.Context);
    c.Menu->popup(form.mapToGlobal(QPoint(10, 10)));
    WaitUntil([&] { return c.Menu->isVisible(); });
    ASSERT_TRUE(c.Menu->isVisible());
    env.help.clear();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(c.Menu, &press);
    QApplication::processEvents();
    ASSERT_EQ(env.help.size(), 1u);
    EXPECT_EQ(env.help[0].Context, c.Context);
    EXPECT_EQ(env.help[0].Topic, HelpTopicFor(c.Context));
    EXPECT_NE(env.help[0].Topic, HelpContentsTopic());
    EXPECT_FALSE(c.Menu->isVisible());
  }
}
