// The POSIX OS layer against the real system: error numbers of real
// failures, what counts as a file, links, charsets, the command line text,
// and the terminal's settings around the timed pause.
#ifndef _WIN32

#include "platform/platform.h"

#include "platform/posix_internal.h"

#include "common/single_byte_locale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace vellary::platform {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
class PosixFiles : public ::testing::Test {
protected:
  void SetUp() override {
    char Template[] = "/tmp/vellary-platform-XXXXXX";
    ASSERT_NE(::mkdtemp(Template), nullptr);
    Dir = Template;
  }
  void TearDown() override {
    std::error_code Ignored;
    fs::remove_all(Dir, Ignored);
  }
  std::string PathOf(const std::string& Name) const { return Dir + "/" + Name; }
  std::string MakeFile(const std::string& Name, const std::string& Bytes = "x") const {
    std::ofstream(PathOf(Name), std::ios::binary) << Bytes;
    return PathOf(Name);
  }

  std::string Dir;
};

TEST_F(PosixFiles, FailedOpensCarryTheProgramsErrorCodes) {
  std::string File = MakeFile("file.txt");
  struct Case {
    const char* What;
    bool Create;
    std::string Name;
    int Expected;
  };
  const Case Cases[] = {
      {"missing file", false, PathOf("missing.txt"), 2},
      {"missing file, relative name", false, "vellary-surely-missing.txt", 2},
      {"missing folder", false, PathOf("nope/missing.txt"), 3},
      {"output in a missing folder", true, PathOf("nope/out.txt"), 3},
      {"file used as a folder", false, File + "/x", 3},
      {"name too long", false, PathOf(std::string(300, 'n')), 3},
      {"folder as output", true, Dir, 5},
      {"empty name", false, "", 3},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    TNativeHandle Handle = 12345;
    int Error = C.Create ? CreateForWriting(C.Name, Handle) : OpenForReading(C.Name, Handle);
    EXPECT_EQ(Error, C.Expected);
    EXPECT_EQ(Handle, InvalidHandle);
  }
}

TEST_F(PosixFiles, OsNumberEqualToAFixedCodeIsADeviceError) {
  // open() on a socket fails with ENXIO, whose number 6 would read as
  // "Invalid file handle".
  std::string Socket = PathOf("socket");
  int Fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(Fd, 0);
  struct sockaddr_un Address {};
  Address.sun_family = AF_UNIX;
  Socket.copy(Address.sun_path, sizeof Address.sun_path - 1);
  ASSERT_EQ(::bind(Fd, reinterpret_cast<sockaddr*>(&Address), sizeof Address), 0);
  TNativeHandle Handle = InvalidHandle;
  EXPECT_TRUE(FileExistsAt(Socket));
  EXPECT_EQ(OpenForReading(Socket, Handle), 162);
  ::close(Fd);
}

TEST_F(PosixFiles, UnreadableFileIsAccessDenied) {
  std::string File = MakeFile("secret.txt");
  ::chmod(File.c_str(), 0);
  if (::geteuid() == 0)
    GTEST_SKIP() << "root reads any file";
  TNativeHandle Handle = InvalidHandle;
  EXPECT_EQ(OpenForReading(File, Handle), 5);
}

TEST_F(PosixFiles, WriteToFullDeviceIsDiskFull) {
  TNativeHandle Handle = InvalidHandle;
  ASSERT_EQ(CreateForWriting("/dev/full", Handle), 0);
  EXPECT_EQ(WriteBytes(Handle, "abc", 3), 101);
  EXPECT_EQ(CloseHandle(Handle), 0);
}

TEST_F(PosixFiles, ClosedHandleIsInvalidHandle) {
  TNativeHandle Handle = InvalidHandle;
  ASSERT_EQ(OpenForReading(MakeFile("a.txt"), Handle), 0);
  ASSERT_EQ(CloseHandle(Handle), 0);
  char Byte;
  std::size_t Got = 7;
  EXPECT_EQ(ReadBytes(Handle, &Byte, 1, Got), 6);
  EXPECT_EQ(Got, 0u);
  EXPECT_EQ(WriteBytes(Handle, "x", 1), 6);
}

TEST_F(PosixFiles, CreateEmptiesAnExistingFileAndWritesAllBytes) {
  std::string File = MakeFile("out.txt", std::string(1000, 'o'));
  TNativeHandle Handle = InvalidHandle;
  ASSERT_EQ(CreateForWriting(File, Handle), 0);
  std::string Data(300000, 'd');
  ASSERT_EQ(WriteBytes(Handle, Data.data(), Data.size()), 0);
  ASSERT_EQ(CloseHandle(Handle), 0);

  ASSERT_EQ(OpenForReading(File, Handle), 0);
  std::string Back;
  char Chunk[65536];
  std::size_t Got = 0;
  do {
    ASSERT_EQ(ReadBytes(Handle, Chunk, sizeof Chunk, Got), 0);
    Back.append(Chunk, Got);
  } while (Got > 0);
  EXPECT_EQ(CloseHandle(Handle), 0);
  EXPECT_EQ(Back, Data);
}

TEST_F(PosixFiles, ExistingFileIsAnythingButAFolder) {
  std::string Fifo = PathOf("fifo");
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  struct Case {
    const char* What;
    std::string Name;
    bool Exists;
  };
  const Case Cases[] = {
      {"regular file", MakeFile("f.txt"), true},
      {"folder", Dir, false},
      {"missing", PathOf("missing"), false},
      {"empty name", "", false},
      {"device", "/dev/null", true},
      {"fifo", Fifo, true},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    EXPECT_EQ(FileExistsAt(C.Name), C.Exists);
  }
}

TEST_F(PosixFiles, SameRegularFileSeesThroughLinksOnly) {
  std::string File = MakeFile("a.txt");
  std::string Other = MakeFile("b.txt");
  ASSERT_EQ(::symlink(File.c_str(), PathOf("sym").c_str()), 0);
  ASSERT_EQ(::link(File.c_str(), PathOf("hard").c_str()), 0);
  struct Case {
    const char* What;
    std::string A, B;
    bool Same;
  };
  const Case Cases[] = {
      {"same name", File, File, true},
      {"symbolic link", File, PathOf("sym"), true},
      {"hard link", PathOf("hard"), File, true},
      {"via dot-dot", File, Dir + "/../" + fs::path(Dir).filename().string() + "/a.txt", true},
      {"different files", File, Other, false},
      {"missing output", File, PathOf("missing"), false},
      {"one device twice", "/dev/null", "/dev/null", false},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    EXPECT_EQ(SameRegularFile(C.A, C.B), C.Same);
  }
}

// The link to the running executable may name a long path, or be missing
// (no /proc): then argv[0] is resolved, by its folder part or through PATH.
TEST_F(PosixFiles, ExecutablePathFromTheLinkOrFromArgv0) {
  const std::string Long = "/opt/" + std::string(300, 'd') + "/vellary";
  ASSERT_EQ(::symlink(Long.c_str(), PathOf("exe").c_str()), 0);
  const std::string Program = MakeFile("prog");
  ::chmod(Program.c_str(), 0755);
  const std::string Saved = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  ::setenv("PATH", ("/nonexistent:" + Dir).c_str(), 1);
  const std::string Missing = PathOf("no-link");
  const std::string Real = fs::canonical(Program).string();
  EXPECT_EQ(detail::ExecutablePathVia(PathOf("exe").c_str(), "x"), Long);
  EXPECT_EQ(detail::ExecutablePathVia(Missing.c_str(), (Dir + "/./prog").c_str()), Real);
  EXPECT_EQ(detail::ExecutablePathVia(Missing.c_str(), "prog"), Real);
  EXPECT_EQ(detail::ExecutablePathVia(Missing.c_str(), "absent"), "absent");
  ::setenv("PATH", Saved.c_str(), 1);
}

TEST(PosixCommandLine, QuotesEmptyArgumentsAndThoseWithBlanksOrSemicolons) {
  std::vector<std::string> Args = {"./vellary", "in file.txt", "", "--la=a;b", "-t", "\"q\""};
  std::vector<char*> Argv;
  for (std::string& Arg : Args)
    Argv.push_back(Arg.data());
  EXPECT_EQ(RawCommandLine(static_cast<int>(Argv.size()), Argv.data()),
            "./vellary \"in file.txt\" \"\" \"--la=a;b\" -t \"q\"");
  EXPECT_EQ(ProgramArguments(static_cast<int>(Argv.size()), Argv.data()),
            std::vector<std::string>(Args.begin() + 1, Args.end()));
}

TEST(PosixText, UnconvertibleBytesPassUnchanged) {
  // In the C locale the charset is ASCII: a byte above 127 cannot be
  // converted and must survive as it is.
  std::setlocale(LC_CTYPE, "C");
  std::string Out = "stale";
  ConvertCodePage("a\xE9z\xFF", CpLocaleCharset, CpUtf8, Out);
  EXPECT_EQ(Out, "a\xE9z\xFF");
}

TEST(PosixText, Utf8LocaleUpperCasesOnlyAsciiLetters) {
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr)
    GTEST_SKIP() << "no C.UTF-8 locale";
  EXPECT_EQ(AnsiCodePage(), CpUtf8);
  TUpperTable Upper = BuildUpperTable();
  std::setlocale(LC_CTYPE, "C");
  for (int B = 0; B < 256; ++B) {
    SCOPED_TRACE(B);
    int Expected = B >= 'a' && B <= 'z' ? B - 32 : B;
    EXPECT_EQ(Upper[static_cast<std::size_t>(B)], Expected);
  }
}

// A single-byte locale built for the test with localedef, when it can be.
TEST(PosixText, SingleByteLocaleConvertsToUtf8AndUpperCasesAccents) {
  TCodePage Ansi = CpUtf8;
  TUpperTable Upper{};
  std::string Out;
  bool Set = false;
  std::string Missing;
  {
    fixtures::TSingleByteLocale Latin1;
    Set = Latin1.Set;
    Missing = Latin1.Missing;
    Ansi = AnsiCodePage();
    Upper = BuildUpperTable();
    ConvertCodePage("caf\xE9!", Ansi, CpUtf8, Out);
  }
  if (!Set)
    GTEST_SKIP() << Missing;

  EXPECT_EQ(Ansi, CpLocaleCharset);
  EXPECT_EQ(Out, "caf\xC3\xA9!");
  EXPECT_EQ(Upper[0xE9], 0xC9);
  EXPECT_EQ(Upper['q'], 'Q');
  EXPECT_EQ(Upper['1'], '1');
}

TEST(PosixText, MonthNamesOfTheCLocale) {
  std::setlocale(LC_TIME, "C");
  EXPECT_EQ(MonthAbbreviation(1), "Jan");
  EXPECT_EQ(MonthAbbreviation(10), "Oct");
  EXPECT_EQ(MonthAbbreviation(12), "Dec");
  EXPECT_EQ(MonthAbbreviation(13), "");
}

// ---- The keyboard under a pseudo-terminal ----------------------------------

// The terminal's line settings as the child left them.
bool EchoAndCanonicalOn(int Master) {
  struct termios Settings {};
  if (::tcgetattr(Master, &Settings) != 0)
    return false;
  return (Settings.c_lflag & ECHO) != 0 && (Settings.c_lflag & ICANON) != 0;
}

// Reads from the pty master until Marker shows up (or a few seconds pass).
bool AwaitOutput(int Master, const std::string& Marker) {
  std::string Seen;
  for (int Tries = 0; Tries < 300 && Seen.find(Marker) == std::string::npos; ++Tries) {
    char Chunk[64];
    ssize_t Got = ::read(Master, Chunk, sizeof Chunk);
    if (Got > 0)
      Seen.append(Chunk, static_cast<std::size_t>(Got));
    else
      ::usleep(10000);
  }
  return Seen.find(Marker) != std::string::npos;
}

// Runs Child in a process whose controlling terminal is a fresh pty.
pid_t ForkOnPty(int& Master, void (*Child)()) {
  pid_t Pid = ::forkpty(&Master, nullptr, nullptr, nullptr);
  if (Pid == 0) {
    Child();
    ::_exit(0);
  }
  if (Pid > 0)
    ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
  return Pid;
}

void WriteMarker(const char* Text) {
  (void)!::write(STDOUT_FILENO, Text, std::char_traits<char>::length(Text));
}

bool BlockedHere(int Signal) {
  sigset_t Mask;
  ::pthread_sigmask(SIG_BLOCK, nullptr, &Mask);
  return sigismember(&Mask, Signal) == 1;
}

// In a child, as the mask and the handlers belong to the process. The exit
// code has one bit per fault.
TEST(PosixSignals, HoldReachesLaterThreadsAndReleaseDeliversWhatArrived) {
  pid_t Pid = ::fork();
  ASSERT_GE(Pid, 0);
  if (Pid == 0) {
    sigset_t Hup;
    sigemptyset(&Hup);
    sigaddset(&Hup, SIGHUP);
    ::pthread_sigmask(SIG_BLOCK, &Hup, nullptr);  // blocked before the hold
    CatchTerminationSignals();
    HoldTerminationSignals();
    bool ThreadHolds = false;
    std::thread([&] { ThreadHolds = BlockedHere(SIGINT) && BlockedHere(SIGTERM); }).join();
    ::kill(::getpid(), SIGTERM);
    const bool HeldBack = PendingTerminationSignal() == 0;
    ReleaseTerminationSignals();
    ::_exit((ThreadHolds ? 0 : 1) | (HeldBack ? 0 : 2) |
            (PendingTerminationSignal() == SIGTERM ? 0 : 4) | (BlockedHere(SIGHUP) ? 0 : 8) |
            (BlockedHere(SIGINT) ? 16 : 0));
  }
  int Status = 0;
  ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
  ASSERT_TRUE(WIFEXITED(Status));
  EXPECT_EQ(WEXITSTATUS(Status), 0);
}

TEST(PosixKeyboard, TypedAheadKeysAreDiscardedAndLaterKeysSeen) {
  int Master = -1;
  pid_t Pid = ForkOnPty(Master, [] {
    ::usleep(300000);  // the parent types ahead meanwhile
    if (!OpenKeyboard())
      ::_exit(10);
    if (KeyWaiting())
      ::_exit(11);
    WriteMarker("OPEN\n");
    for (int Tick = 0; Tick < 300 && !KeyWaiting(); ++Tick)
      (void)SleepMilliseconds(10);
    bool Seen = KeyWaiting();
    CloseKeyboard();
    ::_exit(Seen ? 0 : 12);
  });
  ASSERT_GT(Pid, 0);
  ASSERT_EQ(::write(Master, "x", 1), 1);
  ASSERT_TRUE(AwaitOutput(Master, "OPEN"));
  EXPECT_FALSE(EchoAndCanonicalOn(Master));
  ASSERT_EQ(::write(Master, "y", 1), 1);
  int Status = 0;
  ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
  EXPECT_TRUE(WIFEXITED(Status));
  EXPECT_EQ(WEXITSTATUS(Status), 0);
  EXPECT_TRUE(EchoAndCanonicalOn(Master));
  ::close(Master);
}

TEST(PosixKeyboard, TerminalRestoredWhenASignalEndsThePause) {
  for (int Signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(Signal);
    int Master = -1;
    pid_t Pid = ForkOnPty(Master, [] {
      if (!OpenKeyboard())
        ::_exit(10);
      WriteMarker("OPEN\n");
      (void)SleepMilliseconds(5000);
      ::_exit(11);
    });
    ASSERT_GT(Pid, 0);
    ASSERT_TRUE(AwaitOutput(Master, "OPEN"));
    EXPECT_FALSE(EchoAndCanonicalOn(Master));
    ::kill(Pid, Signal);
    int Status = 0;
    ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
    ASSERT_TRUE(WIFSIGNALED(Status));
    EXPECT_EQ(WTERMSIG(Status), Signal);
    EXPECT_TRUE(EchoAndCanonicalOn(Master));
    ::close(Master);
  }
}

TEST(PosixKeyboard, NoTerminalMeansNoKeyboard) {
  pid_t Pid = ::fork();
  ASSERT_GE(Pid, 0);
  if (Pid == 0) {
    ::setsid();  // no controlling terminal any more
    bool Opened = OpenKeyboard();
    bool Waiting = KeyWaiting();
    SoundAlert();
    ::_exit(!Opened && !Waiting ? 0 : 1);
  }
  int Status = 0;
  ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
  EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
}

}  // namespace
}  // namespace vellary::platform

#endif  // _WIN32
