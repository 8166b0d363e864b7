// The About box: the build line from the version information, the placeholder texts through the
// test seam, F2 and Close between the pages, and the licence shown in a window of ours.
#include "shell/AboutBox.h"
#include "shell/Help.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStackedWidget>

#include <vector>

#include <gtest/gtest.h>

namespace {

// Presses and releases a key on a widget, as the keyboard would.
void KeyClick(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

}  // namespace

TEST(AboutBoxWidget, BuildLineAndPlaceholders) {
  TAboutBox box(nullptr);
  EXPECT_EQ(box.windowTitle(), QStringLiteral("About Korvane"));
  EXPECT_EQ(box.txtProduct->text(), QStringLiteral("Korvane 3.0.1"));
  EXPECT_EQ(box.VersionLabel1->text(), QStringLiteral("Build  3.0.1.") + ProgramBuildNumber());

  SetVersionSourceForTest([] { return TVersionSource{TVersionSource::NoData, {}}; });
  box.VersionLabel1->Refresh();
  EXPECT_EQ(box.VersionLabel1->text(), QStringLiteral("Build  < No Data Available >"));
  box.VersionLabel1->SetShowInfoPrefix(false);
  EXPECT_EQ(box.VersionLabel1->text(), QStringLiteral("< No Data Available >"));
  SetVersionSourceForTest({});
  box.VersionLabel1->SetVersionResource(vrProductName);
  EXPECT_EQ(box.VersionLabel1->text(), QStringLiteral("Korvane"));
}

TEST(AboutBoxWidget, PagesAndLicense) {
  TAboutBox box(nullptr);
  box.show();
  EXPECT_EQ(box.Notebook->currentIndex(), 0);
  KeyClick(&box, Qt::Key_F2);
  EXPECT_EQ(box.Notebook->currentIndex(), 1);
  box.Button1Click();
  EXPECT_EQ(box.Notebook->currentIndex(), 0);

  EXPECT_TRUE(LicenseText().contains(QStringLiteral("MIT License")));
  box.cmdLicenseClick();
  ASSERT_NE(box.LicenseWindow(), nullptr);
  EXPECT_TRUE(box.LicenseWindow()->isVisible());
  EXPECT_EQ(box.LicenseWindow()->txtLicense->toPlainText(), LicenseText());
  EXPECT_TRUE(box.LicenseWindow()->txtLicense->isReadOnly());
  if (qEnvironmentVariableIsSet("KORVANE_GRAB_DIR")) {
    const QString dir = qEnvironmentVariable("KORVANE_GRAB_DIR");
    box.grab().save(dir + QStringLiteral("/about.png"));
    box.LicenseWindow()->grab().save(dir + QStringLiteral("/license.png"));
    KeyClick(&box, Qt::Key_F2);
    box.grab().save(dir + QStringLiteral("/about-credits.png"));
  }
}

// The product name is a link to the help the program carries (there is no web page), never to
// an address of the network.
TEST(AboutBoxWidget, ProductNameOpensTheHelpContents) {
  std::vector<int> requests;
  SetHelpSink([&requests](int context, const QString&) { requests.push_back(context); });
  TAboutBox box(nullptr);
  EXPECT_FALSE(box.txtProduct->toolTip().contains(QStringLiteral("example")));
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(box.txtProduct, &release);
  SetHelpSink(nullptr);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], HelpContext::Contents);
}
