// The plain search and replacement, written apart from the prepared ones
// (their own list splitting included), so that a fault shared by both
// would have to be made twice.
#include "tests/support/reference_paths.h"

#include "engine/folded_line.h"
#include "engine/replace_table.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vellary::engine {

// The items of List: an empty list holds one empty item, and delimiters at
// either end add empty items.
static std::vector<std::string_view> ListItems(std::string_view List, std::string_view Delimiter) {
  std::vector<std::string_view> Items;
  std::size_t From = 0;
  for (std::size_t Cut; (Cut = List.find(Delimiter, From)) != std::string_view::npos;
       From = Cut + Delimiter.size())
    Items.push_back(List.substr(From, Cut - From));
  Items.push_back(List.substr(From));
  return Items;
}

bool LineMatchesList(std::string_view Line, std::string_view List, std::string_view Delimiter,
                     const TMatchOptions& Options) {
  std::string Wrapped;
  Wrapped += LineBoundaryMarker;
  Wrapped += Line;
  Wrapped += LineBoundaryMarker;
  std::vector<char32_t> Hay, Needle;
  if (!Options.CaseSensitive)
    Options.Upper.FoldToCharacters(Wrapped, Hay);
  for (std::string_view Item : ListItems(List, Delimiter)) {
    const std::string Text = Options.Extended ? ExtendedSearchItem(Item) : std::string(Item);
    if (Text.empty())
      continue;
    if (Options.CaseSensitive) {
      if (Wrapped.find(Text) != std::string::npos)
        return true;
      continue;
    }
    Options.Upper.FoldToCharacters(Text, Needle);
    if (std::search(Hay.begin(), Hay.end(), Needle.begin(), Needle.end()) != Hay.end())
      return true;
  }
  return false;
}

void ApplyReplacement(std::string_view Line, std::string_view Search, std::string_view Replace,
                      bool CaseSensitive, bool Extended, const TCaseFold& Upper,
                      std::string& Out) {
  if (Extended) {
    const TSearchReplaceRec Pair{TranslateExtendedEscapes(Search), TranslateExtendedEscapes(Replace)};
    ApplyReplacement(Line, Pair.Search, Pair.Replace, CaseSensitive, false, Upper, Out);
    return;
  }
  Out.clear();
  if (Search.empty() || CaseSensitive) {
    Out = Search.empty() ? std::string(Line) : ReplaceAll(Line, Search, Replace);
    return;
  }
  std::vector<char32_t> Chars, Needle;
  std::vector<std::size_t> Starts;  // byte offset of each character, and the end
  Upper.FoldToCharacters(Line, Chars, &Starts);
  Upper.FoldToCharacters(Search, Needle);
  std::size_t Copied = 0;
  for (std::size_t I = 0; I + Needle.size() <= Chars.size();) {
    if (!std::equal(Needle.begin(), Needle.end(), Chars.begin() + static_cast<std::ptrdiff_t>(I))) {
      ++I;
      continue;
    }
    Out.append(Line.substr(Copied, Starts[I] - Copied)).append(Replace);
    I += Needle.size();
    Copied = Starts[I];
  }
  Out.append(Line.substr(Copied));
}

}  // namespace vellary::engine
