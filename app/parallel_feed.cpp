// The parallel feed: the calling thread reads and writes, a ring of block
// slots bounds the memory in flight, and workers take the slots in turn.
#include "app/parallel_feed.h"

#include "app/output_sink.h"
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
    Records = Empty = 0;
    const char* P = Lines.data();
    const char* End = P + Lines.size();
    while (P < End) {
      const auto* Lf = static_cast<const char*>(std::memchr(P, '\n', static_cast<std::size_t>(End - P)));
      const auto Length = static_cast<std::size_t>((Lf != nullptr ? Lf : End) - P);
      ++Records;
      Empty += Length == 0 ? 1 : 0;
      (void)PutLine(std::string_view(P, Length));
      P += Length + (Lf != nullptr ? 1 : 0);
    }
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

struct TSlot {
  std::string In;  // whole lines of the input
  TBlockSink Out;
  std::int64_t Displayed = 0;  // lines of this block the pipeline displayed
  bool Done = false;           // Out is complete; guarded by the ring's lock
};

// The blocks in flight: block K lives in slot K % Slots.size(). The writer
// fills a slot and hands it over, a worker takes it and marks it done, the
// writer writes it and fills it anew. Counters and flags are guarded by Lock.
struct TBlockRing {
  explicit TBlockRing(std::size_t Count) : Slots(Count) {}
  std::mutex Lock;
  std::condition_variable WorkReady;  // workers wait here
  std::condition_variable BlockDone;  // the writer waits here
  std::vector<TSlot> Slots;
  std::uint64_t Handed = 0;  // blocks handed to the workers
  std::uint64_t Taken = 0;   // blocks a worker has taken
  bool Closed = false;       // nothing more will be handed over
  std::exception_ptr Failure;  // a worker's (out of memory), rethrown by the writer
};

void ProcessSlot(engine::TLinePipeline& Pipeline, TSlot& Slot) {
  const std::int64_t Before = Pipeline.DisplayedLines();
  (void)Pipeline.ProcessBlock(Slot.In, Slot.Out);  // a memory sink never stops it
  Slot.Displayed = Pipeline.DisplayedLines() - Before;
}

// The worker threads. The destructor closes the ring, so that each worker
// stops after the block it holds, and joins them all, on every way out.
class TWorkers {
public:
  TWorkers(TBlockRing& Owner, const engine::TPipelineSettings& Settings, unsigned Count) : Ring(Owner) {
    Threads.reserve(Count);
    for (unsigned I = 0; I < Count; ++I) {
      try {
        Threads.emplace_back(Work, std::ref(Ring), std::cref(Settings));
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
  static void Work(TBlockRing& Ring, const engine::TPipelineSettings& Settings);
  TBlockRing& Ring;
  std::vector<std::thread> Threads;
};

void TWorkers::Work(TBlockRing& Ring, const engine::TPipelineSettings& Settings) {
  platform::LeaveTerminationSignalsToOtherThreads();
  try {
    engine::TLinePipeline Pipeline(Settings);
    std::unique_lock Guard(Ring.Lock);
    for (;;) {
      Ring.WorkReady.wait(Guard, [&] { return Ring.Taken < Ring.Handed || Ring.Closed; });
      if (Ring.Taken == Ring.Handed)
        return;
      TSlot& Slot = Ring.Slots[Ring.Taken++ % Ring.Slots.size()];
      Guard.unlock();
      ProcessSlot(Pipeline, Slot);
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

// The calling thread's part: reads pieces of whole lines, cuts them into
// blocks, hands the blocks over and writes the finished ones in order.
class TFeeder {
public:
  TFeeder(TTextInput& In, core::TTextOutput& Out, engine::TLinePipeline& Own,
          const engine::TPipelineSettings& PipelineSettings, const TParallelTuning& Tune,
          TBlockRing& BlockRing)
      : Input(In), Output(Out), Pipeline(Own), Settings(PipelineSettings), Tuning(Tune),
        Ring(BlockRing), Modest(4 * (Tune.BlockSize + Tune.LongStretch)) {}
  int Run();

private:
  int Gather(std::string_view Piece);
  int NextSlot();
  void Hand();
  int WriteNext();
  int Drain();
  int ProcessHere(std::string_view Stretch);

  TTextInput& Input;
  core::TTextOutput& Output;
  engine::TLinePipeline& Pipeline;
  const engine::TPipelineSettings& Settings;
  const TParallelTuning& Tuning;
  TBlockRing& Ring;
  const std::size_t Modest;
  std::optional<engine::TLinePipeline> Local;  // for the blocks this thread takes
  TSlot* Filling = nullptr;  // the slot being filled, not yet handed over
  std::uint64_t Written = 0;
  std::int64_t Displayed = 0;  // by the blocks written, whoever processed them
};

int TFeeder::Run() {
  for (;;) {
    std::string_view Piece;
    bool AtEnd = false;
    const int ReadError = ReadTextBlock(Input, Piece, AtEnd);
    if (ReadError != 0 || AtEnd) {
      // Every line read before a failed read is written before it is reported.
      if (Filling != nullptr)
        Hand();
      if (int Error = Drain(); Error != 0)
        return Error;
      Pipeline.AddDisplayed(Displayed);
      return ReadError;
    }
    if (int Error = Gather(Piece); Error != 0)
      return Error;
  }
}

// Cuts only behind a LF or where a piece ends, so that no block ends between
// the CR and the LF of one line end.
int TFeeder::Gather(std::string_view Piece) {
  while (!Piece.empty()) {
    // Never 0: a slot that reaches BlockSize is handed over at once.
    const std::size_t Room = Tuning.BlockSize - (Filling != nullptr ? Filling->In.size() : 0);
    std::size_t Cut = Piece.size();
    if (Piece.size() > Room) {
      const void* Lf = std::memchr(Piece.data() + Room - 1, '\n', Piece.size() - Room + 1);
      if (Lf != nullptr)
        Cut = static_cast<std::size_t>(static_cast<const char*>(Lf) - Piece.data()) + 1;
      else if (Piece.size() - Room >= Tuning.LongStretch)
        return ProcessHere(Piece);
    }
    if (Filling == nullptr)
      if (int Error = NextSlot(); Error != 0)
        return Error;
    Filling->In.append(Piece.data(), Cut);
    const bool PieceUsed = Cut == Piece.size();
    Piece.remove_prefix(Cut);
    // The reader may have dropped the LF that followed a piece's last CR:
    // the next piece must not be joined to it.
    if (Filling->In.size() >= Tuning.BlockSize || (PieceUsed && Filling->In.back() == '\r'))
      Hand();
  }
  return 0;
}

// A free slot to fill, writing finished blocks until there is one.
int TFeeder::NextSlot() {
  while (Ring.Handed - Written == Ring.Slots.size())  // Handed changes on this thread only
    if (int Error = WriteNext(); Error != 0)
      return Error;
  Filling = &Ring.Slots[Ring.Handed % Ring.Slots.size()];
  ClearBuffer(Filling->In, Modest);
  return 0;
}

void TFeeder::Hand() {
  Filling = nullptr;
  {
    std::lock_guard Guard(Ring.Lock);
    ++Ring.Handed;
  }
  Ring.WorkReady.notify_one();
}

// Writes the next block in input order once it is done, processing blocks
// no worker has taken meanwhile rather than waiting; a termination signal
// that has arrived stops the feed behind it.
int TFeeder::WriteNext() {
  TSlot& Slot = Ring.Slots[Written % Ring.Slots.size()];
  {
    std::unique_lock Guard(Ring.Lock);
    while (!Slot.Done && !Ring.Failure) {
      if (Ring.Taken == Ring.Handed) {
        Ring.BlockDone.wait(Guard);
        continue;
      }
      TSlot& Untaken = Ring.Slots[Ring.Taken++ % Ring.Slots.size()];
      Guard.unlock();
      if (!Local)
        Local.emplace(Settings);
      ProcessSlot(*Local, Untaken);
      Guard.lock();
      Untaken.Done = true;
    }
    if (Ring.Failure)
      std::rethrow_exception(Ring.Failure);
    Slot.Done = false;
  }
  const int Error = Output.WriteText(Slot.Out.Bytes());
  ++Written;
  Displayed += Slot.Displayed;
  Slot.Out.Clear(Modest);
  if (Error != 0)
    return Error;
  return platform::PendingTerminationSignal() != 0 ? platform::feInterrupted : 0;
}

int TFeeder::Drain() {
  while (Written < Ring.Handed)
    if (int Error = WriteNext(); Error != 0)
      return Error;
  return 0;
}

// A stretch with no LF to cut at goes through the run's own pipeline
// straight to the output, once every block before it is out.
int TFeeder::ProcessHere(std::string_view Stretch) {
  if (Filling != nullptr)
    Hand();
  if (int Error = Drain(); Error != 0)
    return Error;
  TOutputSink Out(Output);
  if (!Pipeline.ProcessBlock(Stretch, Out))
    return Out.Error;
  return platform::PendingTerminationSignal() != 0 ? platform::feInterrupted : 0;
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
  TBlockRing Ring(2 * (Helpers + 1));
  TWorkers Workers(Ring, Settings, Helpers);  // joined before Ring goes
  TFeeder Feeder(Input, Output, Pipeline, Settings, Tuning, Ring);
  return Feeder.Run();
}

}  // namespace vellary::app
