// Test helper of the Windows stage: holds a file open as a log writer does
// (writing, with delete access, sharing reading, writing and deleting), runs
// a program with the remaining arguments while it does, and ends with that
// program's exit code.  hold_open.exe <file> <program> [arguments...]
#include <windows.h>

#include <string>

int wmain(int Argc, wchar_t** Argv) {
  if (Argc < 3)
    return 120;
  HANDLE Log = CreateFileW(Argv[1], GENERIC_WRITE | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Log == INVALID_HANDLE_VALUE)
    return 121;
  std::wstring Line;
  for (int I = 2; I < Argc; ++I)
    Line += (I > 2 ? L" \"" : L"\"") + std::wstring(Argv[I]) + L"\"";
  STARTUPINFOW Start{};
  Start.cb = sizeof Start;
  PROCESS_INFORMATION Child{};
  if (!CreateProcessW(nullptr, Line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Start,
                      &Child))
    return 122;
  WaitForSingleObject(Child.hProcess, INFINITE);
  DWORD Code = 123;
  GetExitCodeProcess(Child.hProcess, &Code);
  CloseHandle(Log);
  return static_cast<int>(Code);
}
