// The line pipeline's records written to a text output or a record buffer.
#pragma once

#include "core/byte_scan.h"
#include "core/text_output.h"
#include "engine/line_sink.h"
#include "platform/platform.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace vellary::app {

// Pipeline records into a text output; the first write error is kept and
// stops the pipeline.
class TOutputSink final : public engine::TLineSink {
public:
  explicit TOutputSink(core::TTextOutput& Target) : Output(Target) {}
  bool PutLine(std::string_view Bytes) override {
    Error = Output.WriteRecord(Bytes);
    return Error == 0;
  }
  bool PutLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty) override {
    Error = Output.WriteLfLines(Lines, Records, Empty);
    return Error == 0;
  }
  int Error = 0;

private:
  core::TTextOutput& Output;
};

// Pipeline records into a block's record buffer, which only memory stops.
class TRecordSink final : public engine::TLineSink {
public:
  explicit TRecordSink(core::TRecordBuffer& Target) : Records(Target) {}
  bool PutLine(std::string_view Bytes) override {
    Records.PutRecord(Bytes);
    return true;
  }
  bool PutLines(std::string_view Lines, std::size_t& Count, std::size_t& Empty) override {
    Records.PutLfLines(Lines, Count, Empty);
    return true;
  }

private:
  core::TRecordBuffer& Records;
};

// The tally record into a text output, with the input's file name shown as
// well as the output's code page allows: the record the pipeline makes holds
// the name as a text (in the ANSI code page, or UTF-8 in a run of
// utf8_texts.h), which may lack characters the output has (a Cyrillic name
// in the UTF-8 -o file on a Western system) or be in another code page.
class TTallySink final : public engine::TLineSink {
public:
  TTallySink(core::TTextOutput& Target, const std::string& NameText, const std::string& Name)
      : Output(Target), Plain(Target), Text(NameText), FileName(Name) {}
  bool PutLine(std::string_view Bytes) override {
    const std::string_view Lead = "--- ";
    const platform::TCodePage To = Output.OutputCodePage();
    if (!platform::AsciiCompatible(To) ||
        !platform::AsciiCompatible(Output.TextCodePage()) ||
        Bytes.substr(0, Lead.size() + Text.size()) != std::string(Lead) + Text ||
        !IsAscii(Bytes.substr(Lead.size() + Text.size()))) {
      const bool Ok = Plain.PutLine(Bytes);
      Error = Plain.Error;
      return Ok;
    }
    std::string Record(Lead);
    Record += platform::NameInCodePage(FileName, To);
    Record += Bytes.substr(Lead.size() + Text.size());
    Record += "\r\n";
    Error = Output.WriteConverted(Record);
    return Error == 0;
  }
  int Error = 0;

private:
  static bool IsAscii(std::string_view Bytes) {
    return core::FindNonAscii(Bytes.data(), Bytes.data() + Bytes.size()) == Bytes.data() + Bytes.size();
  }
  core::TTextOutput& Output;
  TOutputSink Plain;  // any other record, as the output's other records go
  const std::string& Text;
  const std::string& FileName;
};

}  // namespace vellary::app
