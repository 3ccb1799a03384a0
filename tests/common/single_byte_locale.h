// A single-byte locale (ISO-8859-1) for LC_CTYPE while an instance lives,
// built with localedef into a folder of its own: the code-page conversion
// of a POSIX build has something to convert. Set is false where the machine
// cannot build one, or its C library has no converter for the charset (a
// cross build's libraries under an emulator come without iconv's modules);
// Missing says which. The C locale comes back at the end.
#pragma once

#include <iconv.h>
#include <langinfo.h>
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
    if (std::setlocale(LC_CTYPE, "de_DE.ISO-8859-1") == nullptr)
      return;
    const iconv_t Converter = ::iconv_open("UTF-8", ::nl_langinfo(CODESET));
    if (Converter == reinterpret_cast<iconv_t>(-1)) {
      Missing = "the C library has no converter from ISO-8859-1";
      return;
    }
    ::iconv_close(Converter);
    Set = true;
    Missing.clear();
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
  std::string Missing = "cannot build a single-byte locale here";

private:
  std::string Dir;
};

}  // namespace vellary::fixtures
