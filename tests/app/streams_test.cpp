// Text files: cutting a file read whole into lines, the output
// file's creation and buffering, and the error texts.
#include "app/streams.h"

#include "engine/line_cutter.h"

#include "common/read_file.h"
#include "common/single_byte_locale.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vellary::app {
namespace {

namespace fs = std::filesystem;
using fixtures::ReadFile;

class TextFiles : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("vellary-streams-" + std::to_string(std::random_device()()));
    fs::create_directories(Dir);
  }
  void TearDown() override {
    std::error_code Ignored;
    fs::remove_all(Dir, Ignored);
  }
  std::string MakeFile(const std::string& Bytes) const {
    std::string Name = (Dir / "input.txt").string();
    std::ofstream(Name, std::ios::binary) << Bytes;
    return Name;
  }
  // Every line of a file holding Bytes, read whole and cut.
  std::vector<std::string> LinesOf(const std::string& Bytes) const {
    std::string Read;
    EXPECT_EQ(ReadWholeFile(MakeFile(Bytes), Read), 0);
    EXPECT_EQ(Read, Bytes);
    std::vector<std::string> Lines;
    engine::TLineCutter Cutter(Read);
    for (std::string_view Line; Cutter.Next(Line);)
      Lines.emplace_back(Line);
    return Lines;
  }

  fs::path Dir;
};

using TLines = std::vector<std::string>;

TEST_F(TextFiles, EveryLineEndConventionAndTheirMixes) {
  struct Case {
    const char* What;
    std::string Bytes;
    TLines Lines;
  };
  const Case Cases[] = {
      {"LF", "a\nbb\n", {"a", "bb"}},
      {"CR LF", "a\r\nbb\r\n", {"a", "bb"}},
      {"CR", "a\rbb\r", {"a", "bb"}},
      {"mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
      {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
      {"empty lines", "\n\r\n\r", {"", "", ""}},
      {"empty file", "", {}},
      {"last line without end", "a\nlast", {"a", "last"}},
      {"no extra line after final end", "only\r\n", {"only"}},
      {"NUL, byte 26 and tab kept", std::string("a\0b\x1A" "c\td\n\x1A", 9), {std::string("a\0b\x1A" "c\td", 7), "\x1A"}},
      {"byte-order mark kept", "\xEF\xBB\xBFhead\nx", {"\xEF\xBB\xBFhead", "x"}},
      {"UTF-16 cut at its byte values", std::string("a\0\r\0\n\0b\0", 8), {std::string("a\0", 2), std::string("\0", 1), std::string("\0b\0", 3)}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    EXPECT_EQ(LinesOf(C.Bytes), C.Lines);
  }
}

TEST_F(TextFiles, CreatedOutputIsEmptiedAndWrittenOnClose) {
  std::string OutName = (Dir / "out.txt").string();
  std::ofstream(OutName, std::ios::binary) << "old contents that must go";
  core::TTextOutput Output;
  ASSERT_EQ(CreateTextOutput(Output, OutName), 0);
  EXPECT_EQ(ReadFile(OutName), "");
  ASSERT_EQ(Output.WriteRecord("one"), 0);
  ASSERT_EQ(Output.WriteRecord(""), 0);
  ASSERT_EQ(Output.Close(), 0);
  EXPECT_EQ(ReadFile(OutName), "one\r\n\r\n");
}

TEST_F(TextFiles, LfLinesAtOnceAreTheRecordsLineByLine) {
  // Empty lines, a last line without LF, a line longer than half the
  // buffer, and enough lines to fill it several times over, so that records
  // straddle its end.
  std::string Lines = "\nfirst\n\n" + std::string(core::TextBufferSize / 2 + 7, 'y') + "\n";
  for (int I = 0; Lines.size() < 3 * core::TextBufferSize; ++I)
    Lines += std::string(static_cast<std::size_t>(I % 97), 'x') + "\n";
  Lines += "last";
  std::string Expected;
  std::size_t ExpectedRecords = 0, ExpectedEmpty = 0;
  for (std::size_t From = 0, Lf; From < Lines.size(); From = Lf + 1, ++ExpectedRecords) {
    Lf = std::min(Lines.find('\n', From), Lines.size());
    Expected += Lines.substr(From, Lf - From) + "\r\n";
    ExpectedEmpty += Lf == From ? 1 : 0;
  }
  const std::string OutName = (Dir / "out.txt").string();
  core::TTextOutput Output;
  ASSERT_EQ(CreateTextOutput(Output, OutName), 0);
  std::size_t Records = 0, Empty = 0;
  ASSERT_EQ(Output.WriteLfLines(Lines, Records, Empty), 0);
  ASSERT_EQ(Output.Close(), 0);
  EXPECT_EQ(ReadFile(OutName), Expected);
  EXPECT_EQ(Records, ExpectedRecords);
  EXPECT_EQ(Empty, ExpectedEmpty);
}

// ASCII passes a converting output as it is; lines holding other bytes are
// converted, consecutive ones together, the same as the whole text at once.
TEST(ConvertedOutput, AsciiPassesAndTheRestIsConverted) {
  fixtures::TSingleByteLocale Latin1;
  if (!Latin1.Set)
    GTEST_SKIP() << Latin1.Missing;
  const std::string Caf = "caf\xE9", CafUtf8 = "caf\xC3\xA9";
  struct Case {
    const char* What;
    std::string Text, Converted;
  };
  const Case Cases[] = {
      {"ASCII", "plain\nlines\n", "plain\r\nlines\r\n"},
      {"beyond ASCII", Caf + "\n" + Caf + "\n", CafUtf8 + "\r\n" + CafUtf8 + "\r\n"},
      {"mixed lines", "a\n" + Caf + "\nb\n\xFC\nc", "a\r\n" + CafUtf8 + "\r\nb\r\n\xC3\xBC\r\nc\r\n"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    std::string ByRecord;
    core::TTextOutput Output;
    Output.BindToString(&ByRecord, platform::CpLocaleCharset, platform::CpUtf8);
    core::TRecordBuffer Block;
    Block.SetCodePages(platform::CpLocaleCharset, platform::CpUtf8);
    std::size_t Records = 0, Empty = 0;
    ASSERT_EQ(Output.WriteLfLines(C.Text, Records, Empty), 0);
    Block.PutLfLines(C.Text, Records, Empty);
    EXPECT_EQ(ByRecord, C.Converted);
    EXPECT_EQ(Block.Converted(), C.Converted);
  }
}

#ifdef __linux__
// A console shows each record as it is made: one write per record, however
// the records come. A pipe in packet mode keeps the writes apart.
TEST(ConsoleOutput, EveryRecordIsAWriteOfItsOwn) {
  int Pipe[2];
  ASSERT_EQ(::pipe2(Pipe, O_DIRECT), 0);
  core::TTextOutput Console;
  Console.Bind(Pipe[1], true, core::TTextOutput::fmWriteThrough, platform::CpUtf8, platform::CpUtf8);
  std::size_t Records = 0, Empty = 0;
  ASSERT_EQ(Console.WriteRecord("one"), 0);
  ASSERT_EQ(Console.WriteConverted("two\r\n\r\nthree\r\n"), 0);
  ASSERT_EQ(Console.WriteLfLines("four\nfive", Records, Empty), 0);
  ASSERT_EQ(Console.Close(), 0);
  std::vector<std::string> Writes;
  char Buffer[4096];
  for (ssize_t Got; (Got = ::read(Pipe[0], Buffer, sizeof Buffer)) > 0;)
    Writes.emplace_back(Buffer, static_cast<std::size_t>(Got));
  ::close(Pipe[0]);
  EXPECT_EQ(Writes, (std::vector<std::string>{"one\r\n", "two\r\n", "\r\n", "three\r\n", "four\r\n", "five\r\n"}));
}
#endif

TEST_F(TextFiles, FailuresCarryTheirErrorCodes) {
  TTextInput Input;
  EXPECT_EQ(OpenTextInput(Input, (Dir / "missing.txt").string()), 2);
  std::string Bytes;
  EXPECT_EQ(ReadWholeFile((Dir / "missing.txt").string(), Bytes), 2);
  core::TTextOutput Output;
  EXPECT_EQ(CreateTextOutput(Output, (Dir / "no" / "out.txt").string()), 3);
  EXPECT_FALSE(Output.IsBound());
}

TEST(FileErrorText, FixedTextsAndZeroPaddedNumbers) {
  struct Case {
    int Code;
    const char* Text;
  };
  const Case Cases[] = {
      {2, "File not found"},
      {3, "Invalid filename"},
      {5, "Access denied"},
      {101, "Disk Full"},
      {106, "Invalid input"},
      {150, "Unknown Run-Time error : 150"},
      {32, "Unknown Run-Time error : 032"},
      {7, "Unknown Run-Time error : 007"},
      {1234, "Unknown Run-Time error : 1234"},
      {platform::feOutOfMemory, "Out of memory"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Code);
    EXPECT_EQ(FileErrorText(C.Code), C.Text);
  }
}

}  // namespace
}  // namespace vellary::app
