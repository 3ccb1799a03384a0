// Records of the command-line parameter framework: the result of one
// registration, the state of each argument and the verdict of a validation,
// plus the framework's own state that a tool's registrations share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellary::core {

// The result of registering one parameter.
struct TFindParamRec {
  bool ValueAdjusted = false;  // integer parameters: default used or clamped
  bool Found = false;
  bool Attached = false;       // value given as NAME:VALUE or NAME=VALUE
  std::int32_t Index = -1;     // matching argument, even when Found ends false
  std::int32_t NextIndex = -1;
  std::string Param;           // the argument as typed (before ":"/"=")
  std::string Value;
  std::string Value2;
};
using TParamRecArray = std::vector<TFindParamRec>;

// What an argument was found to be. 1 is never assigned.
enum TParamStatus : std::int32_t {
  psUnmarked = 0,
  psParam = 2,
  psValue = 3,
  psParamWithValue = 4,
  psIncomplete = 5,
  psInputFile = 6,
};

struct TParamStatusRec {
  TParamStatus Status = psUnmarked;
  bool NameMatched = false;
  bool ValuePresent = false;
  bool AttachedForm = false;
  bool IsInputFile = false;
  std::string Text;
};
using TParamStatusArray = std::vector<TParamStatusRec>;

// The verdict of one syntax validation. Every list holds its arguments each
// quoted by QuoteIfNeeded and followed by one blank.
struct TParamStatisticsRec {
  bool Ok = true;
  bool Validated = false;
  bool NoOptionFound = false;
  std::uint16_t FirstIndex = 0;
  std::uint16_t LastIndex = 0;
  std::uint16_t AllCount = 0;
  std::uint16_t DistinctCount = 0;
  std::uint16_t NonEmptyCount = 0;
  std::uint16_t ShownCount = 0;
  std::uint16_t FoundCount = 0;
  std::uint16_t ValueCount = 0;
  std::uint16_t OtherCount = 0;
  std::uint16_t AttachedCount = 0;
  std::uint16_t IncompleteCount = 0;
  std::uint16_t InvalidCount = 0;
  std::uint16_t OutOfRangeCount = 0;
  std::uint16_t InputFileCount = 0;
  std::string AllList;
  std::string DistinctList;
  std::string NonEmptyList;
  std::string ShownList;
  std::string FoundList;
  std::string ValueList;
  std::string OtherList;
  std::string AttachedList;
  std::string IncompleteList;
  std::string InvalidList;
  std::string OutOfRangeList;
  std::string InputFileList;
  std::string OptionsFound;
  std::string AcceptedSpellings;
  std::string RecordName;
};

// Flags of FindParamSwitch and FindParamTextEx.
inline constexpr unsigned fpMandatory = 1;       // the value (both values) mandatory
inline constexpr unsigned fpFirstMandatory = 2;  // the first value mandatory
inline constexpr unsigned fpEveryOccurrence = 4; // later matches overwrite
inline constexpr unsigned fpKeepDefault = 8;     // TextEx: caller's text is the default

// Search bounds of a registration.
inline constexpr int pmFromPosition = 0;  // from the position to the last argument
inline constexpr int pmToPosition = 1;    // from the first argument to the position

inline constexpr const char* CustomSyntaxRecordName = "Custom Syntax Validation Record";
inline constexpr const char* DefaultSyntaxRecordName = "Default Syntax Validation Record";
inline constexpr const char* StandaloneCandidateNames =
    "H HELP ? H2 HELP2 ?? VERSION-ONLY BUILD-ONLY INFO";

// The framework's unit-level state, shared by all registrations of one
// command line. A fresh one per command line; see InitParamState.
struct TParamState {
  TParamStatusArray ParamStatus;
  TParamRecArray FoundParamLog;
  bool LogFoundParams = false;
  int ParamSyntaxMode = 0;             // bit 1: bare one-character names; bit 2: attached values
  bool LongParamsDoubleDashOnly = true;
  std::string RegisteredParamNames;
  bool IntParamAdjusted = false;
  std::string StandaloneParams;
  TParamStatisticsRec CustomSyntaxStats;
  TParamStatisticsRec DefaultSyntaxStats;
};

}  // namespace vellary::core
