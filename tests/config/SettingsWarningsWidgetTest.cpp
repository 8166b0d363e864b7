// The window program tells the user once, after its start, when the settings could not be read,
// instead of silently running on the defaults.

#include "config/Settings.h"
#include "config/SettingsWarnings.h"
#include "shell/MessageBoxes.h"
#include "tests/config/FifoWatch.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/MainForm.h"

#include <QDialog>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <vector>

namespace {

TEST(SettingsWarningsWidget, AHiveThatCannotBeReadIsShownOnceAfterTheStart) {
  const TRegistryScope registry;
  TFixtureTree c;
  const TDriveScope drives({{'C', c.Root()}});
  const QByteArray hive = registry.HivePath();
  ASSERT_EQ(::mkfifo(hive.constData(), 0600), 0);
  (void)TakeSettingsWarningMessage();  // what earlier tests in this process left

  std::vector<TMessageRequest> messages;
  SetMessageAnswerer([&](const TMessageRequest& r) {
    messages.push_back(r);
    return int(mbOK);
  });
  SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); });
  {
    const TFifoWatch watch(hive);
    TMainForm form;
    StartMainForm(form);
    EXPECT_TRUE(form.StartupDone());
    EXPECT_FALSE(watch.Opened());
    // The program's end without the window closing (as when the session ends).
    form.FormDestroy();
  }
  SetMessageAnswerer(nullptr);
  SetModalDialogRunner(nullptr);

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Icon, TMessageIcon::Warning);
  EXPECT_EQ(messages[0].Buttons, mbOK);
  EXPECT_TRUE(messages[0].Text.contains(QString::fromLocal8Bit(hive) + QStringLiteral(" is not a regular file")))
      << messages[0].Text.toStdString();
  struct stat st {};
  ASSERT_EQ(::lstat(hive.constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the window's settings were not saved over it at the end";
  EXPECT_TRUE(SettingsWarnings().last().contains("not saved"));
}

}  // namespace
