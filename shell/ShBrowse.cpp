#include "shell/ShBrowse.h"

#include "platform/DriveTable.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "shell/MessageBoxes.h"
#include "shell/ModalDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QVBoxLayout>

namespace {

TFolderBrowse::TChooser& Chooser() {
  static TFolderBrowse::TChooser chooser;
  return chooser;
}

QString Choose(QWidget* parent, const QString& title, const QString& start) {
  if (Chooser()) return Chooser()(parent, title, start);
  const std::unique_ptr<QDialog> dialog = MakeFolderDialog(parent, title, start);
  if (RunModalDialog(*dialog) != QDialog::Accepted) return QString();
  return dialog->property("folder").toString();
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

std::unique_ptr<QDialog> MakeFolderDialog(QWidget* parent, const QString& instructions, const QString& startHostFolder) {
  auto dialog = std::make_unique<QDialog>(parent);
  dialog->setObjectName(QStringLiteral("FolderDialog"));
  dialog->setWindowTitle(QStringLiteral("Select Folder"));
  auto* layout = new QVBoxLayout(dialog.get());
  auto* label = new QLabel(instructions, dialog.get());
  label->setObjectName(QStringLiteral("lblInstructions"));
  label->setWordWrap(true);
  label->setVisible(!instructions.isEmpty());
  layout->addWidget(label);
  // The file dialog's own widgets, embedded: the desktop's native dialog could not show the label.
  auto* files = new QFileDialog(dialog.get(), QString(), startHostFolder);
  files->setObjectName(QStringLiteral("FolderChooser"));
  files->setWindowFlags(Qt::Widget);
  files->setOption(QFileDialog::DontUseNativeDialog);
  files->setOption(QFileDialog::ShowDirsOnly);
  files->setFileMode(QFileDialog::Directory);
  layout->addWidget(files);
  QDialog* owner = dialog.get();
  QObject::connect(files, &QFileDialog::accepted, owner, [owner, files] {
    owner->setProperty("folder", files->selectedFiles().value(0));
    owner->accept();
  });
  QObject::connect(files, &QFileDialog::rejected, owner, &QDialog::reject);
  return dialog;
}

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
