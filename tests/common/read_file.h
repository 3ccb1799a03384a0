// Reading back a whole file, for tests of what the program wrote.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vellary::fixtures {

// Every byte of the file at Path; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

}  // namespace vellary::fixtures
