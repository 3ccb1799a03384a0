// Text files: the input as a block source, the replacement file read whole,
// output creation, and the error texts of failed file operations.
#include "app/streams.h"

#include "core/core_state.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

namespace vellary::app {

std::string FileErrorText(int Code) {
  static constexpr std::pair<int, const char*> Texts[] = {
      {platform::feFileNotFound, "File not found"},       {platform::feInvalidFilename, "Invalid filename"},
      {platform::feTooManyOpenFiles, "Too many open files"}, {platform::feAccessDenied, "Access denied"},
      {platform::feInvalidHandle, "Invalid file handle"}, {platform::feInvalidDrive, "Invalid drive specified"},
      {platform::feReadPastEnd, "Read past end of file"}, {platform::feDiskFull, "Disk Full"},
      {platform::feFileNotAssigned, "File not assigned"}, {platform::feFileNotOpen, "File not open"},
      {platform::feNotOpenForInput, "File not open for input"}, {platform::feNotOpenForOutput, "File not open for output"},
      {platform::feInvalidInput, "Invalid input"},        {platform::feOutOfMemory, "Out of memory"},
  };
  for (const auto& [Known, Text] : Texts) {
    if (Code == Known)
      return Text;
  }
  char Text[48];
  std::snprintf(Text, sizeof Text, "Unknown Run-Time error : %3.3d", Code);
  return Text;
}

core::TStatus FileFailure(int ExitCode, const std::string& Name, int Error) {
  return {ExitCode, core::SubstituteArgs("File handling error occurred with \"%s\" -- %s",
                                         {platform::NameAsText(Name), FileErrorText(Error)})};
}

core::TStatus FileNameMissing(std::string_view Option) {
  return {core::ExitNoValidFile,
          core::SubstituteArgs("The %s parameter requires a valid filename.", {Option})};
}

TTextInput::~TTextInput() {
  (void)CloseText(*this);
}

int OpenTextInput(TTextInput& Input, const std::string& Name) {
  (void)CloseText(Input);
  Input.AtOffsets = false;
  Input.KnownSize = 0;
  // Standard input is read in order from where it stands.
  if (Name == StandardInputName)
    return platform::OpenStandardInput(Input.Handle);
  if (int Error = platform::OpenForReading(Name, Input.Handle); Error != 0)
    return Error;
  const int SizeError = platform::FileSize(Input.Handle, Input.KnownSize);
  Input.AtOffsets = SizeError == 0 && !platform::ReadMayWait(Input.Handle);
  return 0;
}

int CloseText(TTextInput& Input) {
  if (Input.Handle == platform::InvalidHandle)
    return 0;
  int Error = platform::CloseHandle(Input.Handle);
  Input.Handle = platform::InvalidHandle;
  return Error;
}

int ReadWholeFile(const std::string& Name, std::string& Bytes) {
  constexpr std::size_t Piece = 262144;
  Bytes.clear();
  platform::TNativeHandle Handle = platform::InvalidHandle;
  int Error = platform::OpenForReading(Name, Handle);
  for (std::size_t Got = Piece; Error == 0 && Got != 0;) {
    const std::size_t Held = Bytes.size();
    Bytes.resize(Held + Piece);
    Error = platform::ReadBytes(Handle, Bytes.data() + Held, Piece, Got);
    Bytes.resize(Held + (Error == 0 ? Got : 0));
  }
  if (Handle != platform::InvalidHandle) {
    if (const int CloseError = platform::CloseHandle(Handle); Error == 0)
      Error = CloseError;
  }
  return Error;
}

int CreateTextOutput(core::TTextOutput& Output, const std::string& Name, platform::TCodePage TextCodePage) {
  platform::TNativeHandle Handle = platform::InvalidHandle;
  if (int Error = platform::CreateForWriting(Name, Handle); Error != 0)
    return Error;
  Output.Bind(Handle, true, core::TTextOutput::fmBuffered, TextCodePage, platform::CpUtf8);
  return 0;
}

}  // namespace vellary::app
