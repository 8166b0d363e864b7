// Test entry point: a GUI application without widgets on the offscreen platform (the charts draw
// text), and the English (United States) locale, so that figures and dates read the same on
// every machine.
#include <QGuiApplication>
#include <QLocale>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
