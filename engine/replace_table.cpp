// Replacement file lines to pairs, the extended escapes, and replacing every
// occurrence of a pair's search text in a line.
#include "engine/replace_table.h"

#include <vector>

namespace vellary::engine {

static constexpr char EscapePlaceholder = '\x01';

static std::string_view TrimControlAndBlank(std::string_view Text) {
  auto IsTrimmed = [](char C) { return static_cast<unsigned char>(C) <= 32; };
  while (!Text.empty() && IsTrimmed(Text.front()))
    Text.remove_prefix(1);
  while (!Text.empty() && IsTrimmed(Text.back()))
    Text.remove_suffix(1);
  return Text;
}

void AddReplacementLine(TReplaceMatrix& Table, std::string_view Line, std::string_view Delimiter) {
  if (Line.empty() || Line.front() == '#')
    return;
  const std::size_t Cut = Line.find(Delimiter);
  const std::string_view Search = TrimControlAndBlank(Line.substr(0, Cut));
  if (Search.empty())
    return;
  const std::string_view Replace =
      Cut == std::string_view::npos ? std::string_view() : TrimControlAndBlank(Line.substr(Cut + Delimiter.size()));
  Table.push_back({std::string(Search), std::string(Replace)});
}

void FinishReplacementTable(TReplaceMatrix& Table) { Table.shrink_to_fit(); }

std::string ReplaceAll(std::string_view Text, std::string_view From, std::string_view To) {
  std::string Out;
  std::size_t Pos = 0;
  for (std::size_t At; (At = Text.find(From, Pos)) != std::string_view::npos; Pos = At + From.size()) {
    Out.append(Text.substr(Pos, At - Pos));
    Out.append(To);
  }
  Out.append(Text.substr(Pos));
  return Out;
}

std::string TranslateExtendedEscapes(std::string_view Text, bool WithDivider) {
  // Whole-text substitutions in a fixed order; the placeholder keeps an
  // escaped backslash from pairing with the letter after it.
  std::string Out = ReplaceAll(Text, "\\\\", std::string_view(&EscapePlaceholder, 1));
  Out = ReplaceAll(Out, "\\n", "\r\n");
  Out = ReplaceAll(Out, "\\N", "\r\n");
  Out = ReplaceAll(Out, "\\t", "\t");
  Out = ReplaceAll(Out, "\\T", "\t");
  if (WithDivider)
    Out = ReplaceAll(Out, "\\-", std::string(ExtendedDividerLength, '-'));
  return ReplaceAll(Out, std::string_view(&EscapePlaceholder, 1), "\\");
}

// Out := Line with every occurrence found by Search replaced by Replace,
// starting from the known first occurrence First.
static void ReplaceFrom(std::string_view Line, const TByteFinder& Search, std::size_t First,
                        std::string_view Replace, std::string& Out) {
  Out.clear();
  std::size_t Pos = 0;
  for (std::size_t At = First; At != std::string_view::npos; At = Search.Find(Line, Pos)) {
    Out.append(Line.substr(Pos, At - Pos));
    Out.append(Replace);
    // Resuming behind the occurrence keeps the inserted text out of the search.
    Pos = At + Search.Size();
  }
  Out.append(Line.substr(Pos));
}

TPreparedReplacement::TPreparedReplacement(const TSearchReplaceRec& Pair, bool CaseSensitive,
                                           bool Extended, const TCaseFold& Upper)
    : Search(Extended ? TranslateExtendedEscapes(Pair.Search) : Pair.Search, CaseSensitive, Upper),
      Replace(Extended ? TranslateExtendedEscapes(Pair.Replace) : Pair.Replace) {}

bool TPreparedReplacement::Apply(std::string_view Line, std::string& Out) const {
  const std::size_t First = Search.Find(Line);
  if (First == std::string_view::npos)
    return false;
  ReplaceFrom(Line, Search, First, Replace, Out);
  return true;
}

// Out := Line with every occurrence in its folded form replaced. Folded
// and original positions are walked in step, character by character, so an
// occurrence is cut from the line at the bytes of the characters it covers.
static void ReplaceFolded(TFoldedLine& Line, const TByteFinder& Search, std::size_t First,
                          std::string_view Replace, std::string& Out) {
  const std::string_view Raw = Line.Text();
  const std::string_view Folded = Line.Folded();
  const auto* Begin = reinterpret_cast<const unsigned char*>(Raw.data());
  const auto* End = Begin + Raw.size();
  std::size_t RawPos = 0, FoldedPos = 0;
  auto RawPositionOf = [&](std::size_t Target) {
    while (FoldedPos < Target) {
      std::size_t FoldedLength;
      RawPos += Line.Fold().CharacterAt(Begin + RawPos, End, FoldedLength);
      FoldedPos += FoldedLength;
    }
    return RawPos;
  };
  Out.clear();
  std::size_t Copied = 0;
  for (std::size_t At = First; At != std::string_view::npos; At = Search.FindFolded(Folded, At)) {
    const std::size_t Start = RawPositionOf(At);
    Out.append(Raw.substr(Copied, Start - Copied)).append(Replace);
    At += Search.Size();
    Copied = RawPositionOf(At);
  }
  Out.append(Raw.substr(Copied));
}

// The occurrences found by their case forms in the line as it is. False when the raw search gave up: the folded
// line must answer then.
bool TPreparedReplacement::ApplyRaw(const TFoldedLine& Line, std::string& Out, bool& Changed) const {
  const std::string_view Raw = Line.Text();
  bool GaveUp;
  std::size_t Length;
  std::size_t At = Search.FindRaw(Raw, 0, Line.Fold(), Length, GaveUp);
  Changed = At != std::string_view::npos;
  if (!Changed)
    return !GaveUp;
  Out.clear();
  std::size_t Pos = 0;
  for (; At != std::string_view::npos; At = Search.FindRaw(Raw, Pos, Line.Fold(), Length, GaveUp)) {
    Out.append(Raw.substr(Pos, At - Pos)).append(Replace);
    Pos = At + Length;
  }
  Out.append(Raw.substr(Pos));
  return !GaveUp;
}

bool TPreparedReplacement::Apply(TFoldedLine& Line, std::string& Out) const {
  if (Search.AnyLine() || Line.ByteSearchable())
    return Apply(Line.Text(), Out);
  if (bool Changed; Search.RawSearchable() && ApplyRaw(Line, Out, Changed))
    return Changed;
  const std::size_t First = Search.FindFolded(Line.Folded());
  if (First == std::string_view::npos)
    return false;
  ReplaceFolded(Line, Search, First, Replace, Out);
  return true;
}

}  // namespace vellary::engine
