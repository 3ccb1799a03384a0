// The line pipeline's records written to a text output.
#pragma once

#include "core/text_output.h"
#include "engine/line_sink.h"

#include <cstddef>
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

}  // namespace vellary::app
