#pragma once
// The report run from the command line when the window program starts with "/R". With /Q the
// report is made with a headless scan of the folder, a failure goes to stderr and ends the
// program with status 1. Without /Q the window scans or selects the folder in its own tree, the
// report is made from what its pages show, the subfolder list's view is put back afterwards and
// a failure shows the program's message box.

#include <QStringList>

#include <functional>

class TMainForm;

// done: called when the report has been written or has failed (at once when there is none).
void RunReportRequest(TMainForm& form, const QStringList& arguments, const std::function<void()>& done = {});
