#pragma once
// Tests of dialogs whose free-space operations run on a thread of their own: pumps events until
// the dialog's operation (and what follows it) has ended, for thirty seconds at the most.

#include <QApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

template <class TBox>
void WaitForOperation(const TBox& box) {
  QDeadlineTimer deadline(30000);
  while (box.Working() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();
  EXPECT_FALSE(box.Working()) << "the operation did not end";
}
