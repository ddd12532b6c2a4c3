// Run inside a released copy's Wine prefix by release-test.sh: starts the program from where
// the release put it, in a folder holding one sample, clicks the sample in the explorer and
// reads the viewer's pixels back. The program and the folder come from the environment,
// because only the script knows where the setup program installed or the zip was unpacked.
// FOLVANE_PROBE_WHILE_SHOWN may hold command lines, separated by ";", that run while the page
// is shown (the program and its worker running); their exit codes are printed for the script.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tests/support/RunningProgram.h"
#include "tests/support/WindowTesting.h"

namespace {

// Runs a command line to its end; its exit code, or -1 when it could not start or did not end.
long RunToEnd(std::string commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return -1;
  }
  DWORD code = DWORD(-1);
  if (WaitForSingleObject(info.hProcess, 120000) != WAIT_OBJECT_0 || !GetExitCodeProcess(info.hProcess, &code)) {
    code = DWORD(-1);
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return long(code);
}

TEST(ReleasedProgram, OpensTheSampleAndPaintsItsPage) {
  const char* exe = std::getenv("FOLVANE_PROBE_PROGRAM");
  const char* folder = std::getenv("FOLVANE_PROBE_FOLDER");
  const char* sample = std::getenv("FOLVANE_PROBE_SAMPLE");
  ASSERT_TRUE(exe && folder && sample);
  RunningProgram program(-1, folder, exe);
  ASSERT_TRUE(program.Started()) << exe;
  HWND viewer = program.Window("TForm1");
  HWND explorer = program.Window("TForm2");
  ASSERT_TRUE(viewer && explorer);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(viewer) != 0; }, 20000));
  HWND view = FindDescendant(viewer, "FolvanePdfView");
  HWND files = FindDescendant(explorer, "TFileListBox");
  ASSERT_TRUE(view) << "the viewer control was not created";
  ASSERT_TRUE(files);
  EXPECT_FALSE(PageShown(view)) << "nothing is shown before a file is clicked";

  int line = -1;
  PumpUntil([&] { return (line = FindLine(files, sample)) >= 0; }, 10000);
  ASSERT_GE(line, 0) << sample << " is not listed";
  ClickAt(LineCentre(files, line));
  EXPECT_TRUE(PumpUntil([&] { return PageShown(view); }, 30000)) << "the viewer shows the page";

  if (const char* during = std::getenv("FOLVANE_PROBE_WHILE_SHOWN")) {
    std::istringstream commands(during);
    for (std::string command; std::getline(commands, command, ';');) {
      std::printf("while shown: exit %ld: %s\n", RunToEnd(command), command.c_str());
    }
  }

  PostMessageA(viewer, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(), 0);
}

}  // namespace
