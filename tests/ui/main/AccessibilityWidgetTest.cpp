// What the window tells an accessibility client: every control reachable with Tab has a name,
// and the pie's sections are stepped with the keyboard, each told by its name and figure.

#include "charts/ui/SimpleControls.h"
#include "config/Options.h"
#include "scan/Format.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/LoadedSettings.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/FolderPie.h"
#include "ui/main/MainForm.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/PageHost.h"
#include "ui/options/OptionsBox.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class AccessibilityWidget : public ::testing::Test {
protected:
  AccessibilityWidget() {
    t.File("two/left/l.bin", 6000);
    t.File("two/right/r.bin", 3000);
    t.File("two/own.bin", 1000);
    AbortScan = false;
  }

  void Start(TMainForm& form) {
    StartMainForm(form);
    form.Settings().Change([](TSettingValues& v) {
      v.IncludeWastedInformation = false;
      v.ShowFileNames = false;
      v.ShowPercentInPie = 0;
      v.SortAscending = false;
      v.AutoExpand = false;
    });
  }

  static void Press(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
  }

  // Names of the widgets below root a person reaches with Tab that tell no accessible name.
  static std::string Unnamed(QWidget& root) {
    QStringList unnamed;
    for (QWidget* w : root.findChildren<QWidget*>()) {
      if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&root) || !w->isEnabled()) continue;
      QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
      if (!iface || iface->text(QAccessible::Name).trimmed().isEmpty()) {
        unnamed << QStringLiteral("%1 (%2)").arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()));
      }
    }
    return unnamed.join(QStringLiteral(", ")).toStdString();
  }

  TAnsweredDialogs answered;
  TRegistryScope registry;
  TFixtureTree c;
  TFixtureTree t;
  TDriveScope drives{{{'C', c.Root()}, {'T', t.Root()}}};
};

}  // namespace

TEST_F(AccessibilityWidget, EveryControlReachedWithTabHasAName) {
  TMainForm form({QStringLiteral("T:\\two")});
  Start(form);
  // Every page in turn, so that each page's controls are visible once.
  for (int page = 0; page < PageCount; ++page) {
    SCOPED_TRACE(page);
    form.SelectPage(page);
    QApplication::processEvents();
    EXPECT_EQ(Unnamed(form), "");
  }
  TLoadedSettings settings;
  TOptionsBox options(settings, &form);
  options.show();
  EXPECT_EQ(Unnamed(options), "");
}

TEST_F(AccessibilityWidget, PieSectionsAreSteppedWithTheKeysAndToldWithTheirFigures) {
  TMainForm form({QStringLiteral("T:\\two")});
  Start(form);
  ASSERT_TRUE(form.ScanCommands().GoToFolder(QStringLiteral("T:\\two")));
  form.SelectPage(0);
  form.InvalidatePie();
  QApplication::processEvents();
  auto* pie = Child<TFolderPieBox>(form, "FolderPie");
  form.activateWindow();
  pie->setFocus(Qt::TabFocusReason);
  QApplication::processEvents();

  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(pie);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->role(), QAccessible::Chart);
  EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty());
  // left (6,000 bytes), right (3,000) and the folder's own file (1,000), largest first.
  ASSERT_EQ(iface->childCount(), 3);
  EXPECT_EQ(iface->focusChild(), nullptr) << "no section has the focus before a key is pressed";

  struct TStep {
    int Key;
    QString Name;
    int64_t Bytes;
  };
  const TStep steps[] = {
      {Qt::Key_Right, QStringLiteral("left"), 6000},  {Qt::Key_Right, QStringLiteral("right"), 3000},
      {Qt::Key_Left, QStringLiteral("left"), 6000},   {Qt::Key_End, QString(), 1000},
      {Qt::Key_Right, QStringLiteral("left"), 6000},  {Qt::Key_Up, QString(), 1000},
      {Qt::Key_Home, QStringLiteral("left"), 6000},
  };
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.Name.toStdString() + " " + std::to_string(step.Bytes));
    Press(pie, step.Key);
    QAccessibleInterface* focused = iface->focusChild();
    ASSERT_NE(focused, nullptr);
    if (!step.Name.isEmpty()) {
      EXPECT_EQ(focused->text(QAccessible::Name), step.Name);
    }
    EXPECT_FALSE(focused->text(QAccessible::Name).isEmpty());
    EXPECT_TRUE(focused->text(QAccessible::Value).startsWith(FormatSize(step.Bytes)))
        << focused->text(QAccessible::Value).toStdString();
    EXPECT_TRUE(focused->state().focused);
    EXPECT_EQ(iface->indexOfChild(focused), pie->FocusItem());
    // The header shows the focus section as it shows the one under the mouse.
    if (!step.Name.isEmpty()) {
      EXPECT_EQ(Child<QLabel>(form, "txtWebFolderName")->text(), step.Name);
    }
  }

  // The focus mark: the palette's highlight colour around the section's box.
  const QImage shot = pie->grab().toImage();
  const QRect box = pie->Items()[static_cast<size_t>(pie->FocusItem())].Box;
  const qreal scale = shot.devicePixelRatio();
  const QColor mark = shot.pixelColor(QPoint(int((box.left() - 1) * scale), int((box.center().y()) * scale)));
  EXPECT_EQ(mark.rgb(), pie->palette().color(QPalette::Highlight).rgb());

  // The header's gauge tells the share it shows.
  auto* gauge = Child<TSimplePieGauge>(form, "gaugeWebSection");
  QAccessibleInterface* gaugeIface = QAccessible::queryAccessibleInterface(gauge);
  ASSERT_NE(gaugeIface, nullptr);
  EXPECT_EQ(gaugeIface->text(QAccessible::Name), QStringLiteral("Share of the drive"));
  EXPECT_EQ(gaugeIface->text(QAccessible::Value), QString::number(gauge->PercentDone()) + QLatin1Char('%'));
  gauge->SetProgress(gauge->Progress() == 37 ? 38 : 37);
  EXPECT_EQ(gaugeIface->text(QAccessible::Value), QString::number(gauge->PercentDone()) + QLatin1Char('%'));
  EXPECT_TRUE(gaugeIface->text(QAccessible::Value) == QStringLiteral("37%") ||
              gaugeIface->text(QAccessible::Value) == QStringLiteral("38%"));

  // Enter opens the focus section's folder, as a click does.
  Press(pie, Qt::Key_Return);
  EXPECT_EQ(form.Current().Path(), QStringLiteral("T:\\two\\left"));
}
