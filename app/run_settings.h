// The driver's run settings: option values, their registration records and
// the settings derived from them before a file is processed.
#pragma once

#include "core/param_types.h"

#include <cstdint>
#include <string>

namespace vellary::app {

using core::TFindParamRec;

inline constexpr const char* DefaultSampleFileName = "#Replacement_Sample.TXT";

struct TRunSettings {
  std::string InputFileName;
  std::string OutputFileName;
  std::string ReplaceFileName;
  std::string SampleFileName;
  std::string FindList;
  std::string FindBeforeList;
  std::string FindAfterList;
  std::string SkipList;
  std::string LineBeforeList;
  std::string LineAfterList;
  std::string SpaceBeforeList;
  std::string SpaceAfterList;
  std::string PrependText;
  std::string AppendText;
  std::string SeparatorCharText;
  std::string DelimiterText;
  std::string DividerCharText;
  std::int32_t LineLength = 0;
  std::int32_t NewlineCount = 0;
  std::int32_t DividerCount = 0;
  char SearchDelimiter = ';';
  char ReplaceDelimiter = ';';
  std::string PlusSpaceText;
  std::string SeparatorLine;
  std::string DividerLine;
  bool SampleWithoutMake = false;
  std::int32_t TallyCount = 0;

  // Registration records of the options the driver reads (table rows 9-34).
  TFindParamRec SeparatorRec;      // -c
  TFindParamRec DelimiterRec;      // -d
  TFindParamRec LineCharRec;       // --lc
  TFindParamRec LineLengthRec;     // -l
  TFindParamRec CaseSensitiveRec;  // -s
  TFindParamRec PlusSpaceRec;      // -p
  TFindParamRec NewlineRec;        // --nl
  TFindParamRec DividerRec;        // --dl
  TFindParamRec TallyRec;          // -t
  TFindParamRec EliminateRec;      // -e
  TFindParamRec AsciiRec;          // -a
  TFindParamRec ExtendedRec;       // -x
  TFindParamRec FindRec;           // -f
  TFindParamRec FindBeforeRec;     // --fb
  TFindParamRec FindAfterRec;      // --fa
  TFindParamRec PrependRec;        // --pp
  TFindParamRec AppendRec;         // --ap
  TFindParamRec SkipRec;           // --sk
  TFindParamRec LineBeforeRec;     // --lb
  TFindParamRec LineAfterRec;      // --la
  TFindParamRec SpaceBeforeRec;    // --sb
  TFindParamRec SpaceAfterRec;     // --sa
  TFindParamRec ReplaceRec;        // -r
  TFindParamRec OutRec;            // -o
  TFindParamRec MakeSampleRec;     // --ms
  TFindParamRec ShowSampleRec;     // --ss
};

}  // namespace vellary::app
