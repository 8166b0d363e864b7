// A folder dropped on the window is the very folder whose bytes the drop named.
#include "scan/FolderSize.h"
#include "tests/config/RegistryScope.h"
#include "tests/support/Fixture.h"
#include "tests/support/MainFormEnv.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

TEST(DroppedPathWidget, AFolderWhoseNameIsNotUtf8IsTheOneOpened) {
  TRegistryScope registry;
  TAnsweredDialogs answered;
  TFixtureTree t;
  t.File("bad\xff" "dir/f", 10);
  t.File("bad\xef\xbf\xbd" "dir/g", 20);  // what a lossy reading of the name would give
  TDriveScope drives({{'T', t.Root()}});
  TMainForm form({QStringLiteral("T:\\")});
  StartMainForm(form);

  QMimeData mime;
  mime.setUrls({QUrl::fromEncoded("file://" + t.Path("bad\xff" "dir").toPercentEncoding("/"))});
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  // Straight to the window's handler: the application delivers drops only during a drag.
  static_cast<QObject&>(form).event(&drop);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();

  EXPECT_EQ(form.CurrentPath, QStringLiteral("T:\\bad") + QChar(0xDCFF) + QStringLiteral("dir"));
  ASSERT_TRUE(form.CurrentNode && form.CurrentNode->Data());
  EXPECT_EQ(form.CurrentNode->Data()->TotalSize, 10);
}

}  // namespace
