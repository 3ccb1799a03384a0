// Message template filling.
#include "core/status.h"

namespace vellary::core {

std::string SubstituteArgs(std::string_view Template, std::initializer_list<std::string_view> Args) {
  std::string Result;
  Result.reserve(Template.size() + 64);
  auto Next = Args.begin();
  std::size_t From = 0;
  for (;;) {
    std::size_t At = Template.find("%s", From);
    if (At == std::string_view::npos || Next == Args.end())
      break;
    Result.append(Template.substr(From, At - From));
    Result.append(*Next++);
    From = At + 2;
  }
  Result.append(Template.substr(From));
  return Result;
}

}  // namespace vellary::core
