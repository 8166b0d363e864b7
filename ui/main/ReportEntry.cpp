#include "ui/main/ReportEntry.h"

#include "config/Options.h"
#include "platform/DriveTable.h"
#include "reports/ReportRequest.h"
#include "reports/ReportSource.h"
#include "reports/ReportView.h"
#include "reports/UnattendedReport.h"
#include "reports/print/ReportProgram.h"
#include "scan/ScanQueue.h"
#include "scan/ScanSession.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"
#include "ui/main/MainFormInternal.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/SubfoldersPage.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>

#include <cstdio>

namespace {

// The window's part of the view: the subfolder list's filter and order and the wasted-space
// setting with its toolbar button.
TSubfolderView WindowView(TMainForm& form) {
  TSubfolderView view = form.findChild<TSubfoldersPage*>()->View();
  view.IncludeWasted = form.Settings()->IncludeWastedInformation;
  return view;
}

void SetWindowView(TMainForm& form, const TSubfolderView& view) {
  form.findChild<TSubfoldersPage*>()->SetView(view);
  form.Settings().Change([&view](TSettingValues& s) { s.IncludeWastedInformation = view.IncludeWasted; });
  form.InvalidateAll(true);
}

// The report of the folder the window shows now, when it is the report's folder.
TReportOutcome ReportOfShownFolder(TMainForm& form, const TReportRequest& request, const TReportContext& context,
                                   const QString& path) {
  TReportOutcome outcome;
  outcome.ExitCode = 1;
  // Only the folder itself: when it could not be found the window shows another one.
  TTreeNode* node = form.Current().Node();
  if (node && node->Data() && RemoveBackslash(form.Current().Path()) == RemoveBackslash(path)) {
    const TFolderInfoReport info =
        request.Kind == TReportKind::FolderInformation
            ? BuildFolderInfoReport(*node, form.Current().Path(), form.Current().DriveClusterSize(),
                                    context.Now.isValid() ? context.Now : QDateTime::currentDateTime())
            : TFolderInfoReport{};
    const TSubfolderListReport list =
        BuildSubfolderListReport(*node, form.Current().Path(), form.findChild<TSubfoldersPage*>()->CurrentSettings());
    outcome = DeliverReport(request, form.Current().Path(), info, list, context);
  } else if (form.Session().Aborted()) {
    outcome.Message = QStringLiteral("The scan of %1 was stopped: no report was written.").arg(path);
  } else {
    outcome.Message = QStringLiteral("The folder %1 was not found.").arg(request.Folder);
  }
  return outcome;
}

// Scans or selects the report's folder in the window's tree and, once its scan has ended, writes
// its report from what the window shows for it. The view is put back however it ends.
void RunInWindow(TMainForm& form, const TReportRequest& request, const TReportContext& context,
                 const std::function<void(const TReportOutcome&)>& deliver) {
  const TSubfolderView saved = WindowView(form);
  TSubfolderView view = saved;
  ApplyReportOptions(request, view);
  SetWindowView(form, view);

  const QString path = ReportFolderPath(request.Folder, context.StartFolder);
  auto finish = [&form, request, context, path, saved, deliver] {
    TReportOutcome outcome;
    try {
      outcome = ReportOfShownFolder(form, request, context, path);
    } catch (...) {
      SetWindowView(form, saved);
      throw;
    }
    SetWindowView(form, saved);
    deliver(outcome);
  };
  if (path.isEmpty()) {
    SetWindowView(form, saved);
    TReportOutcome outcome;
    outcome.ExitCode = 1;
    outcome.Message = QStringLiteral("%1 is not on any drive.").arg(request.Folder);
    deliver(outcome);
    return;
  }
  const bool ran = form.Scans().Run([&] {
    if (IsDriveRoot(path))
      form.ScanCommands().ScanOrRescanDrive(MainFormInternal::DriveText(path[0]));
    else
      form.ScanCommands().GoToFolder(path);
    form.Scans().Then(finish);
  });
  if (!ran) finish();
}

}  // namespace

void RunReportRequest(TMainForm& form, const QStringList& arguments, const std::function<void()>& done) {
  const TReportParse parse = ParseReportCommandLine(arguments);
  PrintIgnoredReportOptions(parse);
  // An unknown kind or too few arguments: no report, as before.
  if (parse.Status != TReportParseStatus::Ok) {
    if (done) done();
    return;
  }

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
    if (done) done();
    return;
  }
  RunInWindow(form, parse.Request, context, [&form, done](const TReportOutcome& outcome) {
    // A window closed while the folder was scanned has no one left to tell.
    if (outcome.ExitCode != 0 && form.isVisible()) {
      TMessageRequest request;
      request.Parent = &form;
      request.Text = outcome.Message;
      request.Caption = ProgramName;
      request.Icon = TMessageIcon::Error;
      ShowMessage(request);
    }
    if (done) done();
  });
}
