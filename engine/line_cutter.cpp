// Line ends found by the byte scans, remembering the next LF and the next CR.
#include "engine/line_cutter.h"


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

std::size_t TLineCutter::LineStartOf(std::size_t Offset) const {
  return static_cast<std::size_t>(
      core::FindAfterLastEitherByte(Text.data() + Pos, Text.data() + Offset, '\n', '\r') - Text.data());
}

}  // namespace vellary::engine
