// The process entry: build one run context from the process's arguments,
// run it, and end with its exit code.
#include "app/run_main.h"
#include "platform/platform.h"

#include <build_stamp.h>

#include <cstdio>
#include <memory>
#include <new>

using namespace vellary;

int main(int Argc, char** Argv) {
  try {
    platform::InitProcess();
    auto Ctx = std::make_unique<app::TRunContext>();
    core::TStartupFacts Facts;
    Facts.Args = platform::ProgramArguments(Argc, Argv);
    Facts.NameArgs = platform::ProgramArgumentNames(Argc, Argv);
    Facts.ExePath = platform::ExecutablePath(Argc > 0 ? Argv[0] : "");
    Facts.RawCommandLine = platform::RawCommandLine(Argc, Argv);
    Facts.Build = {buildstamp::BuildDate, buildstamp::BuildDateTime,
                   platform::ArchitectureSuffix(), platform::ToolchainText()};
    app::BindStandardConsole(Ctx->Core.Console);
    core::InitCore(Ctx->Core, std::move(Facts));
    Ctx->Upper = app::PlatformCaseFold();
    app::RunMain(*Ctx);
    return app::FinishStandardConsole(Ctx->Core.Console, Ctx->Core.ExitCode);
  } catch (const std::bad_alloc&) {
    std::fputs("Out of memory\r\n", stderr);
    return 1;
  }
}
