// Hostile input against the built program: files that are not text at all,
// one enormous line, huge command lines, and names and values holding
// printf conversions, line ends and control bytes. The program must finish
// promptly, in bounded memory, with every byte passed on exactly, or end
// with an error when memory runs out.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

// The tests are built like the program: under AddressSanitizer its allocator
// and quarantine, under ThreadSanitizer its shadow memory, not the program,
// set the peak memory.
#if defined(__SANITIZE_ADDRESS__)
#define VELLARY_UNDER_ASAN 1
#elif defined(__SANITIZE_THREAD__)
#define VELLARY_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELLARY_UNDER_ASAN 1
#elif __has_feature(thread_sanitizer)
#define VELLARY_UNDER_TSAN 1
#endif
#endif
#if defined(VELLARY_UNDER_ASAN)
constexpr long MemoryFactor = 2;
#elif defined(VELLARY_UNDER_TSAN)
constexpr long MemoryFactor = 4;
#else
constexpr long MemoryFactor = 1;
#endif

namespace fs = std::filesystem;
using namespace vellary::e2e;
using namespace std::chrono_literals;

namespace {

// What the program writes for Input with no option: every line, cut at CR
// LF, lone LF or lone CR, followed by CR LF.
std::string AsRecords(std::string_view Input) {
  std::string Out;
  std::size_t From = 0;
  while (From < Input.size()) {
    std::size_t End = Input.find_first_of("\r\n", From);
    if (End == std::string_view::npos)
      End = Input.size();
    const std::string_view Line = Input.substr(From, End - From);
    // A line of one NUL byte counts as blank and is written empty.
    Out.append(Line == std::string_view("\0", 1) ? std::string_view() : Line).append("\r\n");
    From = End + 1;
    if (End < Input.size() && Input[End] == '\r' && From < Input.size() && Input[From] == '\n')
      ++From;
  }
  return Out;
}

std::string Utf16Le(std::string_view Ascii) {
  std::string Out;
  for (char C : Ascii)
    Out.append({C, '\0'});
  return Out;
}

class HostileInput : public ::testing::Test {
protected:
  void SetUp() override {
    if (UnderWine())
      GTEST_SKIP() << "POSIX command-line and device limits";
    Options.WorkDir = Dir.Path();
    // Bytes pass unchanged in the C locale, whatever the machine's default.
    Options.ExtraEnv = {"LC_ALL=C"};
  }
  TRunResult Run(const std::vector<std::string>& Args) { return RunProgram(Args, Options); }

  TScratchDir Dir;
  TRunOptions Options;
};

TEST_F(HostileInput, NonTextFilesPassThroughByteForByte) {
  std::mt19937 Gen(20240611);
  std::string Random(1 << 20, '\0');
  for (char& C : Random)
    C = static_cast<char>(Gen());
  struct Case {
    const char* Name;
    std::string Bytes;
  };
  const Case Cases[] = {
      {"only_cr", std::string(100000, '\r')},
      {"only_lf", std::string(100000, '\n')},
      {"only_nul", std::string(100000, '\0')},
      {"random", Random},
      {"bad_utf8", "\xC3\x28 \xA0\xA1 \xE2\x28\xA1 \xF0\x90\x28\xBC \xC0\xAF \xFF\xFE\xFD\n\xED\xA0\x80"},
      {"utf16_bom", "\xFF\xFE" + Utf16Le("first\r\nsecond\r\n\r\nthird")},
      {"utf16_no_bom", Utf16Le("first\nsecond\n")},
      {"utf16_be_bom", std::string("\xFE\xFF\0x\0\r\0\n\0y", 10)},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    WriteFile(Dir / C.Name, C.Bytes);
    TRunResult R = Run({C.Name});
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_TRUE(R.Out == AsRecords(C.Bytes)) << "output differs";
    // The output file gets the same bytes.
    R = Run({C.Name, "-o", "out.txt"});
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_TRUE(ReadFile(Dir / "out.txt") == AsRecords(C.Bytes)) << "output file differs";
  }
}

// Every option that looks into the text, over bytes that are no text: no
// crash, no hang, and the same result twice.
TEST_F(HostileInput, RandomBytesThroughEveryStageAreStable) {
  std::mt19937 Gen(7);
  std::string Random(256 * 1024, '\0');
  for (char& C : Random)
    C = static_cast<char>(Gen() % 8 == 0 ? '\n' : Gen());
  WriteFile(Dir / "random", Random);
  static constexpr char Pairs[] = "\x01;\x02\n\xFF;\n\\^\x80;x\n;\n\0;NUL\n";
  WriteFile(Dir / "pairs.txt", std::string(Pairs, sizeof Pairs - 1));
  const std::vector<std::string> Args = {
      "random", "-r", "pairs.txt", "-x", "-f", "\x01;\x80;\\^\x7F;a\\$", "--sk", "\xFE",
      "--lb", "\x10", "--la", "\x20", "--sb", "a", "--sa", "b", "--fb", "c", "--pp", "<",
      "--fa", "d", "--ap", ">", "-e", "-p", "-a", "-t", "--dl", "3", "--nl", "2", "-l", "4096"};
  TRunResult First = Run(Args);
  EXPECT_EQ(First.ExitCode, 0) << First.Err;
  TRunResult Second = Run(Args);
  EXPECT_TRUE(First.Out == Second.Out);
  EXPECT_EQ(First.Err, Second.Err);
}

// One line of 100 MB: read, matched and written with memory of about three
// times the line, not more.
TEST_F(HostileInput, HundredMegabyteLineInBoundedMemory) {
  constexpr std::size_t LineSize = 100u << 20;
  {
    std::ofstream F(Dir / "big.txt", std::ios::binary);
    const std::string Block(1u << 20, 'a');
    for (std::size_t I = 0; I < LineSize / Block.size(); ++I)
      F.write(Block.data(), static_cast<std::streamsize>(Block.size()));
  }
  WriteFile(Dir / "pairs.txt", "a;b\n");
  Options.StdoutPath = (Dir / "out.txt").string();
  Options.Timeout = 120s;
  const long LimitKb = MemoryFactor * static_cast<long>(3 * LineSize / 1024 + 32 * 1024);
  struct Case {
    std::vector<std::string> Args;
    const char* Output;
    std::uintmax_t Size;
  };
  const Case Cases[] = {
      {{"big.txt"}, "out.txt", LineSize + 2},
      {{"big.txt", "-x", "-f", "^a", "--pp", "<", "--ap", ">", "-t"}, "out.txt", LineSize + 4},
      {{"big.txt", "-r", "pairs.txt", "-o", "file.txt"}, "file.txt", LineSize + 2},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Args.size());
    TRunResult R = Run(C.Args);
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_LT(R.PeakRssKb, LimitKb);
    EXPECT_EQ(fs::file_size(Dir / C.Output), C.Size);
  }
}

// Under an address-space limit the run makes do with fewer threads and
// blocks, down to one, and writes what one core writes; where even that
// cannot hold a line, it ends with 71 and "Out of memory", the output
// ending on a whole line.
TEST_F(HostileInput, AddressSpaceLimitGivesTheOneCoreResultOrOutOfMemory) {
  if (MemoryFactor != 1)
    GTEST_SKIP() << "a sanitizer reserves more address space than any limit here";
  if (UnderEmulator())  // qemu's own threads and 128 MiB code buffer
    GTEST_SKIP() << "the emulator itself does not fit under an address-space cap";
  std::string Short;
  for (int I = 0; I < 900000; ++I)
    Short += "ERROR job alpha DEBUG x\n";
  WriteFile(Dir / "short.txt", Short);
  WriteFile(Dir / "long.txt", "first\n" + std::string(40u << 20, 'x') + "\nlast\n");
  // Only the second half megabyte holds the text replaced, so that a helper,
  // not the writer (which takes the first block itself), runs out.
  std::string Blows;
  for (int I = 0; Blows.size() < (9u << 20); ++I) {
    const bool Here = Blows.size() > 600000 && Blows.size() < 1000000;
    Blows += "line " + std::to_string(I) + (Here ? " q\n" : " of a file fed on every core\n");
  }
  WriteFile(Dir / "blows.txt", Blows);
  WriteFile(Dir / "pairs.txt", "q;" + std::string(100000, 'B') + "\n");
  struct Case {
    const char* Input;
    long LimitKb;
    const char* Output;  // empty: as one core writes it; null: not looked at
    int ExitCode;
    bool Pairs = false;  // with -r pairs.txt
  };
  const Case Cases[] = {
      {"short.txt", 24000, "", 0},  // room for one helper's stack, not for its blocks
      {"short.txt", 20000, "", 0},
      {"short.txt", 18000, "", 0},
      {"short.txt", 12000, "", 0},  // no room for a helper's stack
      {"long.txt", 24000, "", 71},  // the block of the long line holds "first" too
      {"blows.txt", 200000, nullptr, 71, true},  // a helper out of memory ends the run, promptly
  };
  Options.Timeout = 20s;
  for (const Case& C : Cases) {
    SCOPED_TRACE(testing::Message() << C.Input << " under " << C.LimitKb << " KiB");
    const std::string Limited = "ulimit -v " + std::to_string(C.LimitKb) + " && exec \"$0\" \"$@\"";
    std::vector<std::string> Args = {C.Input, "-o", "out.txt"};
    if (C.Pairs)
      Args.insert(Args.end(), {"-r", "pairs.txt"});
    TRunResult R = RunShell(Limited, Args, Options);
    EXPECT_EQ(R.Signal, 0) << "still running after 20 s";
    EXPECT_EQ(R.ExitCode, C.ExitCode) << R.Err;
    const std::string Written = ReadFile(Dir / "out.txt");
    if (C.Output == nullptr || C.ExitCode != 0) {
      EXPECT_NE(R.Err.find("-- Out of memory"), std::string::npos) << R.Err;
      if (C.Output != nullptr) {
        EXPECT_EQ(Written, C.Output);
      }
    } else {
      ASSERT_EQ(Run({C.Input, "-o", "one.txt"}).ExitCode, 0);
      EXPECT_TRUE(Written == ReadFile(Dir / "one.txt")) << Written.size() << " bytes written";
    }
  }
}

// The block-wide search at its worst: its probes fit at every other byte of
// a 4 MB line, and only the last bytes of an 80 KB search text tell it from
// the line. Linear work takes a fraction of a second, quadratic minutes.
TEST_F(HostileInput, WorstCaseSearchOfALongLineEndsPromptly) {
  auto Repeat = [](std::string_view Piece, std::size_t Count) {
    std::string Text;
    for (std::size_t I = 0; I < Count; ++I)
      Text += Piece;
    return Text;
  };
  const std::string Find = Repeat("ab", 40000) + "ba";
  WriteFile(Dir / "line.txt", Repeat("ab", 2u << 20) + Find + "\n");
  Options.StdoutPath = "/dev/null";
  Options.Timeout = 10s;
  const TRunResult R = Run({"line.txt", "-f", Find, "-t"});
  EXPECT_EQ(R.Signal, 0) << "still searching after 10 s";
  EXPECT_EQ(R.ExitCode, 0);
  EXPECT_EQ(R.Err, "--- line.txt: 1\r\n");
}

// ---- Command lines -----------------------------------------------------------

TEST_F(HostileInput, HundredThousandArgumentsAreReportedPromptly) {
  WriteFile(Dir / "in.txt", "x\n");
  std::vector<std::string> Args = {"in.txt"};
  for (int I = 0; I < 100000; ++I)
    Args.push_back("z" + std::to_string(I));
  const auto Start = std::chrono::steady_clock::now();
  TRunResult R = Run(Args);
  EXPECT_LT(std::chrono::steady_clock::now() - Start, 20s);
  EXPECT_EQ(R.ExitCode, 65);
  EXPECT_NE(R.Err.find("Invalid parameters provided: z0 z1 z2 "), std::string::npos);
  EXPECT_NE(R.Err.find(" z99999 \r\n"), std::string::npos);
  EXPECT_EQ(R.Out, "");
}

// 65536 unrecognised arguments bring a 16-bit count round to zero; the run
// must still be refused, not go on as if the command line were clean.
TEST_F(HostileInput, InvalidCountThatWouldWrapStillRefusesTheRun) {
  WriteFile(Dir / "in.txt", "x\n");
  std::vector<std::string> Args = {"in.txt", "-t"};
  for (int I = 0; I < 65536; ++I)
    Args.push_back("?" + std::to_string(I));
  TRunResult R = Run(Args);
  EXPECT_EQ(R.ExitCode, 65);
  EXPECT_EQ(R.Out, "");
}

// Linux limits one argument to 128 KiB; the largest that fits is taken whole.
TEST_F(HostileInput, LargestSingleArgumentIsTakenWhole) {
  const std::string Big(120 * 1024, 'q');
  WriteFile(Dir / "in.txt", "one\n" + Big + "\ntwo\n");
  TRunResult R = Run({"in.txt", "-f", Big, "--pp", Big + "!"});
  EXPECT_EQ(R.ExitCode, 0) << R.Err.substr(0, 200);
  EXPECT_TRUE(R.Out == Big + "!" + Big + "\r\n");
  R = Run({"in.txt", Big});
  EXPECT_EQ(R.ExitCode, 65);
  EXPECT_NE(R.Err.find("Invalid parameters provided: " + Big + " \r\n"), std::string::npos);
  R = Run({Big});  // a name far too long for the file system
  EXPECT_EQ(R.ExitCode, 70);
  EXPECT_NE(R.Err.find("File not found: \"" + Big + "\"\r\n"), std::string::npos);
}

// Conversions, line ends and control bytes in names and values are printed
// as they are: in messages, in the tally and in the text.
TEST_F(HostileInput, PercentSignsAndControlBytesArePrintedLiterally) {
  const std::string Name = "%s%n%d%x%%.txt";
  WriteFile(Dir / Name, "alpha\nbeta\n");
  TRunResult R = Run({Name, "-t", "--pp", "%n%s|", "--ap", "|%d\r\x1B[31m\a", "-f", "%s;a"});
  EXPECT_EQ(R.ExitCode, 0) << R.Err;
  EXPECT_EQ(R.Out, "%n%s|alpha|%d\r\x1B[31m\a\r\n%n%s|beta|%d\r\x1B[31m\a\r\n");
  EXPECT_EQ(R.Err, "--- " + Name + ": 2\r\n");

  R = Run({Name, "-o", "%n.out", "-t"});
  EXPECT_EQ(R.ExitCode, 0) << R.Err;
  EXPECT_EQ(ReadFile(Dir / "%n.out"), "alpha\r\nbeta\r\n--- " + Name + ": 2\r\n");

  struct Case {
    std::vector<std::string> Args;
    int Code;
    std::string Message;
  };
  const Case Cases[] = {
      {{Name, "-r", "%s%n.cfg"}, 70,
       "No valid config file was provided with the -r parameter: \"%s%n.cfg\""},
      {{Name, "%n", "%s\n%d"}, 65, "Invalid parameters provided: %n %s\n%d "},
      {{"a\rb\nc\x1B[2J%s"}, 70, "File not found: \"a\rb\nc\x1B[2J%s\""},
      {{Name, "-o", "/dev/full"}, 71, "File handling error occurred with \"" + Name + "\" -- Disk Full"},
      {{Name, "-o", "none%s/x%n"}, 72, "File handling error occurred with \"none%s/x%n\" -- Invalid filename"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Message);
    R = Run(C.Args);
    EXPECT_EQ(R.ExitCode, C.Code);
    EXPECT_NE(R.Err.find(C.Message + "\r\n"), std::string::npos) << R.Err;
  }
}

// A search value holding a line end can never match a line, which holds
// none; the run goes on and shows nothing.
TEST_F(HostileInput, SearchValuesWithLineEndsMatchNothing) {
  WriteFile(Dir / "in.txt", "a\r\nb\nab\n");
  for (const char* Value : {"a\r\nb", "a\nb", "a\rb", "\r", "\n"}) {
    SCOPED_TRACE(Value);
    TRunResult R = Run({"in.txt", "-f", Value, "-t"});
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err, "--- in.txt: 0\r\n");
  }
}

}  // namespace
