// Search/replace pairs read from a replacement file, and applying one pair to
// a line.
#pragma once

#include "engine/byte_finder.h"
#include "engine/case_fold.h"
#include "engine/folded_line.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vellary::engine {

struct TSearchReplaceRec {
  std::string Search;   // never empty, trimmed of bytes <= 32
  std::string Replace;  // trimmed the same way, may be empty
};
using TReplaceMatrix = std::vector<TSearchReplaceRec>;

// The 60-character divider that "\-" stands for in extended mode.
inline constexpr std::size_t ExtendedDividerLength = 60;

// Handles one line of a replacement file: comments ("#" as the very first
// byte), empty lines and lines with an empty search text are ignored; any
// other line adds a pair. The search text runs to the first Delimiter, the
// replacement text is the whole rest; both lose bytes <= 32 at both ends.
// The table grows geometrically, so a file of a million pairs loads in
// linear time.
void AddReplacementLine(TReplaceMatrix& Table, std::string_view Line, std::string_view Delimiter);
// Cuts the table's room to the pairs kept (after the file is closed).
void FinishReplacementTable(TReplaceMatrix& Table);

// Every occurrence of From in Text (left to right, without overlap) replaced
// by To; for preparing texts once, not for lines.
std::string ReplaceAll(std::string_view Text, std::string_view From, std::string_view To);

// The extended-mode escapes: "\\" a backslash, "\n"/"\N" CR LF, "\t"/"\T" a
// tab, "\-" 60 "-" characters; nothing else is an escape, and a byte of code
// 1 comes out as a backslash. Without WithDivider "\-" is left as it is (the
// form search items use).
std::string TranslateExtendedEscapes(std::string_view Text, bool WithDivider = true);

// One pair prepared once per run: escapes translated, search text folded.
class TPreparedReplacement {
public:
  TPreparedReplacement(const TSearchReplaceRec& Pair, bool CaseSensitive, bool Extended,
                       const TCaseFold& Upper);
  // When the search text occurs in Line, Out := Line with every occurrence
  // replaced, and true. Otherwise false and Out is left alone, so an
  // unchanged line is never copied. Line must not view Out.
  bool Apply(TFoldedLine& Line, std::string& Out) const;
  // The same for a pair whose byte search is exact on any line (AnyLine).
  bool Apply(std::string_view Line, std::string& Out) const;
  const TByteFinder& Finder() const { return Search; }

private:
  bool ApplyRaw(const TFoldedLine& Line, std::string& Out, bool& Changed) const;

  TByteFinder Search;
  std::string Replace;
};

}  // namespace vellary::engine
