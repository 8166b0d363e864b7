// The menu commands the main window hands to other parts: the tree bar chart (Ctrl+T) and the
// folder it opens, the about box, and the File menu's reports items.

#include "charts/ui/BarChartBox.h"
#include "config/AtomicFile.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
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
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data\\Other"));

  // With no folder's figures to show (the not-ready page), Ctrl+T opens nothing.
  env.dialogs.clear();
  form.Current().SetNode(nullptr);
  QTest::keyClick(&form, Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(env.dialogs.empty());
}

TEST(MenuCommands, AboutAndTheReportItemsAreThere) {
  TMenuEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  Child<QAction>(form, "cmdHelpAbout")->trigger();
  ASSERT_EQ(env.dialogs.size(), 1u);
  EXPECT_EQ(env.dialogs[0], QStringLiteral("TAboutBox"));
  // Folder Information, Subfolder List and What Changed (the scan history's comparison).
  EXPECT_EQ(Child<QMenu>(form, "cmdFileReports")->actions().size(), 3);
  EXPECT_EQ(Child<QMenu>(form, "cmdFilePrint")->actions().size(), 3);
  for (QAction* a : {Child<QAction>(form, "cmdFileReportFolderInformation"), Child<QAction>(form, "cmdFileReportFolderContents"),
                     Child<QAction>(form, "cmdFilePrintFolderInformation"), Child<QAction>(form, "cmdFilePrintSubfolderlist"), Child<QAction>(form, "cmdFilePieAsMetafile"),
                     Child<QAction>(form, "cmdFilePieAsBitmap"), Child<QAction>(form, "cmdFilePieToFile")})
    EXPECT_FALSE(a->statusTip().isEmpty()) << a->text().toStdString();
}

TEST(MenuCommands, ReportAndPrintDialogsAreAnsweredAndTheQuestionIsAboutTheFileWritten) {
  TMenuEnv env;
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  ShowFolderOnPage(form, QStringLiteral("T:\\Data"), 0);
  const QString chosen = QString::fromLocal8Bit(env.t.Path("list"));
  const QString written = chosen + QStringLiteral(".txt");
  int replaceQuestions = 0;
  SetMessageAnswerer([&](const TMessageRequest& r) {
    if (r.Buttons & mbYes) {
      ++replaceQuestions;
      EXPECT_TRUE(r.Text.startsWith(QStringLiteral("list.txt already exists."))) << r.Text.toStdString();
      return int(mbNo);
    }
    return int(mbOK);
  });
  // The tab-separated filter: a name without extension gets ".txt".
  QStringList openedIn;
  env.onDialog = [&](QDialog& d) {
    auto& dialog = dynamic_cast<QFileDialog&>(d);
    openedIn << dialog.directory().absolutePath();
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    dialog.selectFile(chosen);
  };
  SetModalDialogRunner([&](QDialog& d) {
    env.onDialog(d);
    return int(QDialog::Accepted);
  });
  Child<QAction>(form, "cmdFileReportFolderContents")->trigger();
  const QByteArray first = ReadWholeFile(QFile::encodeName(written)).value_or(QByteArray());
  ASSERT_TRUE(first.startsWith("-> Name\t")) << first.left(40).toStdString();
  EXPECT_FALSE(QFileInfo::exists(chosen));
  // Again on the same name: asked about list.txt, answered No, the file stays as it was.
  {
    QFile keep(written);
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly | QIODevice::Truncate));
    keep.write("keep");
  }
  Child<QAction>(form, "cmdFileReportFolderContents")->trigger();
  EXPECT_EQ(replaceQuestions, 1);
  // The first dialog opens at the folder shown, the next one where the last file went.
  ASSERT_EQ(openedIn.size(), 2);
  EXPECT_EQ(openedIn[0], QFileInfo(QString::fromLocal8Bit(env.t.Path("Data"))).absoluteFilePath());
  EXPECT_EQ(openedIn[1], QFileInfo(chosen).absolutePath());
  EXPECT_EQ(ReadWholeFile(QFile::encodeName(written)).value_or(QByteArray()), QByteArray("keep"));

  // The print dialog goes through the same runner: printing to a PDF file.
  const QString pdf = QString::fromLocal8Bit(env.t.Path("list.pdf"));
  env.onDialog = [&](QDialog& d) {
    auto& dialog = dynamic_cast<QPrintDialog&>(d);
    dialog.printer()->setOutputFormat(QPrinter::PdfFormat);
    dialog.printer()->setOutputFileName(pdf);
  };
  Child<QAction>(form, "cmdFilePrintSubfolderlist")->trigger();
  EXPECT_TRUE(ReadWholeFile(QFile::encodeName(pdf)).value_or(QByteArray()).startsWith("%PDF"));
  // Cancelled: nothing printed.
  QFile::remove(pdf);
  SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); });
  Child<QAction>(form, "cmdFilePrintSubfolderlist")->trigger();
  EXPECT_FALSE(QFileInfo::exists(pdf));
  SetMessageAnswerer(nullptr);
}

}  // namespace
