// POSIX process runner for the end-to-end tests.
#include "e2e/harness.h"

#include <fcntl.h>
#include <poll.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <regex>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace vellary::e2e {

std::string ProgramPath() {
  const char* Bin = std::getenv("VELLARY_BIN");
  return Bin != nullptr ? Bin : "vellary";
}

namespace {

enum class TRunner { None, Wine, Emulator };

TRunner RunnerKind() {
  const char* Runner = std::getenv("VELLARY_RUNNER");
  if (Runner == nullptr || *Runner == '\0')
    return TRunner::None;
  const char* Kind = std::getenv("VELLARY_RUNNER_KIND");
  if (Kind == nullptr || *Kind == '\0')
    return std::filesystem::path(Runner).filename().string().starts_with("wine") ? TRunner::Wine
                                                                                 : TRunner::Emulator;
  if (std::strcmp(Kind, "wine") == 0)
    return TRunner::Wine;
  if (std::strcmp(Kind, "emulator") == 0)
    return TRunner::Emulator;
  throw std::runtime_error("VELLARY_RUNNER_KIND is neither wine nor emulator");
}

}  // namespace

bool UnderWine() { return RunnerKind() == TRunner::Wine; }
bool UnderEmulator() { return RunnerKind() == TRunner::Emulator; }

std::vector<std::string> ProgramCommand(const std::string& Program) {
  std::vector<std::string> Command;
  if (RunnerKind() != TRunner::None)
    Command.emplace_back(std::getenv("VELLARY_RUNNER"));
  Command.push_back(Program);
  return Command;
}

static void Drain(int Fd, std::string& Into, bool& Open) {
  char Buffer[65536];
  ssize_t Got = read(Fd, Buffer, sizeof Buffer);
  if (Got > 0)
    Into.append(Buffer, static_cast<std::size_t>(Got));
  else if (Got == 0 || (errno != EINTR && errno != EAGAIN))
    Open = false;
}

static void RedirectChild(const TRunOptions& Options, int OutPipe, int ErrPipe) {
  int In = open(Options.StdinPath.c_str(), O_RDONLY);
  if (In >= 0 && Options.StdinNonBlocking)
    fcntl(In, F_SETFL, fcntl(In, F_GETFL) | O_NONBLOCK);
  if (In >= 0)
    dup2(In, 0);
  if (Options.StdoutOpen == TRunOptions::soClosed) {
    close(1);
  } else if (!Options.StdoutPath.empty()) {
    static constexpr int Flags[] = {O_WRONLY | O_CREAT | O_TRUNC, O_WRONLY | O_CREAT | O_APPEND,
                                    O_RDWR | O_CREAT};
    int Out = open(Options.StdoutPath.c_str(), Flags[Options.StdoutOpen], 0644);
    dup2(Out, 1);
  } else {
    dup2(OutPipe, 1);
  }
  if (!Options.StderrPath.empty()) {
    int Err = open(Options.StderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(Err, 2);
  } else {
    dup2(ErrPipe, 2);
  }
}

static std::string EnvName(const std::string& Entry) {
  return Entry.substr(0, Entry.find('='));
}

// The test's environment with ExtraEnv replacing what it names. Under wine the
// locale is pinned: wine derives the ANSI and OEM code pages (and how it
// decodes the arguments) from it, so an unset or unknown locale would make the
// results depend on the machine. C.UTF-8 always exists and gives code pages
// 1252 and 437 with UTF-8 arguments.
static std::vector<std::string> ChildEnvironment(const std::vector<std::string>& ExtraEnv) {
  std::vector<std::string> Extra;
  if (UnderWine()) {
    Extra = {"LC_ALL=C.UTF-8", "WINEDEBUG=-all"};
    if (const char* Debug = std::getenv("WINEDEBUG"))
      Extra.back() = std::string("WINEDEBUG=") + Debug;
  }
  Extra.insert(Extra.end(), ExtraEnv.begin(), ExtraEnv.end());
  std::vector<std::string> Env;
  for (char** E = environ; *E != nullptr; ++E) {
    const std::string Name = EnvName(*E);
    if (std::none_of(Extra.begin(), Extra.end(),
                     [&](const std::string& X) { return EnvName(X) == Name; }))
      Env.emplace_back(*E);
  }
  // Later entries win, as they would when set one after another.
  for (std::size_t I = 0; I < Extra.size(); ++I) {
    const std::string Name = EnvName(Extra[I]);
    if (std::none_of(Extra.begin() + static_cast<std::ptrdiff_t>(I) + 1, Extra.end(),
                     [&](const std::string& X) { return EnvName(X) == Name; }))
      Env.push_back(Extra[I]);
  }
  return Env;
}

static TRunResult Run(std::vector<std::string> Argv, const TRunOptions& Options) {
  std::vector<char*> CArgv;
  for (std::string& A : Argv)
    CArgv.push_back(A.data());
  CArgv.push_back(nullptr);

  std::vector<std::string> Env = ChildEnvironment(Options.ExtraEnv);
  std::vector<char*> CEnv;
  for (std::string& E : Env)
    CEnv.push_back(E.data());
  CEnv.push_back(nullptr);

  int OutPipe[2], ErrPipe[2];
  if (pipe2(OutPipe, O_CLOEXEC) != 0 || pipe2(ErrPipe, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_t Pid = fork();
  if (Pid == 0) {
    setsid();  // no controlling terminal: the run is as unattended as CI
    if (!Options.WorkDir.empty() && chdir(Options.WorkDir.c_str()) != 0)
      _exit(126);
    RedirectChild(Options, OutPipe[1], ErrPipe[1]);
    if (Options.RunAsGid >= 0 &&
        (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(Options.RunAsGid)) != 0))
      _exit(125);
    if (Options.RunAsUid >= 0 && setuid(static_cast<uid_t>(Options.RunAsUid)) != 0)
      _exit(125);
    signal(SIGPIPE, SIG_DFL);
    execvpe(CArgv[0], CArgv.data(), CEnv.data());
    _exit(127);
  }
  close(OutPipe[1]);
  close(ErrPipe[1]);
  if (Options.WhileRunning)
    Options.WhileRunning(Pid);

  TRunResult Result;
  bool OutOpen = true, ErrOpen = true;
  const auto Deadline = std::chrono::steady_clock::now() + Options.Timeout;
  while (OutOpen || ErrOpen) {
    pollfd Fds[2] = {{OutPipe[0], POLLIN, 0}, {ErrPipe[0], POLLIN, 0}};
    int Ready = poll(Fds, 2, 200);
    if (Ready > 0) {
      if (OutOpen && (Fds[0].revents & (POLLIN | POLLHUP)))
        Drain(OutPipe[0], Result.Out, OutOpen);
      if (ErrOpen && (Fds[1].revents & (POLLIN | POLLHUP)))
        Drain(ErrPipe[0], Result.Err, ErrOpen);
    }
    if (std::chrono::steady_clock::now() > Deadline) {
      kill(Pid, SIGKILL);
      break;
    }
  }
  close(OutPipe[0]);
  close(ErrPipe[0]);
  int Status = 0;
  rusage Usage{};
  while (wait4(Pid, &Status, 0, &Usage) < 0 && errno == EINTR) {
  }
  Result.PeakRssKb = Usage.ru_maxrss;
  if (WIFEXITED(Status))
    Result.ExitCode = WEXITSTATUS(Status);
  else if (WIFSIGNALED(Status))
    Result.Signal = WTERMSIG(Status);
  return Result;
}

TRunResult RunProgram(const std::vector<std::string>& Args, const TRunOptions& Options) {
  std::vector<std::string> Argv =
      ProgramCommand(Options.Program.empty() ? ProgramPath() : Options.Program);
  Argv.insert(Argv.end(), Args.begin(), Args.end());
  return Run(std::move(Argv), Options);
}

// What a shell starts as the program: itself, or under a runner a script of
// our own that hands it to the runner (one path, as "$0" needs).
static std::string ShellProgramPath() {
  if (RunnerKind() == TRunner::None)
    return ProgramPath();
  static const TScratchDir Dir;
  static const std::string Wrapper = [] {
    const std::filesystem::path Path = Dir / "vellary";
    std::string Script = "#!/bin/sh\nexec";
    for (const std::string& Word : ProgramCommand())
      Script += " '" + Word + "'";
    WriteFile(Path, Script + " \"$@\"\n");
    // Runnable by the unprivileged user some tests drop to.
    using std::filesystem::perms;
    std::filesystem::permissions(Path, perms::owner_all | perms::group_read | perms::group_exec |
                                           perms::others_read | perms::others_exec);
    return Path.string();
  }();
  return Wrapper;
}

TRunResult RunShell(const std::string& Script, const std::vector<std::string>& Args,
                    const TRunOptions& Options) {
  std::vector<std::string> Argv = {"/bin/sh", "-c", Script, ShellProgramPath()};
  Argv.insert(Argv.end(), Args.begin(), Args.end());
  return Run(std::move(Argv), Options);
}

TScratchDir::TScratchDir() {
  std::random_device Seed;
  std::mt19937_64 Gen(Seed());
  const auto Base = std::filesystem::temp_directory_path();
  for (;;) {
    Dir = Base / ("vellary-e2e-" + std::to_string(Gen()));
    if (std::filesystem::create_directory(Dir))
      break;
  }
}

TScratchDir::~TScratchDir() {
  std::error_code Ignored;
  // Tests may leave read-only folders behind; make them removable first.
  for (auto It = std::filesystem::recursive_directory_iterator(Dir, Ignored);
       It != std::filesystem::recursive_directory_iterator(); It.increment(Ignored))
    std::filesystem::permissions(It->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, Ignored);
  std::filesystem::remove_all(Dir, Ignored);
}

std::string MakeLocale(const TScratchDir& Dir, const std::string& Language, const std::string& Charset) {
  const std::filesystem::path Locales = Dir / "locales";
  std::filesystem::create_directories(Locales);
  const std::string Make = "localedef -i " + Language + " -f " + Charset + " '" +
                           (Locales / (Language + "." + Charset)).string() + "' >/dev/null 2>&1";
  return std::system(Make.c_str()) == 0 ? Locales.string() : std::string();
}

void WriteFile(const std::filesystem::path& Path, const std::string& Bytes) {
  std::ofstream F(Path, std::ios::binary | std::ios::trunc);
  F.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

std::string Crlf(const std::string& Text) {
  std::string Result;
  Result.reserve(Text.size() + Text.size() / 16);
  for (char C : Text) {
    if (C == '\n')
      Result += '\r';
    Result += C;
  }
  return Result;
}

std::string NormalizeBuildFacts(const std::string& Text) {
  static const std::regex BannerDate(R"(\(\d\d [^ ]+ \d{4}\) - )");
  static const std::regex BuildLine(R"( was compiled on \d\d [^ ]+ \d{4} @ \d\d:00:00 using [^\r\n]*)");
  static const std::regex SampleStamp(R"(autogenerated on \d\d [^ ]+ \d{4} @ \d\d:\d\d:\d\d)");
  std::string Result = std::regex_replace(Text, BannerDate, "(@DATE@) - ");
  Result = std::regex_replace(Result, BuildLine, " was compiled on @BUILDTIME@ using @TOOLCHAIN@");
  return std::regex_replace(Result, SampleStamp, "autogenerated on @NOW@");
}

// ---- What the program reports about itself, per platform -------------------

std::string ProgramSidePath(const std::filesystem::path& HostPath) {
  if (!UnderWine())
    return HostPath.string();
  // Wine's default prefix maps drive Z: to the host's root folder.
  std::string Path = std::filesystem::absolute(HostPath).lexically_normal().string();
  std::replace(Path.begin(), Path.end(), '/', '\\');
  return "Z:" + Path;
}

std::string ProgramFileName(const std::string& Program) {
  return std::filesystem::path(Program).filename().string();
}

static std::string QuoteIfNeeded(const std::string& Text) {
  if (Text.empty() || Text.find_first_of(" ;") != std::string::npos)
    return "\"" + Text + "\"";
  return Text;
}

std::string ShownExeFolder(const std::string& Program) {
  return QuoteIfNeeded(ProgramSidePath(std::filesystem::path(Program).parent_path()));
}

// One word of the command line wine builds from a Unix argument list.
static std::string WineQuoted(const std::string& Arg, bool AlwaysQuote) {
  const bool Blank = AlwaysQuote || Arg.empty() || Arg.find_first_of(" \t") != std::string::npos;
  const bool Quote = Arg.find('"') != std::string::npos;
  if (!Blank && !Quote)
    return Arg;
  std::string Word = Blank ? "\"" : "";
  std::size_t Backslashes = 0;
  for (char C : Arg) {
    if (C == '\\') {
      ++Backslashes;
    } else {
      if (C == '"')  // the backslashes before a quote are doubled, the quote escaped
        Word.append(Backslashes + 1, '\\');
      Backslashes = 0;
    }
    Word += C;
  }
  if (Blank)  // and so are those before the closing quote
    Word.append(Backslashes, '\\').append("\"");
  return Word;
}

std::string ShownCommandLine(const std::vector<std::string>& Args, const std::string& Program) {
  if (UnderWine()) {
    std::string Line = WineQuoted(ProgramSidePath(Program), true);
    for (const std::string& Arg : Args)
      Line += " " + WineQuoted(Arg, false);
    return Line;
  }
  std::string Line = QuoteIfNeeded(Program);
  for (const std::string& Arg : Args)
    Line += " " + QuoteIfNeeded(Arg);
  return Line;
}

std::string ProgramArchitecture(const std::string& Program) {
  std::ifstream In(Program, std::ios::binary);
  std::string Head(512, '\0');
  In.read(Head.data(), static_cast<std::streamsize>(Head.size()));
  Head.resize(static_cast<std::size_t>(In.gcount()));
  const auto Byte = [&](std::size_t At) -> int {
    return At < Head.size() ? static_cast<unsigned char>(Head[At]) : 0;
  };
  const auto Le16 = [&](std::size_t At) { return Byte(At) | Byte(At + 1) << 8; };
  // ELF keeps its machine at byte 18; PE behind the "PE\0\0" found at 0x3C.
  int Machine = 0;
  if (Head.starts_with("\x7f" "ELF"))
    Machine = Le16(18);
  else if (Head.starts_with("MZ") && Head.size() >= 0x40)
    Machine = Le16(static_cast<std::size_t>(Le16(0x3C)) + 4);
  switch (Machine) {
  case 62: case 0x8664: return "x64";
  case 183: case 0xAA64: return "arm64";
  case 3: case 0x14C: return "x86";
  default: return "unknown (" + std::to_string(Machine) + ")";
  }
}

std::string ExpandProgramTokens(std::string Text, const std::vector<std::string>& Args,
                                const std::string& Program) {
  const std::pair<std::string, std::string> Tokens[] = {
      {"@EXEDIR@", ShownExeFolder(Program)},
      {"@CMDLINE@", ShownCommandLine(Args, Program)},
      {"@FILENAME@", ProgramFileName(Program)},
      {"@ARCH@", ProgramArchitecture(Program)}};
  for (const auto& [Token, Value] : Tokens) {
    for (std::size_t At = 0; (At = Text.find(Token, At)) != std::string::npos; At += Value.size())
      Text.replace(At, Token.size(), Value);
  }
  return Text;
}

}  // namespace vellary::e2e
