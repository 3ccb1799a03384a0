// Scans for one or two byte values, sixteen bytes a step. Our own rather
// than memchr: some C libraries the program runs on (the Windows build
// under wine, for one) scan a byte at a time, and the hot loops of a run
// are made of these scans.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vellary::engine {

// The first byte equal to A or B in [From, End), or End.
inline const char* FindEitherByte(const char* From, const char* End, char A, char B) {
#ifdef __SSE2__
  const __m128i As = _mm_set1_epi8(A), Bs = _mm_set1_epi8(B);
  for (; End - From >= 16; From += 16) {
    const __m128i Chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(From));
    const auto Hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(Chunk, As), _mm_cmpeq_epi8(Chunk, Bs))));
    if (Hits != 0)
      return From + std::countr_zero(Hits);
  }
#endif
  while (From < End && *From != A && *From != B)
    ++From;
  return From;
}

inline const char* FindByte(const char* From, const char* End, char Byte) {
  return FindEitherByte(From, End, Byte, Byte);
}

}  // namespace vellary::engine
