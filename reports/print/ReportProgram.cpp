#include "reports/print/ReportProgram.h"

#include "config/DriveLetterStore.h"
#include "platform/DriveTable.h"
#include "platform/UserPath.h"
#include "reports/print/PrinterSink.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>

TReportPrinter ReportPrinterOn(QPrinter& printer) {
  return [&printer](TReportKind kind, const TFolderInfoReport& info, const TSubfolderListReport& list, QString* error) {
    return kind == TReportKind::FolderInformation ? PrintFolderInformationJob(printer, info, list, error)
                                                  : PrintSubfolderListJob(printer, list, error);
  };
}

TReportPrinter DefaultReportPrinter() {
  return [](TReportKind kind, const TFolderInfoReport& info, const TSubfolderListReport& list, QString* error) {
    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    if (defaultPrinter.isNull()) {
      if (error) *error = QStringLiteral("There is no default printer.");
      return false;
    }
    QPrinter printer(defaultPrinter, QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Korvane report"));
    return ReportPrinterOn(printer)(kind, info, list, error);
  };
}

int RunReportProgram(int argc, char** argv) {
  // No window is ever shown: a display is not needed, and cron has none.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  RememberStartFolder();
  QGuiApplication app(argc, argv);
  // From argv itself (what the application left of it): every byte of a path is kept.
  const QStringList arguments = DecodeArguments(argc, argv);

  const TReportParse parse = ParseReportCommandLine(arguments);
  PrintIgnoredReportOptions(parse);
  if (parse.Status != TReportParseStatus::Ok) {
    std::fprintf(stderr, "korvane: %s\n%s", parse.Error.toLocal8Bit().constData(), ReportUsage);
    return 2;
  }
  static TRegistryDriveLetterStore letterStore;
  TDriveTable::Instance().SetLetterStore(&letterStore);

  TSubfolderView view = SavedSubfolderView();
  TReportContext context;
  context.StartFolder = StartFolder();
  context.Printer = DefaultReportPrinter();
  const TReportOutcome outcome = RunUnattendedReport(parse.Request, view, context);
  TDriveTable::Instance().SetLetterStore(nullptr);
  if (outcome.ExitCode != 0) {
    std::fprintf(stderr, "korvane: %s\n", HostPathBytes(outcome.Message).constData());
    return outcome.ExitCode;
  }
  for (const QString& warning : outcome.Warnings) std::fprintf(stderr, "korvane: %s\n", HostPathBytes(warning).constData());
  if (!outcome.Output.isEmpty()) std::printf("report: %s\n", HostPathBytes(outcome.Output).constData());
  else std::printf("report: %s\n", PrinterDestination);
  return 0;
}
