// The outcome of an operation that can fail with an exit code and a message,
// and the one formatter for message templates.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace vellary::core {

struct [[nodiscard]] TStatus {
  int ExitCode = 0;
  std::string Message;
  bool Ok() const { return ExitCode == 0; }
};

// Fills the "%s" placeholders of Template, in order, with Args. Only "%s" is
// understood: user text is always an argument, never the template, so a "%"
// inside a file name or an option value is printed as it is.
std::string SubstituteArgs(std::string_view Template, std::initializer_list<std::string_view> Args);

}  // namespace vellary::core
