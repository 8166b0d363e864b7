#include "shell/ShBrowse.h"

#include "platform/DriveTable.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>

namespace {

TFolderBrowse::TChooser& Chooser() {
  static TFolderBrowse::TChooser chooser;
  return chooser;
}

QString Choose(QWidget* parent, const QString& title, const QString& start) {
  if (Chooser()) return Chooser()(parent, title, start);
  return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

void Tell(QWidget* parent, const QString& text) {
  TMessageRequest request;
  request.Parent = parent;
  request.Text = text;
  request.Caption = ProgramName;
  request.Icon = TMessageIcon::Information;
  ShowMessage(request);
}

}  // namespace

void TFolderBrowse::SetChooser(TChooser chooser) { Chooser() = std::move(chooser); }

bool TFolderBrowse::Execute() {
  QWidget* owner = Parent ? Parent : QApplication::activeWindow();
  QString start;
  if (!Folder.isEmpty()) {
    const std::optional<QByteArray> host = DriveToHost(Folder);
    start = host ? QFile::decodeName(*host) : Folder;
  }
  for (;;) {
    const QString chosen = Choose(owner, Title, start);
    if (chosen.isEmpty()) return false;
    const std::optional<QString> drivePath = HostToDrive(QFile::encodeName(chosen));
    if (!drivePath) {
      Tell(owner, QStringLiteral("The folder \"%1\" is not on any drive of %2. Choose a folder on one of the drives, "
                                 "or map a drive letter to it first with \"Map Network Drive...\".")
                      .arg(chosen, ProgramName));
      return false;
    }
    if (!AllowDriveRoots && IsDriveRoot(*drivePath)) {
      Tell(owner, QStringLiteral("\"%1\" is the root of a drive. Please choose a folder.").arg(*drivePath));
      start = chosen;
      continue;
    }
    Folder = *drivePath;
    return true;
  }
}
