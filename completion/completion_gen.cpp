// Writes the bash or the zsh completion script of the program from its option
// table, so that an option added to or renamed in the table is completed
// without anyone touching the scripts. Runs at build time, on the build host:
//
//   vellary_completion_gen bash|zsh OUTPUT
//
// Exit codes: 0 written, 1 the file could not be written, 2 bad arguments.
#include "app/option_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

using namespace vellary;
using app::OptionTable;
using app::TOptionRow;

namespace {

// What completes the word after an option.
enum TValueKind : std::uint8_t {
  vkNone,    // no value: the next word is another option
  vkText,    // a text of the user's: nothing to offer
  vkNumber,  // a number: nothing to offer
  vkFile,    // a file name
};

// One name of an option as the scripts need it.
struct TCompletedOption {
  std::string Name;  // as typed: "-f", "--find"
  TValueKind Value = vkNone;
  std::string Description;
};

}  // namespace

static std::string Lower(std::string_view Text) {
  std::string Lowered;
  for (const char C : Text)
    Lowered += C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
  return Lowered;
}

// The row's names as typed: one letter after "-", longer names after "--",
// in lower case.
static std::vector<std::string> TypedNames(std::string_view Names) {
  std::vector<std::string> Typed;
  while (!Names.empty()) {
    const std::size_t Start = Names.find_first_not_of(' ');
    if (Start == std::string_view::npos)
      break;
    Names.remove_prefix(Start);
    const std::string_view Name = Names.substr(0, Names.find(' '));
    Names.remove_prefix(Name.size());
    Typed.push_back((Name.size() == 1 ? "-" : "--") + Lower(Name));
  }
  return Typed;
}

// -r, -o and --ms take file names; every other text is the user's own.
static bool NamesAFile(const TOptionRow& Row) {
  const auto Field = Row.Text.InRun;
  return Field == &app::TRunSettings::ReplaceFileName ||
         Field == &app::TRunSettings::OutputFileName ||
         Field == &app::TRunSettings::SampleFileName;
}

static TValueKind ValueOf(const TOptionRow& Row) {
  switch (Row.Kind) {
  case app::okSwitch:
  case app::okBool:  // its value is optional and unused: offer options next
    return vkNone;
  case app::okText:
    return NamesAFile(Row) ? vkFile : vkText;
  case app::okTextEx:
    return vkText;
  case app::okInt:
    return vkNumber;
  }
  return vkNone;
}

// The description of the help line that lists Name (the first line when none
// does), with the default sample file name in place of "%s".
static std::string DescriptionOf(const TOptionRow& Row, std::string_view Name) {
  std::string_view Description = Row.Help[0].Description;
  for (const app::TOptionHelp& Help : Row.Help) {
    const std::string Listed = ", " + Lower(Help.Names) + ",";
    if (Help.Line != 0 && Listed.find(" " + std::string(Name) + ",") != std::string::npos)
      Description = Help.Description;
  }
  std::string Text(Description);
  if (const std::size_t At = Text.find("%s"); At != std::string::npos)
    Text.replace(At, 2, app::DefaultSampleFileName);
  return Text;
}

// Every name of every row, in the table's order; a name that an earlier row
// already has is left out (the help and verbose rows share three).
static std::vector<TCompletedOption> CompletedOptions() {
  std::vector<TCompletedOption> Options;
  for (const TOptionRow& Row : OptionTable) {
    for (std::string& Name : TypedNames(Row.Names)) {
      const auto Same = [&](const TCompletedOption& Known) { return Known.Name == Name; };
      if (std::any_of(Options.begin(), Options.end(), Same))
        continue;
      std::string Description = DescriptionOf(Row, Name);
      Options.push_back(
          {.Name = std::move(Name), .Value = ValueOf(Row), .Description = std::move(Description)});
    }
  }
  return Options;
}

// A case arm running Body for the options whose value is one of Kinds, each
// name quoted since "?" is a pattern character; empty when there are none.
static std::string BashCaseArm(const std::vector<TCompletedOption>& Options,
                               std::initializer_list<TValueKind> Kinds, std::string_view Body) {
  std::string Pattern;
  for (const TCompletedOption& Option : Options) {
    if (std::find(Kinds.begin(), Kinds.end(), Option.Value) == Kinds.end())
      continue;
    Pattern += (Pattern.empty() ? "'" : "|'") + Option.Name + "'";
  }
  return Pattern.empty() ? "" : "  " + Pattern + ")\n" + std::string(Body);
}

// Offers the file names that begin with the word being completed.
constexpr const char* BashFileNames = "    compopt -o filenames 2>/dev/null\n"
                                     "    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n";

static std::string BashScript(const std::vector<TCompletedOption>& Options) {
  std::string Words;
  for (const TCompletedOption& Option : Options)
    Words += (Words.empty() ? "" : " ") + Option.Name;
  return "# bash completion for vellary, generated from its option table.\n"
         "_vellary() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=\n"
         "  COMPREPLY=()\n"
         "  # bash splits an attached value (--out=file, -o:file) at the = or :.\n"
         "  if [[ $cur == [=:] ]]; then\n"
         "    prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "    cur=\n"
         "  elif ((COMP_CWORD > 2)) && [[ ${COMP_WORDS[COMP_CWORD-1]} == [=:] ]]; then\n"
         "    prev=${COMP_WORDS[COMP_CWORD-2]}\n"
         "  elif ((COMP_CWORD > 1)); then\n"
         "    prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "  fi\n"
         "  case ${prev,,} in\n" +
         BashCaseArm(Options, {vkFile},
                     std::string(BashFileNames) + "    return ;;\n") +
         BashCaseArm(Options, {vkText, vkNumber}, "    return ;;\n") +
         "  esac\n"
         "  # The first argument is the input file, unless it is an option.\n"
         "  if ((COMP_CWORD == 1)) && [[ $cur != -* ]]; then\n" +
         BashFileNames + "    return\n"
         "  fi\n"
         "  mapfile -t COMPREPLY < <(compgen -W '" + Words + "' -- \"${cur,,}\")\n"
         "}\n"
         "complete -F _vellary vellary\n";
}

// Text inside a single-quoted _arguments description: brackets, colons and
// backslashes are escaped for _arguments, quotes for the shell.
static std::string ZshDescription(std::string_view Text) {
  std::string Escaped;
  for (const char C : Text) {
    if (C == '\'')
      Escaped += "'\\''";
    else if (C == '[' || C == ']' || C == ':' || C == '\\')
      Escaped += std::string("\\") + C;
    else
      Escaped += C;
  }
  return Escaped;
}

static std::string ZshAction(TValueKind Kind) {
  switch (Kind) {
  case vkNone:
    return "";
  case vkText:
    return ":text: ";
  case vkNumber:
    return ":number: ";
  case vkFile:
    return ":file:_files";
  }
  return "";
}

static std::string ZshScript(const std::vector<TCompletedOption>& Options) {
  std::string Script = "#compdef vellary\n"
                       "# zsh completion for vellary, generated from its option table.\n"
                       "_arguments \\\n"
                       "  '1:input file:_files'";
  for (const TCompletedOption& Option : Options)
    Script += " \\\n  '" + Option.Name + "[" + ZshDescription(Option.Description) + "]" +
              ZshAction(Option.Value) + "'";
  return Script + "\n";
}

// Writes Text to Path whole; false when any step fails.
[[nodiscard]] static bool WriteWhole(const char* Path, const std::string& Text) {
  std::FILE* File = std::fopen(Path, "wb");
  if (File == nullptr)
    return false;
  const bool Written = std::fwrite(Text.data(), 1, Text.size(), File) == Text.size();
  return std::fclose(File) == 0 && Written;
}

int main(int Argc, char** Argv) {
  if (Argc != 3) {
    std::fputs("usage: vellary_completion_gen bash|zsh OUTPUT\n", stderr);
    return 2;
  }
  const std::string_view Shell = Argv[1];
  if (Shell != "bash" && Shell != "zsh") {
    std::fputs("vellary_completion_gen: the shell is bash or zsh\n", stderr);
    return 2;
  }
  const std::vector<TCompletedOption> Options = CompletedOptions();
  if (!WriteWhole(Argv[2], Shell == "bash" ? BashScript(Options) : ZshScript(Options))) {
    std::fprintf(stderr, "vellary_completion_gen: cannot write %s\n", Argv[2]);
    return 1;
  }
  return 0;
}
