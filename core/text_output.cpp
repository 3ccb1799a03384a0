// Buffered, code-page-converting text output over a native handle.
#include "core/text_output.h"

#include "core/record_copy.h"

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
  while (!Lines.empty()) {
    if (Direct) {
      // As many whole lines as surely fit the buffer as records, in one pass.
      std::size_t Take = Lines.size();
      if (const std::size_t Room = TextBufferSize - Used; 2 * Take + 2 > Room) {
        const std::size_t Fits = Room < 2 ? 0 : (Room - 2) / 2;
        const std::size_t Lf = Fits == 0 ? std::string_view::npos : Lines.rfind('\n', Fits - 1);
        Take = Lf == std::string_view::npos ? 0 : Lf + 1;
      }
      if (Take > 0) {
        std::size_t Copied = 0, Blank = 0;
        char* const Free = Buffer.get() + Used;
        Used += static_cast<std::size_t>(CopyLfLinesAsRecords(Lines.substr(0, Take), Free, Copied, Blank) - Free);
        Records += Copied;
        Empty += Blank;
        Lines.remove_prefix(Take);
        continue;
      }
      if (Used > 0) {  // room for the next line
        if (int Error = Flush(); Error != 0)
          return Error;
        continue;
      }
    }
    // A line longer than half the buffer, or an output that is not direct.
    const std::size_t Lf = Lines.find('\n');
    const std::size_t Length = Lf == std::string_view::npos ? Lines.size() : Lf;
    ++Records;
    Empty += Length == 0 ? 1 : 0;
    if (int Error = WriteRecordSlowly(Lines.substr(0, Length)); Error != 0)
      return Error;
    Lines.remove_prefix(Lf == std::string_view::npos ? Length : Length + 1);
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
