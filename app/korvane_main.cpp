// korvane [FOLDER or DRIVE ...]: the program with its windows.
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
    "usage: korvane [FOLDER or DRIVE ...]\n"
    "       korvane /RKIND FOLDER OUTPUT [/OPTION ...]\n"
    "\n"
    "Shows how the space of your drives is used. Each FOLDER (a host path such as\n"
    "/home/me/data or a drive path such as C:\\data) or DRIVE (C:\\) given is scanned and\n"
    "selected at start.\n"
    "\n"
    "A first argument /RINF, /RCSV, /RTAB or /RTXT writes a report of FOLDER to OUTPUT\n"
    "without asking anything: folder information, or the subfolder list as comma-separated,\n"
    "tab-separated or aligned text. Options: /A all subfolders, /T:N the top N, /H:U:SIZE\n"
    "those larger than SIZE in unit U (B, K or M), /S:N sort by column N (/SD:N descending),\n"
    "/W:T or /W:F with or without wasted space, /Q close the program afterwards.\n"
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
