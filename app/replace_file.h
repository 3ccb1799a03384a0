// Reading the replacement file named by -r into the replacement table.
#pragma once

#include "core/status.h"
#include "engine/replace_table.h"

#include <string>

namespace vellary::app {

// 70 when the name is empty or no such file exists, 71 when opening, reading
// or closing it fails; otherwise Table holds the pairs in file order. With
// Utf8Texts each line is converted to UTF-8 first (utf8_texts.h).
core::TStatus LoadReplacementTable(const std::string& FileName, std::string_view Delimiter,
                                   engine::TReplaceMatrix& Table, bool Utf8Texts = false);

}  // namespace vellary::app
