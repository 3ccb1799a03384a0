// Cutting a block of whole lines at its line ends, so that every reader of
// text (the input file, the replacement file) agrees on what a line is.
#pragma once

#include "core/byte_scan.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vellary::engine {

inline constexpr std::size_t NoLineStart = static_cast<std::size_t>(-1);

// Where the first line after the byte at From begins: behind the first line
// end at or after From. A CR that is the last byte ends its line only when
// AtEnd (nothing follows), since the LF of a CR LF may come next; without
// that, or without any line end, NoLineStart. The one home of the rule
// for a line end that a cut may split.
std::size_t NextLineStart(std::string_view Text, std::size_t From, bool AtEnd);

// Lines end at CR LF, a lone LF or a lone CR; every other byte (NUL, byte 26,
// a byte-order mark) stays in the line. The block's end ends its last line,
// so a block must not end between the CR and the LF of one line end.
class TLineCutter {
public:
  TLineCutter() = default;
  explicit TLineCutter(std::string_view Block) { Reset(Block); }
  void Reset(std::string_view Block);

  // The next line without its line end; false when the block is used up.
  // Inline: it runs once for every line of the input.
  bool Next(std::string_view& Line) {
    if (Pos >= Text.size())
      return false;
    if (NextLf < Pos)
      NextLf = Search(Pos, '\n');
    if (NextCr < Pos)
      NextCr = Search(Pos, '\r');
    const std::size_t End = NextLf < NextCr ? NextLf : NextCr;
    Line = std::string_view(Text.data() + Pos, End - Pos);
    Pos = End + 1;
    if (End == NextCr && Pos < Text.size() && Text[Pos] == '\n')
      ++Pos;
    return true;
  }
  // Offset in the block where the next line begins.
  std::size_t Position() const { return Pos; }
  // Continues at Offset, which must begin a line at or after Position().
  void SkipTo(std::size_t Offset) { Pos = Offset; }
  // Offset of the first byte of the line that holds the byte at Offset
  // (at or after Position()).
  std::size_t LineStartOf(std::size_t Offset) const;

private:
  // Offset of the first Byte at or after From, or Text.size().
  std::size_t Search(std::size_t From, char Byte) const {
    if (From >= Text.size())
      return Text.size();
    return static_cast<std::size_t>(core::FindByte(Text.data() + From, Text.data() + Text.size(), Byte) - Text.data());
  }
  std::string_view Text;
  std::size_t Pos = 0;
  // Where the next LF and CR are (Text.size() when there is none), found by
  // one scan each, so a file with one kind of line end pays for one.
  std::size_t NextLf = 0, NextCr = 0;
};

}  // namespace vellary::engine
