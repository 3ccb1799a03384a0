// The sample replacement file, written by one run, drives the replacements of
// the next: it must read back as its nine pairs, in order.
#include "e2e/harness.h"

#include <gtest/gtest.h>

using namespace vellary::e2e;

TEST(SampleFile, ReadsBackAsItsNinePairs) {
  TScratchDir Dir;
  TRunOptions Options;
  Options.WorkDir = Dir.Path();
  const TRunResult Made = RunProgram({"--ms", "pairs.txt"}, Options);
  ASSERT_EQ(Made.ExitCode, 0) << Made.Err;

  WriteFile(Dir / "in.txt",
            "Old intel box\nDelete this, delete that\nnvidia and windows\n"
            "cisco behind fortinet\nyou can change long text here\nping 192.168.100.7\n");
  const TRunResult Used = RunProgram({"in.txt", "-r", "pairs.txt"}, Options);
  EXPECT_EQ(Used.ExitCode, 0) << Used.Err;
  EXPECT_EQ(Used.Out, Crlf("New! AMD box\n this,  that\nATI and Linux\n"
                           "EnGenius behind Calyptix\nto short text here\nping 10.100.200.7\n"));
}
