#pragma once
// The "What Changed" report to a file or the printer, for the File menu's Reports and Print items.
// A failure shows "Generating report failed" with the reason in the program's message box.

#include "reports/ChangeReport.h"

class QPrinter;
class QWidget;

// One landscape document. False with the reason when printing failed.
bool PrintChangeReportJob(QPrinter& printer, const TChangeReport& report, QString* error);
// Asks for the file (a text file), then writes it.
bool cmdFileReportWhatChanged(QWidget* parent, const TChangeReport& report);
// Asks for the printer, then prints.
bool cmdFilePrintWhatChanged(QWidget* parent, const TChangeReport& report);
