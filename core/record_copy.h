// LF-ended lines copied as CR LF records in one pass: the hot loop of a run
// that passes most lines through unchanged.
#pragma once

#include "core/byte_scan.h"

#include <cstddef>
#include <cstring>
#include <string_view>

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

#if VELLARY_BYTE_STEPS
// Thirty-two bytes are copied at a time while as many are left; at a LF the
// copy resumes behind it, so a line costs one step besides its length. The
// stores may run past the LF, into room that later records overwrite.
inline void CopyInWideSteps(TRecordCopy& C) {
  const char* P = C.P;
  char* Out = C.Out;
  std::size_t Lfs = C.Lfs, Blank = C.Blank;
  bool LineStart = C.LineStart;
  while (C.End - P >= 2 * step::Width) {
    const step::TTwoMask Mask = CopyTwoSteps(P, Out, '\n');
    if (Mask == 0) {
      P += 2 * step::Width;
      Out += 2 * step::Width;
      LineStart = false;
      continue;
    }
    const std::ptrdiff_t At = step::FirstOfTwo(Mask);
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

// The lines that are left, fewer than two steps' worth where there are
// steps (or all of them where there are none): a look at each byte.
inline void CopyLineByLine(TRecordCopy& C) {
  const char* P = C.P;
  char* Out = C.Out;
  std::size_t Lfs = C.Lfs, Blank = C.Blank;
  bool LineStart = C.LineStart;
  while (P < C.End) {
    const char* Lf = P;
    while (Lf < C.End && *Lf != '\n')
      ++Lf;
    const auto Length = static_cast<std::size_t>(Lf - P);
    if (Lf == C.End) {
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
#if VELLARY_BYTE_STEPS
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
