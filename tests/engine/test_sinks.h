// In-memory sinks for the engine tests.
#pragma once

#include "engine/line_sink.h"

#include <string>
#include <string_view>

namespace vellary::engine::testing {

// Collects every record with the CR LF a real sink would add.
class TStringSink final : public TLineSink {
public:
  bool PutLine(std::string_view Bytes) override {
    Text.append(Bytes).append("\r\n");
    ++Records;
    LastData = Bytes.data();
    return Accept;
  }
  std::string Text;
  int Records = 0;
  const char* LastData = nullptr;  // where the last record's bytes lived
  bool Accept = true;              // false: ask the pipeline to stop
};

}  // namespace vellary::engine::testing
