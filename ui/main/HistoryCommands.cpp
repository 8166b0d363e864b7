#include "ui/main/HistoryCommands.h"

#include "history/Snapshot.h"
#include "platform/DriveTable.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QStatusBar>

#include <memory>
#include <optional>

namespace {

const QString SaveCaption = QStringLiteral("Save Snapshot");

}  // namespace

THistoryCommands::THistoryCommands(TMainForm& form, QMenu* fileMenu) : QObject(&form), form_(form) {
  save_ = new QAction(QStringLiteral("Save Sna&pshot"), this);
  save_->setObjectName(QStringLiteral("cmdFileSaveSnapshot"));
  save_->setStatusTip(QStringLiteral("Keeps the folder sizes of the current drive in the scan history."));
  fileMenu->addSeparator();
  fileMenu->addAction(save_);
  connect(fileMenu, &QMenu::aboutToShow, this, &THistoryCommands::UpdateActions);
  connect(save_, &QAction::triggered, this, &THistoryCommands::SaveSnapshot);
}

void THistoryCommands::UpdateActions() {
  const TDriveRecInfo* drive = form_.CurrentDrive.isNull() ? nullptr : form_.Session().Drive(form_.CurrentDrive);
  save_->setEnabled(!form_.Session().Scanning() && jobs_.Running() == 0 && drive && drive->Node && drive->Node->Data());
}

void THistoryCommands::SaveSnapshot() {
  UpdateActions();
  if (!save_->isEnabled()) return;
  const TDriveRecInfo* drive = form_.Session().Drive(form_.CurrentDrive);
  // Taken here, on the window's thread, where the tree lives; the worker gets a copy.
  TSnapshot snap = SnapshotOfTree(drive->Node);
  snap.Info.DrivePath = NodePath(drive->Node);
  const std::optional<QByteArray> host = DriveToHost(snap.Info.DrivePath);
  snap.Info.HostRoot = host ? QFile::decodeName(*host) : QString();
  snap.Info.ClusterSize = drive->ClusterSize;
  const QString drivePath = snap.Info.DrivePath;

  struct TOutcome {
    std::optional<int64_t> Id;
    QString Error;
    QString Notice;
    QString Where;
  };
  auto outcome = std::make_shared<TOutcome>();
  save_->setEnabled(false);
  form_.statusBar()->showMessage(QStringLiteral("Saving a snapshot of %1...").arg(drivePath));
  jobs_.Run(
      QString(),
      [outcome, snap = std::move(snap)](THistoryStore* store, const QString& error, const QString& notice) {
        outcome->Notice = notice;
        if (!store) {
          outcome->Error = error;
          return;
        }
        outcome->Where = store->Location().Display();
        outcome->Id = store->Save(snap);
        if (!outcome->Id) outcome->Error = store->Error();
      },
      [this, outcome, drivePath] {
        UpdateActions();
        if (!outcome->Notice.isEmpty())
          ShowMessage({&form_, outcome->Notice, SaveCaption, TMessageIcon::Warning, mbOK, mbOK});
        if (!outcome->Id) {
          form_.statusBar()->clearMessage();
          ShowMessage({&form_, QStringLiteral("The snapshot of %1 was not saved: %2").arg(drivePath, outcome->Error),
                       SaveCaption, TMessageIcon::Error, mbOK, mbOK});
          return;
        }
        form_.statusBar()->showMessage(
            QStringLiteral("Snapshot %1 of %2 saved in %3").arg(*outcome->Id).arg(drivePath, outcome->Where), 15000);
      });
}
