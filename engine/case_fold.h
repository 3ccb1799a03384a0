// Single-byte upper-casing by table, so that no locale call sits on a hot path.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vellary::engine {

// Upper[b] is the upper case of byte b in the system's single-byte code page.
using TUpperTable = std::array<unsigned char, 256>;

// a..z to A..Z, every other byte unchanged.
TUpperTable AsciiUpperTable();

// Upper-cases Text through Upper into Out (replacing Out's content).
void UpperCase(std::string_view Text, const TUpperTable& Upper, std::string& Out);

}  // namespace vellary::engine
