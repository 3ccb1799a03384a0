// The input feed: a ring of block slots bounds the memory in flight; helper
// threads process blocks, the calling thread reads, joins and writes.
#include "app/input_feed.h"

#include "app/output_sink.h"
#include "platform/platform.h"

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace vellary::app {
namespace {

// Block K: the input's bytes from offset K * BlockSize, read by whichever
// thread processes it, or the next bytes of an input read in order, read by
// the writer. The writer joins the line cut by each block edge.
struct alignas(64) TSlot {
  std::unique_ptr<char[]> In;  // BlockSize bytes
  std::uint64_t Index = 0;
  std::size_t Size = 0;        // bytes read
  int ReadError = 0;
  bool Last = false;           // the input ends with this block
  engine::TWholeLines Lines;   // [0, Lines.Begin) the head, [Lines.End, Size) the tail
  core::TTextOutput Out;       // the records of the whole lines
  std::string_view Records;    // Out's bytes, converted where the block was processed
  std::int64_t Displayed = 0;  // of its whole lines
  bool Done = false;           // Out is complete; guarded by the ring's lock
  bool Failed = false;         // a helper ran out of memory on it; guarded too

  std::string_view Head() const { return {In.get(), Lines.Begin}; }
  std::string_view Tail() const { return {In.get() + Lines.End, Size - Lines.End}; }
};

// Reads a block by offset when the input allows it, and processes its whole
// lines into memory (which never stops the pipeline).
void ProcessSlot(TBlockSource& Source, std::size_t BlockSize, engine::TLinePipeline& Pipeline,
                 TSlot& Slot) {
  if (Source.ReadsAtOffsets()) {
    Slot.ReadError = Source.ReadAt(Slot.Index * BlockSize, Slot.In.get(), BlockSize, Slot.Size);
    Slot.Size = Slot.ReadError != 0 ? 0 : Slot.Size;
    Slot.Last = Slot.ReadError != 0 || Slot.Size < BlockSize;
  }
  // A line begins at the input's first byte: the first block has no head.
  Slot.Lines = engine::WholeLinesOf({Slot.In.get(), Slot.Size}, Slot.Index == 0);
  TOutputSink Out(Slot.Out);
  (void)Pipeline.TakeDisplayed();  // what a block cut short by memory counted
  (void)Pipeline.ProcessBlock({Slot.In.get() + Slot.Lines.Begin, Slot.Lines.End - Slot.Lines.Begin}, Out);
  Slot.Displayed = Pipeline.TakeDisplayed();
  Slot.Records = Slot.Out.Bytes();
}

// The blocks in flight, block K in slot K % Slots.size(), and the helper
// threads that take them. Counters and flags are guarded by Lock; the slots
// change only while no block is in flight and no helper runs. Helpers are
// joined on every way out; blocks they have not taken stay for the writer.
class TBlockRing {
public:
  TBlockRing(TBlockSource& In, std::size_t BlockBytes, const core::TTextOutput& Out)
      : Source(In), BlockSize(BlockBytes), Output(Out) {
    Resize(1);
  }
  ~TBlockRing() { StopHelpers(); }
  TBlockRing(const TBlockRing&) = delete;
  TBlockRing& operator=(const TBlockRing&) = delete;

  TSlot& Slot(std::uint64_t Block) { return *Slots[Block % Slots.size()]; }
  std::size_t Size() const { return Slots.size(); }
  void Resize(std::size_t Wanted);  // as many slots as memory allows, at least one
  // Up to Count helpers (fewer when the system refuses a thread); how many run.
  std::size_t StartHelpers(unsigned Count, const engine::TPreparedRun& Prepared);
  void StopHelpers();
  bool HelpersRun() const { return !Helpers.empty(); }

  TBlockSource& Source;
  const std::size_t BlockSize;
  std::mutex Lock;
  std::condition_variable WorkReady;  // helpers wait here
  std::condition_variable BlockDone;  // the writer waits here
  std::uint64_t Handed = 0;  // blocks handed over; changed by the writer alone
  std::uint64_t Taken = 0;   // blocks a thread has taken

private:
  void Help(const engine::TPreparedRun& Prepared);

  const core::TTextOutput& Output;  // whose code pages the blocks are written in
  std::vector<std::unique_ptr<TSlot>> Slots;
  std::vector<std::thread> Helpers;
  bool Closed = false;  // the helpers are to stop
};

void TBlockRing::Resize(std::size_t Wanted) {
  Slots.resize(std::min(Slots.size(), Wanted));
  try {
    while (Slots.size() < Wanted) {
      auto Slot = std::make_unique<TSlot>();
      Slot->In = std::make_unique_for_overwrite<char[]>(BlockSize);
      Slot->Out.BindToMemory(Output.TextCodePage(), Output.OutputCodePage());
      Slots.push_back(std::move(Slot));
    }
  } catch (const std::bad_alloc&) {
    if (Slots.empty())
      throw;
  }
}

std::size_t TBlockRing::StartHelpers(unsigned Count, const engine::TPreparedRun& Prepared) {
  Closed = false;
  try {
    while (Helpers.size() < Count)
      Helpers.emplace_back(&TBlockRing::Help, this, std::cref(Prepared));
  } catch (const std::system_error&) {  // the system refused a thread: make do with fewer
  } catch (const std::bad_alloc&) {
  }
  return Helpers.size();
}

void TBlockRing::StopHelpers() {
  {
    std::lock_guard Guard(Lock);
    Closed = true;
  }
  WorkReady.notify_all();
  for (std::thread& Helper : Helpers)
    Helper.join();
  Helpers.clear();
}

// A helper that runs out of memory leaves its block, and the rest, to the
// other threads: the writer processes whatever no helper finishes.
void TBlockRing::Help(const engine::TPreparedRun& Prepared) try {
  engine::TLinePipeline Pipeline(Prepared);
  std::unique_lock Guard(Lock);
  for (;;) {
    WorkReady.wait(Guard, [&] { return Taken < Handed || Closed; });
    if (Closed)
      return;
    TSlot& Held = Slot(Taken++);
    Guard.unlock();
    bool Failed = false;
    try {
      ProcessSlot(Source, BlockSize, Pipeline, Held);
    } catch (const std::bad_alloc&) {
      Failed = true;
    }
    Guard.lock();
    Held.Failed = Failed;
    Held.Done = true;
    BlockDone.notify_one();
    if (Failed)
      return;
  }
} catch (const std::bad_alloc&) {  // no room for its worker
}

// The calling thread's part: reads an input that comes in order, hands the
// blocks over, joins the lines cut by their edges and writes in input order.
class TFeeder {
public:
  TFeeder(TBlockRing& BlockRing, core::TTextOutput& Out, const engine::TPreparedRun& Prepared,
          const TFeedTuning& Tune)
      : Ring(BlockRing), Source(BlockRing.Source), Output(Out), Pipeline(Prepared), Tuning(Tune),
        Modest(4 * Tune.BlockSize),
        Threads(Tune.Threads != 0 ? Tune.Threads : std::min(platform::UsableProcessors(), MaxFeedThreads)) {}
  int Run();
  std::int64_t Displayed() const { return Shown; }

private:
  void Rearrange();
  unsigned AffordableThreads();
  [[nodiscard]] int HandOver();
  void ReadInOrder(TSlot& Slot);
  TSlot& WaitForNext();
  void ProcessHere(TSlot& Slot);
  [[nodiscard]] int WriteSlot(TSlot& Slot);
  [[nodiscard]] int WriteSeam();
  [[nodiscard]] int BeforeWait();

  TBlockRing& Ring;
  TBlockSource& Source;
  core::TTextOutput& Output;
  engine::TLinePipeline Pipeline;   // the writer's: for the seams and blocks no helper took
  const TFeedTuning& Tuning;
  const std::size_t Modest;         // memory kept between blocks
  const unsigned Threads;           // wanted, the writer included
  std::string Seam;                 // the line cut by the edges of the blocks written so far
  bool SkipLf = false;              // a CR ended the seam written last: a LF next belongs to it
  bool InputDone = false;           // an input read in order has ended
  bool WantHelpers = false;         // enough input is known to come
  bool Alone = false;               // no helpers could be had, or memory ran out
  std::uint64_t Written = 0;
  std::uint64_t Arrived = 0;        // bytes read in order
  std::int64_t Shown = 0;           // lines displayed, of the blocks and seams written
};

int TFeeder::Run() {
  WantHelpers = Source.ReadsAtOffsets() && Source.Size() >= Tuning.MinParallelBytes;
  for (;;) {
    if (int Error = HandOver(); Error != 0)
      return Error;
    TSlot& Slot = WaitForNext();
    if (int Error = WriteSlot(Slot); Error != 0)
      return Error;
    ++Written;
    if (Slot.ReadError != 0)  // reported behind every whole line before it
      return Slot.ReadError;
    if (Slot.Last)
      return WriteSeam();  // the last line, without a line end
    // A file is never interrupted in a read: stop between blocks.
    if (platform::PendingTerminationSignal() != 0)
      return platform::feInterrupted;
  }
}

// With no block in flight: two slots per thread and the helpers once they
// are wanted, one slot once they are gone. Helpers start with the signals
// held, so that these reach the writer and cut its read or write short.
void TFeeder::Rearrange() {
  if (!Alone && WantHelpers && !Ring.HelpersRun() && Threads > 1) {
    const unsigned Wanted = std::min(Threads, AffordableThreads());
    Ring.Resize(2 * std::size_t{Wanted});
    platform::HoldTerminationSignals();
    const auto Count = static_cast<unsigned>(std::min<std::size_t>(Wanted, Ring.Size()) - 1);
    Alone = Count == 0 || Ring.StartHelpers(Count, Pipeline.Prepared()) == 0;
    platform::ReleaseTerminationSignals();
  }
  if (Alone)
    Ring.Resize(1);
}

// A helper's heap and stack reserve far more address space than they use,
// and keep it once the helper has gone: where the address space is
// limited, helpers start only with room to spare beside what the writer
// may need alone, so that no run on every core fails where one core would
// have succeeded.
unsigned TFeeder::AffordableThreads() {
  constexpr std::uint64_t WriterRoom = 64ull << 20, HelperRoom = 96ull << 20;
  const std::uint64_t Left = platform::AddressSpaceLeft();
  if (Left == UINT64_MAX)
    return Threads;
  const std::uint64_t Helpers = Left > WriterRoom ? (Left - WriterRoom) / HelperRoom : 0;
  return static_cast<unsigned>(1 + std::min<std::uint64_t>(Helpers, Threads));
}

// Hands every free slot over: by offset at once; in order what has arrived,
// and with nothing in flight, once all has gone out, whatever comes next.
int TFeeder::HandOver() {
  if (Ring.Handed == Written)
    Rearrange();
  while (Ring.Handed - Written < Ring.Size() && !InputDone) {
    TSlot& Slot = Ring.Slot(Ring.Handed);
    if (!Source.ReadsAtOffsets()) {
      if (Source.NextReadWaits()) {
        if (Ring.Handed != Written)
          break;
        if (int Error = BeforeWait(); Error != 0)
          return Error;
      }
      ReadInOrder(Slot);
    }
    {
      std::lock_guard Guard(Ring.Lock);
      Slot.Index = Ring.Handed++;
    }
    Ring.WorkReady.notify_one();
  }
  return 0;
}

// The next bytes up to a whole block, or until a read would wait. Input
// that keeps coming is worth the helpers once enough of it has.
void TFeeder::ReadInOrder(TSlot& Slot) {
  Slot.Size = 0;
  Slot.Last = false;
  for (;;) {
    std::size_t Got = 0;
    Slot.ReadError = Source.ReadNext(Slot.In.get() + Slot.Size, Tuning.BlockSize - Slot.Size, Got);
    Slot.Size += Got;
    if (Slot.ReadError != 0 || Got == 0) {
      Slot.Last = InputDone = true;
      return;
    }
    WantHelpers = WantHelpers || (Arrived += Got) >= Tuning.MinParallelBytes;
    if (Slot.Size == Tuning.BlockSize || Source.NextReadWaits())
      return;
  }
}

// Waits until the next block in input order is done, processing blocks no
// helper has taken meanwhile rather than idling.
TSlot& TFeeder::WaitForNext() {
  TSlot& Slot = Ring.Slot(Written);
  std::unique_lock Guard(Ring.Lock);
  while (!Slot.Done) {
    if (Ring.Taken == Ring.Handed) {
      Ring.BlockDone.wait(Guard);
      continue;
    }
    TSlot& Untaken = Ring.Slot(Ring.Taken++);
    Guard.unlock();
    ProcessHere(Untaken);
    Guard.lock();
    Untaken.Done = true;
  }
  Slot.Done = false;
  const bool Redo = std::exchange(Slot.Failed, false);
  Guard.unlock();
  if (Redo) {
    Slot.Out.Clear(0);  // what the helper left
    ProcessHere(Slot);
  }
  return Slot;
}

// Should memory run out, the helpers go, with their stacks and workers, the
// records of the blocks after this one are given back, to be made again one
// at a time, and the block is done anew; alone, the run cannot go on.
void TFeeder::ProcessHere(TSlot& Slot) {
  for (;;) {
    try {
      ProcessSlot(Source, Tuning.BlockSize, Pipeline, Slot);
      return;
    } catch (const std::bad_alloc&) {
      Slot.Out.Clear(0);
      if (!Ring.HelpersRun())
        throw;
      Ring.StopHelpers();
      Alone = true;
      for (std::uint64_t Block = Written + 1; Block < Ring.Taken; ++Block) {
        TSlot& Later = Ring.Slot(Block);
        if (&Later != &Slot && Later.Done) {
          Later.Out.Clear(0);
          Later.Failed = true;
        }
      }
    }
  }
}

int TFeeder::WriteSlot(TSlot& Slot) {
  std::string_view Head = Slot.Head();
  if (SkipLf && Slot.Size != 0) {
    if (!Head.empty() && Head.front() == '\n')
      Head.remove_prefix(1);
    SkipLf = false;
  }
  Seam.append(Head);
  if (Slot.Lines.Found) {
    if (int Error = WriteSeam(); Error != 0)
      return Error;
  }
  const int Error = Output.WriteConverted(Slot.Records);
  Shown += Slot.Displayed;
  Slot.Out.Clear(Modest);
  Seam.append(Slot.Tail());
  return Error;
}

// The seam's whole lines through the run's pipeline straight to the output:
// a line of any length is copied no more than it must be.
int TFeeder::WriteSeam() {
  if (Seam.empty())
    return 0;
  TOutputSink Out(Output);
  const int Error = Pipeline.ProcessBlock(Seam, Out) ? 0 : Out.Error;
  Shown += Pipeline.TakeDisplayed();
  if (Seam.capacity() > Modest)
    std::string().swap(Seam);
  Seam.clear();
  return Error;
}

// Whoever reads the output sees every line that has come before the program
// waits: a line ended by a CR is whole, whatever follows.
int TFeeder::BeforeWait() {
  if (!Seam.empty() && Seam.back() == '\r') {
    if (int Error = WriteSeam(); Error != 0)
      return Error;
    SkipLf = true;
  }
  return Output.Flush();
}

}  // namespace

int FeedInput(TBlockSource& Input, core::TTextOutput& Output, const engine::TPreparedRun& Prepared,
              std::int64_t& Displayed, const TFeedTuning& Tuning) {
  assert(Tuning.BlockSize > 0 && "a block holds at least one byte");
  TBlockRing Ring(Input, Tuning.BlockSize, Output);
  TFeeder Feeder(Ring, Output, Prepared, Tuning);
  const int Error = Feeder.Run();
  Displayed = Feeder.Displayed();
  return Error;
}

}  // namespace vellary::app
