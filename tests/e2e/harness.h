// Running the built program as a user would: in a scratch folder, with given
// arguments and standard input, capturing exit code, standard output and
// standard error byte for byte.
#pragma once

#include "common/read_file.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vellary::e2e {

struct TRunResult {
  int ExitCode = -1;    // -1 when killed by a signal
  int Signal = 0;       // the signal that ended it, if any
  long PeakRssKb = 0;   // the child's peak resident set size
  std::string Out;
  std::string Err;
};

struct TRunOptions {
  std::filesystem::path WorkDir;           // current folder of the program
  std::string StdinPath = "/dev/null";     // file given as standard input
  bool StdinNonBlocking = false;           // ... in non-blocking mode
  std::string StdoutPath;                  // when set, standard output goes to this file
  enum TStdoutOpen { soTruncate, soAppend, soReadWrite, soClosed };
  TStdoutOpen StdoutOpen = soTruncate;     // how StdoutPath is opened (>, >>, 1<>), or >&-
  std::string StderrPath;                  // when set, standard error goes to this file
  std::vector<std::string> ExtraEnv;       // NAME=VALUE added to the environment
  std::chrono::seconds Timeout{60};
  // When set (>= 0), the child drops to this user and group before the exec,
  // so that permission checks mean something when the tests run as root.
  int RunAsUid = -1;
  int RunAsGid = -1;
  std::string Program;                     // when set, run this instead of ProgramPath()
  // When set, called with the child's process id once it runs; the outputs
  // are read after it returns, so it must not wait for much of them.
  std::function<void(int Pid)> WhileRunning;
};

// The program under test: $VELLARY_BIN, run through $VELLARY_RUNNER when
// that is set. $VELLARY_RUNNER_KIND says what the runner is: "wine" (the
// program is the Windows build) or "emulator" (a Linux build for another
// processor, such as arm64 under qemu-aarch64, which must behave as the
// native one). Unset, a runner whose file name starts with "wine" is wine,
// any other an emulator.
std::string ProgramPath();
bool UnderWine();
bool UnderEmulator();
// The command that starts Program: the runner, if any, then Program.
std::vector<std::string> ProgramCommand(const std::string& Program = ProgramPath());

TRunResult RunProgram(const std::vector<std::string>& Args, const TRunOptions& Options);

// Runs /bin/sh -c Script with the program under test as $0 (under a runner,
// a script that starts it through the runner) and Args as $1...
TRunResult RunShell(const std::string& Script, const std::vector<std::string>& Args,
                    const TRunOptions& Options);

// A fresh empty folder below the system's temporary folder, removed by the
// destructor.
class TScratchDir {
public:
  TScratchDir();
  ~TScratchDir();
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;
  const std::filesystem::path& Path() const { return Dir; }
  std::filesystem::path operator/(const std::string& Name) const { return Dir / Name; }

private:
  std::filesystem::path Dir;
};

void WriteFile(const std::filesystem::path& Path, const std::string& Bytes);

// Makes the locale Language.Charset ("de_DE", "ISO-8859-1") with localedef
// in a folder of its own below Dir; that folder, for LOCPATH, or empty when
// localedef cannot make it here.
std::string MakeLocale(const TScratchDir& Dir, const std::string& Language, const std::string& Charset);
using fixtures::ReadFile;

// Text with every LF turned into CR LF (expectations are written with LF).
std::string Crlf(const std::string& Text);

// Replaces what varies from build to build (banner date, build time and
// toolchain) with fixed tokens so that whole screens can be compared.
std::string NormalizeBuildFacts(const std::string& Text);

// ---- What the program reports about itself, per platform -------------------
// Under wine the program is a Windows program: it sees its own
// path as a Windows path on drive Z:, gets the raw command line that wine
// builds from the argument list, and its file name keeps the ".exe".

// Host path as the program under test sees it: unchanged natively, under wine
// the absolute path on drive Z: ("/work/x" -> "Z:\work\x").
std::string ProgramSidePath(const std::filesystem::path& HostPath);

// The executable's file name with extension as the program reports it.
std::string ProgramFileName(const std::string& Program = ProgramPath());

// The executable's folder as the error screen shows it (quoted when it holds
// a blank or ";").
std::string ShownExeFolder(const std::string& Program = ProgramPath());

// The command line as the error screen shows it for a run of Program with
// Args. Natively the program joins its arguments, quoting those that are
// empty or hold a blank or ";"; under wine it is the raw line wine builds:
// the program's Windows path always quoted, then each argument, quoted when
// empty or holding a blank or tab, with quotes escaped by backslashes.
std::string ShownCommandLine(const std::vector<std::string>& Args,
                             const std::string& Program = ProgramPath());

// The processor Program was built for as its banner names it ("x64",
// "arm64"), read from the executable's own header, so that one expectation
// serves the native, the Windows and a cross build.
std::string ProgramArchitecture(const std::string& Program = ProgramPath());

// Expands @EXEDIR@, @CMDLINE@ (for Args), @FILENAME@ and @ARCH@ in an
// expected text.
std::string ExpandProgramTokens(std::string Text, const std::vector<std::string>& Args,
                                const std::string& Program = ProgramPath());

}  // namespace vellary::e2e
