// Single-byte upper-casing by table.
#include "engine/case_fold.h"

namespace vellary::engine {

TUpperTable AsciiUpperTable() {
  TUpperTable Table{};
  for (unsigned B = 0; B < 256; ++B)
    Table[B] = static_cast<unsigned char>(B >= 'a' && B <= 'z' ? B - ('a' - 'A') : B);
  return Table;
}

void UpperCase(std::string_view Text, const TUpperTable& Upper, std::string& Out) {
  Out.resize(Text.size());
  for (std::size_t I = 0; I < Text.size(); ++I)
    Out[I] = static_cast<char>(Upper[static_cast<unsigned char>(Text[I])]);
}

}  // namespace vellary::engine
