// The toolbar's drive box: the list built from the drive table, Drive and the SetDrive rules with
// the change event, and the user's pick.
#include "ui/controls/DriveComboBox.h"

#include "scan/VolumeInfo.h"
#include "tests/support/Fixture.h"

#include <QAbstractItemView>
#include <QImage>
#include <QPainter>
#include <QStyleOptionViewItem>

#include <gtest/gtest.h>

namespace {

// Drives C, D and T on fixture folders, given out of order.
struct DriveComboFixture : ::testing::Test {
  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Path("t")}, {'C', fx.Path("c")}, {'D', fx.Path("d")}}};
  DriveComboFixture() {
    fx.Dir("c");
    fx.Dir("d");
    fx.Dir("t");
  }
};

struct TChangeCounter {
  int Count = 0;
  explicit TChangeCounter(TShExDriveComboBox& box) {
    QObject::connect(&box, &TShExDriveComboBox::Change, [this] { ++Count; });
  }
};

TEST_F(DriveComboFixture, ListsEveryDriveInLetterOrderWithNothingSelected) {
  TShExDriveComboBox box;
  ASSERT_EQ(box.count(), 3);
  const QString letters = QStringLiteral("CDT");
  for (int i = 0; i < 3; ++i) {
    const QString text = box.itemText(i);
    EXPECT_EQ(text.at(0), letters.at(i));
    // The letter is the key; the rest is the drive's display name, which ends in "(X:)".
    EXPECT_EQ(text.mid(1), DriveDisplayName(QString(letters.at(i)) + QStringLiteral(":\\")));
    EXPECT_TRUE(text.endsWith(QStringLiteral(" (") + letters.at(i) + QStringLiteral(":)"))) << text.toStdString();
    EXPECT_FALSE(box.itemIcon(i).isNull());
  }
  EXPECT_EQ(box.currentIndex(), -1);
  EXPECT_TRUE(box.Drive().isNull());
  EXPECT_GE(box.ItemHeight(), box.IconSize());
  EXPECT_GE(box.ItemHeight(), box.fontMetrics().height());
}

TEST_F(DriveComboFixture, SetDriveSelectsAndFiresChangeByTheRules) {
  struct TCase {
    const char* What;
    char Start;     // selected before (0: nothing)
    char16_t Letter;
    char Expected;  // selected after
    int Changes;
  };
  const TCase cases[] = {
      {"lower-case letter selects its drive", 0, u'd', 'D', 1},
      {"upper-case letter selects its drive", 'C', u'T', 'T', 1},
      {"same drive, other case: nothing", 'C', u'c', 'C', 0},
      {"same drive: nothing", 'D', u'D', 'D', 0},
      {"unknown letter keeps the selection but fires", 'C', u'X', 'C', 1},
      {"unknown letter with nothing selected", 0, u'x', 0, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TShExDriveComboBox box;
    if (c.Start) box.SetDrive(QChar(c.Start));
    ASSERT_EQ(box.Drive(), QChar(c.Start ? c.Start : 0));
    TChangeCounter changes(box);
    box.SetDrive(QChar(c.Letter));
    EXPECT_EQ(box.Drive(), QChar(c.Expected ? c.Expected : 0));
    EXPECT_EQ(changes.Count, c.Changes);
  }
}

TEST_F(DriveComboFixture, UserPickFiresChangeOnceAndRebuildKeepsTheSelectionQuietly) {
  TShExDriveComboBox box;
  TChangeCounter changes(box);
  // What the list does when the user clicks an item.
  box.setCurrentIndex(1);
  emit box.activated(1);
  EXPECT_EQ(box.Drive(), QChar('D'));
  EXPECT_EQ(changes.Count, 1);

  box.RebuildDrives();
  EXPECT_EQ(box.count(), 3);
  EXPECT_EQ(box.Drive(), QChar('D'));
  EXPECT_EQ(changes.Count, 1);

  {
    // D vanishes from the table: nothing is selected after the rebuild.
    TDriveScope fewer{{{'C', fx.Path("c")}, {'T', fx.Path("t")}}};
    box.RebuildDrives();
    EXPECT_EQ(box.count(), 2);
    EXPECT_TRUE(box.Drive().isNull());
  }
}

TEST_F(DriveComboFixture, ItemDrawsIconAtTwoPixelsAndNoLetter) {
  TShExDriveComboBox box;
  box.setItemText(0, QStringLiteral("C"));  // only the key: nothing but the icon may be drawn
  QStyleOptionViewItem option;
  option.initFrom(&box);
  const int width = 200;
  option.rect = QRect(0, 0, width, box.ItemHeight() + 10);
  option.state = QStyle::State_None;
  QImage image(option.rect.size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    box.itemDelegate()->paint(&painter, option, box.model()->index(0, 0));
  }
  const QRgb base = image.pixel(width - 1, 0);
  int leftmost = width;
  int rightmost = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < width; ++x)
      if (image.pixel(x, y) != base) {
        leftmost = std::min(leftmost, x);
        rightmost = std::max(rightmost, x);
      }
  ASSERT_GE(rightmost, 0) << "the icon was not drawn";
  EXPECT_GE(leftmost, 2);
  // Nothing right of the icon: the letter itself is never drawn.
  EXPECT_LT(rightmost, 2 + box.IconSize());
}

}  // namespace
