#include "reports/print/ChangeReportCommands.h"

#include "reports/ReportWriters.h"
#include "reports/print/PrinterSink.h"
#include "reports/print/ReportCommands.h"
#include "scan/Format.h"
#include "shell/MessageBoxes.h"
#include "shell/ModalDialogs.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {

void ShowFailure(QWidget* parent, const QString& error) {
  TMessageRequest request;
  request.Parent = parent;
  request.Text = ReportFailedText + QStringLiteral("\n\n") + error;
  request.Caption = ProgramName;
  request.Icon = TMessageIcon::Error;
  ShowMessage(request);
}

}  // namespace

bool PrintChangeReportJob(QPrinter& printer, const TChangeReport& report, QString* error) {
  printer.setPageOrientation(QPageLayout::Landscape);
  TPrinterLineSink sink(printer);
  const bool ok = WriteChangeReport(sink, report);
  return sink.Finish(error) && ok;
}

bool cmdFileReportWhatChanged(QWidget* parent, const TChangeReport& report) {
  const QString file = AskSaveFileName(parent, QStringLiteral("Save What Changed As"), {FolderInformationFilter},
                                       [](const QString& chosen, int) { return WithDefaultExtension(chosen, QStringLiteral(".txt")); },
                                       nullptr, report.Path);
  if (file.isEmpty()) return false;
  QString error;
  if (WriteChangeReportFile(file, report, &error)) return true;
  ShowFailure(parent, error);
  return false;
}

bool cmdFilePrintWhatChanged(QWidget* parent, const TChangeReport& report) {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, parent);
  if (RunModalDialog(dialog) != QDialog::Accepted) return false;
  QString error;
  if (PrintChangeReportJob(printer, report, &error)) return true;
  ShowFailure(parent, error);
  return false;
}
