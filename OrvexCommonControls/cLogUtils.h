// Verbosity levels of the log pane, ordered from the most detailed to errors only.
#pragma once

#include <cstdint>

enum TLogVerb : uint8_t {
  lvVerbose,    // everything is shown
  lvHints,      // hints and above
  lvInfos,      // information and above (the log's default threshold)
  lvImportant,  // important messages and above
  lvWarnings,   // warnings and errors
  lvErrors      // errors only
};

// The level counted from 1: lvVerbose is 1, lvErrors is 6.
int LogVerbToInt(TLogVerb level);
// The level counted from 1; a number outside 1..6 is a programming error (tk::ERangeError).
TLogVerb LogVerbFromInt(int value);
