#include "ui/main/ReportEntry.h"

#include "reports/ReportRequest.h"
#include "reports/UnattendedReport.h"
#include "reports/print/ReportProgram.h"
#include "scan/Format.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"

#include <QApplication>

#include <cstdio>

void RunReportRequest(TMainForm& form, const QStringList& arguments) {
  const TReportParse parse = ParseReportCommandLine(arguments);
  // An unknown kind or too few arguments: no report, as before.
  if (parse.Status != TReportParseStatus::Ok) return;

  TSubfolderView view = SavedSubfolderView();
  TReportContext context;
  context.StartFolder = StartFolder();
  context.Printer = DefaultReportPrinter();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const TReportOutcome outcome = RunUnattendedReport(parse.Request, view, context);
  QApplication::restoreOverrideCursor();

  if (parse.Request.Quiet) {
    if (outcome.ExitCode != 0) std::fprintf(stderr, "korvane: %s\n", outcome.Message.toLocal8Bit().constData());
    form.close();
    QApplication::exit(outcome.ExitCode);
    return;
  }
  if (outcome.ExitCode != 0) {
    TMessageRequest request;
    request.Parent = &form;
    request.Text = outcome.Message;
    request.Caption = ProgramName;
    request.Icon = TMessageIcon::Error;
    ShowMessage(request);
  }
}
