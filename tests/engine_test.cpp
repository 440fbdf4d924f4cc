// Runs the whole program in-process, for what a shell cannot set up.
#include <gtest/gtest.h>

#include <string>

int linecmp(int argc, char **argv);

namespace {

TEST(CommandLine, NoProgramNameStillNamesTheProgram) {
  char *argv[] = {nullptr};
  testing::internal::CaptureStdout();
  int status = linecmp(0, argv);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Usage: linecmp file1 file2 [label1 [label2]]\n");
  EXPECT_EQ(status, 1);
}

}  // namespace
