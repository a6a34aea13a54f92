#include "OrvexCommonControls/cLogUtils.h"

#include <string>

#include "toolkit/Errors.h"
#include "toolkit/Text.h"

int LogVerbToInt(TLogVerb level) {
  return static_cast<int>(level) + 1;
}

TLogVerb LogVerbFromInt(int value) {
  // A level past lvErrors would silently hide even the errors.
  if (value < LogVerbToInt(lvVerbose) || value > LogVerbToInt(lvErrors))
    throw tk::ERangeError(L"Verbosity level out of range (1..6): " + tk::DecimalText(value));
  return static_cast<TLogVerb>(value - 1);
}
