// LF-ended lines copied as CR LF records in one pass: the hot loop of a run
// that passes most lines through unchanged.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#define VELLARY_RECORD_COPY_SSE2 1
#endif

namespace vellary::core {

// Writes each line of Lines (ended by LF, the last one possibly by the end of
// Lines; no CR) to Out followed by CR LF, and returns the end of what it
// wrote. Out needs room for 2 * Lines.size() + 2 bytes. Records and Empty
// receive how many records were written and how many of them are empty.
inline char* CopyLfLinesAsRecords(std::string_view Lines, char* Out, std::size_t& Records,
                                  std::size_t& Empty) {
  const char* P = Lines.data();
  const char* const End = P + Lines.size();
  std::size_t Lfs = 0, Blank = 0;
  bool LineStart = true;  // P is at the start of a line
#ifdef VELLARY_RECORD_COPY_SSE2
  // Thirty-two bytes are copied at a time; at a LF the copy resumes behind
  // it, so a line costs one step besides its length. The stores may run past
  // the LF, into room that later records overwrite.
  const __m128i LfBytes = _mm_set1_epi8('\n');
  while (End - P >= 32) {
    const __m128i Low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
    const __m128i High = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), Low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 16), High);
    const auto Mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(Low, LfBytes))) |
                      static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(High, LfBytes))) << 16;
    if (Mask == 0) {
      P += 32;
      Out += 32;
      LineStart = false;
      continue;
    }
    const auto At = static_cast<std::size_t>(std::countr_zero(Mask));
    Blank += At == 0 && LineStart ? 1 : 0;
    ++Lfs;
    Out[At] = '\r';
    Out[At + 1] = '\n';
    P += At + 1;
    Out += At + 2;
    LineStart = true;
  }
#endif
  while (P < End) {
    const auto* Lf = static_cast<const char*>(std::memchr(P, '\n', static_cast<std::size_t>(End - P)));
    const auto Length = static_cast<std::size_t>((Lf != nullptr ? Lf : End) - P);
    if (Lf == nullptr) {
      std::memcpy(Out, P, Length);
      Out += Length;
      P = End;
      LineStart = false;
      break;
    }
    Blank += Length == 0 && LineStart ? 1 : 0;
    ++Lfs;
    std::memcpy(Out, P, Length);
    Out[Length] = '\r';
    Out[Length + 1] = '\n';
    Out += Length + 2;
    P = Lf + 1;
    LineStart = true;
  }
  if (!LineStart) {  // the last line, ended by the end of Lines
    *Out++ = '\r';
    *Out++ = '\n';
    ++Lfs;
  }
  Records = Lfs;
  Empty = Blank;
  return Out;
}

}  // namespace vellary::core
