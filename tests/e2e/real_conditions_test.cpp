// What users do to a running program beyond the plain command line: signals
// while it waits for piped input, standard output closed or pointed at the
// input, an -o link into a missing folder, a single-byte locale. Nothing
// processed may be lost and no input may be damaged.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace vellary::e2e;
using namespace std::chrono_literals;

namespace {

std::string FileError(const std::string& Name, const std::string& Text) {
  return "File handling error occurred with \"" + Name + "\" -- " + Text + "\r\n";
}

class RealConditions : public ::testing::Test {
protected:
  void SetUp() override {
    Options.WorkDir = Dir.Path();
    WriteFile(Dir / "in.txt", "alpha\nbeta\n");
  }
  TScratchDir Dir;
  TRunOptions Options;
};

// "-" reads standard input whatever it is, and the tally and messages name
// it "-"; "./-" still names a file. Standard input redirected from the -o
// file is refused as that input named would be, before anything is written.
TEST_F(RealConditions, DashReadsStandardInput) {
  const std::string Text = "DEBUG x\nalpha\nbeta\n";
  WriteFile(Dir / "stdin.txt", Text);
  WriteFile(Dir / "-", "a file named dash\n");
  const fs::path Fifo = Dir / "feed";
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  struct Case {
    const char* Label;
    std::vector<std::string> Args;
    fs::path Stdin;
    int Code;
    std::string Out, Err;
  };
  const Case Cases[] = {
      {"pipe", {"-", "--sk", "DEBUG", "-t"}, Fifo, 0, "alpha\r\nbeta\r\n", "--- -: 2\r\n"},
      {"file", {"-", "-t"}, Dir / "stdin.txt", 0, Crlf(Text), "--- -: 3\r\n"},
      {"./-", {"./-", "-t"}, Dir / "stdin.txt", 0, "a file named dash\r\n", "--- ./-: 1\r\n"},
      {"-o stdin", {"-", "-o", "stdin.txt"}, Dir / "stdin.txt", 72, "",
       FileError("stdin.txt", "Access denied")},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Label);
    Options.StdinPath = C.Stdin.string();
    // The program's side of a FIFO opens once a writer does.
    std::thread Writer;
    if (C.Stdin == Fifo)
      Writer = std::thread([&] {
        const int Feed = ::open(Fifo.c_str(), O_WRONLY);
        (void)!::write(Feed, Text.data(), Text.size());
        ::close(Feed);
      });
    const TRunResult R = RunProgram(C.Args, Options);
    if (Writer.joinable())
      Writer.join();
    EXPECT_EQ(R.ExitCode, C.Code);
    EXPECT_EQ(R.Out, C.Out);
    EXPECT_NE(R.Err.find(C.Err), std::string::npos) << R.Err;
    EXPECT_EQ(ReadFile(Dir / "stdin.txt"), Text);
  }
}

// Lines that arrived through a pipe reach the output before the program
// waits for more, and a termination signal then keeps them: the run ends by
// the signal with every whole line written and the partial one left out.
// Under wine SIGINT reaches the program as Ctrl-C, which ends it with
// STATUS_CONTROL_C_EXIT (wine hands its low byte to the shell); the read
// waiting on the pipe returns only when the pipe closes, as Wine 8 cannot
// cancel it.
TEST_F(RealConditions, SignalWhileWaitingForInputKeepsTheProcessedLines) {
  constexpr int ControlCExitLowByte = 0x3A;
  const fs::path Fifo = Dir / "feed";
  for (const std::string Label : {"feed", "-", "- non-blocking"}) {
    const std::string Input = Label.substr(0, Label.find(' '));
    Options.StdinNonBlocking = Label != Input;
    for (int Signal : {SIGINT, SIGTERM, SIGHUP}) {
      for (bool ToFile : {true, false}) {
        // Natively the FIFO by name takes every signal; "-" and wine, Ctrl-C.
        if ((Input == "-" || UnderWine()) && Signal != SIGINT)
          continue;
        if (UnderWine() && Label != "-")
          continue;
        SCOPED_TRACE(Label + " " + ::strsignal(Signal) + (ToFile ? " -o" : " stdout"));
        fs::remove(Fifo);
        ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
        std::vector<std::string> Args = {Input, "--sk", "DEBUG"};
        if (ToFile)
          Args.insert(Args.end(), {"-o", "out.txt"});
        Options.StdoutPath = ToFile ? "" : (Dir / "out.txt").string();
        Options.StdinPath = Input == "-" ? Fifo.string() : "/dev/null";
        fs::remove(Dir / "out.txt");
        bool Prompt = false;
        Options.WhileRunning = [&](int Pid) {
          const int Feed = ::open(Fifo.c_str(), O_WRONLY);
          const std::string Lines = "DEBUG x\nline1\npartial";
          ASSERT_EQ(::write(Feed, Lines.data(), Lines.size()), static_cast<ssize_t>(Lines.size()));
          for (int I = 0; I < 400 && !Prompt; ++I, std::this_thread::sleep_for(25ms))
            Prompt = fs::exists(Dir / "out.txt") && ReadFile(Dir / "out.txt") == "line1\r\n";
          ::kill(Pid, Signal);
          std::this_thread::sleep_for(100ms);
          ::close(Feed);
        };
        const TRunResult R = RunProgram(Args, Options);
        EXPECT_TRUE(Prompt) << "the processed line waited in the buffer";
        if (UnderWine())
          EXPECT_EQ(R.ExitCode, ControlCExitLowByte);
        else
          EXPECT_EQ(R.Signal, Signal);
        EXPECT_EQ(ReadFile(Dir / "out.txt"), "line1\r\n");
      }
    }
  }
}

// A termination signal while the flush before a wait for input is blocked
// (nobody reads standard output for a moment) ends the run there: it must
// not go on to wait for input that does not come.
TEST_F(RealConditions, SignalDuringABlockedWriteEndsTheRun) {
  if (UnderWine())
    GTEST_SKIP() << "POSIX signals and FIFOs";
  std::string Text;
  for (int I = 0; I < 6000; ++I)  // more than a pipe holds, as records
    Text += "line " + std::to_string(I) + " of the input padded out\n";
  WriteFile(Dir / "six.txt", Text);
  const std::string Script =
      "mkfifo in out; (cat six.txt; exec sleep 20) >in 2>/dev/null & W=$!; "
      "\"$0\" - <in >out & P=$!; exec 3<out; sleep 0.5; kill -TERM $P; sleep 0.3; "
      "cat <&3 >got.txt; wait $P; S=$?; kill $W; exit $S";
  Options.Timeout = 10s;
  const TRunResult R = RunShell(Script, {}, Options);
  EXPECT_EQ(R.ExitCode, 128 + SIGTERM) << "signal " << R.Signal << R.Err;
  const std::string Got = ReadFile(Dir / "got.txt");
  EXPECT_EQ(Got, Crlf(Text).substr(0, Got.size()));
}

// Opening a FIFO waits for its other end; a termination signal ends that
// wait, and the run, as it ends a wait for input.
TEST_F(RealConditions, TerminationSignalWhileOpeningAFifoEndsTheRun) {
  if (UnderWine())
    GTEST_SKIP() << "POSIX signals and FIFOs";
  WriteFile(Dir / "in.txt", "x\n");
  ASSERT_EQ(::mkfifo((Dir / "fifo").c_str(), 0600), 0);
  Options.Timeout = 10s;
  Options.WhileRunning = [](int Pid) {
    std::this_thread::sleep_for(300ms);
    ::kill(Pid, SIGTERM);
  };
  for (const std::vector<std::string>& Args : {std::vector<std::string>{"fifo"}, {"in.txt", "-o", "fifo"}}) {
    SCOPED_TRACE(Args.back());
    EXPECT_EQ(RunProgram(Args, Options).Signal, SIGTERM);
  }
}

// Without a terminal the timed pause has no keyboard guard of its own: a
// termination signal caught for the run must still end it, and the run.
TEST_F(RealConditions, TerminationSignalDuringThePauseWithoutTerminalEndsTheRun) {
  if (UnderWine())
    GTEST_SKIP() << "POSIX signals";
  Options.WhileRunning = [](int Pid) {
    std::this_thread::sleep_for(700ms);  // well into the pause's 7.5 s
    ::kill(Pid, SIGTERM);
  };
  const TRunResult R = RunProgram({"--debug-mode"}, Options);
  EXPECT_EQ(R.Signal, SIGTERM);
  EXPECT_NE(R.Err.find("Press any key to continue..."), std::string::npos) << R.Err;
}

// Standard output appended to, or opened onto, the input file would read
// its own output back for ever or overwrite lines not yet read: refused
// like an -o naming the input, before anything is written.
TEST_F(RealConditions, StandardOutputOntoTheInputIsRefused) {
  Options.StdoutPath = (Dir / "in.txt").string();
  for (auto Open : {TRunOptions::soAppend, TRunOptions::soReadWrite}) {
    SCOPED_TRACE(Open);
    Options.StdoutOpen = Open;
    const TRunResult R = RunProgram({"in.txt", "-t"}, Options);
    EXPECT_EQ(R.ExitCode, 72);
    EXPECT_NE(R.Err.find(FileError("in.txt", "Access denied")), std::string::npos) << R.Err;
    EXPECT_EQ(ReadFile(Dir / "in.txt"), "alpha\nbeta\n");
  }
}

TEST_F(RealConditions, ClosedStandardOutputIsAFailureNotASuccess) {
  if (UnderWine())
    GTEST_SKIP() << "a POSIX descriptor matter";
  Options.StdoutOpen = TRunOptions::soClosed;
  struct Case {
    std::vector<std::string> Args;
    int Code;
    std::string Name;
  };
  const Case Cases[] = {
      {{"in.txt", "-t"}, 71, "in.txt"},
      {{"--ms", "", "--ss"}, 72, "#Replacement_Sample.TXT"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Args[0]);
    const TRunResult R = RunProgram(C.Args, Options);
    EXPECT_EQ(R.ExitCode, C.Code);
    EXPECT_NE(R.Err.find(FileError(C.Name, "Invalid file handle")), std::string::npos) << R.Err;
  }
}

// A dangling link is judged by where it points: a missing folder there is
// an invalid name, as it is when that path is given directly.
TEST_F(RealConditions, DanglingLinkIntoAMissingFolderIsAnInvalidName) {
  if (UnderWine())
    GTEST_SKIP() << "POSIX symbolic links";
  ASSERT_EQ(::symlink("nodir/x.txt", (Dir / "dangling.txt").c_str()), 0);
  for (const std::vector<std::string>& Args :
       {std::vector<std::string>{"in.txt", "-o", "dangling.txt"}, {"--ms", "dangling.txt"}}) {
    SCOPED_TRACE(Args[0]);
    const TRunResult R = RunProgram(Args, Options);
    EXPECT_EQ(R.ExitCode, 72);
    EXPECT_NE(R.Err.find(FileError("dangling.txt", "Invalid filename")), std::string::npos) << R.Err;
  }
}

// In a single-byte locale files are written in UTF-8: every line, ASCII or
// not, must come through that conversion.
TEST_F(RealConditions, SingleByteLocaleConvertsEveryLineOfTheFiles) {
  if (UnderWine())
    GTEST_SKIP() << "the Windows build has its own code page tests";
  if (UnderEmulator())
    GTEST_SKIP() << "a cross root's C library has no charset converters (iconv's modules)";
  // A locale of the test's own, as the platform tests make theirs.
  const std::string Locales = MakeLocale(Dir, "de_DE", "ISO-8859-1");
  if (Locales.empty())
    GTEST_SKIP() << "localedef cannot make an ISO-8859-1 locale here";
  Options.ExtraEnv = {"LOCPATH=" + Locales, "LC_ALL=de_DE.ISO-8859-1"};
  WriteFile(Dir / "latin.txt", "plain\ncaf\xE9\n");
  TRunResult R = RunProgram({"latin.txt", "-o", "out.txt"}, Options);
  EXPECT_EQ(R.ExitCode, 0) << R.Err;
  EXPECT_EQ(ReadFile(Dir / "out.txt"), "plain\r\ncaf\xC3\xA9\r\n");
  R = RunProgram({"--ms", "sample.txt"}, Options);
  EXPECT_EQ(R.ExitCode, 0) << R.Err;
  const std::string Sample = ReadFile(Dir / "sample.txt");
  EXPECT_NE(Sample.find("Old;New!"), std::string::npos) << Sample;
}

// In a double-byte locale (GBK: "\x81\x41" is one character, its second
// byte the code of "A") searches, replacements and letter case take whole
// characters only.
TEST_F(RealConditions, DoubleByteLocaleKeepsCharactersWhole) {
  if (UnderWine())
    GTEST_SKIP() << "the Windows build has its own double-byte test";
  if (UnderEmulator())
    GTEST_SKIP() << "the emulator's system root has no charset converters";
  const std::string Locales = MakeLocale(Dir, "zh_CN", "GBK");
  if (Locales.empty())
    GTEST_SKIP() << "localedef cannot make a GBK locale here";
  Options.ExtraEnv = {"LOCPATH=" + Locales, "LC_ALL=zh_CN.GBK"};
  // x 丄 y, Abc, q Ａ (fullwidth) q
  WriteFile(Dir / "gbk.txt", "x\x81\x41y\r\nAbc\r\nq\xA3\xC1q\r\n");
  WriteFile(Dir / "pairs.txt", "A;Z\r\n");
  struct TCase {
    std::vector<std::string> Args;
    std::string Out;
  };
  const TCase Cases[] = {
      {{"-f", "A", "-s"}, "Abc\r\n"},
      {{"-f", "a"}, "Abc\r\n"},
      {{"-r", "pairs.txt", "-s"}, "x\x81\x41y\r\nZbc\r\nq\xA3\xC1q\r\n"},
      {{"-f", "\x81\x41"}, "x\x81\x41y\r\n"},
      {{"-f", "\xA3\xE1"}, "q\xA3\xC1q\r\n"},  // fullwidth a finds fullwidth A
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Args[0] + " " + C.Args[1]);
    std::vector<std::string> Args = {"gbk.txt"};
    Args.insert(Args.end(), C.Args.begin(), C.Args.end());
    const TRunResult R = RunProgram(Args, Options);
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_EQ(R.Out, C.Out);
  }
  // The -o file is UTF-8, and so is the name in its tally.
  const TRunResult R = RunProgram({"gbk.txt", "-f", "\x81\x41", "-o", "out.txt", "-t"}, Options);
  EXPECT_EQ(R.ExitCode, 0) << R.Err;
  EXPECT_EQ(ReadFile(Dir / "out.txt"), "x\xE4\xB8\x84y\r\n--- gbk.txt: 1\r\n");
}

}  // namespace
