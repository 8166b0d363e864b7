#include "ui/main/Startup.h"

#include "config/DriveLetterStore.h"
#include "platform/DriveTable.h"
#include "platform/UserPath.h"
#include "scan/Format.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"
#include "charts/ui/BarChartBox.h"
#include "ui/main/ToolWindows.h"

#include <QApplication>

std::unique_ptr<TMainForm> CreateMainWindows(const QStringList& arguments) {
  std::unique_ptr<TMainForm> form;
  try {
    form = std::make_unique<TMainForm>(arguments);
  } catch (const std::exception& e) {
    qWarning("Korvane: %s", e.what());
    ShowError(QStringLiteral("Fatal error: ") + ProgramName + QStringLiteral(" must close"), 0);
    return nullptr;
  }
  form->SectionSizeBox = new TSectionSizeBox(form.get());
  form->BarChartBox = new TBarChartBox(form.get());
  return form;
}

int RunKorvane(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(ProgramName);
  QApplication::setApplicationVersion(QStringLiteral("3.0.1"));
  // The title the desktop shows for the running program.
  app.setProperty("title", QString::fromLatin1(ApplicationTitle));

  static TRegistryDriveLetterStore letterStore;
  TDriveTable::Instance().SetLetterStore(&letterStore);

  // From argv itself (what QApplication left of it): every byte of a path is kept.
  const QStringList arguments = DecodeArguments(argc, argv);
  std::unique_ptr<TMainForm> form = CreateMainWindows(arguments);
  if (!form) return 1;
  form->show();
  const int result = QApplication::exec();
  form.reset();
  TDriveTable::Instance().SetLetterStore(nullptr);
  return result;
}
