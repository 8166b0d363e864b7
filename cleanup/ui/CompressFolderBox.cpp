// The archive dialog's frame: its pages and buttons, the options it keeps in the settings, the
// progress page and the way an operation runs while the window keeps answering.
#include "cleanup/ui/CompressFolderBox.h"

#include "cleanup/ui/ShadowTitle.h"
#include "cleanup/ui/ZipPasswordBox.h"
#include "config/Settings.h"
#include "platform/DriveTable.h"
#include "platform/HostNames.h"
#include "scan/Format.h"
#include "shell/Help.h"
#include "shell/MessageBoxes.h"
#include "ui/controls/CenterOverForm.h"
#include "ui/controls/DriveComboBox.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>

#include <algorithm>

namespace {

enum { PageCompress = 0, PageRestore = 1, PageProgress = 2 };

QChar& LastWorkDrive() {
  static QChar letter;
  return letter;
}

QFont BoldFont(const QWidget* w) {
  QFont f = w->font();
  f.setBold(true);
  return f;
}

}  // namespace

QChar StartArchiveDrive() {
  const QString letters = TDriveTable::Instance().Letters();
  if (!LastWorkDrive().isNull() && letters.contains(LastWorkDrive())) return LastWorkDrive();
  if (const std::optional<QString> here = HostToDrive(QFile::encodeName(QDir::currentPath())))
    return here->at(0).toUpper();
  return letters.isEmpty() ? QChar() : letters.at(0);
}

void RememberArchiveDrive(QChar letter) { LastWorkDrive() = letter.toUpper(); }

TCleanUpCompressFolderBox::TCleanUpCompressFolderBox(QWidget* parent, TSettings* settings)
    : QDialog(parent), settings_(settings) {
  setWindowTitle(QStringLiteral("Archive Folder To Gain Some Space"));
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setFixedSize(426, 387);

  ThePages = new QTabWidget(this);
  ThePages->setGeometry(6, 6, 414, 340);
  sheetCompress = new QWidget;
  sheetRestore = new QWidget;
  sheetProgress = new QWidget;
  ThePages->addTab(sheetCompress, QStringLiteral("Archive Folder"));
  ThePages->addTab(sheetRestore, QStringLiteral("Restore Folder"));
  ThePages->addTab(sheetProgress, QStringLiteral("Progress"));
  ThePages->setTabVisible(PageProgress, false);

  cmdClose = new QPushButton(QStringLiteral("Close"), this);
  cmdClose->setGeometry(264, 354, 75, 25);
  cmdHelp = new QPushButton(QStringLiteral("Help"), this);
  cmdHelp->setGeometry(345, 354, 75, 25);
  cmdClose->setAutoDefault(false);
  cmdHelp->setAutoDefault(false);
  connect(cmdClose, &QPushButton::clicked, this, &TCleanUpCompressFolderBox::reject);
  connect(cmdHelp, &QPushButton::clicked, this, &TCleanUpCompressFolderBox::cmdHelpClick);

  BuildArchivePage();
  BuildRestorePage();
  BuildProgressPage();

  // The options as they were left last time.
  const TSettingValues options = settings_ ? settings_->Values() : TSettingValues();
  chkIncludeSubfolders->setChecked(options.ZIPAddSubfolders);
  chkIncludeHidden->setChecked(options.ZIPAddHiddenFiles);
  chkDeleteAfterCompressing->setChecked(options.ZIPDeleteAfterCompressing);
  chkPasswordProtect->setChecked(options.ZIPPasswordProtect);
  ediCompressionLevel->setValue(options.ZIPCompressionLevel);
  chkDeleteArchive->setChecked(options.ZIPDeleteArchive);

  // Both drive boxes start where the last archive or restore worked; the restore page's list is
  // read from that drive at once.
  const QChar start = StartArchiveDrive();
  if (!start.isNull()) {
    cbDrives->SetDrive(start);
    cbRestoreDrivesList->SetDrive(start);
  }
  CenterOverForm(parent, this);
}

TCleanUpCompressFolderBox::~TCleanUpCompressFolderBox() = default;

void TCleanUpCompressFolderBox::StoreOptions() {
  if (!settings_) return;
  settings_->Change([this](TSettingValues& s) {
    s.ZIPAddSubfolders = chkIncludeSubfolders->isChecked();
    s.ZIPAddHiddenFiles = chkIncludeHidden->isChecked();
    s.ZIPDeleteAfterCompressing = chkDeleteAfterCompressing->isChecked();
    s.ZIPPasswordProtect = chkPasswordProtect->isChecked();
    s.ZIPCompressionLevel = ediCompressionLevel->value();
    s.ZIPDeleteArchive = chkDeleteArchive->isChecked();
  });
}

void TCleanUpCompressFolderBox::done(int result) {
  // Whatever the outcome, Close without archiving included.
  StoreOptions();
  QDialog::done(result);
}

void TCleanUpCompressFolderBox::PrepareArchive(const QString& folderPath, int64_t folderSize, int64_t occupiedSpace) {
  folderPath_ = folderPath;
  folderSize_ = folderSize;
  occupiedSpace_ = occupiedSpace;
  const QString name = folderPath.section(QLatin1Char('\\'), -1, -1, QString::SectionSkipEmpty);
  ediZIPDescription->setText(name + QStringLiteral(" Folder"));
  ThePages->setCurrentIndex(PageCompress);
}

void TCleanUpCompressFolderBox::PrepareRestoreOnly() {
  restoreOnly_ = true;
  folderPath_.clear();
  setWindowTitle(QStringLiteral("Restore Compressed Folders"));
  ThePages->setTabVisible(PageCompress, false);
  ThePages->setCurrentIndex(PageRestore);
}

void TCleanUpCompressFolderBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (ThePages->currentIndex() == PageCompress)
    ediZIPDescription->setFocus();
  else if (ThePages->currentIndex() == PageRestore)
    lvArchives->setFocus();
}

void TCleanUpCompressFolderBox::cmdHelpClick() {
  int context = HelpContext::ArchiveFolder;
  if (ThePages->currentIndex() == PageRestore || (ThePages->currentIndex() == PageProgress && restoring_))
    context = HelpContext::RestoreFolder;
  ShowHelpContext(this, context);
}

// ---------------------------------------------------------------------------------------------
// Progress

void TCleanUpCompressFolderBox::BuildProgressPage() {
  txtProgressTitle = new TShadowTitle(QString(), sheetProgress);
  txtProgressTitle->setGeometry(8, 8, 390, 28);

  txtProgressFile = new QLabel(sheetProgress);
  txtProgressFile->setTextFormat(Qt::PlainText);
  txtProgressFile->setAlignment(Qt::AlignCenter);
  txtProgressFile->setGeometry(8, 46, 390, 18);

  pbOverall = new QProgressBar(sheetProgress);
  pbOverall->setRange(0, 100);
  pbOverall->setValue(0);
  pbOverall->setTextVisible(false);
  pbOverall->setGeometry(8, 70, 340, 20);
  txtProgress = new QLabel(QStringLiteral("0%"), sheetProgress);
  txtProgress->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  txtProgress->setGeometry(352, 70, 46, 20);

  cmdStop = new QPushButton(QStringLiteral("Stop"), sheetProgress);
  cmdStop->setGeometry(166, 100, 75, 25);
  cmdStop->setAutoDefault(false);
  connect(cmdStop, &QPushButton::clicked, this, &TCleanUpCompressFolderBox::cmdStopClick);

  panResults = new QWidget(sheetProgress);
  panResults->setGeometry(8, 136, 390, 166);
  auto label = [this](int top, int height) {
    auto* l = new QLabel(panResults);
    l->setWordWrap(true);
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setGeometry(0, top, 390, height);
    return l;
  };
  txtCResults1 = label(0, 34);
  txtCResults2 = label(40, 34);
  txtCResults3 = label(80, 34);
  txtCResults3->setFont(BoldFont(txtCResults3));
  panResults->hide();

  txtOutcome = new QLabel(sheetProgress);
  txtOutcome->setWordWrap(true);
  txtOutcome->setTextFormat(Qt::PlainText);
  txtOutcome->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  txtOutcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
  txtOutcome->setGeometry(8, 250, 390, 52);
  txtOutcome->hide();
}

void TCleanUpCompressFolderBox::ShowProgressPage(const QString& title) {
  txtProgressTitle->SetText(title);
  ThePages->setTabVisible(PageProgress, true);
  ThePages->setCurrentIndex(PageProgress);
  ThePages->setTabVisible(PageCompress, false);
  ThePages->setTabVisible(PageRestore, false);
  cmdClose->setEnabled(false);
  repaint();
}

void TCleanUpCompressFolderBox::SetProgressPosition(int percent) {
  // Forward only, and never past the end.
  if (percent > pbOverall->value() && percent <= 100) {
    pbOverall->setValue(percent);
    txtProgress->setText(QString::number(percent) + QLatin1Char('%'));
  }
}

void TCleanUpCompressFolderBox::ShowProgress(const TOpProgress& p) {
  const bool bytes = p.bytesTotal > 0;
  const int64_t total = bytes ? p.bytesTotal : p.entriesTotal;
  const int64_t done = bytes ? p.bytesDone : p.entriesDone;
  if (total > 0 && done >= 0) SetProgressPosition(static_cast<int>(std::min<int64_t>(done, total) * 100 / total));
  if (!p.currentPath.isEmpty()) {
    // The member as the user knows it: a drive path where its folder is on a drive.
    const std::optional<QString> drivePath = HostToDrive(EncodeEscapedUtf8(p.currentPath));
    const QString shown = drivePath ? *drivePath : p.currentPath;
    txtProgressFile->setText(txtProgressFile->fontMetrics().elidedText(shown, Qt::ElideMiddle,
                                                                      txtProgressFile->width()));
  }
}

void TCleanUpCompressFolderBox::RunOperation(std::function<void(TOpContext&)> operation,
                                             std::function<void(bool fatal)> then) {
  started_ = true;
  closeRequested_ = false;
  cmdStop->setEnabled(true);
  // The work runs on a thread of its own; the dialog (modal already) keeps its event loop, shows
  // the progress and takes Stop meanwhile, and what follows the work runs when it has ended.
  auto progress = std::make_shared<QMetaObject::Connection>();
  auto finished = std::make_shared<QMetaObject::Connection>();
  *progress = connect(&runner_, &TOperationRunner::Progress, this, [this](const TOpProgress& p) { ShowProgress(p); });
  *finished = connect(&runner_, &TOperationRunner::Finished, this, [this, progress, finished, then](bool failed) {
    disconnect(*progress);
    disconnect(*finished);
    then(failed);
  });
  runner_.Start(std::move(operation));
}

std::optional<QByteArray> TCleanUpCompressFolderBox::AskPasswordFromWork(TZipPasswordPurpose purpose, const QString& what) {
  std::optional<QByteArray> answer;
  runner_.OnOwnerThread([&] { answer = AskPassword(purpose, what); });
  return answer;
}

void TCleanUpCompressFolderBox::EngineMessageFromWork(int code, const QString& text) {
  runner_.OnOwnerThread([&] { EngineMessage(code, text); });
}

void TCleanUpCompressFolderBox::cmdStopClick() {
  if (!runner_.Running()) return;
  runner_.Cancel();
  cmdStop->setEnabled(false);
}

void TCleanUpCompressFolderBox::reject() {
  // Closing while an operation works stops it; the dialog goes once it has stopped.
  if (runner_.Running()) {
    closeRequested_ = true;
    cmdStopClick();
    return;
  }
  QDialog::reject();
}

void TCleanUpCompressFolderBox::EngineMessage(int code, const QString& text) {
  // Notes are not shown; a stop the user asked for is no error.
  if (code == 0 || code == ZipErrCancelled) return;
  if (code == ZipErrPassword && passwordRefused_) return;
  TMessageRequest request;
  request.Parent = this;
  request.Caption = ProgramName;
  request.Icon = TMessageIcon::Error;
  request.Text = QStringLiteral("Error: ") + text + QStringLiteral("\n(error code ") + QString::number(code) +
                 QLatin1Char(')');
  ShowMessage(request);
}

std::optional<QByteArray> TCleanUpCompressFolderBox::AskPassword(TZipPasswordPurpose purpose, const QString& archive) {
  std::optional<QByteArray> password = AskZipPassword(this, purpose, archive);
  // The user said no: the engine's "no password" is no news to them.
  if (!password) passwordRefused_ = true;
  return password;
}
