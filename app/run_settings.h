// The driver's run settings: option values, their registration records and
// the settings derived from them before a file is processed.
#pragma once

#include "core/param_types.h"
#include "engine/line_pipeline.h"

#include <cstdint>
#include <string>

namespace vellary::app {

using core::TFindParamRec;

inline constexpr const char* DefaultSampleFileName = "#Replacement_Sample.TXT";

struct TRunSettings {
  // Everything the line pipeline reads is kept here once and handed to it as
  // it stands: the input file name, the search lists, the texts and counts of
  // the layout, the derived lines and delimiter, and a copy of the found flag
  // of each option the pipeline acts on. The processing run adds the
  // replacement pairs and the upper-case table.
  engine::TPipelineSettings Pipeline;

  // The file names in the form the platform's file calls take (on Windows
  // WTF-8 of what was typed); Pipeline.InputFileName is the input's name as
  // a text, for messages and the tally.
  std::string InputName;
  std::string OutputFileName;
  std::string ReplaceFileName;
  std::string SampleFileName;
  std::string SeparatorCharText;
  std::string DelimiterText;
  std::string DividerCharText;
  std::int32_t LineLength = 0;
  std::string ReplaceDelimiter = ";";
  bool SampleWithoutMake = false;

  // Registration records of the driver's own options; those of the error
  // feedback, help, version and banner options live in the core's state.
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
