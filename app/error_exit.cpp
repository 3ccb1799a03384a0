// The one failure path of a run: banner, syntax-error screen, short help and
// exit code.
#include "app/error_exit.h"

#include "app/help.h"
#include "core/syntax_error.h"
#include "core/version_info.h"

namespace vellary::app {

void ErrorExit(core::TCoreState& Core, int ExitCode, std::string_view Message, bool ShortHelp) {
  // Does nothing when -b or -v already showed the banner earlier in the run.
  core::ShowBuildInfo(Core, Core.VersionInfo, Core.VerboseRec.Found, true);
  if (!Message.empty())
    core::ShowSyntaxError(Core, Message, Core.ErrorDelay, Core.AudibleError);
  ShowHelp(Core, ShortHelp);
  Core.ExitCode = ExitCode;
}

}  // namespace vellary::app
