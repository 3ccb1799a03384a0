// A UTF-8 letter case for tests and fuzzing that needs no locale: ASCII,
// Latin-1, Greek (final sigma too) and Cyrillic, plus the characters whose
// upper case has another byte length (dotless i and long s to ASCII, and a
// two-byte letter with a three-byte upper case).
#pragma once

#include "engine/case_fold.h"

#include <vector>

namespace vellary::engine::testing {

inline TCaseFold SampleUtf8CaseFold() {
  std::vector<TCodePointCase> Cases;
  auto Range = [&](char32_t First, char32_t Last, char32_t Minus) {
    for (char32_t Cp = First; Cp <= Last; ++Cp)
      Cases.emplace_back(Cp, Cp - Minus);
  };
  Range(U'a', U'z', 0x20);
  Range(0xE0, 0xF6, 0x20);   // à..ö
  Range(0xF8, 0xFE, 0x20);   // ø..þ
  Range(0x3B1, 0x3C1, 0x20); // α..ρ
  Range(0x3C3, 0x3C9, 0x20); // σ..ω
  Range(0x430, 0x44F, 0x20); // а..я
  Cases.insert(Cases.end(), {{0x3C2, 0x3A3},    // ς -> Σ
                             {0x131, U'I'},     // ı -> I
                             {0x17F, U'S'},     // ſ -> S
                             {0x23F, 0x2C7E}}); // ȿ -> Ȿ
  return TCaseFold(Cases);
}

}  // namespace vellary::engine::testing
