// A single-byte locale (ISO-8859-1) for LC_CTYPE while an instance lives,
// built with localedef into a folder of its own: the code-page conversion
// of a POSIX build has something to convert. Set is false where the machine
// cannot build one. The C locale comes back at the end.
#pragma once

#include <stdlib.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace vellary::fixtures {

class TSingleByteLocale {
public:
  TSingleByteLocale() {
    char Template[] = "/tmp/vellary-locale-XXXXXX";
    if (::mkdtemp(Template) == nullptr)
      return;
    Dir = Template;
    const std::string Make = "localedef -i de_DE -f ISO-8859-1 " + Dir + "/de_DE.ISO-8859-1 >/dev/null 2>&1";
    if (std::system(Make.c_str()) != 0)
      return;
    ::setenv("LOCPATH", Dir.c_str(), 1);
    Set = std::setlocale(LC_CTYPE, "de_DE.ISO-8859-1") != nullptr;
  }
  ~TSingleByteLocale() {
    std::setlocale(LC_CTYPE, "C");
    ::unsetenv("LOCPATH");
    std::error_code Ignored;
    if (!Dir.empty())
      std::filesystem::remove_all(Dir, Ignored);
  }
  TSingleByteLocale(const TSingleByteLocale&) = delete;
  TSingleByteLocale& operator=(const TSingleByteLocale&) = delete;

  bool Set = false;

private:
  std::string Dir;
};

}  // namespace vellary::fixtures
