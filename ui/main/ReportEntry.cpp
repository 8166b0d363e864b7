#include "ui/main/ReportEntry.h"

#include "config/Options.h"
#include "platform/DriveTable.h"
#include "reports/ReportRequest.h"
#include "reports/ReportSource.h"
#include "reports/ReportView.h"
#include "reports/UnattendedReport.h"
#include "reports/print/ReportProgram.h"
#include "scan/ScanSession.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"
#include "ui/main/MainFormInternal.h"
#include "ui/main/SubfoldersPage.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>

#include <cstdio>

namespace {

// The window's part of the view: the subfolder list's filter and order and the wasted-space
// setting with its toolbar button.
TSubfolderView WindowView(TMainForm& form) {
  TSubfolderView view = form.SubfoldersPage->View();
  view.IncludeWasted = IncludeWastedInformation->Value;
  return view;
}

void SetWindowView(TMainForm& form, const TSubfolderView& view) {
  form.SubfoldersPage->SetView(view);
  IncludeWastedInformation->Value = view.IncludeWasted;
  form.toolShowWasted->setChecked(view.IncludeWasted);
  form.InvalidateAll(true);
}

// Scans or selects the report's folder in the window's tree and writes its report from what the
// window shows for it. The view is put back however it ends.
TReportOutcome RunInWindow(TMainForm& form, const TReportRequest& request, const TReportContext& context) {
  TSimpleDataBackUp backup;
  TSubfolderView view = WindowView(form);
  backup.Push(view);
  ApplyReportOptions(request, view);
  SetWindowView(form, view);

  TReportOutcome outcome;
  outcome.ExitCode = 1;
  const QString path = ReportFolderPath(request.Folder, context.StartFolder);
  if (path.isEmpty()) {
    outcome.Message = QStringLiteral("%1 is not on any drive.").arg(request.Folder);
  } else {
    if (IsDriveRoot(path))
      form.ScanOrRescanDrive(MainFormInternal::DriveText(path[0]));
    else
      form.GoToFolder(path);
    // Only the folder itself: when it could not be found the window shows another one.
    TTreeNode* node = form.CurrentNode;
    if (node && node->Data() && RemoveBackslash(form.CurrentPath) == RemoveBackslash(path)) {
      const TFolderInfoReport info =
          request.Kind == TReportKind::FolderInformation
              ? BuildFolderInfoReport(*node, form.CurrentPath, form.DriveClusterSize,
                                      context.Now.isValid() ? context.Now : QDateTime::currentDateTime())
              : TFolderInfoReport{};
      const TSubfolderListReport list =
          BuildSubfolderListReport(*node, form.CurrentPath, form.SubfoldersPage->CurrentSettings());
      outcome = DeliverReport(request, form.CurrentPath, info, list, context);
    } else if (form.Session().Aborted()) {
      outcome.Message = QStringLiteral("The scan of %1 was stopped: no report was written.").arg(path);
    } else {
      outcome.Message = QStringLiteral("The folder %1 was not found.").arg(request.Folder);
    }
  }
  SetWindowView(form, backup.Pop());
  return outcome;
}

}  // namespace

void RunReportRequest(TMainForm& form, const QStringList& arguments) {
  const TReportParse parse = ParseReportCommandLine(arguments);
  PrintIgnoredReportOptions(parse);
  // An unknown kind or too few arguments: no report, as before.
  if (parse.Status != TReportParseStatus::Ok) return;

  TReportContext context;
  context.StartFolder = StartFolder();
  context.Printer = DefaultReportPrinter();

  if (parse.Request.Quiet) {
    TSubfolderView view = SavedSubfolderView();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TReportOutcome outcome = RunUnattendedReport(parse.Request, view, context);
    QApplication::restoreOverrideCursor();
    if (outcome.ExitCode != 0) std::fprintf(stderr, "korvane: %s\n", outcome.Message.toLocal8Bit().constData());
    form.close();
    QApplication::exit(outcome.ExitCode);
    return;
  }
  const TReportOutcome outcome = RunInWindow(form, parse.Request, context);
  // A window closed while the folder was scanned has no one left to tell.
  if (outcome.ExitCode != 0 && form.isVisible()) {
    TMessageRequest request;
    request.Parent = &form;
    request.Text = outcome.Message;
    request.Caption = ProgramName;
    request.Icon = TMessageIcon::Error;
    ShowMessage(request);
  }
}
