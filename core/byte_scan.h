// Scans of byte strings sixteen bytes a step: for one or two byte values,
// forwards and backwards, for the first byte above 127, and the copy step of
// the record copy. Our own rather than memchr: some C libraries the program
// runs on (the Windows build under wine, for one) scan a byte at a time, and
// the hot loops of a run are made of these scans. Every scan of the program
// goes through here; the vector instructions stay behind the few step
// functions below, with a plain loop for targets that have none.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

// SSE2 on x64, NEON on arm64. VELLARY_NO_VECTOR_SCAN (CMake option
// VELLARY_VECTOR_SCAN=OFF) builds the plain loops alone, to measure them.
#if defined(VELLARY_NO_VECTOR_SCAN)
#elif defined(__SSE2__)
#include <emmintrin.h>
#define VELLARY_BYTE_STEPS 1
#define VELLARY_BYTE_STEPS_SSE2 1
#elif defined(__aarch64__) && defined(__ARM_NEON)
#include <arm_neon.h>
#define VELLARY_BYTE_STEPS 1
#define VELLARY_BYTE_STEPS_NEON 1
#endif

namespace vellary::core {

namespace step {

// One step: sixteen bytes in a vector register. A mask has BitsPerByte bits
// for each byte of a step, in memory order from the lowest bit, all set
// where the byte matched.
inline constexpr std::ptrdiff_t Width = 16;

#if VELLARY_BYTE_STEPS_SSE2
using TBytes = __m128i;
using TMask = std::uint32_t;
inline constexpr int BitsPerByte = 1;

inline TBytes Load(const char* P) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(P)); }
inline void Store(char* Out, TBytes B) { _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), B); }
inline TBytes Splat(char C) { return _mm_set1_epi8(C); }
// The bytes of B equal to those of C, or to those of D.
inline TMask Equal(TBytes B, TBytes C) { return static_cast<TMask>(_mm_movemask_epi8(_mm_cmpeq_epi8(B, C))); }
inline TMask EqualEither(TBytes B, TBytes C, TBytes D) {
  return static_cast<TMask>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(B, C), _mm_cmpeq_epi8(B, D))));
}
// The bytes above 127.
inline TMask HighBit(TBytes B) { return static_cast<TMask>(_mm_movemask_epi8(B)); }
// The bytes of two steps equal to C, in one mask of a bit each; and the
// index of its first such byte when it is not 0.
using TTwoMask = std::uint32_t;
inline TTwoMask EqualTwo(TBytes Low, TBytes High, TBytes C) { return Equal(Low, C) | Equal(High, C) << 16; }
inline std::ptrdiff_t FirstOfTwo(TTwoMask M) { return std::countr_zero(M); }
#endif

#if VELLARY_BYTE_STEPS_NEON
// NEON has no byte mask move: a comparison's 0x00/0xFF bytes are narrowed,
// each pair of them shifted right by four into one byte, which leaves four
// bits a byte in 64 (one instruction, against the several of a bit each).
using TBytes = uint8x16_t;
using TMask = std::uint64_t;
inline constexpr int BitsPerByte = 4;

inline TMask Narrow(uint8x16_t Flags) {
  return vget_lane_u64(vreinterpret_u64_u8(vshrn_n_u16(vreinterpretq_u16_u8(Flags), 4)), 0);
}
inline TBytes Load(const char* P) { return vld1q_u8(reinterpret_cast<const std::uint8_t*>(P)); }
inline void Store(char* Out, TBytes B) { vst1q_u8(reinterpret_cast<std::uint8_t*>(Out), B); }
inline TBytes Splat(char C) { return vdupq_n_u8(static_cast<std::uint8_t>(C)); }
inline TMask Equal(TBytes B, TBytes C) { return Narrow(vceqq_u8(B, C)); }
inline TMask EqualEither(TBytes B, TBytes C, TBytes D) {
  return Narrow(vorrq_u8(vceqq_u8(B, C), vceqq_u8(B, D)));
}
inline TMask HighBit(TBytes B) { return Narrow(vcltzq_s8(vreinterpretq_s8_u8(B))); }
// Two steps' 32 bytes take two bits each of 64: every byte keeps its own two
// bits (of 0x03, 0x0C, 0x30, 0xC0 in turn) and two pairwise additions pack
// four bytes into one, in memory order.
using TTwoMask = std::uint64_t;
inline TTwoMask EqualTwo(TBytes Low, TBytes High, TBytes C) {
  const uint8x16_t Bits = vreinterpretq_u8_u32(vdupq_n_u32(0xC0300C03u));
  const uint8x16_t Pairs = vpaddq_u8(vandq_u8(vceqq_u8(Low, C), Bits), vandq_u8(vceqq_u8(High, C), Bits));
  return vgetq_lane_u64(vreinterpretq_u64_u8(vpaddq_u8(Pairs, Pairs)), 0);
}
inline std::ptrdiff_t FirstOfTwo(TTwoMask M) { return std::countr_zero(M) / 2; }
#endif

#if VELLARY_BYTE_STEPS
// Index of the first and of the last matched byte of a mask that is not 0.
inline std::ptrdiff_t FirstOf(TMask M) { return std::countr_zero(M) / BitsPerByte; }
inline std::ptrdiff_t LastOf(TMask M) {
  return (static_cast<int>(sizeof(TMask) * 8) - 1 - std::countl_zero(M)) / BitsPerByte;
}
#endif

}  // namespace step

// The first byte equal to A or B in [From, End), or End.
inline const char* FindEitherByte(const char* From, const char* End, char A, char B) {
#if VELLARY_BYTE_STEPS
  const step::TBytes As = step::Splat(A), Bs = step::Splat(B);
  for (; End - From >= step::Width; From += step::Width) {
    if (const step::TMask Hits = step::EqualEither(step::Load(From), As, Bs); Hits != 0)
      return From + step::FirstOf(Hits);
  }
#endif
  while (From < End && *From != A && *From != B)
    ++From;
  return From;
}

inline const char* FindByte(const char* From, const char* End, char Byte) {
  return FindEitherByte(From, End, Byte, Byte);
}

// Behind the last byte equal to A or B in [Begin, End), or Begin.
inline const char* FindAfterLastEitherByte(const char* Begin, const char* End, char A, char B) {
#if VELLARY_BYTE_STEPS
  const step::TBytes As = step::Splat(A), Bs = step::Splat(B);
  for (; End - Begin >= step::Width; End -= step::Width) {
    if (const step::TMask Hits = step::EqualEither(step::Load(End - step::Width), As, Bs); Hits != 0)
      return End - step::Width + step::LastOf(Hits) + 1;
  }
#endif
  while (End > Begin && End[-1] != A && End[-1] != B)
    --End;
  return End;
}

// The first byte above 127 in [From, End), or End.
inline const char* FindNonAscii(const char* From, const char* End) {
#if VELLARY_BYTE_STEPS
  for (; End - From >= step::Width; From += step::Width) {
    if (const step::TMask High = step::HighBit(step::Load(From)); High != 0)
      return From + step::FirstOf(High);
  }
#endif
  while (From < End && static_cast<unsigned char>(*From) < 0x80)
    ++From;
  return From;
}

#if VELLARY_BYTE_STEPS
// Copies the two steps at P to Out; where Byte is among them, as one mask
// over both (the first step's bytes first), read by step::FirstOfTwo.
inline step::TTwoMask CopyTwoSteps(const char* P, char* Out, char Byte) {
  const step::TBytes Low = step::Load(P), High = step::Load(P + step::Width);
  step::Store(Out, Low);
  step::Store(Out + step::Width, High);
  return step::EqualTwo(Low, High, step::Splat(Byte));
}
#endif

}  // namespace vellary::core
