#pragma once
// The report command line run without any window (korvane /R... /Q): for scripts and cron, on a
// machine with or without a display.

#include "reports/UnattendedReport.h"

class QPrinter;

// Prints on printer (already set up, the default printer or a file).
TReportPrinter ReportPrinterOn(QPrinter& printer);
// Prints on the system's default printer; fails with a message when there is none.
TReportPrinter DefaultReportPrinter();

// The whole run: exit 0 when the report was written, 1 when it failed (the message on stderr),
// 2 for a command line that is no report request. arguments: without the program's name.
int RunReportProgram(int argc, char** argv);
