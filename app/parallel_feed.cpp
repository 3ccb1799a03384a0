// The parallel feed: every thread reads the blocks it processes, a ring of
// block slots bounds the memory in flight, and the calling thread writes.
#include "app/parallel_feed.h"

#include "app/output_sink.h"
#include "core/record_copy.h"
#include "platform/platform.h"

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace vellary::app {
namespace {

// A block's records as an output that converts nothing receives them. Not
// a std::string: appending twice per record costs more than the record.
class TBlockSink final : public engine::TLineSink {
public:
  bool PutLine(std::string_view Record) override {
    char* To = Room(Record.size() + 2);
    if (!Record.empty())
      std::memcpy(To, Record.data(), Record.size());
    To[Record.size()] = '\r';
    To[Record.size() + 1] = '\n';
    Used += Record.size() + 2;
    return true;
  }
  // LF lines copied as CR LF records in one pass, as the output would.
  bool PutLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty) override {
    char* To = Room(2 * Lines.size() + 2);
    Used = static_cast<std::size_t>(core::CopyLfLinesAsRecords(Lines, To, Records, Empty) - Buffer.get());
    return true;
  }
  std::string_view Bytes() const { return {Buffer.get(), Used}; }
  // Empties the sink; a buffer that grew far beyond Modest bytes (a block
  // of long lines) is given back rather than kept for the rest of the run.
  void Clear(std::size_t Modest) {
    Used = 0;
    if (Capacity > Modest) {
      Buffer.reset();
      Capacity = 0;
    }
  }

private:
  char* Room(std::size_t N) {
    if (Capacity - Used < N) {
      const std::size_t Larger = std::max(2 * Capacity, Used + N);
      auto Grown = std::make_unique_for_overwrite<char[]>(Larger);
      if (Used != 0)
        std::memcpy(Grown.get(), Buffer.get(), Used);
      Buffer = std::move(Grown);
      Capacity = Larger;
    }
    return Buffer.get() + Used;
  }
  std::unique_ptr<char[]> Buffer;
  std::size_t Used = 0, Capacity = 0;
};

// Block K is BlockSize bytes of the input from offset K * BlockSize, read by
// whichever thread processes it. Its whole lines (from behind its first LF,
// or from its start in the first block, to behind its last LF) are processed
// there; the line cut by each block edge is joined by the writer from the
// tail of one block and the head of the next.
struct alignas(64) TSlot {
  std::unique_ptr<char[]> In;  // BlockSize bytes
  std::uint64_t Index = 0;
  std::size_t Size = 0;        // bytes read: fewer than BlockSize at the end of the file
  int ReadError = 0;
  bool HasLf = false;          // the head ends a line
  std::size_t LinesBegin = 0;  // [0, LinesBegin) the head, then the whole lines
  std::size_t LinesEnd = 0;    // [LinesEnd, Size) the tail
  TBlockSink Out;              // the records of the whole lines
  std::int64_t Displayed = 0;  // lines of this block the pipeline displayed
  bool Done = false;           // Out is complete; guarded by the ring's lock

  std::string_view Head() const { return {In.get(), LinesBegin}; }
  std::string_view Tail() const { return {In.get() + LinesEnd, Size - LinesEnd}; }
};

// What every thread processing blocks shares; read only.
struct TBlockSource {
  const TTextInput& Input;
  const engine::TPipelineSettings& Settings;
  std::size_t BlockSize;
};

// The blocks in flight: block K lives in slot K % Slots.size(). The writer
// hands a free slot over, a worker takes it, reads and processes the block
// and marks it done, the writer writes it and hands the slot over anew.
// Counters and flags are guarded by Lock.
struct TBlockRing {
  TBlockRing(std::size_t Count, std::size_t BlockSize) : Slots(Count) {
    for (TSlot& Slot : Slots)
      Slot.In = std::make_unique_for_overwrite<char[]>(BlockSize);
  }
  std::mutex Lock;
  std::condition_variable WorkReady;  // workers wait here
  std::condition_variable BlockDone;  // the writer waits here
  std::vector<TSlot> Slots;
  std::uint64_t Handed = 0;  // blocks handed to the workers
  std::uint64_t Taken = 0;   // blocks a worker has taken
  bool Closed = false;       // nothing more will be handed over
  std::exception_ptr Failure;  // a worker's (out of memory), rethrown by the writer
};

void ProcessSlot(const TBlockSource& Source, engine::TLinePipeline& Pipeline, TSlot& Slot) {
  Slot.HasLf = false;
  Slot.Displayed = 0;
  Slot.ReadError = ReadTextAt(Source.Input, Slot.Index * Source.BlockSize, Slot.In.get(),
                              Source.BlockSize, Slot.Size);
  if (Slot.ReadError != 0)
    Slot.Size = 0;
  const std::string_view Bytes(Slot.In.get(), Slot.Size);
  const std::size_t FirstLf = Bytes.find('\n');
  Slot.LinesBegin = Slot.LinesEnd = Slot.Size;
  if (FirstLf == std::string_view::npos)
    return;  // all head: the line goes on
  Slot.HasLf = true;
  // A line begins at the file's first byte: the first block has no head.
  Slot.LinesBegin = Slot.Index == 0 ? 0 : FirstLf + 1;
  Slot.LinesEnd = Bytes.rfind('\n') + 1;
  const std::int64_t Before = Pipeline.DisplayedLines();
  (void)Pipeline.ProcessBlock(Bytes.substr(Slot.LinesBegin, Slot.LinesEnd - Slot.LinesBegin),
                              Slot.Out);  // a memory sink never stops it
  Slot.Displayed = Pipeline.DisplayedLines() - Before;
}

// The worker threads. The destructor closes the ring, so that each worker
// stops after the block it holds, and joins them all, on every way out.
class TWorkers {
public:
  TWorkers(TBlockRing& Owner, const TBlockSource& Source, unsigned Count) : Ring(Owner) {
    Threads.reserve(Count);
    for (unsigned I = 0; I < Count; ++I) {
      try {
        Threads.emplace_back(Work, std::ref(Ring), std::cref(Source));
      } catch (const std::system_error&) {
        break;  // the system refused another thread: make do with fewer
      }
    }
  }
  ~TWorkers() {
    {
      std::lock_guard Guard(Ring.Lock);
      Ring.Closed = true;
      Ring.Taken = Ring.Handed;  // blocks not yet taken are dropped
    }
    Ring.WorkReady.notify_all();
    for (std::thread& Thread : Threads)
      Thread.join();
  }
  TWorkers(const TWorkers&) = delete;
  TWorkers& operator=(const TWorkers&) = delete;

private:
  static void Work(TBlockRing& Ring, const TBlockSource& Source);
  TBlockRing& Ring;
  std::vector<std::thread> Threads;
};

void TWorkers::Work(TBlockRing& Ring, const TBlockSource& Source) {
  platform::LeaveTerminationSignalsToOtherThreads();
  try {
    engine::TLinePipeline Pipeline(Source.Settings);
    std::unique_lock Guard(Ring.Lock);
    for (;;) {
      Ring.WorkReady.wait(Guard, [&] { return Ring.Taken < Ring.Handed || Ring.Closed; });
      if (Ring.Taken == Ring.Handed)
        return;
      TSlot& Slot = Ring.Slots[Ring.Taken++ % Ring.Slots.size()];
      Guard.unlock();
      ProcessSlot(Source, Pipeline, Slot);
      Guard.lock();
      Slot.Done = true;
      Ring.BlockDone.notify_one();
    }
  } catch (...) {
    std::lock_guard Guard(Ring.Lock);
    if (!Ring.Failure)
      Ring.Failure = std::current_exception();
    Ring.BlockDone.notify_one();
  }
}

// As TBlockSink::Clear.
void ClearBuffer(std::string& Bytes, std::size_t Modest) {
  if (Bytes.capacity() > Modest)
    std::string().swap(Bytes);
  Bytes.clear();
}

// The calling thread's part: hands the blocks over, joins the lines cut by
// their edges and writes everything in input order.
class TFeeder {
public:
  TFeeder(core::TTextOutput& Out, engine::TLinePipeline& Own, const TBlockSource& BlockSource,
          const TParallelTuning& Tune, TBlockRing& BlockRing)
      : Output(Out), Pipeline(Own), Source(BlockSource), Tuning(Tune), Ring(BlockRing),
        Modest(4 * (Tune.BlockSize + Tune.LongStretch)) {}
  int Run();

private:
  TSlot& WaitForNext();
  int ProcessHere(std::string_view Lines);
  int ProcessLongSeam();

  core::TTextOutput& Output;
  engine::TLinePipeline& Pipeline;
  const TBlockSource& Source;
  const TParallelTuning& Tuning;
  TBlockRing& Ring;
  const std::size_t Modest;
  std::optional<engine::TLinePipeline> Local;  // for the blocks this thread takes
  std::string Seam;  // the line cut by the edges of the blocks written so far
  std::uint64_t Written = 0;
  std::int64_t Displayed = 0;  // by the blocks written, whoever processed them
};

int TFeeder::Run() {
  for (;;) {
    // Every free slot goes to the workers at once; blocks past the end of
    // the file read nothing and are never written.
    {
      std::lock_guard Guard(Ring.Lock);
      while (Ring.Handed - Written < Ring.Slots.size()) {
        Ring.Slots[Ring.Handed % Ring.Slots.size()].Index = Ring.Handed;
        ++Ring.Handed;
      }
    }
    Ring.WorkReady.notify_all();
    TSlot& Slot = WaitForNext();
    // Every line before a failed read is written before it is reported; the
    // line it cut is not whole.
    if (Slot.ReadError != 0)
      return Slot.ReadError;
    Seam.append(Slot.Head());
    if (Slot.HasLf) {
      if (int Error = ProcessHere(Seam); Error != 0)
        return Error;
      ClearBuffer(Seam, Modest);
    }
    const int Error = Output.WriteText(Slot.Out.Bytes());
    Displayed += Slot.Displayed;
    Slot.Out.Clear(Modest);
    if (Error != 0)
      return Error;
    Seam.append(Slot.Tail());
    ++Written;
    if (Slot.Size < Source.BlockSize) {
      // The last line, without a line end.
      if (int Last = ProcessHere(Seam); Last != 0)
        return Last;
      Pipeline.AddDisplayed(Displayed);
      return 0;
    }
    if (!Slot.HasLf && Seam.size() >= Tuning.LongStretch)
      if (int Long = ProcessLongSeam(); Long != 0)
        return Long;
    if (platform::PendingTerminationSignal() != 0)
      return platform::feInterrupted;
  }
}

// Waits until the next block in input order is done, processing blocks no
// worker has taken meanwhile rather than idling.
TSlot& TFeeder::WaitForNext() {
  TSlot& Slot = Ring.Slots[Written % Ring.Slots.size()];
  std::unique_lock Guard(Ring.Lock);
  while (!Slot.Done && !Ring.Failure) {
    if (Ring.Taken == Ring.Handed) {
      Ring.BlockDone.wait(Guard);
      continue;
    }
    TSlot& Untaken = Ring.Slots[Ring.Taken++ % Ring.Slots.size()];
    Guard.unlock();
    if (!Local)
      Local.emplace(Source.Settings);
    ProcessSlot(Source, *Local, Untaken);
    Guard.lock();
    Untaken.Done = true;
  }
  if (Ring.Failure)
    std::rethrow_exception(Ring.Failure);
  Slot.Done = false;
  return Slot;
}

// Whole lines through the run's own pipeline, straight to the output.
int TFeeder::ProcessHere(std::string_view Lines) {
  if (Lines.empty())
    return 0;
  TOutputSink Out(Output);
  return Pipeline.ProcessBlock(Lines, Out) ? 0 : Out.Error;
}

// A stretch with no LF (a file with CR line ends, or one very long line) is
// not held whole: its lines up to a CR that is not the last byte are
// complete, as no LF can follow that CR.
int TFeeder::ProcessLongSeam() {
  const std::size_t Cr = Seam.size() < 2 ? std::string::npos : Seam.rfind('\r', Seam.size() - 2);
  if (Cr == std::string::npos)
    return 0;  // one long line: held whole, as one pipeline holds it
  if (int Error = ProcessHere(std::string_view(Seam).substr(0, Cr + 1)); Error != 0)
    return Error;
  Seam.erase(0, Cr + 1);
  return 0;
}

}  // namespace

unsigned FeedWorkerCount(const TParallelTuning& Tuning) {
  if (Tuning.Workers != 0)
    return Tuning.Workers;
  return std::min(platform::UsableProcessors(), MaxFeedWorkers);
}

bool WorthFeedingInParallel(const std::string& Name, const TTextInput& Input,
                            const core::TTextOutput& Output, const TParallelTuning& Tuning) {
  if (Input.ReadMayWait() || Output.FlushMode() != core::TTextOutput::fmBuffered ||
      Output.Converts() || FeedWorkerCount(Tuning) < 2)
    return false;
  std::error_code Error;
  const std::uintmax_t Size = std::filesystem::file_size(Name, Error);
  return !Error && Size >= Tuning.MinFileSize;
}

int FeedInParallel(TTextInput& Input, core::TTextOutput& Output, engine::TLinePipeline& Pipeline,
                   const engine::TPipelineSettings& Settings, const TParallelTuning& Tuning) {
  assert(Tuning.BlockSize > 0 && "a block holds at least one byte");
  // The writer processes blocks too while it waits: one helper thread fewer
  // than the threads asked for keeps every processor busy, none oversubscribed.
  const unsigned Helpers = FeedWorkerCount(Tuning) - 1;
  // Two blocks per processing thread: one being processed while the next
  // waits, so none idles while the writer catches up.
  TBlockRing Ring(2 * (Helpers + 1), Tuning.BlockSize);
  const TBlockSource Source{Input, Settings, Tuning.BlockSize};
  TWorkers Workers(Ring, Source, Helpers);  // joined before Ring goes
  TFeeder Feeder(Output, Pipeline, Source, Tuning, Ring);
  return Feeder.Run();
}

}  // namespace vellary::app
