// Command-line scanning and syntax validation: the argument status array is
// built from the arguments, the input file is named, and after the last
// registration every argument is sorted by its marking into a statistics
// record that the program reads to decide between running and reporting.
#pragma once

#include "core/param_types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellary::core {

// Unit start of the framework: ParamStatus from Args (the program's own name
// excluded), the log emptied, both statistics records initialised and named.
void InitParamState(TParamState& State, const std::vector<std::string>& Args);

void InitParamStatus(TParamStatusArray& ParamStatus, const std::vector<std::string>& Args);

// Names argument N (counted from 1) the input file: FileName receives its text
// (empty when there are fewer arguments) and a non-empty one is marked.
void GetInputFileParam(TParamStatusArray& ParamStatus, std::string& FileName, int N);

// Fills Stats over [FirstPos, LastPos] (-1: whole command line), then, once
// per state, DefaultSyntaxStats over the whole command line.
void ValidateParamSyntax(TParamState& State, TParamStatisticsRec& Stats,
                         const TParamStatusArray& ParamStatus, std::string_view RegisteredNames,
                         bool CheckOptions, int FirstPos, int LastPos);

void CollectParamStatistics(TParamState& State, TParamStatisticsRec& Stats,
                            const TParamStatusArray& ParamStatus,
                            std::string_view RegisteredNames, bool CheckOptions, int FirstPos,
                            int LastPos);

// Resets every field; the name changes only when Name is not empty.
void InitParamStatistics(TParamStatisticsRec& Stats, std::string_view Name);

// Every accepted spelling of every name in Names, each followed by a blank.
std::string BuildParamSpellings(const TParamState& State, std::string_view Names, int Mode);

// Appends to List the spellings ("-X" / "--NAME") of the candidate names that
// are registered and not yet listed.
void BuildStandaloneParams(std::string& List, std::string_view RegisteredNames,
                           std::string_view CandidateNames);

// Counts Text (the counter stops at its maximum rather than wrapping to 0)
// and appends it, quoted if needed, and a blank to List.
void AddToParamList(std::uint16_t& Counter, std::string& List, std::string_view Text);

// Text between double quotes when empty or holding a blank or ";".
std::string QuoteIfNeeded(std::string_view Text);

}  // namespace vellary::core
