// ASCII helpers for every layer above the platform: letter case that no
// locale can change (option names, file extensions, folding of search texts)
// and the two-digit numbers of dates and times.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vellary::core {

// C with a..z turned into A..Z; every other byte, those above 127 included,
// unchanged.
inline constexpr char AsciiUpper(char C) {
  return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

// C with A..Z turned into a..z; every other byte unchanged.
inline constexpr char AsciiLower(char C) {
  return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
}

// True when A and B are equal once a..z are taken as A..Z.
inline constexpr bool EqualsIgnoringAsciiCase(std::string_view A, std::string_view B) {
  if (A.size() != B.size())
    return false;
  for (std::size_t I = 0; I < A.size(); ++I) {
    if (AsciiUpper(A[I]) != AsciiUpper(B[I]))
      return false;
  }
  return true;
}

// The last two decimal digits of a Value of 0 or more: "07" for 7.
inline std::string TwoDigits(int Value) {
  return {static_cast<char>('0' + Value / 10 % 10), static_cast<char>('0' + Value % 10)};
}

}  // namespace vellary::core
