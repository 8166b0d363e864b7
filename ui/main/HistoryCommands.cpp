#include "ui/main/HistoryCommands.h"

#include "platform/DriveTable.h"
#include "reports/ChangeReport.h"
#include "reports/print/ChangeReportCommands.h"
#include "scan/LoadedScan.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "shell/MessageBoxes.h"
#include "shell/ModalDialogs.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/MainForm.h"
#include "ui/main/SnapshotListBox.h"
#include "ui/main/SubfoldersPage.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>

#include <memory>
#include <optional>

namespace {

const QString SaveCaption = QStringLiteral("Save Snapshot");
const QString CompareCaption = QStringLiteral("Compare With Snapshot");

// The host folder of a drive's root (for a drive loaded from a scan file, the folder the file
// names on its machine); empty when the drive is not mapped.
QString HostRootOf(const TScanSession& session, QChar letter) {
  if (const TLoadedScanInfo* loaded = session.LoadedScan(letter)) return loaded->HostRoot;
  const std::optional<QByteArray> host = DriveToHost(QString(letter) + QStringLiteral(":\\"));
  return host ? QFile::decodeName(*host) : QString();
}

}  // namespace

THistoryCommands::THistoryCommands(TMainForm& form, QMenu* fileMenu, QMenu* reportsMenu, QMenu* printMenu)
    : QObject(&form), form_(form) {
  auto action = [this](const QString& text, const char* name, const QString& tip) {
    auto* a = new QAction(text, this);
    a->setObjectName(QLatin1String(name));
    a->setStatusTip(tip);
    return a;
  };
  save_ = action(QStringLiteral("Save Sna&pshot"), "cmdFileSaveSnapshot",
                 QStringLiteral("Keeps the folder sizes of the current drive in the scan history."));
  compare_ = action(QStringLiteral("Compare &With Snapshot..."), "cmdFileCompareSnapshot",
                    QStringLiteral("Shows how the folders of the current drive changed since a snapshot."));
  endCompare_ = action(QStringLiteral("&End Comparison"), "cmdFileEndComparison",
                       QStringLiteral("Takes the comparison with a snapshot off the folder tree and the subfolder list."));
  manage_ = action(QStringLiteral("Mana&ge Snapshots..."), "cmdFileManageSnapshots",
                   QStringLiteral("Lists the snapshots in the scan history and deletes old ones."));
  fileMenu->addSeparator();
  fileMenu->addAction(save_);
  fileMenu->addAction(compare_);
  fileMenu->addAction(endCompare_);
  fileMenu->addAction(manage_);
  connect(fileMenu, &QMenu::aboutToShow, this, &THistoryCommands::UpdateActions);
  connect(save_, &QAction::triggered, this, &THistoryCommands::SaveSnapshot);
  connect(compare_, &QAction::triggered, this, &THistoryCommands::CompareWithSnapshot);
  connect(endCompare_, &QAction::triggered, this, &THistoryCommands::EndComparison);
  connect(manage_, &QAction::triggered, this, &THistoryCommands::ManageSnapshots);

  reportChanged_ = action(QStringLiteral("&What Changed..."), "cmdFileReportWhatChanged",
                          QStringLiteral("Saves the list of folders that changed since the snapshot compared with."));
  printChanged_ = action(QStringLiteral("&What Changed..."), "cmdFilePrintWhatChanged",
                         QStringLiteral("Prints the list of folders that changed since the snapshot compared with."));
  connect(reportChanged_, &QAction::triggered, this, [this] { ReportWhatChanged(false); });
  connect(printChanged_, &QAction::triggered, this, [this] { ReportWhatChanged(true); });
  for (const auto& [menu, item] : {std::pair{reportsMenu, reportChanged_}, std::pair{printMenu, printChanged_}}) {
    if (!menu) continue;
    menu->addAction(item);
    connect(menu, &QMenu::aboutToShow, this, &THistoryCommands::UpdateActions);
  }

  TScanSession& session = form_.Session();
  connect(&session, &TScanSession::ScanStarted, this, &THistoryCommands::ScanStarted);
  connect(&session, &TScanSession::ScanFinished, this, &THistoryCommands::ScanFinished);
  // Nodes went or came: the marks go at once (they may name freed nodes), and the comparison is
  // made again once the change is over (a rescan of a drive takes its node out first, then scans).
  connect(&session, &TScanSession::TreeChanged, this, [this] {
    if (!comparison_) return;
    ShowComparison(nullptr);
    QTimer::singleShot(0, this, &THistoryCommands::RefreshComparison);
  });
}

// The form deletes its model and views before this object goes, so they never see a comparison
// that is gone.
THistoryCommands::~THistoryCommands() = default;

QString THistoryCommands::StoreName() const { return form_.Settings()->HistoryStore.trimmed(); }

void THistoryCommands::UpdateActions() {
  const TDriveRecInfo* drive = form_.Current().Drive().isNull() ? nullptr : form_.Session().Drive(form_.Current().Drive());
  const bool scanned = !form_.Session().Scanning() && drive && drive->Node && drive->Node->Data();
  save_->setEnabled(scanned && jobs_.Running() == 0);
  compare_->setEnabled(scanned && !loading_);
  const bool comparing = comparison_ && !form_.Session().Scanning();
  endCompare_->setEnabled(comparing);
  reportChanged_->setEnabled(comparing);
  printChanged_->setEnabled(comparing);
}

void THistoryCommands::SaveSnapshot() {
  UpdateActions();
  if (!save_->isEnabled()) return;
  SaveDriveSnapshot(form_.Current().Drive(), false);
}

void THistoryCommands::SaveDriveSnapshot(QChar letter, bool quiet) {
  const TDriveRecInfo* drive = form_.Session().Drive(letter);
  if (!drive || !drive->Node || !drive->Node->Data()) return;
  // Taken here, on the window's thread, where the tree lives; the worker gets a copy.
  TSnapshot snap = SnapshotOfTree(drive->Node);
  snap.Info.DrivePath = NodePath(drive->Node);
  snap.Info.HostRoot = HostRootOf(form_.Session(), letter);
  // A scan file's snapshot is of the time the file was written.
  if (drive->Loaded && drive->Loaded->Time.isValid()) snap.Info.Time = drive->Loaded->Time;
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
      StoreName(),
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
      [this, outcome, drivePath, quiet] {
        UpdateActions();
        if (!outcome->Notice.isEmpty())
          ShowMessage({&form_, outcome->Notice, SaveCaption, TMessageIcon::Warning, mbOK, mbOK});
        if (!outcome->Id) {
          form_.statusBar()->clearMessage();
          const QString text = quiet ? QStringLiteral("The snapshot of %1 after its scan was not saved: %2\n\n"
                                                      "(Options: \"Save a snapshot after every scan of a whole drive\".)")
                                     : QStringLiteral("The snapshot of %1 was not saved: %2");
          ShowMessage({&form_, text.arg(drivePath, outcome->Error), SaveCaption, TMessageIcon::Error, mbOK, mbOK});
          return;
        }
        form_.statusBar()->showMessage(
            QStringLiteral("Snapshot %1 of %2 saved in %3").arg(*outcome->Id).arg(drivePath, outcome->Where), 15000);
      });
}

QString THistoryCommands::RootPathOf(const TSnapshotInfo& info) const {
  if (info.HostRoot.isEmpty()) return {};
  // On a drive loaded from a scan file, the folders of the machine the file comes from.
  const QChar letter = form_.Current().Drive();
  if (const TLoadedScanInfo* loaded = letter.isNull() ? nullptr : form_.Session().LoadedScan(letter)) {
    const QString root = QString(letter) + QStringLiteral(":\\");
    if (info.HostRoot == loaded->HostRoot) return root;
    const QString below = loaded->HostRoot.endsWith(QLatin1Char('/')) ? loaded->HostRoot : loaded->HostRoot + QLatin1Char('/');
    if (!info.HostRoot.startsWith(below)) return {};
    return root + info.HostRoot.mid(below.size()).replace(QLatin1Char('/'), QLatin1Char('\\'));
  }
  const std::optional<QString> path = HostToDrive(QFile::encodeName(info.HostRoot));
  return path ? *path : QString();
}

void THistoryCommands::CompareWithSnapshot() {
  UpdateActions();
  if (!compare_->isEnabled()) return;
  const QChar letter = form_.Current().Drive();
  const QString hostRoot = HostRootOf(form_.Session(), letter);
  if (hostRoot.isEmpty()) return;
  const QString below = hostRoot.endsWith(QLatin1Char('/')) ? hostRoot : hostRoot + QLatin1Char('/');
  // The snapshots of this drive's folder and of folders in it, from any machine.
  TSnapshotListBox box(TSnapshotListBox::Pick, jobs_, StoreName(), &form_, [hostRoot, below](const TSnapshotInfo& info) {
    return info.HostRoot == hostRoot || info.HostRoot.startsWith(below);
  });
  if (RunModalDialog(box) != QDialog::Accepted) return;
  if (const std::optional<TSnapshotInfo> picked = box.Picked()) CompareWith(*picked);
}

void THistoryCommands::CompareWith(const TSnapshotInfo& info) {
  struct TOutcome {
    std::optional<TSnapshot> Snapshot;
    QString Error;
  };
  auto outcome = std::make_shared<TOutcome>();
  loading_ = true;
  UpdateActions();
  form_.statusBar()->showMessage(QStringLiteral("Reading snapshot %1...").arg(info.Id));
  const int64_t id = info.Id;
  jobs_.Run(
      StoreName(),
      [outcome, id](THistoryStore* store, const QString& error, const QString&) {
        if (!store) {
          outcome->Error = error;
          return;
        }
        outcome->Snapshot = store->Load(id);
        if (!outcome->Snapshot) outcome->Error = store->Error();
      },
      [this, outcome, info] {
        loading_ = false;
        form_.statusBar()->clearMessage();
        UpdateActions();
        auto fail = [this](const QString& text) {
          ShowMessage({&form_, text, CompareCaption, TMessageIcon::Error, mbOK, mbOK});
        };
        if (!outcome->Snapshot) {
          fail(QStringLiteral("Snapshot %1 could not be read: %2").arg(info.Id).arg(outcome->Error));
          return;
        }
        // The tree as it is now: a scan may have started or ended meanwhile.
        const QString rootPath = RootPathOf(info);
        TTreeNode* root = rootPath.isEmpty() ? nullptr : form_.Session().FindFolder(rootPath);
        if (form_.Session().Scanning() || !root || !root->Data()) {
          fail(QStringLiteral("The folder of snapshot %1 (%2) is not in the folder tree with a complete scan.")
                   .arg(info.Id)
                   .arg(info.HostRoot));
          return;
        }
        ShowComparison(nullptr);
        comparison_ = std::make_unique<TTreeComparison>(std::move(*outcome->Snapshot), root, NodePath(root));
        ShowComparison(comparison_.get());
        UpdateActions();
        const TTreeComparison::TCounts counts = comparison_->Counts();
        form_.statusBar()->showMessage(
            QStringLiteral("Since snapshot %1: %2 in total; %3 folders grown, %4 shrunk, %5 new, %6 gone")
                .arg(info.Id)
                .arg(SignedSizeText(comparison_->Result().TotalChange))
                .arg(counts.Grown)
                .arg(counts.Shrunk)
                .arg(counts.New)
                .arg(counts.Gone),
            30000);
      });
}

void THistoryCommands::EndComparison() {
  ShowComparison(nullptr);
  comparison_.reset();
  UpdateActions();
}

void THistoryCommands::ShowComparison(const TTreeComparison* comparison) {
  form_.Model().SetComparison(comparison);
  if (auto* tree = form_.findChild<QTreeView*>(QStringLiteral("FolderTree"))) tree->viewport()->update();
  if (auto* page = form_.findChild<TSubfoldersPage*>()) page->SetComparison(comparison);
}

void THistoryCommands::RefreshComparison() {
  if (!comparison_ || form_.Session().Scanning()) return;
  TTreeNode* root = form_.Session().FindFolder(comparison_->RootPath());
  if (!root || !root->Data()) {
    const QString path = comparison_->RootPath();
    EndComparison();
    form_.statusBar()->showMessage(
        QStringLiteral("The comparison with the snapshot ended: %1 is no longer in the folder tree.").arg(path), 15000);
    return;
  }
  ShowComparison(nullptr);
  comparison_->Rebuild(root);
  ShowComparison(comparison_.get());
}

void THistoryCommands::ScanStarted() {
  drivesBeforeScan_.clear();
  for (const QChar letter : form_.Session().ScannedDrives()) {
    const TDriveRecInfo* drive = form_.Session().Drive(letter);
    if (drive && drive->Node) drivesBeforeScan_ += letter;
  }
  // The scan replaces nodes: the marks go until it ends.
  if (comparison_) ShowComparison(nullptr);
}

void THistoryCommands::ScanFinished(bool aborted) {
  RefreshComparison();
  if (aborted || !form_.Settings()->SaveSnapshotAfterScan) return;
  for (const QChar letter : form_.Session().ScannedDrives()) {
    if (drivesBeforeScan_.contains(letter)) continue;
    SaveDriveSnapshot(letter, true);
  }
}

void THistoryCommands::ManageSnapshots() {
  TSnapshotListBox box(TSnapshotListBox::Manage, jobs_, StoreName(), &form_);
  RunModalDialog(box);
}

void THistoryCommands::ReportWhatChanged(bool print) {
  UpdateActions();
  if (!comparison_ || form_.Session().Scanning()) return;
  const TChangeReport report = BuildChangeReport(*comparison_, QDateTime::currentDateTime());
  if (print) cmdFilePrintWhatChanged(&form_, report);
  else cmdFileReportWhatChanged(&form_, report);
}
