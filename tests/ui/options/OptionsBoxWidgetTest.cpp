// The Options dialog: what it shows at opening, a rejected percentage that stores nothing (so
// Cancel afterwards changes nothing), OK storing everything, colours kept private until OK, the
// start-up drives with an absent drive's choice kept, and the folder verb on and off.
#include "ui/options/OptionsBox.h"

#include "config/Registry.h"
#include "config/Settings.h"
#include "config/ShellVerb.h"
#include "scan/VolumeInfo.h"
#include "tests/config/RegistryScope.h"
#include "tests/shell/MessageAnswers.h"
#include "tests/support/Fixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct TSettingsScope {
  TSettingsScope() { LoadSettings(); }
  ~TSettingsScope() {
    try {
      SaveSettings();
    } catch (...) {
    }
  }
};

class TDataHomeScope {
public:
  TDataHomeScope() : saved_(qgetenv("XDG_DATA_HOME")) { qputenv("XDG_DATA_HOME", tree_.Root()); }
  ~TDataHomeScope() { qputenv("XDG_DATA_HOME", saved_); }

private:
  TFixtureTree tree_;
  QByteArray saved_;
};

// Drives C and D on folders of their own, a registry and a data folder of the test's own.
struct TOptionsEnv {
  TFixtureTree Folders;
  TRegistryScope Registry;
  TDataHomeScope Data;
  std::unique_ptr<TDriveScope> Drives;
  std::unique_ptr<TSettingsScope> Settings;
  TOptionsEnv() {
    Folders.Dir("c");
    Folders.Dir("d");
    Drives = std::make_unique<TDriveScope>(
        std::vector<TDriveMapping>{{'C', Folders.Path("c")}, {'D', Folders.Path("d")}});
    Settings = std::make_unique<TSettingsScope>();
  }
};

bool IsChecked(const TOptionsBox& box, QChar letter) {
  for (int i = 0; i < box.TheDrivesBox->count(); ++i)
    if (box.TheDrivesBox->item(i)->data(Qt::UserRole).toString() == QString(letter))
      return box.TheDrivesBox->item(i)->checkState() == Qt::Checked;
  return false;
}

}  // namespace

TEST(OptionsBoxWidget, OpensWithTheSettings) {
  TOptionsEnv env;
  DrivesToAutoScan->Value = QStringLiteral("d");
  AutoCollapse->Value = false;
  TOptionsBox box(nullptr);
  EXPECT_FALSE(box.Accepted);
  EXPECT_EQ(box.ediMinFileSection->text(), QStringLiteral("0.556"));
  EXPECT_EQ(box.ediMinFolderSection->text(), QStringLiteral("0.278"));
  EXPECT_EQ(box.ediMinTextSection->text(), QStringLiteral("1.389"));
  EXPECT_FALSE(box.chkAutoCollapse->isChecked());
  EXPECT_TRUE(box.chkAutoExpand->isChecked());
  EXPECT_EQ(box.lbColors->count(), PieColorCount);
  EXPECT_EQ(box.ListedLetters(), QStringLiteral("CD"));
  // The drives read as in every other drive list: the display name only, no letter in front.
  ASSERT_EQ(box.TheDrivesBox->count(), 2);
  EXPECT_EQ(box.TheDrivesBox->item(0)->text(), DriveDisplayName(QStringLiteral("C:\\")));
  EXPECT_TRUE(box.TheDrivesBox->item(1)->text().endsWith(QStringLiteral(" (D:)")));
  EXPECT_FALSE(box.TheDrivesBox->item(1)->text().startsWith(QLatin1Char('D')));
  EXPECT_FALSE(IsChecked(box, QLatin1Char('C')));
  EXPECT_TRUE(IsChecked(box, QLatin1Char('D')));
  EXPECT_FALSE(box.chkExplorerMenu->isChecked());  // no verb registered in this registry
}

TEST(OptionsBoxWidget, RejectedPercentageStoresNothing) {
  TOptionsEnv env;
  TMessageAnswers answers;
  TOptionsBox box(nullptr);
  box.ProgramPath = QStringLiteral("/usr/bin/korvane");
  box.chkAutoExpand->setChecked(false);
  box.ediMinFileSection->setText(QStringLiteral("50"));
  TOptionsBox::SetColorPicker([](TColor) { return std::optional<TColor>(RgbToColor(9, 9, 9)); });
  box.lbColors->setCurrentRow(pcBarChartBars);
  box.TheColorButtonClick();
  TOptionsBox::SetColorPicker({});
  EXPECT_EQ(box.WorkColors[pcBarChartBars], RgbToColor(9, 9, 9));

  for (const char* bad : {"abc", "nan", "inf", "100.5", "-1"}) {
    SCOPED_TRACE(bad);
    answers.Asked.clear();
    box.ediMinFolderSection->setText(QString::fromLatin1(bad));
    box.cmdOKClick();
    ASSERT_EQ(answers.Asked.size(), 1u);
    EXPECT_EQ(answers.Asked[0].Text, QStringLiteral("\"%1\" is not a valid value for \"Show folders larger than\": enter a "
                                                   "percentage of the parent from 0 to 100.").arg(QString::fromLatin1(bad)));
    EXPECT_EQ(answers.Asked[0].Caption, QStringLiteral("Korvane"));
    EXPECT_EQ(answers.Asked[0].Icon, TMessageIcon::Error);
    EXPECT_FALSE(box.Accepted);
    EXPECT_DOUBLE_EQ(MinFileSectionAngle, DefaultMinFileSectionAngle);
    EXPECT_TRUE(AutoExpand->Value);
    EXPECT_EQ(PieColors, DefaultPieColors);
    EXPECT_FALSE(ShellVerbRegistered().value_or(true));
  }
  // Cancel now: everything stays as it was.
  box.reject();
  EXPECT_FALSE(box.Accepted);
  EXPECT_TRUE(AutoExpand->Value);
}

TEST(OptionsBoxWidget, OkStoresEverything) {
  TOptionsEnv env;
  TMessageAnswers answers;
  DrivesToAutoScan->Value = QStringLiteral("T");  // a drive not mapped now
  TOptionsBox box(nullptr);
  box.ProgramPath = QStringLiteral("/usr/bin/korvane");
  box.chkAutoExpand->setChecked(false);
  box.ediMinFileSection->setText(QStringLiteral("100"));
  box.ediMinFolderSection->setText(QStringLiteral("0"));
  box.cmdDefaultValuesClick();
  EXPECT_EQ(box.ediMinFileSection->text(), QStringLiteral("0.556"));
  box.ediMinTextSection->setText(QStringLiteral("25"));
  for (int i = 0; i < box.TheDrivesBox->count(); ++i) box.TheDrivesBox->item(i)->setCheckState(Qt::Checked);
  box.chkExplorerMenu->setChecked(true);
  box.cmdOKClick();
  EXPECT_TRUE(answers.Asked.empty());
  EXPECT_TRUE(box.Accepted);
  EXPECT_FALSE(AutoExpand->Value);
  EXPECT_NEAR(MinFileSectionAngle, 2.0016, 1e-9);
  EXPECT_DOUBLE_EQ(MinTextSectionAngle, 90.0);
  EXPECT_EQ(DrivesToAutoScan->Value, QStringLiteral("CDT"));
  EXPECT_EQ(ShellVerbRegistered(), true);
  EXPECT_TRUE(QFile::exists(QString::fromLocal8Bit(ShellVerbDesktopPath())));

  // Unchecking removes both keys and the desktop entry.
  TOptionsBox again(nullptr);
  EXPECT_TRUE(again.chkExplorerMenu->isChecked());
  again.chkExplorerMenu->setChecked(false);
  again.cmdOKClick();
  EXPECT_EQ(ShellVerbRegistered(), false);
  TRegistry classes(TRegRoot::ClassesRoot);
  EXPECT_FALSE(classes.KeyExists(ShellVerbCommandKey));
  EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(ShellVerbDesktopPath())));
}

TEST(OptionsBoxWidget, DefaultColorsStayPrivateUntilOk) {
  TOptionsEnv env;
  PieColors[pcBackground] = RgbToColor(1, 1, 1);
  TOptionsBox box(nullptr);
  box.Button1Click();
  EXPECT_EQ(box.WorkColors, DefaultPieColors);
  EXPECT_EQ(PieColors[pcBackground], RgbToColor(1, 1, 1));
  box.reject();
  EXPECT_EQ(PieColors[pcBackground], RgbToColor(1, 1, 1));
  if (qEnvironmentVariableIsSet("KORVANE_GRAB_DIR")) {
    box.show();
    box.grab().save(qEnvironmentVariable("KORVANE_GRAB_DIR") + QStringLiteral("/options.png"));
  }
}
