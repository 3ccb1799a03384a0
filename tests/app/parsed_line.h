// A command line registered and validated in-process, as the run sequence
// does, for tests of the option table and of hostile arguments.
#pragma once

#include "app/option_table.h"
#include "core/param_validation.h"

#include <memory>
#include <string>
#include <vector>

namespace vellary::app::testing {

struct TParsedLine {
  core::TCoreState Core;
  TRunSettings Settings;
};

inline std::unique_ptr<TParsedLine> Parse(const std::vector<std::string>& Args) {
  auto Line = std::make_unique<TParsedLine>();
  core::TParamState& P = Line->Core.Params;
  core::InitParamState(P, Args);
  RegisterOptions(Line->Core, Line->Settings);
  core::ValidateParamSyntax(P, P.CustomSyntaxStats, P.ParamStatus, P.RegisteredParamNames, true,
                            -1, -1);
  return Line;
}

}  // namespace vellary::app::testing
