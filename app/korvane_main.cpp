// korvane [FOLDER or DRIVE ...]: the program with its windows.
// korvane /R... FOLDER DESTINATION [options] /Q: a report made without any window.

#include "reports/ReportRequest.h"
#include "reports/UnattendedReport.h"
#include "reports/print/ReportProgram.h"
#include "ui/main/Startup.h"

#include <QFile>
#include <QStringList>

int main(int argc, char** argv) {
  // Before anything can change the working folder: relative report destinations are taken from it.
  RememberStartFolder();
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QFile::decodeName(argv[i]);
  if (IsReportCommandLine(arguments) && HasQuietOption(arguments)) return RunReportProgram(argc, argv);
  return RunKorvane(argc, argv);
}
