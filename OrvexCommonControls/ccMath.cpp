#include "OrvexCommonControls/ccMath.h"

#include <cmath>
#include <limits>

#include "toolkit/Errors.h"

namespace {

constexpr wchar_t kRangeError[] = L"Range check error";

}  // namespace

int32_t RoundHalfUp(long double x) {
  if (std::isnan(x)) throw tk::ERangeError(kRangeError);
  const long double whole = std::trunc(x);
  // Checked after the increment too: INT32_MAX + 0.5 must not wrap to INT32_MIN.
  const long double result = (x - whole >= 0.5L) ? whole + 1 : whole;
  if (result < std::numeric_limits<int32_t>::min() || result > std::numeric_limits<int32_t>::max())
    throw tk::ERangeError(kRangeError);
  return static_cast<int32_t>(result);
}
