// Unit start of the shared core.
#include "core/core_state.h"

#include "core/param_validation.h"

namespace vellary::core {

void InitCore(TCoreState& Core, TStartupFacts Facts) {
  Core.Facts = std::move(Facts);
  InitParamState(Core.Params, Core.Facts.Args);
  Core.ExeDir = QuoteIfNeeded(ExeFolderOf(Core.Facts.ExePath));
  Core.BuildInfoShown = false;
  Core.ErrorDelay = false;
  Core.AudibleError = false;
  Core.ExitCode = 0;
}

}  // namespace vellary::core
