// Choosing a folder: the host folder the dialog answers becomes a drive path; a folder on no
// drive is refused with a message.
#include "shell/ShBrowse.h"

#include "tests/shell/MessageAnswers.h"
#include "tests/support/Fixture.h"

#include "shell/ModalDialogs.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

struct FolderBrowse : ::testing::Test {
  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Path("drive")}}};
  std::vector<QString> answers;  // what the "user" picks, in order
  std::vector<QString> starts;   // where the dialog was opened
  FolderBrowse() {
    fx.Dir("drive/Data/Photos");
    fx.Dir("elsewhere");
    TFolderBrowse::SetChooser([this](QWidget*, const QString&, const QString& start) {
      starts.push_back(start);
      if (answers.empty()) return QString();
      const QString a = answers.front();
      answers.erase(answers.begin());
      return a;
    });
  }
  ~FolderBrowse() override { TFolderBrowse::SetChooser(nullptr); }
  QString Host(const char* rel) const { return QFile::decodeName(fx.Path(rel)); }
};

TEST_F(FolderBrowse, HostFolderOnADriveBecomesItsDrivePath) {
  TMessageAnswers messages;
  answers = {Host("drive/Data/Photos")};
  TFolderBrowse browse;
  browse.Folder = QStringLiteral("T:\\Data");
  ASSERT_TRUE(browse.Execute());
  EXPECT_EQ(browse.Folder, QStringLiteral("T:\\Data\\Photos"));
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0], Host("drive/Data"));  // opened at the given folder, as a host path
  EXPECT_TRUE(messages.Asked.empty());
}

TEST_F(FolderBrowse, FolderOnNoDriveGivesAMessageAndNoResult) {
  TMessageAnswers messages;
  answers = {Host("elsewhere")};
  TFolderBrowse browse;
  browse.AllowDriveRoots = true;
  EXPECT_FALSE(browse.Execute());
  EXPECT_TRUE(browse.Folder.isEmpty());
  ASSERT_EQ(messages.Asked.size(), 1u);
  EXPECT_TRUE(messages.Asked[0].Text.contains(Host("elsewhere")));
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_TRUE(starts[0].isEmpty());
}

TEST_F(FolderBrowse, CancelAndDriveRoots) {
  TMessageAnswers messages;
  {
    TFolderBrowse browse;  // the user cancels
    EXPECT_FALSE(browse.Execute());
    EXPECT_TRUE(messages.Asked.empty());
  }
  {
    answers = {Host("drive")};
    TFolderBrowse browse;
    browse.AllowDriveRoots = true;
    ASSERT_TRUE(browse.Execute());
    EXPECT_EQ(browse.Folder, QStringLiteral("T:\\"));
  }
  {
    // Roots not allowed: told so and asked again from there.
    answers = {Host("drive"), Host("drive/Data")};
    starts.clear();
    TFolderBrowse browse;
    ASSERT_TRUE(browse.Execute());
    EXPECT_EQ(browse.Folder, QStringLiteral("T:\\Data"));
    EXPECT_EQ(messages.Asked.size(), 1u);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1], Host("drive"));
  }
}

TEST(FolderDialog, InstructionsStandInTheDialogNotInItsTitle) {
  TFixtureTree fx;
  fx.Dir("drive/Data");
  TDriveScope drives{{{'T', fx.Path("drive")}}};
  const QString instructions = QStringLiteral("Select the folder you want to analyze. If the folder has not been "
                                              "scanned, Korvane will scan it now.");
  QString windowTitle, labelText;
  SetModalDialogRunner([&](QDialog& dialog) {
    windowTitle = dialog.windowTitle();
    if (auto* label = dialog.findChild<QLabel*>(QStringLiteral("lblInstructions"))) labelText = label->text();
    auto* files = dialog.findChild<QFileDialog*>(QStringLiteral("FolderChooser"));
    if (!files) return static_cast<int>(QDialog::Rejected);
    files->selectFile(QFile::decodeName(fx.Path("drive/Data")));
    QMetaObject::invokeMethod(files, "accept", Qt::DirectConnection);
    return dialog.result();
  });
  TFolderBrowse browse;
  browse.Title = instructions;
  browse.AllowDriveRoots = true;
  const bool chosen = browse.Execute();
  SetModalDialogRunner(nullptr);
  EXPECT_EQ(windowTitle, QStringLiteral("Select Folder"));
  EXPECT_EQ(labelText, instructions);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(browse.Folder, QStringLiteral("T:\\Data"));
}

}  // namespace
