// A line under test with its upper-cased form, made only when a search
// needs it and at most once per line.
#pragma once

#include "engine/case_fold.h"

#include <string>
#include <string_view>

namespace vellary::engine {

// Wraps the line under test on both sides; extended-mode anchors become it.
inline constexpr char LineBoundaryMarker = '\x04';

class TFoldedLine {
public:
  // A new line to test; Fold must outlive the calls until the next Reset.
  // KnownSearchable: the caller knows the line is ByteSearchable (it lies
  // in a block that is).
  void Reset(std::string_view Line, const TCaseFold& Fold, bool KnownSearchable = false) {
    Raw = Line;
    CaseFold = &Fold;
    State = KnownSearchable ? sPlain : sUnknown;
  }
  std::string_view Text() const { return Raw; }
  const TCaseFold& Fold() const { return *CaseFold; }

  // Whether a byte search of Text() finds what a search per character
  // finds, whatever the needle (TCaseFold::ByteSearchable).
  bool ByteSearchable() {
    if (State == sUnknown)
      State = CaseFold->ByteSearchable(Raw) ? sPlain : sNeedsFold;
    return State == sPlain;
  }
  // The marker, the folded line, the marker.
  std::string_view Wrapped() {
    if (State != sFolded) {
      Buffer.assign(1, LineBoundaryMarker);
      CaseFold->AppendFolded(Raw, Buffer);
      Buffer += LineBoundaryMarker;
      State = sFolded;
    }
    return Buffer;
  }
  // The folded line without the markers.
  std::string_view Folded() {
    const std::string_view W = Wrapped();
    return W.substr(1, W.size() - 2);
  }

private:
  enum TState { sUnknown, sPlain, sNeedsFold, sFolded };
  std::string_view Raw;
  const TCaseFold* CaseFold = nullptr;
  TState State = sUnknown;
  std::string Buffer;  // reused: no allocation once it has grown
};

}  // namespace vellary::engine
