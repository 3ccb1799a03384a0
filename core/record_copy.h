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

namespace detail {

// Where one copy stands: what is left to read, where it writes next, the
// records and empty records so far, and whether it is at a line's start.
// The steps below keep it in locals while they loop, so that their byte
// stores (which may alias anything) do not force it back to memory.
struct TRecordCopy {
  const char* P;
  const char* End;
  char* Out;
  std::size_t Lfs = 0;
  std::size_t Blank = 0;
  bool LineStart = true;
};

#ifdef VELLARY_RECORD_COPY_SSE2
// Copies the thirty-two bytes at P to Out and returns where LF bytes are
// among them, one bit each.
inline std::uint32_t CopyThirtyTwo(const char* P, char* Out) {
  const __m128i LfBytes = _mm_set1_epi8('\n');
  const __m128i Low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
  const __m128i High = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + 16));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), Low);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 16), High);
  return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(Low, LfBytes))) |
         static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(High, LfBytes))) << 16;
}

// Thirty-two bytes are copied at a time while as many are left; at a LF the
// copy resumes behind it, so a line costs one step besides its length. The
// stores may run past the LF, into room that later records overwrite.
inline void CopyInWideSteps(TRecordCopy& C) {
  const char* P = C.P;
  char* Out = C.Out;
  std::size_t Lfs = C.Lfs, Blank = C.Blank;
  bool LineStart = C.LineStart;
  while (C.End - P >= 32) {
    const std::uint32_t Mask = CopyThirtyTwo(P, Out);
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
  C = {P, C.End, Out, Lfs, Blank, LineStart};
}
#endif

// The lines that are left, one memchr and one memcpy each.
inline void CopyLineByLine(TRecordCopy& C) {
  const char* P = C.P;
  char* Out = C.Out;
  std::size_t Lfs = C.Lfs, Blank = C.Blank;
  bool LineStart = C.LineStart;
  while (P < C.End) {
    const auto* Lf = static_cast<const char*>(std::memchr(P, '\n', static_cast<std::size_t>(C.End - P)));
    const auto Length = static_cast<std::size_t>((Lf != nullptr ? Lf : C.End) - P);
    if (Lf == nullptr) {
      std::memcpy(Out, P, Length);
      Out += Length;
      P = C.End;
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
  C = {P, C.End, Out, Lfs, Blank, LineStart};
}

}  // namespace detail

// Writes each line of Lines (ended by LF, the last one possibly by the end of
// Lines; no CR) to Out followed by CR LF, and returns the end of what it
// wrote. Out needs room for 2 * Lines.size() + 2 bytes. Records and Empty
// receive how many records were written and how many of them are empty.
inline char* CopyLfLinesAsRecords(std::string_view Lines, char* Out, std::size_t& Records,
                                  std::size_t& Empty) {
  detail::TRecordCopy C{Lines.data(), Lines.data() + Lines.size(), Out};
#ifdef VELLARY_RECORD_COPY_SSE2
  detail::CopyInWideSteps(C);
#endif
  detail::CopyLineByLine(C);
  if (!C.LineStart) {  // the last line, ended by the end of Lines
    *C.Out++ = '\r';
    *C.Out++ = '\n';
    ++C.Lfs;
  }
  Records = C.Lfs;
  Empty = C.Blank;
  return C.Out;
}

}  // namespace vellary::core
