// Small text helpers shared by parameter registration and validation: case
// folding of whole names, blank trimming, splitting a names text into names,
// and the prefixes under which a name may be written on the command line.
// Internal to the core.
#pragma once

#include "core/ascii.h"
#include "core/param_register.h"
#include "core/param_types.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vellary::core::detail {

inline std::string UpperAsciiText(std::string_view Text) {
  std::string Result(Text);
  for (char& C : Result) C = AsciiUpper(C);
  return Result;
}

inline std::string LowerAsciiText(std::string_view Text) {
  std::string Result(Text);
  for (char& C : Result) C = AsciiLower(C);
  return Result;
}

// Removes the leading and trailing blanks of Text.
inline void TrimBlanks(std::string& Text) {
  const std::size_t First = Text.find_first_not_of(' ');
  if (First == std::string::npos) {
    Text.clear();
    return;
  }
  Text.erase(Text.find_last_not_of(' ') + 1);
  Text.erase(0, First);
}

inline bool IsSpecialParamChar(char C) {
  return SpecialParamChars.find(C) != std::string_view::npos;
}

// The next word of Text from Pos on, words being separated by runs of any
// character in Separators; false when no word is left.
inline bool NextWord(std::string_view Text, std::string_view Separators, std::size_t& Pos,
                     std::string_view& Word) {
  const std::size_t Start = Text.find_first_not_of(Separators, Pos);
  if (Start == std::string_view::npos) {
    Pos = Text.size();
    return false;
  }
  std::size_t End = Text.find_first_of(Separators, Start);
  if (End == std::string_view::npos) End = Text.size();
  Word = Text.substr(Start, End - Start);
  Pos = End;
  return true;
}

// Calls Visit for every word of Text.
template <typename FVisit>
void ForEachWord(std::string_view Text, std::string_view Separators, FVisit&& Visit) {
  std::size_t Pos = 0;
  std::string_view Word;
  while (NextWord(Text, Separators, Pos, Word)) Visit(Word);
}

// A names text is split at blanks, commas and semicolons when matching.
inline constexpr std::string_view NameSeparators = " ,;";

// The prefixes a name takes, in the order they are tried and listed.
struct TPrefixList {
  std::array<std::string_view, 3> Items{};
  std::size_t Count = 0;
  void Add(std::string_view Prefix) { Items[Count++] = Prefix; }
};

inline bool BareNamesAllowed(int Mode) { return Mode == 1 || Mode == 3; }
inline bool AttachedValuesAllowed(int Mode) { return Mode == 2 || Mode == 3; }

inline TPrefixList ParamPrefixes(std::string_view Name, int Mode, bool DoubleDashOnly) {
  TPrefixList Prefixes;
  if (Name.size() == 1) {
    if (IsSpecialParamChar(Name[0]) && BareNamesAllowed(Mode)) Prefixes.Add("");
    Prefixes.Add("/");
    Prefixes.Add("-");
  } else {
    Prefixes.Add("/");
    if (!DoubleDashOnly) Prefixes.Add("-");
    Prefixes.Add("--");
  }
  return Prefixes;
}

}  // namespace vellary::core::detail
