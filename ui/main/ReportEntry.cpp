#include "ui/main/ReportEntry.h"

#include "scan/Format.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"

void RunReportRequest(TMainForm& form, const QStringList& arguments) {
  TMessageRequest request;
  request.Parent = &form;
  request.Text = QStringLiteral("Reports from the command line (%1) are not available in this version.").arg(arguments.join(QLatin1Char(' ')));
  request.Caption = ProgramName;
  request.Icon = TMessageIcon::Information;
  ShowMessage(request);
}
