// Running the built program as a user would: in a scratch folder, with given
// arguments and standard input, capturing exit code, standard output and
// standard error byte for byte.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace vellary::e2e {

struct TRunResult {
  int ExitCode = -1;    // -1 when killed by a signal
  int Signal = 0;       // the signal that ended it, if any
  std::string Out;
  std::string Err;
};

struct TRunOptions {
  std::filesystem::path WorkDir;           // current folder of the program
  std::string StdinPath = "/dev/null";     // file given as standard input
  std::string StdoutPath;                  // when set, standard output goes to this file
  std::string StderrPath;                  // when set, standard error goes to this file
  std::vector<std::string> ExtraEnv;       // NAME=VALUE added to the environment
  std::chrono::seconds Timeout{60};
};

// The program under test: $VELLARY_BIN, run through $VELLARY_RUNNER (e.g.
// "wine") when that is set.
std::string ProgramPath();
bool UnderRunner();

TRunResult RunProgram(const std::vector<std::string>& Args, const TRunOptions& Options);

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
std::string ReadFile(const std::filesystem::path& Path);

// Text with every LF turned into CR LF (expectations are written with LF).
std::string Crlf(const std::string& Text);

// Replaces what varies from build to build (banner date, build time and
// toolchain) with fixed tokens so that whole screens can be compared.
std::string NormalizeBuildFacts(const std::string& Text);

}  // namespace vellary::e2e
