// The hover panel's events and the dialog placement arithmetic.
#include "ui/controls/CenterOverForm.h"
#include "ui/controls/SensitivePanel.h"

#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QMainWindow>
#include <QScreen>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SensitivePanel, EnterAndLeaveFireTheirEventsWithPanelAndEvent) {
  TSensitivePanel panel;
  std::vector<std::pair<char, QEvent*>> seen;
  QObject::connect(&panel, &TSensitivePanel::SensitiveActivate, [&](TSensitivePanel* p, QEvent* e) {
    EXPECT_EQ(p, &panel);
    seen.emplace_back('A', e);
  });
  QObject::connect(&panel, &TSensitivePanel::SensitiveDeactivate, [&](TSensitivePanel* p, QEvent* e) {
    EXPECT_EQ(p, &panel);
    seen.emplace_back('D', e);
  });

  QEnterEvent enter(QPointF(3, 4), QPointF(3, 4), QPointF(3, 4));
  QApplication::sendEvent(&panel, &enter);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&panel, &leave);
  QEvent other(QEvent::MouseTrackingChange);
  QApplication::sendEvent(&panel, &other);

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, 'A');
  EXPECT_EQ(seen[0].second, &enter);
  EXPECT_EQ(seen[1].first, 'D');
  EXPECT_EQ(seen[1].second, &leave);
}

TEST(CenterOverForm, ArithmeticOnAScreenOf1920By1080) {
  const QSize screen(1920, 1080);
  struct TCase {
    const char* What;
    QRect Owner;
    QSize Dialog;
    QPoint Expected;
  };
  const TCase cases[] = {
      {"centred over the owner", {100, 100, 800, 600}, {400, 300}, {300, 250}},
      {"odd halves truncate toward zero", {100, 100, 301, 201}, {400, 300}, {51, 51}},
      {"owner partly off the right edge: centred over its visible part", {1500, 100, 800, 600}, {300, 200}, {1560, 300}},
      {"visible part narrower than the dialog: kept on the screen", {1800, 100, 800, 600}, {300, 200}, {1620, 300}},
      {"owner off the top left: clamped to 0", {-500, -50, 800, 600}, {900, 300}, {0, 100}},
      {"owner below the bottom edge", {100, 900, 800, 600}, {400, 300}, {300, 780}},
      {"dialog larger than the screen: negative position", {0, 0, 1920, 1080}, {2000, 1200}, {-80, -120}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(CenterOverForm(c.Owner, c.Dialog, screen), c.Expected);
  }
  // A second screen to the right of the first: the same rules relative to its corner.
  EXPECT_EQ(CenterOverForm(QRect(3420, 100, 800, 600), QSize(300, 200), QRect(1920, 0, 1920, 1080)),
            QPoint(3480, 300));
}

TEST(CenterOverForm, MovesTheDialogOverTheVisiblePartOfItsOwner) {
  QMainWindow owner;
  QScreen* screen = owner.screen();
  ASSERT_NE(screen, nullptr);
  const QRect avail = screen->availableGeometry();
  // The owner hangs 300 pixels off the right edge.
  // Half the screen's height, so that the dialog (and the frame it will have) fits below at any
  // scale.
  owner.setGeometry(avail.x() + avail.width() - 300, avail.y() + 20, 600, avail.height() / 2);
  QDialog dialog(&owner);
  dialog.resize(200, 100);
  CenterOverForm(&owner, &dialog);
  const QRect frame = owner.frameGeometry();
  const int visible = avail.x() + avail.width() - frame.left();
  EXPECT_EQ(dialog.frameGeometry().topLeft(),
            QPoint(frame.left() + (visible - dialog.frameGeometry().width()) / 2,
                   frame.top() + (frame.height() - dialog.frameGeometry().height()) / 2));
}

// A laid-out dialog nobody sized is placed at the size it will show at, and brought down to the
// available area (with room for its frame) when its size hint is taller or wider than that.
TEST(CenterOverForm, ALaidOutDialogTakesItsHintAndFitsTheAvailableArea) {
  QMainWindow owner;
  QScreen* screen = owner.screen();
  ASSERT_NE(screen, nullptr);
  const QRect avail = screen->availableGeometry();
  owner.setGeometry(avail.x() + 20, avail.y() + avail.height() - 150, 400, 120);

  struct TCase {
    const char* What;
    QSize Hint;
  };
  const TCase cases[] = {
      {"smaller than the area: its hint, wholly on the area", {300, 260}},
      {"taller than the area: fitted", {300, avail.height() * 2}},
      {"wider and taller: fitted both ways", {avail.width() * 2, avail.height() * 2}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    QDialog dialog(&owner);
    auto* layout = new QVBoxLayout(&dialog);
    auto* body = new QWidget(&dialog);
    body->setMinimumSize(100, 80);
    layout->addWidget(body);
    // A widget's size hint cannot be set directly: a spacer item carries it.
    layout->addSpacerItem(new QSpacerItem(c.Hint.width(), c.Hint.height(), QSizePolicy::Ignored, QSizePolicy::Ignored));
    CenterOverForm(&owner, &dialog);
    const QRect g = dialog.geometry();
    EXPECT_TRUE(avail.contains(g)) << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
    EXPECT_GE(g.width(), 100);
    EXPECT_GE(g.height(), 80);
    if (c.Hint.height() < avail.height() / 2) {
      EXPECT_EQ(g.size(), dialog.sizeHint());
    } else {
      EXPECT_LT(g.height(), avail.height());
    }
  }
}

}  // namespace
