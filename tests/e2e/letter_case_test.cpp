// Letter case by locale, as a user meets it: in a UTF-8 locale accented,
// Cyrillic, Greek and Adlam letters fold with their upper case (the C
// library's own case tables); the C locale folds ASCII only; -s compares
// bytes. The Windows build folds per byte through its code page (see
// windows_test.cpp).
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vellary::e2e;

namespace {

TEST(LocaleLetterCase, FoldsCharactersInUtf8AndAsciiInC) {
  if (UnderWine())
    GTEST_SKIP() << "the Windows build folds per byte";
  const std::string Input =
      "CAF\xC3\x89 au lait\nDOBR\xC3\x9D DEN\n\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2 "
      "\xD0\xBC\xD0\xB8\xD1\x80\nplain \xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3 \xF0\x9E\xA4\x80\n";
  const std::string Find = "caf\xC3\xA9;dobr\xC3\xBD;\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  struct TCase {
    std::string Locale;
    std::vector<std::string> Args;
    std::string Out;
  };
  const TCase Cases[] = {
      {"C.UTF-8", {"-f", Find}, Crlf(Input.substr(0, Input.find("plain")))},
      {"C.UTF-8", {"-f", Find, "-s"}, ""},
      {"C", {"-f", Find}, ""},
      // Greek: final sigma folds to the same capital as sigma.
      {"C.UTF-8", {"-f", "\xCF\x83\xCE\xBF\xCF\x86\xCE\xBF\xCF\x82"}, Crlf(Input.substr(Input.find("plain")))},
      // Adlam: small U+1E922 finds capital U+1E900, beyond sixteen bits.
      {"C.UTF-8", {"-f", "\xF0\x9E\xA4\xA2"}, Crlf(Input.substr(Input.find("plain")))},
      // A replacement keeps the line's own bytes around the occurrence.
      {"C.UTF-8", {"-r", "pairs.txt", "--sk", "plain"}, Crlf("tea au lait\nDOBR\xC3\x9D DEN\n"
          "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2 hi\n")},
      // A delimiter or line character is the whole UTF-8 character given; in
      // the C locale it stays its first byte.
      {"C.UTF-8", {"-f", "dobr\xE2\x94\x82plain", "-d", "\xE2\x94\x82", "--la", "plain", "-c",
                   "\xE2\x94\x80", "-l", "3"},
       Crlf("DOBR\xC3\x9D DEN\n" + Input.substr(Input.find("plain")) + "\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\n")},
      {"C", {"-f", "plain", "--la", "plain", "-c", "\xE2\x94\x80", "-l", "3"},
       Crlf(Input.substr(Input.find("plain")) + "\xE2\xE2\xE2\n")},
      {"C.UTF-8", {"-r", "pairs.txt", "-d", ";\xE2\x86\x92", "-f", "plain"},
       Crlf("PLAIN \xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3 \xF0\x9E\xA4\x80\n")},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Locale + " " + C.Args[1]);
    TScratchDir Dir;
    WriteFile(Dir / "u.txt", Input);
    WriteFile(Dir / "pairs.txt", "caf\xC3\xA9;tea\n\xD0\x9C\xD0\x98\xD0\xA0;hi\nplain\xE2\x86\x92PLAIN\n");
    std::vector<std::string> Args = {"u.txt"};
    Args.insert(Args.end(), C.Args.begin(), C.Args.end());
    TRunOptions Options;
    Options.WorkDir = Dir.Path();
    Options.ExtraEnv = {"LC_ALL=" + C.Locale};
    const TRunResult R = RunProgram(Args, Options);
    EXPECT_EQ(R.ExitCode, 0);
    EXPECT_EQ(R.Out, C.Out);
  }
}

}  // namespace
