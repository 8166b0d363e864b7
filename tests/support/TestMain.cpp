// Test entry point: a core application and the English (United States) locale, so that figures
// and dates read the same on every machine.
#include <QCoreApplication>
#include <QLocale>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
