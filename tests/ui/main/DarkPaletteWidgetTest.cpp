// Under a dark palette every label the window shows on its pages is readable: its text colour
// stands out from the background it is drawn on; the pie is drawn on the palette's background.

#include "charts/Canvas.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/FolderPie.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// A dark scheme as desktops and Fusion users set it.
QPalette DarkPalette() {
  QPalette p;
  const QColor window(0x35, 0x35, 0x35), base(0x2A, 0x2A, 0x2A), text(0xEE, 0xEE, 0xEE);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
  p.setColor(QPalette::HighlightedText, Qt::black);
  p.setColor(QPalette::Link, QColor(0x6C, 0xB4, 0xFF));
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
  return p;
}

double Luminance(const QColor& c) {
  auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour a widget is drawn on: its own background when it fills it, else its parent's.
QColor Background(const QWidget* w) {
  for (; w; w = w->parentWidget())
    if (w->autoFillBackground() || w->isWindow()) return w->palette().color(w->backgroundRole());
  return QColor(Qt::white);
}

// The application's palette and the system colours the canvases resolve, put back at the end.
class TPaletteScope {
public:
  explicit TPaletteScope(const QPalette& palette) : saved_(QApplication::palette()), system_(SystemPalette()) {
    QApplication::setPalette(palette);
  }
  ~TPaletteScope() {
    QApplication::setPalette(saved_);
    SetSystemPalette(system_);
  }

private:
  QPalette saved_;
  TSystemPalette system_;
};

}  // namespace

TEST(DarkPaletteWidget, EveryLabelOnEveryPageIsReadable) {
  TFixtureTree t;
  t.File("Data/one.bin", 10000);
  t.File("Data/Sub/two.bin", 3000);
  const TDriveScope drives({{'T', t.Root()}});
  TAnsweredDialogs answered;
  TRegistryScope registry;
  const TPaletteScope dark(DarkPalette());

  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);
  for (int page = 0; page <= 4; ++page) {
    ShowFolderOnPage(form, QStringLiteral("T:\\Data"), page);
    QApplication::processEvents();
    int checked = 0;
    for (const QLabel* label : form.findChildren<QLabel*>()) {
      if (!label->isVisible() || label->text().isEmpty() || label->text().startsWith(QLatin1Char('<'))) continue;
      ++checked;
      const QColor text = label->palette().color(label->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                                 label->foregroundRole());
      const QColor back = Background(label);
      EXPECT_GE(Contrast(text, back), label->isEnabled() ? 4.5 : 2.0)
          << "page " << page << ", " << label->objectName().toStdString() << " \"" << label->text().toStdString()
          << "\": " << text.name().toStdString() << " on " << back.name().toStdString();
    }
    EXPECT_GT(checked, 0) << "page " << page << " shows no label";
  }

  // The pie's own background, in a corner of its picture, is the palette's.
  ShowFolderOnPage(form, QStringLiteral("T:\\Data"), 0);
  form.InvalidatePie();
  QApplication::processEvents();
  const QImage& picture = Child<TPiePage>(form)->PieBitmap().Image();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.pixelColor(1, 1), DarkPalette().color(QPalette::Base));
  if (qEnvironmentVariableIsSet("KORVANE_GRAB_DIR"))
    form.grab().save(qEnvironmentVariable("KORVANE_GRAB_DIR") + QStringLiteral("/main-window-dark.png"));
}
