// Test programs start the framework (application object and screen) like the program does.
#include <gtest/gtest.h>

#include <cstdio>

#include "framework/Forms.h"

namespace {

// A test program that crashes or is killed by the runner's time limit still shows how far it
// got and why: its output is not held back in a buffer, and a crash names itself (Wine's own
// report is silenced in test runs).
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* crash) {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::fprintf(stderr, "crashed with exception %08lx at %p%s%s%s%s\n", crash->ExceptionRecord->ExceptionCode,
               crash->ExceptionRecord->ExceptionAddress, test ? " in " : "", test ? test->test_suite_name() : "",
               test ? "." : "", test ? test->name() : "");
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
  SetUnhandledExceptionFilter(ReportCrash);
  testing::InitGoogleTest(&argc, argv);
  InitializeFramework();
  int result = RUN_ALL_TESTS();
  FinalizeFramework();
  return result;
}
