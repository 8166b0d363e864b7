#pragma once
// The unattended report run: a command line whose first argument begins with "/R".

#include <QStringList>

class TMainForm;

void RunReportRequest(TMainForm& form, const QStringList& arguments);
