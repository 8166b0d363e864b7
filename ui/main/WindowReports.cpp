#include "ui/main/WindowReports.h"

#include "reports/ReportSource.h"
#include "reports/print/ReportCommands.h"
#include "scan/FolderTree.h"
#include "shell/MessageBoxes.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/FolderPie.h"
#include "ui/main/PageHost.h"
#include "ui/main/SubfoldersPage.h"
#include "ui/main/WindowServices.h"

#include <QDateTime>

#include <exception>
#include <functional>

namespace {

// Runs a command and shows what escaped from it in the program's error box.
void Guarded(QWidget* parent, const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    ShowError(QString::fromUtf8(e.what()), 2, parent);
  }
}

}  // namespace

TWindowReports::TWindowReports(TCurrentFolder& current, IWindowServices& window, TSubfoldersPage& subfolders,
                               TPiePage& pie)
    : current_(current), window_(window), subfolders_(subfolders), pie_(pie) {}

void TWindowReports::Report(bool print, bool folderInformation) {
  // The shortcut-free menu is only enabled for a folder with its record; check again all the same.
  if (!current_.Node() || !current_.Node()->Data()) return;
  QWidget* parent = window_.Window();
  Guarded(parent, [&] {
    const TSubfolderListReport list = BuildSubfolderListReport(*current_.Node(), current_.Path(), subfolders_.CurrentSettings());
    if (folderInformation) {
      const TFolderInfoReport info =
          BuildFolderInfoReport(*current_.Node(), current_.Path(), current_.DriveClusterSize(), QDateTime::currentDateTime());
      if (print)
        cmdFilePrintFolderInformation(parent, info, list);
      else
        cmdFileReportFolderInformation(parent, info, list);
    } else if (print) {
      cmdFilePrintSubfolderlist(parent, list);
    } else {
      cmdFileReportFolderContents(parent, list);
    }
  });
}

void TWindowReports::ExportPie(int how) {
  if (!current_.Node() || !current_.Node()->Data()) return;
  QWidget* parent = window_.Window();
  Guarded(parent, [&] {
    // The pie is drawn for the current folder on its page; show it there first, then go back.
    const int previous = window_.ShownPage();
    if (previous != pgPie) window_.ShowPage(pgPie);
    if (how == 2)
      cmdFilePieToFile(parent, pie_.Chart(), current_.Path());
    else
      cmdFilePieToClipboard(parent, pie_.Chart(), how == 0);
    if (previous != pgPie) window_.ShowPage(previous);
  });
}
