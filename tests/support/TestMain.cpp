// Test programs start the framework (application object and screen) like the program does.
#include <gtest/gtest.h>

#include "Forms.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  InitializeFramework();
  int result = RUN_ALL_TESTS();
  FinalizeFramework();
  return result;
}
