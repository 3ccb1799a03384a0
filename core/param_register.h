// Parameter registration: each call declares one parameter by its names text,
// searches the command line for it at once, takes its value and marks the
// arguments it used. The order of the calls is part of the behaviour: every
// registration sees the markings the earlier ones left.
#pragma once

#include "core/param_types.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vellary::core {

// Characters that may stand alone as a bare one-character name (when the
// syntax mode allows bare names).
inline constexpr std::string_view SpecialParamChars = "!#$%*+-._~@";

// Longest value kept from an attached NAME:VALUE argument.
inline constexpr std::size_t MaxAttachedValueLength = 999;

// The search of every registration. Position and Mode (pmFromPosition /
// pmToPosition) bound it; -1 with pmFromPosition is the whole command line.
void FindParam(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
               std::string_view Names, int LastPos, int FirstPos, int ValueCount,
               unsigned Flags, std::string_view DefaultValue, std::string_view DefaultValue2);

// Whether Arg is one spelling of Name (with an attached value when the syntax
// mode allows it); fills Found, Param, Value and Attached of Scratch.
bool MatchParamName(const TParamState& State, std::string_view Name, std::string_view Arg,
                    TFindParamRec& Scratch);

// Adds the names of a names text to RegisteredParamNames, each once.
void RegisterParamNames(TParamState& State, std::string_view Names);

void FindParamSwitch(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                     std::string_view Names, unsigned Flags, int Position, int Mode);
void FindParamBool(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                   std::string_view Names, bool& Result, int Position, int Mode);
void FindParamText(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                   std::string_view Names, std::string& Result, int Position, int Mode);
void FindParamTextEx(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                     std::string_view Names, std::string& Text, unsigned Flags, int Position,
                     int Mode);
void FindParamInt(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                  std::string_view Names, std::int32_t& Result, std::int32_t Default,
                  std::int32_t Minimum, std::int32_t Maximum, int Position, int Mode);

// Text before the first ".", commas removed, read as an unsigned 64-bit number
// ("$", "0x", "x" hex, "&" octal, "%" binary); the default when that fails;
// then clamped to [Minimum, Maximum] compared as unsigned 64-bit. Sets
// State.IntParamAdjusted when the result is the default or was clamped.
std::int64_t StrToIntInRange(TParamState& State, std::string_view Text, std::int64_t Default,
                             std::int64_t Minimum, std::int64_t Maximum);

}  // namespace vellary::core
