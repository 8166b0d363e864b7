// Saves pictures of the main window's pages, offscreen, for a folder of a small fixed tree, so
// that two builds of the window can be compared pixel by pixel (bench/page_grab.sh).
//
// usage: korvane-page-grab HOSTFOLDER OUTDIR
// HOSTFOLDER is drive T: for the run and must hold the tree page_grab.sh makes; the settings go
// to a temporary folder. One PNG per state: each page with the default settings, then with the
// wasted space left out, sizes in the pie, the other order, without files, without the folder
// tree and the toolbar, and the not-ready page after the drive is removed.

#include "platform/DriveTable.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"
#include "ui/main/TrashPanel.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/Startup.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

// Lets the window finish what it does after an event, the trash measurement (on a thread of its
// own) included, so that two runs grab the same picture.
void Settle(QWidget& window) {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  QDeadlineTimer deadline(10000);
  auto measuring = [&window] {
    for (const TTrashPanel* panel : window.findChildren<TTrashPanel*>())
      if (panel->Measuring()) return true;
    return false;
  };
  while (measuring() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 10);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool Save(QWidget& window, const QString& folder, const QString& name) {
  Settle(window);
  const QImage picture = window.grab().toImage();
  if (picture.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"))) return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
  return false;
}

// The action whose text is text (without its accelerator marks).
QAction* ActionNamed(QWidget& window, const QString& text) {
  for (QAction* action : window.findChildren<QAction*>()) {
    QString plain = action->text();
    plain.remove(QLatin1Char('&'));
    if (plain == text) return action;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: korvane-page-grab HOSTFOLDER OUTDIR\n", stderr);
    return 2;
  }
  const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(argv[1])).absoluteFilePath());
  const QString out = QFileInfo(QFile::decodeName(argv[2])).absoluteFilePath();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir registry;
  if (!registry.isValid()) return 1;
  qputenv("KORVANE_REGISTRY_DIR", QFile::encodeName(registry.path()));

  QApplication app(argc, argv);
  TDriveTable::Instance().SetMappings({{'T', folder}});
  SetMessageAnswerer([](const TMessageRequest& r) { return (r.Buttons & mbCancel) ? int(mbCancel) : int(mbOK); });
  SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); });

  int failures = 0;
  {
    std::unique_ptr<TMainForm> form = CreateMainWindows({});
    if (!form) return 1;
    form->resize(900, 640);
    form->show();
    QDeadlineTimer deadline(10000);
    while (!(form->StartupDone() && form->ScansIdle()) && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
    failures += !Save(*form, out, QStringLiteral("00-empty"));

    if (!form->ScanCommands().GoToFolder(QStringLiteral("T:\\Data"))) {
      std::fputs("T:\\Data could not be shown\n", stderr);
      return 1;
    }
    while (!form->ScansIdle()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const auto pages = [&](const QString& prefix) {
      for (int k = 0; k < 5; ++k) {
        form->SelectPage(k);
        failures += !Save(*form, out, prefix + QStringLiteral("-page%1").arg(k));
      }
    };
    pages(QStringLiteral("10-default"));
    struct TStep {
      const char* Action;
      const char* Name;
    };
    const TStep steps[] = {{"Wasted", "20-nowasted"},    {"MB", "30-sizes"},
                           {"Ascending", "40-ascending"}, {"Files", "50-nofiles"},
                           {"Folder Tree", "60-notree"},  {"Toolbar", "70-notoolbar"}};
    for (const TStep& step : steps) {
      QAction* action = ActionNamed(*form, QString::fromLatin1(step.Action));
      if (!action) {
        std::fprintf(stderr, "no action \"%s\"\n", step.Action);
        ++failures;
        continue;
      }
      action->trigger();
      pages(QString::fromLatin1(step.Name));
    }
    form->ScanCommands().RemoveDrive(QLatin1Char('T'));
    failures += !Save(*form, out, QStringLiteral("80-removed"));
    form->close();
  }
  SetMessageAnswerer(nullptr);
  SetModalDialogRunner(nullptr);
  return failures == 0 ? 0 : 1;
}
