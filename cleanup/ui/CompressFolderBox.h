#pragma once
// The archive dialog: a page that compresses a folder into a ZIP file in a drive's hidden
// "Archives Bin" (optionally moving the folder into it), a page that lists the archives of a drive
// and restores, renames or deletes them, and a progress page that follows either operation and
// then shows what came of it. One operation per dialog. The operations run on the user-interface
// thread and keep the window answering between steps; Stop (or closing the dialog) stops them,
// and a stopped or failed archive leaves the folder as it was.

#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/FreeOperation.h"
#include "cleanup/OperationRunner.h"
#include "cleanup/RestoreArchive.h"
#include "cleanup/ZipMaster.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QProgressBar;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TShExDriveComboBox;
class TSettings;
class TShadowTitle;

class TCleanUpCompressFolderBox : public QDialog {
  Q_OBJECT
public:
  // The options start from settings and go back into them when an operation starts and when the
  // dialog closes; without settings they start from their defaults and stay in the dialog.
  explicit TCleanUpCompressFolderBox(QWidget* parent = nullptr, TSettings* settings = nullptr);
  ~TCleanUpCompressFolderBox() override;

  // Opens on the archive page for a folder (its drive path), with its size as the tree knows it and
  // the space it occupies on its drive (its size, plus its cluster waste when wanted), which the
  // results compare with the archive. The bar follows what the engine counts as it archives (the
  // tree's figures may be older than the disk).
  void PrepareArchive(const QString& folderPath, int64_t folderSize, int64_t occupiedSpace);
  // Opens on the restore page alone, as "Restore Compressed Folders".
  void PrepareRestoreOnly();
  // The letters of the drives in the folder tree: a restore into one of them asks for a rescan.
  void SetScannedDrives(const QString& letters) { scannedDrives_ = letters; }

  // Whether the folder handed to the dialog changed on disk (moved into an archive in part or in
  // full), so that the caller brings the tree up to date.
  bool FolderChanged() const { return folderChanged_; }
  // Drive paths of folders on scanned drives that a restore changed, for the caller to rescan.
  const QStringList& ChangedFolders() const { return changedFolders_; }
  int64_t FolderSize() const { return folderSize_; }
  // Whether an operation ran (the other pages cannot be reached any more).
  bool OperationStarted() const { return started_; }
  bool Working() const { return runner_.Running(); }
  // The catalogue key of the archive the dialog made, when it made one.
  const QString& ArchiveKey() const { return archiveKey_; }

  // Archive page.
  QLineEdit* ediZIPDescription = nullptr;
  QLabel* txtStoreOnDrive = nullptr;
  TShExDriveComboBox* cbDrives = nullptr;
  QCheckBox* chkIncludeSubfolders = nullptr;
  QCheckBox* chkIncludeHidden = nullptr;
  QCheckBox* chkDeleteAfterCompressing = nullptr;
  QCheckBox* chkPasswordProtect = nullptr;
  QSpinBox* ediCompressionLevel = nullptr;
  QPushButton* cmdCompress = nullptr;

  // Restore page.
  TShExDriveComboBox* cbRestoreDrivesList = nullptr;
  QTreeWidget* lvArchives = nullptr;
  QLineEdit* ediRestorePath = nullptr;
  QPushButton* cmdRestorePath = nullptr;
  QCheckBox* chkDeleteArchive = nullptr;
  QPushButton* cmdDeleteArchive = nullptr;
  QPushButton* cmdRestore = nullptr;

  // Progress page.
  TShadowTitle* txtProgressTitle = nullptr;
  QLabel* txtProgressFile = nullptr;
  QProgressBar* pbOverall = nullptr;
  QLabel* txtProgress = nullptr;
  QPushButton* cmdStop = nullptr;
  QWidget* panResults = nullptr;
  QLabel* txtCResults1 = nullptr;
  QLabel* txtCResults2 = nullptr;
  QLabel* txtCResults3 = nullptr;
  // What went wrong, or what was kept, when the archive did not come out whole.
  QLabel* txtOutcome = nullptr;

  QTabWidget* ThePages = nullptr;
  QWidget* sheetCompress = nullptr;
  QWidget* sheetRestore = nullptr;
  QWidget* sheetProgress = nullptr;
  QPushButton* cmdClose = nullptr;
  QPushButton* cmdHelp = nullptr;

  // The archive page's command and the restore page's commands.
  void cmdCompressClick();
  void cmdRestoreClick();
  void cmdRestorePathClick();
  // Deletes the selected row's archive, asking first when ask is true.
  void DeleteArchive(bool ask);
  void cmdStopClick();
  void cmdHelpClick();

  // The archives folder the restore page lists ("T:\Archives Bin").
  QString CurrentArchivesFolder() const;
  // The catalogue key of a row of lvArchives.
  static QString RowKey(const QTreeWidgetItem* item);

  // Shows an operation's progress: the bar follows the bytes done of the total (the entries when
  // no byte total is known), never moves back and never passes 100; the entry at hand is shown
  // shortened to the label's width.
  void ShowProgress(const TOpProgress& progress);

  // While working: stops the operation and closes the dialog once it has stopped.
  void reject() override;
  void done(int result) override;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void BuildArchivePage();
  void BuildRestorePage();
  void BuildProgressPage();
  void StoreOptions();

  TSettings* settings_ = nullptr;

  void cbRestoreDrivesListChange();
  void lvArchivesChange();
  void lvArchivesEdited(QTreeWidgetItem* item, int column);
  void ediRestorePathChange();
  void FillArchiveList();

  // The progress page with a title; the other pages' tabs go.
  void ShowProgressPage(const QString& title);
  void SetProgressPosition(int percent);
  // Starts operation on a thread of its own with a context whose progress the page shows and
  // whose cancel flag Stop sets; then runs here once it has ended, fatal when it ended in an
  // exception (the caller says that a fatal error was met).
  void RunOperation(std::function<void(TOpContext&)> operation, std::function<void(bool fatal)> then);
  // The engine's questions and messages, asked from the work's thread and answered on this one.
  std::optional<QByteArray> AskPasswordFromWork(TZipPasswordPurpose purpose, const QString& what);
  void EngineMessageFromWork(int code, const QString& text);
  void FinishRestore(bool fatal, const TRestoreRequest& request, const TRestoreOutcome& outcome, const QString& archiveText,
                     const QString& restoredText, const std::optional<QString>& targetDrive);
  void ShowArchiveResults(int64_t archiveBytes, QChar archiveDrive, const QString& note);
  void ShowArchiveFailure(const QString& message);
  void EngineMessage(int code, const QString& text);
  std::optional<QByteArray> AskPassword(TZipPasswordPurpose purpose, const QString& archive);

  QString folderPath_;
  int64_t folderSize_ = 0;
  int64_t occupiedSpace_ = 0;
  QString scannedDrives_;
  QStringList changedFolders_;
  QString archiveKey_;
  bool restoreOnly_ = false;
  bool started_ = false;
  bool folderChanged_ = false;
  bool closeRequested_ = false;
  bool restoring_ = false;
  bool passwordRefused_ = false;
  TOperationRunner runner_;
  TShadowTitle* titleCompress_ = nullptr;
  TShadowTitle* titleRestore_ = nullptr;
};

// The drive the archive and restore pages start on: the drive of the folder the last archive or
// restore worked on, else the drive of the working folder, else the first drive.
QChar StartArchiveDrive();
void RememberArchiveDrive(QChar letter);
