// The program's end: File > Exit saves the settings once, reports a failure to save once, and the
// tool window that was open stays on for the next start.

#include "config/FormPlacement.h"
#include "config/Options.h"
#include "config/RegHelpers.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/MainForm.h"
#include "ui/main/Startup.h"
#include "ui/main/ToolWindows.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class ExitWidgetTest : public ::testing::Test {
protected:
  ExitWidgetTest() {
    t.File("Data/a.bin", 5000);
    SetMessageAnswerer([this](const TMessageRequest& r) {
      messages << r.Text;
      return int(mbOK);
    });
    SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); });
  }
  ~ExitWidgetTest() override {
    SetMessageAnswerer(nullptr);
    SetModalDialogRunner(nullptr);
  }

  // Starts the program's windows on T:\Data and ends them with File > Exit.
  void RunAndExit(const std::function<void(TMainForm&)>& beforeExit = {}) {
    std::unique_ptr<TMainForm> form = CreateMainWindows({QStringLiteral("T:\\Data")});
    ASSERT_TRUE(form);
    StartMainForm(*form);
    ASSERT_EQ(form->Current().Path(), QStringLiteral("T:\\Data"));
    if (beforeExit) beforeExit(*form);
    Child<QAction>(*form, "cmdFileExit")->trigger();
    QApplication::processEvents();
    // The application's end closes the windows still open (the event loop's quit does it in the
    // program), then the window goes.
    if (auto* box = form->findChild<TSectionSizeBox*>(); box && box->isVisible()) box->close();
    form.reset();
  }

  TRegistryScope registry;
  TFixtureTree t;
  TDriveScope drives{{{'T', t.Root()}}};
  QStringList messages;
};

TEST_F(ExitWidgetTest, AnOpenToolWindowStaysOnForTheNextStart) {
  int left = 0;
  RunAndExit([&left](TMainForm& form) {
    ASSERT_TRUE(Child<TSectionSizeBox>(form)->isVisible());
    Child<TSectionSizeBox>(form)->move(300, 200);
    left = Child<TSectionSizeBox>(form)->geometry().x();
  });
  EXPECT_TRUE(RegReadBool(RegistryKeyPath, DesktopSection, QStringLiteral("PieSectionSizeWindow"), false))
      << "the program's end is not the user closing the window";
  EXPECT_EQ(RegReadInt(RegistryKeyPath, PopUpBoxSection, PlacementLeft, 0), left) << "saved once, at the end";
  EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
  RunAndExit([](TMainForm& form) {
    EXPECT_TRUE(Child<QAction>(form, "cmdViewPieSectionSizeWindow")->isChecked());
    EXPECT_TRUE(Child<TSectionSizeBox>(form)->isVisible());
  });
}

TEST_F(ExitWidgetTest, SettingsThatCannotBeSavedAreReportedOnceAndTheProgramEndsNormally) {
  RunAndExit([this](TMainForm&) {
    // A folder where the hive should be: no write can replace it, not even root's.
    ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(registry.HivePath())));
  });
  ASSERT_EQ(messages.size(), 1) << messages.join(QLatin1Char('\n')).toStdString();
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("The settings could not be saved"))) << messages[0].toStdString();
  EXPECT_TRUE(QFileInfo(QString::fromLocal8Bit(registry.HivePath())).isDir()) << "nothing was put in its place";
}

}  // namespace
