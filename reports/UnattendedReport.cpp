#include "reports/UnattendedReport.h"

#include "platform/DriveTable.h"
#include "platform/UserPath.h"
#include "reports/ReportSource.h"
#include "reports/ReportView.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"
#include "scan/ScanHost.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

QString& StartFolderStore() {
  static QString folder;
  return folder;
}

// Puts the view back however the report ends.
class TViewRestore {
public:
  explicit TViewRestore(TSubfolderView& view) : view_(view) { backup_.Push(view); }
  ~TViewRestore() { view_ = backup_.Pop(); }
  TViewRestore(const TViewRestore&) = delete;
  TViewRestore& operator=(const TViewRestore&) = delete;

private:
  TSubfolderView& view_;
  TSimpleDataBackUp backup_;
};

TReportOutcome Failure(const QString& message) {
  TReportOutcome outcome;
  outcome.ExitCode = 1;
  outcome.Message = message;
  return outcome;
}

}  // namespace

void RememberStartFolder() {
  if (!StartFolderStore().isEmpty()) return;
  // Its bytes as they are: a folder name that is not UTF-8 still leads back to the same folder.
  const QByteArray cwd = WorkingFolderBytes();
  StartFolderStore() = cwd.isEmpty() ? QDir::currentPath() : HostPathText(cwd);
}

QString StartFolder() {
  if (!StartFolderStore().isEmpty()) return StartFolderStore();
  const QByteArray cwd = WorkingFolderBytes();
  return cwd.isEmpty() ? QDir::currentPath() : HostPathText(cwd);
}

QString ReportFolderPath(const QString& folder, const QString& startFolder, QString* error) {
  if (LooksLikeDrivePath(folder)) {
    // Only to refuse a ".." the kernel would not take as text; the folder stays a drive path.
    if (!GivenDrivePathToHost(folder, error)) return QString();
    QString path = folder;
    path[0] = path[0].toUpper();
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (path.size() == 2) path += QLatin1Char('\\');
    // "C:\a\" and "C:\a" are the same folder.
    return IsDriveRoot(path) ? path : RemoveBackslash(path);
  }
  const std::optional<QByteArray> host = CleanGivenHostPath(HostPathBytes(folder), HostPathBytes(startFolder), error);
  if (!host) return QString();
  const std::optional<QString> drivePath = HostToDrive(*host);
  if (!drivePath) {
    if (error) *error = QStringLiteral("%1 is not on any drive.").arg(folder);
    return QString();
  }
  return *drivePath;
}

QString ReportDestinationPath(const TReportRequest& request, const QString& startFolder, QString* error) {
  if (request.ToPrinter()) return QString::fromLatin1(PrinterDestination);
  const std::optional<QByteArray> host =
      LooksLikeDrivePath(request.Destination)
          ? GivenDrivePathToHost(request.Destination, error)
          : CleanGivenHostPath(HostPathBytes(request.Destination), HostPathBytes(startFolder), error);
  if (!host) return QString();
  // A device, a FIFO or a socket (or a link to one) given by name is no place for a report, with
  // or without the extension added below ("/dev/full" must not become "/dev/full.txt"). A folder
  // of that name is not either, but a report named after it beside it ("data" gives "data.txt")
  // is what the name asks for.
  struct stat st {};
  if (::stat(host->constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    if (error) *error = QStringLiteral("%1 is not a regular file").arg(HostPathText(*host));
    return QString();
  }
  return WithDefaultExtension(HostPathText(*host), ReportExtension(request.Kind));
}

TReportOutcome RunUnattendedReport(const TReportRequest& request, TSubfolderView& view, const TReportContext& context) {
  TViewRestore restore(view);
  ApplyReportOptions(request, view);

  QString pathError;
  const QString path = ReportFolderPath(request.Folder, context.StartFolder, &pathError);
  if (path.isEmpty()) return Failure(pathError);
  if (!IsDirectory(path)) return Failure(QStringLiteral("The folder %1 was not found.").arg(request.Folder));
  if (request.ToPrinter() && !context.Printer) return Failure(QStringLiteral("There is no printer to print on."));

  // The whole drive for a drive root; otherwise the folder's own tree below nodes for its
  // ancestors, so that its path and figures are those the window shows for it.
  const QChar letter = path[0];
  const QString root = letter + QStringLiteral(":\\");
  TFolderTree tree;
  THeadlessHost host;
  TFolderScanner scanner(tree, host);
  TDriveRecInfo drive;
  drive.Letter = static_cast<char>(letter.unicode());
  TTreeNode* node = nullptr;
  if (IsDriveRoot(path)) {
    scanner.ScanDrive(letter + DriveDisplayName(root), &drive);
    node = drive.Node;
  } else {
    drive.Node = tree.AddTop(DriveDisplayName(root));
    tree.SetStateIndex(drive.Node, static_cast<int32_t>(letter.unicode() & 0xFF) << 8);
    drive.ClusterSize = ClusterSizeOf(root);
    node = drive.Node;
    for (const QString& name : path.mid(3).split(QLatin1Char('\\'), Qt::SkipEmptyParts)) node = tree.AddChild(node, name);
    ScanClusterSize = drive.ClusterSize;
    host.SetBusy(true);
    scanner.ScanFolder(AddBackslash(path), node);
    host.SetBusy(false);
  }
  if (!node || !node->Data()) return Failure(QStringLiteral("The scan of %1 did not complete.").arg(path));
  // A folder that could not be read would be reported as empty: no report then. Folders below it
  // that could not be read count as empty and are named as warnings beside the report.
  QStringList unreadable = scanner.UnreadablePaths();
  if (unreadable.contains(AddBackslash(path)))
    return Failure(QStringLiteral("The folder %1 cannot be read: no report was written.").arg(path));

  const QDateTime now = context.Now.isValid() ? context.Now : QDateTime::currentDateTime();
  const TFolderInfoReport info = request.Kind == TReportKind::FolderInformation
                                     ? BuildFolderInfoReport(*node, path, drive.ClusterSize, now)
                                     : TFolderInfoReport{};
  const TSubfolderListReport list = BuildSubfolderListReport(*node, path, view);
  tree.Clear();

  TReportOutcome outcome = DeliverReport(request, path, info, list, context);
  if (outcome.Written)
    for (const QString& folder : unreadable)
      outcome.Warnings << QStringLiteral("The folder %1 cannot be read; it counts as empty.").arg(RemoveBackslash(folder));
  return outcome;
}

TReportOutcome DeliverReport(const TReportRequest& request, const QString& path, const TFolderInfoReport& info,
                             const TSubfolderListReport& list, const TReportContext& context) {
  TReportOutcome outcome;
  QString error;
  if (request.ToPrinter()) {
    if (!context.Printer) return Failure(QStringLiteral("There is no printer to print on."));
    if (!context.Printer(request.Kind, info, list, &error)) return Failure(ReportFailedText + QStringLiteral(": ") + error);
    outcome.Message = QStringLiteral("The report of %1 was sent to the printer.").arg(path);
  } else {
    const QString destination = ReportDestinationPath(request, context.StartFolder, &error);
    if (destination.isEmpty()) return Failure(ReportFailedText + QStringLiteral(": ") + error);
    if (!WriteReportFile(destination, request.Kind, info, list, &error))
      return Failure(ReportFailedText + QStringLiteral(": ") + error);  // the error names the file
    outcome.Output = destination;
    outcome.Message = QStringLiteral("The report of %1 was written to %2.").arg(path, destination);
  }
  outcome.Written = true;
  return outcome;
}
