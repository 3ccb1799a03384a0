// The plain, unprepared search and replacement: every call splits, rewrites
// and upper-cases anew and compares character by character. Too slow for a
// run, they are the reference the prepared lists and pairs are checked
// against by the tests, the fuzzers and the benchmarks.
#pragma once

#include "engine/case_fold.h"
#include "engine/search_match.h"

#include <string>
#include <string_view>

namespace vellary::engine {

// True when at least one item of List (cut at Delimiter, which is not empty)
// occurs in Line wrapped in markers. Empty items match nothing.
bool LineMatchesList(std::string_view Line, std::string_view List, std::string_view Delimiter,
                     const TMatchOptions& Options);

// Every occurrence of Search in Line replaced by Replace, left to right and
// without overlap; inserted text is never searched again. Without
// CaseSensitive occurrences are found character by character through Upper
// (an occurrence is the bytes of the characters that matched, whatever
// their length) while the rest of the line keeps its bytes. With Extended
// both texts are translated first. An empty Search leaves the line
// unchanged. The result replaces Out's content; Line must not view Out.
void ApplyReplacement(std::string_view Line, std::string_view Search, std::string_view Replace,
                      bool CaseSensitive, bool Extended, const TCaseFold& Upper,
                      std::string& Out);

}  // namespace vellary::engine
