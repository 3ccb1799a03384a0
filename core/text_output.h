// A text output: standard output, standard error, an output file or (for
// tests) a string. Records end with CR LF; text is converted to the output's
// code page on the way out when it differs from the text's.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace vellary::core {

// Bytes collected before a buffered output is written (see InputBufferSize
// for why not 64 KiB).
inline constexpr std::size_t TextBufferSize = 262144;

class TTextOutput {
public:
  enum TFlushMode {
    fmWriteThrough,  // every record is written at once (a console)
    fmBuffered,      // written when the buffer fills and on Flush/Close
  };

  TTextOutput() = default;
  TTextOutput(const TTextOutput&) = delete;
  TTextOutput& operator=(const TTextOutput&) = delete;
  // Closes quietly when Close() was never called on an owned handle.
  ~TTextOutput();

  // Binds to a handle. Owned handles are closed by Close().
  void Bind(platform::TNativeHandle Handle, bool OwnsHandle, TFlushMode Mode,
            platform::TCodePage TextCodePage, platform::TCodePage OutputCodePage);
  // Binds to a string (tests): everything written is appended to Capture.
  void BindToString(std::string* Capture);

  // Another output to flush before anything is written here (standard
  // output before standard error keeps their relative order).
  void SetFlushFirst(TTextOutput* Other) {
    FlushFirst = Other;
    UpdateDirect();
  }

  // Text, then CR LF. Returns 0 or the error code of the failed write.
  [[nodiscard]] int WriteRecord(std::string_view Text) {
    // The path of nearly every record of a large run: straight into the buffer.
    if (Direct && TextBufferSize - Used >= Text.size() + 2) {
      char* Free = Buffer.get() + Used;
      if (!Text.empty())
        std::memcpy(Free, Text.data(), Text.size());
      Free[Text.size()] = '\r';
      Free[Text.size() + 1] = '\n';
      Used += Text.size() + 2;
      return 0;
    }
    return WriteRecordSlowly(Text);
  }
  // Each line of Lines as one record: lines end at LF (the last one may end
  // with Lines), and Lines holds no CR. The same bytes as WriteRecord line by
  // line, copied in one pass where the output is buffered. Records and Empty
  // receive how many records were written and how many of them are empty.
  [[nodiscard]] int WriteLfLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty);
  // Text without a line end (the pause prompt and its dots).
  [[nodiscard]] int WriteText(std::string_view Text);
  [[nodiscard]] int Flush();
  // Flushes, then closes an owned handle. Safe to call twice.
  [[nodiscard]] int Close();

  bool IsBound() const { return Handle != platform::InvalidHandle || Capture != nullptr; }
  TFlushMode FlushMode() const { return Mode; }
  // True when text is converted to another code page on the way out.
  bool Converts() const { return Convert; }

private:
  [[nodiscard]] int WriteRecordSlowly(std::string_view Text);
  [[nodiscard]] int Append(std::string_view Bytes);
  void UpdateDirect();
  [[nodiscard]] int AfterRecord();

  platform::TNativeHandle Handle = platform::InvalidHandle;
  bool OwnsHandle = false;
  TFlushMode Mode = fmWriteThrough;
  bool Convert = false;
  platform::TCodePage From = platform::CpUtf8;
  platform::TCodePage To = platform::CpUtf8;
  std::string* Capture = nullptr;
  TTextOutput* FlushFirst = nullptr;
  std::unique_ptr<char[]> Buffer;  // TextBufferSize bytes once bound to a handle
  std::size_t Used = 0;            // bytes of Buffer waiting to be written
  std::string Scratch;  // conversion output, reused
  bool Direct = false;  // buffered, unconverted, nothing to flush first
};

}  // namespace vellary::core
