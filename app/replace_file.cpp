// Loading the replacement file named by -r into the replacement table.
#include "app/replace_file.h"

#include "app/streams.h"
#include "app/utf8_texts.h"
#include "core/core_state.h"
#include "platform/platform.h"

#include <new>
#include <string_view>

namespace vellary::app {

static constexpr std::string_view MsgNoValidFile = "No valid %s file was provided with the %s parameter: \"%s\"";

// Every line of the open Input through the table's line rules.
[[nodiscard]] static int ReadReplacementLines(TTextInput& Input, std::string_view Delimiter,
                                              engine::TReplaceMatrix& Table, bool Utf8Texts) {
  std::string_view Line;
  std::string Converted;
  bool AtEnd = false;
  while (true) {
    if (int Error = ReadTextLine(Input, Line, AtEnd); Error != 0)
      return Error;
    if (AtEnd)
      return 0;
    if (Utf8Texts) {
      TextToUtf8(Line, Converted);
      Line = Converted;
    }
    engine::AddReplacementLine(Table, Line, Delimiter);
  }
}

core::TStatus LoadReplacementTable(const std::string& FileName, std::string_view Delimiter,
                                   engine::TReplaceMatrix& Table, bool Utf8Texts) {
  Table.clear();
  if (FileName.empty())
    return FileNameMissing("-r");
  if (!platform::FileExistsAt(FileName))
    return {core::ExitNoValidFile, core::SubstituteArgs(MsgNoValidFile, {"config", "-r", platform::NameAsText(FileName)})};

  TTextInput Input;
  int Error = OpenTextInput(Input, FileName);
  try {
    Error = Error != 0 ? Error : ReadReplacementLines(Input, Delimiter, Table, Utf8Texts);
    if (Error == 0)
      engine::FinishReplacementTable(Table);
  } catch (const std::bad_alloc&) {
    Error = platform::feOutOfMemory;
  }
  if (int CloseError = CloseText(Input); Error == 0)
    Error = CloseError;
  if (Error != 0) {
    engine::TReplaceMatrix().swap(Table);  // its memory too
    return FileFailure(core::ExitReadError, FileName, Error);
  }
  return {};
}

}  // namespace vellary::app
