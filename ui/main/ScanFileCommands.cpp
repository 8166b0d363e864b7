#include "ui/main/ScanFileCommands.h"

#include "history/NcduDrive.h"
#include "history/NcduReader.h"
#include "scan/Format.h"
#include "scan/LoadedScan.h"
#include "scan/ScanQueue.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "shell/MessageBoxes.h"
#include "shell/ModalDialogs.h"
#include "ui/main/MainForm.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QStatusBar>

namespace {

const QString Caption = QStringLiteral("Open Scan File");

int FreeLoadedLetters(const TScanSession& session) {
  int free = 0;
  for (const char* c = LoadedScanLetters; *c; ++c)
    if (!session.Drive(QLatin1Char(*c))) ++free;
  return free;
}

}  // namespace

bool RefuseOnLoadedScan(TScanSession& session, QWidget* parent, const QString& drivePath, const QString& what) {
  const TLoadedScanInfo* info = session.LoadedScanAt(drivePath);
  if (!info) return false;
  ShowMessage({parent, LoadedScanRefusal(drivePath[0].toUpper(), *info, what), ProgramName, TMessageIcon::Information, mbOK,
               mbOK});
  return true;
}

bool IsScanFileArgument(const QString& argument) {
  if (!argument.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)) return false;
  const QFileInfo info(argument);
  return info.exists() && !info.isDir();
}

struct TScanFileCommands::TRead {
  QString File;
  std::shared_ptr<TNcduScan> Scan;
  qint64 ReadMs = 0;
};

TScanFileCommands::TScanFileCommands(TMainForm& form, QMenu* fileMenu, QAction* before) : QObject(&form), form_(form) {
  pool_.setMaxThreadCount(1);
  open_ = new QAction(QStringLiteral("&Open Scan File..."), this);
  open_->setObjectName(QStringLiteral("cmdFileOpenScanFile"));
  open_->setStatusTip(QStringLiteral("Shows an ncdu or gdu export (JSON) as a drive of its own, to browse, report on "
                                     "and compare; nothing on this computer is changed through it."));
  fileMenu->insertAction(before, open_);
  connect(open_, &QAction::triggered, this, &TScanFileCommands::OpenScanFileDialog);
  connect(fileMenu, &QMenu::aboutToShow, this, &TScanFileCommands::UpdateAction);
  // A file read while a scan ran goes into the tree once the scans have ended.
  connect(&form_.Scans(), &TScanQueue::BecameIdle, this, &TScanFileCommands::AddWhenIdle);
}

TScanFileCommands::~TScanFileCommands() {
  // A read still under way ends first; its result is dropped with this object.
  pool_.waitForDone();
}

void TScanFileCommands::UpdateAction() { open_->setEnabled(FreeLoadedLetters(form_.Session()) > 0); }

void TScanFileCommands::OpenScanFileDialog() {
  QString file;
  {
    QFileDialog dialog(&form_, Caption, QDir::homePath());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Scan files (ncdu, gdu) (*.json)"), QStringLiteral("All files (*)")});
    if (RunModalDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    file = dialog.selectedFiles().constFirst();
  }
  if (!file.isEmpty()) OpenScanFile(file);
}

void TScanFileCommands::OpenScanFile(const QString& file) {
  // Refused at once when both letters are taken; a file being read keeps none (it may turn out
  // not to be an export), so one read meanwhile may still find them taken when it is done.
  if (FreeLoadedLetters(form_.Session()) == 0) {
    ShowMessage({&form_,
                 QStringLiteral("%1 cannot be opened: two scan files are open already (drives A: and B:). Take one "
                                "out of the tree (File > Remove from Tree) and open it again.")
                     .arg(file),
                 Caption, TMessageIcon::Warning, mbOK, mbOK});
    return;
  }
  ++pending_;
  form_.statusBar()->showMessage(QStringLiteral("Reading scan file %1...").arg(file));
  pool_.start([this, file] {
    QElapsedTimer timer;
    timer.start();
    auto read = std::make_shared<TRead>();
    read->File = file;
    read->Scan = std::make_shared<TNcduScan>(ReadNcduFile(file));
    read->ReadMs = timer.elapsed();
    QMetaObject::invokeMethod(
        this,
        [this, read] {
          ready_.push_back(read);
          AddWhenIdle();
        },
        Qt::QueuedConnection);
  });
}

void TScanFileCommands::AddWhenIdle() {
  while (!ready_.empty()) {
    // The tree does not change while a scan walks it; BecameIdle brings the rest.
    if (form_.Session().Scanning() || !form_.ScansIdle()) return;
    const std::shared_ptr<TRead> read = ready_.front();
    ready_.pop_front();
    --pending_;
    const TNcduScan& scan = *read->Scan;
    if (scan.Folders.empty()) {
      form_.statusBar()->clearMessage();
      ShowMessage({&form_,
                   QStringLiteral("%1 could not be opened as a scan file (an ncdu or gdu JSON export):\n\n%2")
                       .arg(read->File, scan.Error.isEmpty() ? QStringLiteral("it lists no folder.") : scan.Error),
                   Caption, TMessageIcon::Error, mbOK, mbOK});
      emit Done(false);
      continue;
    }
    QElapsedTimer timer;
    timer.start();
    TDriveRecInfo* drive = AddNcduDrive(form_.Session(), scan, QFileInfo(read->File).absoluteFilePath());
    const qint64 buildMs = timer.elapsed();
    if (!drive) {
      form_.statusBar()->clearMessage();
      ShowMessage({&form_,
                   QStringLiteral("%1 could not be opened: two scan files are open already (drives A: and B:).").arg(read->File),
                   Caption,
                   TMessageIcon::Warning, mbOK, mbOK});
      emit Done(false);
      continue;
    }
    form_.SelectNode(drive->Node);
    form_.statusBar()->showMessage(QStringLiteral("Drive %1: is the %2, loaded for viewing: %3 folders (read in %4 ms, "
                                                  "shown in %5 ms). It cannot be rescanned or changed.")
                                       .arg(QChar::fromLatin1(drive->Letter))
                                       .arg(LoadedScanDescription(*drive->Loaded))
                                       .arg(QLocale().toString(static_cast<qlonglong>(scan.Folders.size())))
                                       .arg(read->ReadMs)
                                       .arg(buildMs),
                                   60000);
    if (!scan.Complete)
      ShowMessage({&form_,
                   QStringLiteral("%1 is damaged or cut short: %2\n\nThe %3 folders read before that are shown as drive "
                                  "%4:, marked incomplete; their figures may be too small.")
                       .arg(read->File, scan.Error)
                       .arg(scan.Folders.size())
                       .arg(QChar::fromLatin1(drive->Letter)),
                   Caption, TMessageIcon::Warning, mbOK, mbOK});
    emit Done(true);
  }
}
