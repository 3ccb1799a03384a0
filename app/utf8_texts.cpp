// Runs in a multi-byte code page: texts in UTF-8 (see utf8_texts.h).
#include "app/utf8_texts.h"

#include "core/byte_scan.h"
#include "platform/platform.h"

#include <cstring>

namespace vellary::app {

void TextToUtf8(std::string_view Text, std::string& Out) {
  platform::ConvertCodePage(Text, platform::AnsiCodePage(), platform::CpUtf8, Out);
}

static void ToUtf8(std::string& Text) {
  std::string Out;
  TextToUtf8(Text, Out);
  Text.swap(Out);
}

void SettingsToUtf8(TRunSettings& Settings) {
  engine::TPipelineSettings& P = Settings.Pipeline;
  for (std::string* Text :
       {&P.FindList, &P.FindBeforeList, &P.FindAfterList, &P.SkipList, &P.LineBeforeList,
        &P.LineAfterList, &P.SpaceBeforeList, &P.SpaceAfterList, &P.PrependText, &P.AppendText,
        &Settings.SeparatorCharText, &Settings.DelimiterText, &Settings.DividerCharText})
    ToUtf8(*Text);
  P.InputFileName = platform::NameInCodePage(Settings.InputName, platform::CpUtf8);
}

int TUtf8Source::ReadNext(char* Bytes, std::size_t Size, std::size_t& Got) {
  Got = 0;
  while (Given == Converted.size()) {
    Converted.clear();
    Given = 0;
    if (Ended)
      return 0;
    const std::size_t Held = Raw.size();
    const std::size_t Want = Size < 65536 ? 65536 : Size;
    Raw.resize(Held + Want);
    std::size_t Read = 0;
    const int Error = Input.ReadNext(Raw.data() + Held, Want, Read);
    Raw.resize(Held + Read);
    if (Error != 0)
      return Error;
    Ended = Read == 0;
    // Up to the last line end (the bytes held from before have none, so
    // only the new ones are looked at); everything at the end, or when a
    // line grows past 16 MiB without one (a split character then costs only
    // itself).
    const char* Data = Raw.data();
    std::size_t Cut =
        static_cast<std::size_t>(core::FindAfterLastEitherByte(Data + Held, Data + Raw.size(), '\n', '\n') - Data);
    if (Ended || (Cut == Held && Raw.size() > (std::size_t{16} << 20)))
      Cut = Raw.size();
    else if (Cut == Held)
      Cut = 0;
    if (Cut == 0)
      continue;
    TextToUtf8(std::string_view(Raw).substr(0, Cut), Converted);
    Raw.erase(0, Cut);
  }
  Got = Converted.size() - Given < Size ? Converted.size() - Given : Size;
  std::memcpy(Bytes, Converted.data() + Given, Got);
  Given += Got;
  return 0;
}

}  // namespace vellary::app
