// Replacement file lines, extended escapes, and applying pairs to lines.
#include "engine/replace_table.h"

#include "tests/support/reference_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace vellary::engine {
namespace {

using namespace std::string_literals;

TEST(ReplaceTable, LinesBecomePairsOrAreIgnored) {
  struct Case {
    std::string_view Line;
    std::string_view Delimiter;
    bool Kept;
    std::string_view Search, Replace;
  };
  const Case Cases[] = {
      {"Old;New!", ";", true, "Old", "New!"},
      {"Delete;", ";", true, "Delete", ""},
      {"a;b;c", ";", true, "a", "b;c"},             // text after the first delimiter kept whole
      {"  Old  ;  New  ", ";", true, "Old", "New"},  // trimmed on both sides
      {"\tOld\x01;\x1fNew\x7f", ";", true, "Old", "New\x7f"},  // bytes <= 32 trimmed, 127 kept
      {"NoDelimiter", ";", true, "NoDelimiter", ""},
      {"  #x;y", ";", true, "#x", "y"},  // "#" after a blank is no comment
      {"a;b|c", "|", true, "a;b", "c"},
      {"apple→APPLE;x", "→", true, "apple", "APPLE;x"},  // a delimiter of several bytes
      {"#x;y", ";", false, "", ""},
      {"#", ";", false, "", ""},
      {"", ";", false, "", ""},
      {";x", ";", false, "", ""},
      {"   ;x", ";", false, "", ""},
      {"     ", ";", false, "", ""},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(std::string(C.Line));
    TReplaceMatrix Table;
    AddReplacementLine(Table, C.Line, C.Delimiter);
    ASSERT_EQ(Table.size(), C.Kept ? 1u : 0u);
    if (!C.Kept)
      continue;
    EXPECT_EQ(Table[0].Search, C.Search);
    EXPECT_EQ(Table[0].Replace, C.Replace);
  }
}

TEST(ReplaceTable, KeepsFileOrderAndIsCutToSize) {
  TReplaceMatrix Table;
  AddReplacementLine(Table, "k;v", ";");
  for (int I = 0; I < 10; ++I)
    AddReplacementLine(Table, std::to_string(I).append(";v"), ";");
  EXPECT_EQ(Table.size(), 11u);
  FinishReplacementTable(Table);
  EXPECT_EQ(Table.capacity(), 11u);
  EXPECT_EQ(Table.back().Search, "9");  // file order kept
}

TEST(ExtendedEscapes, TranslateInOrderWithPlaceholder) {
  const std::string Divider(ExtendedDividerLength, '-');
  const std::string Framed = std::string("\r\n").append(Divider).append("\r\n");
  struct Case {
    std::string In;
    std::string Out;
  };
  const Case Cases[] = {
      {"\\n\\-\\n", Framed},
      {"\\N\\T\\t", "\r\n\t\t"},
      {"\\\\n", "\\n"},          // escaped backslash, then a plain n
      {"\\\\\\n", "\\\r\n"},     // backslash, then a line break
      {"\\\\\\\\", "\\\\"},      // two escaped backslashes
      {"a\x01z", "a\\z"},        // code 1 comes out as a backslash
      {"\\^x\\$\\q", "\\^x\\$\\q"},  // no other escapes
      {"end\\", "end\\"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.In);
    EXPECT_EQ(TranslateExtendedEscapes(C.In), C.Out);
  }
  EXPECT_EQ(TranslateExtendedEscapes("a\\-b", /*WithDivider=*/false), "a\\-b");
}

struct TApplyCase {
  std::string_view Line, Search, Replace;
  bool CaseSensitive, Extended;
  std::string Expected;
};

TEST(ApplyReplacement, LeftToRightWithoutOverlapKeepingCase) {
  const TApplyCase Cases[] = {
      {"aaa", "aa", "X", true, false, "Xa"},
      {"ab", "a", "aa", true, false, "aab"},     // inserted text is not searched again
      {"aAaA", "aa", "x", false, false, "xx"},
      {"intel inside", "Intel", "AMD", false, false, "AMD inside"},
      {"intel inside", "Intel", "AMD", true, false, "intel inside"},
      {"Foo BAR fOO", "foo", "q", false, false, "q BAR q"},  // the rest keeps its case
      {"cat cat", "cat", "", true, false, " "},
      {"xab", "ab", "!", true, false, "x!"},
      {"a\tb", "\\t", "\\n", false, true, "a\r\nb"},
      {"a\tb", "\\t", "\\n", false, false, "a\tb"},  // without -x no escapes
      {"a\\nb", "\\n", "-", false, false, "a-b"},
      {"x", "x", "\\n\\-\\n", false, true, std::string("\r\n").append(60, '-').append("\r\n")},
      {"abc", "", "z", false, false, "abc"},  // no search text: unchanged, no loop
  };
  std::string Out = "stale";
  const TUpperTable Upper = AsciiUpperTable();
  for (const TApplyCase& C : Cases) {
    SCOPED_TRACE(::testing::Message() << C.Line << " / " << C.Search);
    ApplyReplacement(C.Line, C.Search, C.Replace, C.CaseSensitive, C.Extended, Upper, Out);
    EXPECT_EQ(Out, C.Expected);
  }
}

TEST(ApplyReplacement, PairsChainInTableOrder) {
  const TUpperTable Upper = AsciiUpperTable();
  std::string First, Second;
  ApplyReplacement("cat", "cat", "dog", false, false, Upper, First);
  ApplyReplacement(First, "dog", "bird", false, false, Upper, Second);
  EXPECT_EQ(Second, "bird");
}

TEST(ApplyReplacement, UsesTheGivenUpperTable) {
  // A code page where 0xE9 folds to 0xC9 and where three bytes fold together.
  TUpperTable Upper = AsciiUpperTable();
  Upper[0xE9] = 0xC9;
  Upper['*'] = 'X';
  std::string Out;
  ApplyReplacement("\xE9t\xC9 xX*", "\xC9T\xE9", "-", false, false, Upper, Out);
  EXPECT_EQ(Out, "- xX*");
  ApplyReplacement("a*b xb", "XB", "!", false, false, Upper, Out);
  EXPECT_EQ(Out, "a! !");
  ApplyReplacement("\xE9", "\xC9", "!", false, false, AsciiUpperTable(), Out);
  EXPECT_EQ(Out, "\xE9");  // the ASCII table leaves other bytes alone
}

TEST(PreparedReplacement, LeavesOutputAloneWhenNothingOccurs) {
  const TPreparedReplacement Pair({"Err", "E"}, false, false, AsciiUpperTable());
  std::string Out = "untouched";
  EXPECT_FALSE(Pair.Apply("all fine", Out));
  EXPECT_EQ(Out, "untouched");
  EXPECT_TRUE(Pair.Apply("an ERROR, an err", Out));
  EXPECT_EQ(Out, "an EOR, an E");
}

}  // namespace
}  // namespace vellary::engine
