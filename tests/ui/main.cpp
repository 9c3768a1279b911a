// The window tests need one QApplication for the whole run.
#include <gtest/gtest.h>
#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
  // Tests run without a display unless a platform is asked for.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Keep the single-instance name of the tests apart from a running copy.
  setenv("VORNIX_INSTANCE_TAG", "ui-tests", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
