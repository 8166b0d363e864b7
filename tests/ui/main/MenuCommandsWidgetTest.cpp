// The menu commands the main window hands to other parts: the tree bar chart (Ctrl+T) and the
// folder it opens, the about box, and the File menu's reports items.

#include "charts/ui/BarChartBox.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class TMenuEnv {
public:
  TMenuEnv() {
    t.File("Data/Sub/one.bin", 10000);
    t.File("Data/Other/two.bin", 7000);
    drives = std::make_unique<TDriveScope>(std::vector<TDriveMapping>{{'T', t.Root()}});
    SetMessageAnswerer([](const TMessageRequest& r) { return (r.Buttons & mbCancel) ? int(mbCancel) : int(mbOK); });
    SetModalDialogRunner([this](QDialog& d) {
      dialogs.push_back(QString::fromLatin1(d.metaObject()->className()));
      if (onDialog) onDialog(d);
      return int(QDialog::Rejected);
    });
  }
  ~TMenuEnv() {
    SetMessageAnswerer(nullptr);
    SetModalDialogRunner(nullptr);
  }
  TRegistryScope registry;
  TFixtureTree t;
  std::unique_ptr<TDriveScope> drives;
  std::vector<QString> dialogs;
  std::function<void(QDialog&)> onDialog;
};

TEST(MenuCommands, CtrlTOpensTheBarChartOfTheCurrentFolderAndGoesWhereItChose) {
  TMenuEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  ShowFolderOnPage(form, QStringLiteral("T:\\Data"), 0);
  QApplication::setActiveWindow(&form);
  form.activateWindow();
  QApplication::processEvents();
  env.onDialog = [](QDialog& d) {
    auto& box = static_cast<TBarChartBox&>(d);
    EXPECT_EQ(box.ChartRoot->Text(), QStringLiteral("Data"));
    box.ChosenPath = QStringLiteral("T:\\Data\\Other");
  };
  QTest::keyClick(&form, Qt::Key_T, Qt::ControlModifier);
  ASSERT_EQ(env.dialogs.size(), 1u);
  EXPECT_EQ(env.dialogs[0], QStringLiteral("TBarChartBox"));
  EXPECT_EQ(form.CurrentPath, QStringLiteral("T:\\Data\\Other"));

  // With no folder's figures to show (the not-ready page), Ctrl+T opens nothing.
  env.dialogs.clear();
  form.CurrentNode = nullptr;
  QTest::keyClick(&form, Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(env.dialogs.empty());
}

TEST(MenuCommands, AboutAndTheReportItemsAreThere) {
  TMenuEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  form.cmdHelpAbout->trigger();
  ASSERT_EQ(env.dialogs.size(), 1u);
  EXPECT_EQ(env.dialogs[0], QStringLiteral("TAboutBox"));
  EXPECT_EQ(form.cmdFileReports->actions().size(), 2);
  EXPECT_EQ(form.cmdFilePrint->actions().size(), 2);
  for (QAction* a : {form.cmdFileReportFolderInformation, form.cmdFileReportFolderContents,
                     form.cmdFilePrintFolderInformation, form.cmdFilePrintSubfolderlist, form.cmdFilePieAsMetafile,
                     form.cmdFilePieAsBitmap, form.cmdFilePieToFile})
    EXPECT_FALSE(a->statusTip().isEmpty()) << a->text().toStdString();
}

}  // namespace
