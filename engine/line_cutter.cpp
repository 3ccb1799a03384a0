// Line ends found by memchr, remembering the next LF and the next CR.
#include "engine/line_cutter.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace vellary::engine {

void TLineCutter::Reset(std::string_view Block) {
  Text = Block;
  Pos = 0;
  NextLf = Search(0, '\n');
  NextCr = Search(0, '\r');
}

static bool IsLineEnd(char Byte) {
  return Byte == '\n' || Byte == '\r';
}

TWholeLines WholeLinesOf(std::string_view Bytes, bool StartsLine) {
  const std::size_t Size = Bytes.size();
  std::size_t End = Size != 0 && Bytes[Size - 1] == '\r' ? Size - 1 : Size;
  while (End > 0 && !IsLineEnd(Bytes[End - 1]))
    --End;
  if (End == 0)
    return {Size, Size, false};
  std::size_t Begin = 0;
  if (!StartsLine) {
    while (!IsLineEnd(Bytes[Begin]))
      ++Begin;
    Begin += Bytes[Begin] == '\r' && Bytes[Begin + 1] == '\n' ? 2u : 1u;
  }
  return {Begin, End, true};
}

// Each byte of Word that equals Byte has its top bit set in the result, and
// no other: exact, unlike the shorter test for "some byte is zero".
static std::uint64_t BytesEqual(std::uint64_t Word, unsigned char Byte) {
  constexpr std::uint64_t Low7 = 0x7F7F7F7F7F7F7F7Full;
  const std::uint64_t X = Word ^ (0x0101010101010101ull * Byte);
  return ~(((X & Low7) + Low7) | X | Low7);
}

std::size_t TLineCutter::LineStartOf(std::size_t Offset) const {
  // Back eight bytes at a time to the nearest LF or CR.
  for (; Offset >= Pos + 8; Offset -= 8) {
    std::uint64_t Word;
    std::memcpy(&Word, Text.data() + Offset - 8, sizeof Word);
    if (const std::uint64_t Ends = BytesEqual(Word, '\n') | BytesEqual(Word, '\r'); Ends != 0) {
      // The last such byte in memory order is the one nearest Offset.
      const int Lane = std::endian::native == std::endian::little ? (63 - std::countl_zero(Ends)) / 8
                                                                : 7 - std::countr_zero(Ends) / 8;
      return Offset - 8 + static_cast<std::size_t>(Lane) + 1;
    }
  }
  while (Offset > Pos && Text[Offset - 1] != '\n' && Text[Offset - 1] != '\r')
    --Offset;
  return Offset;
}

}  // namespace vellary::engine
