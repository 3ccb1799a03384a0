// Loading the replacement file: its three failures and a file read back.
#include "app/replace_file.h"

#include "core/core_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace vellary::app {
namespace {

namespace fs = std::filesystem;

class ReplacementFile : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("vellary-replace-" + std::to_string(std::random_device()()));
    fs::create_directories(Dir);
  }
  void TearDown() override {
    std::error_code Ignored;
    fs::permissions(Dir / "pairs.cfg", fs::perms::owner_all, Ignored);
    fs::remove_all(Dir, Ignored);
  }
  std::string MakeFile(const std::string& Bytes) const {
    std::string Name = (Dir / "pairs.cfg").string();
    std::ofstream(Name, std::ios::binary) << Bytes;
    return Name;
  }

  fs::path Dir;
};

TEST_F(ReplacementFile, PairsInFileOrderWhateverTheLineEnds) {
  std::string Name = MakeFile("# comment;x\r\nOld;New!\n\n  a ; b;c \r   ;ignored\rDelete;");
  engine::TReplaceMatrix Table{{"stale", "pair"}};
  core::TStatus Status = LoadReplacementTable(Name, ";", Table);
  ASSERT_TRUE(Status.Ok()) << Status.Message;
  ASSERT_EQ(Table.size(), 3u);
  EXPECT_EQ(Table[0].Search, "Old");
  EXPECT_EQ(Table[0].Replace, "New!");
  EXPECT_EQ(Table[1].Search, "a");
  EXPECT_EQ(Table[1].Replace, "b;c");
  EXPECT_EQ(Table[2].Search, "Delete");
  EXPECT_EQ(Table[2].Replace, "");
}

TEST_F(ReplacementFile, MissingNameOrFileIsNoValidFile) {
  struct Case {
    const char* What;
    std::string Name;
    std::string Message;
  };
  const std::string Missing = (Dir / "missing.cfg").string();
  const Case Cases[] = {
      {"empty name", "", "The -r parameter requires a valid filename."},
      {"missing file", Missing, "No valid config file was provided with the -r parameter: \"" + Missing + "\""},
      {"folder", Dir.string(), "No valid config file was provided with the -r parameter: \"" + Dir.string() + "\""},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    engine::TReplaceMatrix Table;
    core::TStatus Status = LoadReplacementTable(C.Name, ";", Table);
    EXPECT_EQ(Status.ExitCode, core::ExitNoValidFile);
    EXPECT_EQ(Status.Message, C.Message);
    EXPECT_TRUE(Table.empty());
  }
}

TEST_F(ReplacementFile, UnopenableFileIsAFileHandlingError) {
  std::string Name = MakeFile("a;b\n");
  fs::permissions(Name, fs::perms::none);
  if (std::ifstream(Name).is_open())
    GTEST_SKIP() << "this user reads files without permission (root)";
  engine::TReplaceMatrix Table;
  core::TStatus Status = LoadReplacementTable(Name, ";", Table);
  EXPECT_EQ(Status.ExitCode, core::ExitReadError);
  EXPECT_EQ(Status.Message, "File handling error occurred with \"" + Name + "\" -- Access denied");
}

TEST_F(ReplacementFile, UnreadableFileIsAFileHandlingError) {
  // A file that opens but fails on the first read, whoever runs the test.
  const std::string Name = "/proc/self/mem";
  if (!fs::exists(Name))
    GTEST_SKIP() << "no " << Name << " here";
  engine::TReplaceMatrix Table;
  core::TStatus Status = LoadReplacementTable(Name, ";", Table);
  EXPECT_EQ(Status.ExitCode, core::ExitReadError);
  EXPECT_EQ(Status.Message, "File handling error occurred with \"/proc/self/mem\" -- Unknown Run-Time error : 162");
  EXPECT_TRUE(Table.empty());
}

}  // namespace
}  // namespace vellary::app
