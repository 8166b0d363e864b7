#pragma once
// Helpers for tests that run the main window headless.

#include "config/Options.h"
#include "shell/MessageBoxes.h"
#include "ui/main/MainForm.h"
#include "ui/main/ScanCommands.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <typeinfo>

// A part of a window found by its class and, where given, its object name (the window's parts are
// named as the program refers to them). A part that is not there ends the test with an error.
template <class T>
T* Child(QObject& parent, const char* name = nullptr) {
  T* child = name ? parent.findChild<T*>(QString::fromLatin1(name)) : parent.findChild<T*>();
  if (!child) throw std::runtime_error(std::string("no part ") + (name ? name : typeid(T).name()));
  return child;
}

// For its lifetime every message box is answered (Cancel where the box offers it, else OK) and
// every modal dialog is rejected, so no test waits for a person.
class TAnsweredDialogs {
public:
  TAnsweredDialogs() {
    SetMessageAnswerer([](const TMessageRequest& r) { return (r.Buttons & mbCancel) ? int(mbCancel) : int(mbOK); });
    SetModalDialogRunner([](QDialog&) { return int(QDialog::Rejected); });
  }
  ~TAnsweredDialogs() {
    SetMessageAnswerer(nullptr);
    SetModalDialogRunner(nullptr);
  }
  TAnsweredDialogs(const TAnsweredDialogs&) = delete;
  TAnsweredDialogs& operator=(const TAnsweredDialogs&) = delete;
};

// Pumps events until the window's scans and what waits for them have ended, for thirty seconds
// at the most (the window runs its scans in slices on the event loop).
inline void WaitForScans(TMainForm& form) {
  QDeadlineTimer deadline(30000);
  while (!form.ScansIdle() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();
  EXPECT_TRUE(form.ScansIdle()) << "the window's scans did not end";
}

// Shows the form and pumps events until its start-up work (the scans it was asked for) is done,
// for thirty seconds at the most.
inline void StartMainForm(TMainForm& form) {
  form.show();
  QDeadlineTimer deadline(30000);
  while (!(form.StartupDone() && form.ScansIdle()) && !deadline.hasExpired())
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();
}

// Stores the letters the next start of the window scans by itself.
inline void SetDrivesToAutoScan(const QString& letters) {
  TSettings settings;
  settings.Load();
  settings.Change([&letters](TSettingValues& v) { v.DrivesToAutoScan = letters; });
  settings.Save();
}

// Makes path the current folder and shows it on page k (0 pie ... 4 free space).
inline void ShowFolderOnPage(TMainForm& form, const QString& path, int k) {
  ASSERT_TRUE(form.ScanCommands().GoToFolder(path)) << path.toStdString();
  WaitForScans(form);
  form.SelectPage(k);
  ASSERT_EQ(form.Current().Path(), path);
}
