// The places outside the program that list the option table's names: the
// generated shell completions and the documentation.
#include "app/option_table.h"

#include "common/read_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vellary::app {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string Text) {
  for (char& C : Text)
    C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  return Text;
}

// Whether Name stands in Text as a whole option name, not inside a longer one
// ("-f" inside "--fb" or "-fx" does not count).
bool ListsName(std::string_view Text, std::string_view Name) {
  const auto NameChar = [](char C) {
    return std::isalnum(static_cast<unsigned char>(C)) != 0 || C == '-' || C == '?';
  };
  for (std::size_t At = Text.find(Name); At != std::string_view::npos;
       At = Text.find(Name, At + 1)) {
    const std::size_t End = At + Name.size();
    if ((At == 0 || !NameChar(Text[At - 1])) && (End == Text.size() || !NameChar(Text[End])))
      return true;
  }
  return false;
}

TEST(OptionNames, EveryRowNameIsCompletedInBothShells) {
#ifndef VELLARY_COMPLETION_DIR
  GTEST_SKIP() << "built without the completions";
#else
  std::vector<std::string> Names;
  for (const TOptionRow& Row : OptionTable) {
    std::string_view Rest = Row.Names;
    while (Rest.find_first_not_of(' ') != std::string_view::npos) {
      Rest.remove_prefix(Rest.find_first_not_of(' '));
      const std::string_view Name = Rest.substr(0, Rest.find(' '));
      Rest.remove_prefix(Name.size());
      Names.push_back(Lower((Name.size() == 1 ? "-" : "--") + std::string(Name)));
    }
  }
  ASSERT_GE(Names.size(), std::size(OptionTable));
  for (const char* Script : {"vellary", "_vellary"}) {
    SCOPED_TRACE(Script);
    const std::string Text = fixtures::ReadFile(fs::path(VELLARY_COMPLETION_DIR) / Script);
    ASSERT_FALSE(Text.empty());
    for (const std::string& Name : Names)
      EXPECT_TRUE(ListsName(Text, Name)) << Name;
  }
#endif
}

// The manual page and the README list every name the help lists.
TEST(OptionNames, DocumentsListEveryHelpName) {
  const fs::path Source = VELLARY_SOURCE_DIR;
  for (const fs::path& Document : {Source / "vellary.1", Source / "README.md"}) {
    SCOPED_TRACE(Document.string());
    std::string Text = Lower(fixtures::ReadFile(Document));
    ASSERT_FALSE(Text.empty());
    // The manual page writes a hyphen as "\-".
    for (std::size_t At = Text.find("\\-"); At != std::string::npos; At = Text.find("\\-", At))
      Text.erase(At, 1);
    for (const TOptionRow& Row : OptionTable) {
      for (const TOptionHelp& Help : Row.Help) {
        std::string_view Rest = Help.Names;
        while (!Rest.empty()) {
          const std::string_view Name = Rest.substr(0, Rest.find(", "));
          Rest.remove_prefix(std::min(Rest.size(), Name.size() + 2));
          EXPECT_TRUE(ListsName(Text, Lower(std::string(Name)))) << Name;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vellary::app
