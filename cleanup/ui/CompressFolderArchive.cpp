// The archive dialog's archive page: the options, then the archive itself through the archive
// core, and the results: what the folder occupied, what the archive occupies, what was gained.
#include "cleanup/ui/CompressFolderBox.h"

#include "cleanup/ArchiveFolder.h"
#include "cleanup/ui/ShadowTitle.h"
#include "platform/DriveTable.h"
#include "scan/Format.h"
#include "scan/VolumeInfo.h"
#include "shell/MessageBoxes.h"
#include "ui/controls/DriveComboBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>

#include <exception>
#include <memory>

namespace {

QString RootText(QChar letter) { return QString(letter.toUpper()) + QStringLiteral(":\\"); }

// Why an archive was not made, one reason a line, each once.
QString Reasons(const TOpResult& result) {
  QStringList lines;
  for (const TOpFailure& f : result.failures) {
    if (f.reason.isEmpty()) continue;
    const QString line = f.reason.at(0).toUpper() + f.reason.mid(1);
    if (!lines.contains(line)) lines << line;
  }
  while (lines.size() > 5) lines.removeLast();
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

void TCleanUpCompressFolderBox::BuildArchivePage() {
  titleCompress_ = new TShadowTitle(QStringLiteral("Compress folder to a ZIP archive"), sheetCompress);
  titleCompress_->setGeometry(8, 8, 390, 28);

  auto* lblDescription =
      new QLabel(QStringLiteral("&Description of the archive (so you can easily identify it later):"), sheetCompress);
  lblDescription->setGeometry(8, 42, 390, 18);
  ediZIPDescription = new QLineEdit(sheetCompress);
  ediZIPDescription->setGeometry(8, 60, 390, 24);
  lblDescription->setBuddy(ediZIPDescription);

  txtStoreOnDrive = new QLabel(QStringLiteral("Store archive in a special '%s' folder on drive"), sheetCompress);
  txtStoreOnDrive->setText(txtStoreOnDrive->text().replace(QStringLiteral("%s"), QLatin1String(ArchivesBinName)));
  txtStoreOnDrive->setGeometry(8, 92, 390, 18);
  cbDrives = new TShExDriveComboBox(sheetCompress);
  cbDrives->setGeometry(8, 110, 260, 26);

  chkIncludeSubfolders = new QCheckBox(QStringLiteral("Add &subfolders and all their files"), sheetCompress);
  chkIncludeSubfolders->setGeometry(8, 146, 390, 22);
  chkIncludeHidden = new QCheckBox(QStringLiteral("Add &Hidden and System Files"), sheetCompress);
  chkIncludeHidden->setGeometry(8, 168, 390, 22);
  chkDeleteAfterCompressing =
      new QCheckBox(QStringLiteral("&Move folder to archive (delete folder after compressing it)"), sheetCompress);
  chkDeleteAfterCompressing->setGeometry(8, 190, 390, 22);
  chkPasswordProtect = new QCheckBox(QStringLiteral("&Password protect archive"), sheetCompress);
  chkPasswordProtect->setGeometry(8, 212, 390, 22);

  auto* lblLevel = new QLabel(QStringLiteral("Compression &Level (0-9):"), sheetCompress);
  lblLevel->setGeometry(8, 244, 200, 18);
  ediCompressionLevel = new QSpinBox(sheetCompress);
  ediCompressionLevel->setRange(0, 9);
  ediCompressionLevel->setGeometry(8, 262, 60, 24);
  lblLevel->setBuddy(ediCompressionLevel);

  cmdCompress = new QPushButton(QStringLiteral("&Archive >>"), sheetCompress);
  QFont bold = cmdCompress->font();
  bold.setBold(true);
  cmdCompress->setFont(bold);
  cmdCompress->setGeometry(298, 260, 100, 28);
  connect(cmdCompress, &QPushButton::clicked, this, &TCleanUpCompressFolderBox::cmdCompressClick);
}

void TCleanUpCompressFolderBox::cmdCompressClick() {
  if (started_ || restoreOnly_ || folderPath_.isEmpty()) return;
  StoreOptions();
  ShowProgressPage(QStringLiteral("Now Compressing..."));
  restoring_ = false;
  passwordRefused_ = false;

  const std::optional<QByteArray> folder = DriveToHost(folderPath_);
  if (!folder) {
    started_ = true;
    ShowArchiveFailure(QStringLiteral("The folder %1 was not archived: it is on no drive.").arg(folderPath_));
    return;
  }
  TArchiveRequest request;
  request.Folder = *folder;
  request.Drive = cbDrives->Drive();
  // An empty description is a description too (the core names a missing one itself).
  request.Description = ediZIPDescription->text();
  if (request.Description.isNull()) request.Description = QStringLiteral("");
  request.Level = ediCompressionLevel->value();
  request.Subfolders = chkIncludeSubfolders->isChecked();
  request.Hidden = chkIncludeHidden->isChecked();
  request.Move = chkDeleteAfterCompressing->isChecked();
  request.Encrypt = chkPasswordProtect->isChecked();
  const QChar archiveDrive = request.Drive.isNull() ? folderPath_.at(0) : request.Drive;
  request.Password = [this](TZipPasswordPurpose purpose) { return AskPasswordFromWork(purpose, folderPath_); };
  request.OnMessage = [this](int code, const QString& text) { EngineMessageFromWork(code, text); };

  auto outcome = std::make_shared<TArchiveOutcome>();
  RunOperation([request, outcome](TOpContext& context) { *outcome = ArchiveFolder(request, context); },
               [this, request, outcome, archiveDrive](bool fatal) {
                 // The next archive starts on the drive of this one's folder.
                 RememberArchiveDrive(folderPath_.at(0));
                 if (fatal)
                   ShowError(QStringLiteral("A fatal error encountered while compressing to the ZIP archive"), ekProgram, this);
                 if (!fatal && !outcome->Key.isEmpty()) {
                   archiveKey_ = outcome->Key;
                   folderChanged_ = request.Move;
                   QString note;
                   if (outcome->Result.status == TOpStatus::PartlyDone)
                     note = outcome->Message + QLatin1Char('\n') + FailureLines(outcome->Result);
                   ShowArchiveResults(outcome->ArchiveBytes, archiveDrive, note);
                 } else {
                   QString message = QStringLiteral("The folder %1 was not archived.").arg(folderPath_);
                   const QString reasons = Reasons(outcome->Result);
                   if (!reasons.isEmpty()) message += QLatin1Char('\n') + reasons;
                   ShowArchiveFailure(message);
                 }
                 if (closeRequested_) QDialog::reject();
               });
}

void TCleanUpCompressFolderBox::ShowArchiveResults(int64_t archiveBytes, QChar archiveDrive, const QString& note) {
  cmdClose->setEnabled(true);
  txtProgressFile->clear();
  cmdStop->hide();
  panResults->show();
  txtProgressTitle->SetText(QStringLiteral("Folder compressed OK."));
  txtCResults1->setText(QStringLiteral("The folder you have compressed was using %1 of disk space on drive %2")
                            .arg(FormatSize(occupiedSpace_), DriveDisplayName(RootText(folderPath_.at(0)))));
  txtCResults2->setText(QStringLiteral("The ZIP archive containing the compressed folder is using %1 of disk space on drive %2")
                            .arg(FormatSize(archiveBytes), DriveDisplayName(RootText(archiveDrive))));
  const QString gained = chkDeleteAfterCompressing->isChecked()
                             ? QStringLiteral("By compressing the folder you have gained %1 of disk space")
                             : QStringLiteral("You should delete the folder you have compressed. This way you will gain %1 of disk space");
  if (occupiedSpace_ > archiveBytes) {
    txtCResults3->setText(gained.arg(FormatSize(occupiedSpace_ - archiveBytes)));
    txtCResults3->show();
  } else {
    txtCResults3->setText(gained.arg(FormatSize(0)));
    txtCResults3->hide();
  }
  txtOutcome->setText(note);
  txtOutcome->setVisible(!note.isEmpty());
}

void TCleanUpCompressFolderBox::ShowArchiveFailure(const QString& message) {
  cmdClose->setEnabled(true);
  txtProgressFile->clear();
  cmdStop->hide();
  panResults->hide();
  txtProgressTitle->SetText(QStringLiteral("Folder not archived."));
  txtOutcome->setGeometry(8, 136, 390, 166);
  txtOutcome->setText(message + QStringLiteral("\n\nThe folder and all its files were left as they were."));
  txtOutcome->show();
}
