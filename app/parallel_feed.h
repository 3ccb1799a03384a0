// A large regular input file fed through the line pipeline on every usable
// core: blocks of whole lines go to worker threads, each with a pipeline of
// its own, and the calling thread writes the finished blocks in input order,
// byte for byte what one pipeline writes line by line.
#pragma once

#include "app/streams.h"
#include "core/text_output.h"
#include "engine/line_pipeline.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellary::app {

// Threads processing blocks at most, the writing thread included, whatever
// the machine: beyond this the one writer and the disk set the pace, and
// every thread adds blocks in flight.
inline constexpr unsigned MaxFeedWorkers = 8;

struct TParallelTuning {
  // Bytes of the input per block; the line cut by a block's edge is joined
  // and processed by the writing thread.
  std::size_t BlockSize = 512 * 1024;
  // A stretch of input this long with no LF (CR line ends, or one very long
  // line) has its lines up to its last CR processed rather than held.
  std::size_t LongStretch = 1024 * 1024;
  // Smaller files keep the single-threaded path: the threads would cost more
  // than they save.
  std::uintmax_t MinFileSize = 8u << 20;
  // Threads processing blocks, the writing thread included (it processes
  // blocks while it would otherwise wait); 0: one per usable processor, at
  // most MaxFeedWorkers.
  unsigned Workers = 0;
};

// How many threads Tuning asks for on this machine.
unsigned FeedWorkerCount(const TParallelTuning& Tuning);

// Whether the open input Name is better fed in parallel into Output: a
// regular file of at least MinFileSize bytes, an output that buffers and
// passes the bytes unchanged (a console written record by record, or one
// whose text is converted record by record, keeps the single path), and two
// threads or more.
bool WorthFeedingInParallel(const std::string& Name, const TTextInput& Input,
                            const core::TTextOutput& Output, const TParallelTuning& Tuning = {});

// Reads Input to its end and writes the records of all its lines to Output
// in input order, as Pipeline's ProcessBlock would. Every thread builds its
// own pipeline from Settings (the settings Pipeline was built from);
// Pipeline itself processes the stretches too long for a worker and is
// given the count of the lines the others displayed, so that its
// FinishOutput tallies the whole input. Returns 0; the error code of the
// first failed read (after every line before it has been written) or write;
// or platform::feInterrupted when a termination signal arrived (every block
// before it written whole). Every thread reads Input by offset from the
// file's start (a named file is opened there); only the calling thread
// writes Output, and no thread outlives the call.
[[nodiscard]] int FeedInParallel(TTextInput& Input, core::TTextOutput& Output,
                                 engine::TLinePipeline& Pipeline,
                                 const engine::TPipelineSettings& Settings,
                                 const TParallelTuning& Tuning = {});

}  // namespace vellary::app
