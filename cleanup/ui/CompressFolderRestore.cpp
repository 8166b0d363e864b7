// The archive dialog's restore page: the archives of a drive as its catalogue lists them, and
// what can be done with one: rename its description, delete it, restore its folder.
#include "cleanup/ui/CompressFolderBox.h"

#include "cleanup/RestoreArchive.h"
#include "cleanup/ui/ShadowTitle.h"
#include "config/IniFile.h"
#include "platform/DriveTable.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "shell/MessageBoxes.h"
#include "shell/ShBrowse.h"
#include "ui/controls/DriveComboBox.h"

#include <memory>

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>

#include <exception>

namespace {

constexpr int KeyRole = Qt::UserRole;
constexpr int NoOriginRole = Qt::UserRole + 1;  // the entry has no original location

void Tell(QWidget* parent, TMessageIcon icon, const QString& text) {
  TMessageRequest request;
  request.Parent = parent;
  request.Caption = ProgramName;
  request.Icon = icon;
  request.Text = text;
  ShowMessage(request);
}

// A folder typed as a drive path or as a host path, as a host path.
std::optional<QByteArray> TypedFolder(const QString& text) {
  if (SplitDrivePath(text)) return DriveToHost(text);
  if (text.startsWith(QLatin1Char('/'))) return CleanHostPath(QFile::encodeName(text));
  return std::nullopt;
}

}  // namespace

void TCleanUpCompressFolderBox::BuildRestorePage() {
  titleRestore_ = new TShadowTitle(QStringLiteral("Restore folder from a ZIP archive"), sheetRestore);
  titleRestore_->setGeometry(8, 8, 390, 28);

  auto* lblDrive = new QLabel(QStringLiteral("Folders compressed by Korvane stored on drive"), sheetRestore);
  lblDrive->setGeometry(8, 42, 390, 18);
  cbRestoreDrivesList = new TShExDriveComboBox(sheetRestore);
  cbRestoreDrivesList->setGeometry(8, 60, 260, 26);

  lvArchives = new QTreeWidget(sheetRestore);
  lvArchives->setColumnCount(3);
  lvArchives->setHeaderLabels(
      {QStringLiteral("Archive Description"), QStringLiteral("Folder Name"), QStringLiteral("Original Location")});
  lvArchives->setRootIsDecorated(false);
  lvArchives->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvArchives->setSelectionMode(QAbstractItemView::SingleSelection);
  lvArchives->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  lvArchives->header()->setSectionsClickable(false);
  lvArchives->setColumnWidth(0, 160);
  lvArchives->setColumnWidth(1, 100);
  lvArchives->setColumnWidth(2, 200);
  lvArchives->setGeometry(8, 92, 390, 110);

  auto* lblPath = new QLabel(QStringLiteral("Restore folder to the following &location:"), sheetRestore);
  lblPath->setGeometry(8, 208, 390, 18);
  ediRestorePath = new QLineEdit(sheetRestore);
  ediRestorePath->setGeometry(8, 226, 358, 24);
  lblPath->setBuddy(ediRestorePath);
  cmdRestorePath = new QPushButton(sheetRestore);
  cmdRestorePath->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  cmdRestorePath->setToolTip(QStringLiteral("Browse"));
  cmdRestorePath->setAutoDefault(false);
  cmdRestorePath->setGeometry(370, 226, 28, 24);

  chkDeleteArchive = new QCheckBox(QStringLiteral("&Delete archive after restoring folder"), sheetRestore);
  chkDeleteArchive->setGeometry(8, 256, 390, 22);

  cmdDeleteArchive = new QPushButton(QStringLiteral("Delete Archive"), sheetRestore);
  cmdDeleteArchive->setAutoDefault(false);
  cmdDeleteArchive->setGeometry(8, 282, 110, 26);
  cmdRestore = new QPushButton(QStringLiteral("&Restore >>"), sheetRestore);
  QFont bold = cmdRestore->font();
  bold.setBold(true);
  cmdRestore->setFont(bold);
  cmdRestore->setGeometry(298, 280, 100, 28);

  connect(cbRestoreDrivesList, &TShExDriveComboBox::Change, this, &TCleanUpCompressFolderBox::cbRestoreDrivesListChange);
  connect(lvArchives, &QTreeWidget::itemSelectionChanged, this, &TCleanUpCompressFolderBox::lvArchivesChange);
  connect(lvArchives, &QTreeWidget::itemChanged, this, &TCleanUpCompressFolderBox::lvArchivesEdited);
  connect(ediRestorePath, &QLineEdit::textChanged, this, &TCleanUpCompressFolderBox::ediRestorePathChange);
  connect(cmdRestorePath, &QPushButton::clicked, this, &TCleanUpCompressFolderBox::cmdRestorePathClick);
  connect(cmdDeleteArchive, &QPushButton::clicked, this, [this] { DeleteArchive(true); });
  connect(cmdRestore, &QPushButton::clicked, this, &TCleanUpCompressFolderBox::cmdRestoreClick);
  lvArchivesChange();
}

QString TCleanUpCompressFolderBox::CurrentArchivesFolder() const {
  const QChar letter = cbRestoreDrivesList->Drive();
  return letter.isNull() ? QString() : ArchivesFolderText(letter);
}

QString TCleanUpCompressFolderBox::RowKey(const QTreeWidgetItem* item) {
  return item ? item->data(0, KeyRole).toString() : QString();
}

void TCleanUpCompressFolderBox::cbRestoreDrivesListChange() { FillArchiveList(); }

void TCleanUpCompressFolderBox::FillArchiveList() {
  {
    const QSignalBlocker block(lvArchives);
    lvArchives->clear();
    const QChar letter = cbRestoreDrivesList->Drive();
    const std::optional<QByteArray> folder = letter.isNull() ? std::nullopt : ArchivesFolderOf(letter);
    if (folder) {
      std::vector<TArchiveRecord> records;
      QStringList notes;
      try {
        // Listing also drops the entries whose archive is gone, and recovers the archives the
        // catalogue does not list.
        records = TArchiveCatalogue(*folder).List(&notes);
      } catch (const EIniFileException& e) {
        notes << e.Message();
      }
      if (!notes.isEmpty()) ShowError(notes.join(QLatin1Char('\n')), ekProgram, this);
      for (const TArchiveRecord& r : records) {
        auto* item = new QTreeWidgetItem(lvArchives);
        item->setText(0, r.Description);
        item->setText(1, r.FolderName);
        item->setText(2, r.OriginalPath);
        item->setData(0, KeyRole, r.Key);
        item->setData(0, NoOriginRole, !r.HasOriginalPath);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
      }
    }
  }
  lvArchivesChange();
}

void TCleanUpCompressFolderBox::lvArchivesChange() {
  QTreeWidgetItem* item = lvArchives->selectedItems().value(0);
  const bool selected = item != nullptr;
  cmdRestore->setEnabled(selected);
  cmdRestorePath->setEnabled(selected);
  ediRestorePath->setEnabled(selected);
  cmdDeleteArchive->setEnabled(selected);
  // An entry without an original location is restored only where the user says.
  ediRestorePath->setText(selected && !item->data(0, NoOriginRole).toBool() ? item->text(2) : QString());
  ediRestorePathChange();
}

void TCleanUpCompressFolderBox::ediRestorePathChange() {
  QTreeWidgetItem* item = lvArchives->selectedItems().value(0);
  if (!item) {
    ediRestorePath->setToolTip(QString());
    return;
  }
  // The hint's short part (before the bar) is the tooltip.
  const QString hint = QStringLiteral("The path of the restored folder will be \n") + AddBackslash(ediRestorePath->text()) +
                       item->text(1) + QLatin1Char('|');
  ediRestorePath->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
}

void TCleanUpCompressFolderBox::lvArchivesEdited(QTreeWidgetItem* item, int column) {
  if (column != 0 || !item) return;
  const std::optional<QByteArray> folder = ArchivesFolderOf(cbRestoreDrivesList->Drive());
  if (!folder) return;
  try {
    QString text = item->text(0);
    if (text.isNull()) text = QStringLiteral("");
    TArchiveCatalogue(*folder).SetDescription(RowKey(item), text);
  } catch (const EIniFileException& e) {
    ShowError(e.Message(), ekProgram, this);
  }
}

void TCleanUpCompressFolderBox::cmdRestorePathClick() {
  TFolderBrowse browse;
  browse.Parent = this;
  browse.Title = QStringLiteral(
      "Select the destination folder where you want to restore the selected folder from the ZIP archive.");
  browse.Folder = ediRestorePath->text();
  browse.AllowDriveRoots = true;
  if (browse.Execute()) ediRestorePath->setText(browse.Folder);
}

void TCleanUpCompressFolderBox::DeleteArchive(bool ask) {
  QTreeWidgetItem* item = lvArchives->selectedItems().value(0);
  if (!item) return;
  const QString key = RowKey(item);
  if (ask) {
    TMessageRequest request;
    request.Parent = this;
    request.Caption = ProgramName;
    request.Icon = TMessageIcon::Question;
    request.Buttons = mbYes | mbNo | mbCancel;
    request.DefaultButton = mbNo;
    request.Text = QStringLiteral("Really delete the ZIP archive that contains the folder '") + item->text(1) +
                   QStringLiteral("' ?\n\n") +
                   QStringLiteral("Warning: You will not be able to restore any file from this folder if you delete "
                                  "the ZIP archive.");
    if (ShowMessage(request) != mbYes) return;
  }
  const std::optional<QByteArray> folder = ArchivesFolderOf(cbRestoreDrivesList->Drive());
  if (!folder) return;
  QString error;
  bool deleted = false;
  try {
    deleted = TArchiveCatalogue(*folder).DeleteArchive(key, &error);
  } catch (const EIniFileException& e) {
    error = e.Message();
  }
  if (!deleted) {
    // The reason the system gave follows the archive's name.
    const qsizetype why = error.lastIndexOf(QStringLiteral(" ("));
    Tell(this, TMessageIcon::Error,
         QStringLiteral("Could not delete archive ") + CurrentArchivesFolder() + QLatin1Char('\\') + key +
             (why >= 0 ? error.mid(why) : QString()));
    return;
  }
  FillArchiveList();
}

void TCleanUpCompressFolderBox::cmdRestoreClick() {
  QTreeWidgetItem* item = lvArchives->selectedItems().value(0);
  if (started_ || !item) return;
  StoreOptions();
  const QString typed = ediRestorePath->text().trimmed();
  const std::optional<QByteArray> target = typed.isEmpty() ? std::nullopt : TypedFolder(typed);
  if (!target) {
    Tell(this, TMessageIcon::Error,
         typed.isEmpty() ? QStringLiteral("Please type the folder where the folder should be restored.")
                         : QStringLiteral("\"%1\" is not a folder on any drive.").arg(typed));
    ediRestorePath->setFocus();
    return;
  }
  const QString key = RowKey(item);
  const QString folderName = item->text(1);
  const QChar archiveDrive = cbRestoreDrivesList->Drive();
  const QString archiveText = CurrentArchivesFolder() + QLatin1Char('\\') + key;
  const QString restoredText = AddBackslash(typed) + folderName;
  const std::optional<QString> targetDrive = HostToDrive(*target);

  ShowProgressPage(QStringLiteral("Now Restoring..."));
  restoring_ = true;
  passwordRefused_ = false;
  TRestoreRequest request;
  request.Drive = archiveDrive;
  request.Key = key;
  request.Target = *target;
  request.DeleteArchive = chkDeleteArchive->isChecked();
  request.Password = [this, archiveText](TZipPasswordPurpose purpose) { return AskPasswordFromWork(purpose, archiveText); };
  request.OnMessage = [this](int code, const QString& text) { EngineMessageFromWork(code, text); };

  auto outcome = std::make_shared<TRestoreOutcome>();
  RunOperation([request, outcome](TOpContext& context) { *outcome = RestoreArchive(request, context); },
               [this, request, outcome, archiveText, restoredText, targetDrive](bool fatal) {
                 FinishRestore(fatal, request, *outcome, archiveText, restoredText, targetDrive);
               });
}

void TCleanUpCompressFolderBox::FinishRestore(bool fatal, const TRestoreRequest& request, const TRestoreOutcome& outcome,
                                              const QString& archiveText, const QString& restoredText,
                                              const std::optional<QString>& targetDrive) {
  if (fatal) ShowError(QStringLiteral("A fatal error encountered while restoring from the ZIP archive"), ekProgram, this);

  const bool restored = !fatal && (outcome.Result.status == TOpStatus::Done ||
                                   outcome.Result.status == TOpStatus::PartlyDone);
  if (restored) {
    Tell(this, TMessageIcon::Information, QStringLiteral("The folder ") + restoredText + QStringLiteral(" was successfully restored"));
    if (request.DeleteArchive && !outcome.ArchiveDeleted)
      Tell(this, TMessageIcon::Error, QStringLiteral("Could not delete archive ") + archiveText);
  } else {
    Tell(this, TMessageIcon::Error,
         QStringLiteral("The folder ") + restoredText + QStringLiteral(" was not successfully ") +
             QStringLiteral("restored. The ZIP archive containing the folder (") + archiveText +
             QStringLiteral(") will not be deleted from your hard-disk so you can try to manually ") +
             QStringLiteral("restore the folder from the archive."));
  }
  // The caller brings the tree up to date where the folder was restored (when its drive is in
  // the tree); nothing to ask the user.
  if (outcome.Result.changed && targetDrive && scannedDrives_.contains(targetDrive->at(0).toUpper(), Qt::CaseInsensitive))
    changedFolders_ << *targetDrive;
  // A restore is the dialog's last act.
  QDialog::accept();
}
