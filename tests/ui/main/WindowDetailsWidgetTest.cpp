// Details of the main window's dialogs and tool windows: the Scan Drives list, Map Network
// Drive's labels, where the Scan Drives dialog appears, the tool windows' buttons, the status line
// after a scan, an empty path on the command line, and the window's shortcuts beside text fields.

#include "config/Options.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "shell/MessageBoxes.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/controls/CenterOverForm.h"
#include "ui/main/DrivesSelectBox.h"
#include "ui/main/MainForm.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/SubfoldersPage.h"
#include "ui/main/ToolWindows.h"
#include "ui/main/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

class WindowDetailsWidget : public ::testing::Test {
protected:
  WindowDetailsWidget() {
    t.File("Data/a.bin", 5000);
    SetMessageAnswerer([this](const TMessageRequest& r) {
      messages << r.Text;
      return (r.Buttons & mbCancel) ? int(mbCancel) : int(mbOK);
    });
    SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); });
  }
  ~WindowDetailsWidget() override {
    SetMessageAnswerer(nullptr);
    SetModalDialogRunner(nullptr);
  }

  // A key press as the keyboard gives it: the window's shortcuts get their chance first.
  static void PressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &release);
  }

  TRegistryScope registry;
  TFixtureTree c;
  TFixtureTree t;
  TDriveScope drives{{{'C', c.Root()}, {'T', t.Root()}}};
  QStringList messages;
};

TEST_F(WindowDetailsWidget, ScanDrivesListsNamesAndScansByLetter) {
  TDrivesSelectBox box(nullptr);
  ASSERT_EQ(box.TheDrivesBox->count(), 2);
  EXPECT_EQ(box.TheDrivesBox->item(0)->text(), DriveDisplayName(QStringLiteral("C:\\"))) << "no letter glued in front";
  EXPECT_EQ(box.TheDrivesBox->item(1)->text(), DriveDisplayName(QStringLiteral("T:\\")));
  box.TheDrivesBox->SetChecked(QLatin1Char('t'), true);
  EXPECT_EQ(box.TheDrivesBox->CheckedLetters(), QStringLiteral("T"));
  EXPECT_EQ(box.CheckedTexts(), QStringList{QStringLiteral("T") + DriveDisplayName(QStringLiteral("T:\\"))});
  box.TheDrivesBox->CheckAll(true);
  EXPECT_EQ(box.TheDrivesBox->CheckedLetters(), QStringLiteral("CT"));
}

TEST_F(WindowDetailsWidget, MapNetworkDriveLabelsNameTheirFields) {
  TMapDriveBox box(nullptr);
  for (const QLabel* label : box.findChildren<QLabel*>()) {
    SCOPED_TRACE(label->text().toStdString());
    if (label->text().contains(QLatin1Char('&'))) {
      EXPECT_NE(label->buddy(), nullptr) << "else the & shows as it is";
    }
  }
  const auto labels = box.findChildren<QLabel*>();
  const auto folder = std::find_if(labels.begin(), labels.end(),
                                   [](const QLabel* l) { return l->text() == QStringLiteral("&Folder:"); });
  ASSERT_NE(folder, labels.end());
  EXPECT_EQ((*folder)->buddy(), box.ediFolder);
}

TEST_F(WindowDetailsWidget, ScanDrivesDialogIsCentredOverTheWindowWhereItIsWhenShown) {
  QWidget owner;
  owner.setGeometry(20, 30, 300, 200);
  owner.show();
  TDrivesSelectBox box(&owner);
  // The window manager places the main window after the dialog was made.
  owner.move(120, 90);
  QApplication::processEvents();
  box.show();
  QApplication::processEvents();
  const QRect screen = owner.screen()->availableGeometry();
  EXPECT_EQ(box.pos(), CenterOverForm(owner.frameGeometry(), box.frameGeometry().size(), screen));
  box.hide();
}

TEST_F(WindowDetailsWidget, ToolWindowsHaveOnlyAClose) {
  QWidget owner;
  TSectionSizeBox section(&owner);
  TBarChartBox bars(&owner);
  for (const QWidget* w : {static_cast<QWidget*>(&section), static_cast<QWidget*>(&bars)}) {
    SCOPED_TRACE(w->objectName().toStdString());
    const Qt::WindowFlags flags = w->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint) << "without it the desktop adds its own buttons";
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  }
}

TEST_F(WindowDetailsWidget, TheStopButtonsHintGoesWhenTheScanEnds) {
  TMainForm form({QStringLiteral("T:\\Data")});
  StartMainForm(form);
  form.SetScanning(true);
  // The mouse over the Stop button shows its hint over the status line.
  QStatusTipEvent tip(QStringLiteral("Abort the scanning process"));
  QApplication::sendEvent(&form, &tip);
  ASSERT_EQ(form.statusBar()->currentMessage(), QStringLiteral("Abort the scanning process"));
  form.ScanCommands().Abort();
  form.SetScanning(false);
  EXPECT_TRUE(form.statusBar()->currentMessage().isEmpty());
  form.SelectNode(form.Nodes().Top(0));
  EXPECT_TRUE(form.statusBar()->currentMessage().isEmpty());
  EXPECT_TRUE(Child<QLabel>(form, "StatusPanel0")->text().endsWith(QStringLiteral("T:\\"))) << "the status line shows the selection again";
}

TEST_F(WindowDetailsWidget, AnEmptyPathOnTheCommandLineIsNamedAsSuch) {
  TMainForm form({QString(), QStringLiteral("T:\\Data")});
  StartMainForm(form);
  ASSERT_FALSE(messages.isEmpty());
  EXPECT_EQ(messages[0], QStringLiteral("An empty path was given: it names no folder or drive."));
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\Data")) << "the next argument is still opened";
}

TEST_F(WindowDetailsWidget, CtrlCAndCtrlAInATextFieldActOnTheText) {
  TMainForm form({QStringLiteral("T:\\Data")});
  form.CreateToolWindows();
  StartMainForm(form);
  form.activateWindow();
  ShowFolderOnPage(form, QStringLiteral("T:\\"), 2);
  TSubfoldersPage& page = *Child<TSubfoldersPage>(form);
  page.cbFoldersDisplayType->setCurrentIndex(TSubfoldersPage::dtLargerThan);
  page.udFoldersLargerThan->setValue(123);
  page.udFoldersLargerThan->setFocus();
  QApplication::processEvents();
  const bool windowOn = form.Settings()->PieSectionSizeWindow;
  form.SetScanning(true);  // Abort is enabled only while a scan runs

  PressKey(page.ediFoldersLargerThan, Qt::Key_A, Qt::ControlModifier);
  EXPECT_FALSE(form.Session().Aborted()) << "Ctrl+A selected the text";
  EXPECT_EQ(page.ediFoldersLargerThan->selectedText(), QStringLiteral("123"));
  PressKey(page.ediFoldersLargerThan, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(form.Settings()->PieSectionSizeWindow, windowOn) << "Ctrl+C copied the text";

  // Elsewhere they are the window's commands.
  Child<QTreeView>(form, "FolderTree")->setFocus();
  QApplication::processEvents();
  PressKey(Child<QTreeView>(form, "FolderTree"), Qt::Key_A, Qt::ControlModifier);
  EXPECT_TRUE(form.Session().Aborted());
  form.SetScanning(false);
}

}  // namespace

// A first start opens at two thirds of the available area, centred. The tree's share of the
// splitter, set by moving the handle, is kept as the window grows and across starts.
TEST_F(WindowDetailsWidget, FirstStartSizeAndTheTreesShareKeptAcrossResizesAndStarts) {
  int treeWidth = 0;
  {
    TMainForm form;
    StartMainForm(form);
    QScreen* screen = form.screen();
    ASSERT_NE(screen, nullptr);
    const QRect avail = screen->availableGeometry();
    const QRect first = FirstStartGeometry(avail, form.minimumSizeHint());
    if (form.minimumSize().width() <= avail.width() && form.minimumSize().height() <= avail.height()) {
      EXPECT_EQ(form.geometry(), first);
    }
    if (form.minimumSizeHint().width() <= avail.width() * 2 / 3 && form.minimumSizeHint().height() <= avail.height() * 2 / 3) {
      EXPECT_NEAR(form.width(), avail.width() * 2 / 3, 1);
      EXPECT_NEAR(form.height(), avail.height() * 2 / 3, 1);
    }

    if (form.minimumSizeHint().width() > first.width() - 100)
      GTEST_SKIP() << "the screen (" << avail.width() << " pixels at this scale) leaves the splitter no room to share";
    auto* splitter = Child<QSplitter>(form, "MainSplitter");
    const int width = splitter->sizes()[0] + splitter->sizes()[1];
    EXPECT_NEAR(splitter->sizes()[0], width * DefaultTreeShare / 1000, 1) << "a first start gives the tree its default share";
    // Half the width, as far as the pages' minimum width lets the tree have it.
    splitter->setSizes({width / 2, width - width / 2});
    const QList<int> moved = splitter->sizes();
    ASSERT_GT(moved[0], width * DefaultTreeShare / 1000 + 10);
    emit splitter->splitterMoved(moved[0], 1);  // as a drag of the handle ends
    const double share = double(moved[0]) / (moved[0] + moved[1]);
    form.resize(form.width() + 300, form.height());
    QApplication::processEvents();
    const QList<int> grown = splitter->sizes();
    EXPECT_NEAR(grown[0], share * (grown[0] + grown[1]), 2) << "the tree keeps its share of a wider window";
    EXPECT_GT(grown[0], moved[0] + 60);
    treeWidth = grown[0];
    form.close();
  }
  TMainForm again;
  StartMainForm(again);
  auto* splitter = Child<QSplitter>(again, "MainSplitter");
  EXPECT_NEAR(splitter->sizes()[0], treeWidth, 2) << "the stored size and share come back";
}
