#pragma once
// The report run from the command line when the window program starts with "/R": the report is
// made with a headless scan of the folder; a failure shows the program's message box, or with /Q
// goes to stderr and ends the program with status 1.

#include <QStringList>

class TMainForm;

void RunReportRequest(TMainForm& form, const QStringList& arguments);
