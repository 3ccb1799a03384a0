// Buffered, code-page-converting text output over a native handle.
#include "core/text_output.h"

#include <cstring>

namespace vellary::core {

TTextOutput::~TTextOutput() {
  if (OwnsHandle && Handle != platform::InvalidHandle) {
    (void)Flush();
    (void)platform::CloseHandle(Handle);
  }
}

void TTextOutput::Bind(platform::TNativeHandle NewHandle, bool Owns, TFlushMode NewMode,
                       platform::TCodePage TextCodePage, platform::TCodePage OutputCodePage) {
  (void)Close();
  Handle = NewHandle;
  OwnsHandle = Owns;
  Mode = NewMode;
  From = TextCodePage;
  To = OutputCodePage;
  Convert = TextCodePage != OutputCodePage;
  Capture = nullptr;
  Used = 0;
  if (!Buffer)
    Buffer = std::make_unique_for_overwrite<char[]>(TextBufferSize);
  UpdateDirect();
}

void TTextOutput::BindToString(std::string* NewCapture) {
  (void)Close();
  Handle = platform::InvalidHandle;
  OwnsHandle = false;
  Mode = fmWriteThrough;
  Convert = false;
  Capture = NewCapture;
  UpdateDirect();
}

int TTextOutput::Append(std::string_view Bytes) {
  if (FlushFirst != nullptr) {
    if (int Error = FlushFirst->Flush(); Error != 0)
      return Error;
  }
  if (Convert) {
    platform::ConvertCodePage(Bytes, From, To, Scratch);
    Bytes = Scratch;
  }
  if (Capture != nullptr) {
    Capture->append(Bytes);
    return 0;
  }
  if (Handle == platform::InvalidHandle)
    return 0;  // unbound: nowhere to go
  // A large piece goes straight out rather than through the buffer.
  if (TextBufferSize - Used < Bytes.size()) {
    if (int Error = Flush(); Error != 0)
      return Error;
    if (Bytes.size() >= TextBufferSize)
      return platform::WriteBytes(Handle, Bytes.data(), Bytes.size());
  }
  if (!Bytes.empty())
    std::memcpy(Buffer.get() + Used, Bytes.data(), Bytes.size());
  Used += Bytes.size();
  return 0;
}

int TTextOutput::AfterRecord() {
  return Mode == fmWriteThrough ? Flush() : 0;
}

void TTextOutput::UpdateDirect() {
  Direct = Mode == fmBuffered && !Convert && Capture == nullptr && FlushFirst == nullptr &&
           Handle != platform::InvalidHandle;
}

int TTextOutput::WriteRecordSlowly(std::string_view Text) {
  if (int Error = Append(Text); Error != 0)
    return Error;
  if (int Error = Append("\r\n"); Error != 0)
    return Error;
  return AfterRecord();
}

int TTextOutput::WriteLfLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty) {
  Records = Empty = 0;
  const char* P = Lines.data();
  const char* End = P + Lines.size();
  while (P < End) {
    const auto* Lf = static_cast<const char*>(std::memchr(P, '\n', static_cast<std::size_t>(End - P)));
    const std::size_t Length = static_cast<std::size_t>((Lf != nullptr ? Lf : End) - P);
    ++Records;
    Empty += Length == 0 ? 1 : 0;
    if (Direct && TextBufferSize - Used >= Length + 2) {
      // The record path of WriteRecord, without a call per line.
      std::memcpy(Buffer.get() + Used, P, Length);
      Buffer[Used + Length] = '\r';
      Buffer[Used + Length + 1] = '\n';
      Used += Length + 2;
    } else if (int Error = WriteRecordSlowly(std::string_view(P, Length)); Error != 0) {
      return Error;
    }
    P += Length + (Lf != nullptr ? 1 : 0);
  }
  return 0;
}

int TTextOutput::WriteText(std::string_view Text) {
  if (int Error = Append(Text); Error != 0)
    return Error;
  return AfterRecord();
}

int TTextOutput::Flush() {
  if (Used == 0 || Handle == platform::InvalidHandle)
    return 0;
  int Error = platform::WriteBytes(Handle, Buffer.get(), Used);
  // What could not be written is dropped either way: the failure is reported.
  Used = 0;
  return Error;
}

int TTextOutput::Close() {
  int Error = Flush();
  if (OwnsHandle && Handle != platform::InvalidHandle) {
    int CloseError = platform::CloseHandle(Handle);
    if (Error == 0)
      Error = CloseError;
  }
  Handle = platform::InvalidHandle;
  OwnsHandle = false;
  UpdateDirect();
  return Error;
}

}  // namespace vellary::core
