#pragma once
// Program start and end: the application, the main window and its two tool windows, the loop.

#include <QStringList>

#include <memory>

class TMainForm;

// Creates the main window and then the two tool windows. Any error while the main window is
// created shows "Fatal error: Korvane must close" and gives none.
std::unique_ptr<TMainForm> CreateMainWindows(const QStringList& arguments);

int RunKorvane(int argc, char** argv);
