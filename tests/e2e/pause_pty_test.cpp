// The timed pause and the alert against a real terminal: the built program
// runs with a pseudo-terminal as its controlling terminal. '--debug-mode'
// alone names a missing input file, so the run ends in an error exit (70)
// that sounds the alert and pauses.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

constexpr const char* Prompt = "Press any key to continue...";
constexpr int ExitNoValidFile = 70;
constexpr int ExitWriteError = 72;

// One run of the program under a fresh pseudo-terminal. The test keeps the
// slave side open too, to read the terminal's settings after the run.
class TPtyRun {
public:
  TPtyRun() = default;
  TPtyRun(const TPtyRun&) = delete;
  TPtyRun& operator=(const TPtyRun&) = delete;
  ~TPtyRun() {
    if (Pid > 0 && !Ended) {
      ::kill(Pid, SIGKILL);
      ::waitpid(Pid, nullptr, 0);
    }
    if (Master >= 0)
      ::close(Master);
    if (Slave >= 0)
      ::close(Slave);
    std::error_code Ignored;
    if (!Folder.empty())
      std::filesystem::remove_all(Folder, Ignored);
  }

  // Typed-ahead input reaches the terminal before the program starts.
  // With StderrToFile, standard error goes to a file instead of the terminal.
  bool Start(const std::string& TypedAhead, bool StderrToFile) {
    const char* Bin = std::getenv("VELLARY_BIN");
    if (Bin == nullptr || ::openpty(&Master, &Slave, nullptr, nullptr, nullptr) != 0)
      return false;
    ::tcgetattr(Slave, &Before);
    char Template[] = "/tmp/vellary_pty_XXXXXX";
    if (::mkdtemp(Template) == nullptr)
      return false;
    Folder = Template;
    std::string ErrFile = StderrToFile ? (Folder / "stderr.txt").string() : "";
    if (!TypedAhead.empty())
      (void)!::write(Master, TypedAhead.data(), TypedAhead.size());
    std::vector<std::string> Command = vellary::e2e::ProgramCommand(Bin);
    Command.insert(Command.end(), Args.begin(), Args.end());
    Pid = ::fork();
    if (Pid == 0)
      RunChild(Command, ErrFile);
    return Pid > 0;
  }

  // Reads the terminal until Done(output) holds or the time is up.
  bool ReadUntil(const std::function<bool(const std::string&)>& Done, TClock::duration Limit) {
    auto Deadline = TClock::now() + Limit;
    while (!Done(Output)) {
      if (TClock::now() > Deadline)
        return false;
      ReadAvailable(50);
    }
    return true;
  }

  // Waits for the program to end, reading the terminal meanwhile; the wait
  // status, or -1 when the time is up.
  int WaitForEnd(TClock::duration Limit) {
    auto Deadline = TClock::now() + Limit;
    while (TClock::now() < Deadline) {
      int Status = 0;
      if (::waitpid(Pid, &Status, WNOHANG) == Pid) {
        Ended = true;
        while (ReadAvailable(50)) {
        }
        return Status;
      }
      ReadAvailable(50);
    }
    return -1;
  }

  void Type(const char* Keys) { (void)!::write(Master, Keys, std::strlen(Keys)); }

  // A signal to the terminal's foreground process group, as the terminal
  // sends Ctrl-C or Ctrl-Z.
  void SignalForeground(int Signal) { ::kill(-::tcgetpgrp(Master), Signal); }

  bool SettingsUnchanged() const {
    termios After{};
    ::tcgetattr(Slave, &After);
    return After.c_iflag == Before.c_iflag && After.c_oflag == Before.c_oflag &&
           After.c_cflag == Before.c_cflag && After.c_lflag == Before.c_lflag &&
           std::memcmp(After.c_cc, Before.c_cc, sizeof After.c_cc) == 0;
  }

  // True when input is waiting for the next reader of the terminal (the shell).
  bool InputLeftOver() const {
    pollfd Poll{Slave, POLLIN, 0};
    return ::poll(&Poll, 1, 100) > 0;
  }

  std::string ErrFileText() const {
    std::ifstream In(Folder / "stderr.txt", std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
  }

  pid_t Pid = -1;
  std::string Output;
  std::vector<std::string> Args = {"--debug-mode"};
  // When set, standard input is a pipe holding this text instead of the terminal.
  std::string PipedInput;
  // Run the program as a job of its own below a session leader, as a shell
  // does: only then does Ctrl-Z stop it (an orphaned process group ignores
  // a stop). The leader ends as the job did.
  bool AsJob = false;

private:
  [[noreturn]] void RunChild(std::vector<std::string>& Command, const std::string& ErrFile) {
    ::close(Master);
    if (::chdir(Folder.c_str()) != 0 || ::login_tty(Slave) != 0)
      ::_exit(126);
    if (!ErrFile.empty()) {
      int Fd = ::open(ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(Fd, STDERR_FILENO);
      ::close(Fd);
    }
    if (!PipedInput.empty()) {
      int Pipe[2];
      if (::pipe(Pipe) != 0)
        ::_exit(126);
      (void)!::write(Pipe[1], PipedInput.data(), PipedInput.size());
      ::close(Pipe[1]);
      ::dup2(Pipe[0], STDIN_FILENO);
      ::close(Pipe[0]);
    }
    if (AsJob)
      EnterJob();
    std::vector<char*> Argv;
    for (std::string& Arg : Command)
      Argv.push_back(Arg.data());
    Argv.push_back(nullptr);
    ::execvp(Argv[0], Argv.data());
    ::_exit(127);
  }

  // Returns in the job, to go on to the program; the leader waits for the
  // job and ends the same way.
  static void EnterJob() {
    const pid_t Job = ::fork();
    if (Job == 0) {
      ::setpgid(0, 0);
      ::signal(SIGTTOU, SIG_IGN);
      ::tcsetpgrp(STDIN_FILENO, ::getpid());
      ::signal(SIGTTOU, SIG_DFL);
      return;
    }
    int Status = 0;
    while (::waitpid(Job, &Status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(Status)) {
      ::signal(WTERMSIG(Status), SIG_DFL);
      ::raise(WTERMSIG(Status));
    }
    ::_exit(WIFEXITED(Status) ? WEXITSTATUS(Status) : 127);
  }

  bool ReadAvailable(int TimeoutMs) {
    pollfd Poll{Master, POLLIN, 0};
    if (::poll(&Poll, 1, TimeoutMs) <= 0)
      return false;
    char Buffer[4096];
    ssize_t Got = ::read(Master, Buffer, sizeof Buffer);
    if (Got <= 0)
      return false;
    Output.append(Buffer, static_cast<std::size_t>(Got));
    return true;
  }

  int Master = -1;
  int Slave = -1;
  termios Before{};
  bool Ended = false;
  std::filesystem::path Folder;
};

// The dots written after the prompt.
std::size_t DotsAfterPrompt(const std::string& Text) {
  std::size_t At = Text.find(Prompt);
  if (At == std::string::npos)
    return 0;
  std::size_t From = At + std::strlen(Prompt);
  std::size_t End = Text.find_first_not_of('.', From);
  return (End == std::string::npos ? Text.size() : End) - From;
}

// Whether Pid has Signal blocked, as the system reports it.
bool SignalBlocked(pid_t Pid, int Signal) {
  std::ifstream Status("/proc/" + std::to_string(Pid) + "/status");
  for (std::string Line; std::getline(Status, Line);)
    if (Line.rfind("SigBlk:", 0) == 0)
      return (std::stoull(Line.substr(7), nullptr, 16) >> (Signal - 1) & 1) != 0;
  return false;
}

bool EndedWithCode(int Status, int Code) { return WIFEXITED(Status) && WEXITSTATUS(Status) == Code; }

// Under wine the program is not a POSIX terminal program: wine's console
// neither discards typed-ahead keys nor keeps the pause's timing.
#define START_OR_SKIP(Run, TypedAhead, StderrToFile)                     \
  if (vellary::e2e::UnderWine())                                         \
    GTEST_SKIP() << "a POSIX terminal test";                             \
  if (!(Run).Start(TypedAhead, StderrToFile))                            \
  GTEST_SKIP() << "needs VELLARY_BIN and a pseudo-terminal"

}  // namespace

// The key is pressed in the middle of the fifth sleep: that tick's dot is
// still written, then the pause ends without a sixth.
TEST(PausePty, KeyDuringFifthTickLeavesFiveDotsAndRestoresTerminal) {
  TPtyRun Run;
  START_OR_SKIP(Run, "", false);
  ASSERT_TRUE(Run.ReadUntil([](const std::string& Out) { return DotsAfterPrompt(Out) >= 4; }, 20s))
      << Run.Output;
  // SIGTTOU is held back only around the terminal calls: a pause moved to
  // the background must stop at its next dot (with tostop).
  EXPECT_FALSE(SignalBlocked(Run.Pid, SIGTTOU));
  std::this_thread::sleep_for(100ms);
  Run.Type("x\n");
  int Status = Run.WaitForEnd(20s);
  EXPECT_TRUE(EndedWithCode(Status, ExitNoValidFile)) << Status;
  EXPECT_EQ(DotsAfterPrompt(Run.Output), 5u) << Run.Output;
  EXPECT_NE(Run.Output.find("CMD SYNTAX:"), std::string::npos);
  EXPECT_TRUE(Run.SettingsUnchanged());
  EXPECT_FALSE(Run.InputLeftOver()) << "the key reached the shell";
}

// Nor do signals that are no termination (a continue every 20 ms) cut the
// ticks short.
TEST(PausePty, KeyTypedBeforeThePromptDoesNotShortenThePause) {
  TPtyRun Run;
  const auto Started = TClock::now();
  START_OR_SKIP(Run, "x\n", false);
  std::atomic<bool> Ended{false};
  std::thread Continues([&] {
    for (; !Ended; std::this_thread::sleep_for(20ms))
      ::kill(Run.Pid, SIGCONT);
  });
  int Status = Run.WaitForEnd(30s);
  Ended = true;
  Continues.join();
  EXPECT_GT(TClock::now() - Started, 7s);
  EXPECT_TRUE(EndedWithCode(Status, ExitNoValidFile)) << Status;
  EXPECT_EQ(DotsAfterPrompt(Run.Output), 30u) << Run.Output;
  EXPECT_TRUE(Run.SettingsUnchanged());
}

// Keys piped to standard input are the input's, not the pause's: only the
// terminal ends it.
TEST(PausePty, KeysOnPipedStandardInputDoNotEndThePause) {
  TPtyRun Run;
  Run.Args = {"-", "-o", "nodir/out.txt", "--debug-mode"};
  Run.PipedInput = "x\ny\n";
  START_OR_SKIP(Run, "", false);
  ASSERT_TRUE(Run.ReadUntil([](const std::string& Out) { return DotsAfterPrompt(Out) >= 3; }, 20s))
      << Run.Output;
  Run.Type("x");
  int Status = Run.WaitForEnd(20s);
  EXPECT_TRUE(EndedWithCode(Status, ExitWriteError)) << Status;
  EXPECT_LT(DotsAfterPrompt(Run.Output), 30u) << Run.Output;
  EXPECT_TRUE(Run.SettingsUnchanged());
}

// Any signal whose default ends the process gives the terminal back first,
// a real-time one too.
TEST(PausePty, EndingSignalDuringThePauseRestoresTerminal) {
  for (int Signal : {SIGINT, SIGTERM, SIGUSR1, SIGALRM, SIGRTMAX}) {
    SCOPED_TRACE(::strsignal(Signal));
    TPtyRun Run;
    START_OR_SKIP(Run, "", false);
    ASSERT_TRUE(Run.ReadUntil([](const std::string& Out) { return DotsAfterPrompt(Out) >= 1; }, 20s))
        << Run.Output;
    ASSERT_FALSE(Run.SettingsUnchanged()) << "the pause should have switched echo off";
    ::kill(Run.Pid, Signal);
    int Status = Run.WaitForEnd(20s);
    EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == Signal) << Status;
    EXPECT_TRUE(Run.SettingsUnchanged());
  }
}

// Ctrl-Z gives the shell a sane terminal while the job is stopped; fg puts
// the pause's mode back, so a key still ends it.
TEST(PausePty, StopRestoresTerminalAndContinueResumesThePause) {
  TPtyRun Run;
  Run.AsJob = true;
  START_OR_SKIP(Run, "", false);
  ASSERT_TRUE(Run.ReadUntil([](const std::string& Out) { return DotsAfterPrompt(Out) >= 1; }, 20s))
      << Run.Output;
  ASSERT_FALSE(Run.SettingsUnchanged()) << "the pause should have switched echo off";
  Run.SignalForeground(SIGTSTP);
  EXPECT_TRUE(Run.ReadUntil([&](const std::string&) { return Run.SettingsUnchanged(); }, 10s));
  Run.SignalForeground(SIGCONT);
  EXPECT_TRUE(Run.ReadUntil([&](const std::string&) { return !Run.SettingsUnchanged(); }, 10s));
  Run.Type("x");
  int Status = Run.WaitForEnd(30s);
  EXPECT_TRUE(EndedWithCode(Status, ExitNoValidFile)) << Status;
  EXPECT_LT(DotsAfterPrompt(Run.Output), 30u) << Run.Output;
  EXPECT_TRUE(Run.SettingsUnchanged());
}

TEST(PausePty, BellGoesToTheTerminalNotToRedirectedStandardError) {
  TPtyRun Run;
  START_OR_SKIP(Run, "", true);
  ASSERT_TRUE(Run.ReadUntil([](const std::string& Out) { return Out.find('\a') != std::string::npos; }, 20s))
      << Run.Output;
  // The keyboard is open by now: a key ends the pause early.
  std::this_thread::sleep_for(300ms);
  Run.Type("x");
  int Status = Run.WaitForEnd(20s);
  EXPECT_TRUE(EndedWithCode(Status, ExitNoValidFile)) << Status;
  std::string Err = Run.ErrFileText();
  EXPECT_NE(Err.find("Invalid or incomplete syntax!"), std::string::npos);
  EXPECT_NE(Err.find(Prompt), std::string::npos);
  EXPECT_EQ(Err.find('\a'), std::string::npos);
  EXPECT_EQ(std::count(Run.Output.begin(), Run.Output.end(), '\a'), 1);
  EXPECT_TRUE(Run.SettingsUnchanged());
}
