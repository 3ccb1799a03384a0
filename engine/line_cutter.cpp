// Line ends found by the byte scans, remembering the next LF and the next CR.
#include "engine/line_cutter.h"


namespace vellary::engine {

void TLineCutter::Reset(std::string_view Block) {
  Text = Block;
  Pos = 0;
  NextLf = Search(0, '\n');
  NextCr = Search(0, '\r');
}

std::size_t NextLineStart(std::string_view Text, std::size_t From, bool AtEnd) {
  if (From >= Text.size())
    return NoLineStart;
  const char* End = Text.data() + Text.size();
  const char* Hit = core::FindEitherByte(Text.data() + From, End, '\n', '\r');
  if (Hit == End)
    return NoLineStart;
  const auto After = static_cast<std::size_t>(Hit - Text.data()) + 1;
  if (*Hit == '\n')
    return After;
  if (After < Text.size())
    return Text[After] == '\n' ? After + 1 : After;
  return AtEnd ? After : NoLineStart;
}

std::size_t TLineCutter::LineStartOf(std::size_t Offset) const {
  return static_cast<std::size_t>(
      core::FindAfterLastEitherByte(Text.data() + Pos, Text.data() + Offset, '\n', '\r') - Text.data());
}

}  // namespace vellary::engine
