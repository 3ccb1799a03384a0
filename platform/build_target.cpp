// What the binary was built for and with: decided by the compiler, not by
// the operating system, so one file serves every platform.
#include "platform/platform.h"

#include <string>

namespace vellary::platform {

std::string ArchitectureSuffix() {
#if defined(_M_X64) || defined(_M_AMD64) || defined(__x86_64__) || defined(__amd64__)
  return " x64";
#elif defined(_M_ARM64) || defined(__aarch64__)
  return " arm64";
#elif defined(_M_IX86) || defined(__i386__)
  return " x86";
#elif defined(_M_ARM) || defined(__arm__)
  return " arm";
#else
  return "";
#endif
}

std::string ToolchainText() {
#if defined(__clang__)
  return " using Clang " + std::to_string(__clang_major__) + "." + std::to_string(__clang_minor__) +
         "." + std::to_string(__clang_patchlevel__);
#elif defined(__GNUC__)
  return " using GCC " + std::to_string(__GNUC__) + "." + std::to_string(__GNUC_MINOR__) + "." +
         std::to_string(__GNUC_PATCHLEVEL__);
#elif defined(_MSC_VER)
  return " using MSVC " + std::to_string(_MSC_VER);
#else
  return "";
#endif
}

}  // namespace vellary::platform
