// Everything one run of the program owns, passed down by reference.
#pragma once

#include "app/run_settings.h"
#include "core/core_state.h"
#include "engine/case_fold.h"

namespace vellary::app {

struct TRunContext {
  core::TCoreState Core;
  TRunSettings Settings;
  engine::TCaseFold Upper;  // the platform's letter case, set at start
};

}  // namespace vellary::app
