#include "reports/UnattendedReport.h"

#include "platform/DriveTable.h"
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

namespace {

QString& StartFolderStore() {
  static QString folder;
  return folder;
}

bool IsDrivePathText(const QString& text) {
  return text.size() >= 2 && text[0].isLetter() && text[0].unicode() < 128 && text[1] == QLatin1Char(':') &&
         (text.size() == 2 || text[2] == QLatin1Char('\\') || text[2] == QLatin1Char('/'));
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
  if (StartFolderStore().isEmpty()) StartFolderStore() = QDir::currentPath();
}

QString StartFolder() { return StartFolderStore().isEmpty() ? QDir::currentPath() : StartFolderStore(); }

QString ReportFolderPath(const QString& folder, const QString& startFolder) {
  if (IsDrivePathText(folder)) {
    QString path = folder;
    path[0] = path[0].toUpper();
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (path.size() == 2) path += QLatin1Char('\\');
    // "C:\a\" and "C:\a" are the same folder.
    return IsDriveRoot(path) ? path : RemoveBackslash(path);
  }
  const QString host = QDir::cleanPath(QDir(startFolder).absoluteFilePath(folder));
  const auto drivePath = HostToDrive(QFile::encodeName(host));
  return drivePath ? *drivePath : QString();
}

QString ReportDestinationPath(const TReportRequest& request, const QString& startFolder) {
  if (request.ToPrinter()) return QString::fromLatin1(PrinterDestination);
  const QString file = QDir(startFolder).absoluteFilePath(request.Destination);
  return WithDefaultExtension(file, ReportExtension(request.Kind));
}

TReportOutcome RunUnattendedReport(const TReportRequest& request, TSubfolderView& view, const TReportContext& context) {
  TViewRestore restore(view);
  ApplyReportOptions(request, view);

  const QString path = ReportFolderPath(request.Folder, context.StartFolder);
  if (path.isEmpty()) return Failure(QStringLiteral("%1 is not on any drive.").arg(request.Folder));
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

  const QDateTime now = context.Now.isValid() ? context.Now : QDateTime::currentDateTime();
  const TFolderInfoReport info = request.Kind == TReportKind::FolderInformation
                                     ? BuildFolderInfoReport(*node, path, drive.ClusterSize, now)
                                     : TFolderInfoReport{};
  const TSubfolderListReport list = BuildSubfolderListReport(*node, path, view);
  tree.Clear();

  return DeliverReport(request, path, info, list, context);
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
    const QString destination = ReportDestinationPath(request, context.StartFolder);
    if (!WriteReportFile(destination, request.Kind, info, list, &error))
      return Failure(ReportFailedText + QStringLiteral(": ") + destination + QStringLiteral(": ") + error);
    outcome.Output = destination;
    outcome.Message = QStringLiteral("The report of %1 was written to %2.").arg(path, destination);
  }
  outcome.Written = true;
  return outcome;
}
