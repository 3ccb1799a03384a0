// Loading the replacement file named by -r into the replacement table.
#include "app/replace_file.h"

#include "app/streams.h"
#include "app/utf8_texts.h"
#include "core/core_state.h"
#include "engine/line_cutter.h"
#include "platform/platform.h"

#include <new>
#include <string>
#include <string_view>

namespace vellary::app {

static constexpr std::string_view MsgNoValidFile = "No valid %s file was provided with the %s parameter: \"%s\"";

core::TStatus LoadReplacementTable(const std::string& FileName, std::string_view Delimiter,
                                   engine::TReplaceMatrix& Table, bool Utf8Texts) {
  Table.clear();
  if (FileName.empty())
    return FileNameMissing("-r");
  if (!platform::FileExistsAt(FileName))
    return {core::ExitNoValidFile, core::SubstituteArgs(MsgNoValidFile, {"config", "-r", platform::NameAsText(FileName)})};

  int Error = 0;
  try {
    // Lines as the input's are cut; the bytes go once the table holds them.
    std::string Bytes, Converted;
    Error = ReadWholeFile(FileName, Bytes);
    engine::TLineCutter Lines(Bytes);
    for (std::string_view Line; Error == 0 && Lines.Next(Line);) {
      if (Utf8Texts) {
        TextToUtf8(Line, Converted);
        Line = Converted;
      }
      engine::AddReplacementLine(Table, Line, Delimiter);
    }
    if (Error == 0)
      engine::FinishReplacementTable(Table);
  } catch (const std::bad_alloc&) {
    Error = platform::feOutOfMemory;
  }
  if (Error != 0) {
    engine::TReplaceMatrix().swap(Table);  // its memory too
    return FileFailure(core::ExitReadError, FileName, Error);
  }
  return {};
}

}  // namespace vellary::app
