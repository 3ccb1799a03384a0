// Real file-system faults against the built program: unreadable files,
// folders that refuse new files, outputs that alias the input, inputs that
// are pipes or keep growing. Each fault ends with its exit code and message,
// and no input file is ever damaged.
//
// Permission checks are run as the unprivileged user 'nobody' when the tests
// run as root, since root reads and writes through any mode bits.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace vellary::e2e;

namespace {

constexpr int NobodyId = 65534;
constexpr const char* Lines = "first line\nsecond line\n\nlast line";
constexpr const char* LinesOut = "first line\r\nsecond line\r\n\r\nlast line\r\n";

// The message line of the error screen, with its CR LF.
std::string MessageLine(const std::string& Message) { return Message + "\r\n"; }

std::string FileError(const std::string& Name, const std::string& Text) {
  return MessageLine("File handling error occurred with \"" + Name + "\" -- " + Text);
}

// A scratch folder the unprivileged user can enter and write, holding its
// own copy of the program (the build tree may not be reachable by that user).
class UnprivilegedRun : public ::testing::Test {
protected:
  void SetUp() override {
    if (UnderWine())
      GTEST_SKIP() << "permissions are a POSIX matter";
    fs::permissions(Dir.Path(), fs::perms::all);
    Options.WorkDir = Dir.Path();
    if (::geteuid() != 0)
      return;  // already unprivileged: mode bits apply as they are
    Options.Program = (Dir / "vellary").string();
    fs::copy_file(ProgramPath(), Options.Program);
    fs::permissions(Options.Program, fs::perms::owner_all | fs::perms::group_exec |
                                         fs::perms::group_read | fs::perms::others_exec |
                                         fs::perms::others_read);
    Options.RunAsUid = NobodyId;
    Options.RunAsGid = NobodyId;
  }

  TRunResult Run(const std::vector<std::string>& Args) {
    TRunResult R = RunProgram(Args, Options);
    if (R.ExitCode == 125)
      ADD_FAILURE() << "could not drop privileges";
    return R;
  }

  TScratchDir Dir;
  TRunOptions Options;
};

TEST_F(UnprivilegedRun, UnreadableInputFileIsAccessDenied) {
  WriteFile(Dir / "in.txt", Lines);
  fs::permissions(Dir / "in.txt", fs::perms::none);
  TRunResult R = Run({"in.txt", "-t"});
  EXPECT_EQ(R.ExitCode, 71);
  EXPECT_NE(R.Err.find(FileError("in.txt", "Access denied")), std::string::npos) << R.Err;
  EXPECT_EQ(R.Out, "");
}

TEST_F(UnprivilegedRun, UnreadableReplacementFileIsAccessDeniedBeforeTheOutputExists) {
  WriteFile(Dir / "in.txt", Lines);
  WriteFile(Dir / "pairs.txt", "first;1st\n");
  fs::permissions(Dir / "pairs.txt", fs::perms::none);
  TRunResult R = Run({"in.txt", "-r", "pairs.txt", "-o", "out.txt"});
  EXPECT_EQ(R.ExitCode, 71);
  EXPECT_NE(R.Err.find(FileError("pairs.txt", "Access denied")), std::string::npos) << R.Err;
  EXPECT_FALSE(fs::exists(Dir / "out.txt"));
}

TEST_F(UnprivilegedRun, OutputAndSampleFileInReadOnlyFolderAreAccessDenied) {
  WriteFile(Dir / "in.txt", Lines);
  fs::create_directory(Dir / "locked");
  fs::permissions(Dir / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
  struct Case {
    std::vector<std::string> Args;
    std::string Name;
  };
  const Case Cases[] = {
      {{"in.txt", "-o", "locked/out.txt"}, "locked/out.txt"},
      {{"--ms", "locked/sample.txt"}, "locked/sample.txt"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    TRunResult R = Run(C.Args);
    EXPECT_EQ(R.ExitCode, 72);
    EXPECT_NE(R.Err.find(FileError(C.Name, "Access denied")), std::string::npos) << R.Err;
    EXPECT_FALSE(fs::exists(Dir / C.Name));
  }
  EXPECT_EQ(ReadFile(Dir / "in.txt"), Lines);
}

// ---- Faults that need no change of user ------------------------------------

class FaultRun : public ::testing::Test {
protected:
  void SetUp() override {
    if (UnderWine())
      GTEST_SKIP() << "POSIX devices, links and pipes";
    Options.WorkDir = Dir.Path();
    WriteFile(Dir / "in.txt", Lines);
  }
  TScratchDir Dir;
  TRunOptions Options;
};

TEST_F(FaultRun, SampleFileOntoAFolderIsAccessDenied) {
  fs::create_directory(Dir / "sub");
  TRunResult R = RunProgram({"--ms", "sub"}, Options);
  EXPECT_EQ(R.ExitCode, 72);
  EXPECT_NE(R.Err.find(FileError("sub", "Access denied")), std::string::npos) << R.Err;
  EXPECT_TRUE(fs::is_directory(Dir / "sub"));
}

TEST_F(FaultRun, DiskFullNamesTheInputFileWhateverTheOutputSize) {
  // A small output fails only when it is flushed at the close; a large one
  // fails while lines are still being read.
  std::string Big;
  for (int I = 0; I < 20000; ++I)
    Big += "a line of some length to fill more than one output buffer\n";
  WriteFile(Dir / "big.txt", Big);
  for (const char* Name : {"in.txt", "big.txt"}) {
    SCOPED_TRACE(Name);
    TRunResult R = RunProgram({Name, "-o", "/dev/full", "-t"}, Options);
    EXPECT_EQ(R.ExitCode, 71);
    EXPECT_NE(R.Err.find(FileError(Name, "Disk Full")), std::string::npos) << R.Err;
  }
  // Standard output on a full device is a failure too, not a silent success,
  // also when it is the flush before a wait for piped input that fails.
  Options.StdoutPath = "/dev/full";
  TRunResult R = RunProgram({"big.txt"}, Options);
  EXPECT_EQ(R.ExitCode, 71);
  EXPECT_NE(R.Err.find(FileError("big.txt", "Disk Full")), std::string::npos) << R.Err;
  Options.Timeout = std::chrono::seconds(10);
  R = RunShell("(printf 'a\\n'; sleep 0.5) | \"$0\" -", {}, Options);
  EXPECT_EQ(R.ExitCode, 71);
  EXPECT_NE(R.Err.find(FileError("-", "Disk Full")), std::string::npos) << R.Err;
}

// -o naming the input by another path must not empty it before it is read.
TEST_F(FaultRun, OutputAliasingTheInputLeavesItIntact) {
  ASSERT_EQ(::symlink("in.txt", (Dir / "soft.txt").c_str()), 0);
  ASSERT_EQ(::link((Dir / "in.txt").c_str(), (Dir / "hard.txt").c_str()), 0);
  fs::create_directory(Dir / "sub");
  for (const char* Out : {"in.txt", "./in.txt", "soft.txt", "hard.txt", "sub/../in.txt"}) {
    SCOPED_TRACE(Out);
    TRunResult R = RunProgram({"in.txt", "-o", Out}, Options);
    EXPECT_EQ(R.ExitCode, 72);
    EXPECT_NE(R.Err.find(FileError(Out, "Access denied")), std::string::npos) << R.Err;
    EXPECT_EQ(ReadFile(Dir / "in.txt"), Lines);
  }
  // The input named through the link, the output by its real name.
  TRunResult R = RunProgram({"soft.txt", "-o", "in.txt"}, Options);
  EXPECT_EQ(R.ExitCode, 72);
  EXPECT_EQ(ReadFile(Dir / "in.txt"), Lines);
}

TEST_F(FaultRun, StandardInputByNameIsReadToItsEnd) {
  Options.StdinPath = (Dir / "in.txt").string();
  TRunResult R = RunProgram({"/dev/stdin", "-t"}, Options);
  EXPECT_EQ(R.ExitCode, 0) << R.Err;
  EXPECT_EQ(R.Out, LinesOut);
  EXPECT_EQ(R.Err, "--- /dev/stdin: 3\r\n");
}

TEST_F(FaultRun, FifoAsInputIsReadUntilTheWriterCloses) {
  const fs::path Fifo = Dir / "pipe";
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  std::string Text;
  for (int I = 0; I < 5000; ++I)  // more than a pipe holds at once
    Text += "line " + std::to_string(I) + "\r\n";
  std::thread Writer([&] {
    int Fd = ::open(Fifo.c_str(), O_WRONLY);
    if (Fd < 0)
      return;
    for (std::size_t At = 0; At < Text.size();) {
      ssize_t Put = ::write(Fd, Text.data() + At, Text.size() - At);
      if (Put <= 0)
        break;
      At += static_cast<std::size_t>(Put);
    }
    ::close(Fd);
  });
  TRunResult R = RunProgram({"pipe"}, Options);
  // Should the program not have opened the pipe, release the writer.
  int Unblock = ::open(Fifo.c_str(), O_RDONLY | O_NONBLOCK);
  Writer.join();
  if (Unblock >= 0)
    ::close(Unblock);
  EXPECT_EQ(R.ExitCode, 0) << R.Err;
  EXPECT_EQ(R.Out, Text);
}

// Lines appended while the file is read: everything written is a whole line
// of the file, in order, and the run ends once the writer has stopped.
TEST_F(FaultRun, InputGrowingWhileReadEndsWithWholeLines) {
  std::string Start;
  for (int I = 0; I < 200000; ++I)
    Start += "original " + std::to_string(I) + "\n";
  WriteFile(Dir / "grow.txt", Start);
  std::atomic<bool> Done{false};
  std::thread Appender([&] {
    int Fd = ::open((Dir / "grow.txt").c_str(), O_WRONLY | O_APPEND);
    std::string Grown;
    for (std::size_t I = 0; I < 4096 / 6; ++I)
      Grown += "grown\n";
    // A bounded amount: a writer that never stops would keep any reader busy.
    for (int Blocks = 0; Blocks < 1000 && !Done && Fd >= 0; ++Blocks) {
      if (::write(Fd, Grown.data(), Grown.size()) < 0)
        break;
      std::this_thread::yield();
    }
    if (Fd >= 0)
      ::close(Fd);
  });
  TRunResult R = RunProgram({"grow.txt"}, Options);
  Done = true;
  Appender.join();
  ASSERT_EQ(R.ExitCode, 0) << R.Err;
  const std::string Expected = Crlf(Start);
  ASSERT_GE(R.Out.size(), Expected.size());
  EXPECT_EQ(R.Out.compare(0, Expected.size(), Expected), 0);
  // The rest: whole "grown" lines; only the very last may be cut short by a
  // read that met an append half done.
  std::string_view Rest(R.Out);
  Rest.remove_prefix(Expected.size());
  while (!Rest.empty()) {
    const std::size_t End = Rest.find("\r\n");
    ASSERT_NE(End, std::string_view::npos);
    const std::string_view Line = Rest.substr(0, End);
    Rest.remove_prefix(End + 2);
    if (Rest.empty())
      EXPECT_EQ(std::string_view("grown").substr(0, Line.size()), Line);
    else
      ASSERT_EQ(Line, "grown");
  }
}

// ---- Faults in the middle of a file large enough for several cores --------

class LargeFileFaultRun : public FaultRun {
protected:
  void SetUp() override {
    FaultRun::SetUp();
    for (int I = 0; Big.size() < (9u << 20); ++I)
      Big += "line " + std::to_string(I) + " of a file fed on every core\n";
    WriteFile(Dir / "big.txt", Big);
  }
  std::string Big;
};

TEST_F(LargeFileFaultRun, FullDiskStopsTheRunWithTheInputFileNamed) {
  struct Case {
    std::vector<std::string> Args;
    std::string Stdout;
  };
  const Case Cases[] = {
      {{"big.txt", "-o", "/dev/full", "-t"}, ""},
      {{"big.txt", "-r", "in.txt"}, "/dev/full"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Args[1]);
    Options.StdoutPath = C.Stdout;
    TRunResult R = RunProgram(C.Args, Options);
    EXPECT_EQ(R.ExitCode, 71);
    EXPECT_NE(R.Err.find(FileError("big.txt", "Disk Full")), std::string::npos) << R.Err;
  }
}

// The reader goes away after the first megabyte: the run ends by SIGPIPE, as
// any other writer into a closed pipe, and what did arrive is the output's
// beginning, in order.
TEST_F(LargeFileFaultRun, ClosedPipeEndsTheRunAfterOrderedOutput) {
  const fs::path Fifo = Dir / "pipe";
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  std::string Received;
  std::atomic<bool> ReaderDone{false};
  std::thread Reader([&] {
    int Fd = ::open(Fifo.c_str(), O_RDONLY);
    char Buffer[65536];
    while (Fd >= 0 && Received.size() < (1u << 20)) {
      ssize_t Got = ::read(Fd, Buffer, sizeof Buffer);
      if (Got <= 0)
        break;
      Received.append(Buffer, static_cast<std::size_t>(Got));
    }
    if (Fd >= 0)
      ::close(Fd);
    ReaderDone = true;
  });
  Options.StdoutPath = Fifo.string();
  TRunResult R = RunProgram({"big.txt"}, Options);
  // Should the program not have opened the pipe, release the reader.
  while (!ReaderDone) {
    if (int Unblock = ::open(Fifo.c_str(), O_WRONLY | O_NONBLOCK); Unblock >= 0)
      ::close(Unblock);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Reader.join();
  EXPECT_EQ(R.Signal, SIGPIPE) << R.ExitCode << R.Err;
  ASSERT_GE(Received.size(), 1u << 20);
  EXPECT_EQ(Received, Crlf(Big).substr(0, Received.size()));
}

}  // namespace
