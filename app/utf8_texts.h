// A run in a code page whose characters may be several bytes with an ASCII
// byte among them (platform::MultiByteTexts: 932, 936, 949, 950, GBK, Big5,
// GB18030, ...) works on its texts in UTF-8: the option texts, the
// replacement file's lines and the input are converted on the way in, and
// the outputs convert back on the way out (the -o file stays UTF-8). In
// UTF-8 no byte of a character is ever another character, so a search
// matches only whole characters, a replacement never changes part of one,
// letter case goes per character and the -x escapes are whole characters.
// Bytes that decode to nothing pass as they are and match only themselves.
// Single-byte and UTF-8 runs never come here.
#pragma once

#include "app/run_settings.h"
#include "app/streams.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vellary::app {

// Text in the texts' code page, in UTF-8 (replacing Out's content).
void TextToUtf8(std::string_view Text, std::string& Out);

// The option texts of the settings, and the input's name for the tally,
// in UTF-8; before DeriveRunSettings.
void SettingsToUtf8(TRunSettings& Settings);

// An input read in order, handed on in UTF-8. Conversion stops at a line
// end (never inside a character, since no multi-byte character holds LF)
// or at the end of the input.
class TUtf8Source final : public TBlockSource {
public:
  explicit TUtf8Source(TBlockSource& Source) : Input(Source) {}
  bool ReadsAtOffsets() const override { return false; }
  std::uint64_t Size() const override { return 0; }
  [[nodiscard]] int ReadAt(std::uint64_t, char*, std::size_t, std::size_t& Got) const override {
    Got = 0;
    return 0;
  }
  [[nodiscard]] int ReadNext(char* Bytes, std::size_t Size, std::size_t& Got) override;
  bool NextReadWaits() const override { return Converted.size() == Given && Input.NextReadWaits(); }

private:
  TBlockSource& Input;
  std::string Raw;          // read, not yet converted (after the last line end)
  std::string Converted;    // converted, handed out up to Given
  std::size_t Given = 0;
  std::string Scratch;
  bool Ended = false;
};

}  // namespace vellary::app
