// korvane [FOLDER or DRIVE or SCANFILE.json ...]: the program with its windows.
// korvane /R... FOLDER DESTINATION [options] /Q: a report made without any window.

#include "app/InfoOptions.h"
#include "reports/ReportRequest.h"
#include "reports/UnattendedReport.h"
#include "reports/print/ReportProgram.h"
#include "ui/main/Startup.h"

#include "platform/UserPath.h"

#include <QStringList>

namespace {

const char UsageText[] =
    "usage: korvane [FOLDER or DRIVE or SCANFILE.json ...]\n"
    "       korvane /RKIND FOLDER OUTPUT [/OPTION ...]\n"
    "\n"
    "Shows how the space of your drives is used. Each FOLDER (a host path such as\n"
    "/home/me/data or a drive path such as C:\\data) or DRIVE (C:\\) given is scanned and\n"
    "selected at start. A SCANFILE.json (an export of ncdu -o, gdu -o or korvane-scan\n"
    "--export-ncdu, maybe of another machine) opens as drive A: or B:, to browse, report\n"
    "on and compare, never to change or rescan.\n"
    "\n"
    "A first argument /RINF, /RCSV, /RTAB or /RTXT writes a report of FOLDER to OUTPUT\n"
    "without asking anything: folder information, or the subfolder list as comma-separated,\n"
    "tab-separated or aligned text. Options (in any case): /A all subfolders, /T:N the top N\n"
    "(also /TOP:N), /H:U:N those larger than N in unit U, B, K or M (also /HT:U:N), with N\n"
    "from 0 to 32767; /S:C or /SA:C sort by column C (1 Name ... 8 Last Change, 9 On\n"
    "Disk), /SD:C descending; /W:T or /W:F with or without wasted space; /Q close the\n"
    "program afterwards.\n"
    "Any other argument after OUTPUT is named on standard error as an ignored option.\n"
    "\n"
    "  -h, --help     show this text\n"
    "  --version      show the version\n";

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> answered = AnswerInfoOption(argc, argv, "korvane", UsageText)) return *answered;
  // Before anything can change the working folder: relative report destinations are taken from it.
  RememberStartFolder();
  const QStringList arguments = DecodeArguments(argc, argv);
  if (IsReportCommandLine(arguments) && HasQuietOption(arguments)) return RunReportProgram(argc, argv);
  return RunKorvane(argc, argv);
}
